// Whole-block scenarios of waiting, capturing and the hand-over to playback, driven through the
// effect's record in the ramp session (tests/support/ramp_session.h).
#include "tests/support/diagnostics_capture.h"
#include "tests/support/ramp_session.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vorblexter::testing {
namespace {

using Session = RampSession;

TEST(Capture, WaitsWithInputPassedThroughAfterAStandingFirstBlockAtTheOrigin)
{
    DiagnosticsCapture diagnostics;
    Session session;
    EngineState& engine = session.engine();

    StereoBlock out = session.runAt(0.0, 100);
    session.expectInputCopied(out, 0, 100);
    EXPECT_FALSE(engine.slicesReady);
    EXPECT_EQ(engine.blocksInLoop, 0);
    EXPECT_EQ(diagnostics.count("User has resumed aftera suspend...\n"), 1);

    // At 100 the block is not within its own length of the origin, so it waits for a bar line.
    for (int block = 0; block < 8; ++block) {
        out = session.play(100);
        session.expectInputCopied(out, 0, 100);
    }
    EXPECT_TRUE(engine.slicesReady);
    EXPECT_FALSE(engine.captureActive);
    EXPECT_EQ(engine.captureWriteLeft, 0);
    EXPECT_EQ(engine.blocksInLoop, 0);
    EXPECT_EQ(engine.lastSamplePos, 800.0);
}

struct StartCase {
    const char* name;
    VstInt32 barBeats; // 2: 500-frame bars, 4: 1000-frame bars
    int frames;
    double position;
    std::optional<int> startFrame; // none: the block keeps waiting
    const char* message;
};

TEST(Capture, StartsInTheFirstBlockOrAtTheLastBarLineInsideABlock)
{
    const char* const bar = "Capturing from some place cos bar boundary\n";
    const char* const first = "Capturing from first sample Frame\n";
    const StartCase cases[] = {
        {"bar line at 500 inside the block", 2, 64, 480.0, 20, bar},
        {"block ending on the bar line captures nothing yet", 2, 64, 436.0, 64, bar},
        {"bar line on the first frame belongs to the block before", 2, 64, 500.0, std::nullopt, ""},
        {"block within its own length of the origin", 4, 64, 50.0, 0, first},
        {"negative position", 4, 64, -10.0, 0, first},
        {"block longer than a bar: the last of its bar lines", 2, 1200, 2600.0, 900, bar},
        {"block longer than a bar ending on a bar line", 2, 1200, 2300.0, 1200, bar},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        DiagnosticsCapture diagnostics;
        Session session(c.barBeats);
        const StereoBlock out = session.runAt(c.position, c.frames);
        const EngineState& engine = session.engine();

        session.expectInputCopied(out, 0, c.frames);
        EXPECT_EQ(engine.captureActive, c.startFrame.has_value());
        EXPECT_EQ(engine.blocksInLoop, c.startFrame ? 1 : 0);
        if (c.startFrame) {
            EXPECT_EQ(diagnostics.count(c.message), 1);
            EXPECT_EQ(engine.captureWriteLeft, c.frames - *c.startFrame);
            if (*c.startFrame < c.frames) {
                EXPECT_EQ(engine.bufferLeft[0], static_cast<float>(c.position + *c.startFrame));
                EXPECT_EQ(engine.bufferRight[0], -static_cast<float>(c.position + *c.startFrame));
            }
        } else {
            EXPECT_EQ(engine.captureWriteLeft, 0);
        }
    }
}

TEST(Capture, CompletesAtTheBlockEdgeAndHandsOverInTheNextBlockWithMessagesInOrder)
{
    DiagnosticsCapture diagnostics;
    Session session;
    session.fx.setParameter(kVorblex, 0.0f);
    EngineState& engine = session.engine();

    while (session.position < 1750.0) {
        const StereoBlock out = session.play(250);
        session.expectInputCopied(out, 0, 250);
    }
    // 250 frames into 250 frames of space fill the buffers without completing.
    StereoBlock out = session.play(250);
    session.expectInputCopied(out, 0, 250);
    EXPECT_FALSE(engine.loopCaptured);
    EXPECT_EQ(engine.captureWriteLeft, 1000);

    out = session.play(250);
    EXPECT_TRUE(engine.loopCaptured);
    EXPECT_FALSE(engine.captureActive);
    Session::expectLoopPlayed(out, 0, 250, 1000.0);
    EXPECT_EQ(engine.orderPosition, 1);
    EXPECT_EQ(engine.loopPosition, 250);
    EXPECT_EQ(engine.blocksInLoop, 6); // the block ending on the bar line, four captures, this

    while (session.position < 4250.0) {
        session.play(250);
    }
    const std::vector<std::string> expected = {
        "object instantiated\n", "User has resumed aftera suspend...\n",
        "Slices not Set up\n",   "Setting up Buffers\n",
        "Setting up Slices\n",   "Capturing from some place cos bar boundary\n",
        "Capture complete!\n",   "Randomising Slices\n",
        "loop.....\n",           "Param changed\n",
        "Setting up Slices\n",   "Randomising Slices\n",
        "loop.....\n",           "Variation period over\n",
        "Randomising Slices\n"};
    EXPECT_EQ(diagnostics.messages(), expected);
}

TEST(Capture, BlocksLongerThanABarStartAtTheLastBarLineAndCompleteMidBlock)
{
    Session session(2); // 500-frame bars: remainders alone miss the lines in these blocks
    session.fx.setParameter(kVorblex, 0.0f);
    EngineState& engine = session.engine();
    session.runAt(0.0, 1200);

    // 1200..2399 holds bar lines at 1500 and 2000; capture starts at the later one, frame 800.
    StereoBlock out = session.play(1200);
    session.expectInputCopied(out, 0, 1200);
    EXPECT_TRUE(engine.captureActive);
    EXPECT_EQ(engine.captureWriteLeft, 400);

    // 600 frames fill the loop; the other 600 play it from its start.
    out = session.play(1200);
    session.expectInputCopied(out, 0, 600);
    Session::expectLoopPlayed(out, 600, 1200, 2000.0);
    EXPECT_TRUE(engine.loopCaptured);
    EXPECT_EQ(engine.loopPosition, 600);
    EXPECT_EQ(engine.orderPosition, 2);
    EXPECT_EQ(engine.playPointerLeft, 600);
}

TEST(Capture, CaptureStartingAndCompletingInOneBlockBeginsAtTheBarLine)
{
    DiagnosticsCapture diagnostics;
    Session session(8); // 2000-frame bars, 1000-frame loop
    session.fx.setParameter(kVorblex, 0.0f);
    const StereoBlock out = session.runAt(1600.0, 1600);
    const EngineState& engine = session.engine();

    session.expectInputCopied(out, 0, 1400);
    Session::expectLoopPlayed(out, 1400, 1600, 2000.0);
    EXPECT_EQ(engine.bufferLeft[0], 2000.0f);
    EXPECT_EQ(engine.bufferLeft[999], 2999.0f);
    EXPECT_EQ(engine.captureStartOffset, 0);
    EXPECT_TRUE(diagnostics.containsInOrder(
        {"Capturing from some place cos bar boundary\n", "Capture complete!\n"}));
}

TEST(Capture, LoopLengthChangeWhileWaitingCapturesAtOnceAndTheLoopBeginsWithTheNextBlock)
{
    DiagnosticsCapture diagnostics;
    Session session;
    EngineState& engine = session.engine();
    session.runAt(0.0, 250);
    session.play(250);
    session.fx.setParameter(kLoopLength, 0.0f); // one beat: 250 frames

    StereoBlock out = session.play(250); // at 500: no bar line
    session.expectInputCopied(out, 0, 250);
    EXPECT_EQ(diagnostics.count("IN CAPTURE - loop changed\n"), 1);
    EXPECT_TRUE(engine.captureActive);
    EXPECT_FALSE(engine.slicesReady);

    out = session.play(250); // new buffers; their 250 frames are exactly this block
    session.expectInputCopied(out, 0, 250);
    EXPECT_EQ(engine.bufferLengthSamples, 250);
    EXPECT_EQ(engine.sliceCount, 1);

    out = session.play(250);
    Session::expectLoopPlayed(out, 0, 250, 750.0);
    EXPECT_EQ(diagnostics.count("Capturing from some place cos bar boundary\n"), 0);
    EXPECT_EQ(diagnostics.count("Capturing from first sample Frame\n"), 0);
}

TEST(Capture, RestartInABlockThatFillsTheBuffersCompletesOnlyInTheNextBlock)
{
    DiagnosticsCapture diagnostics;
    Session session;
    EngineState& engine = session.engine();
    session.fx.setParameter(kLoopLength, 0.0f); // one beat: 250 frames, restarting at once
    session.runAt(0.0, 1200);

    StereoBlock out = session.play(1200);
    session.expectInputCopied(out, 0, 1200);
    EXPECT_FALSE(engine.loopCaptured);

    // The loop is this block's first 250 frames; the rest of the block plays it round.
    out = session.play(1200);
    session.expectInputCopied(out, 0, 250);
    for (int k = 250; k < 1200; ++k) {
        ASSERT_EQ(out.left[k], static_cast<float>(2400 + (k - 250) % 250)) << "frame " << k;
    }
    out = session.play(1200);
    EXPECT_EQ(out.left[0], 2600.0f); // clock 200 of the single slot
    EXPECT_EQ(diagnostics.count("playPointers gone out out of bounds\n"), 0);
}

TEST(Capture, JumpBackThenStandingRestartsTheCaptureInEveryStandingBlock)
{
    DiagnosticsCapture diagnostics;
    Session session;
    EngineState& engine = session.engine();
    ASSERT_TRUE(session.captureStandardLoop());

    session.runAt(500.0, 250); // moving backwards still plays
    EXPECT_TRUE(engine.loopCaptured);
    for (int block = 0; block < 3; ++block) {
        // A restart that ran once would leave this as it is.
        engine.captureActive = false;
        const StereoBlock out = session.stand(250);
        session.expectInputCopied(out, 0, 250);
        EXPECT_FALSE(engine.loopCaptured);
        EXPECT_TRUE(engine.captureActive);
        EXPECT_FALSE(engine.slicesReady);
    }

    diagnostics.clear();
    const StereoBlock out = session.play(250); // moves again: a new loop from its first frame
    session.expectInputCopied(out, 0, 250);
    EXPECT_EQ(diagnostics.count("Slices not Set up\n"), 1);
    EXPECT_EQ(engine.captureWriteLeft, 250);
    EXPECT_EQ(engine.bufferLeft[0], 750.0f);
}

TEST(Capture, StandingWhilePlayingCopiesTheInputAndARunningJumpBackPlaysOnItsOwnClock)
{
    DiagnosticsCapture diagnostics;
    Session session;
    session.fx.setParameter(kVorblex, 0.0f);
    EngineState& engine = session.engine();
    ASSERT_TRUE(session.captureStandardLoop());
    diagnostics.clear();

    StereoBlock out = session.stand(250);
    session.expectInputCopied(out, 0, 250);
    EXPECT_EQ(engine.loopPosition, 250);
    EXPECT_EQ(engine.playPointerLeft, 250);
    EXPECT_EQ(engine.blocksInLoop, 6);

    session.runAt(500.0, 250);
    session.play(250);
    out = session.play(250); // slot 3 of the loop, whatever the host says
    EXPECT_TRUE(engine.loopCaptured);
    EXPECT_EQ(engine.loopPosition, 1000);
    EXPECT_EQ(out.left[100], 1850.0f);
    EXPECT_EQ(diagnostics.count("Slices not Set up\n"), 0);
}

TEST(Capture, SuspendDuringCaptureThenCompletionPlaysFromTheLoopStart)
{
    Session session;
    EngineState& engine = session.engine();
    session.fx.setParameter(kVorblex, 0.0f);
    while (session.position < 1250.0) {
        session.play(250);
    }
    session.fx.dispatch(effMainsChanged, 0, 0); // suspend
    session.play(250);                          // re-aligned to 1250: clock 250
    EXPECT_EQ(engine.loopPosition, 250);
    EXPECT_TRUE(engine.captureActive);

    session.play(250);
    session.play(250);
    StereoBlock out = session.play(250); // completes: slot 0 plays, the clock follows
    Session::expectLoopPlayed(out, 0, 250, 1000.0);
    EXPECT_EQ(engine.loopPosition, 250);

    out = session.play(250); // slot 1, faded in from its first frame
    EXPECT_EQ(out.left[0], 0.0f);
    EXPECT_EQ(out.left[20], 1270.0f);
    EXPECT_EQ(out.right[100], -1350.0f);
}

TEST(Capture, TransportBeyondThreeBillionFramesCapturesAndPlays)
{
    constexpr double kOrigin = 3'000'000'000.0; // a whole number of 1000-frame bars
    Session session;
    EngineState& engine = session.engine();
    session.fx.setParameter(kVorblex, 0.0f);
    session.rampOrigin = kOrigin;
    session.position = kOrigin + 250.0;
    while (session.position <= kOrigin + 2000.0) {
        session.play(250);
    }
    ASSERT_TRUE(engine.loopCaptured);
    EXPECT_EQ(engine.bufferLeft[0], 1000.0f);

    StereoBlock out = session.play(250);
    EXPECT_EQ(out.left[20], 1270.0f);

    session.fx.dispatch(effMainsChanged, 0, 0);
    out = session.runAt(kOrigin + 2600.0, 250); // re-aligned: clock 600, slot 2
    EXPECT_EQ(out.left[0], 1600.0f);
    EXPECT_EQ(engine.orderPosition, 3);
}

} // namespace
} // namespace vorblexter::testing
