#include "platform/text/Cp1252.h"
#include "platform/text/Cp1252Qt.h"

#include <gtest/gtest.h>

#include <string>

using namespace tav::text;

namespace {

std::string allBytes()
{
    std::string s;
    for (int b = 0; b < 256; ++b)
        s += static_cast<char>(b);
    return s;
}

} // namespace

// The 0x80..0x9F block is where Windows-1252 differs from Latin-1; every entry is checked, the
// five undefined bytes included (they decode to the C1 control of the same number).
TEST(Cp1252, HighBlockDecodesPerWindowsTable)
{
    const char32_t expected[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    for (int b = 0x80; b <= 0x9F; ++b) {
        SCOPED_TRACE(b);
        EXPECT_EQ(cp1252ToUnicode(static_cast<unsigned char>(b)), expected[b - 0x80]);
        EXPECT_EQ(unicodeToCp1252(expected[b - 0x80]), static_cast<unsigned char>(b));
        EXPECT_EQ(fromCp1252(QByteArray(1, static_cast<char>(b))), QString(QChar(char16_t(expected[b - 0x80]))));
    }
    for (int b : {0x00, 0x41, 0x7F, 0xA0, 0xD1, 0xE9, 0xF1, 0xFF})
        EXPECT_EQ(cp1252ToUnicode(static_cast<unsigned char>(b)), static_cast<char32_t>(b));
}

TEST(Cp1252, EveryByteRoundTripsThroughBothApis)
{
    const std::string bytes = allBytes();
    const std::string utf8 = cp1252ToUtf8(bytes);
    EXPECT_EQ(utf8ToCp1252(utf8), bytes);

    const QString text = fromCp1252(QByteArray::fromStdString(bytes));
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text.toStdString(), utf8);
    EXPECT_EQ(toCp1252(text).toStdString(), bytes);
    EXPECT_TRUE(isCp1252Representable(text));
}

TEST(Cp1252, SpanishTextIsOneBytePerLetter)
{
    const std::string utf8 = "Versión «Año» ¿Está? Ñandú – 5 €";
    const std::string bytes = utf8ToCp1252(utf8);
    EXPECT_EQ(bytes, "Versi\xF3n \xAB"
                     "A\xF1o\xBB \xBF"
                     "Est\xE1? \xD1"
                     "and\xFA \x96 5 \x80");
    EXPECT_EQ(cp1252ToUtf8(bytes), utf8);
    EXPECT_EQ(toCp1252(QString::fromStdString(utf8)).toStdString(), bytes);
}

TEST(Cp1252, UnrepresentableCharactersBecomeTheReplacement)
{
    // Greek, a C1 control Windows-1252 does not keep (U+0080), a character outside the BMP.
    EXPECT_EQ(utf8ToCp1252("a\xCE\xA9"
                           "b\xC2\x80"
                           "c\xF0\x9F\x98\x80"
                           "d"),
              "a?b?c?d");
    EXPECT_EQ(utf8ToCp1252("\xCE\xA9", '_'), "_");

    const QString text = QString::fromUtf8("a\xCE\xA9"
                                           "b\xF0\x9F\x98\x80"
                                           "c");
    EXPECT_EQ(toCp1252(text), QByteArray("a?b?c"));
    EXPECT_FALSE(isCp1252Representable(text));
    EXPECT_EQ(toCp1252(QString(QChar(char16_t(0xD800))) + "x"), QByteArray("?x")); // lone surrogate
}

TEST(Cp1252, MalformedUtf8NeverReadsPastTheInputAndResynchronises)
{
    struct Case
    {
        const char *name;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"lone continuation",
         "a\x80"
         "b",
         "a?b"},
        {"truncated three-byte at end", "a\xE2\x82", "a?"},
        {"truncated sequence then ASCII",
         "\xE2\x82"
         "b",
         "?b"},
        {"overlong slash", "\xC0\xAF", "??"},
        {"overlong three-byte", "\xE0\x80\xAF", "???"},
        {"UTF-16 surrogate", "\xED\xA0\x80", "???"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"invalid lead", "\xF5\xFF", "??"},
        {"lead at very end", "x\xC3", "x?"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8ToCp1252(c.in), c.out);
    }
}
