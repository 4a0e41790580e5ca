// What the LV2 and CLAP sessions share when they hold a binding's render against the VST
// library's: a render on a thread of its own, a bit-for-bit comparison that names the first frame
// where the two part, and the status a loop played in order must show.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace vorblexter::testing {

inline constexpr double kSessionBar = 88200.0; // 4/4 at 120 BPM and 44.1 kHz

// Each render on a fresh thread draws from a fresh slice random generator, as a fresh host
// process would.
template <typename Render> auto onOwnThread(const Render& render)
{
    decltype(render()) rendered;
    std::thread([&] { rendered = render(); }).join();
    return rendered;
}

inline void expectSameStereo(const std::vector<float>& left, const std::vector<float>& right,
                             const std::vector<float>& wantLeft,
                             const std::vector<float>& wantRight, const std::string& what)
{
    ASSERT_EQ(left.size(), wantLeft.size()) << what;
    if (left == wantLeft && right == wantRight) {
        return;
    }
    for (std::size_t k = 0; k < left.size(); ++k) {
        if (left[k] != wantLeft[k] || right[k] != wantRight[k]) {
            ADD_FAILURE() << what << ": first difference at frame " << k;
            return;
        }
    }
}

// State, slot and slice after `end` frames of a session that rolls from frame 0 in 4/4 at 120
// BPM and 44.1 kHz with Vorblex 0 and four slices a bar: it captures bar 2 and plays it in order
// from bar 3, backwards when reversed, and shows no slice when silenced.
inline std::array<double, 3> inOrderStatus(double end, bool reversed, bool silenced = false)
{
    const double state = end < kSessionBar ? 0 : end <= 2 * kSessionBar ? 1 : 2;
    double slot = 0;
    if (state == 2) {
        const auto inLoop = static_cast<std::int64_t>(end - 1 - 2 * kSessionBar) %
                            static_cast<std::int64_t>(kSessionBar);
        slot = static_cast<double>(inLoop / 22050 + 1);
    }
    return {state, slot, silenced ? 0 : reversed ? -slot : slot};
}

} // namespace vorblexter::testing
