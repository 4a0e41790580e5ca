// The playback section of an audio block: the captured loop, slice by slice in the drawn order,
// on its own clock, and the loop wrap where pending changes take effect.
#include "engine/diagnostics.h"
#include "engine/fade.h"
#include "engine/slice_engine.h"

#include <algorithm>
#include <cstring>

namespace vorblexter {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;
constexpr const char* kOutOfBounds = "playPointers gone out out of bounds\n";

// One small loop per kind of run. The outputs never alias the capture buffers.
void copyRun(float* left, float* right, const float* sourceLeft, const float* sourceRight,
             std::int32_t length)
{
    const auto bytes = static_cast<std::size_t>(length) * sizeof(float);
    std::memcpy(left, sourceLeft, bytes);
    std::memcpy(right, sourceRight, bytes);
}

// The sources point at the run's first sample, from which it reads backwards.
void reverseCopyRun(float* left, float* right, const float* sourceLeft, const float* sourceRight,
                    std::int32_t length)
{
    for (std::int32_t j = 0; j < length; ++j) {
        left[j] = sourceLeft[-j];
        right[j] = sourceRight[-j];
    }
}

void fillSilence(float* left, float* right, std::int32_t length)
{
    std::fill_n(left, length, 0.0f);
    std::fill_n(right, length, 0.0f);
}

// Each output is the sample times its gain in double precision, stored as a float: the product
// of the per-frame rule. Samples and gains each step by +1 or -1.
void fadeRun(float* left, float* right, const float* sourceLeft, const float* sourceRight,
             std::int32_t step, const double* gains, std::int32_t gainStep, std::int32_t length)
{
    for (std::int32_t j = 0; j < length; ++j) {
        const double gain = gains[gainStep * j];
        left[j] = static_cast<float>(static_cast<double>(sourceLeft[step * j]) * gain);
        right[j] = static_cast<float>(static_cast<double>(sourceRight[step * j]) * gain);
    }
}

} // namespace

void SliceEngine::runPlaybackSection(float* const* outputs, std::int32_t frames,
                                     std::int32_t& framesWritten, bool completedHere)
{
    try {
        // The completing block was played by the hand-over; only its bookkeeping is left.
        if (loopCaptured && !completedHere) {
            if (playPlainBlock(outputs, frames)) {
                framesWritten = frames;
            } else {
                playFrames(outputs, frames, framesWritten);
            }
        }
        ++blocksInLoop;
    } catch (const AudioFailure& failure) {
        diagnostic(failure.message != nullptr ? failure.message : "EXCEPTION in Process\n");
    } catch (...) {
        diagnostic("EXCEPTION in Process\n");
    }
}

// The per-frame rule, which the runs below reproduce bit for bit. For each frame:
//  1. slot end: when the clock has reached the end of the slot (or the left pointer lies past
//     the end of its buffer), move to the next order position, wrapping the loop after the last
//     one, and place the pointers at the slice there (at its last sample when it is reversed);
//  2. bounds guard: a left pointer past the end of its buffer fails the section;
//  3. gain: 1.0, or the fade-out value when fewer than E frames of the slot are left, or the
//     fade-in value when fewer than E frames of it have been played (fade-in wins);
//  4. output: 0.0 while suspended or for a silenced slice, else the sample times the gain;
//  5. both pointers step (backwards in a reversed slice) and the clock advances.
// Steps 1 and 2 run at the start of every run; playOneFrame is steps 3 to 5 for one frame.
void SliceEngine::playFrames(float* const* outputs, std::int32_t frames,
                             std::int32_t& framesWritten)
{
    std::int32_t i = 0;
    while (i < frames) {
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
        std::int32_t played = playRun(outputs, i, frames - i, slice);
        if (played == 0) {
            playOneFrame(outputs, i, slice);
            played = 1;
        }
        i += played;
        framesWritten = i;
    }
}

