// Plays a fixed set of host sessions through a plug-in library and prints one line per session:
// its name, the frames played, the frames whose output differs from the input, and a digest of
// everything the plug-in wrote. Builds of the plug-in for different platforms must print the
// same lines; the run also fails when the sessions do not show the effect at work.
//
// Usage: scenario_digest <plug-in library>
// Exit status: 0 when every session ran and looked sound, 1 when a session did not, 2 when the
// library could not be loaded or gave no effect.
#include "tests/scenarios/plugin_library.h"
#include "tests/scenarios/scenario_session.h"

#include <cinttypes>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace vorblexter::scenarios {
namespace {

// What a session must show for the effect to be at work.
enum class Expect {
    sliced,      // some frames play the loop, others pass the input through
    passThrough, // every frame equals its input
    noAudio,     // texts and values only
};

struct Scenario {
    const char* name;
    HostSetup setup;
    Expect expect;
    std::function<void(ScenarioSession&)> play;
};

struct Outcome {
    std::string name;
    std::int64_t frames = 0;
    std::int64_t changed = 0;
    std::uint64_t digest = 0;
    Expect expect = Expect::sliced;
};

std::int64_t framesIn(double seconds, double sampleRate)
{
    return static_cast<std::int64_t>(seconds * sampleRate);
}

// A plan that makes every kind of slice likely: shuffled, repeated, reversed and silenced.
void busyPlan(ScenarioSession& session)
{
    session.setParameter(kVorblex, 1.0f);
    session.setParameter(kRepetition, 0.3f);
    session.setParameter(kReverse, 0.25f);
    session.setParameter(kSilence, 0.1f);
}

const std::vector<VstInt32> kVaryingBlocks = {1,    37,  512, 4096, 100,  3,
                                              2048, 777, 64,  1000, 4095, 2};

std::vector<Scenario> scenarios()
{
    std::vector<Scenario> list;

    list.push_back({"tempo120-4/4-block512",
                    {"Steinberg", 44100.0, 120.0, 4, 4, 512},
                    Expect::sliced,
                    [](ScenarioSession& s) {
                        busyPlan(s);
                        s.setParameter(kCutsPerBar, 0.45f); // 8 slices per 4 beats
                        s.play(framesIn(12.0, 44100.0), {512});
                    }});

    list.push_back({"tempo97.35-3/4-block37",
                    {"Ableton", 48000.0, 97.35, 3, 4, 37},
                    Expect::sliced,
                    [](ScenarioSession& s) {
                        s.setParameter(kLoopLength, 0.15f); // 2 beats
                        s.setParameter(kCutsPerBar, 0.6f);  // 16 per 4 beats: 8 slices
                        s.setParameter(kVorblex, 0.75f);
                        s.setParameter(kRepetition, 0.5f);
                        s.setParameter(kVariation, 0.3f); // a new order every 4 passes
                        s.play(framesIn(10.0, 48000.0), {37});
                    }});

    list.push_back({"tempo133.33-7/8-block1",
                    {"Steinberg", 44100.0, 133.33, 7, 8, 1},
                    Expect::sliced,
                    [](ScenarioSession& s) {
                        busyPlan(s);
                        s.setParameter(kLoopLength, 0.0f); // 1 beat
                        s.setParameter(kCutsPerBar, 1.0f); // 64 per 4 beats: 16 slices
                        s.setParameter(kEnvelope, 0.25f);  // 10 frames
                        s.play(framesIn(3.0, 44100.0), {1});
                    }});

    list.push_back({"tempo174-4/4-block4096",
                    {"Steinberg", 96000.0, 174.0, 4, 4, 4096},
                    Expect::sliced,
                    [](ScenarioSession& s) {
                        s.setParameter(kLoopLength, 0.45f); // 8 beats
                        s.setParameter(kCutsPerBar, 0.3f);  // 4 per 4 beats: 8 slices
                        s.setParameter(kEnvelope, 1.0f);    // 10000 frames
                        s.setParameter(kReverse, 1.0f);
                        s.setParameter(kSilence, 0.3f);
                        s.setParameter(kVorblex, 1.0f);
                        s.play(framesIn(16.0, 96000.0), {4096});
                    }});

    list.push_back({"tempo100.5-6/8-varying-blocks",
                    {"Built with Ableton inside", 88200.0, 100.5, 6, 8, 4096},
                    Expect::sliced,
                    [](ScenarioSession& s) {
                        busyPlan(s);
                        s.setParameter(kCutsPerBar, 0.75f); // 32 per 4 beats
                        s.play(framesIn(9.0, 88200.0), kVaryingBlocks);
                    }});

    list.push_back({"pre-roll-from-negative-position",
                    {"Steinberg", 44100.0, 112.0, 5, 4, 300},
                    Expect::sliced,
                    [](ScenarioSession& s) {
                        busyPlan(s);
                        s.locate(-30000.0); // a count-in before the song's start
                        s.play(framesIn(8.0, 44100.0), {300});
                    }});

    // Every parameter moves at various blocks during capture and playback, including the
    // thresholds of the stepped ones and both ends of the range.
    list.push_back({"automation-all-parameters",
                    {"Steinberg", 44100.0, 126.0, 4, 4, 512},
                    Expect::sliced,
                    [](ScenarioSession& s) {
                        struct Move {
                            VstInt32 parameter;
                            float value;
                        };
                        const std::vector<Move> moves = {
                            {kVorblex, 1.0f},    {kCutsPerBar, 0.45f}, {kReverse, 0.57f},
                            {kEnvelope, 0.5f},   {kSilence, 0.2f},     {kRepetition, 1.0f},
                            {kVariation, 0.15f}, {kLoopLength, 0.3f},  {kCutsPerBar, 0.9f},
                            {kEnvelope, 0.0f},   {kReverse, 0.0f},     {kLoopLength, 0.15f},
                            {kVorblex, 0.3333f}, {kVariation, 0.0f},   {kSilence, 0.0f},
                            {kEnvelope, 0.75f},  {kRepetition, 0.0f},  {kCutsPerBar, 0.1499f},
                            {kLoopLength, 0.3f}, {kReverse, 1.0f},     {kEnvelope, 0.3f},
                        };
                        const std::vector<std::int64_t> gaps = {30, 170, 64, 9, 255, 120, 1};
                        std::size_t gap = 0;
                        for (const Move& move : moves) {
                            s.play(gaps[gap++ % gaps.size()] * 512, {512, 512, 96, 512, 1024});
                            s.setParameter(move.parameter, move.value);
                        }
                        s.readParameters();
                        s.play(framesIn(6.0, 44100.0), {512});
                    }});

    list.push_back({"suspend-resume",
                    {"Steinberg", 44100.0, 120.0, 4, 4, 512},
                    Expect::sliced,
                    [](ScenarioSession& s) {
                        busyPlan(s);
                        s.play(framesIn(3.0, 44100.0), {512}); // mid-capture
                        s.suspend();
                        s.locate(200000.0);
                        s.resume();
                        s.readParameters();
                        s.play(framesIn(6.0, 44100.0), {512});
                        s.suspend(); // during playback, elsewhere in the song
                        s.locate(1234567.0);
                        s.resume();
                        s.play(framesIn(4.0, 44100.0), {512});
                        s.suspend(); // and in place
                        s.resume();
                        s.play(framesIn(2.0, 44100.0), {256});
                    }});

    list.push_back({"transport-jumps-and-stops",
                    {"Steinberg", 44100.0, 140.0, 4, 4, 512},
                    Expect::sliced,
                    [](ScenarioSession& s) {
                        busyPlan(s);
                        s.setParameter(kCutsPerBar, 0.6f);
                        s.play(framesIn(6.0, 44100.0), {512});
                        s.locate(44100.0); // back, and keeps running
                        s.play(framesIn(2.0, 44100.0), {512});
                        s.locate(0.0); // back to the start, then stands (rewinding)
                        s.setRunning(false);
                        s.play(20 * 512, {512});
                        s.setRunning(true);
                        s.play(framesIn(5.0, 44100.0), {512});
                        s.setRunning(false); // stopped where it was
                        s.play(10 * 512, {512});
                        s.setRunning(true);
                        s.play(framesIn(3.0, 44100.0), {512});
                        s.locate(900000.0); // forward
                        s.setTimeInfoAvailable(false);
                        s.play(8 * 512, {512});
                        s.setTimeInfoAvailable(true);
                        s.setTempo(150.0);
                        s.setParameter(kLoopLength, 0.3f); // the new tempo takes over
                        s.play(framesIn(6.0, 44100.0), {512});
                    }});

    list.push_back({"accumulating-entry-2/4",
                    {"Steinberg", 44100.0, 90.0, 2, 4, 1024},
                    Expect::sliced,
                    [](ScenarioSession& s) {
                        busyPlan(s);
                        s.playAccumulating(framesIn(10.0, 44100.0), {1024});
                    }});

    // A host the effect does not take tempo from: it must leave the audio alone. The transport
    // starts at a locator, so no block stands still.
    list.push_back({"vendor-not-followed",
                    {"Tonstudio Nord", 44100.0, 120.0, 4, 4, 4096},
                    Expect::passThrough,
                    [](ScenarioSession& s) {
                        busyPlan(s);
                        s.locate(3.0 * 88200.0);
                        s.play(framesIn(4.0, 44100.0), kVaryingBlocks);
                        s.setParameter(kLoopLength, 0.0f);
                        s.setParameter(kCutsPerBar, 1.0f);
                        s.suspend();
                        s.resume();
                        s.play(framesIn(4.0, 44100.0), kVaryingBlocks);
                    }});

    list.push_back({"parameter-texts",
                    {"Steinberg", 44100.0, 120.0, 4, 4, 512},
                    Expect::noAudio,
                    [](ScenarioSession& s) {
                        s.readParameters(); // construction defaults, as resume reports them
                        const float values[] = {0.0f,        0.1499f, 0.15f, 0.25f, 0.3f,
                                                0.32525751f, 0.45f,   0.5f,  0.57f, 0.6f,
                                                0.75f,       0.8999f, 0.9f,  1.0f};
                        for (const float value : values) {
                            for (VstInt32 index = 0; index < 8; ++index) {
                                s.setParameter(index, value);
                            }
                            s.readParameters();
                            s.suspend();
                            s.resume();
                            s.readParameters();
                        }
                    }});

    return list;
}

bool looksSound(const Outcome& outcome)
{
    switch (outcome.expect) {
    case Expect::sliced:
        return outcome.changed > 0 && outcome.changed < outcome.frames;
    case Expect::passThrough:
        return outcome.frames > 0 && outcome.changed == 0;
    case Expect::noAudio:
        return outcome.frames == 0;
    }
    return false;
}

} // namespace
} // namespace vorblexter::scenarios

