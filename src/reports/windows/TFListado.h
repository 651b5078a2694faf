#pragma once

#include <QDialog>

class QPlainTextEdit;
class QProgressBar;

namespace tav::store {
class Dataset;
}

namespace tav::reports {

// A text listing over a progress bar; the caller sets the caption, the lines and the progress.
class TFListado : public QDialog
{
    Q_OBJECT

public:
    explicit TFListado(QWidget *parent = nullptr);

    void clearLines();
    void addLine(const QString &line);
    QString text() const;
    void setRange(int minimum, int maximum);
    void setPosition(int position);
    void stepIt();
    // The list of personal requests not yet sent (state "I"), one request number per line.
    void fillUnsentPersonal(store::Dataset &pedp);
    QPlainTextEdit *memo() const { return m_memo; }
    QProgressBar *progress() const { return m_progress; }

private:
    QPlainTextEdit *m_memo;
    QProgressBar *m_progress;
};

} // namespace tav::reports
