// The plug-in as an LV2 host sees it before running it: what the bundle's Turtle says about
// the plug-in and each port, and which instantiations it refuses.
#include "tests/lv2/lilv_host.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/port-props/port-props.h>
#include <lv2/time/time.h>
#include <lv2/units/units.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace vorblexter::lv2test {
namespace {

enum class Kind { audioIn, audioOut, atomIn, controlIn, controlOut };

struct ExpectedPort {
    const char* symbol;
    const char* name;
    Kind kind;
    float minimum = 0, maximum = 0, fallback = 0; // `fallback` is the default
    bool logarithmic = false;
    const char* unit = nullptr;
    std::vector<std::pair<float, const char*>> scalePoints = {};
};

const std::vector<std::pair<float, const char*>> kSteps{{1, "1"},   {2, "2"},   {4, "4"},  {8, "8"},
                                                        {16, "16"}, {32, "32"}, {64, "64"}};

const ExpectedPort kPorts[] = {
    {"in_left", "In Left", Kind::audioIn},
    {"in_right", "In Right", Kind::audioIn},
    {"out_left", "Out Left", Kind::audioOut},
    {"out_right", "Out Right", Kind::audioOut},
    {"control", "Control", Kind::atomIn},
    {"reverse", "Reverse", Kind::controlIn, 0, 100, 0, false, LV2_UNITS__pc},
    {"vorblex", "Vorblex", Kind::controlIn, 0, 100, 25, false, LV2_UNITS__pc},
    {"repetition", "Repetition", Kind::controlIn, 0, 100, 0, false, LV2_UNITS__pc},
    {"cuts_per_bar", "Cuts/Bar", Kind::controlIn, 1, 64, 4, false, nullptr, kSteps},
    {"envelope", "Envelope", Kind::controlIn, 1, 10000, 20, true, LV2_UNITS__frame},
    {"variation", "Variation", Kind::controlIn, 1, 64, 1, false, nullptr, kSteps},
    {"silence", "Silence", Kind::controlIn, 0, 100, 0, false, LV2_UNITS__pc},
    {"loop_length", "Loop Length", Kind::controlIn, 1, 64, 4, false, LV2_UNITS__beat, kSteps},
    {"state",
     "State",
     Kind::controlOut,
     0,
     2,
     0,
     false,
     nullptr,
     {{0, "Waiting"}, {1, "Capturing"}, {2, "Playing"}}},
    {"slot", "Slot", Kind::controlOut, 0, 1024},
    {"slice", "Slice", Kind::controlOut, -1024, 1024},
};

std::string text(const LilvNode* node)
{
    return node != nullptr ? lilv_node_as_string(node) : "(none)";
}

TEST(Lv2Bundle, PluginAndEveryPortReadAsTheEffectPresentsThem)
{
    BundleWorld world;
    const LilvPlugin* plugin = world.plugin();
    ASSERT_NE(plugin, nullptr) << "no urn:vorblexter:vorblexter1 in " VORBLEXTER_LV2_BUNDLE;
    EXPECT_TRUE(lilv_plugin_verify(plugin));
    LilvNode* name = lilv_plugin_get_name(plugin);
    EXPECT_EQ(text(name), "vorblexter1");
    lilv_node_free(name);
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    ASSERT_EQ(lilv_nodes_size(required), 1u);
    EXPECT_EQ(text(lilv_nodes_get(required, lilv_nodes_begin(required))), LV2_URID__map);
    lilv_nodes_free(required);
    // A release version, which hosts may otherwise hide as a development build.
    for (const char* property : {LV2_CORE__minorVersion, LV2_CORE__microVersion}) {
        LilvNodes* version = lilv_plugin_get_value(plugin, world.node(property));
        ASSERT_EQ(lilv_nodes_size(version), 1u) << property;
        const int number = lilv_node_as_int(lilv_nodes_get_first(version));
        EXPECT_EQ(number % 2, 0) << property << " " << number << " marks a development build";
        EXPECT_TRUE(number > 0 || property == std::string(LV2_CORE__microVersion)) << property;
        lilv_nodes_free(version);
    }

    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), std::size(kPorts));
    LilvNode* audio = world.node(LV2_CORE__AudioPort);
    LilvNode* control = world.node(LV2_CORE__ControlPort);
    LilvNode* atom = world.node(LV2_ATOM__AtomPort);
    LilvNode* input = world.node(LV2_CORE__InputPort);
    LilvNode* output = world.node(LV2_CORE__OutputPort);
    LilvNode* integer = world.node(LV2_CORE__integer);
    LilvNode* enumeration = world.node(LV2_CORE__enumeration);
    LilvNode* logarithmic = world.node(LV2_PORT_PROPS__logarithmic);
    LilvNode* unit = world.node(LV2_UNITS__unit);
    LilvNode* bufferType = world.node(LV2_ATOM__bufferType);
    LilvNode* designation = world.node(LV2_CORE__designation);
    LilvNode* position = world.node(LV2_TIME__Position);
    for (std::uint32_t i = 0; i < std::size(kPorts); ++i) {
        const ExpectedPort& e = kPorts[i];
        SCOPED_TRACE(e.symbol);
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        ASSERT_NE(port, nullptr);
        EXPECT_EQ(text(lilv_port_get_symbol(plugin, port)), e.symbol);
        LilvNode* portName = lilv_port_get_name(plugin, port);
        EXPECT_EQ(text(portName), e.name);
        lilv_node_free(portName);
        const bool isInput =
            e.kind == Kind::audioIn || e.kind == Kind::atomIn || e.kind == Kind::controlIn;
        EXPECT_TRUE(lilv_port_is_a(plugin, port, isInput ? input : output));
        EXPECT_FALSE(lilv_port_is_a(plugin, port, isInput ? output : input));
        EXPECT_EQ(lilv_port_is_a(plugin, port, audio),
                  e.kind == Kind::audioIn || e.kind == Kind::audioOut);
        EXPECT_EQ(lilv_port_is_a(plugin, port, atom), e.kind == Kind::atomIn);
        const bool isControl = e.kind == Kind::controlIn || e.kind == Kind::controlOut;
        EXPECT_EQ(lilv_port_is_a(plugin, port, control), isControl);
        if (e.kind == Kind::atomIn) {
            EXPECT_TRUE(lilv_port_supports_event(plugin, port, position));
            LilvNodes* buffer = lilv_port_get_value(plugin, port, bufferType);
            EXPECT_EQ(text(lilv_nodes_get_first(buffer)), LV2_ATOM__Sequence);
            lilv_nodes_free(buffer);
            LilvNodes* designated = lilv_port_get_value(plugin, port, designation);
            EXPECT_EQ(text(lilv_nodes_get_first(designated)), LV2_CORE__control);
            lilv_nodes_free(designated);
        }
        if (!isControl) {
            continue;
        }
        LilvNode *fallback = nullptr, *minimum = nullptr, *maximum = nullptr;
        lilv_port_get_range(plugin, port, &fallback, &minimum, &maximum);
        ASSERT_NE(minimum, nullptr);
        ASSERT_NE(maximum, nullptr);
        EXPECT_EQ(lilv_node_as_float(minimum), e.minimum);
        EXPECT_EQ(lilv_node_as_float(maximum), e.maximum);
        if (e.kind == Kind::controlIn) {
            ASSERT_NE(fallback, nullptr);
            EXPECT_EQ(lilv_node_as_float(fallback), e.fallback);
        }
        lilv_node_free(fallback);
        lilv_node_free(minimum);
        lilv_node_free(maximum);
        EXPECT_TRUE(lilv_port_has_property(plugin, port, integer));
        EXPECT_EQ(lilv_port_has_property(plugin, port, logarithmic), e.logarithmic);
        EXPECT_EQ(lilv_port_has_property(plugin, port, enumeration), !e.scalePoints.empty());
        if (e.unit != nullptr) {
            LilvNodes* units = lilv_port_get_value(plugin, port, unit);
            EXPECT_EQ(text(lilv_nodes_get_first(units)), e.unit);
            lilv_nodes_free(units);
        }
        std::map<float, std::string> points;
        LilvScalePoints* scalePoints = lilv_port_get_scale_points(plugin, port);
        LILV_FOREACH(scale_points, it, scalePoints)
        {
            const LilvScalePoint* point = lilv_scale_points_get(scalePoints, it);
            points[lilv_node_as_float(lilv_scale_point_get_value(point))] =
                text(lilv_scale_point_get_label(point));
        }
        lilv_scale_points_free(scalePoints);
        EXPECT_EQ(points,
                  (std::map<float, std::string>(e.scalePoints.begin(), e.scalePoints.end())));
    }
}

