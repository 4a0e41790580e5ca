// The slice layout over the capture buffers and the drawn playback order.
#include "engine/allocation.h"
#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <thread>
#include <vector>

namespace vorblexter::testing {
namespace {

// Loop Length value 0.3 is 4 beats; Cuts/Bar 0 / 0.15 / 0.45 / 0.6 / 0.9 are 1 / 2 / 8 / 16 / 64.
struct Fixture : ::testing::Test {
    TestHost host;
    EffectDriver driver{host};
    EngineState& engine = driver.state();
    TransportInfo transport{1.0, 44100.0, 120.0, 4}; // what direct set-ups read

    ~Fixture() override { clearAllocationFailures(); }

    void setupSlices()
    {
        engine.timeInfo = &transport;
        EngineAccess::setupSlices(driver.engine());
    }
    void setupBuffers()
    {
        engine.timeInfo = &transport;
        EngineAccess::setupBuffers(driver.engine());
    }

    // The host's first block sets up buffers and slices for the 88200-frame loop of 4 beats at
    // tempo 120 and 44100 frames per second.
    void firstBlock() { driver.run(1.0, rampBlock(0.0, 16)); }

    void expectLayout(std::int32_t count, std::int32_t length, std::int32_t coveredFrames)
    {
        ASSERT_EQ(engine.sliceCount, count);
        EXPECT_EQ(engine.sliceLength, length);
        for (std::int32_t i = 0; i < count; ++i) {
            const Slice& slice = *engine.slices[static_cast<std::size_t>(i)];
            EXPECT_EQ(slice.startLeft, i * length) << i;
            EXPECT_EQ(slice.startRight, i * length) << i;
            EXPECT_EQ(slice.length, length) << i;
            EXPECT_EQ(engine.sliceOrder[static_cast<std::size_t>(i)], i);
        }
        EXPECT_EQ(count * length, coveredFrames);
    }

    // Sets the slice count the way a host does and lets the audio side lay it out.
    void useSlices(float cutsPerBar, float loopLength = 0.3f)
    {
        driver.setParameter(kLoopLength, loopLength);
        driver.setParameter(kCutsPerBar, cutsPerBar);
        setupSlices();
    }

    std::pair<int, int> flagCounts() const
    {
        std::pair<int, int> reversedSilenced{0, 0};
        for (std::int32_t i = 0; i < engine.sliceCount; ++i) {
            reversedSilenced.first += engine.slices[static_cast<std::size_t>(i)]->reversed;
            reversedSilenced.second += engine.slices[static_cast<std::size_t>(i)]->silenced;
        }
        return reversedSilenced;
    }

    static std::vector<std::int32_t> identity(std::int32_t count)
    {
        std::vector<std::int32_t> order(static_cast<std::size_t>(count));
        std::iota(order.begin(), order.end(), 0);
        return order;
    }

