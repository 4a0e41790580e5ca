// The audio path as it was before it ran in runs: every section frame by frame, exactly as the
// per-frame rule reads. Kept in the tests only, as the reference the engine is compared with.
#include "tests/per_frame_effect.h"

#include "engine/diagnostics.h"
#include "engine/fade.h"
#include "engine/frame_position.h"

#include <algorithm>

namespace vorblexter::testing {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;
constexpr const char* kOutOfBounds = "playPointers gone out out of bounds\n";

void copyInput(float* const* inputs, float* const* outputs, std::int32_t from, std::int32_t to)
{
    for (std::int32_t i = from; i < to; ++i) {
        outputs[0][i] = inputs[0][i];
        outputs[1][i] = inputs[1][i];
    }
}

} // namespace

void PerFrameRule::process(float* const* inputs, float* const* outputs, std::int32_t sampleFrames)
{
    try {
        const std::int32_t frames = std::max<std::int32_t>(sampleFrames, 0);
        if (frames > 0 &&
            (inputs == nullptr || outputs == nullptr || inputs[0] == nullptr ||
             inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr)) {
            return;
        }
        float* const in[2] = {frames > 0 ? inputs[0] : nullptr, frames > 0 ? inputs[1] : nullptr};
        float* const out[2] = {frames > 0 ? outputs[0] : nullptr,
                               frames > 0 ? outputs[1] : nullptr};

        std::int32_t framesWritten = 0;
        bool completedHere = false;
        if (runEntrySection()) {
            CaptureOutcome outcome = CaptureOutcome::continueToPlayback;
            if (!s.loopCaptured) {
                outcome = runCaptureSection(in, out, frames, framesWritten, completedHere);
            }
            if (outcome == CaptureOutcome::continueToPlayback) {
                runPlaybackSection(out, frames, framesWritten, completedHere);
            }
        }
        copyInput(in, out, framesWritten, frames);
    } catch (...) {
    }
}

bool PerFrameRule::runEntrySection()
{
    try {
        s.timeInfo = EngineAccess::transportSource(engine).transport();
        if (q.wasSuspended.exchange(false, kRelaxed)) {
            diagnostic("User has resumed aftera suspend...\n");
            if (s.blocksInLoop > 0 && s.timeInfo != nullptr) {
                repositionAfterSuspend();
            }
        }
        if (s.timeInfo == nullptr) {
            diagnostic("No vstTimeInfoAvailable - bomb out");
            throw AudioFailure{};
        }
        const double position = s.timeInfo->samplePos;
        if (position == s.lastSamplePos) {
            // A transport that went back and now stands is being rewound or located: each
            // standing block re-arms the capture, which begins when the transport moves again.
            if (s.positionWentBack) {
                EngineAccess::restartCapture(engine);
            }
            return false;
        }
        s.positionWentBack = position < s.lastSamplePos;
        s.lastSamplePos = position;
        if (!s.slicesReady) {
            diagnostic("Slices not Set up\n");
            EngineAccess::setupBuffers(engine);
            EngineAccess::setupSlices(engine);
            s.slicesReady = true;
        }
    } catch (const AudioFailure& failure) {
        diagnostic(failure.message != nullptr ? failure.message
                                              : "Failed in initialisation area\n");
    } catch (...) {
        diagnostic("Failed in initialisation area\n");
    }
    return true;
}

// Puts playback where the host's position says, after a suspend. A position outside the drawn
// slots (negative, or in the unplayed remainder) restarts the loop from its beginning; on a
// reversed slice the offset is mirrored so reading stays inside that slice.
void PerFrameRule::repositionAfterSuspend()
{
    if (s.loopLengthSamples <= 0 || s.sliceLength <= 0) {
        throw AudioFailure{};
    }
    const std::int64_t inLoop = framePosition(s.timeInfo->samplePos) % s.loopLengthSamples;
    const std::int64_t playable = static_cast<std::int64_t>(s.sliceCount) * s.sliceLength;
    std::int32_t offset = 0;
    if (inLoop < 0 || inLoop >= playable) {
        s.loopPosition = 0;
        s.orderPosition = 0;
    } else {
        s.loopPosition = static_cast<std::int32_t>(inLoop);
        s.orderPosition = s.loopPosition / s.sliceLength;
        offset = s.loopPosition % s.sliceLength;
    }
    const Slice& slice = sliceAtOrderPosition();
    const std::int32_t step = slice.reversed ? slice.length - 1 - offset : offset;
    s.playPointerLeft = slice.startLeft + step;
    s.playPointerRight = slice.startRight + step;
}

