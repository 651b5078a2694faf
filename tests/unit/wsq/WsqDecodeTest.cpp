#include "WsqTestUtil.h"
#include "platform/wsq/Wsq.h"
#include "support/TestDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace tav::wsq {
namespace {

using test::readAll;
using test::readPgm;

std::filesystem::path wsqFixtures()
{
    const std::filesystem::path dir = tav::test::fixturesDir();
    return dir.empty() ? dir : dir / "wsq";
}

#define REQUIRE_FIXTURES()                                                                                             \
    if (wsqFixtures().empty() || !std::filesystem::exists(wsqFixtures()))                                              \
    FAIL() << "WSQ reference images not found in tests/fixtures/wsq"

std::vector<std::string> referenceFiles()
{
    std::vector<std::string> names;
    if (wsqFixtures().empty() || !std::filesystem::exists(wsqFixtures()))
        return names;
    for (const auto &e : std::filesystem::directory_iterator(wsqFixtures()))
        if (e.path().extension() == ".wsq")
            names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Every NIST file (both bit rates, the standard and the even-length filters) against NIST's own
// decoding of it, pixel for pixel.
TEST(WsqDecode, MatchesNistReferenceDecodings)
{
    REQUIRE_FIXTURES();
    const auto names = referenceFiles();
    ASSERT_GE(names.size(), 5u);
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        const DecodedImage img = decode(readAll(wsqFixtures() / (name + ".wsq")));
        const test::Pgm ref = readPgm(wsqFixtures() / (name + "_ref.pgm"));
        ASSERT_EQ(img.width, ref.width);
        ASSERT_EQ(img.height, ref.height);
        ASSERT_EQ(img.pixels.size(), ref.pixels.size());
        std::size_t differing = 0;
        std::size_t first = 0;
        for (std::size_t i = ref.pixels.size(); i-- > 0;)
            if (img.pixels[i] != ref.pixels[i]) {
                ++differing;
                first = i;
            }
        EXPECT_EQ(differing, 0u) << "first at x=" << first % std::size_t(ref.width)
                                 << " y=" << first / std::size_t(ref.width);
    }
}

// Splits a file into its segments (a block's segment carries its entropy-coded data along).
struct Segment
{
    std::uint16_t marker;
    std::vector<std::uint8_t> bytes; // marker included
};

std::vector<Segment> segments(const std::vector<std::uint8_t> &f)
{
    std::vector<Segment> out;
    std::size_t p = 2; // after SOI
    while (p + 1 < f.size()) {
        const std::uint16_t m = static_cast<std::uint16_t>((f[p] << 8) | f[p + 1]);
        if (m == 0xFFA1)
            break;
        const std::size_t len = static_cast<std::size_t>((f[p + 2] << 8) | f[p + 3]);
        std::size_t end = p + 2 + len;
        if (m == 0xFFA3)
            while (end + 1 < f.size() && !(f[end] == 0xFF && f[end + 1] != 0))
                ++end;
        out.push_back({m, {f.begin() + static_cast<std::ptrdiff_t>(p), f.begin() + static_cast<std::ptrdiff_t>(end)}});
        p = end;
    }
    return out;
}

std::vector<std::uint8_t> assemble(const std::vector<Segment> &parts)
{
    std::vector<std::uint8_t> f{0xFF, 0xA0};
    for (const Segment &s : parts)
        f.insert(f.end(), s.bytes.begin(), s.bytes.end());
    f.push_back(0xFF);
    f.push_back(0xA1);
    return f;
}

Segment comment(const std::string &text)
{
    Segment s{
        0xFFA8,
        {0xFF, 0xA8, static_cast<std::uint8_t>((text.size() + 2) >> 8), static_cast<std::uint8_t>(text.size() + 2)}};
    s.bytes.resize(4 + text.size());
    std::copy(text.begin(), text.end(), s.bytes.begin() + 4);
    return s;
}

// One DHT holding two tables becomes two DHT segments.
std::pair<Segment, Segment> splitHuffman(const Segment &dht)
{
    const auto &b = dht.bytes;
    std::size_t p = 4;
    std::size_t total = 0;
    for (int i = 0; i < 16; ++i)
        total += b[p + 1 + static_cast<std::size_t>(i)];
    const std::size_t firstEnd = p + 17 + total;
    auto make = [&](std::size_t from, std::size_t to) {
        const std::size_t len = to - from + 2;
        Segment s{0xFFA6, {0xFF, 0xA6, static_cast<std::uint8_t>(len >> 8), static_cast<std::uint8_t>(len)}};
        s.bytes.insert(s.bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(from),
                       b.begin() + static_cast<std::ptrdiff_t>(to));
        return s;
    };
    return {make(p, firstEnd), make(firstEnd, b.size())};
}

// Tables after the frame header, one DHT per table, the second table and a DTT/DQT copy between
// blocks, and several comments (one with a wrong NISTCOM) decode exactly as the original.
TEST(WsqDecode, AcceptsTablesAndCommentsWhereverTheFormatAllows)
{
    REQUIRE_FIXTURES();
    const std::vector<std::uint8_t> original = readAll(wsqFixtures() / "cmp00014_75.wsq");
    const DecodedImage expected = decode(original);
    const auto parts = segments(original);
    std::map<std::uint16_t, Segment> table;
    std::vector<Segment> blocks;
    for (const Segment &s : parts) {
        if (s.marker == 0xFFA3)
            blocks.push_back(s);
        else
            table[s.marker] = s;
    }
    ASSERT_EQ(blocks.size(), 3u);
    ASSERT_TRUE(table.count(0xFFA2) && table.count(0xFFA4) && table.count(0xFFA5) && table.count(0xFFA6));
    const auto [huff0, huff1] = splitHuffman(table[0xFFA6]);

    const std::vector<Segment> reordered{comment("NIST_COM 3\nPIX_WIDTH 1\nPIX_DEPTH 24"),
                                         table[0xFFA2],
                                         comment("otro comentario"),
                                         table[0xFFA5],
                                         huff0,
                                         table[0xFFA4],
                                         blocks[0],
                                         huff1,
                                         comment("entre bloques"),
                                         blocks[1],
                                         table[0xFFA4],
                                         table[0xFFA5],
                                         blocks[2]};
    const DecodedImage got = decode(assemble(reordered));
    EXPECT_EQ(got.width, expected.width);
    EXPECT_EQ(got.height, expected.height);
    EXPECT_EQ(got.pixels, expected.pixels);
}

TEST(WsqDecode, ReadsResolutionFromNistComment)
{
    const std::vector<std::uint8_t> px = test::ridges(64, 80);
    EncodeOptions o;
    o.ppi = 1000;
    const DecodedImage d = decode(encode(px, 64, 80, o));
    EXPECT_EQ(d.ppi, 1000);
    o.nistComment = false;
    EXPECT_EQ(decode(encode(px, 64, 80, o)).ppi, -1);
}

TEST(WsqDecode, DescribeListsSegmentsAndBlocks)
{
    const std::vector<std::uint8_t> px = test::ridges(120, 90);
    const std::vector<std::uint8_t> f = encode(px, 120, 90);
    bool ok = false;
    const std::string text = describe(f, &ok);
    EXPECT_TRUE(ok);
    for (const char *needle :
         {"SOI at 0", "COM at", "DTT at", "lowpass 9 taps, highpass 7 taps", "DQT at", "DHT at", "Huffman table 0",
          "Huffman table 1", "SOF at", "120 x 90", "block 1:", "block 3:", "EOI at"})
        EXPECT_NE(text.find(needle), std::string::npos) << needle;
    std::vector<std::uint8_t> cut(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(f.size() / 2));
    EXPECT_NE(describe(cut, &ok).find("ERROR:"), std::string::npos);
    EXPECT_FALSE(ok);
}

} // namespace
} // namespace tav::wsq
