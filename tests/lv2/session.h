// A host session for the LV2 plug-in and, for comparison, the VST 2.x library: runs of audio
// with the time:Position events an LV2 host sends inside them and the control values it holds.
#pragma once

#include <lv2/atom/forge.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorblexter::lv2test {

// A host's URID map: URIs numbered from 1 in the order first asked for.
class UridMap {
public:
    UridMap();
    LV2_URID map(const char* uri);
    LV2_URID_Map* feature() { return &lv2Map; }

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri);
    std::vector<std::string> uris;
    LV2_URID_Map lv2Map{};
};

// The atom types that carry a position's numbers; hosts differ.
enum class Numbers {
    ardour,  // frame Long, the rest Float
    doubles, // everything Double
    ints,    // beats per bar Long, the rest Int
};

struct Position {
    std::int64_t at = 0; // frame of the run the event is stamped with; may lie outside the run
    std::optional<double> frame;
    std::optional<double> speed;
    std::optional<double> beatsPerMinute;
    std::optional<double> beatsPerBar;
    Numbers numbers = Numbers::ardour;
};

// Control values as a musician sets them, in the units the controls show.
using Controls = std::array<float, 8>;
inline constexpr Controls kDefaultControls{0, 25, 0, 4, 20, 1, 0, 4};

struct Run {
    std::uint32_t frames = 0;
    std::vector<Position> positions;
    Controls controls = kDefaultControls;
};

struct Session {
    double sampleRate = 44100.0;
    std::vector<Run> runs;

    std::uint32_t totalFrames() const;
};

// Writes a run's events as an LV2 host does: a sequence of frame-stamped time:Position objects,
// in the order given, each number in the atom type its position's `numbers` gives it.
class RunForge {
public:
    explicit RunForge(UridMap& urids);
    void write(const Run& run, std::uint8_t* buffer, std::uint32_t capacity);

private:
    void number(LV2_URID key, double value, Numbers numbers, bool isFrame, bool isBeatsPerBar);
    LV2_Atom_Forge forge{};
    LV2_URID position, frame, speed, beatsPerMinute, beatsPerBar;
};

// The value a number reads as once written in the atom type `numbers` gives it.
double asWritten(double value, Numbers numbers, bool isFrame);

// Deterministic stereo input: a sine and a slow ramp, different on each channel, so that order,
// direction and channel all show in the output.
struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
};
Stereo sessionInput(std::uint32_t frames);

// What the host saw after each run on the three status outputs (LV2 only).
struct Status {
    float state = -1.0f;
    float slot = -1.0f;
    float slice = -1.0f;
};

struct Rendered {
    Stereo output;
    std::vector<Status> status; // one per run
};

} // namespace vorblexter::lv2test
