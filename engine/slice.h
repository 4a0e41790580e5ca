// One slice of the captured loop.
#pragma once

#include <cstdint>

namespace vorblexter {

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
