// Writes the CLAP fuzzer's seeds (clapSeedInputs) into a folder, one file each, after checking
// that each plays without a broken check: run it into fuzz/clap_corpus after changing the call
// format. Usage: make_clap_seed_corpus <folder>
#include "clap/factory.h"
#include "fuzz/clap_event_player.h"
#include "fuzz/seed_corpus.h"

#include <string>

namespace fz = vorblexter::fuzzing;

int main(int argc, char** argv)
{
    std::vector<fz::NamedSeed> seeds;
    for (auto& bytes : fz::clapSeedInputs()) {
        seeds.emplace_back("seed-" + std::to_string(seeds.size()), std::move(bytes));
    }
    return fz::writeSeedFolder(
        argc, argv, seeds,
        [](const std::vector<std::uint8_t>& bytes) {
            return fz::playClapEvents(vorblexter::clap::pluginFactory(), bytes.data(),
                                      bytes.size());
        },
        [](const std::vector<std::uint8_t>&, const fz::ClapPlayOutcome&) { return true; });
}
