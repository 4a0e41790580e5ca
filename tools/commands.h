// The three subcommands, callable in-process (the executable's main() and the tests both do).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vorblexter::tool {

struct Console {
    std::ostream& out; // results: listings, file paths, the summary line
    std::ostream& err; // errors, warnings, the progress bar
    bool errIsTerminal = false;
};

// Exit status: 0 done, 1 failed (one line on err), 2 bad command line.
int runTool(const std::vector<std::string>& args, const Console& console);

} // namespace vorblexter::tool
