// Writes the LV2 fuzzer's seed corpus: short host sessions that each reach a different part of
// the binding and the effect behind it, so the fuzzer starts from meaningful call sequences.
// Each fits the fuzz stage's bounds (kMaxSeedBytes bytes, the player's frame budget) and breaks no
// check. Usage: make_lv2_seed_corpus <dir>.
#include "fuzz/lv2_event_player.h"
#include "fuzz/seed_corpus.h"
#include "lv2/plugin_descriptor.h"

#include <limits>
#include <string>
#include <vector>

namespace {

namespace fz = vorblexter::fuzzing;
using fz::Lv2EventWriter;
using fz::Lv2Property;
using fz::Lv2SequenceWriter;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Rolling at 240 BPM in 4/4 from `frame`: at 1000 Hz a 250-frame beat, a 1000-frame loop.
Lv2SequenceWriter rolling(std::int64_t frame, double tempo = 240.0, double speed = 1.0)
{
    Lv2SequenceWriter s;
    s.positionAt(frame, {{fz::kKeyFrame, static_cast<double>(frame)},
                         {fz::kKeySpeed, speed},
                         {fz::kKeyBeatsPerMinute, tempo},
                         {fz::kKeyBeatsPerBar, 4.0}});
    return s;
}

Lv2EventWriter session(double rate = 1000.0, int slot = 0)
{
    Lv2EventWriter w;
    w.instantiate(slot, rate).activate(slot);
    return w;
}

Lv2EventWriter& runs(Lv2EventWriter& w, int slot, int count, std::uint32_t frames,
                     std::uint8_t flags = 0)
{
    for (int i = 0; i < count; ++i) {
        w.run(slot, frames, {}, flags, fz::kLv2InputNoise, 0, static_cast<std::uint8_t>(i));
    }
    return w;
}

std::vector<fz::NamedSeed> seeds()
{
    std::vector<fz::NamedSeed> all;

    { // one position at the start, then the transport runs on by itself: capture, then play
        Lv2EventWriter w = session();
        w.control(0, 6, 100.0f).control(0, 7, 50.0f).control(0, 5, 50.0f);
        w.run(0, 512, rolling(0));
        runs(w, 0, 31, 512);
        all.emplace_back("rolling_capture_then_play", w.bytes());
    }
    { // stopped, started mid-run, relocated as a host does it: speed 0 at the old frame, two
      // stopped runs, speed 1 at the new frame; then a jump backwards
        Lv2EventWriter w = session();
        w.run(0, 256, rolling(0, 240.0, 0.0));
        Lv2SequenceWriter start;
        start.position(fz::kFrameMiddle, {{fz::kKeySpeed, 1.0}});
        w.run(0, 256, start);
        runs(w, 0, 12, 256);
        w.run(0, 256, rolling(3328, 240.0, 0.0));
        runs(w, 0, 2, 256);
        w.run(0, 256, rolling(7000));
        runs(w, 0, 12, 256);
        w.run(0, 256, rolling(1000));
        runs(w, 0, 8, 256);
        all.emplace_back("stop_start_relocate", w.bytes());
    }
    { // tempos and bars the effect must refuse or survive, each for a while
        Lv2EventWriter w = session();
        w.run(0, 512, rolling(0));
        runs(w, 0, 4, 512);
        for (const double tempo : {120.0, kNaN, kInf, 0.0, -120.0, 1e30, 300.0}) {
            Lv2SequenceWriter s;
            s.position(fz::kFrameStart, {{fz::kKeyBeatsPerMinute, tempo}});
            w.run(0, 512, s);
            runs(w, 0, 1, 512);
        }
        for (const double bar : {0.0, -4.0, 3.0, 7.0, kNaN, 64.0}) {
            Lv2SequenceWriter s;
            s.position(fz::kFrameOne, {{fz::kKeyBeatsPerBar, bar}, {fz::kKeyBeatUnit, bar}});
            w.run(0, 512, s);
        }
        all.emplace_back("tempo_and_bar_extremes", w.bytes());
    }
    { // every control moved between runs, to edges, past them and to non-finite values
        Lv2EventWriter w = session();
        w.run(0, 512, rolling(0));
        runs(w, 0, 3, 512);
        const float values[] = {
            1.0f,   15.9f, 64.0f, 65.0f, -1.0f, 10001.0f, std::numeric_limits<float>::quiet_NaN(),
            3.0e38f};
        for (int i = 0; i < 8; ++i) {
            for (std::uint32_t port = 5; port < 13; ++port) {
                w.control(0, port, values[(static_cast<int>(port) + i) % 8]);
            }
            runs(w, 0, 2, 512);
        }
        all.emplace_back("controls_out_of_range", w.bytes());
    }
    { // events that lie: sizes past the sequence, truncated and mistyped positions, nesting
        Lv2EventWriter w = session();
        w.run(0, 512, rolling(0));
        Lv2SequenceWriter lies;
        lies.raw(fz::kFrameStart, 0, {0, 0, 0, 0, 15, 0, 0, 0}, 4000);
        lies.corrupt(fz::kFrameOne, {{fz::kKeyBeatsPerMinute, 120.0}}, 4, 0xFFFFFFF8u);
        w.run(0, 512, lies);
        Lv2SequenceWriter types;
        types.position(fz::kFrameMiddle, {{fz::kKeySpeed, 1.0, 6},
                                          {fz::kKeyBeatsPerMinute, 240.0, 7},
                                          {fz::kKeyBeatsPerBar, 4.0, 2},
                                          {fz::kKeyFrame, 1024.0, 5}});
        types.corrupt(fz::kFrameLast, {{fz::kKeyFrame, 1536.0}}, 6, 9);
        w.run(0, 512, types);
        Lv2SequenceWriter cut(0);
        cut.truncate(13).position(fz::kFrameStart, {{fz::kKeyBeatsPerMinute, 240.0}});
        w.run(0, 512, cut);
        Lv2SequenceWriter chunk(2); // a Chunk where a Sequence belongs
        chunk.position(fz::kFrameStart, {{fz::kKeySpeed, 0.0}});
        w.run(0, 512, chunk);
        Lv2SequenceWriter beats(8); // stamped in beats
        beats.position(fz::kFrameStart, {{fz::kKeyFrame, 9999.0}});
        w.run(0, 512, beats);
        runs(w, 0, 20, 512);
        all.emplace_back("malformed_atoms", w.bytes());
    }
    { // stamps out of the run, backwards and at the extremes of 64 bits
        Lv2EventWriter w = session();
        w.run(0, 256, rolling(0));
        Lv2SequenceWriter s;
        s.position(fz::kFramePastRun, {{fz::kKeySpeed, 1.0}});
        s.position(fz::kFrameBeforePrevious, {{fz::kKeyFrame, 300.0}});
        s.position(fz::kFrameMinusOne, {{fz::kKeyBeatsPerMinute, 240.0}});
        s.position(fz::kFrameMost, {{fz::kKeyFrame, 2147483648.0}});
        s.position(fz::kFrameLeast, {{fz::kKeyFrame, 9.3e18}});
        s.position(fz::kFrameHuge, {{fz::kKeyFrame, -1.0}});
        w.run(0, 256, s);
        runs(w, 0, 4, 256);
        w.run(0, 256, rolling(2000));
        runs(w, 0, 16, 256);
        all.emplace_back("stamps_out_of_range", w.bytes());
    }
    { // instantiation refused without a map, with a null one, at rates no loop fits; a failing
      // map and unrelated features are survived
        Lv2EventWriter w;
        w.instantiate(0, 1000.0, fz::kInstantiateNoMap)
            .instantiate(0, 1000.0, fz::kInstantiateNullMap);
        w.instantiate(0, kNaN).instantiate(0, 0.0).instantiate(0, -44100.0).instantiate(0, 1e300);
        w.instantiate(0, 1.0).instantiate(0, 1000.0, fz::kInstantiateFailingMap);
        w.activate(0).run(0, 512, rolling(0));
        runs(w, 0, 3, 512);
        w.cleanup(0).instantiate(0, 48000.0, fz::kInstantiateOtherFeatures).activate(0);
        w.run(0, 512, rolling(0, 11250.0)); // a 256-frame beat at 48 kHz
        runs(w, 0, 20, 512);
        all.emplace_back("instantiate_features_and_rates", w.bytes());
    }
    { // two instances, in place and moved buffers, activation cycles, one cleaned up mid-way
        Lv2EventWriter w = session(1000.0, 0);
        w.instantiate(1, 44100.0).activate(1);
        w.run(0, 333, rolling(0), fz::kRunInPlace).run(1, 333, rolling(0, 120.0));
        for (int i = 0; i < 10; ++i) {
            const auto flags = static_cast<std::uint8_t>(i % 4);
            w.run(0, 333, {}, flags, fz::kLv2InputRamp, static_cast<std::uint8_t>(7 * i));
            w.run(1, 333, {}, static_cast<std::uint8_t>(flags ^ 1), fz::kLv2InputNoise);
        }
        w.deactivate(0).run(0, 333).activate(0).run(0, 333, rolling(0));
        w.deactivate(1).activate(1).deactivate(1).cleanup(1);
        runs(w, 0, 16, 333, fz::kRunInPlace);
        all.emplace_back("two_instances_in_place", w.bytes());
    }
    { // ports left alone: no atom port at all (pass-through), null ports, then connected
        Lv2EventWriter w;
        w.instantiate(0, 1000.0, fz::kInstantiateNoAtomPort).activate(0);
        w.control(0, 12, 1.0f);
        runs(w, 0, 4, 1024);
        w.instantiate(1, 1000.0, fz::kInstantiateUnconnected).activate(1).run(1, 256, rolling(0));
        for (std::uint32_t port = 0; port < 16; ++port) {
            w.connect(1, port);
        }
        w.connect(1, 2, true).run(1, 256).connect(1, 13, true).connect(1, 2).run(1, 256);
        w.connect(1, 4, true).run(1, 256).connect(1, 4).run(1, 256, rolling(256));
        runs(w, 1, 20, 256);
        all.emplace_back("unconnected_ports", w.bytes());
    }
    { // run lengths from 0 to the longest, one NaN and one infinity captured into the loop
        Lv2EventWriter w = session();
        w.run(0, 0, rolling(0)).run(0, 1).run(0, 2).run(0, 3).run(0, 4096).run(0, 0);
        w.run(0, 997, {}, 0, fz::kLv2InputOneBad, 0, 0)
            .run(0, 997, {}, 0, fz::kLv2InputOneBad, 0, 3);
        w.run(0, 4095, {}, 0, fz::kLv2InputHuge).run(0, 4096, {}, 0, fz::kLv2InputConstant);
        w.run(0, 100, {}, 0, fz::kLv2InputSilence);
        all.emplace_back("run_lengths_and_bad_samples", w.bytes());
    }
    return all;
}

} // namespace

int main(int argc, char** argv)
{
    return fz::writeSeedFolder(
        argc, argv, seeds(),
        [](const std::vector<std::uint8_t>& bytes) {
            return fz::playLv2Events(vorblexter::lv2::pluginDescriptor(), bytes.data(),
                                     bytes.size());
        },
        [](const std::vector<std::uint8_t>& bytes, const fz::Lv2PlayOutcome& outcome) {
            return bytes.size() <= fz::kMaxSeedBytes && outcome.runsOverBudget == 0;
        });
}
