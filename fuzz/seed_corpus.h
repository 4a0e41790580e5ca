// What the three seed writers share: each names its seeds and says how its player plays one and
// whether the play fits the fuzz stage's bounds (at most kMaxSeedBytes, the stage's -max_len,
// and the player's frame budget, where its fuzzer has those); this writes them, one file each,
// into the folder named on the command line, failing at the first that breaks a check or does
// not fit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace vorblexter::fuzzing {

inline constexpr std::size_t kMaxSeedBytes = 512;

using NamedSeed = std::pair<std::string, std::vector<std::uint8_t>>;

template <typename Play, typename Fits>
int writeSeedFolder(int argc, char** argv, const std::vector<NamedSeed>& seeds, Play play,
                    Fits fits)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    for (const auto& [name, bytes] : seeds) {
        const auto outcome = play(bytes);
        std::printf("%-36s %4zu bytes %6lld frames %6lld changed%s%s\n", name.c_str(), bytes.size(),
                    static_cast<long long>(outcome.framesPlayed),
                    static_cast<long long>(outcome.framesChanged),
                    outcome.ok ? "" : "  FAILED: ", outcome.violation.c_str());
        if (!outcome.ok || !fits(bytes, outcome)) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(),
                         !outcome.ok ? "breaks a check" : "does not fit the fuzz stage's bounds");
            return 1;
        }
        std::ofstream file(std::string(argv[1]) + "/" + name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        if (!file) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace vorblexter::fuzzing
