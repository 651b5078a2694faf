#include "capture/windows/ScanStatusBar.h"

#include "capture/windows/TTwainForm.h"

#include <QProgressBar>
#include <QPushButton>

namespace tav::capture {

ScanStatusBar::ScanStatusBar(QWidget *parent)
    : QStatusBar(parent), m_progress(new QProgressBar), m_cancel(new QPushButton(QStringLiteral("Cancelar")))
{
    setSizeGripEnabled(false);
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(220);
    m_cancel->setFocusPolicy(Qt::NoFocus);
    m_cancel->setAutoDefault(false);
    m_cancel->setToolTip(QStringLiteral("Detiene la digitalización (también con Escape)"));
    addPermanentWidget(m_progress);
    addPermanentWidget(m_cancel);
    m_progress->hide();
    m_cancel->hide();
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_twain)
            m_twain->cancelScan();
    });
    showMessage(QStringLiteral("Listo"));
}

void ScanStatusBar::scanStarted(TTwainForm &twain)
{
    m_twain = &twain;
    showMessage(QStringLiteral("Digitalizando, por favor espere..."));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("%p%"));
    m_progress->show();
    m_cancel->setEnabled(true);
    m_cancel->show();
    m_progressConnection = connect(&twain, &TTwainForm::scanProgress, this, [this](int page, int percent) {
        m_progress->setFormat(QStringLiteral("Página %1: %p%").arg(page));
        if (percent < 0) {
            m_progress->setRange(0, 0); // a page of unknown length: the bar only shows that work goes on
        } else {
            m_progress->setRange(0, 100);
            m_progress->setValue(percent);
        }
    });
}

void ScanStatusBar::scanEnded()
{
    disconnect(m_progressConnection);
    m_twain = nullptr;
    m_progress->hide();
    m_cancel->hide();
}

} // namespace tav::capture
