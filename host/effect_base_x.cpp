#include "host/effect_base_x.h"

namespace vorblexter {

namespace {

VstIntPtr answerOf(bool state)
{
    return state ? 1 : 0;
}

} // namespace

EffectBaseX::EffectBaseX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : EffectBase(audioMaster, numPrograms, numParams)
{
}

EffectBaseX::~EffectBaseX() = default;

VstIntPtr EffectBaseX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt)
{
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effProcessEvents:
        return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated:
        return answerOf(canParameterBeAutomated(index));
    case effString2Parameter:
        return answerOf(string2parameter(index, text));
    case effGetNumProgramCategories:
        return getNumCategories();
    case effGetProgramNameIndexed:
        return answerOf(getProgramNameIndexed(static_cast<VstInt32>(value), index, text));
    case effCopyProgram:
        return answerOf(copyProgram(index));
    case effConnectInput:
        inputConnected(index, value != 0);
        return 1;
    case effConnectOutput:
        outputConnected(index, value != 0);
        return 1;
    case effGetInputProperties:
        return answerOf(getInputProperties(index, static_cast<VstPinProperties*>(ptr)));
    case effGetOutputProperties:
        return answerOf(getOutputProperties(index, static_cast<VstPinProperties*>(ptr)));
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return reportCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
    case effOfflineNotify:
        return answerOf(offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<VstInt32>(value),
                                      index != 0));
    case effOfflinePrepare:
        return answerOf(
            offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value)));
    case effOfflineRun:
        return answerOf(
            offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value)));
    case effProcessVarIo:
        return answerOf(processVariableIo(static_cast<VstVariableIo*>(ptr)));
    case effSetSpeakerArrangement:
        return answerOf(setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                              static_cast<VstSpeakerArrangement*>(ptr)));
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(static_cast<VstInt32>(value), opt);
        return 1;
    case effSetBypass:
        return answerOf(setBypass(value != 0));
    case effGetEffectName:
        return answerOf(getEffectName(text));
    case effGetErrorText:
        return answerOf(getErrorText(text));
    case effGetVendorString:
        return answerOf(getVendorString(text));
    case effGetProductString:
        return answerOf(getProductString(text));
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return canDo(text);
    case effGetTailSize:
        return getGetTailSize();
    case effIdle:
        return fxIdle();
    case effGetIcon:
        return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition:
        return answerOf(setViewPosition(index, static_cast<VstInt32>(value)));
    case effGetParameterProperties:
        return answerOf(getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)));
    case effKeysRequired:
        // The opcode asks the opposite question: 1 means keys are not needed.
        return keysRequired() ? 0 : 1;
    case effGetVstVersion:
        return getVstVersion();
    default:
        return EffectBase::dispatcher(opcode, index, value, ptr, opt);
    }
}

void EffectBaseX::wantEvents(VstInt32 filter)
{
    if (audioMaster != nullptr) {
        callHost(audioMasterWantMidi, 0, filter);
    }
}

