// The plug-in's ports, by the indices its Turtle gives them, and where the host put each one.
//
// Control input kFirstParameterPort + i carries the effect's parameter i, in the units the
// effect displays. Any pointer may be null: a port the host never connected is skipped.
#pragma once

#include "engine/parameter_table.h"

#include <lv2/atom/atom.h>

#include <array>
#include <cstdint>

namespace vorblexter::lv2 {

enum PortIndex : std::uint32_t {
    kInLeft = 0,
    kInRight,
    kOutLeft,
    kOutRight,
    kControl, // atom sequence input carrying time:Position
    kFirstParameterPort,
    kStatePort = kFirstParameterPort + kParameterCount,
    kSlotPort,
    kSlicePort,
    kPortCount,
};

struct Ports {
    const float* inLeft = nullptr;
    const float* inRight = nullptr;
    float* outLeft = nullptr;
    float* outRight = nullptr;
    const LV2_Atom_Sequence* control = nullptr;
    std::array<const float*, kParameterCount> parameters{};
    float* state = nullptr;
    float* slot = nullptr;
    float* slice = nullptr;

    bool audioConnected() const noexcept
    {
        return inLeft != nullptr && inRight != nullptr && outLeft != nullptr && outRight != nullptr;
    }
};

// Records `location` for `port`; an index outside the plug-in's ports is ignored.
void connectPort(Ports& ports, std::uint32_t port, void* location) noexcept;

} // namespace vorblexter::lv2
