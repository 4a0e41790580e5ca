#include "clap/instance.h"

#include "clap/callbacks.h"
#include "clap/parameters.h"
#include "clap/state_record.h"
#include "engine/allocation.h"
#include "engine/loop_geometry.h"
#include "platform/debug_output.h"

#include <clap/events.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace vorblexter::clap {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

// The engine counts frames in 32 bits; longer stretches go to it in pieces.
constexpr std::uint32_t kLongestStretch = 1u << 30;

// An event of the core space whose size covers the record its type names; null otherwise.
template <typename Event>
const Event* coreEvent(const clap_event_header* header, std::uint16_t type) noexcept
{
    if (header == nullptr || header->space_id != CLAP_CORE_EVENT_SPACE_ID || header->type != type ||
        header->size < sizeof(Event)) {
        return nullptr;
    }
    return reinterpret_cast<const Event*>(header);
}

const clap_event_param_value* settingChange(const clap_event_header* header) noexcept
{
    const auto* change = coreEvent<clap_event_param_value>(header, CLAP_EVENT_PARAM_VALUE);
    return change != nullptr && isSetting(change->param_id) ? change : nullptr;
}

std::uint32_t eventCount(const clap_input_events* events) noexcept
{
    return events != nullptr && events->size != nullptr && events->get != nullptr
               ? events->size(events)
               : 0;
}

// Both stereo buffers with both channels present.
bool stereo(const clap_audio_buffer* buffers, std::uint32_t count) noexcept
{
    return buffers != nullptr && count >= 1 && buffers[0].channel_count >= 2 &&
           buffers[0].data32 != nullptr && buffers[0].data32[0] != nullptr &&
           buffers[0].data32[1] != nullptr;
}

} // namespace

