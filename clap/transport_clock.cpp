#include "clap/transport_clock.h"

#include <cmath>

namespace vorblexter::clap {

namespace {

constexpr double kDefaultTempo = 120.0;
constexpr std::int32_t kDefaultBeatsPerBar = 4;

} // namespace

double frameOfSeconds(clap_sectime seconds, double sampleRate) noexcept
{
    return std::round(static_cast<double>(seconds) / static_cast<double>(CLAP_SECTIME_FACTOR) *
                      sampleRate);
}

TransportClock::TransportClock() noexcept
{
    record.tempo = kDefaultTempo;
    record.timeSigNumerator = kDefaultBeatsPerBar;
}

void TransportClock::setRate(double sampleRate) noexcept
{
    record.sampleRate = sampleRate;
}

void TransportClock::apply(const clap_event_transport& report) noexcept
{
    known = true;
    if ((report.flags & CLAP_TRANSPORT_HAS_SECONDS_TIMELINE) != 0) {
        record.samplePos = frameOfSeconds(report.song_pos_seconds, record.sampleRate);
    }
    // Taken as they come: the engine itself keeps its loop when a tempo or numerator is unusable.
    if ((report.flags & CLAP_TRANSPORT_HAS_TEMPO) != 0) {
        record.tempo = report.tempo;
    }
    if ((report.flags & CLAP_TRANSPORT_HAS_TIME_SIGNATURE) != 0) {
        record.timeSigNumerator = report.tsig_num;
    }
    playing = (report.flags & CLAP_TRANSPORT_IS_PLAYING) != 0;
}

void TransportClock::forget() noexcept
{
    known = false;
}

void TransportClock::advance(std::int32_t frames) noexcept
{
    if (playing) {
        record.samplePos += static_cast<double>(frames);
    }
}

const TransportInfo* TransportClock::info() const noexcept
{
    return known ? &record : nullptr;
}

} // namespace vorblexter::clap
