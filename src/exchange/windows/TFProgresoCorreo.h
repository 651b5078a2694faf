#pragma once

#include <QWidget>

class QProgressBar;

namespace tav::exchange {

class TdmMail;

// The small stay-on-top window that shows a mail transfer: caption "Enviando Mensaje.." while a message
// is sent, "Recibiendo Mensaje..." while one is read, a bar from 0 to 100; hidden when the transfer ends.
class TFProgresoCorreo : public QWidget
{
    Q_OBJECT

public:
    explicit TFProgresoCorreo(QWidget *parent = nullptr);

    // Follows the transfers of `mail`.
    void follow(TdmMail &mail);

    void begin(const QString &caption);
    void progress(int percent);
    void end();

    QProgressBar *bar() const { return m_bar; }

private:
    QProgressBar *m_bar;
    bool m_active = false; // between a transfer's begin and end: a late progress report never shows it again
};

} // namespace tav::exchange
