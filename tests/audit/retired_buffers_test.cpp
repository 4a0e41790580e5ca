// The hand-off of outgrown buffer pairs: the audio thread never frees one, every pair it hands
// over is released exactly once (by a release, the reclaim thread or the close), and a release
// running beside the audio thread is safe (this program runs under ThreadSanitizer too).
#include "engine/allocation.h"
#include "engine/reclaim_thread.h"
#include "tests/audit/audio_audit.h"
#include "tests/support/engine_access.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace vorblexter::testing {
namespace {

using audit::Call;

// 240 BPM at 1000 Hz: a beat is 250 frames, so a loop of n beats is 250 n frames.
struct SteadyTransport final : TransportSource {
    TransportInfo info{1.0, 1000.0, 240.0, 4};
    const TransportInfo* transport() override { return &info; }
    bool followsTempo() override { return true; }
};

class Session {
public:
    explicit Session(std::unique_ptr<SliceEngine> made = nullptr)
        : engine(made ? std::move(made) : std::make_unique<SliceEngine>(clock))
    {
    }

    // One block of `frames`, as the host's audio thread runs it.
    void block(std::int32_t frames = 100)
    {
        left.assign(static_cast<std::size_t>(frames), 0.25f);
        right.assign(static_cast<std::size_t>(frames), -0.25f);
        float* channels[2] = {left.data(), right.data()};
        {
            const audit::AudioCall call;
            engine->process(channels, channels, frames);
        }
        clock.info.samplePos += frames;
    }

    // Sets the loop to `beats` and plays until the set-up for it has run.
    void growTo(std::int32_t beats)
    {
        engine->setParameter(kLoopLength, hostValueFromQuantity(kParameters[kLoopLength], beats));
        for (int i = 0; i < 3 && capacity() < beats * 250; ++i) {
            block();
        }
        ASSERT_EQ(capacity(), beats * 250);
    }

    std::int32_t capacity() { return EngineAccess::state(*engine).bufferCapacitySamples; }

