// Measures an engine case against its copy in alternating rounds of the same run, so that load on
// the machine lands on both sides alike and cancels out of their ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace bench {

struct Side {
    std::function<void()> prepare; // untimed, before each round; may be empty
    std::function<void()> run;     // the timed work of one round
    std::int64_t frames = 0;       // frames `run` moves
};

// One round per benchmark iteration (register with Iterations(n) and UseManualTime()): the two
// sides run back to back, in turn first, timed in the thread's CPU time. The iteration time is
// the engine's; the counters are
// medians over the rounds: ns_per_frame, copy_ns_per_frame, ratio (of each round's two sides),
// frames_per_s.
void measureInterleaved(benchmark::State& state, const Side& engine, const Side& copy);

double median(std::vector<double> values);

} // namespace bench
