#include "lv2/control_sync.h"

#include "engine/parameter_mapping.h"

#include <array>

namespace vorblexter::lv2 {

namespace {

constexpr std::array<std::int32_t, 7> kSteps{1, 2, 4, 8, 16, 32, 64};
constexpr std::int32_t kMaxPercent = 100;
constexpr std::int32_t kMinEnvelope = 1;
constexpr std::int32_t kMaxEnvelope = 10000;

enum class Mapping { percent, exponential, step };

Mapping mappingOf(std::int32_t parameter) noexcept
{
    switch (parameter) {
    case kCutsPerBar:
    case kVariation:
    case kLoopLength:
        return Mapping::step;
    case kEnvelope:
        return Mapping::exponential;
    default:
        return Mapping::percent;
    }
}

// Truncation toward zero into [low, high]; written so that NaN fails the first test.
std::int32_t truncatedWithin(float value, std::int32_t low, std::int32_t high) noexcept
{
    if (!(value >= static_cast<float>(low))) {
        return low;
    }
    if (value >= static_cast<float>(high)) {
        return high;
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t stepAtOrBelow(float value) noexcept
{
    std::int32_t chosen = kSteps.front();
    for (const std::int32_t step : kSteps) {
        if (value >= static_cast<float>(step)) {
            chosen = step;
        }
    }
    return chosen;
}

} // namespace

std::int32_t quantityFromPortValue(std::int32_t parameter, float value) noexcept
{
    switch (mappingOf(parameter)) {
    case Mapping::step:
        return stepAtOrBelow(value);
    case Mapping::exponential:
        return truncatedWithin(value, kMinEnvelope, kMaxEnvelope);
    case Mapping::percent:
        break;
    }
    return truncatedWithin(value, 0, kMaxPercent);
}

float hostValueForQuantity(std::int32_t parameter, std::int32_t quantity) noexcept
{
    switch (mappingOf(parameter)) {
    case Mapping::step:
        return normalizedFromStep(quantity);
    case Mapping::exponential:
        return normalizedFromExponential(quantity);
    case Mapping::percent:
        break;
    }
    return normalizedFromPercent(quantity);
}

std::int32_t heldQuantity(const SlicerEffect& effect, std::int32_t parameter) noexcept
{
    constexpr auto relaxed = std::memory_order_relaxed;
    switch (parameter) {
    case kReverse:
        return effect.reversePercent.load(relaxed);
    case kVorblex:
        return effect.vorblexPercent.load(relaxed);
    case kRepetition:
        return effect.repetitionPercent.load(relaxed);
    case kCutsPerBar:
        return effect.cutsPerBar.load(relaxed);
    case kEnvelope:
        return effect.envelopeLength.load(relaxed);
    case kVariation:
        return effect.variationPeriod.load(relaxed);
    case kSilence:
        return effect.silencePercent.load(relaxed);
    case kLoopLength:
        return effect.loopBeats.load(relaxed);
    default:
        return 0;
    }
}

void syncControls(const Ports& ports, SlicerEffect& effect) noexcept
{
    AEffect* record = effect.getAeffect();
    for (std::int32_t parameter = 0; parameter < kParameterCount; ++parameter) {
        const float* port = ports.parameters[static_cast<std::size_t>(parameter)];
        if (port == nullptr) {
            continue;
        }
        const std::int32_t quantity = quantityFromPortValue(parameter, *port);
        if (quantity != heldQuantity(effect, parameter)) {
            record->setParameter(record, parameter, hostValueForQuantity(parameter, quantity));
        }
    }
}

} // namespace vorblexter::lv2
