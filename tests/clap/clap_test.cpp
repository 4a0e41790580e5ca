// The CLAP module from the build tree, loaded as a host loads it, against the VST 2.x library
// hosted by a Steinberg-named host with the same transport and parameter changes: the outputs
// must agree bit for bit, in place and with separate output buffers. Besides: what the module
// tells a host about itself, its parameter texts against the VST library's, the status it
// reports, its state records and its refusals of calls out of order.
#include "engine/parameter_table.h"
#include "tests/clap/clap_host.h"
#include "tests/lv2/vst_reference.h"
#include "tests/scenarios/plugin_library.h"
#include "tests/support/effect_driver.h"
#include "tests/support/render_compare.h"

#include <clap/ext/audio-ports.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace vorblexter::claptest {
namespace {

const ClapModule& module()
{
    static const ClapModule loaded(VORBLEXTER_CLAP_MODULE);
    return loaded;
}

// --- the VST reference ---

lv2test::Position positionOf(const Report& report, std::int64_t at)
{
    lv2test::Position p;
    p.at = at;
    if (report.frame) {
        p.frame = std::round(*report.frame);
    }
    p.speed = report.playing ? 1.0 : 0.0;
    p.beatsPerMinute = report.tempo;
    if (report.beatsPerBar) {
        p.beatsPerBar = *report.beatsPerBar;
    }
    p.numbers = lv2test::Numbers::doubles;
    return p;
}

// The part as the VST host plays it: a new run wherever a parameter change alters what the
// plug-in shows (a VST host's block boundary there, with the change sent before it), the
// transport reports as positions where they happen. Times are held to the block and to the
// events before them, as the plug-in holds them.
lv2test::Session vstSession(const Session& session, const Part& part, lv2test::Controls& controls)
{
    lv2test::Session vst;
    vst.sampleRate = session.sampleRate;
    bool reported = false;
    for (const Block& block : part.blocks) {
        if (!block.transport) {
            EXPECT_FALSE(reported) << "the VST reference cannot take a transport away again";
        }
        reported = reported || block.transport.has_value();
        lv2test::Run run{0, {}, controls};
        std::uint32_t runStart = 0;
        if (block.transport) {
            run.positions.push_back(positionOf(*block.transport, 0));
        }
        std::uint32_t done = 0;
        for (const Event& event : block.events) {
            const std::uint32_t at = std::clamp(event.at, done, block.frames);
            if (event.isTransport) {
                if (block.transport) {
                    run.positions.push_back(positionOf(event.report, at - runStart));
                    done = at;
                }
                continue;
            }
            if (event.id >= 8) {
                continue;
            }
            const auto quantity = static_cast<float>(shownQuantity(event.id, event.value));
            if (quantity == controls[event.id]) {
                continue;
            }
            done = at;
            run.frames = at - runStart;
            vst.runs.push_back(run);
            controls[event.id] = quantity;
            run = {0, {}, controls};
            runStart = at;
        }
        run.frames = block.frames - runStart;
        vst.runs.push_back(run);
    }
    return vst;
}

Rendered renderReference(const Session& session)
{
    Rendered rendered;
    lv2test::Controls controls = lv2test::kDefaultControls;
    for (const Part& part : session.parts) {
        const lv2test::Session vst = vstSession(session, part, controls);
        const lv2test::Rendered out =
            testing::onOwnThread([&] { return lv2test::renderVst(VORBLEXTER_VST_LIBRARY, vst); });
        rendered.left.insert(rendered.left.end(), out.output.left.begin(), out.output.left.end());
        rendered.right.insert(rendered.right.end(), out.output.right.begin(),
                              out.output.right.end());
    }
    return rendered;
}

std::vector<float> leftInputOf(const Session& session)
{
    std::vector<float> input;
    for (const Part& part : session.parts) {
        std::uint32_t frames = 0;
        for (const Block& block : part.blocks) {
            frames += block.frames;
        }
        const std::vector<float> left = lv2test::sessionInput(frames).left;
        input.insert(input.end(), left.begin(), left.end());
    }
    return input;
}

// The LV2 sessions' input, which the VST reference plays.
void sessionInput(std::uint32_t frames, std::vector<float>& left, std::vector<float>& right)
{
    lv2test::Stereo input = lv2test::sessionInput(frames);
    left = std::move(input.left);
    right = std::move(input.right);
}

TEST(ClapSessions, OutputEqualsTheVstLibraryBitForBit)
{
    ASSERT_NE(module().factory(), nullptr) << module().error();
    for (const Session& session : clapSessions()) {
        SCOPED_TRACE(session.name);
        const Rendered vst = renderReference(session);
        EXPECT_EQ(vst.left != leftInputOf(session), session.sliced);
        for (const Buffers buffers : {Buffers::inPlace, Buffers::separate}) {
            const Rendered clap = renderClap(module(), session, buffers, sessionInput);
            ASSERT_EQ(clap.failure, "");
            testing::expectSameStereo(clap.left, clap.right, vst.left, vst.right,
                                      buffers == Buffers::inPlace ? "in place"
                                                                  : "separate buffers");
        }
    }
}

// --- what the module tells a host ---

TEST(ClapModule, DescribesOneStereoEffectWithItsParameters)
{
    ASSERT_NE(module().factory(), nullptr) << module().error();
    const clap_plugin_factory* factory = module().factory();
    ASSERT_EQ(factory->get_plugin_count(factory), 1u);
    EXPECT_EQ(factory->get_plugin_descriptor(factory, 1), nullptr);
    const clap_plugin_descriptor* d = factory->get_plugin_descriptor(factory, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->id, "vorblexter.vorblexter1");
    EXPECT_STREQ(d->name, "vorblexter1");
    EXPECT_STREQ(d->version, VORBLEXTER_VERSION);
    std::vector<std::string> features;
    for (const char* const* f = d->features; *f != nullptr; ++f) {
        features.emplace_back(*f);
    }
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "stereo", "glitch"}));
    EXPECT_EQ(module().entry()->get_factory("clap.no-such-factory"), nullptr);

    TestHost host;
    ClapInstance instance(module(), host);
    ASSERT_NE(instance.plugin(), nullptr);
    const auto* ports = instance.extension<clap_plugin_audio_ports>(CLAP_EXT_AUDIO_PORTS);
    ASSERT_NE(ports, nullptr);
    for (const bool input : {true, false}) {
        ASSERT_EQ(ports->count(instance.plugin(), input), 1u);
        clap_audio_port_info info{};
        ASSERT_TRUE(ports->get(instance.plugin(), 0, input, &info));
        EXPECT_EQ(info.channel_count, 2u);
        EXPECT_EQ(info.flags & CLAP_AUDIO_PORT_IS_MAIN, CLAP_AUDIO_PORT_IS_MAIN);
        EXPECT_STREQ(info.port_type, CLAP_PORT_STEREO);
        EXPECT_EQ(info.in_place_pair, info.id);
        EXPECT_FALSE(ports->get(instance.plugin(), 1, input, &info));
    }

    const auto* params = instance.extension<clap_plugin_params>(CLAP_EXT_PARAMS);
    ASSERT_NE(params, nullptr);
    ASSERT_EQ(params->count(instance.plugin()), 11u);
    struct Expected {
        const char* name;
        double min, max, def;
        bool readOnly;
    };
    const Expected expected[11] = {
        {"Reverse", 0, 100, 0, false},     {"Vorblex", 0, 100, 25, false},
        {"Repetition", 0, 100, 0, false},  {"Cuts/Bar", 0, 6, 2, false},
        {"Envelope", 1, 10000, 20, false}, {"Variation", 0, 6, 0, false},
        {"Silence", 0, 100, 0, false},     {"Loop Length", 0, 6, 2, false},
        {"State", 0, 2, 0, true},          {"Slot", 0, 1024, 0, true},
        {"Slice", -1024, 1024, 0, true},
    };
    for (std::uint32_t i = 0; i < 11; ++i) {
        clap_param_info info{};
        ASSERT_TRUE(params->get_info(instance.plugin(), i, &info));
        EXPECT_EQ(info.id, i);
        EXPECT_STREQ(info.name, expected[i].name);
        EXPECT_EQ(info.min_value, expected[i].min) << i;
        EXPECT_EQ(info.max_value, expected[i].max) << i;
        EXPECT_EQ(info.default_value, expected[i].def) << i;
        EXPECT_NE(info.flags & CLAP_PARAM_IS_STEPPED, 0u);
        EXPECT_EQ((info.flags & CLAP_PARAM_IS_READONLY) != 0, expected[i].readOnly);
        EXPECT_EQ((info.flags & CLAP_PARAM_IS_AUTOMATABLE) != 0, !expected[i].readOnly);
        double value = -1.0;
        ASSERT_TRUE(params->get_value(instance.plugin(), i, &value));
        EXPECT_EQ(value, expected[i].def) << i;
    }
    clap_param_info info{};
    EXPECT_FALSE(params->get_info(instance.plugin(), 11, &info));
}

