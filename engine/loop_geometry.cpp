#include "engine/loop_geometry.h"

#include "engine/diagnostics.h"
#include "engine/slicer_effect.h"

#include <cmath>
#include <cstring>
#include <string_view>

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

bool vendorFollowsTempo(const char* vendorText, std::size_t capacity) noexcept
{
    if (vendorText == nullptr) {
        return false;
    }
    const std::string_view text(vendorText, ::strnlen(vendorText, capacity));
    return text.find("Steinberg") != std::string_view::npos ||
           text.find("Ableton") != std::string_view::npos;
}

void SlicerEffect::getLoopInfo() noexcept
{
    try {
        getHostVendorString(hostVendor);
        getHostProductString(hostProduct);
        if (tempoFollowing == TempoFollowing::namedVendorsOnly &&
            !vendorFollowsTempo(hostVendor, sizeof hostVendor)) {
            return;
        }
        if (timeInfo == nullptr) {
            throw AudioFailure{};
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
