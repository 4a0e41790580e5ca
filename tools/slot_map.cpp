#include "tools/slot_map.h"

#include <algorithm>
#include <limits>
#include <map>

namespace vorblexter::tool {

namespace {

// Matching compares in runs of this many frames and gives up on a candidate as soon as it is
// worse than the best so far; a wrong slice usually loses within the first run.
constexpr std::int64_t kRunFrames = 256;
// Relative squared error below which a slot counts as the slice itself. Gain-1 frames are
// copied exactly, so anything but a true match is far above it.
constexpr double kMatchTolerance = 1e-9;

struct CapturedLoop {
    std::vector<float> left;
    std::vector<float> right;
};

CapturedLoop assemble(const StereoAudio& input, const CaptureSpan& capture)
{
    CapturedLoop loop;
    const auto frames = static_cast<std::size_t>(std::max(0, capture.loopFrames));
    loop.left.assign(frames, 0.0f);
    loop.right.assign(frames, 0.0f);
    for (const CapturePiece& piece : capture.pieces) {
        for (std::int64_t i = 0; i < piece.frames; ++i) {
            const std::int64_t from = piece.renderFrame + i;
            const std::int64_t to = piece.bufferOffset + i;
            if (from >= 0 && from < input.frames() && to >= 0 &&
                to < static_cast<std::int64_t>(frames)) {
                loop.left[static_cast<std::size_t>(to)] =
                    input.left[static_cast<std::size_t>(from)];
                loop.right[static_cast<std::size_t>(to)] =
                    input.right[static_cast<std::size_t>(from)];
            }
        }
    }
    return loop;
}

struct Region {
    std::int64_t begin = 0; // render frames
    std::int64_t end = 0;
    std::int64_t slotStart = 0;
};

class SlotMatcher {
public:
    SlotMatcher(const StereoAudio& output, const CapturedLoop& loop, std::int32_t sliceFrames)
        : out(output), captured(loop), sliceFrames(sliceFrames)
    {
    }

    // Squared error of the region against one slice, or early at least `limit`.
    double error(const Region& region, std::int32_t slice, bool reversed, double limit) const
    {
        double sum = 0.0;
        const std::int64_t base = static_cast<std::int64_t>(slice) * sliceFrames;
        for (std::int64_t frame = region.begin; frame < region.end;) {
            const std::int64_t runEnd = std::min(region.end, frame + kRunFrames);
            for (; frame < runEnd; ++frame) {
                const std::int64_t offset = frame - region.slotStart;
                const std::int64_t at = base + (reversed ? sliceFrames - 1 - offset : offset);
                const auto o = static_cast<std::size_t>(frame);
                const auto c = static_cast<std::size_t>(at);
                const double dl = static_cast<double>(out.left[o]) - captured.left[c];
                const double dr = static_cast<double>(out.right[o]) - captured.right[c];
                sum += dl * dl + dr * dr;
            }
            if (sum > limit) {
                return sum;
            }
        }
        return sum;
    }