TEST(Lv2Bundle, InstantiationNeedsTheUridMapAndAUsableSampleRate)
{
    BundleWorld world;
    ASSERT_NE(world.plugin(), nullptr);
    UridMap urids;
    const LV2_Feature mapFeature{LV2_URID__map, urids.feature()};
    const LV2_Feature* withMap[] = {&mapFeature, nullptr};
    const LV2_Feature nullMap{LV2_URID__map, nullptr};
    const LV2_Feature* withNullMap[] = {&nullMap, nullptr};
    const LV2_Feature* none[] = {nullptr};

    const auto instantiates = [&](double rate, const LV2_Feature* const* features) {
        LilvInstance* instance = lilv_plugin_instantiate(world.plugin(), rate, features);
        lilv_instance_free(instance);
        return instance != nullptr;
    };
    EXPECT_TRUE(instantiates(44100.0, withMap));
    EXPECT_TRUE(instantiates(192000.0, withMap));
    EXPECT_FALSE(instantiates(44100.0, none));
    EXPECT_FALSE(instantiates(44100.0, withNullMap));
    // Four beats at 120 BPM must make a loop of 128 to 10^9 frames: 64 Hz to 500 MHz.
    EXPECT_TRUE(instantiates(64.0, withMap));
    EXPECT_FALSE(instantiates(63.9, withMap));
    EXPECT_TRUE(instantiates(5e8, withMap));
    EXPECT_FALSE(instantiates(5.0001e8, withMap));
    for (const double rate : {0.0, -44100.0, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(instantiates(rate, withMap)) << rate;
    }
}

} // namespace
} // namespace vorblexter::lv2test