PerFrameRule::CaptureOutcome
PerFrameRule::runCaptureSection(float* const* inputs, float* const* outputs, std::int32_t frames,
                                std::int32_t& framesWritten, bool& completedHere)
{
    try {
        if (q.loopLengthChanged.exchange(false, kRelaxed)) {
            diagnostic("IN CAPTURE - loop changed\n");
            EngineAccess::restartCapture(engine);
        }
        if (!s.bufferLeft || !s.bufferRight || s.bufferLengthSamples <= 0) {
            // No loop can be held (a host whose tempo we do not follow, or a refused or failed
            // set-up): a clean pass-through, not counted as a loop block.
            copyInput(inputs, outputs, framesWritten, frames);
            framesWritten = frames;
            return CaptureOutcome::endBlock;
        }
        if (!s.captureActive) {
            decideCaptureStart(frames);
            if (!s.captureActive) {
                copyInput(inputs, outputs, framesWritten, frames);
                framesWritten = frames;
                return CaptureOutcome::endBlock;
            }
        }
        captureFrames(inputs, outputs, frames, framesWritten, completedHere);
    } catch (...) {
        diagnostic("Failed while filling buffer\n");
    }
    return CaptureOutcome::continueToPlayback;
}

// Capture starts in the transport's first block, or at the first bar line inside a block.
// A bar line on a block's first frame belongs to the block before, which ends on it.
void PerFrameRule::decideCaptureStart(std::int32_t frames)
{
    if (s.timeInfo == nullptr) {
        throw AudioFailure{};
    }
    const double position = s.timeInfo->samplePos;
    if (static_cast<double>(frames) > position) {
        s.captureStartOffset = 0;
        s.captureActive = true;
        diagnostic("Capturing from first sample Frame\n");
        return;
    }
    if (s.barLengthSamples == 0) {
        throw AudioFailure{};
    }
    const std::int64_t first = framePosition(position);
    const std::int64_t bar = s.barLengthSamples;
    const std::int64_t afterBlock = (first + frames) % bar;
    const std::int64_t atStart = first % bar;
    // A block at least a bar long always holds a bar line, though the remainders may not show
    // it; the last one in the block is taken.
    const bool holdsWholeBar = bar > 0 && frames >= bar;
    if (atStart > afterBlock || holdsWholeBar) {
        s.captureStartOffset = static_cast<std::int32_t>(frames - afterBlock);
        s.captureActive = true;
        diagnostic("Capturing from some place cos bar boundary\n");
    }
}

// Copies input into the buffers from `captureStartOffset` on, passing everything through.
// The space left is measured against the buffers that exist. When they fill with frames of the
// block to spare, the capture completes and the rest of the block plays the new loop.
void PerFrameRule::captureFrames(float* const* inputs, float* const* outputs, std::int32_t frames,
                                 std::int32_t& framesWritten, bool& completedHere)
{
    if (s.captureWriteLeft < 0 || s.captureWriteLeft > s.bufferLengthSamples ||
        s.captureWriteRight != s.captureWriteLeft) {
        throw AudioFailure{};
    }
    const std::int32_t start = std::clamp<std::int32_t>(s.captureStartOffset, 0, frames);
    const std::int32_t space = s.bufferLengthSamples - s.captureWriteLeft;
    copyInput(inputs, outputs, framesWritten, start);
    framesWritten = start;

    const std::int32_t captured = std::min(frames - start, space);
    float* const left = s.bufferLeft.get() + s.captureWriteLeft;
    float* const right = s.bufferRight.get() + s.captureWriteRight;
    for (std::int32_t k = 0; k < captured; ++k) {
        left[k] = inputs[0][start + k];
        right[k] = inputs[1][start + k];
        outputs[0][start + k] = left[k];
        outputs[1][start + k] = right[k];
    }
    s.captureWriteLeft += captured;
    s.captureWriteRight += captured;
    framesWritten = start + captured;
    s.captureStartOffset = 0;

    // After a restart in this block the next block's set-up replaces these buffers and slices, so
    // a loop completed now would leave playback reading a layout that no longer exists.
    if (start + space >= frames || !s.slicesReady) {
        return;
    }
    s.loopCaptured = true;
    s.captureActive = false;
    diagnostic("Capture complete!\n");
    EngineAccess::randomiseSlices(engine);
    s.orderPosition = 0;
    // The clock restarts with the loop, whatever a repositioning during the capture left.
    s.loopPosition = 0;
    const Slice& first = sliceAtOrderPosition();
    s.playPointerLeft = first.startLeft;
    s.playPointerRight = first.startRight;
    completedHere = true;
    handOver(inputs, outputs, start + space, frames, framesWritten);
}

