#include "host/effect_base.h"

#include "host/parameter_text.h"

#include <cmath>
#include <limits>

namespace vorblexter {

namespace {

EffectBase* objectOf(AEffect* effect)
{
    return static_cast<EffectBase*>(effect->object);
}

// The record entries find the object through `object` and forward; no exception may cross
// into the host, so each one stops them here.

VstIntPtr entryDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                          void* ptr, float opt)
{
    EffectBase* object = objectOf(effect);
    if (opcode == effClose) {
        try {
            object->dispatcher(opcode, index, value, ptr, opt);
        } catch (...) {
        }
        delete object;
        return 1;
    }
    try {
        return object->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

void entryProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    try {
        objectOf(effect)->process(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void entryProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    try {
        objectOf(effect)->processReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void entrySetParameter(AEffect* effect, VstInt32 index, float value)
{
    try {
        objectOf(effect)->setParameter(index, value);
    } catch (...) {
    }
}

float entryGetParameter(AEffect* effect, VstInt32 index)
{
    try {
        return objectOf(effect)->getParameter(index);
    } catch (...) {
        return 0.0f;
    }
}

void writeEmpty(char* text)
{
    if (text != nullptr) {
        text[0] = '\0';
    }
}

} // namespace

EffectBase::EffectBase(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = &entryDispatcher;
    cEffect.process = &entryProcess;
    cEffect.setParameter = &entrySetParameter;
    cEffect.getParameter = &entryGetParameter;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = 0;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.user = nullptr;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = &entryProcessReplacing;
}

EffectBase::~EffectBase() = default;

VstIntPtr EffectBase::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt)
{
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void EffectBase::setFlag(VstInt32 bit, bool state)
{
    if (state) {
        cEffect.flags |= bit;
    } else {
        cEffect.flags &= ~bit;
    }
}

VstIntPtr EffectBase::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt)
{
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value < numPrograms) {
            setProgram(static_cast<VstInt32>(value));
        }
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(text);
        return 0;
    case effGetProgramName:
        getProgramName(text);
        return 0;
    case effGetParamLabel:
        getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        getParameterName(index, text);
        return 0;
    case effGetVu: {
        // Truncation of an out-of-range float is undefined, so an override's wild answer
        // saturates instead.
        const double scaled = static_cast<double>(getVu()) * 32767.0;
        if (!(scaled == scaled)) {
            return 0;
        }
        if (scaled >= 2147483647.0) {
            return 2147483647;
        }
        if (scaled <= -2147483648.0) {
            return -2147483647 - 1;
        }
        return static_cast<VstInt32>(scaled);
    }
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value == 0) {
            suspend();
        } else {
            resume();
        }
        return 0;
    case effIdentify:
        return fourCharCode('N', 'v', 'E', 'f');
    case effGetChunk:
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
        // The editor opcodes 13 to 21 land here too: there is no editor.
        return 0;
    }
}

void EffectBase::setParameter(VstInt32, float) {}

float EffectBase::getParameter(VstInt32)
{
    return 0.0f;
}

void EffectBase::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    if (audioMaster != nullptr) {
        callHost(audioMasterAutomate, index, 0, nullptr, value);
    }
}

void EffectBase::processReplacing(float**, float**, VstInt32) {}

void EffectBase::open() {}

void EffectBase::close() {}

VstInt32 EffectBase::getProgram()
{
    return curProgram;
}

void EffectBase::setProgram(VstInt32 program)
{
    curProgram = program;
}

void EffectBase::setProgramName(char* name)
{
    writeEmpty(name);
}

void EffectBase::getProgramName(char* name)
{
    writeEmpty(name);
}

void EffectBase::getParameterLabel(VstInt32, char* label)
{
    writeEmpty(label);
}

void EffectBase::getParameterDisplay(VstInt32, char* text)
{
    writeEmpty(text);
}

void EffectBase::getParameterName(VstInt32, char* text)
{
    writeEmpty(text);
}

float EffectBase::getVu()
{
    return 0.0f;
}

VstInt32 EffectBase::getChunk(void**, bool)
{
    return 0;
}

VstInt32 EffectBase::setChunk(void*, VstInt32, bool)
{
    return 0;
}

void EffectBase::setSampleRate(float rate)
{
    sampleRate = rate;
}

void EffectBase::setBlockSize(VstInt32 size)
{
    blockSize = size;
}

void EffectBase::suspend() {}

void EffectBase::resume() {}

void EffectBase::setUniqueID(VstInt32 id)
{
    cEffect.uniqueID = id;
}

void EffectBase::setNumInputs(VstInt32 inputs)
{
    cEffect.numInputs = inputs;
}

void EffectBase::setNumOutputs(VstInt32 outputs)
{
    cEffect.numOutputs = outputs;
}

void EffectBase::hasVu(bool state)
{
    setFlag(effFlagsHasVu, state);
}

void EffectBase::hasClip(bool state)
{
    setFlag(effFlagsHasClip, state);
}

void EffectBase::canMono(bool state)
{
    setFlag(effFlagsCanMono, state);
}

void EffectBase::canProcessReplacing(bool state)
{
    setFlag(effFlagsCanReplacing, state);
}

void EffectBase::programsAreChunks(bool state)
{
    setFlag(effFlagsProgramChunks, state);
}

void EffectBase::setRealtimeQualities(VstInt32 qualities)
{
    cEffect.realQualities = qualities;
}

void EffectBase::setOfflineQualities(VstInt32 qualities)
{
    cEffect.offQualities = qualities;
}

void EffectBase::setInitialDelay(VstInt32 delay)
{
    cEffect.initialDelay = delay;
}

float EffectBase::getSampleRate()
{
    return sampleRate;
}

VstInt32 EffectBase::getBlockSize()
{
    return blockSize;
}

VstInt32 EffectBase::getMasterVersion()
{
    if (audioMaster == nullptr) {
        return 1;
    }
    const auto version = static_cast<VstInt32>(callHost(audioMasterVersion));
    return version == 0 ? 1 : version;
}

VstInt32 EffectBase::getCurrentUniqueId()
{
    return audioMaster == nullptr ? 0 : static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void EffectBase::masterIdle()
{
    if (audioMaster != nullptr) {
        callHost(audioMasterIdle);
    }
}

bool EffectBase::isInputConnected(VstInt32 input)
{
    return audioMaster == nullptr || callHost(audioMasterPinConnected, input, 0) == 0;
}

bool EffectBase::isOutputConnected(VstInt32 output)
{
    return audioMaster == nullptr || callHost(audioMasterPinConnected, output, 1) == 0;
}

void EffectBase::dB2string(float value, char* text)
{
    if (value > 0.0f) {
        float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
    } else {
        writeMinusInfinityText(text);
    }
}

void EffectBase::Hz2string(float samples, char* text)
{
    const double rate = getSampleRate();
    if (samples == 0.0f) {
        float2string(0.0f, text);
    } else {
        float2string(static_cast<float>(rate / static_cast<double>(samples)), text);
    }
}

void EffectBase::ms2string(float samples, char* text)
{
    const double rate = getSampleRate();
    if (rate == 0.0) {
        // No rate, no duration: show the overflow text rather than divide by zero.
        float2string(std::numeric_limits<float>::infinity(), text);
        return;
    }
    float2string(static_cast<float>(static_cast<double>(samples) * 1000.0 / rate), text);
}

void EffectBase::float2string(float value, char* text)
{
    formatFloat8(value, text);
}

void EffectBase::long2string(VstInt32 value, char* text)
{
    formatLong8(value, text);
}

} // namespace vorblexter