    std::vector<std::int32_t> draw()
    {
        EngineAccess::randomiseSlices(driver.engine());
        const auto first = engine.sliceOrder.begin();
        return {first, first + engine.sliceCount};
    }
};

using SliceLayout = Fixture;
using SliceDraw = Fixture;

TEST_F(SliceLayout, EqualSlicesTileTheLoopFromItsStart)
{
    driver.setParameter(kCutsPerBar, 0.6f);
    firstBlock();
    expectLayout(16, 5512, 88200 - 8);

    driver.quantities().pendingSliceCount = 3;
    setupSlices();
    expectLayout(3, 29400, 88200);

    driver.setParameter(kCutsPerBar, 0.0f);
    setupSlices();
    expectLayout(1, 88200, 88200);
}

TEST_F(SliceLayout, NoPendingCountKeepsTheSliceCount)
{
    firstBlock();
    for (const std::int32_t none : {-1, 0}) {
        engine.sliceCount = 5;
        driver.quantities().pendingSliceCount = none;
        setupSlices();
        expectLayout(5, 17640, 88200);
    }
}

TEST_F(SliceLayout, SlicesStayInsideTheBuffersThatExist)
{
    firstBlock();
    transport.tempo = 60.0; // the loop doubles, the buffers stay
    setupSlices();
    ASSERT_GT(engine.loopLengthSamples, engine.bufferLengthSamples);
    expectLayout(4, 22050, 88200);

    injectAllocationFailures(AllocationSite::captureBuffer, 0, 1);
    setupBuffers();
    setupSlices();
    ASSERT_EQ(engine.bufferLeft, nullptr);
    expectLayout(4, 0, 0);
}

TEST_F(SliceDraw, FirstDrawOfAFreshGeneratorGivesTheKnownOrder)
{
    // Eight slices, Vorblex 100. With Repetition 50 a placed slice must leave the pool exactly:
    // a compaction that shifts only up to the current position would start 6, 5, 7, ...
    const std::pair<float, std::vector<std::int32_t>> cases[] = {{0.0f, {4, 5, 6, 0, 3, 2, 7, 1}},
                                                                 {0.5f, {7, 5, 7, 6, 2, 1, 0, 1}}};
    driver.setParameter(kVorblex, 1.0f);
    useSlices(0.45f);
    for (const auto& [repetition, expected] : cases) {
        driver.setParameter(kRepetition, repetition);
        engine.loopsSinceShuffle = 3;
        threadSliceRandom().state = 1;
        EXPECT_EQ(draw(), expected);
        EXPECT_EQ(engine.loopsSinceShuffle, 0);
        EXPECT_EQ(flagCounts(), std::make_pair(0, 0));
        // Every thread starts its own generator at 1, whatever this one has drawn.
        std::vector<std::int32_t> onNewThread;
        std::thread([&] { onNewThread = draw(); }).join();
        EXPECT_EQ(onNewThread, expected);
    }
}

TEST_F(SliceDraw, ReverseAndSilenceAtFullFlagEverySliceInUse)
{
    for (const auto& [reverse, silence] : {std::pair{1.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, 0.0f}}) {
        driver.setParameter(kReverse, reverse);
        driver.setParameter(kSilence, silence);
        useSlices(0.9f);
        draw();
        EXPECT_EQ(flagCounts(), std::make_pair(reverse == 1.0f ? 64 : 0, silence == 1.0f ? 64 : 0));
    }
}

TEST_F(SliceDraw, NoVorblexKeepsTheIdentityWhateverElseIsSet)
{
    driver.setParameter(kVorblex, 0.0f);
    for (const float other : {0.0f, 0.5f, 1.0f}) {
        driver.setParameter(kReverse, other);
        driver.setParameter(kRepetition, other);
        driver.setParameter(kSilence, other);
        useSlices(0.9f);
        for (int round = 0; round < 20; ++round) {
            EXPECT_EQ(draw(), identity(64)) << other;
        }
    }
}

TEST_F(SliceDraw, FullVorblexWithoutRepetitionAlwaysPlaysEverySliceOnce)
{
    constexpr int kDraws = 500;
    threadSliceRandom().state = 1;
    std::printf("generator state 1, %d draws per slice count\n", kDraws);
    driver.setParameter(kVorblex, 1.0f);
    driver.setParameter(kRepetition, 0.0f);
    for (const auto& [cuts, loop] :
         {std::pair{0.0f, 0.3f}, {0.15f, 0.3f}, {0.45f, 0.3f}, {0.9f, 0.3f}, {0.9f, 0.9f}}) {
        useSlices(cuts, loop);
        const std::vector<std::int32_t> all = identity(engine.sliceCount);
        bool reordered = false;
        for (int round = 0; round < kDraws; ++round) {
            const std::vector<std::int32_t> order = draw();
            ASSERT_TRUE(std::is_permutation(order.begin(), order.end(), all.begin(), all.end()))
                << "draw " << round << " of " << all.size() << " slices";
            reordered = reordered || order != all;
        }
        EXPECT_EQ(reordered, all.size() > 1) << all.size();
    }
}

TEST_F(SliceDraw, RepetitionLetsSlicesRepeatButNeverBeyondTheCount)
{
    constexpr int kDraws = 500;
    threadSliceRandom().state = 1;
    std::printf("generator state 1, %d draws per repetition\n", kDraws);
    driver.setParameter(kVorblex, 1.0f);
    for (const float repetition : {0.5f, 1.0f}) {
        driver.setParameter(kRepetition, repetition);
        useSlices(0.45f);
        const std::vector<std::int32_t> all = identity(8);
        bool repeated = false;
        std::uint64_t seenAt = 0; // bit 8 x position + slice
        for (int round = 0; round < kDraws; ++round) {
            const std::vector<std::int32_t> order = draw();
            for (std::size_t position = 0; position < order.size(); ++position) {
                ASSERT_TRUE(order[position] >= 0 && order[position] < 8) << "draw " << round;
                seenAt |= std::uint64_t{1} << (8 * position + order[position]);
            }
            repeated = repeated || !std::is_permutation(order.begin(), order.end(), all.begin());
        }
        EXPECT_TRUE(repeated) << repetition;
        if (repetition == 1.0f) { // every position draws from all slices
            EXPECT_EQ(seenAt, ~std::uint64_t{0});
        }
    }
}

} // namespace
} // namespace vorblexter::testing
