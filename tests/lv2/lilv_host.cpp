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

constexpr std::size_t kAtomCapacity = 16384;
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

struct PositionKeys {
    LV2_URID position, frame, speed, beatsPerMinute, beatsPerBar;
};

void forgeNumber(LV2_Atom_Forge& forge, LV2_URID key, double value, Numbers numbers, bool isFrame,
                 bool isBeatsPerBar)
{
    lv2_atom_forge_key(&forge, key);
    switch (numbers) {
    case Numbers::ardour:
        if (isFrame) {
            lv2_atom_forge_long(&forge, static_cast<std::int64_t>(value));
        } else {
            lv2_atom_forge_float(&forge, static_cast<float>(value));
        }
        return;
    case Numbers::doubles:
        lv2_atom_forge_double(&forge, value);
        return;
    case Numbers::ints:
        if (isBeatsPerBar) {
            lv2_atom_forge_long(&forge, static_cast<std::int32_t>(value));
        } else {
            lv2_atom_forge_int(&forge, static_cast<std::int32_t>(value));
        }
        return;
    }
}

// Writes the run's events as an LV2 host does: a sequence of frame-stamped time:Position
// objects, in the order given.
void forgeRun(LV2_Atom_Forge& forge, std::uint8_t* buffer, const PositionKeys& keys, const Run& run)
{
    lv2_atom_forge_set_buffer(&forge, buffer, kAtomCapacity);
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    for (const Position& p : run.positions) {
        lv2_atom_forge_frame_time(&forge, p.at);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object(&forge, &object, 0, keys.position);
        if (p.frame) {
            forgeNumber(forge, keys.frame, *p.frame, p.numbers, true, false);
        }
        if (p.speed) {
            forgeNumber(forge, keys.speed, *p.speed, p.numbers, false, false);
        }
        if (p.beatsPerMinute) {
            forgeNumber(forge, keys.beatsPerMinute, *p.beatsPerMinute, p.numbers, false, false);
        }
        if (p.beatsPerBar) {
            forgeNumber(forge, keys.beatsPerBar, *p.beatsPerBar, p.numbers, false, true);
        }
        lv2_atom_forge_pop(&forge, &object);
    }
    lv2_atom_forge_pop(&forge, &sequence);
}

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
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, urids.feature());
    const PositionKeys keys{urids.map(LV2_TIME__Position), urids.map(LV2_TIME__frame),
                            urids.map(LV2_TIME__speed), urids.map(LV2_TIME__beatsPerMinute),
                            urids.map(LV2_TIME__beatsPerBar)};

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
        forgeRun(forge, atoms, keys, run);
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
