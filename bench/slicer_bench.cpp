// Speed of the audio path in its steady states, and of the set-up work done at loop wraps.
//
// Targets (release build, one core of the CI machine): steady playback and capture well over
// 100x real time for a stereo stream at 48 kHz, i.e. under ~200 ns per frame; a draw of the
// largest plan (1024 slices) well under a millisecond. Counters report frames per second and
// the effect's fixed memory.
#include "engine/slicer_effect.h"
#include "host/plugin_entry.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

VstTimeInfo benchTime{};

VstIntPtr benchHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(&benchTime);
    case audioMasterGetVendorString:
        std::strcpy(static_cast<char*>(ptr), "Steinberg");
        return 1;
    case audioMasterGetProductString:
        std::strcpy(static_cast<char*>(ptr), "bench");
        return 1;
    default:
        return 0;
    }
}

// One effect with a running transport at 120 BPM, 48 kHz, 4/4, fed a stereo tone.
class Session {
public:
    explicit Session(int blockFrames)
        : effect(vorblexterPluginMain(&benchHost)), left(static_cast<std::size_t>(blockFrames)),
          right(left.size()), outLeft(left.size()), outRight(left.size())
    {
        benchTime = VstTimeInfo{};
        benchTime.tempo = 120.0;
        benchTime.sampleRate = 48000.0;
        benchTime.timeSigNumerator = 4;
        benchTime.timeSigDenominator = 4;
        benchTime.samplePos = 1.0;
        for (std::size_t i = 0; i < left.size(); ++i) {
            left[i] = static_cast<float>(std::sin(0.01 * static_cast<double>(i)));
            right[i] = -left[i];
        }
    }
    ~Session() { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void block()
    {
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, static_cast<VstInt32>(left.size()));
        benchTime.samplePos += static_cast<double>(left.size());
    }

    vorblexter::SlicerEffect& engine()
    {
        return *static_cast<vorblexter::SlicerEffect*>(effect->object);
    }

    AEffect* effect;
    std::vector<float> left, right, outLeft, outRight;
};

void setShowyPlan(AEffect* effect)
{
    effect->setParameter(effect, vorblexter::kReverse, 0.3f);
    effect->setParameter(effect, vorblexter::kVorblex, 0.6f);
    effect->setParameter(effect, vorblexter::kRepetition, 0.3f);
    effect->setParameter(effect, vorblexter::kSilence, 0.1f);
    effect->setParameter(effect, vorblexter::kCutsPerBar, 0.6f); // 16 slices per bar
    effect->setParameter(effect, vorblexter::kEnvelope, 0.5f);   // 100-frame fades
}

void SteadyPlayback(benchmark::State& state)
{
    const auto frames = static_cast<int>(state.range(0));
    Session session(frames);
    setShowyPlan(session.effect);
    while (!session.engine().loopCaptured) {
        session.block();
    }
    session.block(); // past the completing block
    for (auto _ : state) {
        session.block();
        benchmark::DoNotOptimize(session.outLeft.data());
    }
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * frames, benchmark::Counter::kIsRate);
}
BENCHMARK(SteadyPlayback)->Arg(64)->Arg(512)->Arg(4096);

void SteadyCapture(benchmark::State& state)
{
    const auto frames = static_cast<int>(state.range(0));
    Session session(frames);
    // A 64-beat loop at 120 BPM is 32 s long, so the timed blocks all capture.
    session.effect->setParameter(session.effect, vorblexter::kLoopLength, 1.0f);
    while (!session.engine().captureActive) {
        session.block();
    }
    session.block();
    for (auto _ : state) {
        if (session.engine().loopCaptured) {
            state.PauseTiming();
            session.engine().restartCapture();
            session.block();
            state.ResumeTiming();
        }
        session.block();
        benchmark::DoNotOptimize(session.outLeft.data());
    }
    state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(SteadyCapture)->Arg(512);

void DrawLargestPlan(benchmark::State& state)
{
    Session session(512);
    setShowyPlan(session.effect);
    // 64 cuts per bar over a 64-beat loop: the most slices the parameters can ask for.
    vorblexter::SlicerEffect& engine = session.engine();
    engine.sliceCount = 1024;
    for (auto _ : state) {
        engine.randomiseSlices();
        benchmark::DoNotOptimize(engine.sliceOrder.data());
    }
    state.counters["slices"] = 1024;
}
BENCHMARK(DrawLargestPlan);

void FixedMemory(benchmark::State& state)
{
    for (auto _ : state) {
        Session session(64);
        benchmark::DoNotOptimize(session.effect);
    }
    state.counters["objectBytes"] = static_cast<double>(sizeof(vorblexter::SlicerEffect));
    state.counters["sliceRecordBytes"] =
        static_cast<double>(vorblexter::kMaxSlices * sizeof(vorblexter::Slice));
}
BENCHMARK(FixedMemory);

} // namespace

BENCHMARK_MAIN();
