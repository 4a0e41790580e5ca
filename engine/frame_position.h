// Host transport positions as whole frames.
#pragma once

#include <cmath>
#include <cstdint>

namespace vorblexter {

// Truncates a host position (frames, as a double) toward zero. 64 bits keep sessions longer
// than 2^31 frames (13.5 hours at 44.1 kHz) working; values beyond +-2^62 saturate so that
// adding a block length can never overflow, and NaN counts as position 0.
inline std::int64_t framePosition(double samplePos) noexcept
{
    constexpr double kLimit = 4611686018427387904.0; // 2^62
    if (std::isnan(samplePos)) {
        return 0;
    }
    if (samplePos >= kLimit) {
        return INT64_C(4611686018427387904);
    }
    if (samplePos <= -kLimit) {
        return -INT64_C(4611686018427387904);
    }
    return static_cast<std::int64_t>(samplePos);
}

} // namespace vorblexter
