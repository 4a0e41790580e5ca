// The limits the engine is measured against: plain copies moving the same data through memory
// of the loop's size, block by block.
#pragma once

#include <cstdint>
#include <vector>

namespace bench {

// Playback's limit: both channels copied from a loop-sized pair to the outputs, advancing through
// the pair block by block and wrapping at its end.
class PlaybackCopy {
public:
    PlaybackCopy(std::int64_t loopFrames, int blockFrames);
    void blocks(std::int64_t count);

private:
    std::vector<float> loopLeft, loopRight, outLeft, outRight;
    std::size_t cursor = 0;
};

// Capture's limit: both input channels copied into a loop-sized pair and to the outputs.
class CaptureCopy {
public:
    CaptureCopy(std::int64_t loopFrames, int blockFrames);
    void blocks(std::int64_t count);

private:
    std::vector<float> loopLeft, loopRight, inLeft, inRight, outLeft, outRight;
    std::size_t cursor = 0;
};

} // namespace bench
