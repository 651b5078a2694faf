#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace tav::exchange {

class TdmMail;

// "Chequeo de correo electrónico": runs the account check and shows its lines as they come.
class TFChequeoCorreo : public QDialog
{
    Q_OBJECT

public:
    explicit TFChequeoCorreo(TdmMail &mail, QWidget *parent = nullptr);

    // Clears the memo and runs the check (the window stays usable while it waits on the servers).
    void check();
    QPlainTextEdit *memo() const { return m_memo; }

private:
    TdmMail &m_mail;
    QPlainTextEdit *m_memo;
};

} // namespace tav::exchange
