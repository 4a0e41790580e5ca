// The worst single block where the buffers are set up: from the first block of a session to the
// end of its capture, and around Loop Length changes of a long loop. Every block is timed on its
// own and the worst is set against the median capture block of the same session.
#include "bench/interleaved.h"
#include "bench/session.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

namespace bench {

namespace {

using vorblexter::kLoopLength;

struct LoopCase {
    int beats;
    double tempo;
    double sampleRate;
};

// From the default loop up to the longest the parameters allow at a common high rate.
constexpr std::array<LoopCase, 6> kLoops{{
    {4, 120.0, 44100.0},  // 88,200 frames
    {16, 120.0, 44100.0}, // 352,800
    {64, 120.0, 44100.0}, // 1,411,200
    {64, 60.0, 48000.0},  // 3,072,000
    {64, 30.0, 44100.0},  // 5,644,800
    {64, 30.0, 96000.0},  // 12,288,000
}};

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Blocks are timed by the wall clock, which a host's deadline follows (a page fault or a release
// of memory counts, however the system spends it). Its own cost, measured once, is taken off each
// reading, since a small block is not much longer.
double timedBlock(Session& session)
{
    static const double clockCost = [] {
        std::vector<double> empty;
        for (int i = 0; i < 101; ++i) {
            const double start = wallSeconds();
            empty.push_back(wallSeconds() - start);
        }
        return median(empty);
    }();
    const double start = wallSeconds();
    session.block();
    const double end = wallSeconds();
    return std::max(end - start - clockCost, 1e-9);
}

// Worst and median capture block of one stretch of a session, in seconds.
struct Stretch {
    double worst = 0.0;
    std::vector<double> capture;
    void add(double seconds, bool capturing)
    {
        worst = std::max(worst, seconds);
        if (capturing) {
            capture.push_back(seconds);
        }
    }
};

// Medians over the sessions (iterations) of the worst block, the capture block and their ratio.
class Summary {
public:
    void add(const Stretch& stretch)
    {
        const double steady = median(stretch.capture);
        worst.push_back(stretch.worst);
        steadyBlocks.push_back(steady);
        ratios.push_back(steady > 0.0 ? stretch.worst / steady : 0.0);
    }
    void report(benchmark::State& state, const char* prefix, std::int64_t loopFrames) const
    {
        const std::string p(prefix);
        const double worstSeconds = median(worst);
        state.counters[p + "worst_block_us"] = worstSeconds * 1e6;
        state.counters[p + "capture_block_us"] = median(steadyBlocks) * 1e6;
        state.counters[p + "ratio"] = median(ratios);
        state.counters[p + "ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
        state.counters[p + "worst_ns_per_loop_frame"] =
            worstSeconds * 1e9 / static_cast<double>(loopFrames);
    }

private:
    std::vector<double> worst, steadyBlocks, ratios;
};

// A fresh effect per iteration, set to the loop's length as a host restoring a session would,
// played from a standing first block at position 0 until its loop is held.
void SetupFirstCapture(benchmark::State& state)
{
    const LoopCase& loop = kLoops[static_cast<std::size_t>(state.range(0))];
    const int frames = static_cast<int>(state.range(1));
    Summary summary;
    std::int64_t loopFrames = 0;
    for (auto _ : state) {
        Session session(Transport{loop.tempo, loop.sampleRate, 0.0}, frames);
        session.setParameter(kLoopLength, stepValue(loop.beats));
        Stretch stretch;
        while (!session.engine().loopCaptured) {
            stretch.add(timedBlock(session), true);
        }
        state.SetIterationTime(stretch.worst);
        loopFrames = session.engine().loopLengthSamples;
        summary.add(stretch);
    }
    state.counters["loop_frames"] = static_cast<double>(loopFrames);
    summary.report(state, "", loopFrames);
}

// Plays on from a change of Loop Length until the new loop is held: the playback up to the wrap
// where the capture restarts, the set-up, and the whole new capture.
Stretch changeLoopLength(Session& session, int beats)
{
    session.setParameter(kLoopLength, stepValue(beats));
    Stretch stretch;
    bool restarted = false;
    while (!restarted || !session.engine().loopCaptured) {
        const double seconds = timedBlock(session);
        restarted = restarted || !session.engine().loopCaptured;
        stretch.add(seconds, restarted);
    }
    return stretch;
}

// A 64-beat loop at 30 BPM / 96 kHz (12,288,000 frames) changed to 32 beats and back.
void SetupLoopLengthChange(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Session session(Transport{30.0, 96000.0, 1.0}, frames);
    session.setParameter(kLoopLength, stepValue(64));
    session.runUntilCaptured();
    const std::int64_t longLoop = session.engine().loopLengthSamples;
    Summary down, up;
    for (auto _ : state) {
        const Stretch shorter = changeLoopLength(session, 32);
        const Stretch longer = changeLoopLength(session, 64);
        state.SetIterationTime(std::max(shorter.worst, longer.worst));
        down.add(shorter);
        up.add(longer);
    }
    down.report(state, "down_", longLoop / 2);
    up.report(state, "up_", longLoop);
}

void firstCaptureCases(benchmark::internal::Benchmark* bench)
{
    const auto last = static_cast<std::int64_t>(kLoops.size() - 1);
    for (std::int64_t loop = 0; loop <= last; ++loop) {
        if (loop == 0 || loop == last) {
            bench->Args({loop, 32})->Args({loop, 256});
        }
        bench->Args({loop, 4096});
    }
    bench->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(SetupFirstCapture)->Apply(firstCaptureCases);
BENCHMARK(SetupLoopLengthChange)
    ->Arg(256)
    ->Arg(4096)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

} // namespace bench
