#include "engine/slicer_effect.h"

#include "engine/allocation.h"
#include "engine/diagnostics.h"

#include <algorithm>
#include <new>

namespace vorblexter {

SlicerEffect* SlicerEffect::create(audioMasterCallback audioMaster) noexcept
{
    try {
        if (allocationShouldFail(AllocationSite::effectObject)) {
            return nullptr;
        }
        auto* effect = new (std::nothrow) SlicerEffect(audioMaster);
        if (effect != nullptr && !effect->isComplete()) {
            delete effect;
            return nullptr;
        }
        return effect;
    } catch (...) {
        return nullptr;
    }
}

SlicerEffect::SlicerEffect(audioMasterCallback audioMaster)
    : EffectBaseX(audioMaster, 1, kParameterCount)
{
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(fourCharCode('V', 'r', 'b', 'x'));
    canMono(true);
    canProcessReplacing(true);
    // Every slice record exists for the object's whole life, so the audio path never allocates
    // one; an object without them is never handed to a host.
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

SlicerEffect::~SlicerEffect() = default;

bool SlicerEffect::isComplete() const noexcept
{
    return complete;
}

VstInt32 SlicerEffect::getGetTailSize()
{
    return 1;
}

VstInt32 SlicerEffect::fxIdle()
{
    return 1;
}

void SlicerEffect::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    processReplacing(inputs, outputs, sampleFrames);
}

void SlicerEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
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

} // namespace vorblexter
