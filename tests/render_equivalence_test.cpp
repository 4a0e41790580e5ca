// The effect's run-wise audio path against the per-frame reference (tests/per_frame_effect.h):
// long randomized sessions of host events, rendered by both, must agree in every output bit,
// every diagnostic message and the engine state after every block.
//
// Seeds: VORBLEXTER_RENDER_SEED picks the first session's seed (each further session takes the
// next); VORBLEXTER_RENDER_SESSIONS how many sessions run (default 6). A failure names its seed.
#include "engine/fade_table.h"
#include "tests/per_frame_effect.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#if defined(__SSE__) || defined(_M_X64) || defined(_M_IX86_FP)
#include <xmmintrin.h>
#define VORBLEXTER_HAVE_MXCSR 1
#endif

namespace vorblexter::testing {
namespace {

// The host of both effects: one transport, a vendor whose tempo the effect follows, and a
// suspend delivered from inside the vendor query when the test arms it for an effect.
struct SuspendingHost : TestHost {
    SuspendingHost()
    {
        duringCall = [this](AEffect* effect, VstInt32 opcode) {
            if (opcode != audioMasterGetVendorString) {
                return;
            }
            for (AEffect*& armed : suspendAtVendorQuery) {
                if (armed != nullptr && armed == effect) {
                    armed = nullptr;
                    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
                }
            }
        };
    }
    AEffect* suspendAtVendorQuery[2] = {nullptr, nullptr};
};

std::uint64_t envNumber(const char* name, std::uint64_t fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// The engine state both renders must share after every block.
std::vector<std::int64_t> stateOf(SlicerEffect& fx)
{
    const EngineState& e = EngineAccess::state(fx.engine());
    const ParameterQuantities& q = EngineAccess::quantities(fx.engine());
    std::vector<std::int64_t> state = {
        e.playPointerLeft,    e.playPointerRight,    e.captureWriteLeft,
        e.captureWriteRight,  e.bufferLengthSamples, e.blocksInLoop,
        e.loopCaptured,       e.loopLengthSamples,   e.sliceCount,
        q.pendingSliceCount,  e.orderPosition,       std::bit_cast<std::int64_t>(e.lastSamplePos),
        e.slicesReady,        q.wasSuspended,        e.positionWentBack,
        e.loopPosition,       e.sliceLength,         e.captureActive,
        e.captureStartOffset, e.barLengthSamples,    q.loopLengthChanged,
        q.paramsChanged,      e.loopsSinceShuffle,
    };
    for (std::int32_t k = 0; k < e.sliceCount && k < kMaxSlices; ++k) {
        const std::int32_t index = e.sliceOrder[static_cast<std::size_t>(k)];
        state.push_back(index);
        if (index >= 0 && index < kMaxSlices) {
            const Slice& slice = *e.slices[static_cast<std::size_t>(index)];
            state.push_back(slice.reversed * 2 + slice.silenced);
        }
    }
    return state;
}

// One effect of the pair, with its own state of the per-thread draw generator: each block runs
// with its own state swapped in, so the two draw the same numbers.
struct Side {
    Side(TestHost& host, SlicerEffect* created)
        : host(host), fx(created), record(created->getAeffect())
    {
    }

    void run(double position, const std::vector<float>& input, std::int32_t frames, bool replacing,
             bool inPlace)
    {
        const auto count = static_cast<std::size_t>(std::max(frames, 0));
        left.assign(count, -12345.0f);
        right.assign(count, 12345.0f);
        inputLeft.assign(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(count));
        inputRight.assign(input.begin() + static_cast<std::ptrdiff_t>(count),
                          input.begin() + static_cast<std::ptrdiff_t>(2 * count));
        if (inPlace) {
            left = inputLeft;
            right = inputRight;
        }
        float* in[2] = {inPlace ? left.data() : inputLeft.data(),
                        inPlace ? right.data() : inputRight.data()};
        float* out[2] = {left.data(), right.data()};
        host.timeInfo.samplePos = position;
        SliceRandom& random = threadSliceRandom();
        random.state = randomState;
        diagnostics.clear();
        if (replacing) {
            record->processReplacing(record, in, out, frames);
        } else {
            record->process(record, in, out, frames);
        }
        messages = diagnostics.messages();
        randomState = random.state;
    }

    TestHost& host;
    std::unique_ptr<SlicerEffect> fx;
    AEffect* record;
    std::uint32_t randomState = 1;
    DiagnosticsCapture diagnostics;
    std::vector<std::string> messages;
    std::vector<float> left, right, inputLeft, inputRight;
};

bool sameBits(const std::vector<float>& a, const std::vector<float>& b, std::size_t& firstDiff)
{
    for (firstDiff = 0; firstDiff < a.size(); ++firstDiff) {
        if (std::bit_cast<std::uint32_t>(a[firstDiff]) !=
            std::bit_cast<std::uint32_t>(b[firstDiff])) {
            return false;
        }
    }
    return true;
}

// Any finite float or infinity, denormals and both zeros included; NaN only comes out of a fade
// of an infinity, where both sides multiply.
float randomSample(std::mt19937_64& random)
{
    for (;;) {
        const auto bits = static_cast<std::uint32_t>(random());
        const std::uint32_t kind = bits % 16;
        float sample = 0.0f;
        if (kind < 12) {
            sample = static_cast<float>(static_cast<std::int32_t>(bits) / 2147483648.0);
        } else {
            sample = std::bit_cast<float>(random() % 4 == 0 ? (bits & 0x807FFFFFu) : bits);
        }
        if (sample == sample) {
            return sample;
        }
    }
}

struct Tally {
    std::int64_t frames = 0;
    std::int64_t framesPlayed = 0; // in blocks that began with a loop held
    int wraps = 0;
    int captures = 0;
    int restarts = 0;
    int knocks = 0;
};

// Runs one randomized session, adding what it covered to `tally`. With `knockPointers`, now and
// then a play pointer of a held loop is moved to near an end of its buffer, in both effects
// alike: no host can do that, but it is the state every bounds guard of playback is there for,
// and each must stop a run exactly where the per-frame rule fails.
void runSession(std::uint64_t seed, std::int64_t frameBudget, Tally& tally,
                bool knockPointers = false)
{
    std::mt19937_64 random(seed);
    auto below = [&random](std::uint64_t n) { return static_cast<std::int32_t>(random() % n); };
    auto chance = [&below](int percent) { return below(100) < percent; };

    SuspendingHost host;
    const double rates[] = {1000.0, 2000.0, 3000.0, 8000.0};
    const double tempos[] = {120.0, 150.0, 240.0, 300.0};
    const double rate = rates[below(4)]; // drawn in this order, one statement each
    const double tempo = tempos[below(4)];
    const VstInt32 numerator = 3 + below(3);
    host.setTransport(tempo, rate, numerator);

    // Made directly, so the callback finds the host as the newest one alive.
    Side reference(host, new PerFrameEffect(&TestHost::callback));
    Side runs(host, new SlicerEffect(&TestHost::callback));
    Side* const sides[2] = {&reference, &runs};
    threadSliceRandom().state = 1;

    std::vector<float> input(2 * 8192);
    for (float& sample : input) {
        sample = randomSample(random);
    }

    double position = below(3) == 0 ? 0.0 : below(100000);
    std::int32_t lastFrames = 0;
    std::int64_t rendered = 0;
    for (std::int64_t block = 0; rendered < frameBudget; ++block) {
        const bool playing = EngineAccess::state(runs.fx->engine()).loopCaptured;
        if (chance(8)) {
            // Loop Length and Cuts/Bar rarely, since each starts a new capture or layout.
            std::int32_t index = below(8);
            if ((index == kLoopLength && !chance(30)) || (index == kCutsPerBar && !chance(50))) {
                index = kEnvelope;
            }
            float value = static_cast<float>(below(1001)) / 1000.0f;
            if (knockPointers && index == kEnvelope) {
                value *= 0.3f; // fades of at most 16 frames: most blocks are one plain copy
            }
            for (Side* side : sides) {
                side->record->setParameter(side->record, index, value);
            }
        }
        if (chance(3)) {
            for (Side* side : sides) {
                side->record->dispatcher(side->record, effMainsChanged, 0, 0, nullptr, 0.0f);
                side->record->dispatcher(side->record, effMainsChanged, 0, 1, nullptr, 0.0f);
            }
        }
        if (chance(4)) { // a suspend from another thread, landing at the next geometry query
            host.suspendAtVendorQuery[0] = reference.record;
            host.suspendAtVendorQuery[1] = runs.record;
        }
        if (chance(1)) {
            host.timeInfo.tempo = tempos[below(4)];
        }
        host.giveTimeInfo = !chance(1);
        std::int32_t knockedBlock = 0; // the next block's length after a knock
        if (knockPointers && playing && chance(20)) {
            const std::int32_t end = EngineAccess::state(runs.fx->engine()).bufferLengthSamples;
            const bool nearStart = chance(50);
            const std::int32_t pointer = nearStart    ? below(6) - 2
                                         : chance(50) ? end - 2 + below(4)
                                                      : end - below(66);
            const bool left = chance(50);
            for (Side* side : sides) {
                EngineState& state = EngineAccess::state(side->fx->engine());
                (left ? state.playPointerLeft : state.playPointerRight) = pointer;
            }
            ++tally.knocks;
            // The next block ends one frame short of that end (read forwards from the end's side,
            // backwards from the start's), on it, or one past it.
            const std::int32_t room = nearStart ? pointer + 1 : end - pointer;
            knockedBlock = std::max(room - 1 + below(3), 1);
        }

        const std::int32_t sizeClass = below(8);
        std::int32_t frames = 1 + below(sizeClass < 3 ? 64 : sizeClass < 6 ? 1024 : 8192);
        if (chance(1)) {
            frames = 0;
        }
        if (knockedBlock > 0) {
            frames = std::min(knockedBlock, 8192);
        }
        const std::int32_t move = below(100);
        if (move < 4) {
            position -=
                below(4) == 0 ? position + below(3000) : below(20000); // back, or to 0 and below
        } else if (move < 8) {
            position += below(50000);
        } else if (move >= 12) { // else the transport stands
            position += lastFrames;
        }
        const bool replacing = chance(50);
        const bool inPlace = chance(30);
        const std::size_t offset = static_cast<std::size_t>(below(8192 - frames + 1));
        const std::vector<float> blockInput(
            input.begin() + static_cast<std::ptrdiff_t>(offset),
            input.begin() +
                static_cast<std::ptrdiff_t>(offset + 2 * static_cast<std::size_t>(frames)));
        for (Side* side : sides) {
            side->run(position, blockInput, frames, replacing, inPlace);
        }
        lastFrames = frames;
        rendered += frames;
        tally.frames += frames;
        tally.framesPlayed += playing ? frames : 0;
        for (const std::string& message : runs.messages) {
            tally.wraps += message == "loop.....\n";
            tally.captures += message == "Capture complete!\n";
            tally.restarts +=
                message == "Loop changed\n" || message == "IN CAPTURE - loop changed\n";
        }

        std::size_t diff = 0;
        const bool leftSame = sameBits(reference.left, runs.left, diff);
        if (!leftSame || !sameBits(reference.right, runs.right, diff)) {
            ADD_FAILURE() << "seed " << seed << ", block " << block << " (" << frames
                          << " frames at " << position << "): " << (leftSame ? "right" : "left")
                          << " output differs from frame " << diff;
            return;
        }
        if (reference.messages != runs.messages) {
            ADD_FAILURE() << "seed " << seed << ", block " << block << ": messages differ";
            return;
        }
        if (stateOf(*reference.fx) != stateOf(*runs.fx)) {
            ADD_FAILURE() << "seed " << seed << ", block " << block << ": engine state differs";
            return;
        }
    }
}

TEST(RenderEquivalence, RandomizedSessionsRenderBitForBitLikeThePerFrameRule)
{
    const std::uint64_t firstSeed = envNumber("VORBLEXTER_RENDER_SEED", 20261208);
    const std::uint64_t sessions = envNumber("VORBLEXTER_RENDER_SESSIONS", 6);
    Tally tally;
    for (std::uint64_t s = 0; s < sessions && !HasFailure(); ++s) {
        runSession(firstSeed + s, 1500000, tally);
    }
    std::printf("%llu sessions from seed %llu: %lld frames, %lld played from a held loop, %d "
                "captures, %d wraps, %d loop length restarts\n",
                static_cast<unsigned long long>(sessions),
                static_cast<unsigned long long>(firstSeed), static_cast<long long>(tally.frames),
                static_cast<long long>(tally.framesPlayed), tally.captures, tally.wraps,
                tally.restarts);
    // A comparison that never reached playback would prove nothing.
    if (sessions > 0) {
        EXPECT_GT(tally.framesPlayed, tally.frames / 4);
        EXPECT_GT(tally.wraps, 0);
    }
}

TEST(RenderEquivalence, PlayPointersNearTheBufferEndsFailWhereThePerFrameRuleFails)
{
    Tally tally;
    for (std::uint64_t seed = 20261210; seed < 20261216 && !HasFailure(); ++seed) {
        runSession(seed, 600000, tally, true);
    }
    EXPECT_GT(tally.knocks, 200);
    EXPECT_GT(tally.wraps, 0);
}

// Where the gain is exactly 1.0 the effect passes the stored sample on bit for bit, as capture
// and the hand-over always did: a signalling NaN stays signalling, and a denormal survives a host
// that runs its audio thread with flush-to-zero and denormals-are-zero. Fade frames still
// multiply, which quiets the NaN and, under those modes, flushes the denormal.
TEST(RenderEquivalence, GainOneCopiesTheStoredSampleBitForBit)
{
    TestHost host;
    host.setTransport(240.0, 1000.0); // a 1000-frame loop of four 250-frame slots
    EffectDriver fx(host);
    fx.setParameter(kVorblex, 0.0f); // slots in order, forward, Envelope 20

    constexpr std::uint32_t kSignallingNaN = 0x7FA00001u;
    constexpr std::uint32_t kDenormal = 0x00000123u;
    std::vector<float> loop(1000, 0.5f);
    loop[100] = std::bit_cast<float>(kSignallingNaN); // slot 0, gain 1.0 (the hand-over)
    loop[350] = std::bit_cast<float>(kSignallingNaN); // slot 1, 100 frames in: gain 1.0
    loop[360] = std::bit_cast<float>(kDenormal);      // slot 1, gain 1.0
    loop[255] = std::bit_cast<float>(kSignallingNaN); // slot 1, 5 frames in: fading in
    loop[260] = std::bit_cast<float>(kDenormal);      // slot 1, fading in

    std::vector<std::vector<float>> outputs;
    auto block = [&](double position, const float* input) {
        const std::vector<float> samples(input, input + 250);
        outputs.push_back(fx.run(position, {samples, samples}).left);
    };
#ifdef VORBLEXTER_HAVE_MXCSR
    const unsigned int savedModes = _mm_getcsr();
    _mm_setcsr(savedModes | 0x8040u); // flush-to-zero and denormals-are-zero
#endif
    for (int k = 0; k < 4; ++k) {
        block(1.0 + 250.0 * k, loop.data() + 250 * k); // capture
    }
    block(1001.0, loop.data()); // completes the capture: slot 0 by the hand-over
    block(1251.0, loop.data()); // slot 1
#ifdef VORBLEXTER_HAVE_MXCSR
    _mm_setcsr(savedModes);
#endif
    ASSERT_TRUE(fx.state().loopCaptured);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(outputs[0][100]), kSignallingNaN); // captured
    EXPECT_EQ(std::bit_cast<std::uint32_t>(outputs[4][100]), kSignallingNaN); // handed over
    EXPECT_EQ(std::bit_cast<std::uint32_t>(outputs[5][100]), kSignallingNaN); // played
    EXPECT_EQ(std::bit_cast<std::uint32_t>(outputs[5][110]), kDenormal);
    const std::uint32_t faded = std::bit_cast<std::uint32_t>(outputs[5][5]);
    EXPECT_TRUE(std::isnan(outputs[5][5]) && (faded & 0x00400000u) != 0) << std::hex << faded;
#ifdef VORBLEXTER_HAVE_MXCSR
    EXPECT_EQ(outputs[5][10], 0.0f); // the multiply saw zero
#endif
}

} // namespace
} // namespace vorblexter::testing
