// The host's transport: a play head moving through a timeline of fixed tempo and time signature,
// and the VstTimeInfo record the host fills for every block it sends.
//
// Units: positions are sample frames from the timeline's origin (bar 1, beat 1). Musical
// positions follow the host convention: ppq counts quarter notes, the tempo is quarter notes per
// minute, and a bar lasts numerator x 4 / denominator quarter notes (a 6/8 bar is 3 of them).
#pragma once

#include "host/vst_abi.h"

#include <cstdint>

namespace vorblexter::tool {

struct TimeSignature {
    std::int32_t numerator = 4;
    std::int32_t denominator = 4;

    double quarterNotesPerBar() const noexcept
    {
        return static_cast<double>(numerator) * 4.0 / static_cast<double>(denominator);
    }
};

struct Timeline {
    double sampleRate = 44100.0; // frames per second
    double tempo = 120.0;        // quarter notes per minute
    TimeSignature timeSignature;

    double framesPerQuarterNote() const noexcept { return sampleRate * 60.0 / tempo; }
    double framesPerBar() const noexcept
    {
        return framesPerQuarterNote() * timeSignature.quarterNotesPerBar();
    }
};

// Where the transport was at a frame of a render: its start, and every jump.
struct TransportMark {
    std::int64_t renderFrame = 0;
    std::int64_t transportFrame = 0;
};

// The record a playing host reports for a block whose first frame is at `samplePos`: position,
// rate, tempo, ppq, start of the current bar, signature, frames to the next MIDI clock, and the
// validity flags of everything filled. `changed` adds kVstTransportChanged (first block, jumps).
VstTimeInfo timeInfoAt(const Timeline& timeline, std::int64_t samplePos, bool changed) noexcept;

// The play head. Owns the record it hands out, which stays valid for the transport's lifetime and
// is refilled by every beginBlock().
class Transport {
public:
    Transport(const Timeline& timeline, std::int64_t startFrame) noexcept;

    // Fills the record for a block starting at the current position and returns it.
    const VstTimeInfo& beginBlock() noexcept;
    // Moves the play head on after a block of `frames`.
    void advance(std::int32_t frames) noexcept { position += frames; }
    // Locates the play head; the next block reports the transport as changed.
    void jumpTo(std::int64_t frame) noexcept;

    std::int64_t positionFrames() const noexcept { return position; }
    const VstTimeInfo& record() const noexcept { return info; }
    const Timeline& timeline() const noexcept { return settings; }

private:
    Timeline settings;
    std::int64_t position = 0;
    bool changed = true;
    VstTimeInfo info{};
};

} // namespace vorblexter::tool
