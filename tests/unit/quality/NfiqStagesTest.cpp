// Each stage of the rating on pictures whose answer is known, so that a disagreement with NIST can be
// traced to the stage that causes it.

#include "platform/quality/Binarize.h"
#include "platform/quality/BlockMaps.h"
#include "platform/quality/Contour.h"
#include "platform/quality/Minutiae.h"
#include "platform/quality/PaddedImage.h"
#include "platform/quality/QualityMap.h"
#include "unit/quality/QualityTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
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

    // The nearer neighbour weighs more: 2 one block away against 6 three blocks away.
    BlockMaps w = uniformMaps(9, 1, kInvalidDirection);
    w.direction[w.at(3, 0)] = 2;
    w.direction[w.at(7, 0)] = 6;
    interpolateDirections(w);
    EXPECT_EQ(w.direction[w.at(4, 0)], 3);                 // (2 * 3 + 6 * 1) / 4
    EXPECT_EQ(w.direction[w.at(0, 0)], kInvalidDirection); // a neighbour on one side only

    // A direction with too few valid neighbours goes; smoothing fills a hole ringed by valid blocks.
    BlockMaps lone = uniformMaps(5, 5, kInvalidDirection);
    lone.direction[lone.at(2, 2)] = 5;
    lone.direction[lone.at(1, 2)] = 5;
    removeInconsistentDirections(lone);
    EXPECT_EQ(lone.direction[lone.at(2, 2)], kInvalidDirection);
    BlockMaps ring = uniformMaps(3, 3, 6);
    ring.direction[ring.at(1, 1)] = kInvalidDirection;
    smoothDirections(ring);
    EXPECT_EQ(ring.direction[ring.at(1, 1)], 6);
}

TEST(NfiqBlockMaps, LowFlowGapsCloseAndTheMarginHasNoDirection)
{
    BlockMaps m = uniformMaps(9, 9, 4);
    for (int by = 3; by <= 5; ++by)
        for (int bx = 3; bx <= 5; ++bx)
            m.lowFlow[m.at(bx, by)] = bx != 4 || by != 4; // a low-flow patch with a hole
    m.lowFlow[m.at(7, 7)] = 1;                            // and a lone block
    closeLowFlow(m);
    EXPECT_EQ(m.lowFlow[m.at(4, 4)], 1);
    EXPECT_EQ(m.lowFlow[m.at(3, 3)], 1);
    EXPECT_EQ(m.lowFlow[m.at(4, 1)], 0);
    EXPECT_EQ(m.lowFlow[m.at(7, 7)], 1);
    EXPECT_EQ(m.lowFlow[m.at(7, 6)], 0);
    invalidateMargin(m);
    EXPECT_EQ(m.direction[m.at(0, 4)], kInvalidDirection);
    EXPECT_EQ(m.direction[m.at(8, 8)], kInvalidDirection);
    EXPECT_EQ(m.direction[m.at(1, 1)], 4);
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

    // A gentle turn towards every neighbour is no curvature; one sharp turn towards a single one is.
    BlockMaps bend = uniformMaps(7, 7, 1);
    bend.direction[bend.at(3, 3)] = 0;
    EXPECT_EQ(highCurvatureMap(bend)[bend.at(3, 3)], 0);
    bend.direction[bend.at(4, 3)] = 5;
    EXPECT_EQ(highCurvatureMap(bend)[bend.at(3, 3)], 1);
    bend.direction[bend.at(4, 3)] = 4;
    EXPECT_EQ(highCurvatureMap(bend)[bend.at(3, 3)], 0);
}

