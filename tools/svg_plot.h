// A picture of a render: input and output waveforms on one time axis, with bar lines, the
// captured loop, the loop passes, the slot grid and the slot map read from the audio.
#pragma once

#include "tools/audio_file.h"
#include "tools/effect_timeline.h"
#include "tools/slot_map.h"
#include "tools/transport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorblexter::tool {

// A labelled moment, such as an automation event.
struct PlotMarker {
    std::int64_t renderFrame = 0;
    std::string text;
};

struct PlotInput {
    const StereoAudio* input = nullptr;
    const StereoAudio* output = nullptr;
    const EffectTimeline* timeline = nullptr;
    const std::vector<SlotReading>* slots = nullptr;
    Timeline transportTimeline;
    std::vector<TransportMark> transportMarks;
    std::vector<PlotMarker> markers;
    std::string title;
    std::string subtitle;
    std::int32_t width = 1600; // pixels, at least 400
};

// The whole SVG document.
std::string renderSvgPlot(const PlotInput& plot);

// A width that gives each slot about 18 pixels, from 1200 to 3200 pixels.
std::int32_t automaticPlotWidth(const EffectTimeline& timeline, std::int64_t totalFrames);

// Text made safe for SVG character data and attribute values.
std::string escapeXml(const std::string& text);

} // namespace vorblexter::tool
