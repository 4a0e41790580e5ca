#include "bench/interleaved.h"

#include <time.h>

#include <algorithm>
#include <vector>

namespace bench {

namespace {

// The thread's own CPU time: time slices taken by other processes on a shared machine do not
// count, while the page faults and system calls of the work itself do.
double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Reading that clock is a system call, as long as a short round of small blocks: its cost is
// measured once and taken off every reading.
double clockCost()
{
    static const double cost = [] {
        std::vector<double> empty;
        for (int i = 0; i < 101; ++i) {
            const double start = threadSeconds();
            empty.push_back(threadSeconds() - start);
        }
        return median(empty);
    }();
    return cost;
}

double secondsOf(const std::function<void()>& work)
{
    const double start = threadSeconds();
    work();
    const double end = threadSeconds();
    return std::max(end - start - clockCost(), 1e-9);
}

} // namespace

double median(std::vector<double> values)
{
    if (values.empty()) {
        return 0.0;
    }
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1) {
        return *middle;
    }
    return (*middle + *std::max_element(values.begin(), middle)) / 2.0;
}

void measureInterleaved(benchmark::State& state, const Side& engine, const Side& copy)
{
    std::vector<double> engineNs, copyNs, ratios;
    bool engineFirst = true;
    for (auto _ : state) {
        if (engine.prepare) {
            engine.prepare();
        }
        if (copy.prepare) {
            copy.prepare();
        }
        double engineSeconds = 0.0;
        double copySeconds = 0.0;
        if (engineFirst) {
            engineSeconds = secondsOf(engine.run);
            copySeconds = secondsOf(copy.run);
        } else {
            copySeconds = secondsOf(copy.run);
            engineSeconds = secondsOf(engine.run);
        }
        engineFirst = !engineFirst;
        state.SetIterationTime(engineSeconds);
        const double enginePerFrame = engineSeconds * 1e9 / static_cast<double>(engine.frames);
        const double copyPerFrame = copySeconds * 1e9 / static_cast<double>(copy.frames);
        engineNs.push_back(enginePerFrame);
        copyNs.push_back(copyPerFrame);
        ratios.push_back(enginePerFrame / copyPerFrame);
    }
    const double perFrame = median(engineNs);
    state.SetItemsProcessed(state.iterations() * engine.frames);
    state.counters["ns_per_frame"] = perFrame;
    state.counters["copy_ns_per_frame"] = median(copyNs);
    state.counters["ratio"] = median(ratios);
    state.counters["frames_per_s"] = perFrame > 0.0 ? 1e9 / perFrame : 0.0;
}

} // namespace bench
