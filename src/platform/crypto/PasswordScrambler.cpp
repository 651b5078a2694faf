#include "platform/crypto/PasswordScrambler.h"

#include "platform/text/Cp1252Qt.h"

namespace tav::crypto {

namespace {

enum class Direction { Scramble, Unscramble };

QByteArray transform(const QByteArray &in, const ScrambleKeys &keys, Direction direction)
{
    QByteArray out(in.size(), '\0');
    std::uint16_t state = keys.start;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(in[i]);
        const auto result = static_cast<std::uint8_t>(byte ^ (state >> 8));
        out[i] = static_cast<char>(result);
        // The state always advances with the scrambled byte, so both directions stay in step.
        const std::uint8_t scrambled = direction == Direction::Scramble ? result : byte;
        state = static_cast<std::uint16_t>((state + scrambled) * keys.multiplier + keys.addend);
    }
    return out;
}

QByteArray withoutTrailingSpaces(QByteArray bytes)
{
    while (!bytes.isEmpty() && (bytes.back() == ' ' || bytes.back() == '\0'))
        bytes.chop(1);
    return bytes;
}

} // namespace

QByteArray scramble(const QByteArray &plain, const ScrambleKeys &keys)
{
    return transform(plain, keys, Direction::Scramble);
}

QByteArray unscramble(const QByteArray &stored, const ScrambleKeys &keys)
{
    return transform(stored, keys, Direction::Unscramble);
}

QByteArray scramblePassword(const QString &password)
{
    return scramble(tav::text::toCp1252(password));
}

QString unscramblePassword(const QByteArray &stored)
{
    return tav::text::fromCp1252(unscramble(stored));
}

bool storedPasswordMatches(const QByteArray &stored, const QString &password)
{
    return withoutTrailingSpaces(stored) == withoutTrailingSpaces(scramblePassword(password));
}

} // namespace tav::crypto
