// A render: the input file played through the effect by a host transport, block by block, with
// the automation applied at its exact frames.
#pragma once

#include "tools/audio_file.h"
#include "tools/automation.h"
#include "tools/effect_timeline.h"
#include "tools/parameter_args.h"
#include "tools/transport.h"

#include <cstdint>
#include <vector>

namespace vorblexter::tool {

class HostedEffect;
class ProgressBar;

struct RenderOptions {
    Timeline timeline;              // its sample rate is the input's
    std::int32_t blockFrames = 512; // largest block sent
    std::int64_t startFrame = 0;    // transport position of the first frame (0: bar 1)
    bool vendorFollowsTempo = true;
    std::vector<ResolvedSetting> settings; // sent after resume, before the first block
    std::vector<AutomationEvent> events;   // sorted by frame
};

struct RenderResult {
    StereoAudio output;
    EffectTimeline account;
    std::vector<TransportMark> transportMarks; // the start and every jump
    std::vector<BlockSpan> blocks;             // every block the effect processed
    double wallSeconds = 0.0;
};

// Runs the effect's whole life over the input: effOpen, rate and block size, resume, the
// settings, the blocks (each with a freshly filled transport record), suspend, effClose. While
// suspended the host passes the input through, as hosts bypass a switched-off effect.
// Throws ToolError when a setting's display does not read back as asked.
RenderResult renderThroughEffect(HostedEffect& effect, const ParameterTable& parameters,
                                 const StereoAudio& input, const RenderOptions& options,
                                 ProgressBar& progress);

} // namespace vorblexter::tool
