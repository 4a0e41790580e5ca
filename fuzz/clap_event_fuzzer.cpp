// libFuzzer entry: every input is a sequence of CLAP host calls (see clap_event_player.h),
// played against the plug-in's factory itself, linked in. A broken check aborts, so libFuzzer
// keeps the input as a crash, as it does for sanitizer reports.
#include "clap/factory.h"
#include "fuzz/clap_event_player.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const vorblexter::fuzzing::ClapPlayOutcome outcome =
        vorblexter::fuzzing::playClapEvents(vorblexter::clap::pluginFactory(), data, size);
    if (!outcome.ok) {
        std::fprintf(stderr, "clap event check failed: %s\n", outcome.violation.c_str());
        std::abort();
    }
    return 0;
}
