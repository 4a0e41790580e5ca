// The fade gains of one Envelope value, kept in a table so that a fade frame costs a load
// instead of a sine.
//
// Every entry is computed by fadeGain itself, so the table holds exactly the values the per-frame
// rule gives. Entries are filled on the audio thread, in chunks, only when a fade first needs
// them: a change of Envelope costs no block more than the chunks its fade frames touch, never a
// whole table at once. The table is a fixed array inside its owner; nothing is allocated.
#pragma once

#include "engine/fade.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace vorblexter {

class FadeTable {
public:
    // The longest fade the table holds: the top of the Envelope parameter's range.
    static constexpr std::int32_t kCapacity = 10000;
    static constexpr std::int32_t kChunk = 64;

    // Gains for fade positions first .. first + count - 1 of a fade of `envelopeLength` frames,
    // that is sin((n x 1.570796327) / envelopeLength) for each position n. Requires
    // 0 < envelopeLength <= kCapacity, first >= 0, count > 0 and first + count <=
    // envelopeLength.
    const double* gains(std::int32_t envelopeLength, std::int32_t first,
                        std::int32_t count) noexcept
    {
        if (envelopeLength != length) {
            length = envelopeLength;
            if (++generation == 0) {
                chunkGeneration.fill(0);
                generation = 1;
            }
        }
        const std::int32_t lastChunk = (first + count - 1) / kChunk;
        for (std::int32_t chunk = first / kChunk; chunk <= lastChunk; ++chunk) {
            if (chunkGeneration[static_cast<std::size_t>(chunk)] != generation) {
                fillChunk(chunk);
            }
        }
        return values.data() + first;
    }

private:
    void fillChunk(std::int32_t chunk) noexcept
    {
        const std::int32_t end = std::min(length, (chunk + 1) * kChunk);
        for (std::int32_t n = chunk * kChunk; n < end; ++n) {
            // A frame n frames into a slot that is not near its end: the fade-in value for n.
            values[static_cast<std::size_t>(n)] = fadeGain(length, n, length);
        }
        chunkGeneration[static_cast<std::size_t>(chunk)] = generation;
    }

    std::array<double, kCapacity> values{};
    // A chunk is valid while its generation equals the table's; a new length starts a new one.
    std::array<std::uint32_t, (kCapacity + kChunk - 1) / kChunk> chunkGeneration{};
    std::uint32_t generation = 0;
    std::int32_t length = 0; // the envelope length the valid chunks belong to; 0 = none yet
};

} // namespace vorblexter
