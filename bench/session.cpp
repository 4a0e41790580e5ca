#include "bench/session.h"

#include "engine/parameter_mapping.h"
#include "host/plugin_entry.h"
#include "host/slicer_effect.h"
#include "tests/support/engine_access.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace bench {

namespace {

// Answers as a host whose tempo the effect follows: version 2400, vendor "Steinberg", and the
// session's transport record.
VstIntPtr host(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        if (effect == nullptr || effect->user == nullptr) {
            return 0;
        }
        return reinterpret_cast<VstIntPtr>(&static_cast<Session*>(effect->user)->time);
    case audioMasterGetVendorString:
        std::strcpy(static_cast<char*>(ptr), "Steinberg");
        return 1;
    case audioMasterGetProductString:
        std::strcpy(static_cast<char*>(ptr), "bench");
        return 1;
    default:
        return 0;
    }
}

} // namespace

Session::Session(const Transport& transport, int blockFrames)
    : effect(vorblexterPluginMain(&host)), frames(blockFrames),
      inLeft(static_cast<std::size_t>(blockFrames)), inRight(inLeft.size()), outLeft(inLeft.size()),
      outRight(inLeft.size())
{
    if (effect == nullptr) {
        throw std::runtime_error("the effect could not be created");
    }
    effect->user = this;
    time.samplePos = transport.startPosition;
    time.tempo = transport.tempo;
    time.sampleRate = transport.sampleRate;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr,
                       static_cast<float>(transport.sampleRate));
    effect->dispatcher(effect, effSetBlockSize, 0, blockFrames, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    // A tone well above the denormal range, different on the two channels.
    for (std::size_t i = 0; i < inLeft.size(); ++i) {
        inLeft[i] = static_cast<float>(0.5 * std::sin(0.01 * static_cast<double>(i)));
        inRight[i] = -inLeft[i];
    }
}

Session::~Session()
{
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

void Session::setParameter(VstInt32 index, float value)
{
    effect->setParameter(effect, index, value);
}

void Session::block()
{
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    effect->processReplacing(effect, inputs, outputs, frames);
    time.samplePos += static_cast<double>(frames);
    done += frames;
}

void Session::blocks(std::int64_t count)
{
    for (std::int64_t i = 0; i < count; ++i) {
        block();
    }
}

// The capture began on the first frame of a block and holds exactly one loop, so it completes
// in the block that holds frame start + loop length, and playback begins on that frame.
std::int64_t Session::runUntilCaptured()
{
    while (!loopHeld()) {
        block();
    }
    const std::int64_t loop = state().loopLengthSamples;
    const std::int64_t completing = done - frames;
    const std::int64_t start = completing - (loop / frames) * frames;
    return start + loop;
}

vorblexter::SliceEngine& Session::engine()
{
    return static_cast<vorblexter::SlicerEffect*>(effect->object)->engine();
}

const vorblexter::EngineState& Session::state()
{
    return vorblexter::testing::EngineAccess::state(engine());
}

bool Session::loopHeld()
{
    return engine().status().phase == vorblexter::EnginePhase::playing;
}

std::int64_t Session::passFrames()
{
    const std::int64_t count = state().sliceCount;
    return count * (state().loopLengthSamples / count);
}

float stepValue(int step)
{
    return vorblexter::normalizedFromStep(step);
}

float percentValue(int percent)
{
    return vorblexter::normalizedFromPercent(percent);
}

float envelopeValue(int frames)
{
    return vorblexter::normalizedFromExponential(frames);
}

} // namespace bench
