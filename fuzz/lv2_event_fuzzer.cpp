// libFuzzer entry: every input is a sequence of LV2 host calls (see lv2_event_player.h), played
// against the plug-in's descriptor itself, linked in. A broken check aborts, so libFuzzer keeps
// the input as a crash, as it does for sanitizer reports.
#include "fuzz/lv2_event_player.h"
#include "lv2/plugin_descriptor.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const vorblexter::fuzzing::Lv2PlayOutcome outcome =
        vorblexter::fuzzing::playLv2Events(vorblexter::lv2::pluginDescriptor(), data, size);
    if (!outcome.ok) {
        std::fprintf(stderr, "lv2 event check failed: %s\n", outcome.violation.c_str());
        std::abort();
    }
    return 0;
}
