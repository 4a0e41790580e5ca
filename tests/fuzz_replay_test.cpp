// Replays the fuzzer's committed inputs (fuzz/corpus) and every input that ever broke a check
// (fuzz/regressions) through the same host-event player the fuzzer runs, without libFuzzer.
#include "fuzz/host_event_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace vorblexter::fuzzing {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDirectory = VORBLEXTER_FUZZ_DIR;

// Every regular file but notes (dot files and *.md), in name order so failures read the same.
std::vector<fs::path> entriesIn(const fs::path& directory)
{
    std::vector<fs::path> entries;
    if (!fs::is_directory(directory)) {
        return entries;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.front() != '.' && entry.path().extension() != ".md") {
            entries.push_back(entry.path());
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::uint8_t> readBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

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
    for (const fs::path& path : entriesIn(directory)) {
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

TEST(HostEventPlayer, PlaysOfTheSameBytesAreIdentical)
{
    const std::vector<fs::path> entries = entriesIn(kFuzzDirectory / "corpus");
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
    std::vector<std::uint8_t> bytes = readBytes(entriesIn(kFuzzDirectory / "corpus").front());
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
