// The CLAP binding under the audit: its factory, with every plug-in's process inside an
// AudioCall and the host's event lists outside it, and a session host on that factory for the
// loop-growth session.
#include "tests/audit/clap_audit.h"

#include "clap/factory.h"
#include "clap/parameters.h"

#include <clap/ext/params.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace vorblexter::audit {

namespace {

// Every instance of the binding has the same process function, so one is remembered.
const clap_plugin_factory* originalFactory = nullptr;
clap_plugin_factory wrappedFactory{};
clap_process_status (*originalProcess)(const clap_plugin*, const clap_process*) = nullptr;

// The host's lists, answered outside the audio call: what a host does there is its own business.
struct AuditedEvents {
    const clap_input_events* in;
    const clap_output_events* out;
    clap_input_events inList{this, size, get};
    clap_output_events outList{this, push};

    static const AuditedEvents& of(const void* ctx)
    {
        return *static_cast<const AuditedEvents*>(ctx);
    }
    static std::uint32_t size(const clap_input_events* list)
    {
        const HostCall host;
        const clap_input_events* in = of(list->ctx).in;
        return in->size(in);
    }
    static const clap_event_header* get(const clap_input_events* list, std::uint32_t index)
    {
        const HostCall host;
        const clap_input_events* in = of(list->ctx).in;
        return in->get(in, index);
    }
    static bool push(const clap_output_events* list, const clap_event_header* event)
    {
        const HostCall host;
        const clap_output_events* out = of(list->ctx).out;
        return out->try_push(out, event);
    }
};

clap_process_status auditedProcess(const clap_plugin* plugin, const clap_process* process)
{
    if (process == nullptr) {
        const AudioCall call;
        return originalProcess(plugin, process);
    }
    AuditedEvents events{process->in_events, process->out_events};
    clap_process copy = *process;
    copy.in_events = process->in_events != nullptr ? &events.inList : nullptr;
    copy.out_events = process->out_events != nullptr ? &events.outList : nullptr;
    const AudioCall call;
    return originalProcess(plugin, &copy);
}

const clap_plugin* auditedCreate(const clap_plugin_factory*, const clap_host* host, const char* id)
{
    const clap_plugin* plugin = originalFactory->create_plugin(originalFactory, host, id);
    if (plugin != nullptr && plugin->process != nullptr) {
        // The record is the instance's own writable memory; the binding checks that it is
        // called through that very record, so the audit wraps the entry in place.
        originalProcess = plugin->process;
        const_cast<clap_plugin*>(plugin)->process = auditedProcess;
    }
    return plugin;
}

// A sine on the left, its negation on the right: every frame differs from silence.
void fillInput(std::vector<float>& left, std::vector<float>& right, std::int64_t start)
{
    for (std::size_t k = 0; k < left.size(); ++k) {
        left[k] = static_cast<float>(std::sin(0.001 * static_cast<double>(start + k)));
        right[k] = -left[k];
    }
}

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

} // namespace

const clap_plugin_factory* audited(const clap_plugin_factory* factory) noexcept
{
    if (factory == nullptr) {
        return nullptr;
    }
    originalFactory = factory;
    wrappedFactory = *factory;
    wrappedFactory.create_plugin = auditedCreate;
    return &wrappedFactory;
}

std::unique_ptr<SessionHost> clapHost(const HostSetup& setup)
{
    return std::make_unique<ClapSessionHost>(setup);
}

} // namespace vorblexter::audit
