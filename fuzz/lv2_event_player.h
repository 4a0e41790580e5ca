// Plays a byte string as a sequence of LV2 host calls against instances made from the plug-in's
// descriptor, and checks what comes back. The LV2 fuzzer and its replay test share it, so every
// corpus entry and regression replays in CI exactly as the fuzzer saw it.
//
// The player is a hostile but lawful host: it calls the entry points only in an order the LV2
// core allows (activate before run, deactivate before cleanup), and everything it hands over is
// memory it owns, sized as it says. It also leaves ports unconnected or null, which the binding
// documents it skips (lv2/ports.h). What it puts in that memory is hostile: atom sequences whose
// events lie about their sizes, run past the sequence's end, carry truncated or mistyped
// time:Position objects or nested garbage, frames out of the run or going backwards; tempos and
// speeds that are NaN, infinite, negative or zero; zero and negative beats per bar; control values
// outside their ranges or not finite; instantiation at odd sample rates, with the URID map missing,
// null or failing.
//
// Byte format (operands as fuzz/fuzz_core.h reads them). Each call starts with one byte e:
// kind = e % kLv2CallKindCount, slot = (e / kLv2CallKindCount) % kLv2SlotCount;
// Lv2EventWriter shows each kind's operands.
//
// Checks, after every run: those of fuzz/fuzz_core.h on both channels, and an instance that was
// never sent an event passes its input through bit for bit. Nothing was written outside the
// output buffers as connected (each buffer sits in guard zones, and the frames past the run
// count as guard); the input buffers, the input control values and the atom sequence are as the
// host wrote them; the State, Slot and Slice outputs are whole numbers in their ranges (0 to 2;
// Slot from 1 and Slice not 0 only while playing). Besides: instantiate answers null without a
// usable URID map and at a sample rate that is not a positive finite number. The atom sequence
// is an exactly sized allocation, so under AddressSanitizer any read past what the host wrote
// is caught too.
//
// Single-threaded: one player plays at a time on one thread.
#pragma once

#include "fuzz/fuzz_core.h"

#include <lv2/core/lv2.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorblexter::fuzzing {

enum class Lv2CallKind : std::uint8_t {
    instantiate, // double sample rate, byte options (kInstantiate...)
    cleanup,     // - (deactivates first when active)
    activation,  // byte: even activates, odd deactivates (each only when lawful)
    connect,     // byte port (mod 16), byte: even connects the host's buffer, odd null
    control,     // byte port (5 + mod 8), float value
    run,         // frames, byte flags (kRun...), byte buffer offset, input pattern, sequence
    count,
};

inline constexpr int kLv2CallKindCount = static_cast<int>(Lv2CallKind::count);
inline constexpr int kLv2SlotCount = 4;

// The plug-in's ports.
inline constexpr std::uint32_t kPortInLeft = 0;
inline constexpr std::uint32_t kPortInRight = 1;
inline constexpr std::uint32_t kPortOutLeft = 2;
inline constexpr std::uint32_t kPortOutRight = 3;
inline constexpr std::uint32_t kPortControl = 4;
inline constexpr std::uint32_t kPortFirstParameter = 5; // Reverse .. Loop Length: 5 to 12
inline constexpr std::uint32_t kPortState = 13;
inline constexpr std::uint32_t kPortSlot = 14;
inline constexpr std::uint32_t kPortSlice = 15;
inline constexpr std::uint32_t kPortCount = 16;

// Instantiate options.
inline constexpr std::uint8_t kInstantiateNoMap = 1;         // no urid:map feature at all
inline constexpr std::uint8_t kInstantiateNullMap = 2;       // urid:map with a null data pointer
inline constexpr std::uint8_t kInstantiateFailingMap = 4;    // a map that answers 0 to everything
inline constexpr std::uint8_t kInstantiateOtherFeatures = 8; // unrelated features besides
inline constexpr std::uint8_t kInstantiateNoAtomPort = 16;   // the atom port is never connected
inline constexpr std::uint8_t kInstantiateUnconnected = 32;  // no port is connected

// Run flags.
inline constexpr std::uint8_t kRunInPlace = 1;  // outputs are the input buffers
inline constexpr std::uint8_t kRunMove = 2;     // reconnect the audio buffers at a new offset
inline constexpr std::uint8_t kRunNullAtom = 4; // connect the atom port to null for this run

// Input patterns (the byte modulo 6): the signals of fuzz/fuzz_core.h.
enum Lv2InputPattern : std::uint8_t {
    kLv2InputSilence,
    kLv2InputRamp,
    kLv2InputConstant,
    kLv2InputNoise,
    kLv2InputHuge,
    kLv2InputOneBad,
};

// Sequence format: a header byte (bits 0-1 the sequence's type: 0 and 1 atom:Sequence, 2
// atom:Chunk, 3 a raw type word; bits 2-3 its unit: none, frames, beats or a raw word; bit 4 a
// truncation byte follows: that many bytes, modulo 64, are cut from the end, size word included),
// then an event count byte (modulo 9), then the events. Each event is a kind byte (modulo 3) and
// its operands: a frame operand first, then
// - position: a property mask byte (bit i includes property i of kPositionKeys), and for each
//   included property a type byte (modulo 8: its usual type, Float, Double, Int, Long, Bool,
//   String, a nested Position object) and a double operand;
// - raw: a type selector byte (below 128 a table of types, else a raw word), a size byte (below
//   128 the body's length, else a 16-bit size that may lie), a length byte (modulo 64) and that
//   many body bytes;
// - corrupt: a position as above, then a word index byte and a word operand written over the
//   event (its size words, types, keys or values).
// A frame operand is a selector byte: below 128 a table relative to the run (0, 1, the middle,
// the last frame, the run's length, past it, the previous event's frame, one before it, -1,
// extremes), else 8 raw bytes.
enum class Lv2AtomEventKind : std::uint8_t { position, raw, corrupt, count };

