// The plug-in's LV2 descriptor: its URI and the entries hosts call. The bundle's library
// exports it as `lv2_descriptor(0)`; tests and fuzzers reach the same entries through here.
#pragma once

#include <lv2/core/lv2.h>

namespace vorblexter::lv2 {

// A URN rather than an address: it never changes, claims no web domain, and names the same
// library as the VST 2.x plug-in.
inline constexpr const char* kPluginUri = "urn:vorblexter:vorblexter1";

const LV2_Descriptor* pluginDescriptor() noexcept;

} // namespace vorblexter::lv2
