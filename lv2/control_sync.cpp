#include "lv2/control_sync.h"

namespace vorblexter::lv2 {

void syncControls(const Ports& ports, SliceEngine& engine) noexcept
{
    for (std::int32_t parameter = 0; parameter < kParameterCount; ++parameter) {
        const float* port = ports.parameters[static_cast<std::size_t>(parameter)];
        if (port == nullptr) {
            continue;
        }
        const ParameterSpec& entry = kParameters[parameter];
        const std::int32_t quantity = quantityFromDisplayValue(entry, *port);
        if (quantity != engine.quantity(parameter)) {
            engine.setParameter(parameter, hostValueFromQuantity(entry, quantity));
        }
    }
}

} // namespace vorblexter::lv2
