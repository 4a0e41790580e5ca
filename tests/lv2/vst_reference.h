// The reference for the LV2 plug-in: the VST 2.x library, opened by path and reached through its
// exported `main`, hosted by a host that reports vendor "Steinberg" (the effect follows its
// tempo) and hands it the transport an LV2 host's time:Position events describe.
#pragma once

#include "tests/lv2/session.h"

#include <string>

namespace vorblexter::lv2test {

// Plays `session` in place through a new effect of the library at `path`, on the calling thread.
// What the host does, per run: sends the controls whose displayed quantity changed as their
// host values, then processes the run in stretches split at its events (stamps held within the
// run and never before an earlier one), each with the position the events so far describe;
// between events the position advances while the speed is not 0. No transport record before
// the first event.
Rendered renderVst(const std::string& path, const Session& session);

// The quantity a control value shows, worked out the way a musician reads it: whole percent and
// envelope frames cut down, the power-of-two steps rounded down to one, held to the ranges.
std::int32_t shownQuantity(int parameter, float value);

} // namespace vorblexter::lv2test
