// What the engine needs to know of the host's transport, and how it asks for it.
//
// Each binding translates its format's transport (a VST time record, LV2 time:Position atoms,
// CLAP transport events) into a `TransportInfo` and answers the engine through a
// `TransportSource`. The engine asks at fixed moments, the same in every format, so that the
// VST library's calls to its host stay exactly where they always were.
#pragma once

#include <cstdint>

namespace vorblexter {

struct TransportInfo {
    double samplePos = 0.0;            // frames since the origin of the host's timeline
    double sampleRate = 0.0;           // frames per second
    double tempo = 0.0;                // beats per minute; a beat lasts 60 / tempo seconds
    std::int32_t timeSigNumerator = 0; // beats per bar
};

// Implemented by each binding; called only on the audio thread, from inside the engine's
// process, inside its failure handlers. Neither may allocate, lock or block.
class TransportSource {
public:
    // Once per block, at its start. Null when the host gives no transport this block: the
    // engine then passes the audio through. The record must stay valid, and may be refreshed
    // in place by the binding, until the block ends.
    virtual const TransportInfo* transport() = 0;

    // At every computation of the loop geometry, before the engine reads tempo, rate and
    // time signature from the block's record: whether the loop follows the host's tempo.
    virtual bool followsTempo() = 0;

protected:
    ~TransportSource() = default;
};

} // namespace vorblexter
