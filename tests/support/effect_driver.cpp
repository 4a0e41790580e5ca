#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

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

void expectFinishedRecord(const AEffect& effect)
{
    EXPECT_EQ(effect.magic, 0x56737450);
    EXPECT_EQ(effect.numPrograms, 1);
    EXPECT_EQ(effect.numParams, 8);
    EXPECT_EQ(effect.numInputs, 2);
    EXPECT_EQ(effect.numOutputs, 2);
    EXPECT_EQ(effect.flags, 24);
    EXPECT_EQ(effect.uniqueID, 0x56726278);
    EXPECT_EQ(effect.version, 1);
    EXPECT_EQ(effect.initialDelay, 0);
    EXPECT_EQ(effect.ioRatio, 1.0f);
    EXPECT_EQ(effect.user, nullptr);
    EXPECT_TRUE(effect.resvd1 == 0 && effect.resvd2 == 0 && effect.realQualities == 0 &&
                effect.offQualities == 0);
    EXPECT_TRUE(effect.dispatcher && effect.process && effect.processReplacing &&
                effect.setParameter && effect.getParameter);
    const std::array<char, sizeof effect.future> zeros{};
    EXPECT_EQ(std::memcmp(effect.future, zeros.data(), zeros.size()), 0);
}

EffectDriver::EffectDriver(TestHost& host) : host(host), effect(host.createEffect())
{
    EXPECT_NE(effect, nullptr);
}

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
    char buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    dispatch(opcode, index, 0, buffer, 0.0f);
    return std::string(buffer);
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
    const auto frames = static_cast<VstInt32>(in.left.size());
    if (replacing) {
        effect->processReplacing(effect, inputs, outputs, frames);
    } else {
        effect->process(effect, inputs, outputs, frames);
    }
    return out;
}

VstIntPtr EffectDriver::close()
{
    const VstIntPtr answer = dispatch(effClose);
    effect = nullptr;
    return answer;
}

SlicerEffect& EffectDriver::engine()
{
    return *static_cast<SlicerEffect*>(effect->object);
}

} // namespace vorblexter::testing
