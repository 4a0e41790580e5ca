// One slice of the captured loop.
#pragma once

#include <cstdint>

namespace vorblexter {

// Slice records an effect holds; the parameters never ask for more than 64 x 64 / 4 = 1024.
inline constexpr std::int32_t kMaxSlices = 10000;

// Laid out by the slice set-up, flagged by the draw of the order. Both starts are frame indices
// into the two capture buffers (always equal to each other); a slice in use always lies inside
// the buffers that exist, so `startLeft + length` never exceeds their length.
struct Slice {
    std::int32_t startLeft = 0;  // frames into bufferLeft
    std::int32_t startRight = 0; // frames into bufferRight
    std::int32_t length = 0;     // frames
    bool reversed = false;       // plays from its last frame back to its first
    bool silenced = false;       // plays as silence
};

} // namespace vorblexter
