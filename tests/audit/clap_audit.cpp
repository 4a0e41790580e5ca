// A CLAP factory under the audit: every plug-in's process inside an AudioCall, the host's event
// lists outside it. It knows the binding only through the factory it is given, so it serves the
// module a host opens as well as the binding linked into a test.
#include "tests/audit/clap_audit.h"

#include "tests/audit/audio_audit.h"

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

} // namespace vorblexter::audit
