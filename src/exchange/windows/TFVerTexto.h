#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace tav::exchange {

// A read-only window on a small text file of the program directory (a ".dat" or ".txt" attachment),
// read as Windows-1252 as the central office writes them.
class TFVerTexto : public QDialog
{
    Q_OBJECT

public:
    explicit TFVerTexto(QWidget *parent = nullptr);

    // False when the file cannot be read (the window then says so in its text).
    bool load(const QString &path);
    QPlainTextEdit *text() const { return m_text; }

private:
    QPlainTextEdit *m_text;
};

} // namespace tav::exchange
