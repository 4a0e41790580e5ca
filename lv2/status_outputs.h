// The three control outputs that let a host's generic controls show what is playing: State
// (0 waiting for a bar line or a transport, 1 capturing, 2 playing), Slot (the order position
// playing at the end of the run, from 1; 0 while not playing) and Slice (the captured slice that
// slot plays, from 1, negative when backwards, 0 when silent or not playing). Read from the
// engine's status after each run.
#pragma once

#include "engine/slice_engine.h"
#include "lv2/ports.h"

namespace vorblexter::lv2 {

// Writes the status to the output ports that are connected.
void writeStatus(const Ports& ports, const EngineStatus& status) noexcept;

} // namespace vorblexter::lv2
