#include "lv2/status_outputs.h"

namespace vorblexter::lv2 {

namespace {

enum State { kWaiting = 0, kCapturing = 1, kPlaying = 2 };

} // namespace

Status readStatus(const SlicerEffect& effect) noexcept
{
    Status status;
    if (!effect.loopCaptured) {
        // A capture armed without buffers (no geometry yet) passes the input through: to the
        // musician that is still waiting.
        const bool buffersHeld =
            effect.bufferLeft && effect.bufferRight && effect.bufferLengthSamples > 0;
        status.state = effect.captureActive && buffersHeld ? kCapturing : kWaiting;
        return status;
    }
    status.state = kPlaying;
    const std::int32_t position = effect.orderPosition;
    if (position < 0 || position >= effect.sliceCount || position >= kMaxSlices) {
        return status;
    }
    status.slot = static_cast<float>(position + 1);
    const std::int32_t index = effect.sliceOrder[static_cast<std::size_t>(position)];
    if (index < 0 || index >= kMaxSlices) {
        return status;
    }
    const Slice* slice = effect.slices[static_cast<std::size_t>(index)];
    if (slice == nullptr || slice->silenced) {
        return status;
    }
    status.slice = static_cast<float>(slice->reversed ? -(index + 1) : index + 1);
    return status;
}

void writeStatus(const Ports& ports, const SlicerEffect& effect) noexcept
{
    const Status status = readStatus(effect);
    if (ports.state != nullptr) {
        *ports.state = status.state;
    }
    if (ports.slot != nullptr) {
        *ports.slot = status.slot;
    }
    if (ports.slice != nullptr) {
        *ports.slice = status.slice;
    }
}

} // namespace vorblexter::lv2
