#include "engine/buffers.h"

#include "engine/allocation.h"
#include "engine/diagnostics.h"
#include "engine/slicer_effect.h"

#include <algorithm>

namespace vorblexter {

bool bufferLengthAccepted(std::int32_t loopLengthSamples) noexcept
{
    return loopLengthSamples >= kMinBufferSamples && loopLengthSamples <= kMaxBufferSamples;
}

// Audio thread, at the first block and after each capture restart. Every accepted set-up makes a
// new cleared pair, even at an unchanged length, so no captured audio survives it.
void SlicerEffect::setupBuffers() noexcept
{
    diagnostic("Setting up Buffers\n");
    getLoopInfo();
    try {
        if (!bufferLengthAccepted(loopLengthSamples)) {
            return;
        }
        const auto length = static_cast<std::size_t>(loopLengthSamples);
        std::unique_ptr<float[]> left(allocateSamples(length));
        std::unique_ptr<float[]> right(left ? allocateSamples(length) : nullptr);
        if (!left || !right) {
            // Keeping an old pair of another length would invite reads past its end; with no
            // buffers at all, capture and playback stand aside until a set-up succeeds.
            diagnostic("Allocation error\n");
            bufferLeft.reset();
            bufferRight.reset();
            bufferLengthSamples = 0;
            captureWriteLeft = 0;
            captureWriteRight = 0;
            return;
        }
        bufferLeft = std::move(left);
        bufferRight = std::move(right);
        bufferLengthSamples = loopLengthSamples;
        captureWriteLeft = 0;
        captureWriteRight = 0;
        std::fill_n(bufferLeft.get(), length, 0.0f);
        std::fill_n(bufferRight.get(), length, 0.0f);
    } catch (...) {
        diagnostic("setupBuffers fucked up...\n");
    }
}

} // namespace vorblexter