    double energy(const Region& region) const
    {
        double sum = 0.0;
        for (std::int64_t frame = region.begin; frame < region.end; ++frame) {
            const auto o = static_cast<std::size_t>(frame);
            sum += static_cast<double>(out.left[o]) * out.left[o] +
                   static_cast<double>(out.right[o]) * out.right[o];
        }
        return sum;
    }

private:
    const StereoAudio& out;
    const CapturedLoop& captured;
    std::int32_t sliceFrames;
};

} // namespace

std::vector<SlotReading> recoverSlotMap(const StereoAudio& input, const StereoAudio& output,
                                        const EffectTimeline& timeline)
{
    std::vector<SlotReading> slots;
    std::map<std::size_t, CapturedLoop> loops;
    const std::int64_t margin = std::max(0, timeline.maxEnvelopeFrames());
    const std::int64_t available = std::min(output.frames(), timeline.reliableUntil());
    std::vector<std::int32_t> previousPass;

    for (std::size_t passIndex = 0; passIndex < timeline.passes().size(); ++passIndex) {
        const PassSpan& pass = timeline.passes()[passIndex];
        if (pass.capture >= timeline.captures().size() || pass.sliceFrames <= 0) {
            continue;
        }
        const CaptureSpan& capture = timeline.captures()[pass.capture];
        if (!loops.contains(pass.capture)) {
            loops.emplace(pass.capture, assemble(input, capture));
        }
        const CapturedLoop& loop = loops.at(pass.capture);
        if (static_cast<std::int64_t>(pass.sliceCount) * pass.sliceFrames >
            static_cast<std::int64_t>(loop.left.size())) {
            continue;
        }
        const SlotMatcher matcher(output, loop, pass.sliceFrames);
        std::vector<std::int32_t> thisPass(static_cast<std::size_t>(pass.sliceCount), -1);

        for (std::int32_t position = 0; position < pass.sliceCount; ++position) {
            const std::int64_t slotStart =
                pass.clockOrigin + static_cast<std::int64_t>(position) * pass.sliceFrames;
            const std::int64_t slotEnd = slotStart + pass.sliceFrames;
            const FrameSpan played{std::max(slotStart, pass.frames.begin),
                                   std::min({slotEnd, pass.frames.end, available})};
            if (played.end <= played.begin) {
                continue;
            }
            SlotReading reading;
            reading.frames = played;
            reading.pass = passIndex;
            reading.position = position;

            Region region{std::max(played.begin, slotStart + margin),
                          std::min(played.end, slotEnd - margin), slotStart};
            if (pass.handOver.end > region.begin && pass.handOver.begin <= region.begin) {
                region.begin = pass.handOver.end;
            }
            if (region.end <= region.begin) {
                slots.push_back(reading);
                continue;
            }
            const double energy = matcher.energy(region);
            if (energy == 0.0) {
                reading.kind = SlotKind::silent;
                slots.push_back(reading);
                continue;
            }

            // Likely answers first, so that most other candidates stop after one run.
            std::vector<std::int32_t> order{position};
            if (static_cast<std::size_t>(position) < previousPass.size() &&
                previousPass[static_cast<std::size_t>(position)] >= 0) {
                order.push_back(previousPass[static_cast<std::size_t>(position)]);
            }
            for (std::int32_t slice = 0; slice < pass.sliceCount; ++slice) {
                order.push_back(slice);
            }
            double best = std::numeric_limits<double>::infinity();
            for (const std::int32_t slice : order) {
                for (const bool reversed : {false, true}) {
                    const double error = matcher.error(region, slice, reversed, best);
                    if (error < best) {
                        best = error;
                        reading.slice = slice;
                        reading.kind = reversed ? SlotKind::reversed : SlotKind::forward;
                    }
                }
            }
            if (best > kMatchTolerance * energy) {
                reading.slice = -1;
                reading.kind = SlotKind::unknown;
            }
            thisPass[static_cast<std::size_t>(position)] = reading.slice;
            slots.push_back(reading);
        }
        previousPass = std::move(thisPass);
    }
    return slots;
}

std::string slotLabel(const SlotReading& slot)
{
    switch (slot.kind) {
    case SlotKind::forward:
        return std::to_string(slot.slice);
    case SlotKind::reversed:
        return std::to_string(slot.slice) + "R";
    case SlotKind::silent:
        return "S";
    case SlotKind::unknown:
        break;
    }
    return "?";
}

std::vector<std::string> passLabels(const std::vector<SlotReading>& slots)
{
    std::vector<std::string> labels;
    std::size_t currentPass = SIZE_MAX;
    for (const SlotReading& slot : slots) {
        if (slot.pass != currentPass) {
            labels.emplace_back();
            currentPass = slot.pass;
        } else {
            labels.back() += ' ';
        }
        labels.back() += slotLabel(slot);
    }
    return labels;
}

} // namespace vorblexter::tool
