// Plays the CLAP sessions through a .clap and prints one line per session: its name, the frames
// played, the frames whose output differs from the input, the status events and a digest of
// the output and the status events. Builds of the plug-in for different platforms must print
// the same lines; the run also fails when a session does not show the effect at work (or, for
// a free-running host, shows it).
//
// Usage: clap_digest <vorblexter1.clap>
// Exit status: 0 when every session ran and looked sound, 1 when one did not, 2 when the module
// could not be loaded.
#include "tests/clap/clap_host.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vorblexter::claptest {
namespace {

struct Digest {
    std::uint64_t value = 14695981039346656037ull;

    void add(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        for (std::size_t k = 0; k < size; ++k) {
            value = (value ^ bytes[k]) * 1099511628211ull;
        }
    }
};

// Two tones with a slow ramp each, different per channel, so order, direction and channel all
// show in the output.
void input(std::uint32_t frames, std::vector<float>& left, std::vector<float>& right)
{
    left.resize(frames);
    right.resize(frames);
    for (std::uint32_t k = 0; k < frames; ++k) {
        const double t = static_cast<double>(k);
        left[k] = static_cast<float>(0.5 * std::sin(t * 0.011) + std::fmod(t, 1009.0) / 4000.0);
        right[k] = static_cast<float>(0.4 * std::cos(t * 0.0063) - std::fmod(t, 1301.0) / 5000.0);
    }
}

int run(const char* path)
{
    const ClapModule module(path);
    if (module.factory() == nullptr) {
        std::fprintf(stderr, "%s: %s\n", path, module.error().c_str());
        return 2;
    }
    int status = 0;
    for (const Session& session : clapSessions()) {
        const Rendered out = renderClap(module, session, Buffers::inPlace, input);
        if (!out.failure.empty()) {
            std::fprintf(stderr, "%s: %s\n", session.name.c_str(), out.failure.c_str());
            status = 1;
            continue;
        }
        Digest digest;
        std::uint64_t changed = 0;
        std::size_t at = 0;
        for (const Part& part : session.parts) {
            std::uint32_t frames = 0;
            for (const Block& block : part.blocks) {
                frames += block.frames;
            }
            std::vector<float> left;
            std::vector<float> right;
            input(frames, left, right);
            for (std::uint32_t k = 0; k < frames; ++k, ++at) {
                const float pair[2] = {out.left[at], out.right[at]};
                digest.add(pair, sizeof pair);
                changed += std::memcmp(&pair[0], &left[k], sizeof(float)) != 0 ||
                           std::memcmp(&pair[1], &right[k], sizeof(float)) != 0;
            }
        }
        for (const StatusEvent& event : out.status) {
            digest.add(&event.frame, sizeof event.frame);
            digest.add(&event.id, sizeof event.id);
            digest.add(&event.value, sizeof event.value);
        }
        const bool sound = session.sliced ? changed > 0 && changed < at : changed == 0;
        std::printf("%s frames=%zu changed=%" PRIu64 " status=%zu digest=%016" PRIx64 "%s\n",
                    session.name.c_str(), at, changed, out.status.size(), digest.value,
                    sound ? "" : " UNEXPECTED");
        if (!sound) {
            status = 1;
        }
    }
    return status;
}

} // namespace
} // namespace vorblexter::claptest

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <vorblexter1.clap>\n", argv[0]);
        return 2;
    }
    return vorblexter::claptest::run(argv[1]);
}
