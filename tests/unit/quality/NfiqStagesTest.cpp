// Each stage of the rating on pictures whose answer is known, so that a disagreement with NIST can be
// traced to the stage that causes it.

#include "platform/quality/Binarize.h"
#include "platform/quality/BlockMaps.h"
#include "platform/quality/Minutiae.h"
#include "platform/quality/PaddedImage.h"
#include "platform/quality/QualityMap.h"
#include "unit/quality/QualityTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tav::quality {
namespace {

BlockMaps uniformMaps(int bw, int bh, int dir)
{
    BlockMaps m;
    m.blocksWide = bw;
    m.blocksHigh = bh;
    const std::size_t n = static_cast<std::size_t>(bw) * static_cast<std::size_t>(bh);
    m.direction.assign(n, dir);
    m.lowContrast.assign(n, 0);
    m.lowFlow.assign(n, 0);
    m.highCurvature.assign(n, 0);
    return m;
}

TEST(NfiqBlockMaps, FindsTheDirectionOfStraightRidges)
{
    for (int d = 0; d < kDirections; ++d) {
        const std::vector<std::uint8_t> px = test::stripes(96, 96, d);
        const PaddedImage img(px, 96, 96);
        EXPECT_EQ(blockDirection(img, 5, 5), d) << "direction " << d;
    }
}

TEST(NfiqBlockMaps, BlankIsLowContrastAndRidgesAreNot)
{
    std::vector<std::uint8_t> px = test::stripes(128, 64, 3);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            px[static_cast<std::size_t>(y * 128 + x)] = 230; // left half blank paper
    const PaddedImage img(px, 128, 64);
    const std::vector<std::uint8_t> lc = lowContrastMap(img, 16, 8);
    for (int by = 0; by < 8; ++by) {
        EXPECT_EQ(lc[static_cast<std::size_t>(by * 16 + 2)], 1) << by;
        EXPECT_EQ(lc[static_cast<std::size_t>(by * 16 + 13)], 0) << by;
    }
    const BlockMaps maps = computeBlockMaps(img);
    EXPECT_EQ(maps.direction[maps.at(2, 4)], kInvalidDirection);
    EXPECT_EQ(maps.direction[maps.at(12, 4)], 3);
}

TEST(NfiqBlockMaps, RemovesAnOutlierAndInterpolatesAHole)
{
    BlockMaps m = uniformMaps(9, 9, 4);
    m.direction[m.at(4, 4)] = 12; // at right angles to all its neighbours
    removeInconsistentDirections(m);
    EXPECT_EQ(m.direction[m.at(4, 4)], kInvalidDirection);
    EXPECT_EQ(m.direction[m.at(3, 4)], 4);
    interpolateDirections(m);
    EXPECT_EQ(m.direction[m.at(4, 4)], 4);

    // Directions do not wrap wrongly: 15 and 1 average to 0.
    BlockMaps w = uniformMaps(3, 3, 15);
    for (int bx = 0; bx < 3; ++bx)
        w.direction[w.at(bx, 2)] = 1;
    w.direction[w.at(2, 1)] = 1;
    w.direction[w.at(1, 1)] = kInvalidDirection;
    interpolateDirections(w);
    EXPECT_EQ(w.direction[w.at(1, 1)], 0);
}

TEST(NfiqBlockMaps, HighCurvatureAroundAWhorlOnly)
{
    EXPECT_EQ(highCurvatureMap(uniformMaps(7, 7, 6)), std::vector<std::uint8_t>(49, 0));
    // Ridges circling the centre block: the flow turns right round it.
    BlockMaps m = uniformMaps(7, 7, 0);
    for (int by = 0; by < 7; ++by)
        for (int bx = 0; bx < 7; ++bx) {
            const double a = std::atan2(by - 3, bx - 3) + std::numbers::pi / 2; // tangent
            int d = static_cast<int>(std::lround(a / (std::numbers::pi / 16))) % 16;
            m.direction[m.at(bx, by)] = d < 0 ? d + 16 : d;
        }
    m.direction[m.at(3, 3)] = kInvalidDirection;
    const std::vector<std::uint8_t> hc = highCurvatureMap(m);
    EXPECT_EQ(hc[m.at(3, 3)], 1);
    EXPECT_EQ(hc[m.at(0, 0)], 0);
}

TEST(NfiqQualityMap, DropsTowardsUnusableBlocksAndTheEdge)
{
    BlockMaps m = uniformMaps(10, 10, 2);
    std::vector<std::uint8_t> q = qualityMap(m);
    const std::uint8_t expectedRow[10] = {2, 2, 3, 3, 4, 4, 3, 3, 2, 2};
    for (int bx = 0; bx < 10; ++bx)
        EXPECT_EQ(q[m.at(bx, 5)], expectedRow[bx]) << bx;
    m.lowContrast[m.at(5, 5)] = 1;
    m.lowFlow[m.at(4, 3)] = 1;
    q = qualityMap(m);
    EXPECT_EQ(q[m.at(5, 5)], 0);
    EXPECT_EQ(q[m.at(4, 4)], 2);
    EXPECT_EQ(q[m.at(5, 2)], 3); // three blocks from the unusable one and from the edge
    EXPECT_EQ(q[m.at(4, 3)], 2); // low flow, and two blocks from the unusable one
    m.direction[m.at(2, 7)] = kInvalidDirection;
    m.highCurvature[m.at(5, 4)] = 1;
    q = qualityMap(m);
    EXPECT_EQ(q[m.at(2, 7)], 1); // ridge flow nowhere to be found, but not background
    EXPECT_EQ(q[m.at(5, 4)], 2);
}

TEST(NfiqBinarize, RidgesBecomeRidgePixels)
{
    const int w = 96, h = 96;
    const std::vector<std::uint8_t> px = test::stripes(w, h, 5);
    const PaddedImage img(px, w, h);
    const BlockMaps maps = uniformMaps(12, 12, 5);
    const std::vector<std::uint8_t> bin = binarize(img, maps);
    int agree = 0, total = 0;
    for (int y = 8; y < h - 8; ++y)
        for (int x = 8; x < w - 8; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * w + x);
            if (std::abs(px[i] - 128) < 20)
                continue; // on a ridge's flank either answer is right
            ++total;
            agree += bin[i] == (px[i] < 128 ? 1 : 0);
        }
    EXPECT_GT(agree, total * 99 / 100);
    BlockMaps none = maps;
    none.direction.assign(none.direction.size(), kInvalidDirection);
    EXPECT_EQ(binarize(img, none), std::vector<std::uint8_t>(bin.size(), 0));
}

