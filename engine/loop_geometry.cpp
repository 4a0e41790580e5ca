#include "engine/loop_geometry.h"

#include "engine/diagnostics.h"
#include "engine/slice_engine.h"

#include <cmath>

namespace vorblexter {

namespace {

bool fitsInt32(double value)
{
    return value >= -2147483648.0 && value < 2147483648.0;
}

} // namespace

std::optional<LoopGeometry> computeLoopGeometry(double tempo, double sampleRate,
                                                std::int32_t loopBeats,
                                                std::int32_t timeSigNumerator) noexcept
{
    if (!std::isfinite(tempo) || !std::isfinite(sampleRate) || tempo <= 0.0 || sampleRate <= 0.0) {
        return std::nullopt;
    }
    const double secondsPerBeat = 60.0 / tempo;
    const double loop = (static_cast<double>(loopBeats) * secondsPerBeat) * sampleRate;
    const double bar = (static_cast<double>(timeSigNumerator) * secondsPerBeat) * sampleRate;
    if (!fitsInt32(loop) || !fitsInt32(bar)) {
        return std::nullopt;
    }
    return LoopGeometry{static_cast<std::int32_t>(loop), static_cast<std::int32_t>(bar)};
}

void SliceEngine::getLoopInfo() noexcept
{
    try {
        if (!transportSource.followsTempo()) {
            return;
        }
        if (timeInfo == nullptr) {
            // No transport this block: the handler's text, without the allocation of a throw.
            diagnostic("getLoopInfo() crapped up...\n");
            return;
        }
        const std::optional<LoopGeometry> geometry = computeLoopGeometry(
            timeInfo->tempo, timeInfo->sampleRate, loopBeats.load(std::memory_order_relaxed),
            timeInfo->timeSigNumerator);
        if (geometry) {
            loopLengthSamples = geometry->loopLengthSamples;
            barLengthSamples = geometry->barLengthSamples;
        }
    } catch (...) {
        diagnostic("getLoopInfo() crapped up...\n");
    }
}

} // namespace vorblexter
