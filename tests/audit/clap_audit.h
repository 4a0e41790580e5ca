// The CLAP binding under the audit (audio_audit.h): its process calls counted as audio calls.
#pragma once

#include "tests/audit/audio_audit.h"
#include "tests/audit/audit_hosts.h"

#include <clap/plugin-factory.h>

#include <memory>

namespace vorblexter::audit {

// A copy of the factory whose plug-ins have their process wrapped in AudioCall, with the host's
// event lists answered outside it; one factory at a time.
const clap_plugin_factory* audited(const clap_plugin_factory* factory) noexcept;

// A host on the audited factory of the binding linked in: a transport in every block's record,
// settings as events at the start of the next block, and the plug-in's main-thread callback,
// where it releases what it retired, run between blocks when asked for; workerRuns counts those.
std::unique_ptr<SessionHost> clapHost(const HostSetup& setup);

} // namespace vorblexter::audit
