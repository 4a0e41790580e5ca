// The control inputs reach the effect as a host's automation would: through setParameter, with
// host values the effect reads back as the quantities the controls show.
//
// A control is sent only when its quantity differs from the one the effect holds, so a Loop
// Length left alone never restarts the capture, and a setting moved by anything else is not
// fought over at every run.
#pragma once

#include "engine/slicer_effect.h"
#include "lv2/ports.h"

#include <cstdint>

namespace vorblexter::lv2 {

// The quantity the effect would display for a port value, which automation curves may leave
// between the allowed ones: percentages and Envelope truncate toward zero, the power-of-two
// steps take the largest step not above the value, and all are clamped to their ranges (NaN
// counts as the lowest value).
std::int32_t quantityFromPortValue(std::int32_t parameter, float value) noexcept;

// The host value that the effect reads back as `quantity` for `parameter`.
float hostValueForQuantity(std::int32_t parameter, std::int32_t quantity) noexcept;

// The quantity the effect holds for `parameter` now.
std::int32_t heldQuantity(const SlicerEffect& effect, std::int32_t parameter) noexcept;

// Sends every connected control whose quantity the effect does not hold yet.
void syncControls(const Ports& ports, SlicerEffect& effect) noexcept;

} // namespace vorblexter::lv2
