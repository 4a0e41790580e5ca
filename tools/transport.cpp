#include "tools/transport.h"

#include <algorithm>
#include <cmath>

namespace vorblexter::tool {

namespace {

constexpr double kMidiClocksPerQuarterNote = 24.0;
// Positions computed from frames carry rounding of about 1e-12 quarter notes; a position this
// close below a bar line or clock tick counts as on it.
constexpr double kGridTolerance = 1e-9;

double floorOnGrid(double value) noexcept
{
    return std::floor(value + kGridTolerance);
}

} // namespace

VstTimeInfo timeInfoAt(const Timeline& timeline, std::int64_t samplePos, bool changed) noexcept
{
    VstTimeInfo info{};
    const double position = static_cast<double>(samplePos);
    const double quarterNotes = position / timeline.framesPerQuarterNote();
    const double barQuarterNotes = timeline.timeSignature.quarterNotesPerBar();

    info.samplePos = position;
    info.sampleRate = timeline.sampleRate;
    info.nanoSeconds = position / timeline.sampleRate * 1e9;
    info.ppqPos = quarterNotes;
    info.tempo = timeline.tempo;
    info.barStartPos = floorOnGrid(quarterNotes / barQuarterNotes) * barQuarterNotes;
    info.timeSigNumerator = timeline.timeSignature.numerator;
    info.timeSigDenominator = timeline.timeSignature.denominator;

    const double clocks = quarterNotes * kMidiClocksPerQuarterNote;
    const double toNextClock = std::ceil(clocks - kGridTolerance) - clocks;
    info.samplesToNextClock = static_cast<VstInt32>(std::lround(
        std::max(0.0, toNextClock) / kMidiClocksPerQuarterNote * timeline.framesPerQuarterNote()));

    info.flags = kVstTransportPlaying | kVstNanosValid | kVstPpqPosValid | kVstTempoValid |
                 kVstBarsValid | kVstTimeSigValid | kVstClockValid;
    if (changed) {
        info.flags |= kVstTransportChanged;
    }
    return info;
}

Transport::Transport(const Timeline& timeline, std::int64_t startFrame) noexcept
    : settings(timeline), position(startFrame)
{
}

const VstTimeInfo& Transport::beginBlock() noexcept
{
    info = timeInfoAt(settings, position, changed);
    changed = false;
    return info;
}

void Transport::jumpTo(std::int64_t frame) noexcept
{
    position = frame;
    changed = true;
}

} // namespace vorblexter::tool
