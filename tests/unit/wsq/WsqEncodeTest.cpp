#include "WsqTestUtil.h"
#include "platform/wsq/Wsq.h"
#include "support/TestDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tav::wsq {
namespace {

using test::readAll;
using test::readPgm;

// Our encoder against NIST's reference files at 0.75 bpp: the file within 3 % of NIST's size and the
// decoding within 0.2 dB of the PSNR of NIST's own decoding.
TEST(WsqEncode, MatchesNistReferenceSizeAndQuality)
{
    const std::filesystem::path dir = tav::test::fixturesDir();
    if (dir.empty() || !std::filesystem::exists(dir / "wsq"))
        FAIL() << "WSQ reference images not found in tests/fixtures/wsq";
    for (const char *name : {"cmp00010", "cmp00014"}) {
        SCOPED_TRACE(name);
        const test::Pgm original = readPgm(dir / "wsq" / (std::string(name) + ".pgm"));
        const test::Pgm nistDecoded = readPgm(dir / "wsq" / (std::string(name) + "_75_ref.pgm"));
        const auto nistFile = readAll(dir / "wsq" / (std::string(name) + "_75.wsq"));
        ASSERT_FALSE(original.pixels.empty());
        EncodeOptions o;
        o.nistComment = false; // NIST's files carry no comment either
        const std::vector<std::uint8_t> ours = encode(original.pixels, original.width, original.height, o);
        const double sizeRatio = double(ours.size()) / double(nistFile.size());
        EXPECT_NEAR(sizeRatio, 1.0, 0.03) << ours.size() << " bytes against " << nistFile.size();
        const DecodedImage d = decode(ours);
        ASSERT_EQ(d.width, original.width);
        ASSERT_EQ(d.height, original.height);
        EXPECT_NEAR(test::psnr(d.pixels, original.pixels), test::psnr(nistDecoded.pixels, original.pixels), 0.2);
    }
}

// Odd sizes (every split in the tree then has unequal halves) and tiny ones keep their size; the
// picture comes back close to the original.
TEST(WsqEncode, RoundTripKeepsAnySize)
{
    struct Case
    {
        int w, h;
        double minPsnr;
    };
    for (const Case c : {Case{401, 523, 28}, Case{523, 401, 28}, Case{400, 500, 28}, Case{33, 65, 0}, Case{17, 9, 0},
                         Case{1, 1, 0}, Case{2, 3, 0}, Case{1, 300, 0}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        const std::vector<std::uint8_t> px = test::ridges(c.w, c.h);
        const DecodedImage d = decode(encode(px, c.w, c.h));
        ASSERT_EQ(d.width, c.w);
        ASSERT_EQ(d.height, c.h);
        ASSERT_EQ(d.pixels.size(), px.size());
        EXPECT_GE(test::psnr(d.pixels, px), c.minPsnr);
    }
}

// A higher bit rate buys a larger file and a better picture.
TEST(WsqEncode, BitRateTradesSizeForQuality)
{
    std::vector<std::uint8_t> px = test::ridges(300, 360);
    std::uint32_t seed = 12345; // grain, so that the bits have detail to buy
    for (std::uint8_t &v : px) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<std::uint8_t>(std::clamp(int(v) + int(seed >> 27) - 16, 0, 255));
    }
    const auto low = encode(px, 300, 360, {0.75, 500, false, ""});
    const auto high = encode(px, 300, 360, {2.25, 500, false, ""});
    EXPECT_GT(high.size(), low.size() * 2);
    EXPECT_GT(test::psnr(decode(high).pixels, px), test::psnr(decode(low).pixels, px) + 3);
}

// A blank page and a page of one grey level come back exactly.
TEST(WsqEncode, FlatImagesComeBackExactly)
{
    for (const std::uint8_t level : {std::uint8_t{255}, std::uint8_t{0}, std::uint8_t{128}, std::uint8_t{37}}) {
        const std::vector<std::uint8_t> px(250 * 310, level);
        const auto f = encode(px, 250, 310);
        const DecodedImage d = decode(f);
        EXPECT_EQ(d.pixels, px) << int(level);
        EXPECT_LT(f.size(), 2000u);
    }
}

TEST(WsqEncode, RefusesBadInput)
{
    const std::vector<std::uint8_t> px(100, 0);
    EXPECT_THROW(encode(px, 0, 10), WsqError);
    EXPECT_THROW(encode(px, 10, 11), WsqError); // fewer pixels than the size says
    EXPECT_THROW(encode(px, 70000, 1), WsqError);
    EXPECT_THROW(encode(px, 10, 10, {0.0, 500, true, ""}), WsqError);
}

TEST(WsqEncode, WritesNistCommentAndExtraComment)
{
    const std::vector<std::uint8_t> px = test::ridges(64, 48);
    EncodeOptions o;
    o.ppi = 500;
    o.comment = "capturado en la oficina";
    const auto f = encode(px, 64, 48, o);
    const std::string text(f.begin(), f.end());
    EXPECT_NE(text.find("NIST_COM 9\nPIX_WIDTH 64\nPIX_HEIGHT 48\nPIX_DEPTH 8\nPPI 500\nLOSSY 1\n"), std::string::npos);
    EXPECT_NE(text.find("WSQ_BITRATE 0.750000"), std::string::npos);
    EXPECT_NE(text.find("capturado en la oficina"), std::string::npos);
}

} // namespace
} // namespace tav::wsq
