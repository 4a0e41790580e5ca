// Level-1 plug-in base: owns the record handed to the host, turns opcodes 0 to 24 into virtual
// calls, and gives every level-1 operation its default.
//
// Threads: the host may call the dispatcher and the parameter entries from any thread, and the
// audio entries from its audio thread, also at the same time; this class guards nothing, and the
// fields here are written only during construction and by host set-up calls.
#pragma once

#include "host/vst_abi.h"

namespace vorblexter {

class EffectBase {
public:
    EffectBase(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    // Virtual operations, in the slot order hosts of the classic base layout expect.
    virtual ~EffectBase();
    virtual void setParameter(VstInt32 index, float value);
    virtual float getParameter(VstInt32 index);
    virtual void setParameterAutomated(VstInt32 index, float value);
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames);
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);
    virtual void open();
    virtual void close();
    virtual VstInt32 getProgram();
    virtual void setProgram(VstInt32 program);
    virtual void setProgramName(char* name);
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(VstInt32 index, char* label);
    virtual void getParameterDisplay(VstInt32 index, char* text);
    virtual void getParameterName(VstInt32 index, char* text);
    virtual float getVu();
    virtual VstInt32 getChunk(void** data, bool isPreset);
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset);
    virtual void setSampleRate(float rate);
    virtual void setBlockSize(VstInt32 size);
    virtual void suspend();
    virtual void resume();
    virtual void setUniqueID(VstInt32 id);
    virtual void setNumInputs(VstInt32 inputs);
    virtual void setNumOutputs(VstInt32 outputs);
    virtual void hasVu(bool state);
    virtual void hasClip(bool state);
    virtual void canMono(bool state);
    virtual void canProcessReplacing(bool state);
    virtual void programsAreChunks(bool state);
    virtual void setRealtimeQualities(VstInt32 qualities);
    virtual void setOfflineQualities(VstInt32 qualities);
    virtual void setInitialDelay(VstInt32 delay);
    virtual float getSampleRate();
    virtual VstInt32 getBlockSize();
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);
    // Eight-character display texts (plus terminator) for generic parameter views.
    virtual void dB2string(float value, char* text);
    virtual void Hz2string(float samples, char* text);
    virtual void ms2string(float samples, char* text);
    virtual void float2string(float value, char* text);
    virtual void long2string(VstInt32 value, char* text);

    AEffect* getAeffect() { return &cEffect; }

protected:
    // Sends one query to the host with this object's record. Callers test audioMaster first.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    void setFlag(VstInt32 bit, bool state);

    float sampleRate = 44100.0f; // Hz
    void* editor = nullptr;      // never set: the effect has no editor
    audioMasterCallback audioMaster = nullptr;
    VstInt32 numPrograms = 0;
    VstInt32 numParams = 0;
    VstInt32 curProgram = 0;
    VstInt32 blockSize = 1024; // frames
    AEffect cEffect{};
};

} // namespace vorblexter
