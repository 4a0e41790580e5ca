// The slice plan: equal slices over the captured loop, and the drawn order they play in.
#pragma once

#include <cstdint>

namespace vorblexter {

// Slices per loop for a Cuts/Bar step (slices per four beats) and a loop length in beats:
// cutsPerBar x loopBeats / 4 in integer division, never below 1.
std::int32_t sliceCountFor(std::int32_t cutsPerBar, std::int32_t loopBeats) noexcept;

} // namespace vorblexter
