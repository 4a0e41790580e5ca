// Replays the LV2 fuzzer's committed inputs (fuzz/lv2_corpus) and every input that ever broke a
// check (fuzz/lv2_regressions) through the same call player the fuzzer runs, without libFuzzer;
// and shows that the player's checks catch a plug-in that misbehaves.
#include "fuzz/lv2_event_player.h"
#include "lv2/plugin_descriptor.h"

#include <lv2/urid/urid.h>

#include "tests/support/fuzz_inputs.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <limits>
#include <vector>

namespace vorblexter::fuzzing {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDirectory = VORBLEXTER_FUZZ_DIR;

using testing::readBytes;

Lv2PlayOutcome play(const std::vector<std::uint8_t>& bytes,
                    const LV2_Descriptor* descriptor = lv2::pluginDescriptor())
{
    return playLv2Events(descriptor, bytes.data(), bytes.size());
}

TEST(Lv2FuzzReplay, EveryCorpusEntryAndRegressionPlaysWithoutABrokenCheck)
{
    std::size_t entries = 0;
    std::size_t runs = 0;
    std::size_t events = 0;
    std::int64_t framesChanged = 0;
    bool sawPlaying = false;
    for (const fs::path& path : testing::fuzzInputsIn(kFuzzDirectory / "lv2_corpus")) {
        SCOPED_TRACE(path.string());
        const Lv2PlayOutcome outcome = play(readBytes(path));
        EXPECT_TRUE(outcome.ok) << outcome.violation;
        ++entries;
        runs += outcome.runs;
        events += outcome.atomEvents;
        framesChanged += outcome.framesChanged;
        sawPlaying = sawPlaying || outcome.sawPlaying;
    }
    ASSERT_GE(entries, 10u) << "the seed corpus is missing";
    // Only worth replaying if it gets past pass-through into played loops.
    EXPECT_GT(runs, 200u);
    EXPECT_GT(events, 30u);
    EXPECT_GT(framesChanged, 100000);
    EXPECT_TRUE(sawPlaying);

    for (const fs::path& path : testing::fuzzInputsIn(kFuzzDirectory / "lv2_regressions")) {
        SCOPED_TRACE(path.string());
        const Lv2PlayOutcome outcome = play(readBytes(path));
        EXPECT_TRUE(outcome.ok) << outcome.violation;
    }
}

// The plug-in's descriptor with one fault put in, to show that the player notices it.
enum class Sabotage {
    writePastRun,     // one sample after the run's last output frame
    nonFiniteOutput,  // a NaN in place of the first output sample
    writeAtom,        // a byte of the atom sequence changed
    acceptMissingMap, // instantiate succeeds without a URID map
    silentStatus,     // the State output left unwritten
};

Sabotage sabotage = Sabotage::writePastRun;
std::array<void*, kPortCount> sabotagedPorts{};

LV2_URID failingMap(LV2_URID_Map_Handle, const char*)
{
    return 0;
}

LV2_Handle sabotagedInstantiate(const LV2_Descriptor* descriptor, double rate, const char* path,
                                const LV2_Feature* const* features)
{
    const LV2_Descriptor* real = lv2::pluginDescriptor();
    static LV2_URID_Map map{nullptr, &failingMap};
    static const LV2_Feature mapFeature{LV2_URID__map, &map};
    static const LV2_Feature* const withMap[] = {&mapFeature, nullptr};
    if (sabotage == Sabotage::acceptMissingMap) {
        features = withMap;
    }
    (void)descriptor;
    return real->instantiate(real, rate, path, features);
}

void sabotagedConnect(LV2_Handle handle, std::uint32_t port, void* location)
{
    sabotagedPorts[port % kPortCount] = location;
    lv2::pluginDescriptor()->connect_port(handle, port, location);
}

void sabotagedRun(LV2_Handle handle, std::uint32_t frames)
{
    const float state = sabotagedPorts[kPortState] != nullptr
                            ? *static_cast<float*>(sabotagedPorts[kPortState])
                            : 0.0f;
    lv2::pluginDescriptor()->run(handle, frames);
    auto* out = static_cast<float*>(sabotagedPorts[kPortOutLeft]);
    auto* atom = static_cast<std::uint8_t*>(sabotagedPorts[kPortControl]);
    switch (sabotage) {
    case Sabotage::writePastRun:
        if (out != nullptr) {
            out[frames] = 0.0f;
        }
        break;
    case Sabotage::nonFiniteOutput:
        if (out != nullptr && frames > 0) {
            out[0] = std::numeric_limits<float>::quiet_NaN();
        }
        break;
    case Sabotage::writeAtom:
        if (atom != nullptr) {
            atom[4] ^= 1; // the sequence's type word, always there
        }
        break;
    case Sabotage::silentStatus:
        if (sabotagedPorts[kPortState] != nullptr) {
            *static_cast<float*>(sabotagedPorts[kPortState]) = state;
        }
        break;
    default:
        break;
    }
}

LV2_Descriptor sabotaged()
{
    LV2_Descriptor descriptor = *lv2::pluginDescriptor();
    descriptor.instantiate = &sabotagedInstantiate;
    descriptor.connect_port = &sabotagedConnect;
    descriptor.run = &sabotagedRun;
    return descriptor;
}

TEST(Lv2EventPlayer, ChecksCatchAPlugInThatMisbehaves)
{
    const std::vector<fs::path> entries = testing::fuzzInputsIn(kFuzzDirectory / "lv2_corpus");
    ASSERT_FALSE(entries.empty());
    const LV2_Descriptor descriptor = sabotaged();
    for (const Sabotage fault :
         {Sabotage::writePastRun, Sabotage::nonFiniteOutput, Sabotage::writeAtom,
          Sabotage::acceptMissingMap, Sabotage::silentStatus}) {
        sabotage = fault;
        std::size_t caught = 0;
        for (const fs::path& path : entries) {
            sabotagedPorts.fill(nullptr);
            caught += play(readBytes(path), &descriptor).ok ? 0 : 1;
        }
        EXPECT_GT(caught, 0u) << "sabotage " << static_cast<int>(fault) << " went unnoticed";
    }
}

// The byte format gives the committed files their meaning: a written session decodes to what
// was written, and plays the same every time.
TEST(Lv2EventPlayer, WrittenSessionsDecodeToTheirCallsAndReplayIdentically)
{
    Lv2SequenceWriter position;
    position.position(kFrameMiddle, {{kKeyBeatsPerMinute, 240.0}, {kKeySpeed, 1.0}});
    position.raw(kFrameLast, 0, {1, 2, 3}, 64);
    Lv2EventWriter writer;
    writer.instantiate(0, 1000.0).instantiate(1, 1000.0, kInstantiateNoMap).activate(0);
    writer.run(0, 256, position).run(1, 256).control(0, 12, 1.0f).deactivate(0).run(0, 256);
    writer.activate(0).run(0, 4096, {}, kRunInPlace | kRunMove).cleanup(0).run(0, 256);

    const Lv2PlayOutcome first = play(writer.bytes());
    EXPECT_TRUE(first.ok) << first.violation;
    EXPECT_EQ(first.calls, 12u);
    EXPECT_EQ(first.instancesMade, 1);
    EXPECT_EQ(first.instancesRefused, 1);
    EXPECT_EQ(first.runs, 2u);
    EXPECT_EQ(first.runsSkipped, 1u) << "the run while deactivated";
    EXPECT_EQ(first.atomEvents, 2u);
    EXPECT_EQ(first.framesPlayed, 256 + 4096);

    const Lv2PlayOutcome second = play(writer.bytes());
    EXPECT_EQ(first.framesChanged, second.framesChanged);
}

TEST(Lv2EventPlayer, AnySequenceOfBytesIsPlayable)
{
    // Truncations and plain byte patterns: the player itself must never stumble over an input.
    const std::vector<std::uint8_t> bytes =
        readBytes(testing::fuzzInputsIn(kFuzzDirectory / "lv2_corpus").front());
    for (std::size_t length = 0; length <= bytes.size(); length += 5) {
        const std::vector<std::uint8_t> prefix(bytes.begin(),
                                               bytes.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_TRUE(play(prefix).ok) << "prefix of " << length << " bytes";
    }
    for (const std::uint8_t fill : {0x00, 0x05, 0x55, 0xFF}) {
        EXPECT_TRUE(play(std::vector<std::uint8_t>(300, fill)).ok) << "300 bytes of " << int{fill};
    }
}

} // namespace
} // namespace vorblexter::fuzzing
