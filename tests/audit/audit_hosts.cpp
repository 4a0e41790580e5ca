#include "tests/audit/audit_hosts.h"

#include "clap/factory.h"
#include "clap/parameters.h"

#include "lv2/plugin_descriptor.h"
#include "lv2/ports.h"
#include "tests/audit/audio_audit.h"
#include "tests/audit/clap_audit.h"
#include "tests/support/effect_driver.h"

#include <lv2/atom/forge.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <clap/ext/params.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace vorblexter::audit {

namespace {

// A sine on the left, its negation on the right: every frame differs from silence.
void fillInput(std::vector<float>& left, std::vector<float>& right, std::int64_t start)
{
    for (std::size_t k = 0; k < left.size(); ++k) {
        left[k] = static_cast<float>(std::sin(0.001 * static_cast<double>(start + k)));
        right[k] = -left[k];
    }
}

class VstSessionHost final : public SessionHost {
public:
    explicit VstSessionHost(const HostSetup& setup)
        : fx(host,
             [&] {
                 host.setTransport(setup.tempo, setup.sampleRate);
                 host.timeInfo.samplePos = 1.0;
                 AEffect* const effect = audited(host.createEffect());
                 if (effect == nullptr) {
                     throw std::runtime_error("the VST library made no effect");
                 }
                 return effect;
             }()),
          frames(setup.blockFrames), left(frames), right(frames)
    {
        fx.resume();
    }

    std::string name() const override { return "VST 2.x"; }

    void setQuantity(ParameterIndex index, std::int32_t quantity) override
    {
        fx.setParameter(index, hostValueFromQuantity(kParameters[index], quantity));
    }

    void setTempo(double tempo) override { host.timeInfo.tempo = tempo; }
    void locate(double frame) override { host.timeInfo.samplePos = frame; }

    void play(std::int64_t total) override
    {
        for (std::int64_t done = 0; done < total; done += frames) {
            fillInput(left, right, clock);
            float* inputs[2] = {left.data(), right.data()};
            fx.block(inputs, inputs, frames);
            clock += frames;
        }
    }

    bool playing() override { return fx.engine().status().phase == EnginePhase::playing; }

private:
    testing::TestHost host;
    testing::EffectDriver fx;
    std::int32_t frames;
    std::vector<float> left, right;
    std::int64_t clock = 0;
};

class UridMap {
public:
    LV2_URID map(const char* uri)
    {
        for (std::size_t i = 0; i < uris.size(); ++i) {
            if (uris[i] == uri) {
                return static_cast<LV2_URID>(i + 1);
            }
        }
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }
    LV2_URID_Map feature{this, [](LV2_URID_Map_Handle handle, const char* uri) {
                             return static_cast<UridMap*>(handle)->map(uri);
                         }};

private:
    std::vector<std::string> uris;
};

class Lv2SessionHost final : public SessionHost {
public:
    Lv2SessionHost(const HostSetup& setup, bool withWorker)
        : descriptor(audited(lv2::pluginDescriptor())), worker(withWorker), rate(setup.sampleRate),
          tempo(setup.tempo), frames(setup.blockFrames), left(frames), right(frames), sequence(4096)
    {
        for (std::size_t i = 0; i < kParameterCount; ++i) {
            controls[i] = static_cast<float>(kParameters[i].defaultQuantity);
        }
        lv2_atom_forge_init(&forge, &urids.feature);
        const LV2_Feature map{LV2_URID__map, &urids.feature};
        const LV2_Feature schedule{LV2_WORKER__schedule, &scheduleFeature};
        const LV2_Feature* features[] = {&map, worker ? &schedule : nullptr, nullptr};
        handle = descriptor->instantiate(descriptor, rate, "/nonexistent/", features);
        if (handle == nullptr) {
            throw std::runtime_error("the LV2 descriptor made no instance");
        }
        workerInterface = static_cast<const LV2_Worker_Interface*>(
            descriptor->extension_data(LV2_WORKER__interface));
        descriptor->connect_port(handle, lv2::kInLeft, left.data());
        descriptor->connect_port(handle, lv2::kInRight, right.data());
        descriptor->connect_port(handle, lv2::kOutLeft, left.data());
        descriptor->connect_port(handle, lv2::kOutRight, right.data());
        descriptor->connect_port(handle, lv2::kControl, sequence.data());
        for (std::uint32_t i = 0; i < kParameterCount; ++i) {
            descriptor->connect_port(handle, lv2::kFirstParameterPort + i, &controls[i]);
        }
        for (std::uint32_t i = 0; i < 3; ++i) {
            descriptor->connect_port(handle, lv2::kStatePort + i, &status[i]);
        }
        descriptor->activate(handle);
    }

    ~Lv2SessionHost() override
    {
        descriptor->deactivate(handle);
        descriptor->cleanup(handle);
    }

    std::string name() const override
    {
        return worker ? "LV2 with the host's worker" : "LV2 without a worker";
    }

    void setQuantity(ParameterIndex index, std::int32_t quantity) override
    {
        controls[static_cast<std::size_t>(index)] = static_cast<float>(quantity);
    }

