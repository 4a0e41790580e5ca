// Writes the seed corpus: short host sessions that each reach a different part of the effect, so
// the fuzzer starts from meaningful sequences instead of noise. Each stays within the bounds the
// fuzz stage runs with (kMaxSeedBytes bytes, the player's frame budget), so the fuzzer sees all of
// it. Usage: make_seed_corpus <dir>.
#include "fuzz/host_event_player.h"
#include "fuzz/seed_corpus.h"

#include <cmath>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

using vorblexter::fuzzing::HostEventWriter;
namespace fz = vorblexter::fuzzing;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// 240 BPM at 1000 Hz: a beat is 250 frames, the default 4-beat loop and a 4/4 bar 1000 frames.
HostEventWriter smallLoop(int slot = 0)
{
    HostEventWriter w;
    w.create(slot).transport(slot, 240.0, 1000.0, 4);
    return w;
}

HostEventWriter& blocks(HostEventWriter& w, int slot, int count, int frames, std::uint8_t flags = 0)
{
    for (int i = 0; i < count; ++i) {
        w.processNoise(slot, frames, static_cast<std::uint8_t>(i), flags);
    }
    return w;
}

std::vector<fz::NamedSeed> seeds()
{
    std::vector<fz::NamedSeed> all;

    { // capture at the transport's start, then several passes with every chance in play
        HostEventWriter w = smallLoop();
        w.setParameter(0, 0, 0.5f).setParameter(0, 1, 1.0f).setParameter(0, 2, 0.5f);
        w.setParameter(0, 6, 0.3f).setParameter(0, 4, 0.5f);
        w.processAt(0, 256, 1.0);
        blocks(w, 0, 24, 256);
        all.emplace_back("capture_then_play_shuffled", w.bytes());
    }
    { // capture waits for a bar line in the middle of the session
        HostEventWriter w = smallLoop();
        w.processAt(0, 300, 4321.0);
        blocks(w, 0, 20, 300);
        all.emplace_back("capture_from_bar_line", w.bytes());
    }
    { // loop length, cuts and variation changed during playback and during capture
        HostEventWriter w = smallLoop();
        w.setParameter(0, 3, 0.9f).setParameter(0, 5, 0.15f);
        w.processAt(0, 200, 1.0);
        blocks(w, 0, 12, 200);
        w.setParameter(0, 7, 0.0f).setParameter(0, 3, 0.3f);
        blocks(w, 0, 12, 200);
        w.setParameter(0, 7, 0.3f);
        blocks(w, 0, 3, 200);
        w.setParameter(0, 7, 0.45f).setParameter(0, 0, 1.0f);
        blocks(w, 0, 24, 200);
        all.emplace_back("parameter_changes_at_wraps", w.bytes());
    }
    { // the transport jumps back and stands (a locate), forward, negative and far away
        HostEventWriter w = smallLoop();
        w.processAt(0, 256, 1.0);
        blocks(w, 0, 8, 256);
        w.process(0, 256, 0, fz::kMoveBack).process(0, 256, 0, fz::kMoveStand);
        w.process(0, 256, 0, fz::kMoveStand);
        blocks(w, 0, 8, 256);
        w.process(0, 256, 0, fz::kMoveForward);
        w.processAt(0, 256, -5000.5).processAt(0, 256, 1e18).processAt(0, 256, kNaN);
        w.processAt(0, 256, kInf).processAt(0, 256, 2147483000.0);
        blocks(w, 0, 8, 256);
        all.emplace_back("transport_jumps", w.bytes());
    }
    { // suspend and resume while playing and while capturing; reported values after resume
        HostEventWriter w = smallLoop();
        w.setParameter(0, 0, 0.5f).processAt(0, 128, 1.0);
        blocks(w, 0, 10, 128);
        w.mainsChanged(0, false).mainsChanged(0, true);
        blocks(w, 0, 3, 128);
        w.mainsChanged(0, false);
        blocks(w, 0, 2, 128);
        w.mainsChanged(0, true).processAt(0, 128, 123457.0);
        for (int i = 0; i < 8; ++i) {
            w.getParameter(0, i);
        }
        w.setParameter(0, 7, 0.0f);
        w.mainsChanged(0, false).mainsChanged(0, true);
        blocks(w, 0, 12, 128);
        all.emplace_back("suspend_resume", w.bytes());
    }
    { // every parameter at non-finite values and values no host should send, indices outside
      // 0 to 7: one seed per group of values
        const float nonFinite[] = {std::numeric_limits<float>::quiet_NaN(),
                                   std::numeric_limits<float>::infinity(),
                                   -std::numeric_limits<float>::infinity()};
        const float outOfRange[] = {-1.0f, 3.0e38f, 1.0e-45f, 2.3f};
        auto sweep = [](const float* values, std::size_t count) {
            HostEventWriter w = smallLoop();
            w.processAt(0, 256, 1.0);
            for (std::size_t v = 0; v < count; ++v) {
                for (int i = -1; i <= 8; ++i) {
                    w.setParameter(0, i, values[v]).getParameter(0, i);
                    w.dispatch(0, effGetParamDisplay, i, 0, 1, 0.0f);
                }
                blocks(w, 0, 2, 256);
            }
            return w;
        };
        HostEventWriter w = sweep(nonFinite, std::size(nonFinite));
        w.setParameter(0, 2147483647, 0.5f).setParameter(0, -2147483647 - 1, 0.5f);
        blocks(w, 0, 4, 256);
        all.emplace_back("parameters_non_finite", w.bytes());
        all.emplace_back("parameters_out_of_range",
                         sweep(outOfRange, std::size(outOfRange)).bytes());
    }
    { // no time record, then a host whose tempo is not followed, then the record again
        HostEventWriter w = smallLoop();
        w.timeInfo(0, false).processAt(0, 256, 1.0);
        blocks(w, 0, 4, 256);
        w.timeInfo(0, true);
        blocks(w, 0, 6, 256);
        w.timeInfo(0, false);
        blocks(w, 0, 6, 256);
        w.timeInfo(0, true);
        blocks(w, 0, 6, 256);
        all.emplace_back("time_record_missing", w.bytes());
    }
    { // vendor texts: a maker named at the end of an unterminated text, a maker named only past
      // the terminator, the other maker whose tempo is followed
        HostEventWriter w;
        std::array<char, 64> unterminated{};
        unterminated.fill('x');
        const std::string name = "Steinberg";
        std::copy(name.begin(), name.end(), unterminated.begin() + 55);
        w.create(0).vendorBytes(0, unterminated).transport(0, 240.0, 1000.0, 4);
        w.processAt(0, 256, 1.0);
        blocks(w, 0, 6, 256);
        std::array<char, 64> hidden{};
        hidden[0] = 'Q';
        std::copy(name.begin(), name.end(), hidden.begin() + 2);
        w.create(1).vendorBytes(1, hidden).transport(1, 240.0, 1000.0, 4);
        w.processAt(1, 256, 1.0);
        blocks(w, 1, 6, 256);
        w.create(2).vendorText(2, "Ableton").transport(2, 240.0, 1000.0, 4);
        w.processAt(2, 256, 1.0);
        blocks(w, 2, 6, 256);
        all.emplace_back("vendor_texts", w.bytes());
    }
    { // tempos, rates and time signatures that give no usable geometry, or a changing one
        HostEventWriter w;
        w.create(0).processAt(0, 128, 1.0);
        const double tempos[] = {0.0, -120.0, kNaN, kInf, 1e-300, 1e300, 240.0, 240.0, 240.0};
        const double rates[] = {1000.0, 1000.0, 1000.0, 1000.0, 1000.0, 1000.0, kNaN, 0.0, 100.0};
        for (int i = 0; i < 9; ++i) {
            w.transport(0, tempos[i], rates[i], 4).setParameter(0, 7, 0.3f);
            blocks(w, 0, 3, 128);
        }
        w.transport(0, 240.0, 1000.0, 4).setParameter(0, 7, 0.3f); // usable again
        blocks(w, 0, 12, 128);
        all.emplace_back("bad_tempo_rate", w.bytes());
    }
    { // time signatures without a usable bar, a beat so long that every loop is refused, and one
      // folded by the player from an accepted but huge loop (120 BPM at 44.1 kHz: 22050 frames)
        HostEventWriter w = smallLoop();
        w.processAt(0, 128, 1.0);
        const int numerators[] = {0, -1, -4, 2147483647, 3};
        for (const int numerator : numerators) {
            w.transport(0, 240.0, 1000.0, numerator).setParameter(0, 7, 0.3f);
            w.processAt(0, 128, 7777.0);
            blocks(w, 0, 4, 128);
        }
        w.transport(0, 1.0e-3, 48000.0, 4).setParameter(0, 7, 0.3f);
        blocks(w, 0, 3, 128);
        w.transport(0, 120.0, 44100.0, 4).setParameter(0, 7, 0.3f);
        blocks(w, 0, 12, 256);
        all.emplace_back("time_signatures_and_long_beats", w.bytes());
    }
    { // every dispatcher opcode with no text buffer, a cleared one and an unterminated one (one
      // seed each); the rate opcodes get a real rate
        const char* names[] = {"dispatcher_sweep_no_text", "dispatcher_sweep_cleared_text",
                               "dispatcher_sweep_unterminated_text"};
        for (std::uint8_t mode = 0; mode < 3; ++mode) {
            HostEventWriter w = smallLoop();
            for (int opcode = -5; opcode <= 70; ++opcode) {
                if (opcode == effClose) {
                    continue;
                }
                const bool rate =
                    opcode == effSetSampleRate || opcode == effSetBlockSizeAndSampleRate;
                w.dispatch(0, opcode, mode == 2 ? -1 : 2, mode == 1 ? -1 : 1, mode,
                           rate ? 44100.0f : 0.0f);
            }
            w.processAt(0, 256, 1.0);
            blocks(w, 0, 3, 256);
            all.emplace_back(names[mode], w.bytes());
        }
    }
    { // two effects interleaved, one closed during capture and another made in its place
        HostEventWriter w = smallLoop(0);
        w.create(1).transport(1, 120.0, 1000.0, 3);
        w.processAt(0, 128, 1.0).processAt(1, 100, 1.0);
        for (int i = 0; i < 16; ++i) {
            w.processNoise(0, 128, 1).processNoise(1, 100, 2);
            if (i == 5) {
                w.close(1).create(1).transport(1, 300.0, 1000.0, 7);
            }
        }
        w.close(0).process(0, 128);
        blocks(w, 1, 6, 64);
        all.emplace_back("instances_interleaved", w.bytes());
    }
    { // a host that reports no interface version gets no effect
        HostEventWriter w;
        w.create(0, 0).process(0, 256).create(1).transport(1, 240.0, 1000.0, 4);
        w.processAt(1, 256, 1.0);
        blocks(w, 1, 6, 256);
        all.emplace_back("host_version_zero", w.bytes());
    }
    { // block sizes from empty to the largest, both entries, in place and without buffers
        HostEventWriter w = smallLoop();
        w.blockSize(0, 8192).sampleRate(0, 1000.0f).processAt(0, 1, 1.0);
        const int sizes[] = {0, 1, 2, 3, 8192, 127, 1000, 999, 1001, 5, 0};
        std::uint8_t flags = 0;
        for (const int size : sizes) {
            w.processNoise(0, size, 7, flags);
            flags = static_cast<std::uint8_t>((flags + 1) % 4);
        }
        w.process(0, 256, fz::kProcessNullBuffers);
        w.process(0, 256, fz::kProcessAccumulating | fz::kProcessNullBuffers);
        w.blockSize(0, -1).sampleRate(0, std::numeric_limits<float>::quiet_NaN());
        blocks(w, 0, 2, 256);
        all.emplace_back("block_sizes", w.bytes());
    }
    { // a loop shorter than a block: capture completes inside it and the hand-over goes round
        HostEventWriter w = smallLoop();
        w.setParameter(0, 7, 0.0f).setParameter(0, 3, 1.0f).setParameter(0, 0, 1.0f);
        w.processAt(0, 4096, 1.0);
        blocks(w, 0, 1, 4096);
        w.transport(0, 240.0, 600.0, 4).setParameter(0, 7, 0.0f);
        blocks(w, 0, 2, 4096);
        all.emplace_back("loop_shorter_than_block", w.bytes());
    }
    { // program names: empty, the longest that fits, too long, unterminated
        HostEventWriter w = smallLoop();
        w.programName(0, "").programName(0, std::string(31, 'a'));
        w.programName(0, std::string(40, 'b')).programName(0, std::string(255, 'c'));
        w.dispatch(0, 4, 0, 0, 2, 0.0f).dispatch(0, 5, 0, 0, 1, 0.0f);
        w.programName(0, "Live set");
        all.emplace_back("program_names", w.bytes());
    }
    { // a NaN and an infinity captured into the loop and played back
        HostEventWriter w = smallLoop();
        w.processAt(0, 256, 1.0);
        w.processWithBadSample(0, 256, 0).processWithBadSample(0, 256, 3);
        blocks(w, 0, 12, 256);
        all.emplace_back("non_finite_input", w.bytes());
    }
    { // a host's usual rate and block size: 44.1 kHz, 512-frame blocks, a 250-frame beat
      // (10584 BPM; the player folds the beats of ordinary tempos to at most 256 frames anyway)
        HostEventWriter w;
        w.create(0).transport(0, 10584.0, 44100.0, 4).setParameter(0, 7, 0.15f);
        w.setParameter(0, 1, 0.75f).setParameter(0, 0, 0.25f);
        w.processAt(0, 512, 512.0);
        blocks(w, 0, 28, 512);
        all.emplace_back("session_44k1_512_frame_blocks", w.bytes());
    }
    return all;
}

} // namespace

int main(int argc, char** argv)
{
    return fz::writeSeedFolder(
        argc, argv, seeds(),
        [](const std::vector<std::uint8_t>& bytes) {
            return fz::playHostEvents(bytes.data(), bytes.size());
        },
        [](const std::vector<std::uint8_t>& bytes, const fz::PlayOutcome& outcome) {
            return bytes.size() <= fz::kMaxSeedBytes && outcome.blocksSkipped == 0;
        });
}
