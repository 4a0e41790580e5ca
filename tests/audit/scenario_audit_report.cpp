// The scenario runner under the audit: the trap goes in before the first session, and at exit
// the audio calls' tally is printed after the digests; a call the rules forbid fails the run.
#include "tests/audit/audio_audit.h"

#include <cstdio>
#include <cstdlib>

namespace vorblexter::audit {
namespace {

struct Report {
    Report()
    {
        std::printf("audit: system call trap %s\n",
                    installSystemCallTrap() ? "installed" : "not available");
    }
    ~Report()
    {
        const Tally tally = audioTally();
        std::printf("audit of the scenario sessions\n%s", tally.describe().c_str());
        std::fflush(stdout);
        if (tally.audioCalls == 0 || tally.forbidden() != 0) {
            std::fprintf(stderr, "audit: %s\n",
                         tally.audioCalls == 0 ? "no audio call was audited"
                                               : "the audio calls broke the real-time rules");
            std::_Exit(3);
        }
    }
};

const Report report;

} // namespace
} // namespace vorblexter::audit
