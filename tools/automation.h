// Changes at exact frames of a render: parameter values, suspend and resume, transport jumps.
//
// Times count from the first frame of the render (the input file's first frame), whatever the
// transport's start position. A block is split at every event frame, so an event acts between
// the frame before it and the frame at it, as sample-accurate host automation does.
#pragma once

#include "tools/parameter_args.h"
#include "tools/time_parse.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorblexter::tool {

enum class AutomationKind { parameter, suspend, resume, jump };

// One --at as written, before the sample rate and the effect's parameters are known.
struct AutomationRequest {
    TimeValue time;
    AutomationKind kind = AutomationKind::parameter;
    ParameterAssignment assignment; // parameter
    TimeValue jumpTarget;           // jump: transport position from the origin; bare = bars
    std::string text;               // "12s Cuts/Bar=8", for messages
};

// Parses TIME (12s, 32beats, 9bars, bare = frames) and ACTION (NAME=VALUE, suspend, resume,
// jump=POSITION). Throws UsageError.
AutomationRequest parseAutomation(std::string_view time, std::string_view action);

struct AutomationEvent {
    std::int64_t frame = 0; // render frame the event precedes
    AutomationKind kind = AutomationKind::parameter;
    ResolvedSetting setting;             // parameter
    std::int64_t jumpTransportFrame = 0; // jump
    std::string text;
};

// Resolves requests against the effect's parameters and the timeline, sorted by frame (events
// at one frame keep their command-line order). Requests at or after `totalFrames` are dropped
// with a line in `warnings`; a parameter value the effect cannot take throws ToolError.
std::vector<AutomationEvent> resolveAutomation(const std::vector<AutomationRequest>& requests,
                                               const ParameterTable& parameters,
                                               const Timeline& timeline, std::int64_t totalFrames,
                                               std::vector<std::string>& warnings);

struct BlockSpan {
    std::int64_t start = 0;
    std::int32_t frames = 0;
};

// Cuts [0, totalFrames) into blocks of at most `blockFrames`, ending a block early wherever an
// event frame falls inside it, so that every event frame begins a block.
class BlockSplitter {
public:
    BlockSplitter(std::int64_t totalFrames, std::int32_t blockFrames,
                  std::vector<std::int64_t> eventFrames);

    bool done() const noexcept { return position >= total; }
    BlockSpan next() noexcept;

private:
    std::int64_t total;
    std::int32_t blockFrames;
    std::vector<std::int64_t> cuts; // sorted
    std::size_t nextCut = 0;
    std::int64_t position = 0;
};

} // namespace vorblexter::tool
