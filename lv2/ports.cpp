#include "lv2/ports.h"

namespace vorblexter::lv2 {

void connectPort(Ports& ports, std::uint32_t port, void* location) noexcept
{
    switch (port) {
    case kInLeft:
        ports.inLeft = static_cast<const float*>(location);
        return;
    case kInRight:
        ports.inRight = static_cast<const float*>(location);
        return;
    case kOutLeft:
        ports.outLeft = static_cast<float*>(location);
        return;
    case kOutRight:
        ports.outRight = static_cast<float*>(location);
        return;
    case kControl:
        ports.control = static_cast<const LV2_Atom_Sequence*>(location);
        return;
    case kStatePort:
        ports.state = static_cast<float*>(location);
        return;
    case kSlotPort:
        ports.slot = static_cast<float*>(location);
        return;
    case kSlicePort:
        ports.slice = static_cast<float*>(location);
        return;
    default:
        break;
    }
    if (port >= kFirstParameterPort && port < kFirstParameterPort + kParameterCount) {
        ports.parameters[port - kFirstParameterPort] = static_cast<const float*>(location);
    }
}

} // namespace vorblexter::lv2
