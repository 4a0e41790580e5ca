// Plays a byte string as a sequence of CLAP host calls against instances made by the plug-in's
// factory, and checks what comes back. The CLAP fuzzer and its replay test share it, so every
// committed input replays in CI exactly as the fuzzer saw it.
//
// The player is a hostile host. It calls the entries in any order (process before activation,
// activation twice, destroy while active), hands over events that lie about their size (each
// event is an allocation of exactly the size it claims, so under AddressSanitizer a read past it
// is caught), of unknown spaces and types, stamped out of order or past the block, for unknown
// parameter ids, with NaN and infinite values; transports with any flags and any numbers;
// buffers that are missing, mono or in place; state streams of random bytes, streams that fail
// and streams that claim more than they were asked for; and parameter queries with any id,
// value, text and size. Everything it hands over is memory it owns, sized as it says.
//
// Byte format. Any byte string is a valid sequence; operands past the end read as zero. Each
// call starts with one byte c: kind = c % kClapCallKindCount, slot = (c / kClapCallKindCount) %
// kClapSlotCount; ClapCallKind lists each kind's operands. A "double" operand is a table
// operand of fuzz/fuzz_core.h.
//
// Checks: process answers CONTINUE exactly when the instance is active and processing and the
// buffers are whole stereo pairs (or the block is empty), and an error leaves the outputs as
// they were; nothing is written outside the output buffers (each sits between guard zones) or
// into separate input buffers; the output checks of fuzz/fuzz_core.h, and an instance never
// given a transport passes its input through bit for bit; status events are whole State, Slot and
// Slice values in their ranges, stamped inside the block; parameter values, texts and read-back
// values are in range and terminated within the space given; a load answers true only for a 40-byte
// record of ours, a refused load changes nothing, and a record saved by one instance loads into
// another and saves the same.
//
// Single-threaded: one player plays at a time on one thread.
#pragma once

#include "fuzz/fuzz_core.h"

#include <clap/plugin-factory.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorblexter::fuzzing {

enum class ClapCallKind : std::uint8_t {
    create,     // byte options (kCreate...)
    activate,   // double sample rate
    deactivate, // -
    start,      // -
    stop,       // -
    reset,      // -
    process,    // frames byte, buffers byte (kBuffers...), input byte, transport, events
    flush,      // events
    state,      // byte operation (ClapStateOperation), then its operands
    query,      // id byte, double value, size byte, text length byte and its bytes
    destroy,    // -
    count,
};

inline constexpr int kClapCallKindCount = static_cast<int>(ClapCallKind::count);
inline constexpr int kClapSlotCount = 3;

// Create options.
inline constexpr std::uint8_t kCreateNullHost = 1;
inline constexpr std::uint8_t kCreateOldHost = 2; // a CLAP 0.x host
inline constexpr std::uint8_t kCreateWrongId = 4;
inline constexpr std::uint8_t kCreateNoInit = 8;
inline constexpr std::uint8_t kCreateInitTwice = 16;

// Process buffer options.
inline constexpr std::uint8_t kBuffersInPlace = 1;
inline constexpr std::uint8_t kBuffersMono = 2;         // one channel in the output buffer
inline constexpr std::uint8_t kBuffersNoOutput = 4;     // no output buffer at all
inline constexpr std::uint8_t kBuffersNullChannel = 8;  // the input's right channel is null
inline constexpr std::uint8_t kBuffersNullProcess = 16; // process gets a null record
inline constexpr std::uint8_t kBuffersNoEvents = 32;    // null event lists

// A transport operand: a presence byte (even: none), a flags byte (the CLAP transport flags as
// they are), the seconds (a mode byte modulo 3: a u32 of frames at the instance's rate, the
// same negated, or 8 raw bytes of fixed point), a double tempo and a numerator (a byte: below
// 200 the number itself, else a raw u16). An event list: a count byte (modulo 9), then per
// event a kind byte (ClapEventKind, modulo 3), a size byte (0: the type's own size, else that
// many bytes, at least a header's), a time byte (below 200 a selector of the block's frames:
// 0, 1, middle, last, the block's length, past it, the previous event's time, one before it,
// the largest; else a raw u32), then for a parameter value an id byte (below 16 itself, else a
// raw u32) and a double value; for a transport, a transport without the presence byte; for a
// raw event, a space u16 and a type u16.
enum class ClapEventKind : std::uint8_t { param, transport, raw, count };

enum class ClapStateOperation : std::uint8_t {
    saveLoad,    // slot byte: saves this slot, loads the record into that slot
    loadBytes,   // length byte and the bytes; a first byte below 128 stands for our tag, and
                 // below 64 for our tag and version
    failingRead, // a stream whose read answers an error, or more than asked for
    failingSave, // a stream whose write answers 0, an error or more than asked for
    count,
};

// Bounds that keep one input short: process calls past kClapMaxFramesPerInput frames in all
// are skipped, at most kClapMaxInstancesPerInput instances are made, and a tempo
// whose beat at the instance's rate lasts more than kClapMaxFramesPerBeat frames but which the
// effect could accept is folded into a beat of 1 to kClapMaxFramesPerBeat frames, as the other
// players do, so that loops capture and play within the frame bound.
inline constexpr std::uint32_t kClapMaxBlockFrames = 4096;
inline constexpr std::int64_t kClapMaxFramesPerInput = 16384;
inline constexpr int kClapMaxInstancesPerInput = 4;
inline constexpr double kClapMaxFramesPerBeat = 256.0;
// A rate the effect accepts above this is folded into 64 Hz to this, so that a loop at the
// tempo the engine assumes before the first flagged one stays within memory.
inline constexpr double kClapMaxRate = 1e6;

struct ClapPlayOutcome : Verdict {
    std::size_t calls = 0;
    std::size_t processed = 0; // process calls that answered CONTINUE
    std::size_t refused = 0;   // process calls that answered an error, as they had to
    std::int64_t framesPlayed = 0;
    std::int64_t framesChanged = 0; // output samples that differ from their input sample
    std::size_t events = 0;         // events handed to process and flush
    std::size_t statusEvents = 0;
    std::size_t statesLoaded = 0;
    int instancesMade = 0;
    bool sawPlaying = false; // a State event of 2
};

// Plays `data` from a fresh start (the calling thread's slice random generator reset) against
// `factory` and destroys whatever is still alive.
ClapPlayOutcome playClapEvents(const clap_plugin_factory* factory, const std::uint8_t* data,
                               std::size_t size);

// Inputs that reach the plug-in's paths from the start: a loop captured and played with
// settings, transport events and state changes, and each kind of hostile call. For the
// fuzzer's seed corpus and the replay test.
std::vector<std::vector<std::uint8_t>> clapSeedInputs();

} // namespace vorblexter::fuzzing
