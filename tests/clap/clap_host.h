// The CLAP test host: opens a .clap by path as a host does (the only symbol it looks up is
// `clap_entry`) and plays sessions through its one plug-in. It needs nothing of the project but
// the headers, so the same host also runs, cross-built, under Wine.
#pragma once

#include "tests/clap/clap_session.h"

#include <clap/entry.h>
#include <clap/events.h>
#include <clap/plugin-factory.h>
#include <clap/stream.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vorblexter::claptest {

class ClapModule {
public:
    // Opens the module, checks the entry's version and calls its init; on failure factory() is
    // null and error() says why.
    explicit ClapModule(const std::string& path);
    ~ClapModule();
    ClapModule(const ClapModule&) = delete;
    ClapModule& operator=(const ClapModule&) = delete;

    const clap_plugin_entry* entry() const { return entryPoint; }
    const clap_plugin_factory* factory() const { return pluginFactory; }
    const std::string& error() const { return failure; }

private:
    void* handle = nullptr;
    const clap_plugin_entry* entryPoint = nullptr;
    const clap_plugin_factory* pluginFactory = nullptr;
    bool initialized = false;
    std::string failure;
};

// A host record that offers no extensions; what the plug-in asks of it is counted.
struct TestHost {
    TestHost();
    clap_host host{};
    int callbacksRequested = 0;
};

// An instance of the factory's first plug-in, created and initialized for `host`; destroyed
// (deactivated first when active) with the object. plugin() is null when either failed.
class ClapInstance {
public:
    ClapInstance(const ClapModule& module, const TestHost& host);
    ~ClapInstance();
    ClapInstance(const ClapInstance&) = delete;
    ClapInstance& operator=(const ClapInstance&) = delete;

    const clap_plugin* plugin() const { return instance; }
    // The plug-in's extension `id`, or null.
    template <typename Extension> const Extension* extension(const char* id) const
    {
        return instance != nullptr
                   ? static_cast<const Extension*>(instance->get_extension(instance, id))
                   : nullptr;
    }
    // Activates at `sampleRate` and starts processing; false when either is refused.
    bool start(double sampleRate);

private:
    const clap_plugin* instance = nullptr;
    bool active = false;
};

// A memory stream that moves at most `chunk` bytes per call, as streams of real hosts may.
struct MemoryStream {
    explicit MemoryStream(std::size_t chunk = 64);
    std::vector<std::uint8_t> bytes;
    std::size_t readAt = 0;
    std::size_t chunk;
    clap_ostream out{};
    clap_istream in{};
};

// The events of one block or flush, as the host hands them over.
union AnyEvent {
    clap_event_header header;
    clap_event_param_value param;
    clap_event_transport transport;
};
AnyEvent eventOf(const Event& event, double sampleRate);

struct InputList {
    InputList() = default;
    InputList(const InputList&) = delete;
    InputList& operator=(const InputList&) = delete;
    std::vector<AnyEvent> events;
    clap_input_events list{this, size, get};

    static std::uint32_t size(const clap_input_events* list);
    static const clap_event_header* get(const clap_input_events* list, std::uint32_t index);
};

// The status events a plug-in sends back; any event that is not a core parameter value of its
// own size marks the list malformed and is refused.
struct StatusList {
    StatusList() = default;
    StatusList(const StatusList&) = delete;
    StatusList& operator=(const StatusList&) = delete;
    std::vector<clap_event_param_value> events;
    bool malformed = false;
    clap_output_events list{this, push};

    static bool push(const clap_output_events* list, const clap_event_header* event);
};

enum class Buffers { inPlace, separate };

struct StatusEvent {
    std::uint64_t frame = 0; // of the session
    clap_id id = 0;
    double value = 0.0;
};

struct Rendered {
    std::vector<float> left;
    std::vector<float> right;
    std::vector<StatusEvent> status; // the output events, in order
    std::string failure;             // a call the plug-in refused; empty when none was
};

// The input of a part: `frames` frames of each channel, the same for every part of that length.
using InputSignal = void (*)(std::uint32_t frames, std::vector<float>& left,
                             std::vector<float>& right);

// Plays `session` through the module, each part on a thread of its own with a fresh instance,
// so every instance draws from a fresh slice random generator, as a fresh host process would.
Rendered renderClap(const ClapModule& module, const Session& session, Buffers buffers,
                    InputSignal input);

} // namespace vorblexter::claptest
