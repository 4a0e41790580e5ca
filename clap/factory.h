// The plug-in as CLAP hosts find it: its descriptor and the factory that holds it, the only
// factory `clap_entry` offers.
//
// The id, "vorblexter.vorblexter1", is what hosts store in their sessions to find the plug-in
// again, so it never changes. It has the reverse-domain shape hosts expect of CLAP ids while
// naming no registered domain, and unlike the LV2 URN it holds no colon, which some hosts would
// carry into the names of files and folders where Windows forbids it.
#pragma once

#include <clap/plugin-factory.h>

namespace vorblexter::clap {

inline constexpr char kPluginId[] = "vorblexter.vorblexter1";

const clap_plugin_descriptor* pluginDescriptor() noexcept;
const clap_plugin_factory* pluginFactory() noexcept;

} // namespace vorblexter::clap
