#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace tav::shell {

// A small always-on-top window without title bar that reports the steps of a long operation.
class InfoWnd : public QDialog
{
    Q_OBJECT

public:
    explicit InfoWnd(QWidget *parent = nullptr);

    void begin(const QString &title); // shows the window with the title as first line
    void step(const QString &text);   // adds "   " + text + "..."
    void stepDone();                  // appends "Ok." to the last line
    void end();                       // hides the window
    QString text() const;

private:
    QPlainTextEdit *m_memo;
};

} // namespace tav::shell