bool Instance::sampleRateUsable(double sampleRate) noexcept
{
    // A loop of the default four beats at 120 beats per minute must fit the engine's buffer
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

Instance* Instance::create(const clap_host* host) noexcept
{
    if (host == nullptr || !clap_version_is_compatible(host->clap_version)) {
        return nullptr;
    }
    if (allocationShouldFail(AllocationSite::effectObject)) {
        return nullptr;
    }
    auto* instance = new (std::nothrow) Instance(host);
    if (instance != nullptr && !instance->engine.isComplete()) {
        delete instance;
        return nullptr;
    }
    return instance;
}

Instance* Instance::of(const clap_plugin* plugin) noexcept
{
    if (plugin == nullptr || plugin->plugin_data == nullptr) {
        return nullptr;
    }
    auto* instance = static_cast<Instance*>(plugin->plugin_data);
    return &instance->plugin == plugin ? instance : nullptr;
}

Instance::Instance(const clap_host* host) noexcept
    : plugin(pluginRecord(this)), host(host), engine(*this)
{
}

bool Instance::init() noexcept
{
    if (initialized) {
        return false;
    }
    installPlatformDiagnostics();
    initialized = true;
    return true;
}

void Instance::destroy() noexcept
{
    delete this;
}

bool Instance::activate(double sampleRate) noexcept
{
    if (!initialized || active.load(kRelaxed) || !sampleRateUsable(sampleRate)) {
        return false;
    }
    clock.setRate(sampleRate);
    engine.resume();
    active.store(true, kRelaxed);
    return true;
}

void Instance::deactivate() noexcept
{
    if (!active.load(kRelaxed)) {
        return;
    }
    processing.store(false, kRelaxed);
    engine.suspend();
    active.store(false, kRelaxed);
}

bool Instance::startProcessing() noexcept
{
    if (!active.load(kRelaxed) || processing.load(kRelaxed)) {
        return false;
    }
    processing.store(true, kRelaxed);
    return true;
}

void Instance::stopProcessing() noexcept
{
    processing.store(false, kRelaxed);
}

void Instance::reset() noexcept
{
    if (active.load(kRelaxed)) {
        // As a VST host's suspend and resume: the next block re-aligns playback.
        engine.suspend();
        engine.resume();
    }
}

std::optional<std::int32_t> Instance::changedQuantity(clap_id id, double value) const noexcept
{
    const std::int32_t quantity = quantityFromValue(id, value);
    if (quantity == engine.quantity(static_cast<std::int32_t>(id))) {
        return std::nullopt;
    }
    return quantity;
}

void Instance::send(clap_id id, std::int32_t quantity) noexcept
{
    engine.setParameter(static_cast<std::int32_t>(id),
                        hostValueFromQuantity(kParameters[id], quantity));
}

clap_process_status Instance::process(const clap_process& process) noexcept
{
    if (!active.load(kRelaxed) || !processing.load(kRelaxed)) {
        return CLAP_PROCESS_ERROR;
    }
    const std::uint32_t frames = process.frames_count;
    buffersUsable = stereo(process.audio_inputs, process.audio_inputs_count) &&
                    stereo(process.audio_outputs, process.audio_outputs_count);
    // A free-running host reports no transport, at the block start or inside it.
    const bool hasTransport = process.transport != nullptr;
    if (hasTransport) {
        clock.apply(*process.transport);
    } else {
        clock.forget();
    }

    // A change splits the block at its frame: what comes before it is processed as things
    // stood, the rest with the change applied, as a VST host's block boundary there would.
    // Stamps past the block, or before an earlier event, are held to the stretch still ahead.
    // A setting that the engine already holds changes nothing and splits nothing.
    std::uint32_t done = 0;
    const std::uint32_t count = eventCount(process.in_events);
    for (std::uint32_t i = 0; i < count; ++i) {
        const clap_event_header* header = process.in_events->get(process.in_events, i);
        const clap_event_param_value* change = settingChange(header);
        const auto* moved =
            hasTransport ? coreEvent<clap_event_transport>(header, CLAP_EVENT_TRANSPORT) : nullptr;
        std::optional<std::int32_t> quantity;
        if (change != nullptr) {
            quantity = changedQuantity(change->param_id, change->value);
        }
        if (!quantity && moved == nullptr) {
            continue;
        }
        const std::uint32_t at = std::clamp(header->time, done, frames);
        render(process, done, at - done);
        done = at;
        if (quantity) {
            send(change->param_id, *quantity);
        } else {
            clock.apply(*moved);
        }
    }
    render(process, done, frames - done);
    reportStatus(process.out_events, frames);
    // request_callback is real-time safe by the interface's contract; the memory a longer loop
    // retired is then released on the main thread, away from the audio.
    if (engine.takeReleaseRequest() && host->request_callback != nullptr) {
        host->request_callback(host);
    }
    return buffersUsable || frames == 0 ? CLAP_PROCESS_CONTINUE : CLAP_PROCESS_ERROR;
}

void Instance::render(const clap_process& process, std::uint32_t first,
                      std::uint32_t frames) noexcept
{
    while (frames > 0) {
        const std::uint32_t stretch = std::min(frames, kLongestStretch);
        const auto count = static_cast<std::int32_t>(stretch);
        if (buffersUsable) {
            // The engine writes every output frame, also at a standing transport, and works in
            // place, so the host's buffers go to it as they are.
            float* const* in = process.audio_inputs[0].data32;
            float* const* out = process.audio_outputs[0].data32;
            float* const inputs[2] = {in[0] + first, in[1] + first};
            float* const outputs[2] = {out[0] + first, out[1] + first};
            engine.process(inputs, outputs, count);
        }
        clock.advance(count);
        first += stretch;
        frames -= stretch;
    }
}

void Instance::reportStatus(const clap_output_events* events, std::uint32_t frames) noexcept
{
    const EngineStatus status = engine.status();
    const std::array<std::int32_t, 3> now{static_cast<std::int32_t>(status.phase), status.slot,
                                          status.slice};
    for (std::size_t k = 0; k < now.size(); ++k) {
        shown[k].store(now[k], kRelaxed);
        if (now[k] == reported[k]) {
            continue;
        }
        clap_event_param_value event{};
        event.header.size = sizeof event;
        event.header.time = frames == 0 ? 0 : frames - 1;
        event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
        event.header.type = CLAP_EVENT_PARAM_VALUE;
        event.param_id = kStateParam + static_cast<clap_id>(k);
        event.note_id = -1;
        event.port_index = -1;
        event.channel = -1;
        event.key = -1;
        event.value = now[k];
        // A host that cannot take it now is told again at the end of the next block.
        if (events != nullptr && events->try_push != nullptr &&
            events->try_push(events, &event.header)) {
            reported[k] = now[k];
        }
    }
}

bool Instance::paramValue(clap_id id, double& value) const noexcept
{
    if (isSetting(id)) {
        value = valueFromQuantity(id, engine.quantity(static_cast<std::int32_t>(id)));
        return true;
    }
    if (id >= kParamCount) {
        return false;
    }
    value = shown[id - kStateParam].load(kRelaxed);
    return true;
}

void Instance::flush(const clap_input_events* events) noexcept
{
    const std::uint32_t count = eventCount(events);
    for (std::uint32_t i = 0; i < count; ++i) {
        const clap_event_param_value* change = settingChange(events->get(events, i));
        if (change == nullptr) {
            continue;
        }
        if (const std::optional<std::int32_t> quantity =
                changedQuantity(change->param_id, change->value)) {
            send(change->param_id, *quantity);
        }
    }
}

bool Instance::save(const clap_ostream& stream) const noexcept
{
    Quantities quantities{};
    for (std::int32_t i = 0; i < kParameterCount; ++i) {
        quantities[static_cast<std::size_t>(i)] = engine.quantity(i);
    }
    return writeState(stream, quantities);
}

bool Instance::load(const clap_istream& stream) noexcept
{
    const std::optional<Quantities> quantities = readState(stream);
    if (!quantities) {
        return false;
    }
    for (clap_id id = 0; id < static_cast<clap_id>(kParameterCount); ++id) {
        const std::int32_t quantity = (*quantities)[id];
        if (quantity != engine.quantity(static_cast<std::int32_t>(id))) {
            send(id, quantity);
        }
    }
    return true;
}

} // namespace vorblexter::clap
