// The parameter side of the engine: quantities and change signals, set from host values.
#include "engine/parameter_mapping.h"
#include "engine/slice_engine.h"
#include "engine/slice_plan.h"

namespace vorblexter {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

} // namespace

void SliceEngine::setParameter(std::int32_t index, float value) noexcept
{
    if (!isParameterIndex(index)) {
        return;
    }
    const std::int32_t quantity = quantityFromHostValue(kParameters[index], value);
    switch (index) {
    case kReverse:
        reversePercent.store(quantity, kRelaxed);
        paramsChanged.store(true, kRelaxed);
        break;
    case kVorblex:
        vorblexPercent.store(quantity, kRelaxed);
        paramsChanged.store(true, kRelaxed);
        break;
    case kRepetition:
        repetitionPercent.store(quantity, kRelaxed);
        paramsChanged.store(true, kRelaxed);
        break;
    case kCutsPerBar:
        cutsPerBar.store(quantity, kRelaxed);
        pendingSliceCount.store(sliceCountFor(quantity, loopBeats.load(kRelaxed)), kRelaxed);
        break;
    case kEnvelope:
        envelopeLength.store(quantity, kRelaxed);
        break;
    case kVariation:
        variationPeriod.store(quantity, kRelaxed);
        break;
    case kSilence:
        silencePercent.store(quantity, kRelaxed);
        break;
    default:
        loopBeats.store(quantity, kRelaxed);
        loopLengthChanged.store(true, kRelaxed);
        break;
    }
    parameters[static_cast<std::size_t>(index)].store(value, kRelaxed);
}

float SliceEngine::getParameter(std::int32_t index) const noexcept
{
    return isParameterIndex(index) ? parameters[static_cast<std::size_t>(index)].load(kRelaxed)
                                   : 0.0f;
}

std::int32_t SliceEngine::quantity(std::int32_t index) const noexcept
{
    switch (index) {
    case kReverse:
        return reversePercent.load(kRelaxed);
    case kVorblex:
        return vorblexPercent.load(kRelaxed);
    case kRepetition:
        return repetitionPercent.load(kRelaxed);
    case kCutsPerBar:
        return cutsPerBar.load(kRelaxed);
    case kEnvelope:
        return envelopeLength.load(kRelaxed);
    case kVariation:
        return variationPeriod.load(kRelaxed);
    case kSilence:
        return silencePercent.load(kRelaxed);
    case kLoopLength:
        return loopBeats.load(kRelaxed);
    default:
        return 0;
    }
}

void SliceEngine::suspend() noexcept
{
    wasSuspended.store(true, kRelaxed);
}

void SliceEngine::resume() noexcept
{
    // Only the reported values are refreshed; the next audio block re-aligns playback.
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
        parameters[static_cast<std::size_t>(index)].store(
            hostValueFromQuantity(kParameters[index], quantity(index)), kRelaxed);
    }
}

} // namespace vorblexter
