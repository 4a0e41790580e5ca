// The effect with its audio path frame by frame: entry, capture, hand-over and playback as they
// ran before playback went in runs, built only from the effect's public state and set-up
// operations. The reference for the randomized comparison of renders.
#pragma once

#include "engine/slicer_effect.h"

namespace vorblexter::testing {

class PerFrameEffect : public SlicerEffect {
public:
    using SlicerEffect::SlicerEffect;

    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

private:
    bool runEntrySection();
    void repositionAfterSuspend();
    enum class CaptureOutcome { continueToPlayback, endBlock };
    CaptureOutcome runCaptureSection(float* const* inputs, float* const* outputs,
                                     std::int32_t frames, std::int32_t& framesWritten,
                                     bool& completedHere);
    void decideCaptureStart(std::int32_t frames);
    void captureFrames(float* const* inputs, float* const* outputs, std::int32_t frames,
                       std::int32_t& framesWritten, bool& completedHere);
    void handOver(float* const* inputs, float* const* outputs, std::int32_t firstFrame,
                  std::int32_t frames, std::int32_t& framesWritten);
    void runPlaybackSection(float* const* outputs, std::int32_t frames, std::int32_t& framesWritten,
                            bool completedHere);
    void playFrames(float* const* outputs, std::int32_t frames, std::int32_t& framesWritten);
    bool wrapLoop();
    void placePointersAtSlot();
    void mirrorPointersInReversedSlot();
    const Slice& sliceAtOrderPosition() const;
    float readLeft(std::int32_t index) const;
    float readRight(std::int32_t index) const;
};

} // namespace vorblexter::testing
