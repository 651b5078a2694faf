// The network stage alone, against NIST's worked example, and the rules that skip it.

#include "platform/quality/Nfiq.h"

#include <gtest/gtest.h>

namespace tav::quality {
namespace {

TEST(NfiqNetwork, ReproducesNistWorkedExample)
{
    // NIST's features of cmp00014 and the outputs NIST's software gives for them.
    const Features f = {3141, 187, 34, 34, 15, 0, 0, 0.130213, 0.265521, 0.342884, 0.261382};
    const std::array<double, 5> expected = {0.000, 0.011, 0.445, 0.598, 0.043};
    const std::array<double, 5> out = networkOutputs(f);
    for (std::size_t k = 0; k < out.size(); ++k)
        EXPECT_NEAR(out[k], expected[k], 0.0005) << "output " << k;
    const Rating r = classify(f);
    EXPECT_EQ(r.status, kValid);
    EXPECT_EQ(r.level, 4);
    EXPECT_NEAR(r.confidence, 0.598, 0.0005);
}

TEST(NfiqNetwork, EmptyOrTooFewMinutiaeSkipTheNetwork)
{
    struct Case
    {
        double foreground, minutiae;
        int status;
    };
    for (const Case c : {Case{0, 0, kEmptyImage}, Case{0, 40, kEmptyImage}, Case{500, 5, kTooFewMinutiae},
                         Case{500, 0, kTooFewMinutiae}, Case{500, 6, kValid}}) {
        Features f{};
        f[0] = c.foreground;
        f[1] = c.minutiae;
        f[10] = 1.0;
        const Rating r = classify(f);
        EXPECT_EQ(r.status, c.status) << c.foreground << " " << c.minutiae;
        if (c.status != kValid) {
            EXPECT_EQ(r.level, 5);
            EXPECT_EQ(r.confidence, 1.0);
        } else {
            EXPECT_GE(r.level, 1);
            EXPECT_LE(r.level, 5);
        }
    }
}

} // namespace
} // namespace tav::quality
