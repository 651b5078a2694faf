#pragma once

#include "shell/LoginRules.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace tav::store {
class Tdm;
}

namespace tav::shell {

// "Cambiar Contraseña": the session user's current password, the new one and its confirmation.
class CambClave : public QDialog
{
    Q_OBJECT

public:
    CambClave(store::Tdm &dm, SessionUser &session, QWidget *parent = nullptr);

    // Shows the window modally; true when the password was changed.
    static bool changePassword(store::Tdm &dm, SessionUser &session, QWidget *parent = nullptr);

    QLineEdit *currentEdit() const { return m_current; }
    QLineEdit *newEdit() const { return m_new; }
    QLineEdit *confirmEdit() const { return m_confirm; }
    QPushButton *changeButton() const { return m_change; }
    QPushButton *cancelButton() const { return m_cancel; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    store::Tdm &m_dm;
    PasswordChange m_rules;
    QLineEdit *m_current;
    QLineEdit *m_new;
    QLineEdit *m_confirm;
    QPushButton *m_change;
    QPushButton *m_cancel;
};

} // namespace tav::shell
