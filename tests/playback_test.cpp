// Whole-block scenarios of playback, driven through the effect's record. The transport runs at
// 240 BPM and 1000 Hz, so the default four-beat loop is 1000 frames in four slots of 250. The
// standard capture takes transport positions 1000 to 1999, so buffer index i holds left 1000 + i
// and right -(1000 + i); the completing block at 2000 plays slot 0, and each later block of 250
// frames plays one slot.
#include "tests/support/diagnostics_capture.h"
#include "tests/support/ramp_session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace vorblexter::testing {
namespace {

constexpr int kSlot = 250;

using Session = RampSession;

double expectedGain(int fromStart, int toEnd, int envelope)
{
    double gain = 1.0;
    if (toEnd < envelope) {
        gain = std::sin((toEnd * 1.570796327) / envelope);
    }
    if (fromStart < envelope) {
        gain = std::sin((fromStart * 1.570796327) / envelope);
    }
    return gain;
}

// Output frames [from, from + count) read the standard loop from buffer index `first` on,
// stepping by `step`, in a slot of `slotLength` frames entered `fromStart` frames before `from`.
void expectSlot(const StereoBlock& out, int from, int count, int first, int step, int fromStart,
                int slotLength, int envelope)
{
    for (int j = 0; j < count; ++j) {
        const double sample = 1000.0 + first + step * j;
        const double gain = expectedGain(fromStart + j, slotLength - fromStart - j, envelope);
        const int k = from + j;
        ASSERT_EQ(out.left[k], static_cast<float>(sample * gain)) << "frame " << k;
        ASSERT_EQ(out.right[k], static_cast<float>(-sample * gain)) << "frame " << k;
    }
}

struct EnvelopeCase {
    const char* name;
    float envelope; // normalized parameter value; negative keeps the default
    float cutsPerBar;
    int envelopeFrames;
    int slotLength;
};

TEST(Playback, FadesEverySlotEdgeOverTheEnvelope)
{
    const EnvelopeCase cases[] = {
        {"default envelope 20", -1.0f, 0.3f, 20, 250},
        {"envelope 1 fades only the first frame", 0.0f, 0.3f, 1, 250},
        {"envelope 100 over slots of 125", 0.5f, 0.45f, 100, 125},
    };
    for (const EnvelopeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Session session;
        session.fx.setParameter(kVorblex, 0.0f);
        session.fx.setParameter(kCutsPerBar, c.cutsPerBar);
        if (c.envelope >= 0.0f) {
            session.fx.setParameter(kEnvelope, c.envelope);
        }
        ASSERT_EQ(session.fx.quantities().envelopeLength, c.envelopeFrames);
        ASSERT_TRUE(session.captureStandardLoop());
        ASSERT_EQ(session.engine().sliceLength, c.slotLength);

        // Clock 250 to 499, in slots of `slotLength`.
        const StereoBlock out = session.play();
        for (int from = 0; from < kSlot; from += c.slotLength) {
            expectSlot(out, from, c.slotLength, kSlot + from, 1, 0, c.slotLength, c.envelopeFrames);
        }
        EXPECT_EQ(out.left[0], 0.0f);
    }
}

TEST(Playback, ReversedSlicesPlayLastToFirstAndTheHandOverContinuesFromTheMirror)
{
    Session session;
    session.fx.setParameter(kVorblex, 0.0f);
    session.fx.setParameter(kReverse, 1.0f);
    // Capture from 1000 in blocks of 300: the block at 1800 completes after 200 frames and
    // plays samples 0 to 99 of slot 0 forward.
    session.runAt(0.0, 300);
    while (!session.engine().loopCaptured) {
        session.play(300);
    }
    EXPECT_EQ(session.engine().loopPosition, 100);
    EXPECT_EQ(session.engine().playPointerLeft, 149);

    // The rest of slot 0 reads samples 149 down to 0, then slot 1 reads 499 down to 250.
    StereoBlock out = session.play(300);
    expectSlot(out, 0, 150, 149, -1, 100, kSlot, 20);
    expectSlot(out, 150, 150, 499, -1, 0, kSlot, 20);
    out = session.play(100);
    expectSlot(out, 0, 100, 349, -1, 150, kSlot, 20);
    EXPECT_EQ(session.engine().playPointerLeft, 249); // one before the slice, never read
}

TEST(Playback, SilencedSlicesGiveExactZerosWhileTheClockRuns)
{
    DiagnosticsCapture diagnostics;
    Session session;
    EngineState& engine = session.engine();
    session.fx.setParameter(kVorblex, 0.0f);
    session.fx.setParameter(kSilence, 1.0f);
    while (session.position < 2000.0) {
        session.play();
    }
    // The hand-over plays straight, silence or not.
    StereoBlock out = session.play();
    EXPECT_EQ(out.left[0], 1000.0f);
    EXPECT_EQ(out.right[249], -1249.0f);

    for (int block = 0; block < 7; ++block) {
        out = session.play();
        Session::expectSilent(out, 0, kSlot);
        EXPECT_EQ(engine.loopPosition, (block + 1) % 4 * kSlot + kSlot);
    }
    EXPECT_EQ(diagnostics.count("loop.....\n"), 1);

    // Silence takes effect at the next draw; the wrap at 4000 draws a loop with sound.
    session.fx.setParameter(kSilence, 0.0f);
    out = session.play();
    expectSlot(out, 0, kSlot, 0, 1, 0, kSlot, 20);
}

TEST(Playback, VariationDrawsANewOrderEveryPeriodOfWraps)
{
    struct VariationCase {
        float value;
        std::vector<int> drawsAfterWrap; // cumulative, after wraps 1, 2, ...
    };
    const VariationCase cases[] = {
        {0.0f, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0.3f, {0, 0, 0, 1, 1, 1, 1, 2}},
    };
    for (const VariationCase& c : cases) {
        SCOPED_TRACE(c.value);
        DiagnosticsCapture diagnostics;
        Session session;
        session.fx.setParameter(kVariation, c.value);
        ASSERT_TRUE(session.captureStandardLoop());
        session.play(); // clock 250 to 499
        diagnostics.clear();
        for (const int draws : c.drawsAfterWrap) {
            session.play(1000); // wraps at its frame 500
            EXPECT_EQ(diagnostics.count("Randomising Slices\n"), draws);
            EXPECT_EQ(diagnostics.count("Variation period over\n"), draws);
        }
        EXPECT_EQ(diagnostics.count("loop.....\n"), 8);
    }
}

TEST(Playback, LoopLengthChangeRestartsTheCaptureAtTheWrapAndPassesTheRestThrough)
{
    DiagnosticsCapture diagnostics;
    Session session;
    EngineState& engine = session.engine();
    session.fx.setParameter(kVorblex, 0.0f);
    ASSERT_TRUE(session.captureStandardLoop());
    session.fx.setParameter(kLoopLength, 0.0f); // one beat
    diagnostics.clear();

    // Slots 1 to 3, then the wrap at frame 750.
    StereoBlock out = session.play(1000);
    expectSlot(out, 0, kSlot, kSlot, 1, 0, kSlot, 20);
    expectSlot(out, 500, kSlot, 750, 1, 0, kSlot, 20);
    session.expectInputCopied(out, 750, 1000);
    EXPECT_EQ(diagnostics.messages(), (std::vector<std::string>{"loop.....\n", "Loop changed\n"}));
    EXPECT_FALSE(engine.loopCaptured);

    out = session.play(100); // the new loop starts with this block's first frame
    EXPECT_EQ(out.left, rampBlock(3250.0, 100).left);
    EXPECT_EQ(engine.bufferLengthSamples, 250);
    EXPECT_EQ(engine.captureWriteLeft, 100);
    EXPECT_EQ(engine.bufferLeft[0], 3250.0f);
    EXPECT_EQ(diagnostics.count("IN CAPTURE - loop changed\n"), 0);
}

TEST(Playback, CutsPerBarAndReverseInOnePassApplyAsOneNewSliceCount)
{
    DiagnosticsCapture diagnostics;
    Session session;
    EngineState& engine = session.engine();
    session.fx.setParameter(kVorblex, 0.0f);
    ASSERT_TRUE(session.captureStandardLoop());
    session.play();
    session.play();
    session.fx.setParameter(kCutsPerBar, 0.45f); // 8 slices of 125
    session.fx.setParameter(kReverse, 1.0f);
    session.play();
    diagnostics.clear();

    const StereoBlock out = session.play(); // wraps at its first frame
    EXPECT_EQ(diagnostics.messages(),
              (std::vector<std::string>{"loop.....\n", "num slices changed\n",
                                        "Setting up Slices\n", "Randomising Slices\n"}));
    EXPECT_FALSE(session.fx.quantities().paramsChanged);
    EXPECT_EQ(engine.sliceCount, 8);
    expectSlot(out, 0, 125, 124, -1, 0, 125, 20);
    expectSlot(out, 125, 125, 249, -1, 0, 125, 20);
}

TEST(Playback, WrapAppliesOnlyTheFirstPendingChangeInOrderOfPrecedence)
{
    DiagnosticsCapture diagnostics;
    Session session;
    session.fx.setParameter(kVorblex, 0.0f);
    ASSERT_TRUE(session.captureStandardLoop());
    session.play();
    session.fx.setParameter(kLoopLength, 0.0f); // one beat: 250 frames in 2 slices
    session.fx.setParameter(kCutsPerBar, 0.45f);
    session.fx.setParameter(kReverse, 1.0f);
    session.play();
    session.play();

    // Block by block from 3000; before the block at 4500 Reverse changes, before 4750 Variation.
    const std::vector<std::vector<std::string>> messages = {
        {"loop.....\n", "Loop changed\n"},
        {"Slices not Set up\n", "Setting up Buffers\n", "Setting up Slices\n"},
        {"Capture complete!\n", "Randomising Slices\n"},
        {},
        {"loop.....\n", "num slices changed\n", "Setting up Slices\n", "Randomising Slices\n"},
        {"loop.....\n", "Variation period over\n", "Randomising Slices\n"},
        {"loop.....\n", "Param changed\n", "Setting up Slices\n", "Randomising Slices\n"},
        {"loop.....\n"},
        {"loop.....\n", "Variation period over\n", "Randomising Slices\n"},
    };
    for (std::size_t block = 0; block < messages.size(); ++block) {
        if (block == 6) {
            session.fx.setParameter(kReverse, 0.0f);
        }
        if (block == 7) {
            session.fx.setParameter(kVariation, 0.15f); // every second wrap
        }
        diagnostics.clear();
        session.play();
        EXPECT_EQ(diagnostics.messages(), messages[block])
            << "block at " << session.position - kSlot;
    }
}

// A suspend from inside the block's first host query after the block began (the vendor query
// of a slice set-up at a wrap), as a host thread might send one at any moment.
TEST(Playback, SuspendMidBlockSilencesTheRestOfTheBlockWhileTheClockRuns)
{
    Session session;
    bool suspendOnVendorQuery = false;
    session.host.duringCall = [&](AEffect* effect, VstInt32 opcode) {
        if (opcode == audioMasterGetVendorString && suspendOnVendorQuery) {
            suspendOnVendorQuery = false;
            effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
        }
    };
    EngineState& engine = session.engine();
    session.fx.setParameter(kVorblex, 0.0f);
    ASSERT_TRUE(session.captureStandardLoop());
    session.play();
    session.play();
    session.fx.setParameter(kReverse, 0.0f); // the wrap lays out the slices again

    suspendOnVendorQuery = true;
    const StereoBlock out = session.play(500); // slot 3, then the wrap at frame 250
    EXPECT_FALSE(suspendOnVendorQuery);
    expectSlot(out, 0, kSlot, 750, 1, 0, kSlot, 20);
    Session::expectSilent(out, kSlot, 500);
    EXPECT_EQ(engine.loopPosition, 250);
    EXPECT_EQ(engine.playPointerLeft, 250);
}

struct RealignCase {
    const char* name;
    float reverse;
    double position;
    int loopPosition;
    int firstSample; // buffer index the first frame reads
    int step;
};

TEST(Playback, ResumeRealignsPlaybackToTheHostPosition)
{
    const RealignCase cases[] = {
        {"forward slot 2, 100 frames in", 0.0f, 8600.0, 600, 600, 1},
        {"reversed slot 2 mirrors the offset", 1.0f, 8600.0, 600, 649, -1},
        {"negative position: the loop's start", 0.0f, -700.0, 0, 0, 1},
        {"negative position on a reversed slot", 1.0f, -700.0, 0, 249, -1},
    };
    for (const RealignCase& c : cases) {
        SCOPED_TRACE(c.name);
        DiagnosticsCapture diagnostics;
        Session session;
        session.fx.setParameter(kVorblex, 0.0f);
        session.fx.setParameter(kReverse, c.reverse);
        ASSERT_TRUE(session.captureStandardLoop());
        session.play();
        session.fx.dispatch(effMainsChanged, 0, 0);
        diagnostics.clear();

        const StereoBlock out = session.runAt(c.position, 50);
        EXPECT_EQ(diagnostics.messages().front(), "User has resumed aftera suspend...\n");
        const int fromStart = c.loopPosition % kSlot;
        expectSlot(out, 0, 50, c.firstSample, c.step, fromStart, kSlot, 20);
        EXPECT_EQ(session.engine().loopPosition, c.loopPosition + 50);
    }
}

TEST(Playback, ResumeInTheUnplayedRemainderRestartsTheLoop)
{
    // At 1003 Hz the loop is 1003 frames; four slices of 250 leave 3 that never play.
    Session session;
    session.host.setTransport(240.0, 1003.0);
    while (!session.engine().loopCaptured) {
        session.play();
    }
    session.play();
    ASSERT_EQ(session.engine().loopLengthSamples, 1003);
    session.fx.dispatch(effMainsChanged, 0, 0);

    session.runAt(20.0 * 1003.0 + 1001.0, 50);
    EXPECT_EQ(session.engine().orderPosition, 0);
    EXPECT_EQ(session.engine().loopPosition, 50);
}

TEST(Playback, HandOverLongerThanTheLoopKeepsClockAndPointersTogether)
{
    // One beat in four slices of 62 (248 frames play, 2 never do), captured from 200.
    Session session;
    session.fx.setParameter(kVorblex, 0.0f);
    session.fx.setParameter(kLoopLength, 0.0f);
    session.fx.setParameter(kCutsPerBar, 0.6f);
    session.runAt(0.0, 100);
    session.play(100); // restarts the capture into buffers the next block replaces
    session.play(100);
    StereoBlock out = session.play(1200); // completes after 150; 1050 frames of hand-over
    EngineState& engine = session.engine();
    ASSERT_TRUE(engine.loopCaptured);
    ASSERT_EQ(engine.sliceLength, 62);

    const auto loopSample = [](int clock) { return 200.0 + clock; };
    for (int k = 150; k < 1200; ++k) {
        ASSERT_EQ(out.left[k], static_cast<float>(loopSample((k - 150) % 248))) << k;
    }
    ASSERT_EQ(engine.loopPosition, 1050 % 248);
    ASSERT_EQ(engine.playPointerLeft, engine.loopPosition);

    for (int block = 0; block < 3; ++block) {
        const int firstClock = engine.loopPosition;
        out = session.play(1200);
        for (int k = 0; k < 1200; ++k) {
            const int clock = (firstClock + k) % 248;
            const double gain = expectedGain(clock % 62, 62 - clock % 62, 20);
            ASSERT_EQ(out.left[k], static_cast<float>(loopSample(clock) * gain)) << k;
            ASSERT_EQ(out.right[k], static_cast<float>(-loopSample(clock) * gain)) << k;
        }
    }
}

// What the next block depends on: the clocks, the counters and the drawn plan.
auto playbackState(const EngineState& e)
{
    std::vector<std::int32_t> plan;
    for (std::size_t i = 0; i < static_cast<std::size_t>(e.sliceCount); ++i) {
        plan.push_back(e.sliceOrder[i] * 4 + e.slices[i]->reversed * 2 + e.slices[i]->silenced);
    }
    return std::make_tuple(e.loopPosition, e.orderPosition, e.playPointerLeft, e.playPointerRight,
                           e.blocksInLoop, e.loopsSinceShuffle, e.sliceCount, e.loopCaptured,
                           e.lastSamplePos, plan);
}

TEST(Playback, ProcessAndProcessReplacingGiveTheSameOutputAndState)
{
    const auto runSession = [](bool replacing, std::vector<float>& output) {
        threadSliceRandom().state = 1;
        Session session;
        session.fx.setParameter(kReverse, 0.4f);
        session.fx.setParameter(kSilence, 0.3f);
        session.fx.setParameter(kRepetition, 0.5f);
        for (int block = 0; block < 60; ++block) {
            if (block == 30) {
                session.fx.setParameter(kCutsPerBar, 0.45f);
            }
            const StereoBlock out = session.play(173, replacing);
            output.insert(output.end(), out.left.begin(), out.left.end());
            output.insert(output.end(), out.right.begin(), out.right.end());
        }
        return playbackState(session.engine());
    };
    std::vector<float> replaced;
    std::vector<float> processed;
    const auto replacedState = runSession(true, replaced);
    const auto processedState = runSession(false, processed);

    EXPECT_TRUE(std::get<7>(replacedState)); // it got as far as playing
    EXPECT_EQ(std::get<6>(replacedState), 8);
    EXPECT_EQ(replaced, processed);
    EXPECT_TRUE(replacedState == processedState);
}

} // namespace
} // namespace vorblexter::testing
