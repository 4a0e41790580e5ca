// The audio thread's real-time rule: steady capture and steady playback never touch the heap.
// The heap counter counts every call made while a block runs. Diagnostics stay off and
// the test host records nothing, as in a host.
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
        host.recordCalls = false;
        setTransport(host.timeInfo, 240.0, 1000.0);
        for (int k = 0; k < kBlockFrames; ++k) {
            inLeft[k] = static_cast<float>(k + 1);
            inRight[k] = -static_cast<float>(k + 1);
        }
    }

    void play()
    {
        float* inputs[2] = {inLeft.data(), inRight.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        host.timeInfo.samplePos = position;
        fx.effect->processReplacing(fx.effect, inputs, outputs, kBlockFrames);
        position += kBlockFrames;
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

    TestHost host;
    EffectDriver fx{host};
    double position = 0.0;
    std::vector<float> inLeft, inRight, outLeft, outRight;
};

TEST(RealTime, CountsTheBufferAllocationsOfTheFirstSetUp)
{
    QuietSession session;
    EXPECT_GE(session.countHeapCallsOver(2), 2); // a standing block, then the set-up
}

TEST(RealTime, SteadyCaptureAllocatesNothing)
{
    QuietSession session;
    session.fx.setParameter(kLoopLength, 1.0f); // 64 beats: 16000 frames
    for (int block = 0; block < 4; ++block) {
        session.play(); // standing, set-up and restart for the new length, new set-up, capture
    }
    ASSERT_TRUE(session.fx.engine().captureActive);
    ASSERT_EQ(session.fx.engine().bufferLengthSamples, 16000);

    EXPECT_EQ(session.countHeapCallsOver(200), 0);
    EXPECT_TRUE(session.fx.engine().captureActive);
    EXPECT_EQ(session.fx.engine().captureWriteLeft, 202 * kBlockFrames);
}

TEST(RealTime, SteadyPlaybackAllocatesNothingAcrossWrapsAndRedraws)
{
    QuietSession session;
    while (!session.fx.engine().loopCaptured) {
        session.play();
    }
    for (int block = 0; block < 20; ++block) {
        session.play(); // past the first wrap
    }

    EXPECT_EQ(session.countHeapCallsOver(300), 0);
    session.fx.setParameter(kReverse, 0.5f);
    session.fx.setParameter(kCutsPerBar, 1.0f);
    EXPECT_EQ(session.countHeapCallsOver(300), 0);
    EXPECT_TRUE(session.fx.engine().loopCaptured);
    EXPECT_EQ(session.fx.engine().sliceCount, 64);
    EXPECT_LT(session.fx.engine().blocksInLoop, 16); // it wrapped recently
}

} // namespace
} // namespace vorblexter::testing
