#include "tools/hosted_effect.h"

#include "tools/plugin_loader.h"
#include "tools/tool_error.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vorblexter::tool {

namespace {

constexpr VstIntPtr kHostInterfaceVersion = 2400;
constexpr VstIntPtr kHostVendorVersion = 1000;
// Vendor and product texts: hosts and plug-ins agree on 64-byte buffers.
constexpr std::size_t kHostTextBytes = 64;
// Parameter texts: the interface promises 8 characters, effects write more; a wide buffer
// with a forced terminator keeps any of them readable.
constexpr std::size_t kParameterTextBytes = 256;

// The effect being built by `main`: during construction its record does not yet lead back to
// this host, so callbacks made then find the host here.
thread_local HostedEffect* effectUnderConstruction = nullptr;

VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float)
{
    if (opcode == audioMasterVersion) {
        return kHostInterfaceVersion;
    }
    HostedEffect* host = effectUnderConstruction;
    if (effect != nullptr && effect->resvd1 != 0) {
        host = reinterpret_cast<HostedEffect*>(effect->resvd1);
    }
    return host != nullptr ? host->answerCallback(opcode, index, value, ptr) : 0;
}

void copyHostText(const std::string& text, void* destination)
{
    if (destination == nullptr) {
        return;
    }
    const std::size_t length = std::min(text.size(), kHostTextBytes - 1);
    std::memcpy(destination, text.data(), length);
    static_cast<char*>(destination)[length] = '\0';
}

} // namespace

HostedEffect::HostedEffect(const PluginLibrary& library, HostIdentity identity)
    : host(std::move(identity))
{
    effectUnderConstruction = this;
    AEffect* record = library.entry()(&hostCallback);
    effectUnderConstruction = nullptr;
    if (record == nullptr) {
        throw ToolError("plug-in's main answered null (no effect made): " +
                        library.path().string());
    }
    if (record->magic != kEffectMagic || record->dispatcher == nullptr) {
        throw ToolError("plug-in's main answered a record that is not an effect: " +
                        library.path().string());
    }
    // resvd1 is the host's own field of the record: it leads callbacks back here.
    record->resvd1 = reinterpret_cast<VstIntPtr>(this);
    effect = record;
    inputChannels.resize(static_cast<std::size_t>(std::max<VstInt32>(2, record->numInputs)));
    outputChannels.resize(static_cast<std::size_t>(std::max<VstInt32>(2, record->numOutputs)));
}

HostedEffect::~HostedEffect()
{
    if (effect != nullptr) {
        if (resumed) {
            suspend();
        }
        close();
    }
}

void HostedEffect::open(double sampleRate, std::int32_t maxBlockFrames)
{
    rate = sampleRate;
    blockFrames = std::max<std::int32_t>(1, maxBlockFrames);
    for (auto* channels : {&inputChannels, &outputChannels}) {
        for (std::vector<float>& channel : *channels) {
            channel.assign(static_cast<std::size_t>(blockFrames), 0.0f);
        }
    }
    inputPointers.clear();
    outputPointers.clear();
    for (std::vector<float>& channel : inputChannels) {
        inputPointers.push_back(channel.data());
    }
    for (std::vector<float>& channel : outputChannels) {
        outputPointers.push_back(channel.data());
    }
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effSetBlockSize, 0, blockFrames);
}

void HostedEffect::resume()
{
    dispatch(effMainsChanged, 0, 1);
    resumed = true;
}

void HostedEffect::suspend()
{
    dispatch(effMainsChanged, 0, 0);
    resumed = false;
}

void HostedEffect::close()
{
    if (effect == nullptr) {
        return;
    }
    dispatch(effClose);
    effect = nullptr;
}

std::int32_t HostedEffect::parameterCount() const noexcept
{
    return effect != nullptr ? effect->numParams : 0;
}

void HostedEffect::setParameter(std::int32_t index, float normalized)
{
    if (effect != nullptr && effect->setParameter != nullptr) {
        effect->setParameter(effect, index, normalized);
    }
}

float HostedEffect::parameter(std::int32_t index) const
{
    if (effect == nullptr || effect->getParameter == nullptr) {
        return 0.0f;
    }
    return effect->getParameter(effect, index);
}

std::string HostedEffect::parameterName(std::int32_t index)
{
    return dispatchText(effGetParamName, index);
}

std::string HostedEffect::parameterLabel(std::int32_t index)
{
    return dispatchText(effGetParamLabel, index);
}

std::string HostedEffect::parameterDisplay(std::int32_t index)
{
    return dispatchText(effGetParamDisplay, index);
}

void HostedEffect::process(const float* inputLeft, const float* inputRight, float* outputLeft,
                           float* outputRight, std::int32_t frames)
{
    if (effect == nullptr || frames <= 0 || frames > blockFrames || inputPointers.empty()) {
        return;
    }
    const auto count = static_cast<std::size_t>(frames);
    std::copy_n(inputLeft, count, inputChannels[0].begin());
    std::copy_n(inputRight, count, inputChannels[1].begin());
    for (std::vector<float>& channel : outputChannels) {
        std::fill_n(channel.begin(), count, 0.0f);
    }
    // With the outputs cleared, an accumulating process() gives what processReplacing would.
    const bool replacing =
        (effect->flags & effFlagsCanReplacing) != 0 && effect->processReplacing != nullptr;
    AEffectProcessProc entry = replacing ? effect->processReplacing : effect->process;
    if (entry != nullptr) {
        entry(effect, inputPointers.data(), outputPointers.data(), frames);
    }
    std::copy_n(outputChannels[0].begin(), count, outputLeft);
    // A mono-output effect feeds both channels.
    const std::vector<float>& right =
        effect->numOutputs >= 2 ? outputChannels[1] : outputChannels[0];
    std::copy_n(right.begin(), count, outputRight);
}

VstIntPtr HostedEffect::answerCallback(VstInt32 opcode, VstInt32, VstIntPtr, void* ptr)
{
    switch (opcode) {
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(timeInfo);
    case audioMasterGetVendorString:
        copyHostText(host.vendor, ptr);
        return 1;
    case audioMasterGetProductString:
        copyHostText(host.product, ptr);
        return 1;
    case audioMasterGetVendorVersion:
        return kHostVendorVersion;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(rate);
    case audioMasterGetBlockSize:
        return blockFrames;
    default:
        return 0;
    }
}

VstIntPtr HostedEffect::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt)
{
    return effect != nullptr ? effect->dispatcher(effect, opcode, index, value, ptr, opt) : 0;
}

std::string HostedEffect::dispatchText(VstInt32 opcode, std::int32_t index)
{
    std::array<char, kParameterTextBytes> text{};
    dispatch(opcode, index, 0, text.data());
    text.back() = '\0';
    return std::string(text.data());
}

} // namespace vorblexter::tool
