// The transport the engine reads, kept from the host's time:Position events.
//
// The host reports its position only now and then (while rolling at the start of each run,
// while stopped only on a change), so between reports the record runs on by itself: the frame
// advances by each processed stretch while the speed is not 0 and stands while it is 0. A
// stopped transport is therefore a standing one to the engine, which passes the input through
// and starts no capture. Until the first report there is no record at all, and the audio passes
// through.
#pragma once

#include "engine/transport.h"

#include <cstdint>
#include <optional>

namespace vorblexter::lv2 {

// The numbers of one time:Position; a property the host left out is empty and keeps the value
// the record had.
struct PositionUpdate {
    std::optional<double> frame;
    std::optional<double> speed;
    std::optional<double> beatsPerMinute;
    std::optional<double> beatsPerBar;
};

class Transport {
public:
    explicit Transport(double sampleRate) noexcept;

    void apply(const PositionUpdate& update) noexcept;
    // `frames` frames have been processed from the record's position.
    void advance(std::int32_t frames) noexcept;
    // The record for the stretch about to be processed; null before the first position.
    const TransportInfo* info() const noexcept;

private:
    TransportInfo record{};
    double speed = 0.0;
    bool known = false;
};

} // namespace vorblexter::lv2