// Vertical ridges 4 pixels wide every 10 pixels on a binary image.
std::vector<std::uint8_t> verticalRidges(int w, int h)
{
    std::vector<std::uint8_t> b(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b[static_cast<std::size_t>(y * w + x)] = (x % 10) < 4;
    return b;
}

void setPixels(std::vector<std::uint8_t> &b, int w, int x0, int x1, int y0, int y1, int v)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            b[static_cast<std::size_t>(y * w + x)] = static_cast<std::uint8_t>(v);
}

TEST(NfiqMinutiae, FindsARidgeEndingAndABifurcation)
{
    const int w = 120, h = 120;
    std::vector<std::uint8_t> b = verticalRidges(w, h);
    setPixels(b, w, 40, 44, 60, h, 0); // the ridge at x 40..43 ends at y 59
    setPixels(b, w, 74, 80, 0, 50, 1); // the valley at x 74..79 starts at y 50: above it its ridges are one
    const BlockMaps maps = uniformMaps(15, 15, 8);
    std::vector<Minutia> found = detectMinutiae(BinaryImage{w, h, b}, maps);
    ASSERT_EQ(found.size(), 2u);
    std::sort(found.begin(), found.end(), [](const Minutia &a, const Minutia &c) { return a.x < c.x; });
    EXPECT_FALSE(found[0].bifurcation);
    EXPECT_NEAR(found[0].x, 41.5, 1.0);
    EXPECT_EQ(found[0].y, 59);
    EXPECT_LT(found[0].dy, -0.9); // the ridge continues upwards
    EXPECT_TRUE(found[1].bifurcation);
    EXPECT_NEAR(found[1].x, 76.5, 1.0);
    EXPECT_EQ(found[1].y, 49);   // on the ridge where the two ridges join
    EXPECT_GT(found[1].dy, 0.9); // the valley continues downwards
}

