#include "bench/session.h"

#include "engine/parameter_mapping.h"
#include "tests/support/engine_access.h"

#include <cmath>

namespace bench {

// Answers as a host whose tempo the effect follows (the test host's version 2400 and vendor
// "Steinberg"), with a 4/4 transport at the case's tempo and rate.
Session::Session(const Transport& transport, int blockFrames)
    : frames(blockFrames), inLeft(static_cast<std::size_t>(blockFrames)), inRight(inLeft.size()),
      outLeft(inLeft.size()), outRight(inLeft.size())
{
    host.setTransport(transport.tempo, transport.sampleRate);
    host.setProduct("bench");
    host.timeInfo.samplePos = transport.startPosition;
    effect.start(static_cast<float>(transport.sampleRate), blockFrames);
    // A tone well above the denormal range, different on the two channels.
    for (std::size_t i = 0; i < inLeft.size(); ++i) {
        inLeft[i] = static_cast<float>(0.5 * std::sin(0.01 * static_cast<double>(i)));
        inRight[i] = -inLeft[i];
    }
}

Session::~Session()
{
    effect.suspend();
}

void Session::setParameter(VstInt32 index, float value)
{
    effect.setParameter(index, value);
}

void Session::block()
{
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    effect.block(inputs, outputs, frames);
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
