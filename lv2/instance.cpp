#include "lv2/instance.h"

#include "engine/allocation.h"
#include "engine/loop_geometry.h"
#include "lv2/atom_reader.h"
#include "lv2/control_sync.h"
#include "lv2/status_outputs.h"
#include "platform/debug_output.h"

#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace vorblexter::lv2 {

namespace {

// The engine counts frames in 32 bits; longer runs go to it in pieces.
constexpr std::uint32_t kLongestStretch = 1u << 30;

// Any byte would do: work releases whatever waits, whatever it is sent.
constexpr std::uint8_t kReleaseMessage = 1;

const void* findFeature(const LV2_Feature* const* features, const char* uri) noexcept
{
    for (; features != nullptr && *features != nullptr; ++features) {
        const LV2_Feature* feature = *features;
        if (feature->URI != nullptr && std::strcmp(feature->URI, uri) == 0) {
            return feature->data;
        }
    }
    return nullptr;
}

const LV2_URID_Map* findUridMap(const LV2_Feature* const* features) noexcept
{
    const auto* map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map));
    return map != nullptr && map->map != nullptr ? map : nullptr;
}

const LV2_Worker_Schedule* findWorker(const LV2_Feature* const* features) noexcept
{
    const auto* worker =
        static_cast<const LV2_Worker_Schedule*>(findFeature(features, LV2_WORKER__schedule));
    return worker != nullptr && worker->schedule_work != nullptr ? worker : nullptr;
}

} // namespace

bool Instance::sampleRateUsable(double sampleRate) noexcept
{
    // A loop of the default four beats at 120 beats per minute must fit the effect's buffer
    // limits; the rate is also what every loop and bar length scales with.
    constexpr double kTempo = 120.0;
    constexpr std::int32_t kBeats = 4;
    if (!std::isfinite(sampleRate) || sampleRate <= 0.0) {
        return false;
    }
    const auto geometry = computeLoopGeometry(kTempo, sampleRate, kBeats, kBeats);
    return geometry && geometry->loopLengthSamples >= kMinBufferSamples &&
           geometry->loopLengthSamples <= kMaxBufferSamples;
}

Instance* Instance::create(double sampleRate, const LV2_Feature* const* features) noexcept
{
    const LV2_URID_Map* map = findUridMap(features);
    if (map == nullptr || !sampleRateUsable(sampleRate)) {
        return nullptr;
    }
    installPlatformDiagnostics();
    if (allocationShouldFail(AllocationSite::effectObject)) {
        return nullptr;
    }
    auto* instance = new (std::nothrow) Instance(sampleRate, mapUrids(*map), findWorker(features));
    if (instance != nullptr && !instance->engine.isComplete()) {
        delete instance;
        return nullptr;
    }
    return instance;
}

Instance::Instance(double sampleRate, const Urids& urids,
                   const LV2_Worker_Schedule* worker) noexcept
    : urids(urids), clock(sampleRate), engine(*this), worker(worker)
{
}

void Instance::connect(std::uint32_t port, void* location) noexcept
{
    connectPort(ports, port, location);
}

void Instance::activate() noexcept
{
    if (worker == nullptr) {
        reclaim.enrol();
    }
    engine.resume();
}

void Instance::deactivate() noexcept
{
    engine.suspend();
}

void Instance::run(std::uint32_t frames) noexcept
{
    syncControls(ports, engine);
    // An event splits the run at its frame: what comes before it is processed with the record
    // as it stood, the rest with the new position. Stamps outside the run, or before an earlier
    // event, are held to the stretch still ahead.
    std::uint32_t done = 0;
    SequenceReader events(ports.control, urids);
    SequenceEvent event;
    while (events.next(event)) {
        PositionUpdate update;
        if (!readPosition(event, urids, update)) {
            continue;
        }
        if (event.hasFrame && event.frame > static_cast<std::int64_t>(done)) {
            const std::uint32_t at = event.frame >= static_cast<std::int64_t>(frames)
                                         ? frames
                                         : static_cast<std::uint32_t>(event.frame);
            render(done, at - done);
            done = at;
        }
        clock.apply(update);
    }
    render(done, frames - done);
    writeStatus(ports, engine.status());
    scheduleRelease();
}

void Instance::scheduleRelease() noexcept
{
    if (worker == nullptr) {
        return;
    }
    if (engine.takeReleaseRequest()) {
        releasePending = true;
    }
    // A host whose queue is full gets the request again after the next run.
    if (releasePending) {
        releasePending = worker->schedule_work(worker->handle, sizeof kReleaseMessage,
                                               &kReleaseMessage) != LV2_WORKER_SUCCESS;
    }
}

void Instance::work() noexcept
{
    engine.releaseRetired();
}

void Instance::render(std::uint32_t first, std::uint32_t frames) noexcept
{
    while (frames > 0) {
        const std::uint32_t stretch = std::min(frames, kLongestStretch);
        const auto count = static_cast<std::int32_t>(stretch);
        if (ports.audioConnected()) {
            // The engine writes every output frame, also at a standing transport (frames it
            // does not play carry the input), and works in place, so the host's buffers go to
            // it as they are.
            float* const inputs[2] = {const_cast<float*>(ports.inLeft) + first,
                                      const_cast<float*>(ports.inRight) + first};
            float* const outputs[2] = {ports.outLeft + first, ports.outRight + first};
            engine.process(inputs, outputs, count);
        }
        clock.advance(count);
        first += stretch;
        frames -= stretch;
    }
}

} // namespace vorblexter::lv2
