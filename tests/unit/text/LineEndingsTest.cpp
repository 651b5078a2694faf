#include "platform/text/LineEndings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tav::text;

TEST(LineEndings, ToCrLfNormalisesEveryKindOfBreak)
{
    struct Case
    {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"", ""},
        {"a", "a"},
        {"a\nb\n", "a\r\nb\r\n"},
        {"a\r\nb", "a\r\nb"},
        {"a\rb\r", "a\r\nb\r\n"},
        {"a\n\r\nb", "a\r\n\r\nb"},
        {"a\r\rb", "a\r\n\r\nb"},
        {"\n", "\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(toCrLf(c.in), c.out);
    }
}

TEST(LineEndings, SplitLinesAcceptsMixedBreaks)
{
    using Lines = std::vector<std::string_view>;
    EXPECT_EQ(splitLines(""), Lines{});
    EXPECT_EQ(splitLines("one"), Lines{"one"});
    EXPECT_EQ(splitLines("one\r\ntwo\nthree\rfour"), (Lines{"one", "two", "three", "four"}));
    EXPECT_EQ(splitLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(splitLines("\n"), Lines{""});
}
