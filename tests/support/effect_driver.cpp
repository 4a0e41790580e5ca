#include "tests/support/effect_driver.h"

#include <cstring>
#include <stdexcept>

namespace vorblexter::testing {

StereoBlock rampBlock(double start, int frames)
{
    StereoBlock block;
    block.left.resize(static_cast<std::size_t>(frames));
    block.right.resize(static_cast<std::size_t>(frames));
    for (int k = 0; k < frames; ++k) {
        block.left[static_cast<std::size_t>(k)] = static_cast<float>(start + k);
        block.right[static_cast<std::size_t>(k)] = -static_cast<float>(start + k);
    }
    return block;
}

EffectDriver::EffectDriver(TestHost& host, PluginEntry entry)
    : host(host), effect(host.createEffect(entry))
{
    if (effect == nullptr) {
        throw std::runtime_error("the plug-in's main made no effect");
    }
}

EffectDriver::EffectDriver(TestHost& host, AEffect* effect) : host(host), effect(effect) {}

EffectDriver::~EffectDriver()
{
    if (effect != nullptr) {
        close();
    }
}

VstIntPtr EffectDriver::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void EffectDriver::setParameter(VstInt32 index, float value)
{
    effect->setParameter(effect, index, value);
}

float EffectDriver::getParameter(VstInt32 index)
{
    return effect->getParameter(effect, index);
}

std::string EffectDriver::text(VstInt32 opcode, VstInt32 index)
{
    char buffer[256] = {};
    dispatch(opcode, index, 0, buffer, 0.0f);
    return std::string(buffer);
}

void EffectDriver::start(float sampleRate, VstInt32 maxBlockFrames)
{
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, maxBlockFrames);
    resume();
}

void EffectDriver::block(float** inputs, float** outputs, VstInt32 frames, bool replacing)
{
    (replacing ? effect->processReplacing : effect->process)(effect, inputs, outputs, frames);
    if (host.playing()) {
        host.timeInfo.samplePos += frames;
    }
}

StereoBlock EffectDriver::run(double samplePos, const StereoBlock& input, bool replacing,
                              float outputFill)
{
    host.timeInfo.samplePos = samplePos;
    StereoBlock in = input;
    StereoBlock out;
    out.left.assign(in.left.size(), outputFill);
    out.right.assign(in.right.size(), outputFill);
    float* inputs[2] = {in.left.data(), in.right.data()};
    float* outputs[2] = {out.left.data(), out.right.data()};
    block(inputs, outputs, static_cast<VstInt32>(in.left.size()), replacing);
    return out;
}

VstIntPtr EffectDriver::close()
{
    const VstIntPtr answer = dispatch(effClose);
    host.forget(effect);
    effect = nullptr;
    return answer;
}

} // namespace vorblexter::testing