// The rest of the completing block plays the new loop straight, from the start of the slice at
// order position 0: no fades, reversal or silence yet.
void PerFrameRule::handOver(float* const* inputs, float* const* outputs, std::int32_t firstFrame,
                            std::int32_t frames, std::int32_t& framesWritten)
{
    for (std::int32_t i = firstFrame; i < frames; ++i) {
        const Slice& slice = sliceAtOrderPosition();
        if (q.wasSuspended.load(kRelaxed)) {
            outputs[0][i] = inputs[0][i];
            outputs[1][i] = inputs[1][i];
        } else if (slice.length <= 0) {
            outputs[0][i] = 0.0f;
            outputs[1][i] = 0.0f;
        } else {
            outputs[0][i] = read(s.bufferLeft, s.playPointerLeft);
            outputs[1][i] = read(s.bufferRight, s.playPointerRight);
        }
        framesWritten = i + 1;
        ++s.playPointerLeft;
        ++s.playPointerRight;
        ++s.loopPosition;
        if (s.playPointerLeft >= slice.startLeft + slice.length) {
            ++s.orderPosition;
            if (s.orderPosition >= s.sliceCount) {
                // Round again without wrap processing; the clock follows the pointers.
                s.orderPosition = 0;
                s.loopPosition = 0;
            }
            const Slice& next = sliceAtOrderPosition();
            s.playPointerLeft = next.startLeft;
            s.playPointerRight = next.startRight;
        }
    }
    mirrorPointersInReversedSlot();
}

void PerFrameRule::runPlaybackSection(float* const* outputs, std::int32_t frames,
                                      std::int32_t& framesWritten, bool completedHere)
{
    try {
        // The completing block was played by the hand-over; only its bookkeeping is left.
        if (s.loopCaptured && !completedHere) {
            playFrames(outputs, frames, framesWritten);
        }
        ++s.blocksInLoop;
    } catch (const AudioFailure& failure) {
        diagnostic(failure.message != nullptr ? failure.message : "EXCEPTION in Process\n");
    } catch (...) {
        diagnostic("EXCEPTION in Process\n");
    }
}

void PerFrameRule::playFrames(float* const* outputs, std::int32_t frames,
                              std::int32_t& framesWritten)
{
    for (std::int32_t i = 0; i < frames; ++i) {
        const std::int64_t slotEnd = static_cast<std::int64_t>(s.orderPosition + 1) * s.sliceLength;
        if (s.loopPosition >= slotEnd || s.playPointerLeft > s.bufferLengthSamples) {
            ++s.orderPosition;
            if (s.orderPosition >= s.sliceCount && wrapLoop()) {
                // A new capture begins with the next block; the rest of this one is the input.
                return;
            }
            placePointersAtSlot();
        }
        if (s.playPointerLeft > s.bufferLengthSamples) {
            throw AudioFailure{kOutOfBounds};
        }

        const Slice& slice = sliceAtOrderPosition();
        if (q.wasSuspended.load(kRelaxed) || slice.silenced || slice.length <= 0) {
            outputs[0][i] = 0.0f;
            outputs[1][i] = 0.0f;
        } else {
            const std::int64_t slotStart =
                static_cast<std::int64_t>(s.orderPosition) * s.sliceLength;
            const double gain =
                fadeGain(slotStart + s.sliceLength - s.loopPosition, s.loopPosition - slotStart,
                         q.envelopeLength.load(kRelaxed));
            outputs[0][i] = static_cast<float>(
                static_cast<double>(read(s.bufferLeft, s.playPointerLeft)) * gain);
            outputs[1][i] = static_cast<float>(
                static_cast<double>(read(s.bufferRight, s.playPointerRight)) * gain);
        }
        framesWritten = i + 1;

        const std::int32_t step = slice.reversed ? -1 : 1;
        s.playPointerLeft += step;
        s.playPointerRight += step;
        ++s.loopPosition;
    }
}

