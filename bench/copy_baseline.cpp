#include "bench/copy_baseline.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace bench {

namespace {

void fillTone(std::vector<float>& left, std::vector<float>& right)
{
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = static_cast<float>(0.5 * std::sin(0.01 * static_cast<double>(i)));
        right[i] = -left[i];
    }
}

} // namespace

PlaybackCopy::PlaybackCopy(std::int64_t loopFrames, int blockFrames)
    : loopLeft(static_cast<std::size_t>(loopFrames)), loopRight(loopLeft.size()),
      outLeft(static_cast<std::size_t>(blockFrames)), outRight(outLeft.size())
{
    fillTone(loopLeft, loopRight);
}

void PlaybackCopy::blocks(std::int64_t count)
{
    const std::size_t frames = outLeft.size();
    for (std::int64_t b = 0; b < count; ++b) {
        // A block that runs over the end of the loop carries on from its start.
        for (std::size_t done = 0; done < frames;) {
            const std::size_t run = std::min(frames - done, loopLeft.size() - cursor);
            std::memcpy(outLeft.data() + done, loopLeft.data() + cursor, run * sizeof(float));
            std::memcpy(outRight.data() + done, loopRight.data() + cursor, run * sizeof(float));
            done += run;
            cursor = cursor + run == loopLeft.size() ? 0 : cursor + run;
        }
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::DoNotOptimize(outRight.data());
        benchmark::ClobberMemory();
    }
}

CaptureCopy::CaptureCopy(std::int64_t loopFrames, int blockFrames)
    : loopLeft(static_cast<std::size_t>(loopFrames)), loopRight(loopLeft.size()),
      inLeft(static_cast<std::size_t>(blockFrames)), inRight(inLeft.size()), outLeft(inLeft.size()),
      outRight(inLeft.size())
{
    fillTone(inLeft, inRight);
}

void CaptureCopy::blocks(std::int64_t count)
{
    const std::size_t frames = inLeft.size();
    for (std::int64_t b = 0; b < count; ++b) {
        for (std::size_t done = 0; done < frames;) {
            const std::size_t run = std::min(frames - done, loopLeft.size() - cursor);
            std::memcpy(loopLeft.data() + cursor, inLeft.data() + done, run * sizeof(float));
            std::memcpy(loopRight.data() + cursor, inRight.data() + done, run * sizeof(float));
            done += run;
            cursor = cursor + run == loopLeft.size() ? 0 : cursor + run;
        }
        std::memcpy(outLeft.data(), inLeft.data(), frames * sizeof(float));
        std::memcpy(outRight.data(), inRight.data(), frames * sizeof(float));
        benchmark::DoNotOptimize(loopLeft.data());
        benchmark::DoNotOptimize(loopRight.data());
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::DoNotOptimize(outRight.data());
        benchmark::ClobberMemory();
    }
}

} // namespace bench
