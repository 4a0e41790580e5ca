// The real-time rule through the LV2 entries: once the loop is captured, `run` never touches the
// heap, whatever the host's events and controls do (positions every run and inside runs, a stop
// and a start, control changes). The binding is called in-process, as the bundle's library
// would be by a host.
#include "lv2/plugin_descriptor.h"
#include "tests/lv2/session.h"
#include "tests/support/heap_counter.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace vorblexter::testing {
namespace {

constexpr std::uint32_t kFrames = 512;

TEST(Lv2Realtime, SteadyRunsNeverTouchTheHeap)
{
    lv2test::UridMap urids;
    const LV2_Feature mapFeature{LV2_URID__map, urids.feature()};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    const LV2_Descriptor* descriptor = lv2::pluginDescriptor();
    LV2_Handle plugin = descriptor->instantiate(descriptor, 44100.0, "", features);
    ASSERT_NE(plugin, nullptr);

    std::vector<float> left(kFrames), right(kFrames);
    std::array<float, 8> controls{30, 60, 30, 16, 20, 1, 10, 4};
    std::array<float, 3> status{};
    std::vector<std::uint64_t> atomWords(1024);
    auto* atoms = reinterpret_cast<std::uint8_t*>(atomWords.data());
    descriptor->connect_port(plugin, 0, left.data());
    descriptor->connect_port(plugin, 1, right.data());
    descriptor->connect_port(plugin, 2, left.data());
    descriptor->connect_port(plugin, 3, right.data());
    descriptor->connect_port(plugin, 4, atoms);
    for (std::uint32_t p = 0; p < 8; ++p) {
        descriptor->connect_port(plugin, 5 + p, &controls[p]);
    }
    for (std::uint32_t p = 0; p < 3; ++p) {
        descriptor->connect_port(plugin, 13 + p, &status[p]);
    }
    descriptor->activate(plugin);

    lv2test::RunForge forge(urids);
    lv2test::Run events;
    events.positions.reserve(2); // filled again for every run without a heap call
    double frame = 0.0;
    double speed = 1.0;
    // One run: a position at its start when `report`, and one at `midRun` frames if non-zero.
    const auto run = [&](bool report, std::uint32_t midRun) {
        for (std::uint32_t k = 0; k < kFrames; ++k) {
            left[k] = static_cast<float>(std::sin((frame + k) * 0.01));
            right[k] = -left[k];
        }
        events.positions.clear();
        for (const std::uint32_t at : {0u, midRun}) {
            if ((at == 0 && report) || (at != 0 && midRun != 0)) {
                lv2test::Position& p = events.positions.emplace_back();
                p.at = at;
                p.frame =
                    static_cast<double>(static_cast<std::int64_t>(frame + (speed != 0.0 ? at : 0)));
                p.speed = speed;
                p.beatsPerMinute = 120.0;
            }
        }
        forge.write(events, atoms,
                    static_cast<std::uint32_t>(atomWords.size() * sizeof(std::uint64_t)));
        descriptor->run(plugin, kFrames);
        frame += speed != 0.0 ? kFrames : 0;
    };

    // Set-up, the capture and the first pass may allocate.
    for (int r = 0; r < 600 && !(status[0] == 2.0f && frame > 3 * 88200.0); ++r) {
        run(true, 0);
    }
    ASSERT_EQ(status[0], 2.0f);

    startHeapCount();
    for (int r = 0; r < 800; ++r) {
        if (r == 300) {
            speed = 0.0; // stop: the host reports the stop and then nothing
            run(true, 0);
            continue;
        }
        if (r == 340) {
            speed = 1.0;
        }
        if (r % 100 == 50) {
            controls[4] = static_cast<float>(20 + r);  // Envelope, applied at once
            controls[5] = r % 200 == 50 ? 2.0f : 1.0f; // Variation
        }
        const bool stopped = r > 300 && r < 340;
        run(!stopped, r % 37 == 0 ? 100 : 0);
    }
    const long heapCalls = stopHeapCount();
    EXPECT_EQ(heapCalls, 0);
    EXPECT_EQ(status[0], 2.0f);
    descriptor->deactivate(plugin);
    descriptor->cleanup(plugin);
}

} // namespace
} // namespace vorblexter::testing
