// Steady states of the audio path, each against its copy in the same run: playback of a held loop
// under three parameter sets, and capture into fresh buffers of a long loop.
#include "bench/copy_baseline.h"
#include "bench/interleaved.h"
#include "bench/session.h"

#include <algorithm>
#include <memory>

namespace bench {

namespace {

using vorblexter::kCutsPerBar;
using vorblexter::kEnvelope;
using vorblexter::kLoopLength;
using vorblexter::kReverse;
using vorblexter::kSilence;

// Frames per round: long enough to cover many blocks of any size, short enough for many rounds.
constexpr std::int64_t kRoundFrames = 1 << 17;
constexpr int kRounds = 21;

std::int64_t blocksPerRound(int blockFrames)
{
    return std::max<std::int64_t>(1, kRoundFrames / blockFrames);
}

// Plays the loop once it is held, timed against copying from a pair of the loop's size.
void measurePlayback(benchmark::State& state, Session& session)
{
    session.runUntilCaptured();
    session.blocks(2); // past the completing block and its hand-over
    const int frames = session.blockFrames();
    const std::int64_t blocks = blocksPerRound(frames);
    PlaybackCopy copy(session.state().loopLengthSamples, frames);
    measureInterleaved(state, Side{{}, [&] { session.blocks(blocks); }, blocks * frames},
                       Side{{}, [&] { copy.blocks(blocks); }, blocks * frames});
    if (!session.loopHeld()) {
        state.SkipWithError("the loop was not held throughout");
    }
}

// Default parameters: a 4-beat loop at 120 BPM, 4 slices, 20-frame fades.
void PlaybackDefault(benchmark::State& state)
{
    Session session(Transport{}, static_cast<int>(state.range(0)));
    measurePlayback(state, session);
}

// 1024 slices of 1378 frames under 10000-frame fades: every frame is in a fade.
void PlaybackAllFades(benchmark::State& state)
{
    Session session(Transport{}, static_cast<int>(state.range(0)));
    session.setParameter(kEnvelope, envelopeValue(10000));
    session.setParameter(kCutsPerBar, stepValue(64));
    session.setParameter(kLoopLength, stepValue(64));
    measurePlayback(state, session);
}

// Every slice backwards and half of them, drawn anew each pass, silent.
void PlaybackReverseSilence(benchmark::State& state)
{
    Session session(Transport{}, static_cast<int>(state.range(0)));
    session.setParameter(kReverse, percentValue(100));
    session.setParameter(kSilence, percentValue(50));
    measurePlayback(state, session);
}

// A 64-beat loop at 30 BPM (5,644,800 frames). Before a round would reach the end of the loop the
// capture is restarted untimed, so the timed blocks always capture. With the second argument 0
// the pair is fresh from the system, as in an effect's first capture, and the timed blocks pay
// its first-touch page faults; with 1 a whole loop was captured into it first, as in every later
// capture of a loop that fits.
void CaptureLongLoop(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Session session(Transport{30.0, 44100.0, 1.0}, frames);
    const std::int64_t blocks = blocksPerRound(frames);
    if (state.range(1) != 0) {
        session.setParameter(kLoopLength, stepValue(64));
        session.runUntilCaptured();
        session.setParameter(kLoopLength, stepValue(64));
        while (session.loopHeld()) {
            session.block();
        }
    }
    std::int64_t captured = 0;
    // A Loop Length set while no loop is held restarts the capture in the next block; the block
    // after it sets up new buffers and captures from its first frame.
    const auto restart = [&] {
        session.setParameter(kLoopLength, stepValue(64));
        session.blocks(2);
        captured = frames;
    };
    restart();
    CaptureCopy copy(session.state().loopLengthSamples, frames);
    bool completed = false;
    const auto prepare = [&] {
        if (captured + (blocks + 1) * frames >= session.state().loopLengthSamples) {
            restart();
        }
    };
    const auto run = [&] {
        session.blocks(blocks);
        captured += blocks * frames;
        completed = completed || session.loopHeld() || !session.state().captureActive;
    };
    measureInterleaved(state, Side{prepare, run, blocks * frames},
                       Side{{}, [&] { copy.blocks(blocks); }, blocks * frames});
    if (completed) {
        state.SkipWithError("a timed round left the capture");
    }
}

void blockSizes(benchmark::internal::Benchmark* bench)
{
    bench->Arg(32)->Arg(256)->Arg(4096)->Iterations(kRounds)->UseManualTime();
}

BENCHMARK(PlaybackDefault)->Apply(blockSizes);
BENCHMARK(PlaybackAllFades)->Apply(blockSizes);
BENCHMARK(PlaybackReverseSilence)->Apply(blockSizes);
BENCHMARK(CaptureLongLoop)
    ->ArgsProduct({{32, 256, 4096}, {0, 1}})
    ->Iterations(kRounds)
    ->UseManualTime();

} // namespace

} // namespace bench