    SteadyTransport clock;
    std::unique_ptr<SliceEngine> engine;
    std::vector<float> left, right;
};

// Deletes made on any thread while `work` runs.
template <typename Work> std::int64_t deletesDuring(Work&& work)
{
    audit::reset();
    audit::countEverywhere(true);
    work();
    audit::countEverywhere(false);
    return audit::everywhereTally().of(Call::deleteCall);
}

TEST(RetiredBuffers, OutgrownPairsWaitForARelease)
{
    SKIP_WITHOUT_HEAP_COUNTS();
    Session session;
    audit::reset();
    session.block(); // the first set-up: 4 beats
    session.growTo(8);
    session.growTo(16);
    const audit::Tally audio = audit::audioTally();
    EXPECT_EQ(audio.of(Call::bufferAllocation), 6) << audio.describe();
    EXPECT_EQ(audio.bufferBytes, 2 * (1000 + 2000 + 4000) * 4);
    EXPECT_EQ(audio.of(Call::deleteCall) + audio.of(Call::free), 0) << audio.describe();
    EXPECT_EQ(audio.forbidden(), 0) << audio.describe();
    EXPECT_TRUE(session.engine->takeReleaseRequest());
    EXPECT_FALSE(session.engine->takeReleaseRequest());

    std::int32_t released = 0;
    EXPECT_EQ(deletesDuring([&] { released = session.engine->releaseRetired(); }), 4);
    EXPECT_EQ(released, 2);
    EXPECT_EQ(session.engine->releaseRetired(), 0);
    // A shorter loop reuses the pair: nothing is handed over.
    session.growTo(16);
    session.engine->setParameter(kLoopLength, hostValueFromQuantity(kParameters[kLoopLength], 4));
    for (int i = 0; i < 3; ++i) {
        session.block();
    }
    EXPECT_EQ(EngineAccess::state(*session.engine).bufferLengthSamples, 1000);
    EXPECT_FALSE(session.engine->takeReleaseRequest());
    EXPECT_EQ(session.engine->releaseRetired(), 0);
}

// Whatever an engine allocated, held or handed over, its close releases: every allocation from
// its construction on has its delete once it is gone.
TEST(RetiredBuffers, TheCloseReleasesWhatWaitsAndWhatIsHeld)
{
    SKIP_WITHOUT_HEAP_COUNTS();
    for (const bool releaseFirst : {false, true}) {
        SCOPED_TRACE(releaseFirst);
        audit::reset();
        audit::countEverywhere(true);
        {
            Session session;
            session.block();
            session.growTo(8);
            session.growTo(32);
            if (releaseFirst) {
                EXPECT_EQ(session.engine->releaseRetired(), 2);
            }
        }
        audit::countEverywhere(false);
        const audit::Tally all = audit::everywhereTally();
        EXPECT_EQ(all.of(Call::bufferAllocation) + all.of(Call::otherNew), all.of(Call::deleteCall))
            << all.describe();
        EXPECT_GE(all.of(Call::deleteCall), 7); // three pairs and the slice records
    }
}

// A set-up that gets its left buffer but not its right one hands the left one over too.
TEST(RetiredBuffers, AHalfMadePairIsHandedOverToo)
{
    SKIP_WITHOUT_HEAP_COUNTS();
    Session session;
    session.block();
    injectAllocationFailures(AllocationSite::captureBuffer, 1, 1);
    audit::reset();
    session.engine->setParameter(kLoopLength, hostValueFromQuantity(kParameters[kLoopLength], 8));
    for (int i = 0; i < 3; ++i) {
        session.block();
    }
    clearAllocationFailures();
    EXPECT_EQ(EngineAccess::state(*session.engine).bufferLeft, nullptr);
    EXPECT_EQ(audit::audioTally().of(Call::deleteCall), 0);
    std::int32_t released = 0;
    EXPECT_EQ(deletesDuring([&] { released = session.engine->releaseRetired(); }), 3);
    EXPECT_EQ(released, 2); // the old pair, and the left buffer on its own
}

// The library's reclaim thread releases a handed-over pair while the host goes on; the close
// of its last engine stops it. Without heap counts (under ThreadSanitizer) the blocks and the
// thread run side by side for a while, for the sanitizer to watch.
TEST(RetiredBuffers, TheReclaimThreadReleasesWhileTheHostRuns)
{
    Session session;
    auto enrolment = std::make_unique<ReclaimEnrolment>(*session.engine);
    EXPECT_FALSE(enrolment->served());
    ASSERT_TRUE(enrolment->enrol());
    ASSERT_TRUE(enrolment->served());
    session.block();
    audit::reset();
    audit::countEverywhere(true);
    session.growTo(8);
    const bool counting = audit::countsHeapCalls();
    // Generous: the thread looks every kReclaimPeriod; a loaded machine may be slow to run it.
    const auto deadline = std::chrono::steady_clock::now() +
                          (counting ? std::chrono::seconds(10) : kReclaimPeriod * 3);
    while ((!counting || audit::everywhereTally().of(Call::deleteCall) < 2) &&
           std::chrono::steady_clock::now() < deadline) {
        session.block();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    audit::countEverywhere(false);
    if (counting) {
        EXPECT_EQ(audit::everywhereTally().of(Call::deleteCall), 2);
        EXPECT_EQ(audit::audioTally().of(Call::deleteCall), 0);
        EXPECT_EQ(session.engine->releaseRetired(), 0);
    }
    enrolment.reset();
}

// The audio thread grows the loop again and again (a slowing tempo lengthens every restarted
// loop) while two other threads release. Every pair handed over is released exactly once: the
// releases add up to the growths.
TEST(RetiredBuffers, ReleasesBesideTheAudioThreadAddUpToTheGrowths)
{
    Session session;
    std::atomic<bool> done{false};
    std::atomic<std::int32_t> releasedBeside{0};
    const auto release = [&] {
        while (!done.load()) {
            releasedBeside += session.engine->releaseRetired();
            std::this_thread::yield();
        }
    };
    std::thread first(release);
    std::thread second(release);
    std::int32_t growths = 0;
    std::int32_t capacity = 0;
    for (int round = 0; round < 300; ++round) {
        session.clock.info.tempo *= 0.995;
        session.engine->setParameter(kLoopLength,
                                     hostValueFromQuantity(kParameters[kLoopLength], 64));
        session.block(64);
        session.block(64);
        if (session.capacity() > capacity) {
            growths += capacity > 0 ? 1 : 0;
            capacity = session.capacity();
        }
    }
    done = true;
    first.join();
    second.join();
    EXPECT_GT(growths, 250);
    EXPECT_EQ(releasedBeside + session.engine->releaseRetired(), growths);
}

} // namespace
} // namespace vorblexter::testing
