// Loop and bar lengths from the host's tempo, in sample frames.
//
// A beat always lasts 60 / tempo seconds whatever the time signature's denominator, and a bar
// has `timeSigNumerator` beats. Products are taken in double precision in the order written and
// truncated toward zero: 81415.38 frames give 81415.
#pragma once

#include <cstdint>
#include <optional>

namespace vorblexter {

struct LoopGeometry {
    std::int32_t loopLengthSamples = 0; // frames
    std::int32_t barLengthSamples = 0;  // frames; zero or negative for such numerators
};

// Empty when the tempo or sample rate is zero, negative or not finite, or when either length
// falls outside the 32-bit range: the caller then keeps the lengths it had.
std::optional<LoopGeometry> computeLoopGeometry(double tempo, double sampleRate,
                                                std::int32_t loopBeats,
                                                std::int32_t timeSigNumerator) noexcept;

} // namespace vorblexter
