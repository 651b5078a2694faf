// fingertool as a separate process: one line per file for every supported format, and its errors.

#include "platform/bmp/Bmp.h"
#include "platform/wsq/Wsq.h"
#include "support/TestDir.h"
#include "support/ToolRun.h"
#include "unit/wsq/WsqTestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace tav::quality {
namespace {

std::vector<std::string> split(const std::string &s, char sep)
{
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string part;
    while (std::getline(in, part, sep))
        out.push_back(part);
    return out;
}

std::string quotedPath(const std::filesystem::path &p)
{
    return "'" + p.string() + "'";
}

TEST(FingerTool, RatesPgmBmpPngAndWsqFiles)
{
    tav::test::TestDir dir;
    const int w = 400, h = 480;
    const std::vector<std::uint8_t> px = wsq::test::ridges(w, h);
    {
        std::FILE *f = std::fopen((dir / "a.pgm").c_str(), "wb");
        std::fprintf(f, "P5\n%d %d\n255\n", w, h);
        std::fwrite(px.data(), 1, px.size(), f);
        std::fclose(f);
    }
    bmp::saveGrey(dir / "b.bmp", bmp::GreyImage{w, h, px, 500});
    bmp::writeFile(dir / "c.wsq",
                   wsq::encode(px, w, h, {.bitRate = 2.25, .ppi = 500, .nistComment = true, .comment = {}}));
    const std::string png = std::string(NFIQ_FIXTURES) + "/cmp00010.png";
    const tav::test::ToolRun r =
        tav::test::runTool(FINGERTOOL,
                           "quality " + quotedPath(dir / "a.pgm") + " " + quotedPath(dir / "b.bmp") + " " +
                               quotedPath(dir / "c.wsq") + " " + quotedPath(png) + " --features",
                           dir);
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<std::string> lines = split(r.out, '\n');
    ASSERT_EQ(lines.size(), 4u) << r.out;
    const std::string names[] = {(dir / "a.pgm").string(), (dir / "b.bmp").string(), (dir / "c.wsq").string(), png};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> f = split(lines[i], '\t');
        ASSERT_EQ(f.size(), 14u) << lines[i];
        EXPECT_EQ(f[0], names[i]);
        EXPECT_GE(std::stoi(f[1]), 1);
        EXPECT_LE(std::stoi(f[1]), 5);
        // The synthetic ridges hold hardly any minutiae ("too few minutiae"); the finger is rated.
        if (i == 3) {
            EXPECT_EQ(f[2], "0");
        } else {
            EXPECT_TRUE(f[2] == "0" || f[2] == "2") << lines[i];
        }
    }
    // The PGM and the BMP hold the same pixels.
    EXPECT_EQ(split(lines[0], '\t')[1], split(lines[1], '\t')[1]);
    EXPECT_EQ(split(lines[0], '\t')[13], split(lines[1], '\t')[13]);
}

TEST(FingerTool, ReportsBadFilesAndGoesOn)
{
    tav::test::TestDir dir;
    {
        std::FILE *f = std::fopen((dir / "bad.bmp").c_str(), "wb");
        std::fputs("BM this is no picture", f);
        std::fclose(f);
    }
    const std::vector<std::uint8_t> blank(64 * 64, 255);
    bmp::saveGrey(dir / "blank.bmp", bmp::GreyImage{64, 64, blank, 500});
    tav::test::ToolRun r = tav::test::runTool(FINGERTOOL,
                                              "quality " + quotedPath(dir / "missing.png") + " " +
                                                  quotedPath(dir / "bad.bmp") + " " + quotedPath(dir / "blank.bmp"),
                                              dir);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, (dir / "blank.bmp").string() + "\t5\t1\n");
    EXPECT_NE(r.err.find("missing.png"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("bad.bmp"), std::string::npos) << r.err;
    r = tav::test::runTool(FINGERTOOL, "", dir);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("uso: fingertool"), std::string::npos);
}

} // namespace
} // namespace tav::quality
