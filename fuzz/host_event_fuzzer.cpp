// libFuzzer entry: every input is a sequence of host events (see host_event_player.h). A broken
// check aborts, so libFuzzer keeps the input as a crash, as it does for sanitizer reports.
#include "fuzz/host_event_player.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const vorblexter::fuzzing::PlayOutcome outcome =
        vorblexter::fuzzing::playHostEvents(data, size);
    if (!outcome.ok) {
        std::fprintf(stderr, "host event check failed: %s\n", outcome.violation.c_str());
        std::abort();
    }
    return 0;
}
