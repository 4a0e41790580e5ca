// The audio path frame by frame: entry, capture, hand-over and playback as they ran before
// playback went in runs, on one engine's state and set-up operations. The reference for the
// randomized comparison of renders.
#pragma once

#include "host/slicer_effect.h"
#include "tests/support/engine_access.h"

namespace vorblexter::testing {

// Runs the per-frame sections of one block on `engine`'s state, asking its transport source as
// the engine does.
class PerFrameRule {
public:
    explicit PerFrameRule(SliceEngine& engine)
        : engine(engine), s(EngineAccess::state(engine)), q(EngineAccess::quantities(engine))
    {
    }

    void process(float* const* inputs, float* const* outputs, std::int32_t frames);

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
    float read(const std::unique_ptr<float[]>& buffer, std::int32_t index) const;

    SliceEngine& engine;
    EngineState& s;
    ParameterQuantities& q;
};

// The VST effect with its engine's blocks rendered by the per-frame rule.
class PerFrameEffect : public SlicerEffect {
public:
    using SlicerEffect::SlicerEffect;

    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override
    {
        rule.process(inputs, outputs, sampleFrames);
    }

private:
    PerFrameRule rule{engine()};
};

} // namespace vorblexter::testing
