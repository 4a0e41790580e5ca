// The capture buffer set-up: its accepted range, a pair reused while the loop fits in it and
// replaced when it grows, and what an allocation failure leaves.
#include "engine/allocation.h"
#include "engine/buffers.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vorblexter::testing {
namespace {

TEST(BufferRange, AcceptsFrom128To1000000000Frames)
{
    const std::pair<std::int32_t, bool> cases[] = {
        {INT32_MIN, false}, {0, false},          {127, false},      {128, true},
        {1000000000, true}, {1000000001, false}, {INT32_MAX, false}};
    for (const auto& [length, accepted] : cases) {
        EXPECT_EQ(bufferLengthAccepted(length), accepted) << length;
    }
}

// Buffer set-up runs inside the host's first block and after capture restarts; these tests call
// it directly, at tempo 240 where a 4-beat loop lasts exactly as many frames as the sample rate.
struct Buffers : ::testing::Test {
    TestHost host;
    EffectDriver driver{host};
    EngineState& engine = driver.state();
    TransportInfo transport{0.0, 0.0, 240.0, 4};
    DiagnosticsCapture diagnostics;

    Buffers() { engine.timeInfo = &transport; }
    ~Buffers() override { clearAllocationFailures(); }

    void setUpForLoopOf(std::int32_t frames)
    {
        transport.sampleRate = frames;
        EngineAccess::setupBuffers(driver.engine());
        ASSERT_EQ(engine.loopLengthSamples, frames);
    }

