#include "shell/LoginRules.h"

#include "platform/crypto/PasswordScrambler.h"
#include "platform/text/Cp1252Qt.h"
#include "store/Tdm.h"

#include <exception>

namespace tav::shell {

namespace {

const QString kLogin = QStringLiteral("C_LOGIN");
const QString kPassword = QStringLiteral("C_CLAVE");

// Moves `usu` to the row whose login name is exactly `user` (same case). An empty name finds nothing:
// a row without a login name must never open the program.
bool locateUser(store::Dataset &usu, const QString &user)
{
    if (user.trimmed().isEmpty() || !usu.isActive())
        return false;
    return usu.locate(kLogin, user);
}

// The stored password of the current row as the bytes on disk.
QByteArray storedPassword(const store::Dataset &usu)
{
    return text::toCp1252(usu.field(kPassword).asString());
}

} // namespace

bool isPasswordText(const QString &text)
{
    if (text.size() > kPasswordLength)
        return false;
    for (const QChar c : text) {
        if (!c.isLetterOrNumber() || c != c.toLower() || !text::isCp1252Representable(QString(c)))
            return false;
    }
    return true;
}

// --- login ---

LoginRules::LoginRules(store::Tdm &dm, SessionUser &session) : m_dm(dm), m_session(session) {}

LoginRules::Outcome LoginRules::accept(const QString &user, const QString &password)
{
    auto &ui = m_dm.ui();
    bool success = false;
    QString current;
    try {
        store::Dataset &usu = *m_dm.usu;
        if (locateUser(usu, user)) {
            if (usu.field(kPassword).isNull()) {
                // A user without a password logs in with the login name.
                current = usu.field(kLogin).asString();
                success = password == current;
            } else {
                // The scrambled forms are compared: the stored text may have lost a trailing blank byte.
                success = crypto::storedPasswordMatches(storedPassword(usu), password);
                current = password;
            }
        }
    } catch (const std::exception &e) {
        ui.error(QString::fromUtf8(e.what()));
        return Outcome::TryAgain;
    } catch (const store::Abort &) {
        return Outcome::TryAgain;
    }

    if (success) {
        m_session.user = user;
        m_session.password = current;
        if (current == user || current.isEmpty())
            ui.message(QStringLiteral("Para mayor seguridad, conviene que cambie su contraseña"),
                       QStringLiteral("Consejo"), ui::Ui::Buttons::Ok, ui::Ui::Icon::Information);
        return Outcome::LoggedIn;
    }

    ++m_failures;
    if (m_failures >= kMaxAttempts) {
        ui.beep();
        ui.warning(QStringLiteral("Intento de ingreso no autorizado"));
        return Outcome::Refused;
    }
    ui.warning(QStringLiteral("Usuario y/o contraseña incorrecta"));
    return Outcome::TryAgain;
}

// --- password change ---

PasswordChange::PasswordChange(store::Tdm &dm, SessionUser &session) : m_dm(dm), m_session(session) {}

bool PasswordChange::change(const QString &current, const QString &newPassword, const QString &confirmation)
{
    auto &ui = m_dm.ui();
    if (current != m_session.password) {
        ui.error(QStringLiteral("La contraseña actual es incorrecta"));
        return false;
    }
    if (newPassword == current) {
        ui.error(QStringLiteral("La contraseña actual y la nueva son iguales"));
        return false;
    }
    if (newPassword.isEmpty()) {
        ui.error(QStringLiteral("La contraseña no puede ser vacía"));
        return false;
    }
    if (confirmation != newPassword) {
        ui.error(QStringLiteral("Las nuevas contraseñas no coinciden"));
        return false;
    }
    // A character field does not keep trailing blanks (nor zero bytes): a scrambled text ending in one
    // would be stored shorter, and a shorter password would then open the account too.
    const QByteArray scrambled = crypto::scramblePassword(newPassword);
    if (scrambled.endsWith(' ') || scrambled.endsWith('\0')) {
        ui.error(QStringLiteral("Esa contraseña no se puede guardar. Por favor elija otra"));
        return false;
    }

    store::Dataset &usu = *m_dm.usu;
    try {
        // The current row is usually the user who logged in; otherwise look that user up by the exact
        // name, so that a row differing only in case is never changed in its place.
        const bool onUser = usu.isActive() && !usu.isEmpty() && !usu.isEditing() &&
                            usu.field(kLogin).asString() == m_session.user && !m_session.user.isEmpty();
        if (!onUser && !locateUser(usu, m_session.user)) {
            ui.error(QStringLiteral("Error: usuario no encontrado"));
            return false;
        }
        usu.edit();
        usu.field(kPassword).setValue(text::fromCp1252(scrambled));
        if (!usu.post()) {
            usu.cancel();
            return false;
        }
    } catch (const store::Abort &) {
        return false;
    } catch (const std::exception &e) {
        if (usu.isEditing())
            usu.cancel();
        ui.error(QStringLiteral("No se pudo guardar la contraseña: ") + QString::fromUtf8(e.what()));
        return false;
    }
    m_session.password = newPassword;
    ui.information(QStringLiteral("Se cambió la contraseña exitosamente"));
    return true;
}

// --- user administration ---

UserAdmin::UserAdmin(store::Tdm &dm) : m_dm(dm) {}

store::Subscriptions UserAdmin::bindEvents(store::Tdm &dm)
{
    store::Subscriptions bindings;
    bindings += dm.usu->beforePost.subscribe([&dm](store::Dataset &usu) {
        store::Field &login = usu.field(kLogin);
        if (dm.isMissing(login, QStringLiteral("Usuario")))
            throw store::Abort{};
        // The login window turns what is typed into lower case and matches names exactly: a name with
        // capitals could never log in, so it is stored in lower case.
        const QString name = login.asString().toLower();
        const store::RecNo self = usu.state() == store::DatasetState::Edit ? usu.currentRecNo() : 0;
        auto &source = usu.source();
        for (const store::KeyEntry &e : source.liveRecords()) {
            if (e.recno == self)
                continue;
            const QVariant key = e.keyLoaded ? e.key : source.keyOf(e.recno);
            if (key.toString() == name) {
                dm.ui().warning(QStringLiteral("Ya existe el usuario \"%1\"").arg(name));
                throw store::Abort{};
            }
        }
        if (name != login.asString()) {
            login.setValue(name);
            dm.ui().information(QStringLiteral("El usuario se grabará como \"%1\":\rlos nombres de usuario se "
                                               "escriben en minúsculas, como se ingresan al iniciar la sesión.")
                                    .arg(name));
        }
    });
    // The navigator asks nothing before a deletion; a user is removed only after consent.
    bindings += dm.usu->beforeDelete.subscribe([&dm](store::Dataset &usu) {
        const QString question =
            QStringLiteral("¿Está seguro que desea borrar el usuario \"%1\"?").arg(usu.field(kLogin).asString());
        if (!dm.ui().confirm(question))
            throw store::Abort{};
    });
    return bindings;
}

bool UserAdmin::clearPassword()
{
    store::Dataset &usu = *m_dm.usu;
    if (!usu.isActive() || usu.isEmpty())
        return false;
    if (!m_dm.ui().confirm(QStringLiteral("¿Está seguro que desea limpiar\rla contraseña de este usuario?")))
        return false;
    try {
        if (!usu.isEditing())
            usu.edit();
        usu.field(kPassword).clear();
        return usu.post();
    } catch (const store::Abort &) {
        return false;
    } catch (const std::exception &e) {
        m_dm.ui().error(QString::fromUtf8(e.what()));
        return false;
    }
}

} // namespace tav::shell
