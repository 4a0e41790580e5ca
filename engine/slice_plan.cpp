#include "engine/slice_plan.h"

#include "engine/diagnostics.h"
#include "engine/slice_engine.h"

#include <algorithm>

namespace vorblexter {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

} // namespace

// In the initial-exec model the state lives in the block of thread storage every thread gets
// when it starts or the library loads. The default model, for a library a host opens, would
// allocate it at each thread's first draw: on the audio thread.
#if defined(__ELF__)
#define VORBLEXTER_STATIC_THREAD_STORAGE __attribute__((tls_model("initial-exec")))
#else
#define VORBLEXTER_STATIC_THREAD_STORAGE
#endif

SliceRandom& threadSliceRandom() noexcept
{
    thread_local SliceRandom random VORBLEXTER_STATIC_THREAD_STORAGE;
    return random;
}

std::int32_t sliceCountFor(std::int32_t cutsPerBar, std::int32_t loopBeats) noexcept
{
    const std::int64_t count = static_cast<std::int64_t>(cutsPerBar) * loopBeats / 4;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(count, 1, kMaxSlices));
}

// Audio thread. Lays `sliceCount` equal slices from frame 0 over the part of the loop the
// buffers really hold; the last (length mod sliceCount) frames belong to no slice. With no
// buffers every slice is empty and nothing plays.
void SliceEngine::setupSlices()
{
    diagnostic("Setting up Slices\n");
    getLoopInfo();
    const std::int32_t pending = pendingSliceCount.load(kRelaxed);
    if (pending > 0) {
        sliceCount = pending;
    }
    sliceCount = std::clamp<std::int32_t>(sliceCount, 1, kMaxSlices);
    const std::int32_t span = std::max<std::int32_t>(
        0, bufferLeft && bufferRight ? std::min(loopLengthSamples, bufferLengthSamples) : 0);
    sliceLength = span / sliceCount;
    for (std::int32_t i = 0; i < sliceCount; ++i) {
        sliceOrder[static_cast<std::size_t>(i)] = i;
        Slice& slice = *slices[static_cast<std::size_t>(i)];
        const std::int32_t start = i * sliceLength;
        slice.startLeft = start;
        slice.startRight = start;
        slice.length = start + sliceLength > span ? span - start : sliceLength;
    }
}

// Audio thread. Draws a new order and new reverse/silence flags. Per order position, from the
// last down to the first: four numbers (shuffle, reverse, keep, silence), each modulo 100, and a
// fifth only when the position shuffles. A drawn slice leaves the pool unless the keep number
// falls under Repetition, so with Repetition 0 every slice plays exactly once.
void SliceEngine::randomiseSlices()
{
    loopsSinceShuffle = 0;
    diagnostic("Randomising Slices\n");
    const std::int32_t count = std::clamp<std::int32_t>(sliceCount, 1, kMaxSlices);
    for (std::int32_t i = 0; i < count; ++i) {
        sliceOrder[static_cast<std::size_t>(i)] = i;
        drawPool[static_cast<std::size_t>(i)] = i;
    }
    std::int32_t remaining = count;
    SliceRandom& random = threadSliceRandom();
    for (std::int32_t j = count - 1; j >= 0; --j) {
        const std::int32_t shuffle = random.next() % 100;
        const std::int32_t reverse = random.next() % 100;
        const std::int32_t keep = random.next() % 100;
        const std::int32_t silence = random.next() % 100;

        Slice& slice = *slices[static_cast<std::size_t>(j)];
        slice.reversed = reverse < reversePercent.load(kRelaxed);
        slice.silenced = silence < silencePercent.load(kRelaxed);

        // remaining never falls below j + 1, so both choices index inside the pool.
        std::int32_t drawn = j;
        if (shuffle < vorblexPercent.load(kRelaxed)) {
            drawn = random.next() % remaining;
        }
        sliceOrder[static_cast<std::size_t>(j)] = drawPool[static_cast<std::size_t>(drawn)];

        if (keep >= repetitionPercent.load(kRelaxed)) {
            std::copy(drawPool.begin() + drawn + 1, drawPool.begin() + remaining,
                      drawPool.begin() + drawn);
            --remaining;
        }
    }
}

} // namespace vorblexter
