#include "tools/automation.h"

#include "tools/tests/support/tool_test_support.h"
#include "tools/tool_error.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vorblexter::tool {
namespace {

TEST(AutomationRequest, ReadsEveryKindOfAction)
{
    const AutomationRequest cuts = parseAutomation("12s", "Cuts/Bar = 8");
    EXPECT_EQ(cuts.kind, AutomationKind::parameter);
    EXPECT_EQ(cuts.assignment.name, "Cuts/Bar");
    EXPECT_EQ(cuts.assignment.value, "8");
    EXPECT_EQ(cuts.time.unit, TimeUnit::seconds);

    EXPECT_EQ(parseAutomation("9bars", "suspend").kind, AutomationKind::suspend);
    EXPECT_EQ(parseAutomation("32beats", " RESUME ").kind, AutomationKind::resume);

    const AutomationRequest jump = parseAutomation("1000", "jump=4");
    EXPECT_EQ(jump.kind, AutomationKind::jump);
    EXPECT_EQ(jump.time.unit, TimeUnit::frames);
    EXPECT_EQ(jump.jumpTarget.unit, TimeUnit::bars) << "a bare jump target counts bars";
    EXPECT_EQ(jump.jumpTarget.amount, 4.0);
    EXPECT_EQ(parseAutomation("1s", "Jump = 8beats").jumpTarget.unit, TimeUnit::beats);

    for (const auto& [time, action] : std::vector<std::pair<const char*, const char*>>{
             {"-1s", "suspend"}, {"soon", "suspend"}, {"12s", "jump="}, {"12s", "nonsense"}}) {
        EXPECT_THROW(parseAutomation(time, action), UsageError) << time << " " << action;
    }
}

TEST(AutomationResolve, SortsByFrameAndDropsEventsAfterTheEnd)
{
    const ParameterTable table({ParameterInfo{0, "Reverse", "%", &kParameters[kReverse]}});
    const Timeline timeline{1000.0, 240.0, {4, 4}};
    std::vector<std::string> warnings;
    const std::vector<AutomationEvent> events =
        resolveAutomation({parseAutomation("2s", "suspend"), parseAutomation("1s", "Reverse=30"),
                           parseAutomation("2s", "resume"), parseAutomation("10s", "resume"),
                           parseAutomation("1bars", "jump=2")},
                          table, timeline, 5000, warnings);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].frame, 1000);
    EXPECT_EQ(events[0].setting.expectedQuantity, 30);
    EXPECT_EQ(events[1].frame, 1000);
    EXPECT_EQ(events[1].kind, AutomationKind::jump);
    EXPECT_EQ(events[1].jumpTransportFrame, 2000);
    EXPECT_EQ(events[2].kind, AutomationKind::suspend) << "events at one frame keep their order";
    EXPECT_EQ(events[3].kind, AutomationKind::resume);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("10s resume"), std::string::npos) << warnings[0];
}

TEST(BlockSplitter, EveryEventFrameBeginsABlock)
{
    const std::vector<std::int64_t> events{1999, 700, 700, 1024, 0, 2000};
    BlockSplitter splitter(2000, 512, events);
    std::vector<std::pair<std::int64_t, std::int32_t>> blocks;
    while (!splitter.done()) {
        const BlockSpan span = splitter.next();
        blocks.emplace_back(span.start, span.frames);
    }
    const std::vector<std::pair<std::int64_t, std::int32_t>> expected{
        {0, 512}, {512, 188}, {700, 324}, {1024, 512}, {1536, 463}, {1999, 1}};
    EXPECT_EQ(blocks, expected);
}

// A change of Envelope from 1 to 10000 frames, sent between frames 2100 and 2101 of a pass of
// straight slices: every frame before it plays at full gain, the frame at it already fades.
TEST(AutomatedRender, ParameterChangeLandsOnItsExactFrame)
{
    testing::Scenario scenario;
    scenario.settings = {"Vorblex=0", "Envelope=1"};
    scenario.automation = {{"2101", "Envelope=10000"}};
    const testing::ScenarioResult result = testing::renderScenario(scenario);

    bool split = false;
    for (const BlockSpan& block : result.render.blocks) {
        split = split || block.start == 2101;
    }
    EXPECT_TRUE(split) << "no block starts at frame 2101";

    ASSERT_FALSE(result.render.account.passes().empty());
    const std::int64_t passStart = result.render.account.passes().front().frames.begin;
    const std::int64_t captureStart = result.render.account.captures().front().firstFrame();
    ASSERT_EQ(passStart, 2000);
    const auto played = [&](std::int64_t frame) {
        return result.render.output.left[static_cast<std::size_t>(frame)];
    };
    const auto captured = [&](std::int64_t frame) {
        return result.input.left[static_cast<std::size_t>(captureStart + frame - passStart)];
    };
    for (std::int64_t frame = 2070; frame < 2101; ++frame) {
        EXPECT_EQ(played(frame), captured(frame)) << "frame " << frame;
    }
    for (std::int64_t frame = 2101; frame < 2110; ++frame) {
        EXPECT_LT(std::fabs(played(frame)), std::fabs(captured(frame)) * 0.05f + 1e-6f)
            << "frame " << frame;
    }
}

} // namespace
} // namespace vorblexter::tool
