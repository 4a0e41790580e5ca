#include "platform/debug_output.h"

#include "engine/diagnostics.h"

#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vorblexter {

namespace {

#if defined(_WIN32)
void debuggerSink(const char* message)
{
    OutputDebugStringA(message);
}
#else
void standardErrorSink(const char* message)
{
    // One write per message keeps lines from interleaving with other writers.
    const ssize_t written = ::write(STDERR_FILENO, message, std::strlen(message));
    static_cast<void>(written);
}
#endif

} // namespace

void installPlatformDiagnostics() noexcept
{
#if defined(_WIN32)
    installDiagnosticSinkIfNone(&debuggerSink);
#else
    const char* choice = std::getenv("VORBLEXTER_DIAGNOSTICS");
    if (choice != nullptr && std::strcmp(choice, "stderr") == 0) {
        installDiagnosticSinkIfNone(&standardErrorSink);
    }
#endif
}

} // namespace vorblexter
