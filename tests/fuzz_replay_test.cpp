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

struct ReplayTotals {
    std::size_t entries = 0;
    std::size_t blocks = 0;
    std::int64_t framesChanged = 0;
};

ReplayTotals replayAll(const fs::path& directory)
{
    ReplayTotals totals;
    for (const fs::path& path : testing::fuzzInputsIn(directory)) {
        SCOPED_TRACE(path.string());
        const PlayOutcome outcome = play(readBytes(path));
        EXPECT_TRUE(outcome.ok) << outcome.violation;
        ++totals.entries;
        totals.blocks += outcome.blocks;
        totals.framesChanged += outcome.framesChanged;
    }
    return totals;
}

TEST(FuzzReplay, EveryCorpusEntryPlaysWithoutABrokenCheck)
{
    const ReplayTotals totals = replayAll(kFuzzDirectory / "corpus");
    ASSERT_GE(totals.entries, 10u) << "the seed corpus is missing";
    // The corpus is only worth replaying if it gets past pass-through into played loops.
    EXPECT_GT(totals.blocks, 500u);
    EXPECT_GT(totals.framesChanged, 100000);
}

TEST(FuzzReplay, EveryRecordedRegressionPlaysWithoutABrokenCheck)
{
    replayAll(kFuzzDirectory / "regressions");
}

// The byte format is what gives the committed files their meaning: these pin it down.
TEST(HostEventPlayer, WriterSequencesDecodeToTheEventsWritten)
{
    HostEventWriter writer;
    writer.create(0).transport(0, 240.0, 1000.0, 4).create(1, 0);
    for (int i = 0; i < 5; ++i) {
        writer.process(0, 256);
    }
    writer.process(1, 256); // no effect in slot 1: the host version was 0
    const PlayOutcome outcome = play(writer.bytes());

    EXPECT_TRUE(outcome.ok) << outcome.violation;
    EXPECT_EQ(outcome.events, 9u);
    EXPECT_EQ(outcome.effectsCreated, 1);
    EXPECT_EQ(outcome.blocks, 5u);
}

TEST(HostEventPlayer, EventsOnAnEmptySlotStillConsumeTheirOperands)
{
    HostEventWriter writer;
    writer.close(2).setParameter(2, 7, 0.5f).processNoise(2, 512, 9).programName(2, "abc");
    writer.create(2).transport(2, 240.0, 1000.0, 4);
    for (int i = 0; i < 12; ++i) {
        writer.process(2, 256);
    }
    const PlayOutcome outcome = play(writer.bytes());

    EXPECT_TRUE(outcome.ok) << outcome.violation;
    EXPECT_EQ(outcome.events, 18u);
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

TEST(HostEventPlayer, PlaysOfTheSameBytesAreIdentical)
{
    const std::vector<fs::path> entries = testing::fuzzInputsIn(kFuzzDirectory / "corpus");
    ASSERT_FALSE(entries.empty());
    for (const fs::path& path : entries) {
        SCOPED_TRACE(path.string());
        const std::vector<std::uint8_t> bytes = readBytes(path);
        const PlayOutcome first = play(bytes);
        const PlayOutcome second = play(bytes);
        EXPECT_EQ(first.blocks, second.blocks);
        EXPECT_EQ(first.framesChanged, second.framesChanged);
    }
}

TEST(HostEventPlayer, AnySequenceOfBytesIsPlayable)
{
    // Truncations and plain byte patterns: the player itself must never stumble over an input.
    std::vector<std::uint8_t> bytes =
        readBytes(testing::fuzzInputsIn(kFuzzDirectory / "corpus").front());
    for (std::size_t length = 0; length <= bytes.size(); length += 7) {
        const std::vector<std::uint8_t> prefix(bytes.begin(),
                                               bytes.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_TRUE(play(prefix).ok) << "prefix of " << length << " bytes";
    }
    for (const std::uint8_t fill : {0x00, 0x07, 0x55, 0xFF}) {
        const std::vector<std::uint8_t> uniform(300, fill);
        EXPECT_TRUE(play(uniform).ok) << "300 bytes of " << int{fill};
    }
}

} // namespace
} // namespace vorblexter::fuzzing
