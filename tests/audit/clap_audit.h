// The CLAP binding under the audit (audio_audit.h): its process calls counted as audio calls.
#pragma once

#include <clap/plugin-factory.h>

namespace vorblexter::audit {

// A copy of the factory whose plug-ins have their process wrapped in AudioCall, with the host's
// event lists answered outside it; one factory at a time.
const clap_plugin_factory* audited(const clap_plugin_factory* factory) noexcept;

} // namespace vorblexter::audit
