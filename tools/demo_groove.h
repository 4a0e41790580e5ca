// The demo's input: a synthesized stereo drum-and-bass groove.
//
// Kick and snare sit in the middle, closed hats lean right, open hats and the bass lean left, so
// the two channels differ and a slice played backwards or out of place is easy to hear and see.
// Every hat hit is fresh noise, so no two sixteenth notes are alike and each slice of a loop can
// be told apart in the output.
#pragma once

#include "tools/audio_file.h"
#include "tools/transport.h"

#include <cstdint>

namespace vorblexter::tool {

struct GrooveSettings {
    Timeline timeline;     // rate, tempo and signature of the groove
    std::int32_t bars = 8; // its length
};

// Deterministic: the same settings give the same samples. Peaks stay below full scale.
StereoAudio synthesizeGroove(const GrooveSettings& settings);

} // namespace vorblexter::tool
