// The whole rating: hostile sizes and contents never crash, and NIST's reference images kept in the
// project's test data get NIST's level.

#include "FingerImageFile.h"
#include "platform/quality/Nfiq.h"
#include "unit/quality/QualityTestUtil.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

namespace tav::quality {
namespace {

TEST(NfiqRate, AnySizeAndContentGetsALevel)
{
    std::mt19937 rng(7);
    const std::pair<int, int> sizes[] = {{0, 0}, {0, 50},   {50, 0},   {1, 1},   {3, 7},     {8, 8},
                                         {9, 9}, {401, 10}, {10, 401}, {64, 64}, {2000, 16}, {17, 2000}};
    for (const auto &[w, h] : sizes) {
        const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
        std::vector<std::uint8_t> noise(n);
        for (auto &p : noise)
            p = static_cast<std::uint8_t>(rng());
        std::vector<std::uint8_t> checker(n);
        for (std::size_t i = 0; i < n; ++i)
            checker[i] = ((i % static_cast<std::size_t>(std::max(1, w))) / 3 +
                          i / static_cast<std::size_t>(std::max(1, w)) / 3) %
                                 2
                             ? 255
                             : 0;
        const std::vector<std::vector<std::uint8_t>> contents = {
            std::vector<std::uint8_t>(n, 255), std::vector<std::uint8_t>(n, 0), noise, checker, test::stripes(w, h, 3)};
        for (std::size_t c = 0; c < contents.size(); ++c) {
            const Rating r = rate(contents[c], w, h);
            EXPECT_GE(r.level, 1) << w << "x" << h << " content " << c;
            EXPECT_LE(r.level, 5) << w << "x" << h << " content " << c;
            EXPECT_TRUE(r.status == kValid || r.status == kEmptyImage || r.status == kTooFewMinutiae);
            if (c < 2) { // blank or saturated: nothing to rate
                EXPECT_EQ(r.status, kEmptyImage) << w << "x" << h << " content " << c;
            }
        }
    }
}

TEST(NfiqRate, RefusesWrongBuffersAndOversizeImages)
{
    const std::vector<std::uint8_t> small(99);
    EXPECT_THROW(rate(small, 10, 10), std::invalid_argument);
    EXPECT_THROW(rate(small, -1, 10), std::invalid_argument);
    const std::vector<std::uint8_t> big(static_cast<std::size_t>(kMaxPixels) + 4000);
    const Rating r = rate(big, 4000, static_cast<int>(kMaxPixels / 4000) + 1);
    EXPECT_EQ(r.status, kNoMemory);
}

TEST(NfiqRate, NistReferenceImagesInOurTestData)
{
    // NIST's foreground block count and level for each (features.tsv beside the images).
    struct Case
    {
        const char *name;
        int nistForeground, nistMinutiae, nistLevel;
    };
    for (const Case c :
         {Case{"cmp00010", 2669, 100, 3}, Case{"cmp00014", 3141, 187, 4}, Case{"cmp00008", 4566, 142, 1}}) {
        const bmp::GreyImage img = fingertool::loadGreyImage(std::string(NFIQ_FIXTURES) + "/" + c.name + ".png");
        const Rating r = rate(img.pixels, img.width, img.height);
        EXPECT_EQ(r.status, kValid) << c.name;
        EXPECT_NEAR(r.features[0], c.nistForeground, 0.05 * c.nistForeground) << c.name;
        EXPECT_NEAR(r.features[1], c.nistMinutiae, 0.25 * c.nistMinutiae) << c.name;
        if (std::string(c.name) != "cmp00008") { // the images whose features all agree closely with NIST's
            EXPECT_EQ(r.level, c.nistLevel) << c.name;
        }
    }
    // Blank card paper: NIST gives level 5 without running the network.
    const bmp::GreyImage blank = fingertool::loadGreyImage(std::string(NFIQ_FIXTURES) + "/cmp00018.png");
    const Rating r = rate(blank.pixels, blank.width, blank.height);
    EXPECT_EQ(r.level, 5);
    EXPECT_NE(r.status, kValid);
}

} // namespace
} // namespace tav::quality
