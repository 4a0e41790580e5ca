// A CLAP host session: blocks of audio, each with the transport the host reports at its start
// and the events it sends inside it, played through one plug-in instance per part. Each part
// after the first starts a fresh instance that loads the state the previous one saved after its
// last block, as a host reopening a saved project would; its input starts again from frame 0.
#pragma once

#include <clap/id.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorblexter::claptest {

// What a host reports of its transport; an empty field is one it does not flag.
struct Report {
    bool playing = true;
    std::optional<double> frame; // the host's position, in frames (its seconds timeline)
    std::optional<double> tempo;
    std::optional<std::uint16_t> beatsPerBar;
};

struct Event {
    std::uint32_t at = 0; // may lie past the block, or before an earlier event
    bool isTransport = false;
    clap_id id = 0;     // a parameter change: any id, also one the plug-in does not have
    double value = 0.0; // in the parameter's CLAP units
    Report report;      // a transport event
};

struct Block {
    std::uint32_t frames = 0;
    std::optional<Report> transport; // empty: a free-running host gives no transport
    std::vector<Event> events;
};

struct Part {
    std::vector<Block> blocks;
};

struct Session {
    std::string name;
    double sampleRate = 44100.0;
    std::vector<Part> parts;
    bool sliced = true; // false: the output must be the input throughout
};

// The sessions every build plays: tempo changes, stops and starts, relocations back and
// forward, 3/4 bars, blocks of 1 to 4096 frames, parameter and transport events inside blocks,
// transports with fields unflagged, state carried into fresh instances, and no transport before
// the first report or at all. Built from a generator of our own, so every platform plays the
// same sessions.
std::vector<Session> clapSessions();

// The quantity the plug-in shows for a CLAP value of setting `id` (0 to 7), worked out as a
// musician reads the knob: whole numbers and steps cut down, held to the range, NaN lowest.
std::int32_t shownQuantity(clap_id id, double value);

} // namespace vorblexter::claptest
