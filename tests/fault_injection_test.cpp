// Allocation failures on demand (the test hooks of engine/allocation.h), driven through the
// record as a host would. Capture buffers that cannot be had turn the effect into a clean
// pass-through until a later set-up succeeds (an object that cannot be completed never reaches
// the host: tests/host_binding_test.cpp). Under AddressSanitizer these runs also show that nothing
// touches the missing buffers and nothing leaks.
//
// The ramp session (tests/support/ramp_session.h): the four-beat loop and the 4/4 bar are 1000
// frames, four blocks of 250.
#include "engine/allocation.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/ramp_session.h"

#include <gtest/gtest.h>

#include <string>

namespace vorblexter::testing {
namespace {

constexpr int kBlock = 250;
constexpr float kFourBeats = 0.3f;
constexpr float kEightBeats = 0.5f;
constexpr const char* kAllocationError = "Allocation error\n";

enum class Restart { loopLengthChange, relocation };

class Session : public RampSession {
public:
    Session()
    {
        position = kBlock; // not the origin, where a first block counts as standing
        // The plan plays in order with one faded frame per slot, so a played loop is
        // recognisable sample by sample.
        fx.setParameter(kVorblex, 0.0f);
        fx.setParameter(kEnvelope, 0.0f);
    }
    ~Session() { clearAllocationFailures(); }

    // Plays `blocks` blocks, each of which must come back as its input, bit for bit.
    void expectPassThrough(int blocks)
    {
        for (int b = 0; b < blocks; ++b) {
            const StereoBlock out = play();
            ASSERT_EQ(out.left, lastInput(kBlock).left) << "block at " << lastStart;
            ASSERT_EQ(out.right, lastInput(kBlock).right) << "block at " << lastStart;
        }
    }

    // A capture that begins with the next block: four blocks are captured and passed through,
    // and the fifth completes the loop and plays its first slot unscaled.
    void expectLoopCapturedAndPlayed()
    {
        const double loopStart = position;
        expectPassThrough(4);
        ASSERT_FALSE(engine().loopCaptured);
        const StereoBlock out = play();
        ASSERT_TRUE(engine().loopCaptured);
        expectLoopPlayed(out, 0, kBlock, loopStart);
    }

    void expectNoBuffers()
    {
        EXPECT_EQ(engine().bufferLeft, nullptr);
        EXPECT_EQ(engine().bufferRight, nullptr);
        EXPECT_EQ(engine().bufferLengthSamples, 0);
    }

    // Brings about a capture restart while the buffers are missing; the block after it sets
    // them up again.
    void restartCapture(Restart how)
    {
        if (how == Restart::loopLengthChange) {
            fx.setParameter(kLoopLength, kFourBeats);
            expectPassThrough(1); // the restart happens here, with nothing to capture into
            return;
        }
        // A locate: back to the start of the session, then a block standing there.
        position = kBlock;
        expectPassThrough(1);
        position = kBlock;
        expectPassThrough(1);
    }

    DiagnosticsCapture diagnostics;
};

TEST(FaultInjection, FailedFirstSetUpPassesAudioThroughUntilARestartSetsUpAgain)
{
    for (const int failing : {0, 1}) { // the left buffer, or the right one after the left
        for (const Restart how : {Restart::loopLengthChange, Restart::relocation}) {
            SCOPED_TRACE(std::to_string(failing) +
                         (how == Restart::relocation ? " relocation" : " loop length"));
            Session session;
            injectAllocationFailures(AllocationSite::captureBuffer, failing, 1);

            // Three loop lengths, across bar lines where a capture would otherwise start.
            session.expectPassThrough(12);
            session.expectNoBuffers();
            EXPECT_EQ(session.diagnostics.count(kAllocationError), 1);

            session.restartCapture(how);
            session.expectNoBuffers();
            session.expectLoopCapturedAndPlayed();
            EXPECT_EQ(session.engine().bufferLengthSamples, 1000);
            EXPECT_EQ(session.diagnostics.count(kAllocationError), 1);
        }
    }
}

TEST(FaultInjection, FailedSetUpWhilePlayingDropsTheOldLoopAndPassesThrough)
{
    for (const int failing : {0, 1}) {
        SCOPED_TRACE(failing);
        Session session;
        session.expectPassThrough(3); // waiting for the bar line at 1000
        session.expectLoopCapturedAndPlayed();

        // Only a longer loop than the pair holds allocates, so only that can fail.
        injectAllocationFailures(AllocationSite::captureBuffer, failing, 1);
        session.fx.setParameter(kLoopLength, kEightBeats);
        // The pass in progress plays to its end; the wrap restarts the capture.
        for (int b = 0; b < 8 && session.engine().loopCaptured; ++b) {
            session.play();
        }
        ASSERT_FALSE(session.engine().loopCaptured);

        // Not even the old, shorter pair is kept: nothing is captured or played.
        session.expectPassThrough(16);
        session.expectNoBuffers();
        EXPECT_EQ(session.diagnostics.count(kAllocationError), 1);

        session.restartCapture(Restart::loopLengthChange);
        session.expectLoopCapturedAndPlayed();
    }
}

} // namespace
} // namespace vorblexter::testing
