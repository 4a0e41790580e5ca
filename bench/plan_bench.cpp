// The draw of the largest plan on its own, and the effect's fixed memory.
#include "bench/session.h"
#include "host/slicer_effect.h"
#include "tests/support/engine_access.h"

#include <benchmark/benchmark.h>

namespace bench {

namespace {

void DrawLargestPlan(benchmark::State& state)
{
    Session session(Transport{}, 512);
    session.setParameter(vorblexter::kReverse, percentValue(30));
    session.setParameter(vorblexter::kVorblex, percentValue(60));
    session.setParameter(vorblexter::kRepetition, percentValue(30));
    session.setParameter(vorblexter::kSilence, percentValue(10));
    // 64 cuts per bar over a 64-beat loop: the most slices the parameters can ask for.
    using vorblexter::testing::EngineAccess;
    vorblexter::SliceEngine& engine = session.engine();
    EngineAccess::state(engine).sliceCount = 1024;
    for (auto _ : state) {
        EngineAccess::randomiseSlices(engine);
        benchmark::DoNotOptimize(EngineAccess::state(engine).sliceOrder.data());
    }
    state.counters["slices"] = 1024;
}
BENCHMARK(DrawLargestPlan);

void FixedMemory(benchmark::State& state)
{
    for (auto _ : state) {
        Session session(Transport{}, 64);
        benchmark::DoNotOptimize(&session);
    }
    state.counters["objectBytes"] = static_cast<double>(sizeof(vorblexter::SlicerEffect));
    state.counters["sliceRecordBytes"] =
        static_cast<double>(vorblexter::kMaxSlices * sizeof(vorblexter::Slice));
}
BENCHMARK(FixedMemory);

} // namespace

} // namespace bench