// At most one pending change takes effect per wrap, in this order of precedence: a new loop
// length, a new slice count, new plan parameters, a due variation.
bool PerFrameRule::wrapLoop()
{
    diagnostic("loop.....\n");
    // Wraps modulo 2^32: only the remainder by a power-of-two period is ever asked.
    s.loopsSinceShuffle =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(s.loopsSinceShuffle) + 1u);
    bool restarted = false;
    std::int32_t pending = 0;
    if (q.loopLengthChanged.exchange(false, kRelaxed)) {
        diagnostic("Loop changed\n");
        EngineAccess::restartCapture(engine);
        restarted = true;
    } else if ((pending = q.pendingSliceCount.exchange(-1, kRelaxed)) > 0) {
        diagnostic("num slices changed\n");
        q.paramsChanged.store(false, kRelaxed);
        s.sliceCount = pending;
        EngineAccess::setupSlices(engine);
        EngineAccess::randomiseSlices(engine);
    } else if (q.paramsChanged.exchange(false, kRelaxed)) {
        diagnostic("Param changed\n");
        EngineAccess::setupSlices(engine);
        EngineAccess::randomiseSlices(engine);
    } else {
        const std::int32_t period = q.variationPeriod.load(kRelaxed);
        if (period > 0 && s.loopsSinceShuffle % period == 0) {
            diagnostic("Variation period over\n");
            EngineAccess::randomiseSlices(engine);
        }
    }
    s.orderPosition = 0;
    s.blocksInLoop = 0;
    s.loopPosition = 0;
    return restarted;
}

void PerFrameRule::placePointersAtSlot()
{
    const Slice& slice = sliceAtOrderPosition();
    const std::int32_t step = slice.reversed ? slice.length - 1 : 0;
    s.playPointerLeft = slice.startLeft + step;
    s.playPointerRight = slice.startRight + step;
}

// The hand-over steps forward even through a reversed slice; from the next frame on such a slot
// plays backwards, from the mirror image of what it has already played, so it never reads
// outside its slice.
void PerFrameRule::mirrorPointersInReversedSlot()
{
    const Slice& slice = sliceAtOrderPosition();
    if (!slice.reversed || slice.length <= 0) {
        return;
    }
    const std::int32_t played =
        std::clamp<std::int32_t>(s.playPointerLeft - slice.startLeft, 0, slice.length - 1);
    s.playPointerLeft = slice.startLeft + slice.length - 1 - played;
    s.playPointerRight = slice.startRight + slice.length - 1 - played;
}

const Slice& PerFrameRule::sliceAtOrderPosition() const
{
    if (s.orderPosition < 0 || s.orderPosition >= s.sliceCount || s.sliceCount > kMaxSlices) {
        throw AudioFailure{kOutOfBounds};
    }
    const std::int32_t index = s.sliceOrder[static_cast<std::size_t>(s.orderPosition)];
    if (index < 0 || index >= s.sliceCount || !s.slices[static_cast<std::size_t>(index)]) {
        throw AudioFailure{kOutOfBounds};
    }
    return *s.slices[static_cast<std::size_t>(index)];
}

float PerFrameRule::read(const std::unique_ptr<float[]>& buffer, std::int32_t index) const
{
    if (!buffer) {
        throw AudioFailure{};
    }
    if (index < 0 || index >= s.bufferLengthSamples) {
        throw AudioFailure{kOutOfBounds};
    }
    return buffer[static_cast<std::size_t>(index)];
}

} // namespace vorblexter::testing
