#pragma once

#include <QString>

namespace tav::shell {

// Who is at the keyboard: set by the login at start, changed only by a password change, never
// cleared (there is no logout). The start-up code owns one and passes it to whoever needs it.
struct SessionUser
{
    QString user;     // the login name as typed (lower case)
    QString password; // the plain password the user types now

    bool loggedIn() const { return !user.isEmpty(); }
};

} // namespace tav::shell
