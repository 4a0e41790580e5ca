// Writes the CLAP fuzzer's seeds (clapSeedInputs) into a folder, one file each, after checking
// that each plays without a broken check: run it into fuzz/clap_corpus after changing the call
// format. Usage: make_clap_seed_corpus <folder>
#include "clap/factory.h"
#include "fuzz/clap_event_player.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const auto seeds = vorblexter::fuzzing::clapSeedInputs();
    for (std::size_t k = 0; k < seeds.size(); ++k) {
        const auto outcome = vorblexter::fuzzing::playClapEvents(vorblexter::clap::pluginFactory(),
                                                                 seeds[k].data(), seeds[k].size());
        if (!outcome.ok) {
            std::fprintf(stderr, "seed %zu: %s\n", k, outcome.violation.c_str());
            return 1;
        }
        const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(k);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(seeds[k].data()),
                   static_cast<std::streamsize>(seeds[k].size()));
        std::printf("%s: %zu bytes, %zu blocks played\n", path.c_str(), seeds[k].size(),
                    outcome.processed);
    }
    return 0;
}
