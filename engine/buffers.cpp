#include "engine/buffers.h"

#include "engine/allocation.h"
#include "engine/diagnostics.h"
#include "engine/slice_engine.h"

namespace vorblexter {

bool bufferLengthAccepted(std::int32_t loopLengthSamples) noexcept
{
    return loopLengthSamples >= kMinBufferSamples && loopLengthSamples <= kMaxBufferSamples;
}

// Audio thread, at the first block and after each capture restart. A loop that fits in the pair
// reuses it, with no allocation, release or page fault, so changing Loop Length back and forth
// costs next to nothing. Only a longer loop than the pair holds allocates a new pair of exactly
// its length, left uncleared: its pages fault in as capture first writes them, spread over the
// capture blocks. The old pair is handed over to be released off the audio thread (releasing a
// fully written pair of long buffers costs milliseconds). A pair is never shrunk: the memory
// was already in use for the longer loop, and replacing it would cost the very block the
// musician changes the loop in.
void SliceEngine::setupBuffers() noexcept
{
    diagnostic("Setting up Buffers\n");
    getLoopInfo();
    try {
        if (!bufferLengthAccepted(loopLengthSamples)) {
            return;
        }
        if (!bufferLeft || !bufferRight || loopLengthSamples > bufferCapacitySamples) {
            // The old pair is dropped before the new one is asked for. Keeping it when the new
            // one cannot be had would invite reads past its end; with no buffers at all,
            // capture and playback stand aside until a set-up succeeds.
            handOverBuffers(bufferLeft.release(), bufferRight.release());
            bufferLengthSamples = 0;
            bufferCapacitySamples = 0;
            captureWriteLeft = 0;
            captureWriteRight = 0;
            const auto length = static_cast<std::size_t>(loopLengthSamples);
            float* const left = allocateSamples(length);
            float* const right = left != nullptr ? allocateSamples(length) : nullptr;
            if (left == nullptr || right == nullptr) {
                handOverBuffers(left, right);
                diagnostic("Allocation error\n");
                return;
            }
            bufferLeft.reset(left);
            bufferRight.reset(right);
            bufferCapacitySamples = loopLengthSamples;
        }
        bufferLengthSamples = loopLengthSamples;
        captureWriteLeft = 0;
        captureWriteRight = 0;
        // The buffers are not cleared, and whatever they hold (an earlier loop, or fresh memory)
        // can never be heard: playback and the hand-over read only a loop whose capture is
        // complete, and a capture completes only once it has written every sample below
        // bufferLengthSamples, from the write positions set to 0 here or by restartCapture. A
        // restart in the middle of a block cannot complete that block's capture (the slices are
        // not ready), a refused set-up keeps the pair, its length and what was captured into it,
        // and a repositioning after a suspend moves only the play pointers.
    } catch (...) {
        diagnostic("setupBuffers fucked up...\n");
    }
}

void SliceEngine::handOverBuffers(float* left, float* right) noexcept
{
    static_assert(kMinBufferSamples >= static_cast<std::int32_t>(RetiredBuffers::kMinimumSamples));
    if (left != nullptr || right != nullptr) {
        retiredBuffers.handOver(left, right);
        releaseRequested = true;
    }
}

std::int32_t SliceEngine::releaseRetired() noexcept
{
    return retiredBuffers.releaseAll();
}

} // namespace vorblexter