// time:Position properties, in mask-bit order.
enum Lv2PositionKey : std::uint8_t {
    kKeyFrame,
    kKeySpeed,
    kKeyBeatsPerMinute,
    kKeyBeatsPerBar,
    kKeyBar,
    kKeyBarBeat,
    kKeyBeatUnit,
    kPositionKeyCount,
};

// Frame operand selectors (entries of the relative table).
enum Lv2FrameSelector : std::uint8_t {
    kFrameStart,
    kFrameOne,
    kFrameMiddle,
    kFrameLast,
    kFrameRunLength,
    kFramePastRun,
    kFramePrevious,
    kFrameBeforePrevious,
    kFrameMinusOne,
    kFrameHuge,
    kFrameMost,
    kFrameLeast,
    kFrameSelectorCount,
};

// Bounds that keep one input's run short (see scripts/stages/fuzz.sh for what a run costs):
// - runs past kLv2MaxFramesPerInput frames in all (over every instance) are read but not run;
// - instantiations past kLv2MaxInstancesPerInput instances made, or past
//   kLv2MaxRefusalsPerInput answered null, are read but not tried;
// - a beatsPerMinute is folded as fuzz/fuzz_core.h says (foldedTempo), at the instance's rate.
inline constexpr std::uint32_t kLv2MaxRunFrames = 4096;
inline constexpr std::int64_t kLv2MaxFramesPerInput = 16384;
inline constexpr int kLv2MaxInstancesPerInput = 3;
inline constexpr int kLv2MaxRefusalsPerInput = 16;

struct Lv2PlayOutcome : Verdict {
    std::size_t calls = 0;
    std::size_t runs = 0;
    std::int64_t framesPlayed = 0;
    std::int64_t framesChanged = 0; // output samples that differ from their own input sample
    std::size_t atomEvents = 0;     // events written into sequences that were run
    int instancesMade = 0;
    int instancesRefused = 0;       // instantiate answered null
    std::size_t runsSkipped = 0;    // on a live instance: inactive or past the frame bound
    std::size_t runsOverBudget = 0; // of those, past the frame bound
    bool sawPlaying = false;        // some run ended with State 2
};

// Plays `data` from a fresh start against `descriptor` and cleans up whatever is still alive.
Lv2PlayOutcome playLv2Events(const LV2_Descriptor* descriptor, const std::uint8_t* data,
                             std::size_t size);

// One time:Position property as the writer encodes it.
struct Lv2Property {
    Lv2PositionKey key;
    double value;
    std::uint8_t type = 0; // 0: the property's usual type (see the sequence format)
};

// Builds an atom sequence operand for Lv2EventWriter::run.
class Lv2SequenceWriter {
public:
    Lv2SequenceWriter() = default;
    explicit Lv2SequenceWriter(std::uint8_t header) : header(header) {}

    Lv2SequenceWriter& truncate(std::uint8_t bytes);
    Lv2SequenceWriter& position(std::uint8_t frameSelector, std::vector<Lv2Property> properties);
    Lv2SequenceWriter& positionAt(std::int64_t frame, std::vector<Lv2Property> properties);
    Lv2SequenceWriter& raw(std::uint8_t frameSelector, std::uint8_t typeSelector,
                           std::vector<std::uint8_t> body, int claimedSize = -1);
    Lv2SequenceWriter& corrupt(std::uint8_t frameSelector, std::vector<Lv2Property> properties,
                               std::uint8_t word, std::uint32_t value);

    // The header, the event count and the events.
    std::vector<std::uint8_t> bytes() const;

private:
    void properties(const std::vector<Lv2Property>& properties);

    std::uint8_t header = 0;
    int cut = -1; // the truncation byte, if any
    ByteWriter events;
    int eventCount = 0;
};

// Builds byte strings in the player's format, for seed corpora and tests.
class Lv2EventWriter {
public:
    Lv2EventWriter& instantiate(int slot, double sampleRate, std::uint8_t options = 0);
    Lv2EventWriter& cleanup(int slot);
    Lv2EventWriter& activate(int slot);
    Lv2EventWriter& deactivate(int slot);
    Lv2EventWriter& connect(int slot, std::uint32_t port, bool null = false);
    Lv2EventWriter& control(int slot, std::uint32_t port, float value);
    // Noise and one-bad-sample inputs take `seed` (and the bad sample's place); a constant
    // input is 1.
    Lv2EventWriter& run(int slot, std::uint32_t frames, const Lv2SequenceWriter& sequence = {},
                        std::uint8_t flags = 0, std::uint8_t pattern = kLv2InputRamp,
                        std::uint8_t offset = 0, std::uint8_t seed = 0);

    const std::vector<std::uint8_t>& bytes() const { return out.bytes(); }

private:
    void call(int slot, Lv2CallKind kind);

    ByteWriter out;
};

} // namespace vorblexter::fuzzing
