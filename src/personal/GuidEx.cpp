#include "personal/GuidEx.h"

#include <QRandomGenerator>
#include <QUuid>

namespace tav::personal {

QString TGuidEx::NewGuidText()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

QString TGuidEx::NewGuidQuotedText()
{
    return QLatin1Char('\'') + NewGuidText() + QLatin1Char('\'');
}

QString GenerarCodigoSeguridad(int length)
{
    if (length < 1 || length > 31)
        return {};
    QString digits = TGuidEx::NewGuidQuotedText();
    for (const QChar c : {QLatin1Char('\''), QLatin1Char('-'), QLatin1Char('{'), QLatin1Char('}')})
        digits.remove(c);
    // The start comes from the operating system's random source: two codes made in the same instant (or on
    // two stations started together) never share a start the way a clock-seeded generator would.
    const auto start = static_cast<int>(QRandomGenerator::system()->bounded(quint32(32 - length)));
    return digits.mid(start, length);
}

} // namespace tav::personal
