// The engine's private state and set-up operations, for tests that check or arrange what no
// host can see. Production code never includes this.
#pragma once

#include "engine/slice_engine.h"

namespace vorblexter::testing {

struct EngineAccess {
    static EngineState& state(SliceEngine& engine) noexcept { return engine; }
    static ParameterQuantities& quantities(SliceEngine& engine) noexcept { return engine; }
    static FadeTable& fadeTable(SliceEngine& engine) noexcept { return engine.fadeTable; }
    static TransportSource& transportSource(SliceEngine& engine) noexcept
    {
        return engine.transportSource;
    }

    static void getLoopInfo(SliceEngine& engine) noexcept { engine.getLoopInfo(); }
    static void setupBuffers(SliceEngine& engine) noexcept { engine.setupBuffers(); }
    static void setupSlices(SliceEngine& engine) { engine.setupSlices(); }
    static void randomiseSlices(SliceEngine& engine) { engine.randomiseSlices(); }
    static void restartCapture(SliceEngine& engine) noexcept { engine.restartCapture(); }
};

} // namespace vorblexter::testing
