// The eight parameters and the one program: texts, mappings and change signals.
#include "engine/slicer_effect.h"

#include "engine/parameter_mapping.h"
#include "engine/slice_plan.h"

#include <charconv>
#include <cstring>

namespace vorblexter {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

// Texts exactly as hosts have always shown them, spaces included.
constexpr const char* kParameterNames[kParameterCount] = {
    "  Reverse  ",  "  Vorblex  ",   "  Repetition  ", "  Cuts/Bar  ",
    "  Envelope  ", "  Variation  ", "  Silence  ",    "  Loop Length  ",
};
constexpr const char* kParameterLabels[kParameterCount] = {
    "   %   ", "   %   ", "   %   ", "       ", "Width", "Loops  ", "   %   ", "Beats  ",
};

bool isParameterIndex(VstInt32 index)
{
    return index >= 0 && index < kParameterCount;
}

void writeText(const char* source, char* text)
{
    if (text != nullptr) {
        std::memcpy(text, source, std::strlen(source) + 1);
    }
}

} // namespace

void SlicerEffect::setParameter(VstInt32 index, float value)
{
    switch (index) {
    case kReverse:
        reversePercent.store(percentFromNormalized(value), kRelaxed);
        paramsChanged.store(true, kRelaxed);
        break;
    case kVorblex:
        vorblexPercent.store(percentFromNormalized(value), kRelaxed);
        paramsChanged.store(true, kRelaxed);
        break;
    case kRepetition:
        repetitionPercent.store(percentFromNormalized(value), kRelaxed);
        paramsChanged.store(true, kRelaxed);
        break;
    case kCutsPerBar: {
        const std::int32_t cuts = stepFromNormalized(value);
        cutsPerBar.store(cuts, kRelaxed);
        pendingSliceCount.store(sliceCountFor(cuts, loopBeats.load(kRelaxed)), kRelaxed);
        break;
    }
    case kEnvelope:
        envelopeLength.store(exponentialFromNormalized(value), kRelaxed);
        break;
    case kVariation:
        variationPeriod.store(stepFromNormalized(value), kRelaxed);
        break;
    case kSilence:
        silencePercent.store(percentFromNormalized(value), kRelaxed);
        break;
    case kLoopLength:
        loopBeats.store(stepFromNormalized(value), kRelaxed);
        loopLengthChanged.store(true, kRelaxed);
        break;
    default:
        return;
    }
    parameters[static_cast<std::size_t>(index)].store(value, kRelaxed);
}

float SlicerEffect::getParameter(VstInt32 index)
{
    return isParameterIndex(index) ? parameters[static_cast<std::size_t>(index)].load(kRelaxed)
                                   : 0.0f;
}

void SlicerEffect::setProgramName(char* name)
{
    if (name == nullptr) {
        return;
    }
    // Longer names are cut to what the field holds.
    const std::size_t length = ::strnlen(name, sizeof programName - 1);
    std::memcpy(programName, name, length);
    programName[length] = '\0';
}

void SlicerEffect::getProgramName(char* name)
{
    writeText(programName, name);
}

void SlicerEffect::getParameterLabel(VstInt32 index, char* label)
{
    if (isParameterIndex(index)) {
        writeText(kParameterLabels[index], label);
    }
}

void SlicerEffect::getParameterName(VstInt32 index, char* text)
{
    if (isParameterIndex(index)) {
        writeText(kParameterNames[index], text);
    }
}

void SlicerEffect::getParameterDisplay(VstInt32 index, char* text)
{
    if (!isParameterIndex(index) || text == nullptr) {
        return;
    }
    std::int32_t quantity = 0;
    switch (index) {
    case kReverse:
        quantity = reversePercent.load(kRelaxed);
        break;
    case kVorblex:
        quantity = vorblexPercent.load(kRelaxed);
        break;
    case kRepetition:
        quantity = repetitionPercent.load(kRelaxed);
        break;
    case kCutsPerBar:
        quantity = cutsPerBar.load(kRelaxed);
        break;
    case kEnvelope:
        quantity = envelopeLength.load(kRelaxed);
        break;
    case kVariation:
        quantity = variationPeriod.load(kRelaxed);
        break;
    case kSilence:
        quantity = silencePercent.load(kRelaxed);
        break;
    default:
        quantity = loopBeats.load(kRelaxed);
        break;
    }
    char digits[16];
    const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, quantity);
    *result.ptr = '\0';
    writeText(digits, text);
}

void SlicerEffect::suspend()
{
    wasSuspended.store(true, kRelaxed);
}

void SlicerEffect::resume()
{
    // Only the reported values are refreshed; the next audio block re-aligns playback.
    const float values[kParameterCount] = {
        normalizedFromPercent(reversePercent.load(kRelaxed)),
        normalizedFromPercent(vorblexPercent.load(kRelaxed)),
        normalizedFromPercent(repetitionPercent.load(kRelaxed)),
        normalizedFromStep(cutsPerBar.load(kRelaxed)),
        normalizedFromExponential(envelopeLength.load(kRelaxed)),
        normalizedFromStep(variationPeriod.load(kRelaxed)),
        normalizedFromPercent(silencePercent.load(kRelaxed)),
        normalizedFromStep(loopBeats.load(kRelaxed)),
    };
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        parameters[i].store(values[i], kRelaxed);
    }
}

} // namespace vorblexter
