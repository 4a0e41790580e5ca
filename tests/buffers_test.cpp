// The capture buffer set-up: its accepted range, a fresh cleared pair each time, and what an
// allocation failure leaves.
#include "engine/allocation.h"
#include "engine/buffers.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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
    SlicerEffect& engine = driver.engine();
    DiagnosticsCapture diagnostics;

    Buffers() { engine.timeInfo = &host.timeInfo; }
    ~Buffers() override { clearAllocationFailures(); }

    void setUpForLoopOf(std::int32_t frames)
    {
        setTransport(host.timeInfo, 240.0, frames);
        engine.setupBuffers();
        ASSERT_EQ(engine.loopLengthSamples, frames);
    }

    void expectClearedPairOf(std::int32_t frames)
    {
        ASSERT_NE(engine.bufferLeft, nullptr);
        ASSERT_NE(engine.bufferRight, nullptr);
        EXPECT_EQ(engine.bufferLengthSamples, frames);
        EXPECT_EQ(engine.captureWriteLeft, 0);
        EXPECT_EQ(engine.captureWriteRight, 0);
        const auto isZero = [](float sample) { return sample == 0.0f; };
        EXPECT_TRUE(std::all_of(engine.bufferLeft.get(), engine.bufferLeft.get() + frames, isZero));
        EXPECT_TRUE(
            std::all_of(engine.bufferRight.get(), engine.bufferRight.get() + frames, isZero));
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

TEST_F(Buffers, EveryAcceptedSetUpMakesANewClearedPair)
{
    for (const std::int32_t frames : {128, 88200, 88200, 256}) {
        const float* oldLeft = engine.bufferLeft.get();
        const float* oldRight = engine.bufferRight.get();
        setUpForLoopOf(frames);
        expectClearedPairOf(frames);
        EXPECT_NE(engine.bufferLeft.get(), oldLeft);
        EXPECT_NE(engine.bufferRight.get(), oldRight);
        // Stand-in for a captured loop, which the next set-up must not keep.
        std::fill_n(engine.bufferLeft.get(), frames, 1.0f);
        std::fill_n(engine.bufferRight.get(), frames, -1.0f);
        engine.captureWriteLeft = engine.captureWriteRight = frames;
    }
    EXPECT_EQ(diagnostics.count("Allocation error\n"), 0);
}

TEST_F(Buffers, AllocationFailureLeavesNoBuffersUntilALaterSetUpSucceeds)
{
    for (const int failingBuffer : {0, 1}) { // left, then right
        SCOPED_TRACE(failingBuffer);
        setUpForLoopOf(1000);
        diagnostics.clear();
        injectAllocationFailures(AllocationSite::captureBuffer, failingBuffer, 1);
        setUpForLoopOf(1000);
        EXPECT_EQ(diagnostics.messages(),
                  (std::vector<std::string>{"Setting up Buffers\n", "Allocation error\n"}));
        EXPECT_EQ(engine.bufferLeft, nullptr);
        EXPECT_EQ(engine.bufferRight, nullptr);
        EXPECT_EQ(engine.bufferLengthSamples, 0);

        setUpForLoopOf(1000);
        expectClearedPairOf(1000);
    }
}

} // namespace
} // namespace vorblexter::testing
