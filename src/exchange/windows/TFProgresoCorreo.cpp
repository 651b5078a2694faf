#include "exchange/windows/TFProgresoCorreo.h"

#include "exchange/TdmMail.h"

#include <QProgressBar>
#include <QVBoxLayout>

namespace tav::exchange {

TFProgresoCorreo::TFProgresoCorreo(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_bar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("FProgresoCorreo"));
    setWindowTitle(QStringLiteral("Recibiendo Correo..."));
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    setMinimumWidth(320);
    resize(320, sizeHint().height());
}

void TFProgresoCorreo::follow(TdmMail &mail)
{
    connect(&mail, &TdmMail::transferBegin, this, &TFProgresoCorreo::begin);
    connect(&mail, &TdmMail::transferProgress, this, &TFProgresoCorreo::progress);
    connect(&mail, &TdmMail::transferEnd, this, &TFProgresoCorreo::end);
}

void TFProgresoCorreo::begin(const QString &caption)
{
    m_active = true;
    setWindowTitle(caption);
    m_bar->setValue(0);
    show();
}

void TFProgresoCorreo::progress(int percent)
{
    if (!m_active)
        return;
    if (!isVisible())
        show();
    m_bar->setValue(qBound(0, percent, 100));
}

void TFProgresoCorreo::end()
{
    m_active = false;
    if (isVisible())
        hide();
}

} // namespace tav::exchange
