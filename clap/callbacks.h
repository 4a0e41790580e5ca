// The C face of an instance: the plug-in record the host calls through, and the extensions it
// may ask for (audio ports, parameters, state). Every entry finds its instance through the
// record and answers a refusal for a record that is not one of ours.
#pragma once

#include <clap/plugin.h>

namespace vorblexter::clap {

class Instance;

// The record for `instance`, describing the one plug-in of the factory.
clap_plugin pluginRecord(Instance* instance) noexcept;

} // namespace vorblexter::clap