// --- parameter texts ---

std::string trimmed(std::string s)
{
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

// For every quantity each setting can hold, and for values between and beyond them, the text
// is what the VST library shows for the same quantity (its display, then its label), and the
// text, with or without the label, reads back as the value of that quantity.
TEST(ClapParameters, TextsAreTheVstLibrarysAndReadBack)
{
    scenarios::PluginLibrary library(VORBLEXTER_VST_LIBRARY);
    ASSERT_NE(library.entry(), nullptr) << library.error();
    testing::TestHost vstHost;
    testing::EffectDriver effect(vstHost, library.entry());
    effect.dispatch(effOpen);
    TestHost host;
    ClapInstance instance(module(), host);
    const auto* params = instance.extension<clap_plugin_params>(CLAP_EXT_PARAMS);
    ASSERT_NE(params, nullptr);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (clap_id id = 0; id < 8; ++id) {
        const bool step = id == 3 || id == 5 || id == 7;
        std::vector<double> values{nan, -3.0, 1e9, -0.5};
        for (int v = 0; v <= (step ? 6 : id == 4 ? 10000 : 100); ++v) {
            values.push_back(v);
            values.push_back(v + 0.999);
        }
        for (const double value : values) {
            const std::int32_t quantity = shownQuantity(id, value);
            const double exact = step ? std::log2(quantity) : quantity;
            const auto index = static_cast<VstInt32>(id);
            effect.setParameter(index, hostValueFromQuantity(kParameters[id], quantity));
            const std::string shown = trimmed(effect.text(effGetParamDisplay, index));
            const std::string unit = trimmed(effect.text(effGetParamLabel, index));
            const std::string vstText = unit.empty() ? shown : shown + " " + unit;

            char text[256] = {};
            ASSERT_TRUE(params->value_to_text(instance.plugin(), id, value, text, sizeof text));
            ASSERT_EQ(text, vstText) << "id " << id << " value " << value;
            for (const std::string& typed : {vstText, shown, " " + shown + "  "}) {
                double read = -1.0;
                ASSERT_TRUE(params->text_to_value(instance.plugin(), id, typed.c_str(), &read))
                    << typed;
                EXPECT_EQ(read, exact) << "id " << id << " text '" << typed << "'";
            }
        }
        double read = 0.0;
        EXPECT_FALSE(params->text_to_value(instance.plugin(), id, "loud", &read));
        EXPECT_FALSE(params->text_to_value(instance.plugin(), id, step ? "3" : "-7", &read));
        char small[2];
        EXPECT_FALSE(params->value_to_text(instance.plugin(), id, 25.0, small, sizeof small));
    }
}

// --- status ---

// With no random draws in play (Vorblex 0), the loop plays its slices in order: the status
// events must then name the slot and slice the position implies after every block, backwards
// with Reverse 100.
Session inOrder(double reverse, double bars)
{
    Session session{"in order", 44100.0, {Part{}}, true};
    std::vector<Block>& blocks = session.parts[0].blocks;
    for (double frame = 0.0; frame < bars * testing::kSessionBar; frame += 1024) {
        blocks.push_back({1024, Report{true, frame, 120.0, 4}, {}});
    }
    blocks[0].events = {{0, false, 1, 0.0, {}}, {0, false, 0, reverse, {}}};
    return session;
}

TEST(ClapStatus, StateSlotAndSliceEventsFollowTheLoop)
{
    for (const double reverse : {0.0, 100.0}) {
        const Session session = inOrder(reverse, 5.0);
        const std::vector<Block>& blocks = session.parts[0].blocks;
        const Rendered clap = renderClap(module(), session, Buffers::inPlace, sessionInput);
        ASSERT_EQ(clap.failure, "");
        std::array<double, 3> shown{};
        std::size_t next = 0;
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            const double end = 1024.0 * (b + 1);
            for (; next < clap.status.size() && clap.status[next].frame < end; ++next) {
                ASSERT_GE(clap.status[next].id, 8u);
                ASSERT_LE(clap.status[next].id, 10u);
                shown[clap.status[next].id - 8] = clap.status[next].value;
            }
            ASSERT_EQ(shown, testing::inOrderStatus(end, reverse != 0))
                << "block " << b << " reverse " << reverse;
        }
    }
}

