// Which VST hosts the effect follows the tempo in.
#pragma once

#include <cstddef>

namespace vorblexter {

// The loop geometry is computed only in hosts whose vendor text contains one of the two makers
// whose tempo reports the effect was built against. Case-sensitive, and never reads past
// `capacity` bytes, terminator or not.
bool vendorFollowsTempo(const char* vendorText, std::size_t capacity) noexcept;

} // namespace vorblexter
