// One plug-in instance: a slice engine, the transport kept from time:Position and the controls
// sent as parameter changes.
//
// The engine follows the tempo in every LV2 host: an LV2 host's tempo arrives in time:Position,
// the same for every host, so there is no vendor to single out.
//
// Threads: create and the destructor on the host's instantiation thread; activate, deactivate
// and run as LV2's audio class allows (run on the audio thread). The buffer pairs the engine
// outgrows are released by the host's worker (work:schedule) when the host offers one: run asks
// for work after a block that handed a pair over, and work releases it. Without a worker the
// library's reclaim thread does it.
#pragma once

#include "engine/reclaim_thread.h"
#include "engine/slice_engine.h"
#include "lv2/ports.h"
#include "lv2/transport.h"
#include "lv2/urids.h"

#include <lv2/core/lv2.h>
#include <lv2/worker/worker.h>

#include <cstdint>

namespace vorblexter::lv2 {

class Instance final : private TransportSource {
public:
    // Null without the URID map feature, at a sample rate the engine cannot work at, or when
    // the engine cannot be built.
    static Instance* create(double sampleRate, const LV2_Feature* const* features) noexcept;
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void connect(std::uint32_t port, void* location) noexcept;
    void activate() noexcept;
    void deactivate() noexcept;
    // Allocates nothing itself and takes no lock; the engine's own set-up may allocate.
    void run(std::uint32_t frames) noexcept;

    // The worker's side (work:interface): releases what the engine retired. Any thread but the
    // audio thread, as the host's worker runs.
    void work() noexcept;

    // Whether `sampleRate` leaves the engine a usable loop at the usual tempo.
    static bool sampleRateUsable(double sampleRate) noexcept;

private:
    Instance(double sampleRate, const Urids& urids, const LV2_Worker_Schedule* worker) noexcept;
    // Audio thread, at the end of run: asks the host's worker to release a retired pair.
    void scheduleRelease() noexcept;
    void render(std::uint32_t first, std::uint32_t frames) noexcept;

    const TransportInfo* transport() override { return clock.info(); }
    bool followsTempo() override { return true; }

    Ports ports;
    Urids urids;
    Transport clock;
    SliceEngine engine;
    const LV2_Worker_Schedule* worker; // null without the host's worker
    bool releasePending = false;       // a request the worker has not accepted yet
    ReclaimEnrolment reclaim{engine};  // enrolled at activation without a worker
};

} // namespace vorblexter::lv2
