#pragma once

#include "store/Event.h"

#include "shell/Session.h"

#include <QString>

namespace tav::store {
class Tdm;
}

namespace tav::shell {

// Login names and passwords are at most this long (the width of C_LOGIN and C_CLAVE).
inline constexpr int kLoginLength = 10;
inline constexpr int kPasswordLength = 10;

// Whether a text could have been typed into a password edit: at most ten letters or digits, all
// lower case (the edit turns capitals into lower case). An empty text qualifies.
bool isPasswordText(const QString &text);

// The checks of the login window "Control de Acceso". Every message goes through the data
// module's Ui port. The session user is written only by a successful login.
class LoginRules
{
public:
    enum class Outcome {
        LoggedIn, // the window closes with success
        TryAgain, // wrong name or password, the window stays open
        Refused,  // the third failure: the window closes without success
    };
    static constexpr int kMaxAttempts = 3;

    LoginRules(store::Tdm &dm, SessionUser &session);

    // The window is shown: the attempt counter starts again.
    void reset() { m_failures = 0; }
    int failures() const { return m_failures; }

    // "&Aceptar" with the typed name and password.
    Outcome accept(const QString &user, const QString &password);

private:
    store::Tdm &m_dm;
    SessionUser &m_session;
    int m_failures = 0;
};

// "Cambiar Contraseña": the checks in order, then the scrambled password is saved in the user's
// row of `usu` and becomes the session's password.
class PasswordChange
{
public:
    PasswordChange(store::Tdm &dm, SessionUser &session);

    // True when the password was changed (after "Se cambió la contraseña exitosamente"); false after
    // the message of the first check that failed, with nothing changed.
    bool change(const QString &current, const QString &newPassword, const QString &confirmation);

private:
    store::Tdm &m_dm;
    SessionUser &m_session;
};

// The rules of the users table and of "Administrar Usuarios".
class UserAdmin
{
public:
    explicit UserAdmin(store::Tdm &dm);

    // Binds the rules of `usu`: a user needs a login name, and no two users share one (the login looks a
    // user up by name); a user is deleted only after the person's consent. The handlers hold nothing but
    // `dm` and stay bound while the returned subscriptions live (the program keeps them for its run).
    [[nodiscard]] static store::Subscriptions bindEvents(store::Tdm &dm);

    // "Limpiar Clave": after the user's consent the current user row loses its password, so that
    // user's password is the login name again. True when the password was cleared.
    bool clearPassword();

private:
    store::Tdm &m_dm;
};

} // namespace tav::shell
