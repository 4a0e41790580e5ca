#include "engine/parameter_mapping.h"

#include <cmath>
#include <limits>

namespace vorblexter {

namespace {

constexpr float kStepThresholds[] = {0.15f, 0.3f, 0.45f, 0.6f, 0.75f, 0.9f};

double finiteOrZero(float value)
{
    return std::isnan(value) ? 0.0 : static_cast<double>(value);
}

// The rounded inverse can land a hair on the wrong side of the exact value, and truncation then
// reads it back one step off: a host that saves the reported value and restores it would lose a
// step at every save (57 percent would come back as 56). Moving a few floats towards the
// quantity finds the closest value that reads back whole; values that already do are kept.
float readsBackAs(float value, std::int32_t quantity, std::int32_t (*forward)(float) noexcept)
{
    float candidate = value;
    for (int step = 0; step < 64; ++step) {
        const std::int32_t readBack = forward(candidate);
        if (readBack == quantity) {
            return candidate;
        }
        candidate = std::nextafter(candidate, readBack < quantity
                                                  ? std::numeric_limits<float>::infinity()
                                                  : -std::numeric_limits<float>::infinity());
    }
    return value;
}

} // namespace

std::int32_t truncateToInt32(double value) noexcept
{
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0) {
        return INT32_MAX;
    }
    if (value <= -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t percentFromNormalized(float value) noexcept
{
    return truncateToInt32(finiteOrZero(value) * 100.0);
}

std::int32_t exponentialFromNormalized(float value) noexcept
{
    return truncateToInt32(std::pow(10.0, 4.0 * finiteOrZero(value)));
}

std::int32_t stepFromNormalized(float value) noexcept
{
    const float v = std::isnan(value) ? 0.0f : value;
    std::int32_t step = 1;
    for (const float threshold : kStepThresholds) {
        if (v >= threshold) {
            step *= 2;
        }
    }
    return step;
}

float normalizedFromPercent(std::int32_t percent) noexcept
{
    return readsBackAs(
        static_cast<float>(static_cast<double>(percent) * static_cast<double>(0.01f)), percent,
        &percentFromNormalized);
}

float normalizedFromExponential(std::int32_t quantity) noexcept
{
    // log10 of a quantity below 1 has no normalized counterpart that maps back; 0.0 maps to 1.
    if (quantity < 1) {
        return 0.0f;
    }
    return readsBackAs(static_cast<float>(std::log10(static_cast<double>(quantity)) * 0.25),
                       quantity, &exponentialFromNormalized);
}

float normalizedFromStep(std::int32_t step) noexcept
{
    switch (step) {
    case 2:
        return kStepThresholds[0];
    case 4:
        return kStepThresholds[1];
    case 8:
        return kStepThresholds[2];
    case 16:
        return kStepThresholds[3];
    case 32:
        return kStepThresholds[4];
    default:
        return step <= 1 ? 0.0f : kStepThresholds[5];
    }
}

} // namespace vorblexter
