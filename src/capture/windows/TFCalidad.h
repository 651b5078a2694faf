#pragma once

#include <QWidget>

class QPlainTextEdit;
class QProgressBar;
class QStatusBar;

namespace tav::capture {

class FingerQuality;

// The quality report of a live-scan capture: one line per finger with its rating, the average on the
// second line, a progress bar over the ten fingers and a status bar. Always on top, not modal; created
// once and reused.
class TFCalidad : public QWidget
{
    Q_OBJECT
public:
    explicit TFCalidad(QWidget *parent = nullptr);

    // Shows the report of the table under the given caption and returns the average.
    int showReport(const QString &title, const FingerQuality &table);

    QPlainTextEdit *textArea() const { return m_text; }
    QProgressBar *progressBar() const { return m_progress; }
    QStatusBar *statusBar() const { return m_status; }

private:
    QPlainTextEdit *m_text;
    QProgressBar *m_progress;
    QStatusBar *m_status;
};

} // namespace tav::capture