VstTimeInfo* EffectBaseX::getTimeInfo(VstInt32 filter)
{
    if (audioMaster == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

VstInt32 EffectBaseX::tempoAt(VstInt32 pos)
{
    return audioMaster == nullptr ? 0 : static_cast<VstInt32>(callHost(audioMasterTempoAt, 0, pos));
}

VstInt32 EffectBaseX::processEvents(VstEvents*)
{
    return 0;
}

VstInt32 EffectBaseX::getNumAutomatableParameters()
{
    return audioMaster == nullptr
               ? 0
               : static_cast<VstInt32>(callHost(audioMasterGetNumAutomatableParameters));
}

VstInt32 EffectBaseX::getParameterQuantization()
{
    return audioMaster == nullptr
               ? 0
               : static_cast<VstInt32>(callHost(audioMasterGetParameterQuantization));
}

bool EffectBaseX::canParameterBeAutomated(VstInt32)
{
    return true;
}

bool EffectBaseX::string2parameter(VstInt32, char*)
{
    return false;
}

VstInt32 EffectBaseX::getNumCategories()
{
    return 1;
}

bool EffectBaseX::getProgramNameIndexed(VstInt32, VstInt32, char*)
{
    return false;
}

bool EffectBaseX::copyProgram(VstInt32)
{
    return false;
}

bool EffectBaseX::ioChanged()
{
    return audioMaster != nullptr && callHost(audioMasterIOChanged) != 0;
}

bool EffectBaseX::needIdle()
{
    return audioMaster != nullptr && callHost(audioMasterNeedIdle) != 0;
}

bool EffectBaseX::sizeWindow(VstInt32 width, VstInt32 height)
{
    return audioMaster != nullptr && callHost(audioMasterSizeWindow, width, height) != 0;
}

double EffectBaseX::updateSampleRate()
{
    // The host's answer is not trusted as a rate; the query only tells it we asked.
    if (audioMaster != nullptr) {
        callHost(audioMasterGetSampleRate);
    }
    return sampleRate;
}

VstInt32 EffectBaseX::updateBlockSize()
{
    if (audioMaster != nullptr) {
        callHost(audioMasterGetBlockSize);
    }
    return blockSize;
}

VstInt32 EffectBaseX::getInputLatency()
{
    return audioMaster == nullptr ? 0 : static_cast<VstInt32>(callHost(audioMasterGetInputLatency));
}

VstInt32 EffectBaseX::getOutputLatency()
{
    return audioMaster == nullptr ? 0
                                  : static_cast<VstInt32>(callHost(audioMasterGetOutputLatency));
}

AEffect* EffectBaseX::getPreviousPlug(VstInt32)
{
    // The pin number is not part of the query.
    return audioMaster == nullptr
               ? nullptr
               : reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}

AEffect* EffectBaseX::getNextPlug(VstInt32)
{
    return audioMaster == nullptr ? nullptr
                                  : reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}

void EffectBaseX::inputConnected(VstInt32, bool) {}

void EffectBaseX::outputConnected(VstInt32, bool) {}

bool EffectBaseX::getInputProperties(VstInt32, VstPinProperties*)
{
    return false;
}

bool EffectBaseX::getOutputProperties(VstInt32, VstPinProperties*)
{
    return false;
}

VstInt32 EffectBaseX::getPlugCategory()
{
    return (cEffect.flags & effFlagsIsSynth) != 0 ? 2 : 0;
}

VstInt32 EffectBaseX::willProcessReplacing()
{
    return audioMaster == nullptr
               ? 0
               : static_cast<VstInt32>(callHost(audioMasterWillReplaceOrAccumulate));
}

VstInt32 EffectBaseX::getCurrentProcessLevel()
{
    return audioMaster == nullptr
               ? 0
               : static_cast<VstInt32>(callHost(audioMasterGetCurrentProcessLevel));
}

VstInt32 EffectBaseX::getAutomationState()
{
    return audioMaster == nullptr ? 0
                                  : static_cast<VstInt32>(callHost(audioMasterGetAutomationState));
}

void EffectBaseX::wantAsyncOperation(bool state)
{
    setFlag(effFlagsExtIsAsync, state);
}

void EffectBaseX::hasExternalBuffer(bool state)
{
    setFlag(effFlagsExtHasBuffer, state);
}

VstInt32 EffectBaseX::reportCurrentPosition()
{
    return 0;
}

float* EffectBaseX::reportDestinationBuffer()
{
    return nullptr;
}

bool EffectBaseX::offlineRead(VstOfflineTask* offline, VstInt32 option, bool readSource)
{
    return audioMaster != nullptr &&
           callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool EffectBaseX::offlineWrite(VstOfflineTask* offline, VstInt32 option)
{
    return audioMaster != nullptr && callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}

bool EffectBaseX::offlineStart(VstAudioFile* audioFiles, VstInt32 numAudioFiles,
                               VstInt32 numNewAudioFiles)
{
    return audioMaster != nullptr &&
           callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, audioFiles) != 0;
}

VstInt32 EffectBaseX::offlineGetCurrentPass()
{
    return audioMaster != nullptr && callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0;
}

VstInt32 EffectBaseX::offlineGetCurrentMetaPass()
{
    return audioMaster != nullptr && callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

bool EffectBaseX::offlineNotify(VstAudioFile*, VstInt32, bool)
{
    return false;
}

bool EffectBaseX::offlinePrepare(VstOfflineTask*, VstInt32)
{
    return false;
}

bool EffectBaseX::offlineRun(VstOfflineTask*, VstInt32)
{
    return false;
}

void EffectBaseX::setOutputSamplerate(float rate)
{
    if (audioMaster != nullptr) {
        callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
    }
}

bool EffectBaseX::getSpeakerArrangement(VstSpeakerArrangement** input,
                                        VstSpeakerArrangement** output)
{
    return audioMaster != nullptr && callHost(audioMasterGetSpeakerArrangement, 0,
                                              reinterpret_cast<VstIntPtr>(input), output) != 0;
}

bool EffectBaseX::getHostVendorString(char* text)
{
    return audioMaster != nullptr && callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool EffectBaseX::getHostProductString(char* text)
{
    return audioMaster != nullptr && callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

VstInt32 EffectBaseX::getHostVendorVersion()
{
    return audioMaster == nullptr ? 0
                                  : static_cast<VstInt32>(callHost(audioMasterGetVendorVersion));
}

VstIntPtr EffectBaseX::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                          float floatArg)
{
    return audioMaster == nullptr
               ? 0
               : callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}

VstInt32 EffectBaseX::canHostDo(char* text)
{
    return audioMaster != nullptr && callHost(audioMasterCanDo, 0, 0, text) != 0 ? 1 : 0;
}

void EffectBaseX::isSynth(bool state)
{
    setFlag(effFlagsIsSynth, state);
}

void EffectBaseX::noTail(bool state)
{
    setFlag(effFlagsNoSoundInStop, state);
}

VstInt32 EffectBaseX::getHostLanguage()
{
    return audioMaster == nullptr ? 0 : static_cast<VstInt32>(callHost(audioMasterGetLanguage));
}

void* EffectBaseX::openWindow(void* window)
{
    return audioMaster == nullptr
               ? nullptr
               : reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}

bool EffectBaseX::closeWindow(void* window)
{
    return audioMaster != nullptr && callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}

void* EffectBaseX::getDirectory()
{
    return audioMaster == nullptr ? nullptr
                                  : reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

bool EffectBaseX::updateDisplay()
{
    return audioMaster != nullptr && callHost(audioMasterUpdateDisplay) != 0;
}

bool EffectBaseX::processVariableIo(VstVariableIo*)
{
    return false;
}

bool EffectBaseX::setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*)
{
    return false;
}

void EffectBaseX::setBlockSizeAndSampleRate(VstInt32 size, float rate)
{
    blockSize = size;
    sampleRate = rate;
}

bool EffectBaseX::setBypass(bool)
{
    return false;
}

bool EffectBaseX::getEffectName(char*)
{
    return false;
}

bool EffectBaseX::getErrorText(char*)
{
    return false;
}

bool EffectBaseX::getVendorString(char*)
{
    return false;
}

bool EffectBaseX::getProductString(char*)
{
    return false;
}

VstInt32 EffectBaseX::getVendorVersion()
{
    return 0;
}

VstIntPtr EffectBaseX::vendorSpecific(VstInt32, VstIntPtr, void*, float)
{
    return 0;
}

VstInt32 EffectBaseX::canDo(char*)
{
    return 0;
}

void* EffectBaseX::getIcon()
{
    return nullptr;
}

bool EffectBaseX::setViewPosition(VstInt32, VstInt32)
{
    return false;
}

VstInt32 EffectBaseX::getGetTailSize()
{
    return 0;
}

VstInt32 EffectBaseX::fxIdle()
{
    return 0;
}

bool EffectBaseX::getParameterProperties(VstInt32, VstParameterProperties*)
{
    return false;
}

bool EffectBaseX::keysRequired()
{
    return false;
}

VstInt32 EffectBaseX::getVstVersion()
{
    return 2;
}

} // namespace vorblexter
