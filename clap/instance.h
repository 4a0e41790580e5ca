// One CLAP plug-in instance: a slice engine, the transport kept from the host's reports, the
// settings sent as parameter changes and the status reported back.
//
// The engine follows the tempo in every CLAP host: the transport arrives with every block, the
// same for every host, so there is no vendor to single out.
//
// Lifecycle, as CLAP orders it: create, init, then any number of activate (the rate), start and
// stop processing, deactivate; destroy. A call out of that order is refused (false, an error
// status or nothing done), never trusted. Threads: init, activate, deactivate, destroy, the
// parameter queries and the state on the host's main thread; start and stop processing, reset
// and process on its audio thread; flush on the audio thread while active, else the main thread.
// The engine's setters are safe from any thread, and the lifecycle flags both threads read are
// atomics.
#pragma once

#include "clap/transport_clock.h"
#include "engine/slice_engine.h"

#include <clap/plugin.h>
#include <clap/stream.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace vorblexter::clap {

class Instance final : private TransportSource {
public:
    // Null for a host this interface version cannot serve, or when the engine cannot be built.
    static Instance* create(const clap_host* host) noexcept;
    // The instance behind a record this binding made; null for any other.
    static Instance* of(const clap_plugin* plugin) noexcept;
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    const clap_plugin* record() const noexcept { return &plugin; }

    bool init() noexcept;
    void destroy() noexcept;
    // False when not initialized, already active or at a rate the engine cannot work at.
    bool activate(double sampleRate) noexcept;
    void deactivate() noexcept;
    bool startProcessing() noexcept;
    void stopProcessing() noexcept;
    void reset() noexcept;
    // Allocates nothing itself, takes no lock and does no I/O; the engine's own set-up may
    // allocate.
    clap_process_status process(const clap_process& process) noexcept;
    // The host calls this on its main thread after the plug-in's request_callback, which process
    // makes after a block that retired a buffer pair the loop outgrew: it is released here. The
    // engine's destructor releases whatever a host never called back for.
    void onMainThread() noexcept { engine.releaseRetired(); }

    // Parameters: the setting the engine holds, or the status last reported.
    bool paramValue(clap_id id, double& value) const noexcept;
    // Applies the parameter changes among `events`; everything else is ignored.
    void flush(const clap_input_events* events) noexcept;

    // State: the eight quantities the engine holds. A load that answers true sends each
    // quantity that differs to the engine, as a host restoring its saved values would; the next
    // block applies them with the engine's usual timing.
    bool save(const clap_ostream& stream) const noexcept;
    bool load(const clap_istream& stream) noexcept;

    // Whether `sampleRate` leaves the engine a usable loop at the usual tempo.
    static bool sampleRateUsable(double sampleRate) noexcept;

private:
    explicit Instance(const clap_host* host) noexcept;
    ~Instance() = default;

    const TransportInfo* transport() override { return clock.info(); }
    bool followsTempo() override { return true; }

    // The quantity a setting's value stands for, when the engine does not hold it yet: only
    // then is it sent, so an unchanged Loop Length never restarts the capture.
    std::optional<std::int32_t> changedQuantity(clap_id id, double value) const noexcept;
    void send(clap_id id, std::int32_t quantity) noexcept;
    void render(const clap_process& process, std::uint32_t first, std::uint32_t frames) noexcept;
    void reportStatus(const clap_output_events* events, std::uint32_t frames) noexcept;

    clap_plugin plugin;
    const clap_host* host; // the host's, for the life of the instance
    bool initialized = false;
    std::atomic<bool> active{false};
    std::atomic<bool> processing{false};
    bool buffersUsable = false; // of the block being processed
    TransportClock clock;
    // State, Slot and Slice as last reported to the host (audio thread), and for the main
    // thread's queries.
    std::array<std::int32_t, 3> reported{};
    std::array<std::atomic<std::int32_t>, 3> shown{};
    SliceEngine engine;
};

} // namespace vorblexter::clap
