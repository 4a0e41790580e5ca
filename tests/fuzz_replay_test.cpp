// Replays the fuzzer's committed inputs (fuzz/corpus) and every input that ever broke a check
// (fuzz/regressions) through the same host-event player the fuzzer runs, without libFuzzer.
#include "fuzz/host_event_player.h"

#include "tests/support/fuzz_inputs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace vorblexter::fuzzing {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDirectory = VORBLEXTER_FUZZ_DIR;

using testing::readBytes;

PlayOutcome play(const std::vector<std::uint8_t>& bytes)
{
    return playHostEvents(bytes.data(), bytes.size());
}

TEST(FuzzReplay, EveryCorpusEntryAndRegressionPlaysAlikeWithoutABrokenCheck)
{
    std::size_t blocks = 0;
    std::int64_t framesChanged = 0;
    const auto corpus = testing::replayEach(kFuzzDirectory / "corpus", play);
    for (const PlayOutcome& outcome : corpus) {
        blocks += outcome.blocks;
        framesChanged += outcome.framesChanged;
    }
    ASSERT_GE(corpus.size(), 10u) << "the seed corpus is missing";
    // The corpus is only worth replaying if it gets past pass-through into played loops.
    EXPECT_GT(blocks, 500u);
    EXPECT_GT(framesChanged, 100000);
    testing::replayEach(kFuzzDirectory / "regressions", play);
}

// The byte format is what gives the committed files their meaning: these pin it down.
TEST(HostEventPlayer, WrittenEventsDecodeAsWrittenAndEmptySlotsStillConsumeTheirOperands)
{
    HostEventWriter writer;
    writer.close(2).setParameter(2, 7, 0.5f).processNoise(2, 512, 9).programName(2, "abc");
    writer.create(2).transport(2, 240.0, 1000.0, 4).create(1, 0); // version 0: slot 1 stays empty
    for (int i = 0; i < 12; ++i) {
        writer.process(2, 256);
    }
    writer.process(1, 256);
    const PlayOutcome outcome = play(writer.bytes());

    EXPECT_TRUE(outcome.ok) << outcome.violation;
    EXPECT_EQ(outcome.events, 20u);
    EXPECT_EQ(outcome.effectsCreated, 1);
    EXPECT_EQ(outcome.blocks, 12u);
    EXPECT_GT(outcome.framesChanged, 0) << "the loop should have been captured and played";
}

TEST(HostEventPlayer, InputsStopPlayingAtTheFrameAndEffectBounds)
{
    HostEventWriter frames;
    frames.create(0).transport(0, 240.0, 1000.0, 4);
    for (int i = 0; i < 3; ++i) {
        frames.process(0, kMaxBlockFrames);
    }
    frames.process(0, 0); // an empty block still fits
    const PlayOutcome framesOutcome = play(frames.bytes());
    EXPECT_TRUE(framesOutcome.ok) << framesOutcome.violation;
    EXPECT_EQ(framesOutcome.framesPlayed, kMaxFramesPerInput);
    EXPECT_EQ(framesOutcome.blocks, 3u);
    EXPECT_EQ(framesOutcome.blocksSkipped, 1u);

    HostEventWriter effects;
    effects.create(0).create(1).create(2).close(0).create(0).create(3).process(0, 256);
    effects.process(1, 256);
    const PlayOutcome effectsOutcome = play(effects.bytes());
    EXPECT_TRUE(effectsOutcome.ok) << effectsOutcome.violation;
    EXPECT_EQ(effectsOutcome.effectsCreated, kMaxEffectsPerInput);
    EXPECT_EQ(effectsOutcome.createsSkipped, 2u);
    EXPECT_EQ(effectsOutcome.blocks, 1u) << "slot 0 was closed and not made again";
}

// The fold must bring the loops of ordinary tempos within what an input can capture and play,
// and must leave alone what the effect refuses, so that its refusals are still exercised.
TEST(HostEventPlayer, LongBeatsAreFoldedAndRefusedOnesPlayedAsGiven)
{
    constexpr std::int32_t kLoopLength = 7;
    constexpr float kOneBeat = 0.0f;
    // Frames the effect changed over 16384 played, with its default four-beat loop or one beat.
    auto framesChanged = [](double tempo, double rate, bool oneBeat = false) {
        HostEventWriter writer;
        writer.create(0).transport(0, tempo, rate, 4);
        if (oneBeat) {
            writer.setParameter(0, kLoopLength, kOneBeat);
        }
        writer.processAt(0, 512, 512.0);
        for (int i = 0; i < 31; ++i) {
            writer.process(0, 512);
        }
        const PlayOutcome outcome = play(writer.bytes());
        EXPECT_TRUE(outcome.ok) << outcome.violation;
        EXPECT_EQ(outcome.blocks, 32u);
        return outcome.framesChanged;
    };
    // 120 BPM at 44.1 kHz: an 88200-frame loop unfolded, which 16384 frames never capture.
    EXPECT_GT(framesChanged(120.0, 44100.0), 0);
    // A beat of 2.646e9 frames: no loop fits the effect's arithmetic, and it passes its input.
    EXPECT_EQ(framesChanged(1.0e-3, 44100.0), 0);
    // A one-beat loop of 1.323e9 frames fits the arithmetic but is longer than any buffer; one
    // of 240 frames plays.
    EXPECT_EQ(framesChanged(1.0, 2.205e7, true), 0);
    EXPECT_GT(framesChanged(1.0, 4.0, true), 0);
}

TEST(HostEventPlayer, AnySequenceOfBytesIsPlayable)
{
    testing::expectEveryInputPlayable(
        readBytes(testing::fuzzInputsIn(kFuzzDirectory / "corpus").front()), 7,
        {0x00, 0x07, 0x55, 0xFF}, play);
}

} // namespace
} // namespace vorblexter::fuzzing
