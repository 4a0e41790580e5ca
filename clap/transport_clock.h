// The transport the engine reads, kept from the host's CLAP transport reports.
//
// A host reports the transport at the start of every block and, where it changes inside one, as
// an event at its frame. Each report replaces what it flags: the position (the nearest frame to
// its seconds timeline), the tempo, the time signature's numerator and whether the transport
// plays. A field the host leaves unflagged keeps its last value, and until a host reports them
// the tempo is 120 and the bar has four beats. Between reports the position advances by the
// frames processed while the transport plays and stands while it is stopped, so a stopped
// transport is a standing one to the engine, which passes the input through. A block with no
// transport at all has no record: the audio passes through.
//
// The beat timeline and the bar start are not read: the engine finds its bar lines from the
// frame position, the tempo and the numerator, as it does from a VST host's time record, and
// the output must be the same bit for bit whatever the format.
//
// Audio thread only, except setRate (activation, with processing stopped).
#pragma once

#include "engine/transport.h"

#include <clap/events.h>

#include <cstdint>

namespace vorblexter::clap {

class TransportClock {
public:
    TransportClock() noexcept;

    void setRate(double sampleRate) noexcept;
    void apply(const clap_event_transport& report) noexcept;
    // A block of a free-running host: no record until the next report.
    void forget() noexcept;
    // `frames` frames have been processed from the record's position.
    void advance(std::int32_t frames) noexcept;
    // The record for the stretch about to be processed; null without a report this block.
    const TransportInfo* info() const noexcept;

private:
    TransportInfo record{};
    bool playing = false;
    bool known = false;
};

// The nearest frame to a CLAP seconds position at `sampleRate`.
double frameOfSeconds(clap_sectime seconds, double sampleRate) noexcept;

} // namespace vorblexter::clap
