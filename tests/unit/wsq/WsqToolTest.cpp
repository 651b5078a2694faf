// The command-line tool as a separate process: conversions both ways, the listing, and its errors.

#include "platform/bmp/Bmp.h"
#include "platform/wsq/Wsq.h"
#include "support/TestDir.h"
#include "support/ToolRun.h"
#include "unit/wsq/WsqTestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace tav::wsq {
namespace {

using tav::test::ToolRun;

ToolRun wsqtool(const std::string &args, const tav::test::TestDir &dir)
{
    return tav::test::runTool(WSQTOOL, args, dir);
}

std::string quoted(const std::filesystem::path &p)
{
    return "'" + p.string() + "'";
}

TEST(WsqTool, ConvertsBothWaysAndLists)
{
    tav::test::TestDir dir;
    const int w = 401, h = 523;
    const std::vector<std::uint8_t> px = test::ridges(w, h);
    {
        // A comment line in the header, as image programs write them.
        std::FILE *f = std::fopen((dir / "in.pgm").c_str(), "wb");
        std::fprintf(f, "P5\n# finger\n%d %d\n255\n", w, h);
        std::fwrite(px.data(), 1, px.size(), f);
        std::fclose(f);
    }
    ToolRun r = wsqtool("encode " + quoted(dir / "in.pgm") + " " + quoted(dir / "f.wsq") + " --bitrate 2.25", dir);
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<std::uint8_t> wsq = test::readAll(dir / "f.wsq");
    EXPECT_EQ(wsq, encode(px, w, h, {.bitRate = 2.25, .ppi = 500, .nistComment = true, .comment = {}}));

    const DecodedImage expected = decode(wsq);
    r = wsqtool("decode " + quoted(dir / "f.wsq") + " " + quoted(dir / "out.pgm"), dir);
    ASSERT_EQ(r.code, 0) << r.err;
    const test::Pgm pgm = test::readPgm(dir / "out.pgm");
    EXPECT_EQ(pgm.width, w);
    EXPECT_EQ(pgm.height, h);
    EXPECT_EQ(pgm.pixels, expected.pixels);
    EXPECT_GT(test::psnr(pgm.pixels, px), 30.0);

    r = wsqtool("decode " + quoted(dir / "f.wsq") + " " + quoted(dir / "out.BMP"), dir);
    ASSERT_EQ(r.code, 0) << r.err;
    const bmp::GreyImage bmp = bmp::load(dir / "out.BMP");
    EXPECT_EQ(bmp.width, w);
    EXPECT_EQ(bmp.pixels, expected.pixels);

    // A BMP goes in as well as a PGM.
    r = wsqtool("encode " + quoted(dir / "out.BMP") + " " + quoted(dir / "g.wsq"), dir);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(decode(test::readAll(dir / "g.wsq")).width, w);

    r = wsqtool("info " + quoted(dir / "f.wsq"), dir);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("SOF"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("523"), std::string::npos) << r.out;
}

TEST(WsqTool, ErrorsGoToStandardErrorWithNonZeroExit)
{
    tav::test::TestDir dir;
    {
        std::FILE *f = std::fopen((dir / "bad.wsq").c_str(), "wb");
        std::fputs("not a wsq file", f);
        std::fclose(f);
        f = std::fopen((dir / "short.pgm").c_str(), "wb");
        std::fputs("P5 100 100 255\nabc", f);
        std::fclose(f);
        f = std::fopen((dir / "empty.wsq").c_str(), "wb");
        std::fclose(f);
        f = std::fopen((dir / "good.pgm").c_str(), "wb");
        std::fputs("P5 2 2 255\n\x10\x20\x30\x40", f);
        std::fclose(f);
    }
    const struct
    {
        std::string args;
        int code;
        std::string message;
    } cases[] = {
        {"decode " + quoted(dir / "bad.wsq") + " " + quoted(dir / "o.pgm"), 1, "no es WSQ"},
        {"decode " + quoted(dir / "empty.wsq") + " " + quoted(dir / "o.pgm"), 1, "WSQ"},
        {"info " + quoted(dir / "bad.wsq"), 1, "ERROR:"},
        {"decode " + quoted(dir / "missing.wsq") + " " + quoted(dir / "o.pgm"), 1, "No se puede abrir"},
        {"encode " + quoted(dir / "short.pgm") + " " + quoted(dir / "o.wsq"), 1, "PGM incompleto"},
        {"encode " + quoted(dir / "short.pgm") + " " + quoted(dir / "o.wsq") + " --bitrate x", 2, "inválido"},
        {"convert a b", 2, "uso:"},
        {"encode " + quoted(dir / "good.pgm") + " " + quoted(dir / "no" / "o.wsq"), 1, "No se puede crear"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun r = wsqtool(c.args, dir);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "o.pgm"));
    EXPECT_FALSE(std::filesystem::exists(dir / "o.wsq"));
    for (const auto &e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(e.path().extension(), ".part") << "no half-written file is left behind";
}

} // namespace
} // namespace tav::wsq
