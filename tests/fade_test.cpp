#include "engine/fade.h"
#include "engine/fade_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

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

// The table must hold fadeGain's values bit for bit, for any envelope length, whatever order
// the fades ask for their chunks in and however often the length changes back and forth.
TEST(FadeTable, HoldsFadeGainForEveryLengthAndPositionInAnyOrderOfUse)
{
    auto table = std::make_unique<FadeTable>();
    std::mt19937 random(7);
    std::vector<std::int32_t> lengths = {1, 2, 63, 64, 65, 127, 128, 129, 9999, 10000};
    for (int k = 0; k < 60; ++k) {
        lengths.push_back(1 + static_cast<std::int32_t>(random() % FadeTable::kCapacity));
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (const std::int32_t length : lengths) {
            // Runs of up to 128 positions, from random places, as fade-in and fade-out runs ask.
            for (int run = 0; run < 40; ++run) {
                const auto first = static_cast<std::int32_t>(random() % length);
                const auto count = static_cast<std::int32_t>(
                    1 + random() % std::min<std::uint32_t>(128, length - first));
                const double* gains = table->gains(length, first, count);
                for (std::int32_t j = 0; j < count; ++j) {
                    const std::int32_t n = first + j;
                    ASSERT_EQ(std::bit_cast<std::uint64_t>(gains[j]),
                              std::bit_cast<std::uint64_t>(fadeGain(length, n, length)))
                        << "position " << n << " of " << length;
                    ASSERT_EQ(std::bit_cast<std::uint64_t>(gains[j]),
                              std::bit_cast<std::uint64_t>(fadeGain(n, length + 1, length)))
                        << "fade-out position " << n << " of " << length;
                }
            }
        }
    }
}

} // namespace
} // namespace vorblexter