    void setTempo(double value) override
    {
        tempo = value;
        positionDue = true;
    }

    void locate(double value) override
    {
        frame = value;
        positionDue = true;
    }

    void play(std::int64_t total) override
    {
        for (std::int64_t done = 0; done < total; done += frames) {
            fillInput(left, right, clock);
            writeSequence();
            descriptor->run(handle, static_cast<std::uint32_t>(frames));
            frame += frames;
            clock += frames;
            // The worker runs between blocks, never inside run.
            if (workRequested && workerInterface != nullptr) {
                workRequested = false;
                workerInterface->work(handle, nullptr, nullptr, 0, nullptr);
                ++runs;
            }
        }
    }

    bool playing() override { return status[0] == 2.0f; }
    std::int32_t workerRuns() const override { return runs; }

private:
    // A time:Position at frame 0 of the block whenever the transport changed, as hosts send it.
    void writeSequence()
    {
        lv2_atom_forge_set_buffer(&forge, sequence.data(), sequence.size());
        LV2_Atom_Forge_Frame outer;
        lv2_atom_forge_sequence_head(&forge, &outer, 0);
        if (positionDue) {
            positionDue = false;
            LV2_Atom_Forge_Frame object;
            lv2_atom_forge_frame_time(&forge, 0);
            lv2_atom_forge_object(&forge, &object, 0, urids.map(LV2_TIME__Position));
            lv2_atom_forge_key(&forge, urids.map(LV2_TIME__frame));
            lv2_atom_forge_long(&forge, static_cast<std::int64_t>(frame));
            lv2_atom_forge_key(&forge, urids.map(LV2_TIME__speed));
            lv2_atom_forge_float(&forge, 1.0f);
            lv2_atom_forge_key(&forge, urids.map(LV2_TIME__beatsPerMinute));
            lv2_atom_forge_float(&forge, static_cast<float>(tempo));
            lv2_atom_forge_key(&forge, urids.map(LV2_TIME__beatsPerBar));
            lv2_atom_forge_float(&forge, 4.0f);
            lv2_atom_forge_pop(&forge, &object);
        }
        lv2_atom_forge_pop(&forge, &outer);
    }

    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle host, uint32_t, const void*)
    {
        static_cast<Lv2SessionHost*>(host)->workRequested = true;
        return LV2_WORKER_SUCCESS;
    }

    UridMap urids;
    LV2_Atom_Forge forge{};
    const LV2_Descriptor* descriptor;
    bool worker;
    double rate;
    double tempo;
    double frame = 1.0;
    bool positionDue = true;
    std::int32_t frames;
    std::vector<float> left, right;
    std::vector<std::uint8_t> sequence;
    std::array<float, kParameterCount> controls{};
    std::array<float, 3> status{};
    LV2_Worker_Schedule scheduleFeature{this, schedule};
    const LV2_Worker_Interface* workerInterface = nullptr;
    bool workRequested = false;
    std::int32_t runs = 0;
    LV2_Handle handle = nullptr;
    std::int64_t clock = 0;
};

// A host that gives a transport with every block, sends settings as parameter events at frame
// 0 of the next block, and runs the plug-in's main-thread callback between blocks when asked.
class ClapSessionHost final : public SessionHost {
public:
    explicit ClapSessionHost(const HostSetup& setup)
        : rate(setup.sampleRate), tempo(setup.tempo), frames(setup.blockFrames), left(frames),
          right(frames)
    {
        const clap_plugin_factory* factory = audited(clap::pluginFactory());
        plugin =
            factory->create_plugin(factory, &host, factory->get_plugin_descriptor(factory, 0)->id);
        if (plugin == nullptr || !plugin->init(plugin) ||
            !plugin->activate(plugin, rate, 1, static_cast<std::uint32_t>(frames)) ||
            !plugin->start_processing(plugin)) {
            throw std::runtime_error("the CLAP factory made no working plug-in");
        }
        params =
            static_cast<const clap_plugin_params*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
        changes.reserve(kParameterCount);
        list.reserve(kParameterCount);
    }

    ~ClapSessionHost() override
    {
        plugin->stop_processing(plugin);
        plugin->deactivate(plugin);
        plugin->destroy(plugin);
    }

    std::string name() const override { return "CLAP"; }