int main(int argc, char** argv)
{
    using namespace vorblexter::scenarios;
    if (argc != 2) {
        std::fprintf(stderr, "usage: scenario_digest <plug-in library>\n");
        return 2;
    }
    PluginLibrary library(argv[1]);
    if (library.entry() == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], library.error().c_str());
        return 2;
    }

    std::vector<Outcome> outcomes;
    for (const Scenario& scenario : scenarios()) {
        ScenarioSession session(library.entry(), scenario.setup);
        if (!session.created()) {
            std::fprintf(stderr, "%s: the plug-in's main answered no effect\n", scenario.name);
            return 2;
        }
        scenario.play(session);
        outcomes.push_back({scenario.name, session.frames(), session.changedFrames(),
                            session.digest(), scenario.expect});
        std::printf("%-32s frames=%" PRId64 " changed=%" PRId64 " digest=%016" PRIx64 "\n",
                    scenario.name, session.frames(), session.changedFrames(), session.digest());
    }
    std::fflush(stdout);

    int status = 0;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        if (!looksSound(outcomes[i])) {
            std::fprintf(stderr, "%s: output does not show the expected effect\n",
                         outcomes[i].name.c_str());
            status = 1;
        }
        for (std::size_t j = i + 1; j < outcomes.size(); ++j) {
            if (outcomes[i].digest == outcomes[j].digest) {
                std::fprintf(stderr, "%s and %s have the same digest\n", outcomes[i].name.c_str(),
                             outcomes[j].name.c_str());
                status = 1;
            }
        }
    }
    return status;
}