// The block of nearly every pass: one forward run at unity gain inside one slot, from a valid
// slot with both pointers well inside the buffers. Every condition below is one under which the
// loop of playFrames would play the whole block as a single copy run, so the result is the same
// bits; it only makes the checks once and with no loop around them. Answers false, having
// touched nothing, for any other block.
bool SliceEngine::playPlainBlock(float* const* outputs, std::int32_t frames) noexcept
{
    if (frames <= 0 || orderPosition < 0 || orderPosition >= sliceCount ||
        sliceCount > kMaxSlices) {
        return false;
    }
    const std::int32_t index = sliceOrder[static_cast<std::size_t>(orderPosition)];
    if (index < 0 || index >= sliceCount) {
        return false;
    }
    const Slice* const slice = slices[static_cast<std::size_t>(index)];
    if (slice == nullptr || slice->reversed || slice->silenced || slice->length <= 0 ||
        wasSuspended.load(kRelaxed) || !bufferLeft || !bufferRight) {
        return false;
    }
    // Both pointers read `frames` samples below the end of what the buffers hold.
    const std::int32_t last = bufferLengthSamples - frames;
    if (playPointerLeft < 0 || playPointerRight < 0 || playPointerLeft > last ||
        playPointerRight > last) {
        return false;
    }
    // The block ends before the slot does, and before its fade-out zone.
    const std::int64_t slotStart = static_cast<std::int64_t>(orderPosition) * sliceLength;
    const std::int64_t toEnd = slotStart + sliceLength - loopPosition;
    const std::int64_t fromStart = loopPosition - slotStart;
    const std::int32_t envelope = envelopeLength.load(kRelaxed);
    if (fromStart < 0 || toEnd < frames || envelope > FadeTable::kCapacity ||
        (envelope > 0 && (fromStart < envelope || toEnd - envelope + 1 < frames))) {
        return false;
    }
    copyRun(outputs[0], outputs[1], bufferLeft.get() + playPointerLeft,
            bufferRight.get() + playPointerRight, frames);
    playPointerLeft += frames;
    playPointerRight += frames;
    loopPosition += frames;
    return true;
}

void SliceEngine::playOneFrame(float* const* outputs, std::int32_t i, const Slice& slice)
{
    if (wasSuspended.load(kRelaxed) || slice.silenced || slice.length <= 0) {
        outputs[0][i] = 0.0f;
        outputs[1][i] = 0.0f;
    } else {
        const std::int64_t slotStart = static_cast<std::int64_t>(orderPosition) * sliceLength;
        const double gain = fadeGain(slotStart + sliceLength - loopPosition,
                                     loopPosition - slotStart, envelopeLength.load(kRelaxed));
        outputs[0][i] = static_cast<float>(static_cast<double>(readLeft(playPointerLeft)) * gain);
        outputs[1][i] = static_cast<float>(static_cast<double>(readRight(playPointerRight)) * gain);
    }
    const std::int32_t step = slice.reversed ? -1 : 1;
    playPointerLeft += step;
    playPointerRight += step;
    ++loopPosition;
}

std::int32_t SliceEngine::playRun(float* const* outputs, std::int32_t first, std::int32_t limit,
                                  const Slice& slice)
{
    const std::int64_t slotStart = static_cast<std::int64_t>(orderPosition) * sliceLength;
    const std::int64_t toEnd = slotStart + sliceLength - loopPosition;
    const std::int64_t fromStart = loopPosition - slotStart;
    if (toEnd <= 0 || fromStart < 0) {
        return 0; // a clock outside its slot: frame by frame until the slot end step catches up
    }
    // No run reaches the slot end, so step 1 cannot fire inside one.
    std::int32_t length = static_cast<std::int32_t>(std::min<std::int64_t>(limit, toEnd));
    if (wasSuspended.load(kRelaxed) || slice.silenced || slice.length <= 0) {
        return playSilentRun(outputs, first, length, slice);
    }
    const std::int32_t step = slice.reversed ? -1 : 1;
    length = readableFrames(length, step);
    if (length == 0) {
        return 0; // the per-frame rule raises the failure exactly where it always did
    }
    const std::int32_t envelope = envelopeLength.load(kRelaxed);
    if (envelope > FadeTable::kCapacity) {
        return 0;
    }
    if (envelope > 0 && (fromStart < envelope || toEnd < envelope)) {
        return playFadeRun(outputs, first, length, step, envelope);
    }
    // Gain 1.0 up to the fade-out zone: the stored samples themselves.
    if (envelope > 0) {
        length = static_cast<std::int32_t>(std::min<std::int64_t>(length, toEnd - envelope + 1));
    }
    float* const left = outputs[0] + first;
    float* const right = outputs[1] + first;
    const float* const sourceLeft = bufferLeft.get() + playPointerLeft;
    const float* const sourceRight = bufferRight.get() + playPointerRight;
    if (step > 0) {
        copyRun(left, right, sourceLeft, sourceRight, length);
    } else {
        reverseCopyRun(left, right, sourceLeft, sourceRight, length);
    }
    playPointerLeft += step * length;
    playPointerRight += step * length;
    loopPosition += length;
    return length;
}

