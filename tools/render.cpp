#include "tools/render.h"

#include "tools/hosted_effect.h"
#include "tools/progress.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace vorblexter::tool {

namespace {

// What the effect displays for one of the table's parameters, its default when it has none.
std::int32_t displayedOrDefault(HostedEffect& effect, const ParameterTable& parameters,
                                ParameterIndex wanted)
{
    const ParameterSpec& entry = kParameters[wanted];
    for (const ParameterInfo& parameter : parameters.all()) {
        if (parameter.entry == &entry) {
            return displayedQuantity(effect, parameter.index).value_or(entry.defaultQuantity);
        }
    }
    return entry.defaultQuantity;
}

void sendSetting(HostedEffect& effect, const ParameterTable& parameters,
                 const ResolvedSetting& setting, EffectTimeline& account)
{
    const std::optional<std::int32_t> shown = applySetting(effect, setting);
    const auto index = static_cast<std::size_t>(setting.index);
    if (shown && index < parameters.all().size()) {
        account.parameterChanged(timingParameterFor(parameters.all()[index].entry), *shown);
    }
}

// The transport record lives in the render's frame; the effect must not be left pointing at it,
// whether the render ends normally or by an error.
class TimeInfoLease {
public:
    TimeInfoLease(HostedEffect& hosted, const VstTimeInfo& info) : effect(hosted)
    {
        effect.setTimeInfo(&info);
    }
    ~TimeInfoLease() { effect.setTimeInfo(nullptr); }
    TimeInfoLease(const TimeInfoLease&) = delete;
    TimeInfoLease& operator=(const TimeInfoLease&) = delete;

private:
    HostedEffect& effect;
};

} // namespace

RenderResult renderThroughEffect(HostedEffect& effect, const ParameterTable& parameters,
                                 const StereoAudio& input, const RenderOptions& options,
                                 ProgressBar& progress)
{
    effect.open(options.timeline.sampleRate, options.blockFrames);
    effect.resume();

    EffectTimeline::Start start;
    start.timeline = options.timeline;
    start.vendorFollowsTempo = options.vendorFollowsTempo;
    start.loopBeats = displayedOrDefault(effect, parameters, kLoopLength);
    start.cutsPerBar = displayedOrDefault(effect, parameters, kCutsPerBar);
    start.envelopeFrames = displayedOrDefault(effect, parameters, kEnvelope);
    RenderResult result{StereoAudio{}, EffectTimeline(start), {}, {}, 0.0};
    for (const ResolvedSetting& setting : options.settings) {
        sendSetting(effect, parameters, setting, result.account);
    }

    const std::int64_t total = input.frames();
    result.output.sampleRate = input.sampleRate;
    result.output.resize(total);
    Transport transport(options.timeline, options.startFrame);
    const TimeInfoLease lease(effect, transport.record());
    result.transportMarks.push_back({0, options.startFrame});

    std::vector<std::int64_t> eventFrames;
    for (const AutomationEvent& event : options.events) {
        eventFrames.push_back(event.frame);
    }
    BlockSplitter splitter(total, options.blockFrames, eventFrames);
    std::size_t nextEvent = 0;
    bool suspended = false;
    const auto began = std::chrono::steady_clock::now();

    while (!splitter.done()) {
        const BlockSpan span = splitter.next();
        for (; nextEvent < options.events.size() && options.events[nextEvent].frame <= span.start;
             ++nextEvent) {
            const AutomationEvent& event = options.events[nextEvent];
            switch (event.kind) {
            case AutomationKind::parameter:
                sendSetting(effect, parameters, event.setting, result.account);
                break;
            case AutomationKind::suspend:
                if (!suspended) {
                    effect.suspend();
                    result.account.suspended(span.start);
                    suspended = true;
                }
                break;
            case AutomationKind::resume:
                if (suspended) {
                    effect.resume();
                    suspended = false;
                }
                break;
            case AutomationKind::jump:
                transport.jumpTo(event.jumpTransportFrame);
                result.transportMarks.push_back({span.start, event.jumpTransportFrame});
                break;
            }
        }

        const auto at = static_cast<std::size_t>(span.start);
        const auto count = static_cast<std::size_t>(span.frames);
        if (suspended) {
            std::copy_n(input.left.begin() + static_cast<std::ptrdiff_t>(at), count,
                        result.output.left.begin() + static_cast<std::ptrdiff_t>(at));
            std::copy_n(input.right.begin() + static_cast<std::ptrdiff_t>(at), count,
                        result.output.right.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            const VstTimeInfo& info = transport.beginBlock();
            effect.process(input.left.data() + at, input.right.data() + at,
                           result.output.left.data() + at, result.output.right.data() + at,
                           span.frames);
            result.account.block(span.start, info.samplePos, span.frames);
            result.blocks.push_back(span);
        }
        transport.advance(span.frames);
        progress.update(span.start + span.frames);
    }
    result.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    result.account.finish(total);
    progress.finish();

    if (effect.isResumed()) {
        effect.suspend();
    }
    effect.close();
    return result;
}

} // namespace vorblexter::tool
