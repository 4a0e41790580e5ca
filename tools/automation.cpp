#include "tools/automation.h"

#include "tools/tool_error.h"

#include <algorithm>

namespace vorblexter::tool {

AutomationRequest parseAutomation(std::string_view time, std::string_view action)
{
    AutomationRequest request;
    request.text = std::string(trimSpaces(time)) + " " + std::string(trimSpaces(action));
    request.time = parseTime(time, TimeUnit::frames, "--at " + std::string(trimSpaces(time)));
    if (request.time.amount < 0.0) {
        throw UsageError("--at " + std::string(trimSpaces(time)) +
                         ": a time before the first frame");
    }
    const std::string lower = lowerCase(trimSpaces(action));
    const std::string_view afterJump =
        lower.starts_with("jump") ? trimSpaces(std::string_view(lower).substr(4)) : "";
    if (lower == "suspend") {
        request.kind = AutomationKind::suspend;
    } else if (lower == "resume") {
        request.kind = AutomationKind::resume;
    } else if (afterJump.starts_with("=")) {
        request.kind = AutomationKind::jump;
        request.jumpTarget = parseTime(afterJump.substr(1), TimeUnit::bars, "--at ... jump=");
    } else {
        request.kind = AutomationKind::parameter;
        request.assignment = parseAssignment(action);
    }
    return request;
}

std::vector<AutomationEvent> resolveAutomation(const std::vector<AutomationRequest>& requests,
                                               const ParameterTable& parameters,
                                               const Timeline& timeline, std::int64_t totalFrames,
                                               std::vector<std::string>& warnings)
{
    std::vector<AutomationEvent> events;
    for (const AutomationRequest& request : requests) {
        AutomationEvent event;
        event.frame = framesFor(request.time, timeline);
        event.kind = request.kind;
        event.text = request.text;
        if (request.kind == AutomationKind::parameter) {
            event.setting = parameters.resolve(request.assignment);
        } else if (request.kind == AutomationKind::jump) {
            event.jumpTransportFrame = framesFor(request.jumpTarget, timeline);
        }
        if (event.frame >= totalFrames) {
            warnings.push_back("--at " + request.text + " lies after the end of the input (" +
                               std::to_string(totalFrames) + " frames); ignored");
            continue;
        }
        events.push_back(std::move(event));
    }
    std::stable_sort(
        events.begin(), events.end(),
        [](const AutomationEvent& a, const AutomationEvent& b) { return a.frame < b.frame; });
    return events;
}

BlockSplitter::BlockSplitter(std::int64_t totalFrames, std::int32_t maxBlockFrames,
                             std::vector<std::int64_t> eventFrames)
    : total(totalFrames), blockFrames(std::max<std::int32_t>(1, maxBlockFrames)),
      cuts(std::move(eventFrames))
{
    std::sort(cuts.begin(), cuts.end());
}

BlockSpan BlockSplitter::next() noexcept
{
    while (nextCut < cuts.size() && cuts[nextCut] <= position) {
        ++nextCut;
    }
    std::int64_t end = std::min(total, position + blockFrames);
    if (nextCut < cuts.size()) {
        end = std::min(end, cuts[nextCut]);
    }
    const BlockSpan span{position, static_cast<std::int32_t>(end - position)};
    position = end;
    return span;
}

} // namespace vorblexter::tool
