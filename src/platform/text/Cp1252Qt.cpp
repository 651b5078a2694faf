#include "platform/text/Cp1252Qt.h"

#include "platform/text/Cp1252.h"

namespace tav::text {

namespace {

// Calls `f` with each code point of `text`; a lone surrogate is passed as itself, which the
// code page cannot show.
template <typename F> void forEachCodePoint(const QString &text, F f)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            f(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else {
            f(static_cast<char32_t>(c.unicode()));
        }
    }
}

} // namespace

QString fromCp1252(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        out += QChar(static_cast<char16_t>(cp1252ToUnicode(static_cast<unsigned char>(c))));
    return out;
}

QByteArray toCp1252(const QString &text, char replacement)
{
    QByteArray out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](char32_t cp) {
        const auto byte = unicodeToCp1252(cp);
        out += byte ? static_cast<char>(*byte) : replacement;
    });
    return out;
}

bool isCp1252Representable(const QString &text)
{
    bool representable = true;
    forEachCodePoint(text, [&](char32_t cp) { representable = representable && unicodeToCp1252(cp).has_value(); });
    return representable;
}

} // namespace tav::text
