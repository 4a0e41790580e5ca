#include "host/slicer_effect.h"

#include "engine/allocation.h"
#include "host/vendor_check.h"

#include <cstring>
#include <new>

namespace vorblexter {

namespace {

void writeText(const char* source, char* text)
{
    if (text != nullptr) {
        std::memcpy(text, source, std::strlen(source) + 1);
    }
}

} // namespace

SlicerEffect* SlicerEffect::create(audioMasterCallback audioMaster) noexcept
{
    try {
        if (allocationShouldFail(AllocationSite::effectObject)) {
            return nullptr;
        }
        auto* effect = new (std::nothrow) SlicerEffect(audioMaster);
        if (effect != nullptr && !effect->isComplete()) {
            delete effect;
            return nullptr;
        }
        return effect;
    } catch (...) {
        return nullptr;
    }
}

SlicerEffect::SlicerEffect(audioMasterCallback audioMaster)
    : EffectBaseX(audioMaster, 1, kParameterCount), core(*this)
{
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(fourCharCode('V', 'r', 'b', 'x'));
    canMono(true);
    canProcessReplacing(true);
}

SlicerEffect::~SlicerEffect() = default;

bool SlicerEffect::isComplete() const noexcept
{
    return core.isComplete();
}

void SlicerEffect::setParameter(VstInt32 index, float value)
{
    core.setParameter(index, value);
}

float SlicerEffect::getParameter(VstInt32 index)
{
    return core.getParameter(index);
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
        writeText(kParameters[index].label, label);
    }
}

void SlicerEffect::getParameterName(VstInt32 index, char* text)
{
    if (isParameterIndex(index)) {
        writeText(kParameters[index].name, text);
    }
}

void SlicerEffect::getParameterDisplay(VstInt32 index, char* text)
{
    if (!isParameterIndex(index) || text == nullptr) {
        return;
    }
    char digits[kDisplayCapacity];
    displayText(core.quantity(index), digits);
    writeText(digits, text);
}

void SlicerEffect::open()
{
    reclaim.enrol();
}

void SlicerEffect::suspend()
{
    core.suspend();
}

void SlicerEffect::resume()
{
    reclaim.enrol(); // for hosts that resume without opening
    core.resume();
}

VstInt32 SlicerEffect::getGetTailSize()
{
    return 1;
}

VstInt32 SlicerEffect::fxIdle()
{
    return 1;
}

void SlicerEffect::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    processReplacing(inputs, outputs, sampleFrames);
}

void SlicerEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    core.process(inputs, outputs, sampleFrames);
    hostTime = nullptr;
}

const TransportInfo* SlicerEffect::transport()
{
    hostTime = getTimeInfo(timeInfoRequest);
    copyHostTime();
    return hostTime != nullptr ? &time : nullptr;
}

bool SlicerEffect::followsTempo()
{
    getHostVendorString(hostVendor);
    getHostProductString(hostProduct);
    copyHostTime();
    return vendorFollowsTempo(hostVendor, sizeof hostVendor);
}

void SlicerEffect::copyHostTime() noexcept
{
    if (hostTime != nullptr) {
        time.samplePos = hostTime->samplePos;
        time.sampleRate = hostTime->sampleRate;
        time.tempo = hostTime->tempo;
        time.timeSigNumerator = hostTime->timeSigNumerator;
    }
}

} // namespace vorblexter