// --- state ---

std::vector<std::uint8_t> savedBy(const clap_plugin* plugin, const clap_plugin_state& state)
{
    MemoryStream stream(3);
    EXPECT_TRUE(state.save(plugin, &stream.out));
    return stream.bytes;
}

// A load answers false and changes nothing for a record that is not one this plug-in saved:
// empty, short, long, of another tag or version, or with a quantity no parameter can hold.
// A save after a good load writes the same record.
TEST(ClapState, LoadsOnlyItsOwnRecords)
{
    TestHost host;
    ClapInstance source(module(), host);
    ClapInstance target(module(), host);
    const auto* state = source.extension<clap_plugin_state>(CLAP_EXT_STATE);
    const auto* params = source.extension<clap_plugin_params>(CLAP_EXT_PARAMS);
    ASSERT_NE(state, nullptr);
    ASSERT_NE(params, nullptr);
    const double values[8] = {10, 90, 30, 5, 400, 3, 20, 0};
    // Flushed outside processing, as a host sends changes to an inactive plug-in.
    InputList changes;
    for (clap_id id = 0; id < 8; ++id) {
        changes.events.push_back(eventOf({0, false, id, values[id], {}}, 44100.0));
    }
    params->flush(source.plugin(), &changes.list, nullptr);
    const std::vector<std::uint8_t> good = savedBy(source.plugin(), *state);
    ASSERT_EQ(good.size(), 40u);

    const auto load = [&](std::vector<std::uint8_t> bytes) {
        MemoryStream stream(4);
        stream.bytes = std::move(bytes);
        return state->load(target.plugin(), &stream.in);
    };
    const std::vector<std::uint8_t> untouched = savedBy(target.plugin(), *state);
    std::vector<std::vector<std::uint8_t>> bad{
        {}, {good.begin(), good.end() - 1}, good, good, good, good};
    bad[2].push_back(0);
    bad[3][0] = 'V';
    bad[4][4] = 2;         // a later version
    bad[5][8 + 4 * 3] = 3; // Cuts/Bar 3
    for (std::size_t k = 0; k < bad.size(); ++k) {
        EXPECT_FALSE(load(bad[k])) << "record " << k;
        EXPECT_EQ(savedBy(target.plugin(), *state), untouched) << "record " << k;
    }
    ASSERT_TRUE(load(good));
    EXPECT_EQ(savedBy(target.plugin(), *state), good);
    for (clap_id id = 0; id < 8; ++id) {
        double value = -1.0;
        ASSERT_TRUE(params->get_value(target.plugin(), id, &value));
        EXPECT_EQ(value, values[id]);
    }
}