// Suspended, silenced or empty: nothing is read, but the guard still watches the left pointer,
// so a forward run stops where it would pass the end of the buffer.
[[gnu::noinline]] std::int32_t SliceEngine::playSilentRun(float* const* outputs, std::int32_t first,
                                                          std::int32_t length, const Slice& slice)
{
    const std::int32_t step = slice.reversed ? -1 : 1;
    if (step > 0) {
        length = static_cast<std::int32_t>(std::min<std::int64_t>(
            length, static_cast<std::int64_t>(bufferLengthSamples) - playPointerLeft + 1));
    }
    fillSilence(outputs[0] + first, outputs[1] + first, length);
    playPointerLeft += step * length;
    playPointerRight += step * length;
    loopPosition += length;
    return length;
}

// Inside a fade zone: the samples times their gains.
[[gnu::noinline]] std::int32_t SliceEngine::playFadeRun(float* const* outputs, std::int32_t first,
                                                        std::int32_t length, std::int32_t step,
                                                        std::int32_t envelope)
{
    const std::int64_t slotStart = static_cast<std::int64_t>(orderPosition) * sliceLength;
    const std::int64_t toEnd = slotStart + sliceLength - loopPosition;
    const std::int64_t fromStart = loopPosition - slotStart;
    float* const left = outputs[0] + first;
    float* const right = outputs[1] + first;
    const float* const sourceLeft = bufferLeft.get() + playPointerLeft;
    const float* const sourceRight = bufferRight.get() + playPointerRight;
    if (fromStart < envelope) {
        // Fade-in: positions fromStart upwards; the fade-in wins over the fade-out.
        length = static_cast<std::int32_t>(std::min<std::int64_t>(length, envelope - fromStart));
        const double* const gains =
            fadeTable.gains(envelope, static_cast<std::int32_t>(fromStart), length);
        fadeRun(left, right, sourceLeft, sourceRight, step, gains, 1, length);
    } else {
        // Fade-out: positions toEnd downwards, to the slot end at the latest.
        const auto last = static_cast<std::int32_t>(toEnd);
        const double* const gains = fadeTable.gains(envelope, last - length + 1, length);
        fadeRun(left, right, sourceLeft, sourceRight, step, gains + (length - 1), -1, length);
    }
    playPointerLeft += step * length;
    playPointerRight += step * length;
    loopPosition += length;
    return length;
}

std::int32_t SliceEngine::readableFrames(std::int32_t frames, std::int32_t step) const noexcept
{
    if (!bufferLeft || !bufferRight) {
        return 0;
    }
    std::int32_t readable = frames;
    for (const std::int32_t pointer : {playPointerLeft, playPointerRight}) {
        if (pointer < 0 || pointer >= bufferLengthSamples) {
            return 0;
        }
        readable = std::min(readable, step > 0 ? bufferLengthSamples - pointer : pointer + 1);
    }
    return readable;
}

// At most one pending change takes effect per wrap, in this order of precedence: a new loop
// length, a new slice count, new plan parameters, a due variation.
bool SliceEngine::wrapLoop()
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

void SliceEngine::placePointersAtSlot()
{
    const Slice& slice = sliceAtOrderPosition();
    const std::int32_t step = slice.reversed ? slice.length - 1 : 0;
    playPointerLeft = slice.startLeft + step;
    playPointerRight = slice.startRight + step;
}

// The hand-over steps forward even through a reversed slice; from the next frame on such a slot
// plays backwards, from the mirror image of what it has already played, so it never reads
// outside its slice.
void SliceEngine::mirrorPointersInReversedSlot()
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

const Slice& SliceEngine::sliceAtOrderPosition() const
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

float SliceEngine::readLeft(std::int32_t index) const
{
    if (!bufferLeft) {
        throw AudioFailure{};
    }
    if (index < 0 || index >= bufferLengthSamples) {
        throw AudioFailure{kOutOfBounds};
    }
    return bufferLeft[static_cast<std::size_t>(index)];
}

float SliceEngine::readRight(std::int32_t index) const
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
