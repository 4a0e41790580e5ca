#include "host/vendor_check.h"

#include <cstring>
#include <string_view>

namespace vorblexter {

bool vendorFollowsTempo(const char* vendorText, std::size_t capacity) noexcept
{
    if (vendorText == nullptr) {
        return false;
    }
    const std::string_view text(vendorText, ::strnlen(vendorText, capacity));
    return text.find("Steinberg") != std::string_view::npos ||
           text.find("Ableton") != std::string_view::npos;
}

} // namespace vorblexter
