// The whole rating: hostile sizes and contents never crash, and NIST's reference images kept in the
// project's test data get NIST's level.

#include "platform/quality/Nfiq.h"
#include "unit/quality/QualityTestUtil.h"
#include "unit/wsq/WsqTestUtil.h"

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

TEST(NfiqRate, AFingerLikePictureIsRated)
{
    const std::vector<std::uint8_t> px = wsq::test::ridges(400, 500);
    const Rating r = rate(px, 400, 500);
    EXPECT_EQ(r.status, kValid);
    EXPECT_GT(r.features[0], 500);
    EXPECT_GT(r.features[1], 5);
}

} // namespace
} // namespace tav::quality
