#pragma once

// The reversible scrambling of user passwords in the users table: a byte stream transform with a
// 16-bit state, the same length out as in. The constants and the reasoning behind them are in
// docs/admin-scrambling.md. It hides a password from a casual look at the table; it is not
// encryption.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace tav::crypto {

struct ScrambleKeys
{
    std::uint16_t start;
    std::uint16_t multiplier;
    std::uint16_t addend;
};

// The program's fixed constants.
inline constexpr ScrambleKeys kPasswordKeys{0x3A71, 0x9E35, 0x6B2D};

QByteArray scramble(const QByteArray &plain, const ScrambleKeys &keys = kPasswordKeys);
QByteArray unscramble(const QByteArray &stored, const ScrambleKeys &keys = kPasswordKeys);

// A password text (Windows-1252, one byte per character) to and from its stored bytes.
QByteArray scramblePassword(const QString &password);
QString unscramblePassword(const QByteArray &stored);

// Whether `stored` (as read from a fixed-width character field) holds `password`. Text fields are
// padded with spaces and read back trimmed, so a scrambled text that happens to end in a space
// byte loses it; comparing the scrambled forms, both without trailing spaces, stays right.
bool storedPasswordMatches(const QByteArray &stored, const QString &password);

} // namespace tav::crypto
