#include "engine/fade.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vorblexter {
namespace {

TEST(FadeGain, EvaluatesEachProductLeftToRightInDoublePrecision)
{
    // (n x 1.570796327) / E and n x (1.570796327 / E) differ in the last bit for about a
    // quarter of n; the fade must be the former, bit for bit.
    int differing = 0;
    for (std::int32_t length : {7, 20, 100, 1000}) {
        for (std::int32_t n = 0; n < length; ++n) {
            const double leftToRight = std::sin((n * 1.570796327) / length);
            const double constantFirst = std::sin(n * (1.570796327 / length));
            differing += leftToRight != constantFirst;
            EXPECT_EQ(fadeGain(length + 5, n, length), leftToRight) << n << " / " << length;
            EXPECT_EQ(fadeGain(n + 1, length + 5, length),
                      std::sin(((n + 1) * 1.570796327) / length))
                << n << " / " << length;
        }
    }
    EXPECT_GT(differing, 0); // the table above really tells the two orders apart
}

TEST(FadeGain, FadeInWinsWhereBothEdgesAreNearAndGainStaysWithinUnitRange)
{
    EXPECT_EQ(fadeGain(3, 1, 20), std::sin((1 * 1.570796327) / 20));
    EXPECT_EQ(fadeGain(20, 20, 20), 1.0);
    EXPECT_EQ(fadeGain(1, 0, 1), 0.0); // envelope 1 silences only the first frame of a slot
    EXPECT_EQ(fadeGain(1, 5, 1), 1.0); // and has no fade-out
    EXPECT_EQ(fadeGain(1, 5, 0), 1.0); // no envelope at all
    for (std::int64_t toEnd = -3; toEnd < 40; ++toEnd) {
        for (std::int64_t fromStart = -3; fromStart < 40; ++fromStart) {
            const double gain = fadeGain(toEnd, fromStart, 30);
            EXPECT_GE(gain, 0.0);
            EXPECT_LE(gain, 1.0);
        }
    }
}

} // namespace
} // namespace vorblexter
