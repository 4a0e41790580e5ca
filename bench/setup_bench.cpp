// The worst single block where the buffers are set up: from the first block of a session to the
// end of its capture, and around Loop Length changes of a long loop. Every block is timed on its
// own and the worst is set against the median capture block of the same session.
#include "bench/interleaved.h"
#include "bench/session.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
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

// Every block of one stretch of a session, in seconds, in order. `restartAt` is the first block
// after the capture restarted (0 when the stretch begins with the capture).
struct Stretch {
    std::vector<double> blocks;
    std::vector<bool> capturing;
    std::size_t restartAt = 0;
    double worst() const { return *std::max_element(blocks.begin(), blocks.end()); }
    void add(double seconds, bool capture)
    {
        blocks.push_back(seconds);
        capturing.push_back(capture);
    }
};

// The sessions of one case play the same blocks, so a cost the engine itself causes (a set-up,
// a draw, a release of memory) comes back at the same block every time, while a preemption or a
// stall of this shared machine lands on some other block each time. The worst block reported is
// therefore the worst of the per-block minima over the sessions (blocks aligned on the restart);
// the raw worst of each session is reported beside it.
class Summary {
public:
    void add(Stretch stretch) { stretches.push_back(std::move(stretch)); }
    void report(benchmark::State& state, const char* prefix, std::int64_t loopFrames) const
    {
        const std::string p(prefix);
        std::size_t before = SIZE_MAX, after = SIZE_MAX;
        std::vector<double> rawWorst, rawRatios;
        for (const Stretch& s : stretches) {
            before = std::min(before, s.restartAt);
            after = std::min(after, s.blocks.size() - s.restartAt);
        }
        std::vector<double> floor(before + after, 1e300);
        std::vector<bool> capturing(before + after, true);
        for (const Stretch& s : stretches) {
            for (std::size_t k = 0; k < before + after; ++k) {
                const std::size_t at =
                    k < before ? s.restartAt - before + k : s.restartAt + k - before;
                floor[k] = std::min(floor[k], s.blocks[at]);
                capturing[k] = capturing[k] && s.capturing[at];
            }
            std::vector<double> capture;
            for (std::size_t k = 0; k < s.blocks.size(); ++k) {
                if (s.capturing[k]) {
                    capture.push_back(s.blocks[k]);
                }
            }
            rawWorst.push_back(s.worst());
            rawRatios.push_back(s.worst() / median(capture));
        }
        std::vector<double> capture;
        for (std::size_t k = 0; k < floor.size(); ++k) {
            if (capturing[k]) {
                capture.push_back(floor[k]);
            }
        }
        const double worst = *std::max_element(floor.begin(), floor.end());
        const double steady = median(capture);
        state.counters[p + "worst_block_us"] = worst * 1e6;
        state.counters[p + "capture_block_us"] = steady * 1e6;
        state.counters[p + "ratio"] = worst / steady;
        state.counters[p + "raw_worst_block_us"] = median(rawWorst) * 1e6;
        state.counters[p + "raw_ratio"] = median(rawRatios);
        state.counters[p + "worst_ns_per_loop_frame"] =
            worst * 1e9 / static_cast<double>(loopFrames);
    }

private:
    std::vector<Stretch> stretches;
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
        while (!session.loopHeld()) {
            stretch.add(timedBlock(session), true);
        }
        state.SetIterationTime(stretch.worst());
        loopFrames = session.state().loopLengthSamples;
        summary.add(std::move(stretch));
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
    while (!restarted || !session.loopHeld()) {
        const double seconds = timedBlock(session);
        if (!restarted && !session.loopHeld()) {
            restarted = true;
            stretch.restartAt = stretch.blocks.size();
        }
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
    const std::int64_t longLoop = session.state().loopLengthSamples;
    Summary down, up;
    for (auto _ : state) {
        const Stretch shorter = changeLoopLength(session, 32);
        const Stretch longer = changeLoopLength(session, 64);
        state.SetIterationTime(std::max(shorter.worst(), longer.worst()));
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
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

} // namespace bench