TEST(NfiqQualityMap, GradesBlocksByTheirOwnMapsAndTheirNeighbours)
{
    BlockMaps m = uniformMaps(12, 12, 2);
    std::vector<std::uint8_t> q = qualityMap(m);
    const std::uint8_t expectedRow[12] = {1, 1, 4, 4, 4, 4, 4, 4, 4, 4, 1, 1}; // two blocks of margin
    for (int bx = 0; bx < 12; ++bx)
        EXPECT_EQ(q[m.at(bx, 5)], expectedRow[bx]) << bx;

    m.lowContrast[m.at(3, 3)] = 1; // background
    m.lowFlow[m.at(8, 8)] = 1;     // low flow far from it
    m.highCurvature[m.at(4, 5)] = 1;
    m.direction[m.at(8, 3)] = kInvalidDirection;
    q = qualityMap(m);
    struct Case
    {
        int bx, by, expected;
    };
    for (const Case c : {Case{3, 3, 0}, Case{8, 3, 0}, // unusable
                         Case{5, 5, 2},                // two blocks from the background
                         Case{4, 5, 1},                // high curvature, two blocks from the background
                         Case{8, 8, 2},                // low flow on its own
                         Case{7, 7, 3}, Case{9, 8, 3}, // next to the low flow
                         Case{6, 8, 3},                // two blocks from it
                         Case{5, 8, 4},                // three blocks from it
                         Case{6, 1, 1}})               // margin
        EXPECT_EQ(q[m.at(c.bx, c.by)], c.expected) << c.bx << "," << c.by;
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

    // One-pixel holes fill, along rows first; two-pixel gaps stay.
    std::vector<std::uint8_t> b = {1, 0, 1, 1, 0, 0, 1, //
                                   1, 1, 1, 1, 1, 1, 1};
    fillHoles(b, 7, 2);
    EXPECT_EQ(b, (std::vector<std::uint8_t>{1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1}));
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

void sortByRow(std::vector<Minutia> &list)
{
    std::sort(list.begin(), list.end(),
              [](const Minutia &a, const Minutia &c) { return a.y != c.y ? a.y < c.y : a.x < c.x; });
}

TEST(NfiqContour, FollowsABorderAndFindsLoops)
{
    // A 5 x 5 ridge square on valley: its border is 16 pixels long.
    std::vector<std::uint8_t> b(20 * 20, 0);
    setPixels(b, 20, 5, 10, 5, 10, 1);
    BinaryView v{20, 20, b};
    std::vector<ContourPoint> c;
    EXPECT_EQ(traceContour(v, c, 100, -1, -1, 5, 5, 5, 4, true), TraceResult::Loop);
    EXPECT_EQ(c.size(), 15u);
    for (const ContourPoint &p : c) {
        EXPECT_EQ(v.at(p.x, p.y), 1);
        EXPECT_EQ(v.at(p.ex, p.ey), 0);
    }
    EXPECT_EQ(traceContour(v, c, 100, 9, 5, 5, 5, 5, 4, true), TraceResult::Stopped);
    EXPECT_EQ(c.size(), 4u); // along the top edge
    EXPECT_EQ(traceContour(v, c, 3, -1, -1, 5, 5, 5, 4, false), TraceResult::Complete);
    EXPECT_TRUE(onSameContour(v, 9, 9, 10, 5, 5, 5, 4));
    EXPECT_FALSE(onSameContour(v, 9, 9, 5, 5, 5, 5, 4));
    ASSERT_EQ(traceContour(v, c, 100, -1, -1, 5, 5, 5, 4, true), TraceResult::Loop);
    c.insert(c.begin(), {5, 5, 5, 4});
    fillLoop(v, c);
    EXPECT_EQ(std::count(b.begin(), b.end(), 1), 0);
    // At the image's edge there is nothing to follow.
    std::vector<std::uint8_t> edge(10 * 10, 0);
    setPixels(edge, 10, 0, 3, 0, 10, 1);
    BinaryView e{10, 10, edge};
    EXPECT_EQ(traceContour(e, c, 30, -1, -1, 2, 5, 3, 5, true), TraceResult::Failed);
}

TEST(NfiqMinutiae, FindsARidgeEndingAndABifurcation)
{
    const int w = 120, h = 120;
    std::vector<std::uint8_t> b = verticalRidges(w, h);
    setPixels(b, w, 40, 44, 60, h, 0); // the ridge at x 40..43 ends at y 59
    setPixels(b, w, 74, 80, 0, 50, 1); // the valley at x 74..79 starts at y 50: above it its ridges are one
    BinaryView v{w, h, b};
    const BlockMaps maps = uniformMaps(15, 15, 0);
    std::vector<Minutia> found = detectMinutiae(v, maps);
    ASSERT_EQ(found.size(), 2u);
    std::sort(found.begin(), found.end(), [](const Minutia &a, const Minutia &c) { return a.x < c.x; });
    EXPECT_FALSE(found[0].bifurcation);
    EXPECT_NEAR(found[0].x, 41.5, 1.0);
    EXPECT_EQ(found[0].y, 59);
    EXPECT_EQ(found[0].direction, 0); // into its ridge, upwards
    EXPECT_TRUE(found[1].bifurcation);
    EXPECT_NEAR(found[1].x, 76.5, 1.0);
    EXPECT_EQ(found[1].y, 50);         // the first valley pixel
    EXPECT_EQ(found[1].direction, 16); // into its valley, downwards
}

TEST(NfiqMinutiae, SideMinutiaeGoAndTipsStay)
{
    const int w = 120, h = 120;
    std::vector<std::uint8_t> b = verticalRidges(w, h);
    setPixels(b, w, 40, 44, 60, h, 0); // a real ending at the bottom of the ridge at x 40..43
    BinaryView v{w, h, b};
    const BlockMaps maps = uniformMaps(15, 15, 0);
    const PixelMaps pm{maps, w, h};
    std::vector<Minutia> list = {{42, 59, 42, 60, 0, false, 0},  // the real ending
                                 {43, 30, 44, 30, 0, false, 0}}; // on a ridge's straight side
    removeOrAdjustSideMinutiae(list, v, pm);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].y, 59);
    EXPECT_NEAR(list[0].x, 41.5, 1.5);
    // Two of them moved onto the same pixel are one.
    list.push_back(list[0]);
    removeDuplicates(list);
    EXPECT_EQ(list.size(), 1u);
}