    void expectPairFor(std::int32_t frames, std::int32_t capacity)
    {
        ASSERT_NE(engine.bufferLeft, nullptr);
        ASSERT_NE(engine.bufferRight, nullptr);
        EXPECT_EQ(engine.bufferLengthSamples, frames);
        EXPECT_EQ(engine.bufferCapacitySamples, capacity);
        EXPECT_EQ(engine.captureWriteLeft, 0);
        EXPECT_EQ(engine.captureWriteRight, 0);
    }
};

TEST_F(Buffers, RefusedLengthKeepsWhateverExistedAndSaysNothingMore)
{
    setUpForLoopOf(127);
    EXPECT_EQ(engine.bufferLeft, nullptr);
    EXPECT_EQ(engine.bufferLengthSamples, 0);

    setUpForLoopOf(128);
    const float* left = engine.bufferLeft.get();
    engine.captureWriteLeft = engine.captureWriteRight = 7; // as if capture had begun
    diagnostics.clear();
    setUpForLoopOf(127);
    EXPECT_EQ(engine.bufferLeft.get(), left);
    EXPECT_EQ(engine.bufferLengthSamples, 128);
    EXPECT_EQ(engine.captureWriteLeft + engine.captureWriteRight, 14);
    EXPECT_EQ(diagnostics.messages(), std::vector<std::string>{"Setting up Buffers\n"});
}

// A set-up allocates only for a loop longer than the pair holds, and then exactly that length
// (so AddressSanitizer sees any access past the loop); a shorter or equal loop reuses the pair
// without touching the allocator, even one that would fail.
TEST_F(Buffers, ReusesThePairWhileTheLoopFitsAndReplacesItWhenTheLoopGrows)
{
    std::int32_t capacity = 0;
    for (const std::int32_t frames : {128, 88200, 88200, 256, 88200, 88201, 128}) {
        SCOPED_TRACE(frames);
        const float* oldLeft = engine.bufferLeft.get();
        const float* oldRight = engine.bufferRight.get();
        const bool grows = frames > capacity;
        capacity = std::max(capacity, frames);
        if (!grows) {
            injectAllocationFailures(AllocationSite::captureBuffer, 0, 2);
        }
        engine.captureWriteLeft = engine.captureWriteRight = 5; // as if capture had begun
        setUpForLoopOf(frames);
        expectPairFor(frames, capacity);
        EXPECT_EQ(engine.bufferLeft.get() != oldLeft, grows);
        EXPECT_EQ(engine.bufferRight.get() != oldRight, grows);
        clearAllocationFailures();
    }
    EXPECT_EQ(diagnostics.count("Allocation error\n"), 0);
}

// Only a set-up that allocates can fail: one for a longer loop, or the first after a failure.
TEST_F(Buffers, AllocationFailureLeavesNoBuffersUntilALaterSetUpSucceeds)
{
    for (const int failingBuffer : {0, 1}) { // left, then right
        SCOPED_TRACE(failingBuffer);
        setUpForLoopOf(1000);
        diagnostics.clear();
        injectAllocationFailures(AllocationSite::captureBuffer, failingBuffer, 1);
        setUpForLoopOf(2000);
        EXPECT_EQ(diagnostics.messages(),
                  (std::vector<std::string>{"Setting up Buffers\n", "Allocation error\n"}));
        EXPECT_EQ(engine.bufferLeft, nullptr);
        EXPECT_EQ(engine.bufferRight, nullptr);
        EXPECT_EQ(engine.bufferLengthSamples, 0);
        EXPECT_EQ(engine.bufferCapacitySamples, 0);

        setUpForLoopOf(1000);
        expectPairFor(1000, 1000);
    }
}

// Set-ups do not clear the buffers, so whatever a pair holds where the current capture has not
// written yet (an earlier, longer loop, or fresh memory) must never be heard. Before every block
// that space, and while a loop plays everything past it, is flooded with a value far louder than
// any input, under random Loop Length changes (which reuse or replace the pair), refused set-ups,
// locates, suspends, plan parameters and block sizes; no output may ever exceed the input's range.
TEST(BufferContents, OnlyWhatTheCurrentCaptureWroteIsEverHeard)
{
    constexpr float kLoud = 1.0e30f;
    TestHost host;
    host.setTransport(240.0, 1000.0); // 250 frames a beat
    EffectDriver fx{host};
    const EngineState& engine = fx.state();
    std::mt19937 random(10);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    const auto chance = [&](float p) { return unit(random) < p; };

    double position = 4000.0;
    int loopsHeardFromReusedPair = 0;
    for (int block = 0; block < 4000; ++block) {
        if (engine.bufferLeft && engine.bufferRight) {
            const std::int32_t written =
                engine.loopCaptured ? engine.bufferLengthSamples : engine.captureWriteLeft;
            std::fill(engine.bufferLeft.get() + written,
                      engine.bufferLeft.get() + engine.bufferCapacitySamples, kLoud);
            std::fill(engine.bufferRight.get() + written,
                      engine.bufferRight.get() + engine.bufferCapacitySamples, kLoud);
        }
        if (chance(0.02f)) {
            fx.setParameter(kLoopLength, unit(random));
        }
        if (chance(0.01f)) { // at 100 Hz loops of 1 to 4 beats are refused
            host.timeInfo.sampleRate = chance(0.5f) ? 100.0 : 1000.0;
        }
        if (chance(0.02f)) {
            fx.setParameter(static_cast<VstInt32>(random() % kParameterCount), unit(random));
        }
        if (chance(0.01f)) {
            fx.dispatch(effMainsChanged, 0, 0);
            fx.dispatch(effMainsChanged, 0, 1);
        }
        if (chance(0.01f)) { // a locate: back, then standing there
            position = std::floor(position * unit(random));
            fx.run(position, rampBlock(0.0, 16));
        }
        StereoBlock input{std::vector<float>(1 + random() % 700), {}};
        std::generate(input.left.begin(), input.left.end(), [&] { return sample(random); });
        input.right = input.left;
        const bool playing = engine.loopCaptured;
        const StereoBlock out = fx.run(position, input);
        position += static_cast<double>(input.left.size());
        for (std::size_t k = 0; k < out.left.size(); ++k) {
            ASSERT_LE(std::fabs(out.left[k]), 1.0f) << "block " << block << " frame " << k;
            ASSERT_LE(std::fabs(out.right[k]), 1.0f) << "block " << block << " frame " << k;
        }
        if (playing && engine.loopCaptured &&
            engine.bufferLengthSamples < engine.bufferCapacitySamples) {
            ++loopsHeardFromReusedPair;
        }
    }
    EXPECT_GT(loopsHeardFromReusedPair, 100); // the flood was really beside a played loop
}

} // namespace
} // namespace vorblexter::testing
