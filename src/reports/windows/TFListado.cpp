#include "reports/windows/TFListado.h"

#include "store/Dataset.h"

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

namespace tav::reports {

TFListado::TFListado(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFListado"));
    resize(480, 420);
    setMinimumSize(320, 240);
    auto *layout = new QVBoxLayout(this);
    m_memo = new QPlainTextEdit(this);
    m_memo->setReadOnly(true);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    m_memo->setFont(mono);
    layout->addWidget(m_memo, 1);
    m_progress = new QProgressBar(this);
    layout->addWidget(m_progress);
}

void TFListado::clearLines()
{
    m_memo->clear();
}

void TFListado::addLine(const QString &line)
{
    m_memo->appendPlainText(line);
}

QString TFListado::text() const
{
    return m_memo->toPlainText();
}

void TFListado::setRange(int minimum, int maximum)
{
    m_progress->setRange(minimum, std::max(minimum, maximum));
}

void TFListado::setPosition(int position)
{
    m_progress->setValue(position);
}

void TFListado::stepIt()
{
    m_progress->setValue(std::min(m_progress->maximum(), m_progress->value() + 1));
}

} // namespace tav::reports

namespace tav::reports {

void TFListado::fillUnsentPersonal(store::Dataset &pedp)
{
    setWindowTitle(QStringLiteral("Pedidos personales sin enviar"));
    clearLines();
    addLine(QStringLiteral("Pedidos personales sin enviar"));
    addLine(QStringLiteral("============================="));
    setRange(1, pedp.recordCount());
    setPosition(1);
    show();
    const int est = pedp.field(QStringLiteral("C_EST")).index();
    const int ped = pedp.field(QStringLiteral("C_PED")).index();
    for (int pos = 0; pos < pedp.recordCount(); ++pos) {
        if (pedp.valueAt(pos, est).toString() == QLatin1String("I"))
            addLine(QString::number(std::llround(pedp.valueAt(pos, ped).toDouble())));
        stepIt();
    }
}

} // namespace tav::reports
