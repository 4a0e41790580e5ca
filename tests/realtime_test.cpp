// The audio thread's real-time rule: steady capture and steady playback never touch the heap.
// The heap counter counts every call made while a block runs. Diagnostics stay off and
// the test host records nothing, as in a host. And what an effect takes, closing gives back.
#include "engine/parameter_mapping.h"
#include "tests/support/effect_driver.h"
#include "tests/support/heap_counter.h"

#include <gtest/gtest.h>

#include <vector>

namespace vorblexter::testing {
namespace {

constexpr int kBlockFrames = 64;

// Runs blocks straight through the record with buffers made beforehand, so that the only code
// between the counter's start and stop is the effect's.
class QuietSession {
public:
    QuietSession()
        : inLeft(kBlockFrames), inRight(kBlockFrames), outLeft(kBlockFrames), outRight(kBlockFrames)
    {
        host.setTransport(240.0, 1000.0);
        for (int k = 0; k < kBlockFrames; ++k) {
            inLeft[k] = static_cast<float>(k + 1);
            inRight[k] = -static_cast<float>(k + 1);
        }
    }

    void play()
    {
        float* inputs[2] = {inLeft.data(), inRight.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        fx.block(inputs, outputs, kBlockFrames);
    }

    // Heap calls made by `blocks` blocks.
    long countHeapCallsOver(int blocks)
    {
        startHeapCount();
        for (int block = 0; block < blocks; ++block) {
            play();
        }
        return stopHeapCount();
    }

    EngineState& state() { return fx.state(); }

    TestHost host;
    EffectDriver fx{host};
    std::vector<float> inLeft, inRight, outLeft, outRight;
};

TEST(RealTime, CountsTheBufferAllocationsOfTheFirstSetUp)
{
    QuietSession session;
    EXPECT_GE(session.countHeapCallsOver(2), 2); // a standing block, then the set-up
}

TEST(Lifetime, CloseReturnsEverythingTheEffectTook)
{
    for (const bool processedAudio : {false, true}) {
        SCOPED_TRACE(processedAudio ? "after a block" : "never processed");
        TestHost host;
        host.setTransport(240.0, 1000.0); // 1000-frame loop
        const StereoBlock input = rampBlock(0.0, 64);
        const long before = liveHeapBlocks();
        {
            EffectDriver driver(host);
            EXPECT_EQ(liveHeapBlocks() - before, 2); // the object and its slice records
            if (processedAudio) {
                driver.run(1000.0, input);
                EXPECT_NE(driver.state().bufferLeft, nullptr);
            }
        }
        EXPECT_EQ(liveHeapBlocks(), before);
    }
}

TEST(RealTime, SteadyCaptureAllocatesNothing)
{
    QuietSession session;
    session.fx.setParameter(kLoopLength, 1.0f); // 64 beats: 16000 frames
    for (int block = 0; block < 4; ++block) {
        session.play(); // standing, set-up and restart for the new length, new set-up, capture
    }
    ASSERT_TRUE(session.state().captureActive);
    ASSERT_EQ(session.state().bufferLengthSamples, 16000);

    EXPECT_EQ(session.countHeapCallsOver(200), 0);
    EXPECT_TRUE(session.state().captureActive);
    EXPECT_EQ(session.state().captureWriteLeft, 202 * kBlockFrames);
}

TEST(RealTime, SteadyPlaybackAllocatesNothingAcrossWrapsAndRedraws)
{
    QuietSession session;
    while (!session.state().loopCaptured) {
        session.play();
    }
    for (int block = 0; block < 20; ++block) {
        session.play(); // past the first wrap
    }

    EXPECT_EQ(session.countHeapCallsOver(300), 0);
    session.fx.setParameter(kReverse, 0.5f);
    session.fx.setParameter(kCutsPerBar, 1.0f);
    EXPECT_EQ(session.countHeapCallsOver(300), 0);
    EXPECT_TRUE(session.state().loopCaptured);
    EXPECT_EQ(session.state().sliceCount, 64);
    EXPECT_LT(session.state().blocksInLoop, 16); // it wrapped recently
}

// A loop that fits in the buffers reuses them: going from 64 beats to 32 and back is two
// restarts and captures without one heap call.
TEST(RealTime, LoopLengthChangesWithinTheBuffersAllocateNothing)
{
    QuietSession session;
    session.fx.setParameter(kLoopLength, 1.0f); // 64 beats: 16000 frames
    while (!session.state().loopCaptured) {
        session.play();
    }
    for (const std::int32_t beats : {32, 64}) {
        SCOPED_TRACE(beats);
        session.fx.setParameter(kLoopLength, normalizedFromStep(beats));
        // Long enough for the pass in progress to end and the new loop to be captured.
        EXPECT_EQ(session.countHeapCallsOver(400), 0);
        EXPECT_TRUE(session.state().loopCaptured);
        EXPECT_EQ(session.state().bufferLengthSamples, beats * 250);
        EXPECT_EQ(session.state().bufferCapacitySamples, 16000);
    }
}

} // namespace
} // namespace vorblexter::testing
