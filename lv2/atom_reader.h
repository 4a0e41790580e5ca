// Reads the host's atoms in place, within the sizes they declare.
//
// Nothing here trusts a size field: every header and every body is checked to lie inside the
// sequence the host handed over (its header plus the size that header declares) before it is
// read, and reads go through memcpy so that a misaligned atom is no fault either. A sequence
// whose next event does not fit ends there.
#pragma once

#include "lv2/transport.h"
#include "lv2/urids.h"

#include <lv2/atom/atom.h>

#include <cstddef>
#include <cstdint>

namespace vorblexter::lv2 {

// One event of a sequence: its time stamp and where its body atom's contents lie.
struct SequenceEvent {
    bool hasFrame = false; // false in a sequence stamped in beats
    std::int64_t frame = 0;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    const unsigned char* body = nullptr; // `size` bytes, all inside the sequence
};

class SequenceReader {
public:
    // A null sequence, or an atom that is not a sequence, has no events.
    SequenceReader(const LV2_Atom_Sequence* sequence, const Urids& urids) noexcept;

    // The next event, or false at the end of the sequence.
    bool next(SequenceEvent& event) noexcept;

private:
    const unsigned char* bytes = nullptr;
    std::size_t end = 0;    // bytes of the sequence, header included
    std::size_t offset = 0; // of the next event header
    bool framesStamped = true;
};

// Fills `update` from an event that is a time:Position object; false for any other event.
// Numbers may come as Float, Double, Int or Long; a property of another type, or too short
// for its type, is left out.
bool readPosition(const SequenceEvent& event, const Urids& urids, PositionUpdate& update) noexcept;

} // namespace vorblexter::lv2
