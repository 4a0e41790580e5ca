// Control port values, which automation curves may leave between the allowed ones, become the
// quantity the effect would display: the parameter table's rule for a musician's value.
#include "engine/parameter_table.h"
#include "tests/lv2/vst_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace vorblexter::lv2test {
namespace {

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(Lv2Controls, InBetweenValuesShowTheTruncatedOrLowerStepClampedToTheRange)
{
    struct Case {
        std::int32_t parameter;
        float value;
        std::int32_t quantity;
    };
    const Case cases[] = {
        {kReverse, 56.99f, 56},     {kReverse, 100.0f, 100},  {kReverse, 150.0f, 100},
        {kReverse, -0.5f, 0},       {kReverse, kNan, 0},      {kSilence, 0.999f, 0},
        {kVorblex, kInf, 100},      {kRepetition, 37.2f, 37}, {kEnvelope, 0.5f, 1},
        {kEnvelope, 19.9f, 19},     {kEnvelope, 20.0f, 20},   {kEnvelope, 10000.5f, 10000},
        {kEnvelope, -kInf, 1},      {kEnvelope, kNan, 1},     {kCutsPerBar, 3.99f, 2},
        {kCutsPerBar, 4.0f, 4},     {kCutsPerBar, 0.0f, 1},   {kCutsPerBar, 63.9f, 32},
        {kCutsPerBar, 1000.0f, 64}, {kVariation, 1.5f, 1},    {kVariation, kNan, 1},
        {kLoopLength, 12.0f, 8},    {kLoopLength, 64.0f, 64}, {kLoopLength, -kInf, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quantityFromDisplayValue(kParameters[c.parameter], c.value), c.quantity)
            << "parameter " << c.parameter << " value " << c.value;
    }
}

// The table agrees with the reference host's own reading of the same values. (That the host
// value of each quantity reads back as it is tests/parameters_test.cpp's.)
TEST(Lv2Controls, RandomValuesMapAsTheReferenceReadsThem)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> values(-20.0f, 12000.0f);
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t parameter = i % kParameterCount;
        const float value =
            i % 3 == 0 ? std::floor(values(random) / 100.0f)
                       : values(random) / 100.0f * (parameter == kEnvelope ? 100.0f : 1.0f);
        ASSERT_EQ(quantityFromDisplayValue(kParameters[parameter], value),
                  shownQuantity(parameter, value))
            << parameter << " " << value;
    }
}

} // namespace
} // namespace vorblexter::lv2test
