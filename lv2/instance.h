// One plug-in instance: the slicer effect, hosted the way a VST 2.x host would host it, with
// the transport record kept from time:Position and the controls sent as parameter changes.
//
// The effect talks to the binding only through its host callback, which answers the interface
// version and the transport record of the stretch being processed. It is told at creation to
// follow the tempo whatever vendor the host names: an LV2 host's tempo arrives in time:Position,
// the same for every host, so there is no vendor to single out.
#pragma once

#include "engine/slicer_effect.h"
#include "lv2/ports.h"
#include "lv2/transport.h"
#include "lv2/urids.h"

#include <lv2/core/lv2.h>

#include <cstdint>

namespace vorblexter::lv2 {

class Instance {
public:
    // Null without the URID map feature, at a sample rate the effect cannot work at, or when
    // the effect cannot be built.
    static Instance* create(double sampleRate, const LV2_Feature* const* features) noexcept;
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void connect(std::uint32_t port, void* location) noexcept;
    void activate() noexcept;
    void deactivate() noexcept;
    // Allocates nothing itself and takes no lock; the effect's own set-up may allocate.
    void run(std::uint32_t frames) noexcept;

    // For the host callback: the record of the stretch being processed, or null.
    VstTimeInfo* timeInfo() noexcept { return transport.timeInfo(); }

    // Whether `sampleRate` leaves the effect a usable loop at the usual tempo.
    static bool sampleRateUsable(double sampleRate) noexcept;

private:
    Instance(double sampleRate, const Urids& urids, SlicerEffect* effect) noexcept;
    void render(std::uint32_t first, std::uint32_t frames) noexcept;

    Ports ports;
    Urids urids;
    Transport transport;
    SlicerEffect* effect; // owned; released through its own close
    AEffect* record;
};

} // namespace vorblexter::lv2
