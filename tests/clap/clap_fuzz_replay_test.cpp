// Replays the CLAP fuzzer's seeds, its committed inputs (fuzz/clap_corpus) and every input that
// ever broke a check (fuzz/clap_regressions) through the same call player the fuzzer runs,
// without libFuzzer, so every build and the sanitizer stage play them.
#include "clap/factory.h"
#include "fuzz/clap_event_player.h"
#include "tests/support/fuzz_inputs.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vorblexter::fuzzing {
namespace {

namespace fs = std::filesystem;

TEST(ClapFuzzReplay, EverySeedCorpusEntryAndRegressionPlaysWithoutABrokenCheck)
{
    std::vector<std::vector<std::uint8_t>> inputs = clapSeedInputs();
    for (const char* folder : {"clap_corpus", "clap_regressions"}) {
        for (const fs::path& path : testing::fuzzInputsIn(fs::path(VORBLEXTER_FUZZ_DIR) / folder)) {
            inputs.push_back(testing::readBytes(path));
        }
    }
    ClapPlayOutcome total;
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const ClapPlayOutcome outcome =
            playClapEvents(clap::pluginFactory(), inputs[k].data(), inputs[k].size());
        EXPECT_TRUE(outcome.ok) << "input " << k << ": " << outcome.violation;
        total.processed += outcome.processed;
        total.refused += outcome.refused;
        total.framesChanged += outcome.framesChanged;
        total.statusEvents += outcome.statusEvents;
        total.statesLoaded += outcome.statesLoaded;
        total.sawPlaying = total.sawPlaying || outcome.sawPlaying;
    }
    // Only worth replaying if it gets past refusals and pass-through into played loops.
    EXPECT_GT(total.processed, 30u);
    EXPECT_GE(total.refused, 5u);
    EXPECT_GT(total.framesChanged, 5000);
    EXPECT_GT(total.statusEvents, 10u);
    EXPECT_GT(total.statesLoaded, 1u);
    EXPECT_TRUE(total.sawPlaying);
}

} // namespace
} // namespace vorblexter::fuzzing
