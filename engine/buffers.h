// The two capture buffers, one loop of audio per channel.
#pragma once

#include <cstdint>

namespace vorblexter {

// A set-up accepts loop lengths from 128 to 1000000000 frames, both ends included.
bool bufferLengthAccepted(std::int32_t loopLengthSamples) noexcept;

} // namespace vorblexter
