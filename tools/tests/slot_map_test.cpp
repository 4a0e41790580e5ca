#include "tools/slot_map.h"

#include "tools/tests/support/tool_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>

namespace vorblexter::tool {
namespace {

using testing::identityLabels;
using testing::renderScenario;
using testing::Scenario;
using testing::ScenarioResult;

// Sample rate 1000 and tempo 240: a beat is 250 frames, a 4/4 bar and a 4-beat loop 1000.
// From a standing first block the effect captures bar 2 (frames 1000 to 2000) and plays passes
// from frame 2000.

// A pass of n slices lasts n x trunc(loop / n) frames, so with 8 or 16 slices a short last pass
// begins before the input ends; it must agree as far as it goes.
void expectEveryPass(const ScenarioResult& result, const std::string& labels, std::size_t passes)
{
    ASSERT_GE(result.passLabels.size(), passes);
    ASSERT_LE(result.passLabels.size(), passes + 1);
    for (std::size_t pass = 0; pass < result.passLabels.size(); ++pass) {
        if (pass < passes) {
            EXPECT_EQ(result.passLabels[pass], labels) << "pass " << pass;
        } else {
            EXPECT_EQ(labels.substr(0, result.passLabels[pass].size()), result.passLabels[pass]);
        }
    }
}

// Settings that leave nothing to chance: every pass shows the same labels.
TEST(SlotMapFromEffect, FixedSettingsPlayTheSameLabelsEveryPass)
{
    const struct {
        std::vector<std::string> settings;
        std::string labels;
    } cases[] = {
        {{"Vorblex=0"}, identityLabels(4)},
        {{"Vorblex=0", "Cuts/Bar=8"}, identityLabels(8)},
        {{"Vorblex=0", "Reverse=100", "Cuts/Bar=8"}, identityLabels(8, "R")},
        {{"Silence=100", "Vorblex=60"}, "S S S S"},
    };
    for (const auto& c : cases) {
        Scenario scenario;
        scenario.settings = c.settings;
        const ScenarioResult result = renderScenario(scenario);
        ASSERT_FALSE(result.render.account.captures().empty());
        EXPECT_EQ(result.render.account.captures().front().firstFrame(), 1000);
        expectEveryPass(result, c.labels, 4);
    }
}

// The host's account of where the loop was captured must hold for every way the transport can
// start: at the origin, just after it, on a bar line, between bar lines, before the origin.
TEST(SlotMapFromEffect, CaptureIsFoundFromAnyStartPosition)
{
    for (const std::int64_t start : {0, 10, 1000, 1500, -300, 999}) {
        Scenario scenario;
        scenario.settings = {"Vorblex=0", "Cuts/Bar=8"};
        scenario.startFrame = start;
        const ScenarioResult result = renderScenario(scenario);
        ASSERT_GE(result.passLabels.size(), 2u) << "start " << start;
        // The last pass may be cut short by the end of the input.
        for (std::size_t pass = 0; pass + 1 < result.passLabels.size(); ++pass) {
            EXPECT_EQ(result.passLabels[pass], identityLabels(8))
                << "start " << start << ", pass " << pass;
        }
    }
}

TEST(SlotMapFromEffect, ShuffledPassWithoutRepetitionPlaysEachSliceOnce)
{
    Scenario scenario;
    scenario.settings = {"Vorblex=100", "Repetition=0", "Cuts/Bar=16"};
    scenario.blockFrames = 8; // keeps the straight hand-over inside the first slot's fade-in
    const ScenarioResult result = renderScenario(scenario);
    ASSERT_EQ(result.passLabels.size(), 5u) << "4 passes of 992 frames and the start of a fifth";
    bool shuffled = false;
    for (std::size_t pass = 0; pass < 4; ++pass) {
        const std::string& labels = result.passLabels[pass];
        std::istringstream words(labels);
        std::vector<int> slices;
        for (int slice = 0; words >> slice;) {
            slices.push_back(slice);
        }
        std::vector<int> sorted = slices;
        std::sort(sorted.begin(), sorted.end());
        std::vector<int> all(16);
        std::iota(all.begin(), all.end(), 0);
        EXPECT_EQ(sorted, all) << labels;
        shuffled = shuffled || slices != all;
    }
    EXPECT_TRUE(shuffled);
}

TEST(SlotMapFromEffect, NewSliceCountTakesEffectAtTheNextPass)
{
    Scenario scenario;
    scenario.settings = {"Vorblex=0"};
    scenario.automation = {{"2500", "Cuts/Bar=16"}};
    const ScenarioResult result = renderScenario(scenario);
    ASSERT_EQ(result.passLabels.size(), 5u) << "1 pass of 4 slices, 3 of 16, the start of one";
    EXPECT_EQ(result.passLabels[0], identityLabels(4));
    for (std::size_t pass = 1; pass < 4; ++pass) {
        EXPECT_EQ(result.passLabels[pass], identityLabels(16)) << "pass " << pass;
    }
}

// Loop Length 2 set during the first pass: at its end (frame 3000) the capture restarts; the rest
// of that block is the input, the next block begins a 500-frame capture, and the new passes play
// 2 slices of 250 frames. The change split the block at frame 2500, so blocks now begin at
// 2500 + 64k: the block holding frame 3000 ends at 3012.
TEST(SlotMapFromEffect, NewLoopLengthIsCapturedAfterThePass)
{
    Scenario scenario;
    scenario.settings = {"Vorblex=0"};
    scenario.automation = {{"2500", "Loop Length=2"}};
    const ScenarioResult result = renderScenario(scenario);
    const EffectTimeline& account = result.render.account;
    ASSERT_EQ(account.captures().size(), 2u);
    EXPECT_EQ(account.captures()[1].firstFrame(), 3012);
    EXPECT_EQ(account.captures()[1].loopFrames, 500);
    EXPECT_EQ(account.captures()[1].completionFrame, 3512);
    ASSERT_GE(result.passLabels.size(), 3u);
    EXPECT_EQ(result.passLabels[0], identityLabels(4));
    for (std::size_t pass = 1; pass + 1 < result.passLabels.size(); ++pass) {
        EXPECT_EQ(result.passLabels[pass], identityLabels(2)) << "pass " << pass;
    }
}

// After a suspend the effect places its clock where the transport says, so the slot grid moves;
// the account must follow it for the map to stay exact.
TEST(SlotMapFromEffect, ResumedEffectFollowsTheTransport)
{
    Scenario scenario;
    scenario.settings = {"Vorblex=0", "Cuts/Bar=8"};
    scenario.automation = {{"2600", "suspend"}, {"3130", "resume"}};
    const ScenarioResult result = renderScenario(scenario);
    ASSERT_FALSE(result.slots.empty());
    for (const SlotReading& slot : result.slots) {
        EXPECT_EQ(slot.kind, SlotKind::forward) << "slot at " << slot.frames.begin;
        EXPECT_EQ(slot.slice, slot.position) << "slot at " << slot.frames.begin;
    }
    // While suspended the host passes the input through.
    for (std::int64_t frame = 2600; frame < 3130; frame += 53) {
        EXPECT_EQ(result.render.output.left[static_cast<std::size_t>(frame)],
                  result.input.left[static_cast<std::size_t>(frame)]);
    }
}

TEST(SlotMapFromEffect, HostTheEffectDoesNotKnowGetsTheInputBack)
{
    Scenario scenario;
    scenario.vendor = "Some Other Host";
    scenario.settings = {"Vorblex=100", "Cuts/Bar=16"};
    const ScenarioResult result = renderScenario(scenario);
    EXPECT_TRUE(result.slots.empty());
    EXPECT_TRUE(result.render.account.passes().empty());
    EXPECT_EQ(result.render.output.left, result.input.left);
    EXPECT_EQ(result.render.output.right, result.input.right);
}

// The matcher alone, on audio made by hand: a known order with a reversed and a silent slot, and
// fades that differ from the effect's, which it must look past.
TEST(SlotMap, ReadsAKnownOrderFromHandMadeAudio)
{
    EffectTimeline::Start start;
    start.timeline = Timeline{1000.0, 240.0, {4, 4}};
    EffectTimeline account(start);
    for (std::int64_t frame = 0; frame < 4000; frame += 100) {
        account.block(frame, static_cast<double>(frame), 100);
    }
    account.finish(4000);
    ASSERT_EQ(account.passes().size(), 2u);
    ASSERT_EQ(account.passes()[0].frames.begin, 2000);

    const StereoAudio input = testing::noise(4000, 1000.0);
    StereoAudio output = input;
    const std::int32_t order[4] = {2, 0, 3, 1};
    const bool reversed[4] = {false, true, false, false};
    const bool silent[4] = {false, false, true, false};
    for (std::int64_t pass = 0; pass < 2; ++pass) {
        for (std::int64_t slot = 0; slot < 4; ++slot) {
            for (std::int64_t i = 0; i < 250; ++i) {
                const auto k = static_cast<std::size_t>(slot);
                const std::int64_t read = 1000 + order[k] * 250 + (reversed[k] ? 249 - i : i);
                const bool edge = i < 20 || i >= 230;
                const float gain = silent[k] ? 0.0f : (edge ? 0.3f : 1.0f);
                const auto at = static_cast<std::size_t>(2000 + pass * 1000 + slot * 250 + i);
                output.left[at] = input.left[static_cast<std::size_t>(read)] * gain;
                output.right[at] = input.right[static_cast<std::size_t>(read)] * gain;
            }
        }
    }
    const std::vector<SlotReading> slots = recoverSlotMap(input, output, account);
    EXPECT_EQ(passLabels(slots), (std::vector<std::string>{"2 0R S 1", "2 0R S 1"}));

    // A slot that plays nothing of the loop is reported as such, not forced onto a slice.
    output.left[2100] += 0.5f;
    EXPECT_EQ(slotLabel(recoverSlotMap(input, output, account).front()), "?");
}

} // namespace
} // namespace vorblexter::tool
