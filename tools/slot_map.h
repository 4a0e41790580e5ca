// The slot map read from the audio itself: for every slot the effect played, which slice of the
// captured loop it played, forwards or backwards, or that it was silent.
//
// Each slot of the output is compared with every slice of the captured input, forwards and
// backwards, over the part of the slot where the effect's gain is exactly 1: away from the edge
// fades and from the straight hand-over that follows a capture. There a played slice equals the
// captured one sample for sample, so a match is exact, not a likeness.
#pragma once

#include "tools/audio_file.h"
#include "tools/effect_timeline.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorblexter::tool {

enum class SlotKind { forward, reversed, silent, unknown };

struct SlotReading {
    FrameSpan frames;          // render frames of the slot that were played
    std::size_t pass = 0;      // index into EffectTimeline::passes()
    std::int32_t position = 0; // the slot's place in its pass, from 0
    std::int32_t slice = -1;   // the captured slice it plays; -1 when silent or unknown
    SlotKind kind = SlotKind::unknown;
};

std::vector<SlotReading> recoverSlotMap(const StereoAudio& input, const StereoAudio& output,
                                        const EffectTimeline& timeline);

// "5" (forward), "5R" (reversed), "S" (silent), "?" (no exact match).
std::string slotLabel(const SlotReading& slot);

// The labels of each pass in order, one string per pass ("0 1 2R S ...").
std::vector<std::string> passLabels(const std::vector<SlotReading>& slots);

} // namespace vorblexter::tool
