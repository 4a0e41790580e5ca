#include "lv2/status_outputs.h"

namespace vorblexter::lv2 {

void writeStatus(const Ports& ports, const EngineStatus& status) noexcept
{
    if (ports.state != nullptr) {
        *ports.state = static_cast<float>(status.phase);
    }
    if (ports.slot != nullptr) {
        *ports.slot = static_cast<float>(status.slot);
    }
    if (ports.slice != nullptr) {
        *ports.slice = static_cast<float>(status.slice);
    }
}

} // namespace vorblexter::lv2