TEST(NfiqMinutiae, KeepsOnlyMinutiaeConfirmedAlongTheFlow)
{
    const int w = 120, h = 120;
    std::vector<std::uint8_t> b = verticalRidges(w, h);
    setPixels(b, w, 40, 44, 60, h, 0);                      // a real ending at (41, 59)
    std::vector<Minutia> list = {{41, 59, false, 0, -1, 0}, // the real ending
                                 {44, 30, false, 0, -1, 0}, // on a ridge's side
                                 {47, 80, true, 0, 1, 0},   // in the middle of a valley
                                 {41, 59, false, 0, 1, 0}}; // the real one, pointing the wrong way
    removeUnconfirmed(list, BinaryImage{w, h, b});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].y, 59);
    EXPECT_LT(list[0].dy, 0);
}

TEST(NfiqMinutiae, RemovesIslandsHooksAndMinutiaeAtTheEdgeOfThePrint)
{
    const int w = 120, h = 120;
    std::vector<std::uint8_t> b = verticalRidges(w, h);
    setPixels(b, w, 40, 44, 30, 90, 0);
    setPixels(b, w, 40, 44, 55, 65, 1); // an island: a ridge fragment 10 pixels long
    BlockMaps maps = uniformMaps(15, 15, 8);
    std::vector<Minutia> found = detectMinutiae(BinaryImage{w, h, b}, maps);
    EXPECT_EQ(found.size(), 4u); // the two real endings and the island's two
    removeIslandsAndLakes(found, BinaryImage{w, h, b});
    EXPECT_EQ(found.size(), 2u);

    // Background blocks to the right: an ending beside them goes, one in the middle stays.
    for (int by = 0; by < 15; ++by)
        for (int bx = 9; bx < 15; ++bx)
            maps.lowContrast[maps.at(bx, by)] = 1;
    const std::vector<std::uint8_t> q = qualityMap(maps);
    std::vector<Minutia> list = {{30, 60, false, 0, -1, 0}, {70, 60, false, 0, -1, 0}, {30, 3, false, 0, 1, 0}};
    removeNearInvalidBlocks(list, maps, q);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].x, 30);
    EXPECT_EQ(list[0].y, 60);

    std::vector<Minutia> pairs = {{10, 10, false, 0, 1, 0},
                                  {14, 12, true, 0, -1, 0}, // hook
                                  {50, 50, false, 0, 1, 0},
                                  {50, 56, false, 0, -1, 0}, // broken ridge
                                  {90, 90, false, 0, 1, 0}};
    removeHooksAndOverlaps(pairs);
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].x, 90);
}

TEST(NfiqMinutiae, ReliabilityFromBlockQualityAndContrast)
{
    struct Case
    {
        int quality;
        double mean, sd, expected;
    };
    // Full contrast from a standard deviation of 44; a mean away from mid-grey lowers it.
    for (const Case c :
         {Case{4, 127, 44, 0.99}, Case{4, 127, 200, 0.99}, Case{4, 127, 0, 0.50}, Case{4, 127, 22, 0.745},
          Case{4, 191, 44, 0.745}, Case{4, 63, 44, 0.745}, Case{4, 255, 44, 0.50}, Case{3, 127, 22, 0.37},
          Case{2, 127, 64, 0.24}, Case{1, 127, 64, 0.09}, Case{0, 127, 64, 0.01}})
        EXPECT_NEAR(minutiaReliability(c.quality, c.mean, c.sd), c.expected, 1e-9)
            << c.quality << " " << c.mean << " " << c.sd;
}

} // namespace
} // namespace tav::quality
