#include "platform/text/Cp1252.h"

#include <array>
#include <cstdint>

namespace tav::text {

namespace {

// Code points of bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98
};

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at the start of `in`. Returns the code point, or nothing for a
// malformed sequence; `length` is set to the bytes consumed (for a malformed sequence: its
// longest valid-looking prefix, at least one byte, so decoding resynchronises right after it).
std::optional<char32_t> decodeUtf8(std::string_view in, std::size_t &length)
{
    const auto lead = static_cast<unsigned char>(in[0]);
    length = 1;
    if (lead < 0x80)
        return lead;

    std::size_t need = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80; // bounds of the second byte, which rule out overlong forms,
    unsigned char hi = 0xBF; // surrogates and code points above U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0)
            lo = 0xA0;
        else if (lead == 0xED)
            hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        cp = lead & 0x07;
        if (lead == 0xF0)
            lo = 0x90;
        else if (lead == 0xF4)
            hi = 0x8F;
    } else {
        return std::nullopt;
    }

    for (std::size_t i = 1; i <= need; ++i) {
        if (i >= in.size())
            return std::nullopt;
        const auto c = static_cast<unsigned char>(in[i]);
        const bool ok = i == 1 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xBF);
        if (!ok)
            return std::nullopt;
        cp = (cp << 6) | (c & 0x3F);
        length = i + 1;
    }
    return cp;
}

} // namespace

char32_t cp1252ToUnicode(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControls[byte - 0x80];
    return byte;
}

std::optional<unsigned char> unicodeToCp1252(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<unsigned char>(codePoint);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == codePoint)
            return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

std::string cp1252ToUtf8(std::string_view cp1252)
{
    std::string out;
    out.reserve(cp1252.size() + cp1252.size() / 4);
    for (const char c : cp1252)
        appendUtf8(out, cp1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string utf8ToCp1252(std::string_view utf8, char replacement)
{
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        std::size_t length = 0;
        const auto cp = decodeUtf8(utf8, length);
        const auto byte = cp ? unicodeToCp1252(*cp) : std::nullopt;
        out += byte ? static_cast<char>(*byte) : replacement;
        utf8.remove_prefix(length);
    }
    return out;
}

} // namespace tav::text
