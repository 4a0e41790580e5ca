// The budget meter: every block of a session that does what costs an audio block the most (a
// first capture, Loop Length up and down, a relocation, a slower tempo whose loop outgrows the
// held pair), timed on its own, as a share of its real-time budget (frames / rate).
//
// The session drives the VST 2.x effect through its record with the suite's test host, as a
// DAW would, the library's reclaim thread running beside it. At 192 kHz its 64-beat loops take
// two buffers of 49 MB, and at the slower tempo two of 98 MB; the pair it outgrows is released
// by the reclaim thread meanwhile.
//
// The session is played five times; every play has the same blocks, so a cost of the effect
// comes back at the same block each time while a stall of this shared machine does not: the
// worst block reported is the worst of the per-block minima. Counters: worst_block_us, its
// share of the budget (worst_share_pct; the target is at most 10), the phase it came in, the
// budget, the median block, and the raw worst (the median of each play's own worst block).
#include "engine/parameter_table.h"
#include "host/slicer_effect.h"
#include "tests/support/test_host.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

namespace {

using vorblexter::kLoopLength;
using vorblexter::kParameters;

enum Phase : std::uint8_t {
    kFirstCapture,
    kLoopUp,      // 4 to 64 beats
    kLoopDown,    // 64 to 16 beats
    kRelocation,  // back to the start, standing, then rolling: the capture restarts
    kTempoChange, // half the tempo, 32 beats: fills the held pair
    kOutgrowPair, // 64 beats at half the tempo: twice the held pair
    kPhaseCount,
};

constexpr std::array<const char*, kPhaseCount> kPhaseNames{
    "first capture", "loop 4 to 64",           "loop 64 to 16",
    "relocation",    "tempo halved, 32 beats", "64 beats at half tempo (outgrows the pair)"};

constexpr double kTempo = 60.0;
constexpr int kPlays = 5;

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The clock's own cost, taken off each reading: at 32 frames a block is not much longer.
double clockCost()
{
    static const double cost = [] {
        std::vector<double> readings;
        for (int i = 0; i < 101; ++i) {
            const double start = now();
            readings.push_back(now() - start);
        }
        std::nth_element(readings.begin(), readings.begin() + 50, readings.end());
        return readings[50];
    }();
    return cost;
}

class Play {
public:
    Play(double rate, int blockFrames)
        : frames(blockFrames), left(static_cast<std::size_t>(blockFrames), 0.5f),
          right(static_cast<std::size_t>(blockFrames), -0.5f)
    {
        host.setTransport(kTempo, rate);
        host.timeInfo.samplePos = 1.0;
        effect = host.createEffect();
        if (effect == nullptr) {
            throw std::runtime_error("the library made no effect");
        }
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    ~Play()
    {
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        host.forget(effect);
    }
    Play(const Play&) = delete;
    Play& operator=(const Play&) = delete;

    void setBeats(int beats)
    {
        effect->setParameter(effect, kLoopLength,
                             vorblexter::hostValueFromQuantity(kParameters[kLoopLength], beats));
    }

    // One timed block; the transport moves on unless it stands.
    void block(bool standing = false)
    {
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {out[0].data(), out[1].data()};
        const double start = now();
        effect->processReplacing(effect, inputs, outputs, frames);
        const double seconds = std::max(now() - start - clockCost(), 1e-9);
        times.push_back(seconds);
        phases.push_back(phase);
        if (!standing) {
            host.timeInfo.samplePos += frames;
        }
    }

    bool playing()
    {
        auto* object = static_cast<vorblexter::SlicerEffect*>(
            static_cast<vorblexter::EffectBase*>(effect->object));
        return object->engine().status().phase == vorblexter::EnginePhase::playing;
    }

    // Plays until a new loop has been captured (the one in capture, or the next one once the
    // playing loop's wrap restarts the capture), and a quarter second of it.
    void untilNewLoop()
    {
        bool restarted = !playing();
        const auto limit = static_cast<std::int64_t>(host.timeInfo.sampleRate * 1000.0);
        for (std::int64_t played = 0; played < limit; played += frames) {
            block();
            if (!playing()) {
                restarted = true;
            } else if (restarted) {
                for (std::int64_t tail = 0; tail < host.timeInfo.sampleRate / 4; tail += frames) {
                    block();
                }
                return;
            }
        }
        throw std::runtime_error("no new loop was captured");
    }

    void session()
    {
        phase = kFirstCapture;
        untilNewLoop(); // 4 beats
        phase = kLoopUp;
        setBeats(64);
        untilNewLoop();
        phase = kLoopDown;
        setBeats(16);
        untilNewLoop();
        phase = kRelocation; // a rewind to the start and a stop there restart the capture
        host.timeInfo.samplePos = 1.0;
        block(true);
        block(true);
        untilNewLoop();
        phase = kTempoChange;
        host.timeInfo.tempo = kTempo / 2;
        setBeats(32);
        untilNewLoop();
        phase = kOutgrowPair;
        setBeats(64);
        untilNewLoop();
    }

    std::vector<double> times;
    std::vector<Phase> phases;

private:
    vorblexter::testing::TestHost host;
    int frames;
    std::vector<float> left, right;
    std::array<std::vector<float>, 2> out{std::vector<float>(left.size()),
                                          std::vector<float>(left.size())};
    AEffect* effect = nullptr;
    Phase phase = kFirstCapture;
};

double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

void BudgetSession(benchmark::State& state)
{
    const double rate = static_cast<double>(state.range(0));
    const int frames = static_cast<int>(state.range(1));
    std::vector<double> floor;
    std::vector<Phase> phases;
    std::vector<double> rawWorst;
    for (auto _ : state) {
        Play play(rate, frames);
        play.session();
        if (floor.empty()) {
            floor = play.times;
            phases = play.phases;
        } else if (play.times.size() != floor.size() || play.phases != phases) {
            state.SkipWithError("the plays did not have the same blocks");
            return;
        }
        for (std::size_t k = 0; k < floor.size(); ++k) {
            floor[k] = std::min(floor[k], play.times[k]);
        }
        const double worst = *std::max_element(play.times.begin(), play.times.end());
        rawWorst.push_back(worst);
        state.SetIterationTime(worst);
    }
    const auto worstAt = std::max_element(floor.begin(), floor.end()) - floor.begin();
    const double budget = frames / rate;
    state.counters["worst_block_us"] = floor[static_cast<std::size_t>(worstAt)] * 1e6;
    state.counters["worst_share_pct"] = floor[static_cast<std::size_t>(worstAt)] / budget * 100;
    state.counters["worst_phase"] = phases[static_cast<std::size_t>(worstAt)];
    state.counters["budget_us"] = budget * 1e6;
    state.counters["median_block_us"] = median(floor) * 1e6;
    state.counters["raw_worst_block_us"] = median(rawWorst) * 1e6;
    state.counters["blocks"] = static_cast<double>(floor.size());
    state.SetLabel(kPhaseNames[phases[static_cast<std::size_t>(worstAt)]]);
}

BENCHMARK(BudgetSession)
    ->ArgsProduct({{44100, 96000, 192000}, {32, 256, 4096}})
    ->Iterations(kPlays)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

} // namespace bench
