#include "lv2/transport.h"

#include "engine/parameter_mapping.h"

namespace vorblexter::lv2 {

namespace {

// What a position that leaves these out is taken to mean: the usual 4/4 at 120 beats per minute.
constexpr double kDefaultTempo = 120.0;
constexpr std::int32_t kDefaultBeatsPerBar = 4;

} // namespace

Transport::Transport(double sampleRate) noexcept
{
    record.sampleRate = sampleRate;
    record.tempo = kDefaultTempo;
    record.timeSigNumerator = kDefaultBeatsPerBar;
}

void Transport::apply(const PositionUpdate& update) noexcept
{
    known = true;
    if (update.frame) {
        record.samplePos = *update.frame;
    }
    if (update.speed) {
        speed = *update.speed;
    }
    // Taken as they come: the engine itself guards against unusable tempos and numerators.
    if (update.beatsPerMinute) {
        record.tempo = *update.beatsPerMinute;
    }
    if (update.beatsPerBar) {
        record.timeSigNumerator = truncateToInt32(*update.beatsPerBar);
    }
}

void Transport::advance(std::int32_t frames) noexcept
{
    if (speed != 0.0) {
        record.samplePos += static_cast<double>(frames);
    }
}

const TransportInfo* Transport::info() const noexcept
{
    return known ? &record : nullptr;
}

} // namespace vorblexter::lv2
