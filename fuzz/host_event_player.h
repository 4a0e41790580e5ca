// Plays a byte string as a sequence of host events against effects made by the plug-in's entry
// point, and checks what comes back. The fuzzer and the replay test share it, so every corpus
// entry and every regression replays in CI exactly as the fuzzer saw it.
//
// Everything reaches the effects through the entry point and the five record entries, as a host
// would. Each live effect has a test host of its own (tests/support/test_host.h), which answers
// it from that effect's own transport, time-record choice and vendor text.
//
// Byte format (operands as fuzz/fuzz_core.h reads them). Each event starts with one byte e:
// kind = e % kEventKindCount, slot = (e / kEventKindCount) % kSlotCount. Operands follow;
// HostEventWriter shows each kind's layout.
//
// Checks, per block: those of fuzz/fuzz_core.h on both channels. Besides: `main` answers null
// exactly when the host reports version 0; effClose answers 1; texts the effect writes end
// within 32 bytes; getParameter gives back the value last set until a resume, and finite values
// after one; a program name round-trips.
//
// Single-threaded: one player plays at a time on one thread.
#pragma once

#include "fuzz/fuzz_core.h"
#include "host/vst_abi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorblexter::fuzzing {

enum class EventKind : std::uint8_t {
    create,       // int version answer (0 makes `main` answer null)
    close,        // -
    setParameter, // int index, float value
    getParameter, // int index
    dispatch,     // byte opcode (-5 to 70), int index, int value, byte text mode, float opt
    mainsChanged, // byte: even suspends, odd resumes
    hostSettings, // byte choice, then float rate or int block size
    process,      // byte flags, frames, byte position move, byte input pattern (+ operands)
    transport,    // double tempo, double sample rate, int numerator
    vendor,       // byte choice (+ 64 raw bytes)
    timeInfo,     // byte: odd answers no time record
    programName,  // byte length, then that many bytes of name
    count,
};

inline constexpr int kEventKindCount = static_cast<int>(EventKind::count);
inline constexpr int kSlotCount = 4;
inline constexpr std::int32_t kMaxBlockFrames = 8192;

// Process event flags.
inline constexpr std::uint8_t kProcessAccumulating = 1;   // `process` instead of `processReplacing`
inline constexpr std::uint8_t kProcessInPlace = 2;        // outputs are the input buffers
inline constexpr std::uint8_t kProcessNullBuffers = 0xF0; // all four bits: null channel pointers

// Position moves of a process event (the byte modulo 16).
enum PositionMove : std::uint8_t {
    kMoveAdvance = 0, // 0 to 9: the block after the last one
    kMoveStand = 10,  // the last block's position again
    kMoveBack = 11,   // back by a 16-bit frame count plus one
    kMoveForward = 12,
    kMoveNegative = 13,
    kMoveExtreme = 14, // huge, infinite or NaN
    kMoveRaw = 15,     // a raw double follows
};

// Input patterns of a process event (the byte modulo 8): the signals of fuzz/fuzz_core.h.
enum InputPattern : std::uint8_t {
    kInputSilence,
    kInputRamp,
    kInputConstant,
    kInputNoise,
    kInputRaw,
    kInputSquare,
    kInputHuge,
    kInputOneBad,
};

// Bounds that keep one input's run short and its memory small, so the fuzzer spends its time on
// many different sequences rather than on a few long ones; every path of the effect is reached
// with loops of a few hundred frames.
// - Blocks past kMaxFramesPerInput frames in all (over every effect) are read but not played.
// - A transport's tempo is folded as fuzz/fuzz_core.h says (foldedTempo). The effect would
//   legitimately allocate up to 8 GB for the longest loop it accepts, which is no fault.
// - `create` events past kMaxEffectsPerInput effects made are read but make none.
inline constexpr std::int64_t kMaxFramesPerInput = 16384;
inline constexpr int kMaxEffectsPerInput = 3;
inline constexpr std::size_t kTextBufferBytes = 256;

struct PlayOutcome : Verdict {
    std::size_t events = 0;
    std::size_t blocks = 0;
    std::int64_t framesChanged = 0; // output samples that differ from their own input sample
    std::int64_t framesPlayed = 0;
    int effectsCreated = 0;
    // Events read but not played: blocks past the frame budget, effects past the effect budget.
    std::size_t blocksSkipped = 0;
    std::size_t createsSkipped = 0;
};

// Plays `data` from a fresh start (no live effects, the draw's generator at its start state) and
// closes whatever is still open at the end.
PlayOutcome playHostEvents(const std::uint8_t* data, std::size_t size);

// Builds byte strings in the player's format, for seed corpora and tests; every value decodes to
// exactly what was passed.
class HostEventWriter {
public:
    HostEventWriter& create(int slot, std::int32_t versionAnswer = 2400);
    HostEventWriter& close(int slot);
    HostEventWriter& setParameter(int slot, std::int32_t index, float value);
    HostEventWriter& getParameter(int slot, std::int32_t index);
    HostEventWriter& dispatch(int slot, VstInt32 opcode, std::int32_t index, std::int32_t value,
                              std::uint8_t textMode, float opt);
    HostEventWriter& mainsChanged(int slot, bool on);
    HostEventWriter& sampleRate(int slot, float rate);
    HostEventWriter& blockSize(int slot, std::int32_t frames);
    HostEventWriter& process(int slot, std::int32_t frames, std::uint8_t flags = 0,
                             std::uint8_t move = kMoveAdvance, std::uint8_t pattern = kInputRamp);
    HostEventWriter& processAt(int slot, std::int32_t frames, double samplePos,
                               std::uint8_t flags = 0, std::uint8_t pattern = kInputRamp);
    HostEventWriter& processNoise(int slot, std::int32_t frames, std::uint8_t seed,
                                  std::uint8_t flags = 0);
    HostEventWriter& processWithBadSample(int slot, std::int32_t frames, std::uint8_t where);
    HostEventWriter& transport(int slot, double tempo, double sampleRate, std::int32_t numerator);
    HostEventWriter& vendorBytes(int slot, const std::array<char, 64>& bytes);
    HostEventWriter& vendorText(int slot, const std::string& text);
    HostEventWriter& timeInfo(int slot, bool give);
    HostEventWriter& programName(int slot, const std::string& name);

    const std::vector<std::uint8_t>& bytes() const { return out.bytes(); }

private:
    void event(int slot, EventKind kind);

    ByteWriter out;
};

} // namespace vorblexter::fuzzing
