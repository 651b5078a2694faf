#pragma once

#include <QStatusBar>

class QProgressBar;
class QPushButton;

namespace tav::capture {

class TTwainForm;

// The status bar of a capture window: "Listo", or while a scan runs "Digitalizando, por favor espere..." with the
// page's progress and a "Cancelar" button (which takes no keyboard focus, so Space never presses it; Escape in
// the window cancels too).
class ScanStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit ScanStatusBar(QWidget *parent = nullptr);

    // Shows the scan's state and follows the scanner window's progress until scanEnded().
    void scanStarted(TTwainForm &twain);
    void scanEnded();

    QProgressBar *progressBar() const { return m_progress; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    QProgressBar *m_progress;
    QPushButton *m_cancel;
    TTwainForm *m_twain = nullptr;
    QMetaObject::Connection m_progressConnection;
};

} // namespace tav::capture
