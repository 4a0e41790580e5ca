// The control inputs reach the engine as a host's automation would: as host values the engine
// reads back as the quantities the controls show.
//
// A control is sent only when its quantity differs from the one the engine holds, so a Loop
// Length left alone never restarts the capture, and a setting moved by anything else is not
// fought over at every run.
#pragma once

#include "engine/slice_engine.h"
#include "lv2/ports.h"

namespace vorblexter::lv2 {

// Sends every connected control whose quantity the engine does not hold yet. A port value
// between the allowed ones, outside the range or NaN counts as the quantity the engine would
// show for it (the parameter table's rule).
void syncControls(const Ports& ports, SliceEngine& engine) noexcept;

} // namespace vorblexter::lv2
