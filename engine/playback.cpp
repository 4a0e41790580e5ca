// The playback section of an audio block: the captured loop, slice by slice in the drawn order,
// on its own clock, and the loop wrap where pending changes take effect.
#include "engine/diagnostics.h"
#include "engine/fade.h"
#include "engine/slicer_effect.h"

#include <algorithm>

namespace vorblexter {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;
constexpr const char* kOutOfBounds = "playPointers gone out out of bounds\n";

} // namespace

void SlicerEffect::runPlaybackSection(float* const* outputs, std::int32_t frames,
                                      std::int32_t& framesWritten, bool completedHere)
{
    try {
        // The completing block was played by the hand-over; only its bookkeeping is left.
        if (loopCaptured && !completedHere) {
            playFrames(outputs, frames, framesWritten);
        }
        ++blocksInLoop;
    } catch (const AudioFailure& failure) {
        diagnostic(failure.message != nullptr ? failure.message : "EXCEPTION in Process\n");
    } catch (...) {
        diagnostic("EXCEPTION in Process\n");
    }
}

void SlicerEffect::playFrames(float* const* outputs, std::int32_t frames,
                              std::int32_t& framesWritten)
{
    for (std::int32_t i = 0; i < frames; ++i) {
        const std::int64_t slotEnd = static_cast<std::int64_t>(orderPosition + 1) * sliceLength;
        if (loopPosition >= slotEnd || playPointerLeft > bufferLengthSamples) {
            ++orderPosition;
            if (orderPosition >= sliceCount && wrapLoop()) {
                // A new capture begins with the next block; the rest of this one is the input.
                return;
            }
            placePointersAtSlot();
        }
        if (playPointerLeft > bufferLengthSamples) {
            throw AudioFailure{kOutOfBounds};
        }

        const Slice& slice = sliceAtOrderPosition();
        if (wasSuspended.load(kRelaxed) || slice.silenced || slice.length <= 0) {
            outputs[0][i] = 0.0f;
            outputs[1][i] = 0.0f;
        } else {
            const std::int64_t slotStart = static_cast<std::int64_t>(orderPosition) * sliceLength;
            const double gain = fadeGain(slotStart + sliceLength - loopPosition,
                                         loopPosition - slotStart, envelopeLength.load(kRelaxed));
            outputs[0][i] =
                static_cast<float>(static_cast<double>(readLeft(playPointerLeft)) * gain);
            outputs[1][i] =
                static_cast<float>(static_cast<double>(readRight(playPointerRight)) * gain);
        }
        framesWritten = i + 1;

        const std::int32_t step = slice.reversed ? -1 : 1;
        playPointerLeft += step;
        playPointerRight += step;
        ++loopPosition;
    }
}

// At most one pending change takes effect per wrap, in this order of precedence: a new loop
// length, a new slice count, new plan parameters, a due variation.
bool SlicerEffect::wrapLoop()
{
    diagnostic("loop.....\n");
    // Wraps modulo 2^32: only the remainder by a power-of-two period is ever asked.
    loopsSinceShuffle =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(loopsSinceShuffle) + 1u);
    bool restarted = false;
    std::int32_t pending = 0;
    if (loopLengthChanged.exchange(false, kRelaxed)) {
        diagnostic("Loop changed\n");
        restartCapture();
        restarted = true;
    } else if ((pending = pendingSliceCount.exchange(-1, kRelaxed)) > 0) {
        diagnostic("num slices changed\n");
        paramsChanged.store(false, kRelaxed);
        sliceCount = pending;
        setupSlices();
        randomiseSlices();
    } else if (paramsChanged.exchange(false, kRelaxed)) {
        diagnostic("Param changed\n");
        setupSlices();
        randomiseSlices();
    } else {
        const std::int32_t period = variationPeriod.load(kRelaxed);
        if (period > 0 && loopsSinceShuffle % period == 0) {
            diagnostic("Variation period over\n");
            randomiseSlices();
        }
    }
    orderPosition = 0;
    blocksInLoop = 0;
    loopPosition = 0;
    return restarted;
}

void SlicerEffect::placePointersAtSlot()
{
    const Slice& slice = sliceAtOrderPosition();
    const std::int32_t step = slice.reversed ? slice.length - 1 : 0;
    playPointerLeft = slice.startLeft + step;
    playPointerRight = slice.startRight + step;
}

// The hand-over steps forward even through a reversed slice; from the next frame on such a slot
// plays backwards, from the mirror image of what it has already played, so it never reads
// outside its slice.
void SlicerEffect::mirrorPointersInReversedSlot()
{
    const Slice& slice = sliceAtOrderPosition();
    if (!slice.reversed || slice.length <= 0) {
        return;
    }
    const std::int32_t played =
        std::clamp<std::int32_t>(playPointerLeft - slice.startLeft, 0, slice.length - 1);
    playPointerLeft = slice.startLeft + slice.length - 1 - played;
    playPointerRight = slice.startRight + slice.length - 1 - played;
}

const Slice& SlicerEffect::sliceAtOrderPosition() const
{
    if (orderPosition < 0 || orderPosition >= sliceCount || sliceCount > kMaxSlices) {
        throw AudioFailure{kOutOfBounds};
    }
    const std::int32_t index = sliceOrder[static_cast<std::size_t>(orderPosition)];
    if (index < 0 || index >= sliceCount || !slices[static_cast<std::size_t>(index)]) {
        throw AudioFailure{kOutOfBounds};
    }
    return *slices[static_cast<std::size_t>(index)];
}

float SlicerEffect::readLeft(std::int32_t index) const
{
    if (!bufferLeft) {
        throw AudioFailure{};
    }
    if (index < 0 || index >= bufferLengthSamples) {
        throw AudioFailure{kOutOfBounds};
    }
    return bufferLeft[static_cast<std::size_t>(index)];
}

float SlicerEffect::readRight(std::int32_t index) const
{
    if (!bufferRight) {
        throw AudioFailure{};
    }
    if (index < 0 || index >= bufferLengthSamples) {
        throw AudioFailure{kOutOfBounds};
    }
    return bufferRight[static_cast<std::size_t>(index)];
}

} // namespace vorblexter
