// The sine-shaped fade at both edges of every slice slot.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vorblexter {

// pi/2 to ten significant digits, as the fades have always used it.
inline constexpr double kHalfPi = 1.570796327;

// Gain for a frame `fromStart` frames into its slot with `toEnd` frames of the slot left (the
// frame itself included), for a fade of `envelopeLength` frames. The fade-in wins where both
// edges are near. Each product is evaluated left to right, (n x 1.570796327) / E: dividing the
// constant by E first changes the last bit in about a quarter of cases. Always within [0, 1].
inline double fadeGain(std::int64_t toEnd, std::int64_t fromStart,
                       std::int32_t envelopeLength) noexcept
{
    double gain = 1.0;
    if (envelopeLength <= 0) {
        return gain;
    }
    const double length = static_cast<double>(envelopeLength);
    if (toEnd < envelopeLength) {
        gain = std::sin(static_cast<double>(std::max<std::int64_t>(toEnd, 0)) * kHalfPi / length);
    }
    if (fromStart < envelopeLength) {
        gain =
            std::sin(static_cast<double>(std::max<std::int64_t>(fromStart, 0)) * kHalfPi / length);
    }
    return gain;
}

} // namespace vorblexter
