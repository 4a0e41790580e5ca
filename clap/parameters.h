// The CLAP parameters: the eight settings in the units a musician reads, then the three status
// values the host may show but not change.
//
// Ids are indices: 0 to 7 in the parameter table's order, 8 State, 9 Slot, 10 Slice. Percentages
// are 0 to 100 and Envelope 1 to 10000, as displayed; the power-of-two settings (Cuts/Bar,
// Variation, Loop Length) are their exponent 0 to 6, shown as 2 to that power, so that a host's
// knob moves by equal steps. Every one is stepped, and a value between steps, outside the range
// or NaN stands for the quantity the effect would show for it: cut down to a step, held to the
// range, NaN as the lowest (the parameter table's rule).
//
// Pure functions of the tables: callable from any thread.
#pragma once

#include "engine/parameter_table.h"

#include <clap/ext/params.h>

#include <cstdint>
#include <optional>

namespace vorblexter::clap {

inline constexpr clap_id kStateParam = 8;  // 0 waiting, 1 capturing, 2 playing
inline constexpr clap_id kSlotParam = 9;   // order position playing, from 1; 0 when not playing
inline constexpr clap_id kSliceParam = 10; // slice playing, from 1, negative reversed; 0 none
inline constexpr std::uint32_t kParamCount = 11;

// The most slices a loop can have: the highest Cuts/Bar over the longest loop.
inline constexpr std::int32_t kMostSlices =
    kParameters[kCutsPerBar].maximum * kParameters[kLoopLength].maximum / 4;

inline constexpr bool isSetting(clap_id id) noexcept
{
    return id < static_cast<clap_id>(kParameterCount);
}

// False for an index past the last parameter.
bool paramInfo(std::uint32_t index, clap_param_info& info) noexcept;

// The quantity a setting's CLAP value stands for. `id` must be a setting.
std::int32_t quantityFromValue(clap_id id, double value) noexcept;

// The CLAP value of a quantity the setting can hold. `id` must be a setting.
double valueFromQuantity(clap_id id, std::int32_t quantity) noexcept;

// A setting shows the VST library's display of the quantity with its label after it ("25 %",
// "4 Beats", "4" for Cuts/Bar, which has none); State shows its name, Slot and Slice their
// number. False for an unknown id or when the text (and its terminating zero) does not fit.
bool valueToText(clap_id id, double value, char* display, std::uint32_t size) noexcept;

// Reads what valueToText writes, the label optional; empty for an unknown id, an unreadable
// text or a quantity the parameter cannot hold.
std::optional<double> textToValue(clap_id id, const char* display) noexcept;

} // namespace vorblexter::clap
