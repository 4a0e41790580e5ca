#include "tests/clap/clap_host.h"

#include <clap/ext/state.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// The audit's program builds this file with VORBLEXTER_AUDITED_CLAP_MODULE: the module's
// plug-ins then run their process calls under the audit (tests/audit/clap_audit.h), so the CLAP
// sessions run unchanged under it.
#if defined(VORBLEXTER_AUDITED_CLAP_MODULE)
#include "tests/audit/clap_audit.h"
#endif

namespace vorblexter::claptest {

namespace {

const void* noExtension(const clap_host*, const char*)
{
    return nullptr;
}

void ignoreRequest(const clap_host*) {}

void countCallback(const clap_host* host)
{
    ++static_cast<TestHost*>(host->host_data)->callbacksRequested;
}

std::int64_t writeChunk(const clap_ostream* stream, const void* buffer, std::uint64_t size)
{
    auto* memory = static_cast<MemoryStream*>(stream->ctx);
    const std::size_t n = std::min<std::uint64_t>(size, memory->chunk);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    memory->bytes.insert(memory->bytes.end(), bytes, bytes + n);
    return static_cast<std::int64_t>(n);
}

std::int64_t readChunk(const clap_istream* stream, void* buffer, std::uint64_t size)
{
    auto* memory = static_cast<MemoryStream*>(stream->ctx);
    const std::size_t n =
        std::min<std::uint64_t>({size, memory->chunk, memory->bytes.size() - memory->readAt});
    if (n > 0) {
        std::memcpy(buffer, memory->bytes.data() + memory->readAt, n);
        memory->readAt += n;
    }
    return static_cast<std::int64_t>(n);
}

// A field the report leaves out is unflagged and holds a value that would be wrong but usable.
clap_event_transport transportOf(const Report& report, double rate, std::uint32_t time)
{
    clap_event_transport t{};
    t.header = {sizeof t, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    t.song_pos_seconds = CLAP_SECTIME_FACTOR;
    t.tempo = 61.0;
    t.tsig_num = 7;
    t.tsig_denom = 8;
    t.flags = report.playing ? CLAP_TRANSPORT_IS_PLAYING : 0;
    if (report.frame) {
        // Hosts keep seconds in fixed point: rounded down here, so the plug-in sees the frame
        // a hair early, as a host's own arithmetic may give it.
        const double seconds = *report.frame / rate;
        t.flags |= CLAP_TRANSPORT_HAS_SECONDS_TIMELINE;
        t.song_pos_seconds = static_cast<clap_sectime>(
            std::floor(seconds * static_cast<double>(CLAP_SECTIME_FACTOR)));
        if (report.tempo) {
            t.flags |= CLAP_TRANSPORT_HAS_BEATS_TIMELINE;
            t.song_pos_beats = static_cast<clap_beattime>(std::round(
                seconds * *report.tempo / 60.0 * static_cast<double>(CLAP_BEATTIME_FACTOR)));
        }
    }
    if (report.tempo) {
        t.flags |= CLAP_TRANSPORT_HAS_TEMPO;
        t.tempo = *report.tempo;
    }
    if (report.beatsPerBar) {
        t.flags |= CLAP_TRANSPORT_HAS_TIME_SIGNATURE;
        t.tsig_num = *report.beatsPerBar;
        t.tsig_denom = 4;
    }
    return t;
}

} // namespace

AnyEvent eventOf(const Event& event, double rate)
{
    AnyEvent any{};
    if (event.isTransport) {
        any.transport = transportOf(event.report, rate, event.at);
        return any;
    }
    any.param.header = {sizeof any.param, event.at, CLAP_CORE_EVENT_SPACE_ID,
                        CLAP_EVENT_PARAM_VALUE, 0};
    any.param.param_id = event.id;
    any.param.note_id = -1;
    any.param.port_index = -1;
    any.param.channel = -1;
    any.param.key = -1;
    any.param.value = event.value;
    return any;
}

namespace {

// One part through a fresh instance; `state` holds what the previous part saved, and then
// what this one saves.
void renderPart(const ClapModule& module, const Session& session, const Part& part, Buffers buffers,
                InputSignal signal, bool loadState, bool saveState,
                std::vector<std::uint8_t>& state, std::uint64_t firstFrame, Rendered& out)
{
    TestHost host;
    ClapInstance instance(module, host);
    const auto* stateExtension = instance.extension<clap_plugin_state>(CLAP_EXT_STATE);
    if (instance.plugin() == nullptr || stateExtension == nullptr) {
        out.failure = "no instance with the state extension";
        return;
    }
    if (loadState) {
        MemoryStream stream(7);
        stream.bytes = state;
        if (!stateExtension->load(instance.plugin(), &stream.in)) {
            out.failure = "state load refused";
            return;
        }
    }
    if (!instance.start(session.sampleRate)) {
        out.failure = "activation refused";
        return;
    }
    std::uint32_t frames = 0;
    for (const Block& block : part.blocks) {
        frames += block.frames;
    }
    std::vector<float> inLeft;
    std::vector<float> inRight;
    signal(frames, inLeft, inRight);
    std::vector<float> left = inLeft;
    std::vector<float> right = inRight;
    if (buffers == Buffers::separate) {
        std::fill(left.begin(), left.end(), -12345.0f);
        std::fill(right.begin(), right.end(), -12345.0f);
    }
    InputList in;
    StatusList status;
    std::uint32_t start = 0;
    for (const Block& block : part.blocks) {
        float* inChannels[2] = {inLeft.data() + start, inRight.data() + start};
        float* outChannels[2] = {left.data() + start, right.data() + start};
        clap_audio_buffer inBuffer{buffers == Buffers::inPlace ? outChannels : inChannels, nullptr,
                                   2, 0, 0};
        clap_audio_buffer outBuffer{outChannels, nullptr, 2, 0, 0};
        in.events.clear();
        for (const Event& event : block.events) {
            in.events.push_back(eventOf(event, session.sampleRate));
        }
        clap_event_transport transport{};
        if (block.transport) {
            transport = transportOf(*block.transport, session.sampleRate, 0);
        }
        status.events.clear();
        const clap_process process{start,     block.frames, block.transport ? &transport : nullptr,
                                   &inBuffer, &outBuffer,   1,
                                   1,         &in.list,     &status.list};
        if (instance.plugin()->process(instance.plugin(), &process) != CLAP_PROCESS_CONTINUE) {
            out.failure = "process answered an error";
            return;
        }
        for (const clap_event_param_value& e : status.events) {
            out.status.push_back({firstFrame + start + e.header.time, e.param_id, e.value});
        }
        start += block.frames;
    }
    if (status.malformed) {
        out.failure = "a malformed output event";
        return;
    }
    if (saveState) {
        MemoryStream stream(5);
        if (!stateExtension->save(instance.plugin(), &stream.out)) {
            out.failure = "state save refused";
            return;
        }
        state = stream.bytes;
    }
    out.left.insert(out.left.end(), left.begin(), left.end());
    out.right.insert(out.right.end(), right.begin(), right.end());
}

} // namespace

ClapModule::ClapModule(const std::string& path)
{
    void* symbol = nullptr;
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        failure = "LoadLibraryA failed with error " + std::to_string(GetLastError());
        return;
    }
    handle = module;
    symbol = reinterpret_cast<void*>(GetProcAddress(module, "clap_entry"));
#else
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        failure = reason != nullptr ? reason : "dlopen failed";
        return;
    }
    symbol = dlsym(handle, "clap_entry");
#endif
    entryPoint = static_cast<const clap_plugin_entry*>(symbol);
    if (entryPoint == nullptr) {
        failure = "the module exports no clap_entry";
        return;
    }
    if (!clap_version_is_compatible(entryPoint->clap_version) || !entryPoint->init(path.c_str())) {
        failure = "clap_entry refused to start";
        return;
    }
    initialized = true;
    pluginFactory =
        static_cast<const clap_plugin_factory*>(entryPoint->get_factory(CLAP_PLUGIN_FACTORY_ID));
#if defined(VORBLEXTER_AUDITED_CLAP_MODULE)
    pluginFactory = audit::audited(pluginFactory);
#endif
    if (pluginFactory == nullptr) {
        failure = "the module offers no plug-in factory";
    }
}