    void setQuantity(ParameterIndex index, std::int32_t quantity) override
    {
        clap_event_param_value change{};
        change.header = {sizeof change, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        change.param_id = static_cast<clap_id>(index);
        change.note_id = -1;
        change.port_index = -1;
        change.channel = -1;
        change.key = -1;
        change.value = clap::valueFromQuantity(change.param_id, quantity);
        changes.push_back(change);
    }

    void setTempo(double newTempo) override { tempo = newTempo; }
    void locate(double frame) override { position = frame; }

    void play(std::int64_t total) override
    {
        for (std::int64_t done = 0; done < total; done += frames) {
            fillInput(left, right, clock);
            list.clear();
            for (const clap_event_param_value& change : changes) {
                list.push_back(&change.header);
            }
            clap_event_transport transport{};
            transport.header = {sizeof transport, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT,
                                0};
            transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_SECONDS_TIMELINE |
                              CLAP_TRANSPORT_HAS_TIME_SIGNATURE | CLAP_TRANSPORT_IS_PLAYING;
            transport.song_pos_seconds = static_cast<clap_sectime>(
                std::llround(position / rate * static_cast<double>(CLAP_SECTIME_FACTOR)));
            transport.tempo = tempo;
            transport.tsig_num = 4;
            transport.tsig_denom = 4;
            float* channels[2] = {left.data(), right.data()};
            clap_audio_buffer buffer{channels, nullptr, 2, 0, 0};
            clap_process process{};
            process.steady_time = clock;
            process.frames_count = static_cast<std::uint32_t>(frames);
            process.transport = &transport;
            process.audio_inputs = &buffer;
            process.audio_outputs = &buffer;
            process.audio_inputs_count = 1;
            process.audio_outputs_count = 1;
            process.in_events = &inEvents;
            process.out_events = &outEvents;
            if (plugin->process(plugin, &process) == CLAP_PROCESS_ERROR) {
                throw std::runtime_error("the CLAP plug-in refused a block");
            }
            changes.clear();
            position += frames;
            clock += frames;
            if (callbackRequested) {
                callbackRequested = false;
                plugin->on_main_thread(plugin);
                ++runs;
            }
        }
    }

    bool playing() override
    {
        double state = 0.0;
        return params->get_value(plugin, clap::kStateParam, &state) && state == 2.0;
    }

    std::int32_t workerRuns() const override { return runs; }

private:
    static const void* noExtension(const clap_host*, const char*) { return nullptr; }
    static void noRequest(const clap_host*) {}
    static void requestCallback(const clap_host* host)
    {
        static_cast<ClapSessionHost*>(host->host_data)->callbackRequested = true;
    }
    static std::uint32_t size(const clap_input_events* in)
    {
        return static_cast<std::uint32_t>(static_cast<ClapSessionHost*>(in->ctx)->list.size());
    }
    static const clap_event_header* get(const clap_input_events* in, std::uint32_t index)
    {
        return static_cast<ClapSessionHost*>(in->ctx)->list[index];
    }
    static bool push(const clap_output_events*, const clap_event_header*) { return true; }

    clap_host host{CLAP_VERSION_INIT, this,      "audit host", "vorblexter",   "", "1",
                   noExtension,       noRequest, noRequest,    requestCallback};
    double rate;
    double tempo;
    std::int32_t frames;
    std::vector<float> left, right;
    std::vector<clap_event_param_value> changes;
    std::vector<const clap_event_header*> list; // reserved: filling it takes nothing new
    clap_input_events inEvents{this, size, get};
    clap_output_events outEvents{this, push};
    const clap_plugin* plugin = nullptr;
    const clap_plugin_params* params = nullptr;
    double position = 1.0;
    std::int64_t clock = 0;
    bool callbackRequested = false;
    std::int32_t runs = 0;
};

// Plays until a new loop has been captured: the one in capture, or the next one after the
// playing loop's wrap restarts the capture; then a little of it.
void untilNewLoop(SessionHost& host, double seconds, double rate)
{
    const auto step = static_cast<std::int64_t>(rate / 8);
    bool restarted = !host.playing();
    for (double played = 0.0; played < seconds; played += 0.125) {
        host.play(step);
        if (!host.playing()) {
            restarted = true;
        } else if (restarted) {
            host.play(step);
            return;
        }
    }
    throw std::runtime_error(host.name() + ": no new loop was captured");
}

} // namespace

std::unique_ptr<SessionHost> vstHost(const HostSetup& setup)
{
    return std::make_unique<VstSessionHost>(setup);
}

std::unique_ptr<SessionHost> lv2Host(const HostSetup& setup, bool withWorker)
{
    return std::make_unique<Lv2SessionHost>(setup, withWorker);
}

std::unique_ptr<SessionHost> clapHost(const HostSetup& setup)
{
    return std::make_unique<ClapSessionHost>(setup);
}

void playGrowthSession(SessionHost& host, const HostSetup& setup)
{
    const double rate = setup.sampleRate;
    // Waits out the loop playing (its wrap restarts the capture) and the capture of the new one.
    const auto wait = [&](int oldBeats, int newBeats, double tempo) {
        untilNewLoop(host, (oldBeats + newBeats) * 60.0 / tempo + 2.0, rate);
    };
    wait(0, 4, setup.tempo); // the first capture
    int beats = 4;
    for (const int next : {8, 64, 16, 64}) {
        host.setQuantity(kLoopLength, next);
        wait(beats, next, setup.tempo);
        beats = next;
    }
    // A relocation forward while playing moves nothing but the transport.
    host.locate(1.0e6);
    host.play(static_cast<std::int64_t>(rate));
    // At half the tempo 32 beats fill the held pair, and 64 outgrow it.
    const double slower = setup.tempo / 2.0;
    host.setTempo(slower);
    for (const int next : {32, 64}) {
        host.setQuantity(kLoopLength, next);
        wait(beats, next, slower);
        beats = next;
    }
}

} // namespace vorblexter::audit
