#include "tools/transport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vorblexter::tool {
namespace {

constexpr VstInt32 kValidity = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                               kVstTimeSigValid | kVstClockValid;

TEST(Transport, RecordFollowsThePlayHeadAcrossBlocks)
{
    const Timeline timeline{44100.0, 120.0, {4, 4}};
    Transport transport(timeline, 0);
    for (int block = 0; block < 400; ++block) {
        const VstTimeInfo& info = transport.beginBlock();
        const double position = 512.0 * block;
        const double ppq = position / 22050.0;
        ASSERT_EQ(info.samplePos, position) << "block " << block;
        EXPECT_DOUBLE_EQ(info.ppqPos, ppq);
        EXPECT_EQ(info.barStartPos, std::floor(ppq / 4.0) * 4.0) << "block " << block;
        EXPECT_EQ(info.sampleRate, 44100.0);
        EXPECT_EQ(info.tempo, 120.0);
        EXPECT_EQ(info.timeSigNumerator, 4);
        EXPECT_EQ(info.timeSigDenominator, 4);
        EXPECT_DOUBLE_EQ(info.nanoSeconds, position / 44100.0 * 1e9);
        EXPECT_EQ(info.flags & (kValidity | kVstTransportPlaying),
                  kValidity | kVstTransportPlaying);
        EXPECT_EQ((info.flags & kVstTransportChanged) != 0, block == 0) << "block " << block;
        EXPECT_EQ(&info, &transport.record()) << "one record, owned by the host";
        transport.advance(512);
    }
}

TEST(Transport, BarStartFollowsTheSignature)
{
    // 3/4 at 120: a bar is 3 quarter notes, 66150 frames.
    const Timeline waltz{44100.0, 120.0, {3, 4}};
    EXPECT_EQ(timeInfoAt(waltz, 66150 * 2 + 100, false).barStartPos, 6.0);
    EXPECT_EQ(timeInfoAt(waltz, 66150 * 2 - 1, false).barStartPos, 3.0);
    EXPECT_EQ(timeInfoAt(waltz, 66150 * 2, false).barStartPos, 6.0) << "a bar line opens its bar";
    // 6/8: a bar is 3 quarter notes too.
    const Timeline sixEight{44100.0, 120.0, {6, 8}};
    const VstTimeInfo info = timeInfoAt(sixEight, 165375, false); // ppq 7.5
    EXPECT_DOUBLE_EQ(info.ppqPos, 7.5);
    EXPECT_EQ(info.barStartPos, 6.0);
    EXPECT_EQ(info.timeSigNumerator, 6);
    EXPECT_EQ(info.timeSigDenominator, 8);
    // Before the origin (a pre-roll) the bars count back from it.
    EXPECT_EQ(timeInfoAt(Timeline{44100.0, 120.0, {4, 4}}, -100, false).barStartPos, -4.0);
}

TEST(Transport, JumpsMoveThePlayHeadAndFlagTheChange)
{
    Transport transport(Timeline{1000.0, 240.0, {4, 4}}, 2500);
    EXPECT_EQ(transport.beginBlock().samplePos, 2500.0);
    transport.advance(64);
    EXPECT_EQ(transport.beginBlock().flags & kVstTransportChanged, 0);
    transport.jumpTo(8000);
    const VstTimeInfo& jumped = transport.beginBlock();
    EXPECT_EQ(jumped.samplePos, 8000.0);
    EXPECT_EQ(jumped.barStartPos, 32.0);
    EXPECT_NE(jumped.flags & kVstTransportChanged, 0);
    transport.advance(64);
    EXPECT_EQ(transport.beginBlock().flags & kVstTransportChanged, 0);
    EXPECT_EQ(transport.positionFrames(), 8064);
}

TEST(Transport, CountsFramesToTheNextMidiClock)
{
    // 24 clocks per quarter note: one every 918.75 frames at 120 BPM and 44.1 kHz.
    const Timeline timeline{44100.0, 120.0, {4, 4}};
    EXPECT_EQ(timeInfoAt(timeline, 0, false).samplesToNextClock, 0);
    EXPECT_EQ(timeInfoAt(timeline, 100, false).samplesToNextClock, 819);
    EXPECT_EQ(timeInfoAt(timeline, 2000, false).samplesToNextClock, 756);
}

} // namespace
} // namespace vorblexter::tool