TEST(NfiqMinutiae, RemovesIslandsBreaksAndMinutiaeAtTheEdgeOfThePrint)
{
    const int w = 120, h = 120;
    std::vector<std::uint8_t> b = verticalRidges(w, h);
    setPixels(b, w, 40, 44, 30, 90, 0);
    setPixels(b, w, 40, 44, 55, 65, 1); // an island: a ridge fragment 10 pixels long
    BinaryView v{w, h, b};
    BlockMaps maps = uniformMaps(15, 15, 0);
    std::vector<Minutia> found = detectMinutiae(v, maps);
    EXPECT_EQ(found.size(), 4u); // the two real endings and the island's two
    sortByRow(found);
    removeIslandsAndLakes(found, v);
    EXPECT_EQ(found.size(), 2u);
    EXPECT_EQ(v.at(42, 60), 0); // the island is gone from the image too

    // A ridge broken for four pixels: two endings facing each other.
    std::vector<std::uint8_t> broken = verticalRidges(w, h);
    setPixels(broken, w, 40, 44, 60, 64, 0);
    BinaryView bv{w, h, broken};
    std::vector<Minutia> ends = detectMinutiae(bv, maps);
    EXPECT_EQ(ends.size(), 2u);
    sortByRow(ends);
    removeOverlaps(ends, bv);
    EXPECT_TRUE(ends.empty());

    // Blocks without direction to the right (columns 9..14).
    for (int by = 0; by < 15; ++by)
        for (int bx = 9; bx < 15; ++bx)
            maps.direction[maps.at(bx, by)] = kInvalidDirection;
    const PixelMaps pm{maps, w, h};
    std::vector<Minutia> list = {{30, 60, 30, 61, 0, false, 0}, {70, 60, 70, 61, 0, false, 0}};
    removeNearInvalidBlocks(list, pm);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].x, 30);
    // Pointing away from the invalid blocks means its ridge stops there: it goes.
    std::vector<Minutia> pointing = {{69, 60, 70, 60, 24, false, 0}, {69, 60, 68, 60, 8, false, 0}};
    removePointingToInvalidBlocks(pointing, pm);
    ASSERT_EQ(pointing.size(), 1u);
    EXPECT_EQ(pointing[0].direction, 8);
}

