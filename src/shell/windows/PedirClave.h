#pragma once

#include "shell/LoginRules.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tav::store {
class Tdm;
}

namespace tav::shell {

// The login window "Control de Acceso": user name, password and the name of the system asked for.
// Three failed attempts per showing close it without success.
class PedirClave : public QDialog
{
    Q_OBJECT

public:
    PedirClave(store::Tdm &dm, SessionUser &session, QWidget *parent = nullptr);

    // Shows the window modally with `systemName` in its "Sistema" line; true when a user logged in
    // (the session then holds that user).
    static bool login(store::Tdm &dm, SessionUser &session, const QString &systemName, QWidget *parent = nullptr);

    void setSystemName(const QString &name);

    QLineEdit *userEdit() const { return m_user; }
    QLineEdit *passwordEdit() const { return m_password; }
    QPushButton *acceptButton() const { return m_accept; }
    QPushButton *cancelButton() const { return m_cancel; }
    const LoginRules &rules() const { return m_rules; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void acceptClicked();

    store::Tdm &m_dm;
    LoginRules m_rules;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QLabel *m_system;
    QPushButton *m_accept;
    QPushButton *m_cancel;
};

} // namespace tav::shell
