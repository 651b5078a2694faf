#include "capture/windows/TFCalidad.h"

#include "capture/FingerQuality.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStringList>
#include <QVBoxLayout>

namespace tav::capture {

TFCalidad::TFCalidad(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_text(new QPlainTextEdit(this)),
      m_progress(new QProgressBar(this)), m_status(new QStatusBar(this))
{
    setObjectName(QStringLiteral("TFCalidad"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_progress->setRange(0, FingerQuality::kFingers);
    m_status->setSizeGripEnabled(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    setMinimumSize(340, 300); // the ten lines stay readable; longer ones scroll sideways
    resize(420, 320);
}

int TFCalidad::showReport(const QString &title, const FingerQuality &table)
{
    setWindowTitle(title);
    m_progress->setRange(0, FingerQuality::kFingers);
    m_progress->setValue(0);
    m_status->clearMessage();
    QStringList lines = {title, QString()};
    m_text->setPlainText(lines.join(QLatin1Char('\n')));
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    for (int position = 1; position <= FingerQuality::kFingers; ++position) {
        lines << FingerQuality::fingerName(position) + QStringLiteral(" = ") + table.presented(position);
        m_text->setPlainText(lines.join(QLatin1Char('\n')));
        m_progress->setValue(position);
    }
    const int average = table.average();
    lines[1] = QStringLiteral("Promedio = ") + QString::number(average) + QStringLiteral(" (") +
               FingerQuality::qualityWord(average) + QLatin1Char(')');
    m_text->setPlainText(lines.join(QLatin1Char('\n')));
    m_status->showMessage(QStringLiteral("Listo!"));
    return average;
}

} // namespace tav::capture