TEST(NfiqMinutiae, RemovesSpursAndMinutiaeOnHoles)
{
    const int w = 120, h = 120;
    std::vector<std::uint8_t> b = verticalRidges(w, h);
    setPixels(b, w, 44, 48, 50, 53, 1); // a spur sticking out of the ridge at x 40..43
    BinaryView v{w, h, b};
    // The spur's tip, and a bifurcation where the valley above it meets the ridge: both on one contour.
    std::vector<Minutia> spur = {{47, 51, 48, 51, 24, false, 0},
                                 {44, 49, 44, 50, 8, true, 0},
                                 {41, 100, 44, 100, 0, false, 0}}; // far away: stays
    sortByRow(spur);
    removeHooks(spur, v);
    ASSERT_EQ(spur.size(), 1u);
    EXPECT_EQ(spur[0].y, 100);

    // A bifurcation on a one-pixel-square hole inside a ridge goes; one on a long valley stays.
    std::vector<std::uint8_t> holes = verticalRidges(w, h);
    setPixels(holes, w, 40, 50, 40, 50, 1);
    setPixels(holes, w, 44, 46, 44, 46, 0);
    BinaryView hv{w, h, holes};
    std::vector<Minutia> list = {{44, 44, 44, 43, 0, true, 0}, {4, 80, 3, 80, 0, true, 0}};
    removeHoles(list, hv);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].x, 4);
}

TEST(NfiqMinutiae, PoresAndStubsGoOnlyWhereTheFlowIsUnsure)
{
    const int w = 120, h = 120;
    std::vector<std::uint8_t> b = verticalRidges(w, h);
    setPixels(b, w, 44, 48, 50, 53, 1); // a stub on the side of the ridge at x 40..43
    setPixels(b, w, 40, 44, 80, h, 0);  // a real ending at y 79
    setPixels(b, w, 60, 64, 30, 32, 0); // a ridge broken by a pore two pixels long
    BinaryView v{w, h, b};
    const std::vector<Minutia> found = {
        {47, 51, 48, 51, 24, false, 0}, {42, 79, 42, 80, 0, false, 0}, {62, 29, 62, 30, 0, false, 0}};
    BlockMaps maps = uniformMaps(15, 15, 0);
    std::vector<Minutia> sound = found;
    removePores(sound, v, PixelMaps{maps, w, h});
    EXPECT_EQ(sound.size(), 3u); // flow and curvature are sound: all stay

    for (std::size_t i = 0; i < maps.lowFlow.size(); ++i)
        maps.lowFlow[i] = i % 2 == 0 ? 1 : 0;
    for (std::size_t i = 1; i < maps.highCurvature.size(); i += 2)
        maps.highCurvature[i] = 1;
    std::vector<Minutia> unsure = found;
    removePores(unsure, v, PixelMaps{maps, w, h});
    ASSERT_EQ(unsure.size(), 1u); // the stub and the pore go, the ending stays
    EXPECT_EQ(unsure[0].y, 79);
}

TEST(NfiqMinutiae, ReliabilityFromBlockQualityAndContrast)
{
    struct Case
    {
        int quality;
        double mean, sd, expected;
    };
    // Full from a standard deviation of 64 and a mean of 127; the weaker of the two counts.
    for (const Case c :
         {Case{4, 127, 64, 0.99}, Case{4, 127, 200, 0.99}, Case{4, 127, 0, 0.50}, Case{4, 127, 32, 0.745},
          Case{4, 190.5, 64, 0.745}, Case{4, 63.5, 64, 0.745}, Case{4, 190.5, 32, 0.745}, Case{4, 254, 64, 0.50},
          Case{3, 127, 32, 0.37}, Case{2, 127, 64, 0.24}, Case{1, 127, 64, 0.09}, Case{0, 127, 64, 0.01}})
        EXPECT_NEAR(minutiaReliability(c.quality, c.mean, c.sd), c.expected, 1e-9)
            << c.quality << " " << c.mean << " " << c.sd;
}

} // namespace
} // namespace tav::quality