// --- lifecycle ---

// Calls out of CLAP's order, and activation at rates the engine cannot use, are refused; none
// of them crashes.
TEST(ClapLifecycle, RefusesCallsOutOfOrder)
{
    const clap_plugin_factory* factory = module().factory();
    ASSERT_NE(factory, nullptr);
    TestHost host;
    EXPECT_EQ(factory->create_plugin(factory, &host.host, "vorblexter.other"), nullptr);
    EXPECT_EQ(factory->create_plugin(factory, nullptr, "vorblexter.vorblexter1"), nullptr);
    TestHost old;
    old.host.clap_version = {0, 9, 0};
    EXPECT_EQ(factory->create_plugin(factory, &old.host, "vorblexter.vorblexter1"), nullptr);

    const clap_plugin* p = factory->create_plugin(factory, &host.host, "vorblexter.vorblexter1");
    ASSERT_NE(p, nullptr);
    EXPECT_FALSE(p->activate(p, 44100.0, 1, 512)) << "before init";
    ASSERT_TRUE(p->init(p));
    EXPECT_FALSE(p->init(p));
    std::vector<float> left(64, 0.5f), right(64, -0.5f);
    float* channels[2] = {left.data(), right.data()};
    clap_audio_buffer buffer{channels, nullptr, 2, 0, 0};
    clap_process process{0, 64, nullptr, &buffer, &buffer, 1, 1, nullptr, nullptr};
    EXPECT_FALSE(p->start_processing(p));
    EXPECT_EQ(p->process(p, &process), CLAP_PROCESS_ERROR);
    p->deactivate(p);
    p->stop_processing(p);
    for (const double rate : {0.0, -44100.0, 1.0, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(), 1e12}) {
        EXPECT_FALSE(p->activate(p, rate, 1, 512)) << rate;
    }
    ASSERT_TRUE(p->activate(p, 48000.0, 1, 512));
    EXPECT_FALSE(p->activate(p, 48000.0, 1, 512));
    EXPECT_EQ(p->process(p, &process), CLAP_PROCESS_ERROR) << "before start_processing";
    ASSERT_TRUE(p->start_processing(p));
    EXPECT_FALSE(p->start_processing(p));
    EXPECT_EQ(p->process(p, &process), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(left, std::vector<float>(64, 0.5f)) << "no transport: the input passes through";
    clap_audio_buffer mono{channels, nullptr, 1, 0, 0};
    process.audio_outputs = &mono;
    EXPECT_EQ(p->process(p, &process), CLAP_PROCESS_ERROR);
    process.audio_outputs = nullptr;
    EXPECT_EQ(p->process(p, &process), CLAP_PROCESS_ERROR);
    EXPECT_EQ(p->process(p, nullptr), CLAP_PROCESS_ERROR);
    p->reset(p);
    p->deactivate(p); // without stop_processing first
    process.audio_outputs = &buffer;
    EXPECT_EQ(p->process(p, &process), CLAP_PROCESS_ERROR) << "after deactivate";
    ASSERT_TRUE(p->activate(p, 96000.0, 1, 512));
    p->on_main_thread(p);
    EXPECT_EQ(p->get_extension(p, "clap.no-such-extension"), nullptr);
    p->destroy(p); // while active
    EXPECT_EQ(host.callbacksRequested, 0);
}

} // namespace
} // namespace vorblexter::claptest