ClapModule::~ClapModule()
{
    if (initialized) {
        entryPoint->deinit();
    }
#if defined(_WIN32)
    if (handle != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle));
    }
#else
    if (handle != nullptr) {
        dlclose(handle);
    }
#endif
}

TestHost::TestHost()
{
    host.clap_version = CLAP_VERSION;
    host.host_data = this;
    host.name = "vorblexter test host";
    host.vendor = "vorblexter";
    host.url = "";
    host.version = "1";
    host.get_extension = noExtension;
    host.request_restart = ignoreRequest;
    host.request_process = ignoreRequest;
    host.request_callback = countCallback;
}

ClapInstance::ClapInstance(const ClapModule& module, const TestHost& host)
{
    if (module.factory() == nullptr || module.factory()->get_plugin_count(module.factory()) < 1) {
        return;
    }
    const clap_plugin_descriptor* descriptor =
        module.factory()->get_plugin_descriptor(module.factory(), 0);
    instance = module.factory()->create_plugin(module.factory(), &host.host, descriptor->id);
    if (instance != nullptr && !instance->init(instance)) {
        instance->destroy(instance);
        instance = nullptr;
    }
}

ClapInstance::~ClapInstance()
{
    if (instance == nullptr) {
        return;
    }
    if (active) {
        instance->stop_processing(instance);
        instance->deactivate(instance);
    }
    instance->destroy(instance);
}

