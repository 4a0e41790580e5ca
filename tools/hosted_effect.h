// One effect instance as a host sees it: made by the library's `main`, driven only through its
// record's entries and dispatcher, and answered through this host's callback.
#pragma once

#include "host/vst_abi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorblexter::tool {

class PluginLibrary;

// The texts the host reports about itself. The effect follows the host's tempo only when the
// vendor text names one of the two makers it knows, so the default is one of them.
struct HostIdentity {
    std::string vendor = "Steinberg";
    std::string product = "vorblexter";
};

// Single-threaded: every call, the effect's callbacks included, happens on the caller's thread.
// Not movable, because the effect's record points back at it.
class HostedEffect {
public:
    // Calls the library's `main`; throws ToolError when it answers null or a record without the
    // plug-in magic. The library must outlive this object.
    HostedEffect(const PluginLibrary& library, HostIdentity identity);
    ~HostedEffect();
    HostedEffect(const HostedEffect&) = delete;
    HostedEffect& operator=(const HostedEffect&) = delete;

    // effOpen, then the sample rate (Hz) and the largest block (frames) the host will send.
    void open(double sampleRate, std::int32_t maxBlockFrames);
    // effMainsChanged 1 and 0.
    void resume();
    void suspend();
    // effClose; the record is gone afterwards. The destructor closes an effect left open.
    void close();

    bool isResumed() const noexcept { return resumed; }
    double sampleRate() const noexcept { return rate; }
    std::int32_t maxBlockFrames() const noexcept { return blockFrames; }

    std::int32_t parameterCount() const noexcept;
    void setParameter(std::int32_t index, float normalized);
    float parameter(std::int32_t index) const;
    std::string parameterName(std::int32_t index);
    std::string parameterLabel(std::int32_t index);
    std::string parameterDisplay(std::int32_t index);

    // The transport record answered to audioMasterGetTime until the next call; null answers
    // "no transport". The host owns it and keeps it alive while blocks run.
    void setTimeInfo(const VstTimeInfo* info) noexcept { timeInfo = info; }

    // Runs one block of at most maxBlockFrames frames. The outputs are cleared first, because
    // the effect may leave them untouched. Inputs are copied so the effect can never alter the
    // caller's audio.
    void process(const float* inputLeft, const float* inputRight, float* outputLeft,
                 float* outputRight, std::int32_t frames);

    // The host's answer to one callback opcode (public for the callback trampoline).
    VstIntPtr answerCallback(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr);

private:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    std::string dispatchText(VstInt32 opcode, std::int32_t index);

    HostIdentity host;
    AEffect* effect = nullptr;
    const VstTimeInfo* timeInfo = nullptr;
    double rate = 44100.0;
    std::int32_t blockFrames = 512;
    bool resumed = false;
    // Per-channel scratch of maxBlockFrames samples, at least two channels each way.
    std::vector<std::vector<float>> inputChannels;
    std::vector<std::vector<float>> outputChannels;
    std::vector<float*> inputPointers;
    std::vector<float*> outputPointers;
};

} // namespace vorblexter::tool
