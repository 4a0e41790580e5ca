#include "tests/lv2/vst_reference.h"

#include "engine/parameter_table.h"
#include "host/vst_abi.h"
#include "tests/scenarios/plugin_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace vorblexter::lv2test {

namespace {

struct ReferenceHost {
    bool transportKnown = false;
    double speed = 0.0;
    VstTimeInfo info{};
};

thread_local ReferenceHost* currentHost = nullptr;

VstIntPtr referenceCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return currentHost->transportKnown ? reinterpret_cast<VstIntPtr>(&currentHost->info) : 0;
    case audioMasterGetVendorString:
        std::strcpy(static_cast<char*>(ptr), "Steinberg");
        return 1;
    case audioMasterGetProductString:
        std::strcpy(static_cast<char*>(ptr), "LV2 reference");
        return 1;
    default:
        return 0;
    }
}

bool isStep(int parameter)
{
    return parameter == 3 || parameter == 5 || parameter == 7;
}

void apply(ReferenceHost& host, const Position& p)
{
    host.transportKnown = true;
    if (p.frame) {
        host.info.samplePos = asWritten(*p.frame, p.numbers, true);
    }
    if (p.speed) {
        host.speed = asWritten(*p.speed, p.numbers, false);
    }
    if (p.beatsPerMinute) {
        host.info.tempo = asWritten(*p.beatsPerMinute, p.numbers, false);
    }
    if (p.beatsPerBar) {
        host.info.timeSigNumerator =
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
    ReferenceHost host;
    host.info.sampleRate = session.sampleRate;
    host.info.tempo = 120.0;
    host.info.timeSigNumerator = 4;
    host.info.timeSigDenominator = 4;
    currentHost = &host;
    AEffect* effect = library.entry()(&referenceCallback);
    if (effect == nullptr) {
        ADD_FAILURE() << "main answered null";
        return rendered;
    }
    const auto dispatch = [effect](VstInt32 opcode, VstIntPtr value, float opt) {
        return effect->dispatcher(effect, opcode, 0, value, nullptr, opt);
    };
    dispatch(effOpen, 0, 0.0f);
    dispatch(effSetSampleRate, 0, static_cast<float>(session.sampleRate));
    dispatch(effMainsChanged, 1, 0.0f);

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
                effect->setParameter(effect, p, hostValueFromQuantity(kParameters[p], quantity));
                held[static_cast<std::size_t>(p)] = quantity;
            }
        }
        const auto process = [&](std::uint32_t first, std::uint32_t frames) {
            if (frames == 0) {
                return;
            }
            float* channels[2] = {rendered.output.left.data() + start + first,
                                  rendered.output.right.data() + start + first};
            effect->processReplacing(effect, channels, channels, static_cast<VstInt32>(frames));
            if (host.speed != 0.0) {
                host.info.samplePos += frames;
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
    dispatch(effMainsChanged, 0, 0.0f);
    dispatch(effClose, 0, 0.0f);
    currentHost = nullptr;
    return rendered;
}

} // namespace vorblexter::lv2test