bool ClapInstance::start(double sampleRate)
{
    active = instance != nullptr && instance->activate(instance, sampleRate, 1, 4096);
    return active && instance->start_processing(instance);
}

bool StatusList::push(const clap_output_events* list, const clap_event_header* event)
{
    auto* self = static_cast<StatusList*>(list->ctx);
    if (event == nullptr || event->size != sizeof(clap_event_param_value) ||
        event->space_id != CLAP_CORE_EVENT_SPACE_ID || event->type != CLAP_EVENT_PARAM_VALUE) {
        self->malformed = true;
        return false;
    }
    self->events.push_back(*reinterpret_cast<const clap_event_param_value*>(event));
    return true;
}

std::uint32_t InputList::size(const clap_input_events* list)
{
    return static_cast<std::uint32_t>(static_cast<InputList*>(list->ctx)->events.size());
}

const clap_event_header* InputList::get(const clap_input_events* list, std::uint32_t index)
{
    auto& events = static_cast<InputList*>(list->ctx)->events;
    return index < events.size() ? &events[index].header : nullptr;
}

MemoryStream::MemoryStream(std::size_t chunk) : chunk(chunk)
{
    out = {this, writeChunk};
    in = {this, readChunk};
}

Rendered renderClap(const ClapModule& module, const Session& session, Buffers buffers,
                    InputSignal input)
{
    Rendered rendered;
    std::vector<std::uint8_t> state;
    std::uint64_t firstFrame = 0;
    for (std::size_t p = 0; p < session.parts.size() && rendered.failure.empty(); ++p) {
        const Part& part = session.parts[p];
        std::thread([&] {
            renderPart(module, session, part, buffers, input, p > 0, p + 1 < session.parts.size(),
                       state, firstFrame, rendered);
        }).join();
        for (const Block& block : part.blocks) {
            firstFrame += block.frames;
        }
    }
    return rendered;
}

} // namespace vorblexter::claptest
