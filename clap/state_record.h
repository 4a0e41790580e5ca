// The plug-in's saved state: the eight quantities, in a small record of its own.
//
// Layout, 40 bytes, little-endian: the tag "vbx1", the version (1, 32 bits), then each
// quantity as a signed 32-bit number in the parameter table's order. Nothing else belongs to a
// session: the captured loop is the host's audio, captured again after a load.
#pragma once

#include "engine/parameter_table.h"

#include <clap/stream.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vorblexter::clap {

using Quantities = std::array<std::int32_t, kParameterCount>;

inline constexpr std::uint32_t kStateVersion = 1;
inline constexpr std::size_t kStateBytes = 4 + 4 + 4 * kParameterCount;

std::array<std::uint8_t, kStateBytes> encodeState(const Quantities& quantities) noexcept;

// Empty for a record of another tag (another plug-in's), of another version, of another length
// or holding a quantity a parameter cannot hold.
std::optional<Quantities> decodeState(const std::uint8_t* bytes, std::size_t size) noexcept;

// Writes the whole record, however the stream splits it; false when the stream fails.
bool writeState(const clap_ostream& stream, const Quantities& quantities) noexcept;

// Reads the stream to its end (or to one byte past a record, which already makes it not ours).
std::optional<Quantities> readState(const clap_istream& stream) noexcept;

} // namespace vorblexter::clap
