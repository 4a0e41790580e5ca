#include "tests/lv2/vst_reference.h"

#include "engine/parameter_table.h"
#include "tests/scenarios/plugin_library.h"
#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace vorblexter::lv2test {

namespace {

bool isStep(int parameter)
{
    return parameter == 3 || parameter == 5 || parameter == 7;
}

// The transport stands while the position's speed is 0.
void apply(testing::TestHost& host, const Position& p)
{
    host.giveTimeInfo = true;
    if (p.frame) {
        host.timeInfo.samplePos = asWritten(*p.frame, p.numbers, true);
    }
    if (p.speed) {
        host.setPlaying(asWritten(*p.speed, p.numbers, false) != 0.0);
    }
    if (p.beatsPerMinute) {
        host.timeInfo.tempo = asWritten(*p.beatsPerMinute, p.numbers, false);
    }
    if (p.beatsPerBar) {
        host.timeInfo.timeSigNumerator =
            static_cast<VstInt32>(asWritten(*p.beatsPerBar, p.numbers, false));
    }
}

} // namespace

std::int32_t shownQuantity(int parameter, float value)
{
    if (isStep(parameter)) {
        const double v = std::clamp(static_cast<double>(value), 1.0, 64.0);
        return static_cast<std::int32_t>(std::exp2(std::floor(std::log2(v))));
    }
    const double high = parameter == 4 ? 10000.0 : 100.0;
    const double low = parameter == 4 ? 1.0 : 0.0;
    return static_cast<std::int32_t>(std::floor(std::clamp(static_cast<double>(value), low, high)));
}

Rendered renderVst(const std::string& path, const Session& session)
{
    Rendered rendered;
    scenarios::PluginLibrary library(path);
    if (library.entry() == nullptr) {
        ADD_FAILURE() << library.error();
        return rendered;
    }
    testing::TestHost host; // vendor "Steinberg": the effect follows its tempo
    host.setTransport(120.0, session.sampleRate);
    host.setPlaying(false);
    host.giveTimeInfo = false;
    testing::EffectDriver effect(host, library.entry());
    effect.dispatch(effOpen);
    effect.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(session.sampleRate));
    effect.resume();

    std::array<std::int32_t, 8> held{};
    for (int p = 0; p < 8; ++p) {
        held[static_cast<std::size_t>(p)] = shownQuantity(p, kDefaultControls[p]);
    }
    const Stereo input = sessionInput(session.totalFrames());
    rendered.output = input; // processed in place
    std::uint32_t start = 0;
    for (const Run& run : session.runs) {
        for (int p = 0; p < 8; ++p) {
            const std::int32_t quantity =
                shownQuantity(p, run.controls[static_cast<std::size_t>(p)]);
            if (quantity != held[static_cast<std::size_t>(p)]) {
                effect.setParameter(p, hostValueFromQuantity(kParameters[p], quantity));
                held[static_cast<std::size_t>(p)] = quantity;
            }
        }
        const auto process = [&](std::uint32_t first, std::uint32_t frames) {
            float* channels[2] = {rendered.output.left.data() + start + first,
                                  rendered.output.right.data() + start + first};
            if (frames > 0) {
                effect.block(channels, channels, static_cast<VstInt32>(frames));
            }
        };
        std::uint32_t done = 0;
        for (const Position& p : run.positions) {
            const auto at = static_cast<std::uint32_t>(
                std::clamp<std::int64_t>(p.at, done, static_cast<std::int64_t>(run.frames)));
            process(done, at - done);
            done = at;
            apply(host, p);
        }
        process(done, run.frames - done);
        start += run.frames;
    }
    effect.suspend();
    return rendered;
}

} // namespace vorblexter::lv2test
