#pragma once

// The proxy password is kept in the settings as Base64 (standard alphabet) of the password
// enciphered with RC4, keyed with the 20-byte SHA-1 digest of the proxy user name. Both texts
// are taken as Windows-1252 bytes. A password stored under one user name therefore deciphers
// to garbage under another, which the configuration window uses to ask for both again.

#include <QString>

#include <optional>

namespace tav::crypto {

QString encryptProxyPassword(const QString &password, const QString &user);

// Nothing when `stored` is not valid Base64. An empty `stored` gives an empty password.
std::optional<QString> decryptProxyPassword(const QString &stored, const QString &user);

} // namespace tav::crypto
