// The real-time rule through the CLAP entries: once the loop is captured, process never touches
// the heap, whatever the host sends (a transport every block and inside blocks, a stop and a
// start, a relocation, parameter changes inside blocks, status events back). The binding is
// called in-process, as the module's library would be by a host.
#include "clap/factory.h"
#include "tests/support/heap_counter.h"

#include <clap/ext/params.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vorblexter::testing {
namespace {

constexpr std::uint32_t kFrames = 512;

struct Events {
    std::vector<clap_event_param_value> changes;
    clap_event_transport moved{};
    bool hasMoved = false;
    std::vector<const clap_event_header*> list; // reserved: filling it allocates nothing
    std::vector<clap_event_param_value> status;

    static std::uint32_t size(const clap_input_events* in)
    {
        return static_cast<std::uint32_t>(static_cast<Events*>(in->ctx)->list.size());
    }
    static const clap_event_header* get(const clap_input_events* in, std::uint32_t i)
    {
        return static_cast<Events*>(in->ctx)->list[i];
    }
    static bool push(const clap_output_events* out, const clap_event_header* event)
    {
        auto* self = static_cast<Events*>(out->ctx);
        if (self->status.size() == self->status.capacity()) {
            return false;
        }
        self->status.push_back(*reinterpret_cast<const clap_event_param_value*>(event));
        return true;
    }
};

clap_event_transport transportAt(double frame, bool playing, std::uint32_t time)
{
    clap_event_transport t{};
    t.header = {sizeof t, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    t.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_SECONDS_TIMELINE |
              CLAP_TRANSPORT_HAS_TIME_SIGNATURE | (playing ? CLAP_TRANSPORT_IS_PLAYING : 0);
    t.song_pos_seconds = static_cast<clap_sectime>(
        std::llround(frame / 44100.0 * static_cast<double>(CLAP_SECTIME_FACTOR)));
    t.tempo = 120.0;
    t.tsig_num = 4;
    t.tsig_denom = 4;
    return t;
}

void countRequest(const clap_host* host)
{
    ++*static_cast<int*>(host->host_data);
}

// One plug-in, active and processing, on stereo buffers of kFrames; counts its callback requests.
struct ClapRealtime : ::testing::Test {
    void SetUp() override
    {
        plugin = factory->create_plugin(factory, &host, clap::kPluginId);
        ASSERT_NE(plugin, nullptr);
        ASSERT_TRUE(plugin->init(plugin));
        ASSERT_TRUE(plugin->activate(plugin, 44100.0, 1, kFrames));
        ASSERT_TRUE(plugin->start_processing(plugin));
    }
    void TearDown() override
    {
        if (plugin != nullptr) {
            plugin->stop_processing(plugin);
            plugin->deactivate(plugin);
            plugin->destroy(plugin);
        }
    }
    void process(const clap_event_transport& transport)
    {
        const clap_process p{-1, kFrames, &transport, &buffer, &buffer, 1, 1, &in, &out};
        EXPECT_EQ(plugin->process(plugin, &p), CLAP_PROCESS_CONTINUE);
    }

    int requests = 0;
    const clap_plugin_factory* factory = clap::pluginFactory();
    const clap_host host{CLAP_VERSION_INIT, &requests, "realtime", "",          "", "1",
                         nullptr,           nullptr,   nullptr,    countRequest};
    const clap_plugin* plugin = nullptr;
    std::vector<float> left = std::vector<float>(kFrames);
    std::vector<float> right = std::vector<float>(kFrames);
    float* channels[2] = {left.data(), right.data()};
    clap_audio_buffer buffer{channels, nullptr, 2, 0, 0};
    Events events;
    const clap_input_events in{&events, Events::size, Events::get};
    const clap_output_events out{&events, Events::push};
};

TEST_F(ClapRealtime, SteadyBlocksNeverTouchTheHeap)
{
    events.changes.reserve(4);
    events.list.reserve(8);
    events.status.reserve(64);
    double frame = 0.0;
    bool playing = true;
    double state = 0.0;
    const auto block = [&](std::uint32_t changeAt, std::uint32_t moveAt) {
        for (std::uint32_t k = 0; k < kFrames; ++k) {
            left[k] = static_cast<float>(std::sin((frame + k) * 0.01));
            right[k] = -left[k];
        }
        events.list.clear();
        events.status.clear();
        if (changeAt != 0) {
            events.list.push_back(&events.changes[changeAt % events.changes.size()].header);
            events.changes[changeAt % events.changes.size()].header.time = changeAt;
        }
        const clap_event_transport transport = transportAt(frame, playing, 0);
        if (moveAt != 0) {
            frame += 5000.0; // forwards, from this frame of the block on
            events.moved = transportAt(frame + moveAt, playing, moveAt);
            events.list.push_back(&events.moved.header);
        }
        process(transport);
        for (const clap_event_param_value& e : events.status) {
            state = e.param_id == 8 ? e.value : state;
        }
        frame += playing ? kFrames : 0;
    };
    for (const auto& [id, value] : {std::pair{0u, 30.0}, {1u, 60.0}, {4u, 200.0}, {5u, 1.0}}) {
        clap_event_param_value change{};
        change.header = {sizeof change, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        change.param_id = id;
        change.value = value;
        events.changes.push_back(change);
    }

    // Set-up, the capture and the first pass may allocate.
    for (int b = 0; b < 600 && !(state == 2.0 && frame > 3 * 88200.0); ++b) {
        block(0, 0);
    }
    ASSERT_EQ(state, 2.0);

    startHeapCount();
    for (int b = 0; b < 800; ++b) {
        playing = b < 300 || b >= 340;
        events.changes[static_cast<std::size_t>(b) % 4].value += b % 3;
        block(b % 7 == 0 ? 1 + static_cast<std::uint32_t>(b) % 500 : 0, b % 97 == 0 ? 300 : 0);
    }
    EXPECT_EQ(stopHeapCount(), 0);
    EXPECT_EQ(state, 2.0);
}

// A loop that outgrows its pair hands the old pair over in the block that sets the new one up;
// the plug-in then asks for the main thread, and releases the old pair there.
TEST_F(ClapRealtime, OutgrownBuffersAreReleasedOnTheMainThread)
{
    double frame = 0.0;
    const auto block = [&] {
        process(transportAt(frame, true, 0));
        frame += kFrames;
    };
    // The first capture's set-up allocates a pair with nothing to retire.
    for (int b = 0; b < 20; ++b) {
        block();
    }
    EXPECT_EQ(requests, 0);
    clap_event_param_value longer{};
    longer.header = {sizeof longer, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    longer.param_id = 7; // Loop Length
    longer.value = 4.0;  // 16 beats
    events.list.push_back(&longer.header);
    block();
    events.list.clear();
    for (int b = 0; b < 1000 && requests == 0; ++b) {
        block();
    }
    EXPECT_EQ(requests, 1);
    const long held = liveHeapBlocks();
    plugin->on_main_thread(plugin);
    EXPECT_EQ(liveHeapBlocks(), held - 2);
}

} // namespace
} // namespace vorblexter::testing
