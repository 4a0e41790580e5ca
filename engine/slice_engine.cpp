#include "engine/slice_engine.h"

#include "engine/allocation.h"
#include "engine/diagnostics.h"

#include <algorithm>
#include <new>

namespace vorblexter {

SliceEngine::SliceEngine(TransportSource& transport) : transportSource(transport)
{
    // Every slice record exists for the engine's whole life, so the audio path never allocates
    // one; an engine without them is never handed to a host.
    if (!allocationShouldFail(AllocationSite::sliceRecord)) {
        sliceRecords.reset(new (std::nothrow) Slice[kMaxSlices]);
    }
    if (!sliceRecords) {
        complete = false;
        return;
    }
    for (std::size_t i = 0; i < slices.size(); ++i) {
        slices[i] = &sliceRecords[i];
    }
    diagnostic("object instantiated\n");
}

SliceEngine::~SliceEngine() = default;

bool SliceEngine::isComplete() const noexcept
{
    return complete;
}

void SliceEngine::process(float* const* inputs, float* const* outputs,
                          std::int32_t sampleFrames) noexcept
{
    try {
        const std::int32_t frames = std::max<std::int32_t>(sampleFrames, 0);
        if (frames > 0 &&
            (inputs == nullptr || outputs == nullptr || inputs[0] == nullptr ||
             inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr)) {
            // Nothing can be read or written; the host gets its buffers back untouched.
            return;
        }
        float* const in[2] = {frames > 0 ? inputs[0] : nullptr, frames > 0 ? inputs[1] : nullptr};
        float* const out[2] = {frames > 0 ? outputs[0] : nullptr,
                               frames > 0 ? outputs[1] : nullptr};

        std::int32_t framesWritten = 0;
        bool completedHere = false;
        if (runEntrySection()) {
            CaptureOutcome outcome = CaptureOutcome::continueToPlayback;
            if (!loopCaptured) {
                outcome = runCaptureSection(in, out, frames, framesWritten, completedHere);
            }
            if (outcome == CaptureOutcome::continueToPlayback) {
                runPlaybackSection(out, frames, framesWritten, completedHere);
            }
        }
        // Frames no section wrote carry the input: a host that does not process in place would
        // otherwise play whatever its output buffers held.
        for (std::int32_t i = framesWritten; i < frames; ++i) {
            out[0][i] = in[0][i];
            out[1][i] = in[1][i];
        }
    } catch (...) {
        // Every section catches its own failures; this only keeps the host safe from the rest.
    }
}

EngineStatus SliceEngine::status() const noexcept
{
    EngineStatus status;
    if (!loopCaptured) {
        const bool buffersHeld = bufferLeft && bufferRight && bufferLengthSamples > 0;
        status.phase = captureActive && buffersHeld ? EnginePhase::capturing : EnginePhase::waiting;
        return status;
    }
    status.phase = EnginePhase::playing;
    const std::int32_t position = orderPosition;
    if (position < 0 || position >= sliceCount || position >= kMaxSlices) {
        return status;
    }
    status.slot = position + 1;
    const std::int32_t index = sliceOrder[static_cast<std::size_t>(position)];
    if (index < 0 || index >= kMaxSlices) {
        return status;
    }
    const Slice* slice = slices[static_cast<std::size_t>(index)];
    if (slice == nullptr || slice->silenced) {
        return status;
    }
    status.slice = slice->reversed ? -(index + 1) : index + 1;
    return status;
}

} // namespace vorblexter
