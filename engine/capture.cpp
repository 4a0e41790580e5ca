// The entry and capture sections of an audio block, and the capture restart.
#include "engine/diagnostics.h"
#include "engine/frame_position.h"
#include "engine/slice_engine.h"
#include "engine/slice_plan.h"

#include <algorithm>
#include <cstring>

namespace vorblexter {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

// Hosts may process in place (an output channel is its input channel), so a copy may have
// nothing to do, and must never assume the two do not overlap.
void copySamples(float* to, const float* from, std::int32_t count)
{
    if (to != from && count > 0) {
        std::memmove(to, from, static_cast<std::size_t>(count) * sizeof(float));
    }
}

void copyInput(float* const* inputs, float* const* outputs, std::int32_t from, std::int32_t to)
{
    copySamples(outputs[0] + from, inputs[0] + from, to - from);
    copySamples(outputs[1] + from, inputs[1] + from, to - from);
}

} // namespace

// A host that gives no transport, or a repositioning before any loop geometry, are states of
// the host and not failures of the engine: they leave the section early, with the texts its
// failure handler writes, but throw nothing (an exception allocates and frees on the audio
// thread).
bool SliceEngine::runEntrySection()
{
    try {
        timeInfo = transportSource.transport();
        // Read before it is cleared: an exchange is a locked write, every block, for a signal
        // that is nearly always clear.
        if (wasSuspended.load(kRelaxed) && wasSuspended.exchange(false, kRelaxed)) {
            diagnostic("User has resumed aftera suspend...\n");
            if (blocksInLoop > 0 && timeInfo != nullptr && !repositionAfterSuspend()) {
                diagnostic("Failed in initialisation area\n");
                return true;
            }
        }
        if (timeInfo == nullptr) {
            diagnostic("No vstTimeInfoAvailable - bomb out");
            diagnostic("Failed in initialisation area\n");
            return true;
        }
        const double position = timeInfo->samplePos;
        if (position == lastSamplePos) {
            // A transport that went back and now stands is being rewound or located: each
            // standing block re-arms the capture, which begins when the transport moves again.
            if (positionWentBack) {
                restartCapture();
            }
            return false;
        }
        positionWentBack = position < lastSamplePos;
        lastSamplePos = position;
        if (!slicesReady) {
            diagnostic("Slices not Set up\n");
            setupBuffers();
            setupSlices();
            slicesReady = true;
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
// reversed slice the offset is mirrored so reading stays inside that slice. Answers false,
// moving nothing, while there is no loop geometry to reposition in.
bool SliceEngine::repositionAfterSuspend()
{
    if (loopLengthSamples <= 0 || sliceLength <= 0) {
        return false;
    }
    const std::int64_t inLoop = framePosition(timeInfo->samplePos) % loopLengthSamples;
    const std::int64_t playable = static_cast<std::int64_t>(sliceCount) * sliceLength;
    std::int32_t offset = 0;
    if (inLoop < 0 || inLoop >= playable) {
        loopPosition = 0;
        orderPosition = 0;
    } else {
        loopPosition = static_cast<std::int32_t>(inLoop);
        orderPosition = loopPosition / sliceLength;
        offset = loopPosition % sliceLength;
    }
    const Slice& slice = sliceAtOrderPosition();
    const std::int32_t step = slice.reversed ? slice.length - 1 - offset : offset;
    playPointerLeft = slice.startLeft + step;
    playPointerRight = slice.startRight + step;
    return true;
}

SliceEngine::CaptureOutcome
SliceEngine::runCaptureSection(float* const* inputs, float* const* outputs, std::int32_t frames,
                               std::int32_t& framesWritten, bool& completedHere)
{
    try {
        if (loopLengthChanged.exchange(false, kRelaxed)) {
            diagnostic("IN CAPTURE - loop changed\n");
            restartCapture();
        }
        if (!bufferLeft || !bufferRight || bufferLengthSamples <= 0) {
            // No loop can be held (a host whose tempo we do not follow, or a refused or failed
            // set-up): a clean pass-through, not counted as a loop block.
            copyInput(inputs, outputs, framesWritten, frames);
            framesWritten = frames;
            return CaptureOutcome::endBlock;
        }
        if (!captureActive) {
            if (!decideCaptureStart(frames)) {
                // As the failure handler below: the frames not written carry the input.
                diagnostic("Failed while filling buffer\n");
                return CaptureOutcome::continueToPlayback;
            }
            if (!captureActive) {
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
// A bar line on a block's first frame belongs to the block before, which ends on it. Answers
// false when it cannot tell: no transport this block, or no bar length yet.
bool SliceEngine::decideCaptureStart(std::int32_t frames)
{
    if (timeInfo == nullptr) {
        return false;
    }
    const double position = timeInfo->samplePos;
    if (static_cast<double>(frames) > position) {
        captureStartOffset = 0;
        captureActive = true;
        diagnostic("Capturing from first sample Frame\n");
        return true;
    }
    if (barLengthSamples == 0) {
        return false;
    }
    const std::int64_t first = framePosition(position);
    const std::int64_t bar = barLengthSamples;
    const std::int64_t afterBlock = (first + frames) % bar;
    const std::int64_t atStart = first % bar;
    // A block at least a bar long always holds a bar line, though the remainders may not show
    // it; the last one in the block is taken.
    const bool holdsWholeBar = bar > 0 && frames >= bar;
    if (atStart > afterBlock || holdsWholeBar) {
        captureStartOffset = static_cast<std::int32_t>(frames - afterBlock);
        captureActive = true;
        diagnostic("Capturing from some place cos bar boundary\n");
    }
    return true;
}

// Copies input into the buffers from `captureStartOffset` on, passing everything through.
// The space left is measured against the buffers that exist. When they fill with frames of the
// block to spare, the capture completes and the rest of the block plays the new loop.
void SliceEngine::captureFrames(float* const* inputs, float* const* outputs, std::int32_t frames,
                                std::int32_t& framesWritten, bool& completedHere)
{
    if (captureWriteLeft < 0 || captureWriteLeft > bufferLengthSamples ||
        captureWriteRight != captureWriteLeft) {
        throw AudioFailure{};
    }
    const std::int32_t start = std::clamp<std::int32_t>(captureStartOffset, 0, frames);
    const std::int32_t space = bufferLengthSamples - captureWriteLeft;
    copyInput(inputs, outputs, framesWritten, start);
    framesWritten = start;

    const std::int32_t captured = std::min(frames - start, space);
    float* const left = bufferLeft.get() + captureWriteLeft;
    float* const right = bufferRight.get() + captureWriteRight;
    // Both channels are stored before either output is written, and the outputs are taken from
    // the buffers: whatever the host's channels share, the buffers get the input as it came.
    copySamples(left, inputs[0] + start, captured);
    copySamples(right, inputs[1] + start, captured);
    copySamples(outputs[0] + start, left, captured);
    copySamples(outputs[1] + start, right, captured);
    captureWriteLeft += captured;
    captureWriteRight += captured;
    framesWritten = start + captured;
    captureStartOffset = 0;

    // After a restart in this block the next block's set-up lays out the buffers and slices anew
    // (and starts the capture again from their first sample), so a loop completed now would leave
    // playback reading a layout that no longer exists.
    if (start + space >= frames || !slicesReady) {
        return;
    }
    loopCaptured = true;
    captureActive = false;
    diagnostic("Capture complete!\n");
    randomiseSlices();
    orderPosition = 0;
    // The clock restarts with the loop, whatever a repositioning during the capture left.
    loopPosition = 0;
    const Slice& first = sliceAtOrderPosition();
    playPointerLeft = first.startLeft;
    playPointerRight = first.startRight;
    completedHere = true;
    handOver(inputs, outputs, start + space, frames, framesWritten);
}

// The rest of the completing block plays the new loop straight, from the start of the slice at
// order position 0: no fades, reversal or silence yet. Per frame: the input while suspended,
// else the stored samples (0.0 for an empty slice); then both pointers step forward, and at the
// end of the slice they move to the start of the next one, round to the first after the last,
// without wrap processing. The frames go in runs within one slice each.
void SliceEngine::handOver(float* const* inputs, float* const* outputs, std::int32_t firstFrame,
                           std::int32_t frames, std::int32_t& framesWritten)
{
    std::int32_t i = firstFrame;
    while (i < frames) {
        const Slice& slice = sliceAtOrderPosition();
        const std::int64_t toSliceEnd =
            static_cast<std::int64_t>(slice.startLeft) + slice.length - playPointerLeft;
        std::int32_t length =
            static_cast<std::int32_t>(std::clamp<std::int64_t>(toSliceEnd, 1, frames - i));
        if (wasSuspended.load(kRelaxed)) {
            copyInput(inputs, outputs, i, i + length);
        } else if (slice.length <= 0) {
            std::fill_n(outputs[0] + i, length, 0.0f);
            std::fill_n(outputs[1] + i, length, 0.0f);
        } else {
            length = readableFrames(length, 1);
            if (length == 0) {
                // A read that cannot be made fails here, as it would frame by frame.
                outputs[0][i] = readLeft(playPointerLeft);
                outputs[1][i] = readRight(playPointerRight);
                length = 1;
            } else {
                copySamples(outputs[0] + i, bufferLeft.get() + playPointerLeft, length);
                copySamples(outputs[1] + i, bufferRight.get() + playPointerRight, length);
            }
        }
        i += length;
        framesWritten = i;
        playPointerLeft += length;
        playPointerRight += length;
        loopPosition += length;
        if (playPointerLeft >= slice.startLeft + slice.length) {
            ++orderPosition;
            if (orderPosition >= sliceCount) {
                // Round again without wrap processing; the clock follows the pointers.
                orderPosition = 0;
                loopPosition = 0;
            }
            const Slice& next = sliceAtOrderPosition();
            playPointerLeft = next.startLeft;
            playPointerRight = next.startRight;
        }
    }
    mirrorPointersInReversedSlot();
}

void SliceEngine::restartCapture() noexcept
{
    captureWriteLeft = 0;
    captureWriteRight = 0;
    pendingSliceCount.store(sliceCountFor(cutsPerBar.load(kRelaxed), loopBeats.load(kRelaxed)),
                            kRelaxed);
    loopPosition = 0;
    loopCaptured = false;
    slicesReady = false;
    captureActive = true;
}

} // namespace vorblexter
