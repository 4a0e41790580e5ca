// The plug-in's diagnostic back end.
#pragma once

namespace vorblexter {

// Windows: every message goes to the debugger output stream.
// Elsewhere: silent unless the environment variable VORBLEXTER_DIAGNOSTICS is "stderr",
// in which case each message is written to standard error with one write call.
// Leaves a sink that is already installed (a test's, or a host tool's) in place.
void installPlatformDiagnostics() noexcept;

} // namespace vorblexter
