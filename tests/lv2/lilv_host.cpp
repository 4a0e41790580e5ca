#include "tests/lv2/lilv_host.h"

#include "lv2/plugin_descriptor.h"

#include <lv2/atom/forge.h>
#include <lv2/time/time.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace vorblexter::lv2test {

namespace {

constexpr std::uint32_t kAtomCapacity = 16384;
constexpr float kOutputMarker = -12345.0f;

enum : std::uint32_t {
    kInLeft,
    kInRight,
    kOutLeft,
    kOutRight,
    kControl,
    kFirstParameter,
    kState = kFirstParameter + 8,
    kSlot,
    kSlice,
};

} // namespace

BundleWorld::BundleWorld() : lilvWorld(lilv_world_new())
{
    LilvNode* bundle = lilv_new_file_uri(lilvWorld, nullptr, VORBLEXTER_LV2_BUNDLE "/");
    lilv_world_load_bundle(lilvWorld, bundle);
    lilv_node_free(bundle);
    const LilvPlugins* plugins = lilv_world_get_all_plugins(lilvWorld);
    lilvPlugin = lilv_plugins_get_by_uri(plugins, node(vorblexter::lv2::kPluginUri));
}

BundleWorld::~BundleWorld()
{
    for (LilvNode* n : nodes) {
        lilv_node_free(n);
    }
    lilv_world_free(lilvWorld);
}

LilvNode* BundleWorld::node(const char* uri)
{
    nodes.push_back(lilv_new_uri(lilvWorld, uri));
    return nodes.back();
}

Rendered renderLv2(BundleWorld& world, const Session& session, const Lv2Options& options)
{
    Rendered rendered;
    UridMap urids;
    const LV2_Feature mapFeature{LV2_URID__map, urids.feature()};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    LilvInstance* instance = lilv_plugin_instantiate(world.plugin(), session.sampleRate, features);
    if (instance == nullptr) {
        ADD_FAILURE() << "the plug-in did not instantiate";
        return rendered;
    }
    RunForge forge(urids);

    // Atoms are 64-bit aligned.
    std::vector<std::uint64_t> atomWords(kAtomCapacity / sizeof(std::uint64_t));
    auto* atoms = reinterpret_cast<std::uint8_t*>(atomWords.data());
    Controls controls = kDefaultControls;
    std::array<float, 3> status{};
    for (std::uint32_t p = 0; p < controls.size(); ++p) {
        lilv_instance_connect_port(instance, kFirstParameter + p, &controls[p]);
    }
    for (std::uint32_t p = 0; p < status.size(); ++p) {
        lilv_instance_connect_port(instance, kState + p, &status[p]);
    }
    lilv_instance_connect_port(instance, kControl, options.connectControl ? atoms : nullptr);
    lilv_instance_activate(instance);

    const Stereo input = sessionInput(session.totalFrames());
    std::uint32_t start = 0;
    std::vector<float> inLeft, inRight, outLeft, outRight;
    for (const Run& run : session.runs) {
        inLeft.assign(input.left.begin() + start, input.left.begin() + start + run.frames);
        inRight.assign(input.right.begin() + start, input.right.begin() + start + run.frames);
        // One more frame than the run, so that a write past its end would show.
        inLeft.push_back(0.0f);
        inRight.push_back(0.0f);
        outLeft.assign(run.frames + 1, kOutputMarker);
        outRight.assign(run.frames + 1, kOutputMarker);
        float* outL = options.buffers == Buffers::inPlace ? inLeft.data() : outLeft.data();
        float* outR = options.buffers == Buffers::inPlace ? inRight.data() : outRight.data();
        lilv_instance_connect_port(instance, kInLeft,
                                   options.connectLeftInput ? inLeft.data() : nullptr);
        lilv_instance_connect_port(instance, kInRight, inRight.data());
        lilv_instance_connect_port(instance, kOutLeft, outL);
        lilv_instance_connect_port(instance, kOutRight, outR);
        controls = run.controls;
        forge.write(run, atoms, kAtomCapacity);
        lilv_instance_run(instance, run.frames);
        EXPECT_EQ(outL[run.frames], options.buffers == Buffers::inPlace ? 0.0f : kOutputMarker);
        rendered.output.left.insert(rendered.output.left.end(), outL, outL + run.frames);
        rendered.output.right.insert(rendered.output.right.end(), outR, outR + run.frames);
        rendered.status.push_back({status[0], status[1], status[2]});
        start += run.frames;
    }
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    return rendered;
}

} // namespace vorblexter::lv2test
