// The effect object as a host first meets it, and what closing it gives back.
#include "engine/allocation.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

// Live heap blocks of this test program, so that closing an effect can be checked to return
// everything it took; the leak tests read it only where nothing else allocates. The forms the
// engine uses are all replaced, so no block crosses to a sanitizer's allocator.
namespace {
std::atomic<long> liveAllocations{0};

void* acquire(std::size_t size) noexcept
{
    void* block = std::malloc(size != 0 ? size : 1);
    liveAllocations += block != nullptr ? 1 : 0;
    return block;
}

void release(void* block) noexcept
{
    liveAllocations -= block != nullptr ? 1 : 0;
    std::free(block);
}
} // namespace

void* operator new(std::size_t size)
{
    void* block = acquire(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return acquire(size);
}

void operator delete(void* block) noexcept
{
    release(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    release(block);
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return acquire(size);
}

void operator delete[](void* block) noexcept
{
    release(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    release(block);
}

namespace vorblexter::testing {
namespace {

TEST(SlicerEffect, RecordDescribesAStereoEffectWithOneProgramAndEightParameters)
{
    TestHost host;
    EffectDriver driver(host);
    const AEffect& record = *driver.effect;
    EXPECT_EQ(record.magic, kEffectMagic);
    EXPECT_EQ(record.numPrograms, 1);
    EXPECT_EQ(record.numParams, 8);
    EXPECT_EQ(record.numInputs, 2);
    EXPECT_EQ(record.numOutputs, 2);
    EXPECT_EQ(record.uniqueID, 0x56726278);
    EXPECT_EQ(record.flags & (effFlagsCanMono | effFlagsCanReplacing),
              effFlagsCanMono | effFlagsCanReplacing);
    EXPECT_EQ(driver.text(effGetProgramName), "Default");
}

TEST(SlicerEffect, StartsWithoutALoopAndTreatsTheFirstBlockAsAfterASuspend)
{
    TestHost host;
    EffectDriver driver(host);
    const SlicerEffect& engine = driver.engine();
    EXPECT_TRUE(engine.wasSuspended.load());
    EXPECT_FALSE(engine.loopCaptured || engine.captureActive || engine.slicesReady);
    EXPECT_FALSE(engine.paramsChanged.load() || engine.loopLengthChanged.load());
    EXPECT_EQ(engine.bufferLeft, nullptr);
    EXPECT_EQ(engine.bufferRight, nullptr);
    EXPECT_EQ(engine.bufferLengthSamples, 0);
    EXPECT_EQ(engine.timeInfoRequest, 0xBF00);
    EXPECT_EQ(engine.sliceCount, 4);
    EXPECT_EQ(engine.pendingSliceCount.load(), -1);
    EXPECT_EQ(engine.sliceLength, 0);
    EXPECT_EQ(engine.orderPosition + engine.loopPosition + engine.blocksInLoop, 0);
    EXPECT_EQ(engine.loopsSinceShuffle + engine.captureStartOffset, 0);
    EXPECT_EQ(engine.lastSamplePos, 0.0);
    for (const auto& slice : engine.slices) {
        ASSERT_NE(slice, nullptr);
        EXPECT_FALSE(slice->reversed || slice->silenced);
    }
}

TEST(SlicerEffect, AnnouncesItselfOnceWhenBuilt)
{
    DiagnosticsCapture diagnostics;
    TestHost host;
    EffectDriver driver(host);
    EXPECT_EQ(diagnostics.messages(), std::vector<std::string>{"object instantiated\n"});
}

TEST(SlicerEffect, AnswersOneToTailSizeAndIdle)
{
    TestHost host;
    EffectDriver driver(host);
    EXPECT_EQ(driver.dispatch(effGetTailSize), 1);
    EXPECT_EQ(driver.dispatch(effIdle), 1);
}

TEST(SlicerEffectLifetime, CloseReturnsEverythingTheEffectTook)
{
    for (const bool processedAudio : {false, true}) {
        SCOPED_TRACE(processedAudio ? "after a block" : "never processed");
        TestHost host;
        host.recordCalls = false;
        setTransport(host.timeInfo, 240.0, 1000.0); // 1000-frame loop
        const StereoBlock input = rampBlock(0.0, 64);
        const long before = liveAllocations.load();
        {
            EffectDriver driver(host);
            EXPECT_EQ(liveAllocations.load() - before, 2); // the object and its slice records
            if (processedAudio) {
                driver.run(1000.0, input);
                EXPECT_NE(driver.engine().bufferLeft, nullptr);
            }
        }
        EXPECT_EQ(liveAllocations.load(), before);
    }
}

TEST(SlicerEffectLifetime, EntryAnswersNullWithoutLeakingWhenAnyPartCannotBeAllocated)
{
    struct Case {
        AllocationSite site;
        int succeedFirst;
    };
    const Case cases[] = {{AllocationSite::effectObject, 0}, {AllocationSite::sliceRecord, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.succeedFirst);
        TestHost host;
        host.recordCalls = false;
        const long before = liveAllocations.load();
        injectAllocationFailures(c.site, c.succeedFirst, 1);
        EXPECT_EQ(host.createEffect(), nullptr);
        clearAllocationFailures();
        EXPECT_EQ(liveAllocations.load(), before);
    }
}

} // namespace
} // namespace vorblexter::testing
