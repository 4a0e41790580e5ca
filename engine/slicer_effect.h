// The slicer effect: captures one loop of stereo input at a bar line, cuts it into equal slices
// and plays them back in a drawn order, reversed or silenced by chance, with sine fades at every
// slice edge.
//
// Threads. The host calls process/processReplacing on its audio thread and everything else
// (parameters, program name, suspend/resume, the other opcodes) from any thread, also while a
// block runs. The two sides share only the parameter quantities and the change signals, which are
// relaxed atomics: the parameter side writes quantities and raises signals, the audio side reads
// the quantities and consumes the signals at block starts and loop wraps. Everything else is
// owned by the audio thread, and all set-up work (geometry, buffers, slices, the draw) runs there.
//
// Units: positions and lengths are frames (one sample per channel); percentages are whole
// percent 0 to 100; `parameters` holds normalized host values.
#pragma once

#include "engine/fade_table.h"
#include "engine/slice.h"
#include "engine/slice_random.h"
#include "host/effect_base_x.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace vorblexter {

// A failure on the audio path: thrown and caught within the same block by the section that
// raised it. `message` is a fixed text to log, or null for the section's own text.
struct AudioFailure {
    const char* message = nullptr;
};

inline constexpr std::int32_t kParameterCount = 8;
inline constexpr std::int32_t kMinBufferSamples = 128;
inline constexpr std::int32_t kMaxBufferSamples = 1000000000;
inline constexpr VstInt32 kTimeInfoRequest = 0xBF00;

// Whether the loop geometry follows the host's tempo in any host, or only where the vendor text
// names one of the two makers whose time info the effect was built against. The host binding
// that creates the effect chooses; the VST 2.x entry keeps the vendor check.
enum class TempoFollowing : std::uint8_t {
    namedVendorsOnly,
    anyHost,
};

enum ParameterIndex : VstInt32 {
    kReverse = 0,
    kVorblex,
    kRepetition,
    kCutsPerBar,
    kEnvelope,
    kVariation,
    kSilence,
    kLoopLength,
};

class SlicerEffect : public EffectBaseX {
public:
    // Builds a complete effect, or answers null when any part of it cannot be allocated.
    static SlicerEffect* create(audioMasterCallback audioMaster) noexcept;

    explicit SlicerEffect(audioMasterCallback audioMaster);
    ~SlicerEffect() override;

    // False when a slice record could not be allocated; such an object must not reach a host.
    bool isComplete() const noexcept;

    // Parameters and the program (parameter thread).
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    void suspend() override;
    void resume() override;
    VstInt32 getGetTailSize() override;
    VstInt32 fxIdle() override;

    // Audio (audio thread). Both overwrite the outputs, never add to them.
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    // Set-up operations of the audio path; each catches its own failures.
    void getLoopInfo() noexcept;
    void setupBuffers() noexcept;
    void setupSlices();
    void randomiseSlices();
    void restartCapture() noexcept;

    // The state below is the engine's working set. It is public so the audio sections (each in
    // its own file) and the tests can reach it; the host only ever reaches the record.

    char programName[32] = "Default";
    const VstTimeInfo* timeInfo = nullptr; // the host's, valid only during the current block
    char hostVendor[64] = {};
    char hostProduct[64] = {}; // fetched beside the vendor; nothing reads it
    VstInt32 timeInfoRequest = kTimeInfoRequest;
    // Set by the host binding before the first block, never changed afterwards.
    TempoFollowing tempoFollowing = TempoFollowing::namedVendorsOnly;

    std::int32_t playPointerLeft = 0;  // frame index of the next sample to play in bufferLeft
    std::int32_t playPointerRight = 0; // same, in bufferRight; moves in step with the left one
    std::unique_ptr<float[]> bufferLeft;
    std::int32_t captureWriteLeft = 0; // frame index of the next sample to capture
    std::unique_ptr<float[]> bufferRight;
    std::int32_t captureWriteRight = 0;
    // Length of the loop the buffers hold (0 when there are none). Every read and write stays
    // below it, whatever `loopLengthSamples` a newer geometry holds.
    std::int32_t bufferLengthSamples = 0;
    // Samples each buffer really has, at least `bufferLengthSamples`: a shorter loop reuses the
    // pair it fits in, so only a longer one allocates (and releases the old pair).
    std::int32_t bufferCapacitySamples = 0;

    std::array<std::atomic<float>, kParameterCount> parameters{}; // normalized, as last set
    // The slice table: every entry points at its record in `sliceRecords`. All records are made
    // in one allocation at construction, so creating an effect stays cheap and the audio path
    // never allocates one.
    std::unique_ptr<Slice[]> sliceRecords;
    std::array<Slice*, kMaxSlices> slices{};

    std::int32_t blocksInLoop = 0; // blocks finished since the last wrap, capture blocks included
    bool loopCaptured = false;
    std::int32_t loopLengthSamples = 0; // frames; 0 until a geometry has been computed
    std::atomic<std::int32_t> loopBeats{4};
    std::int32_t sliceCount = 4;
    std::atomic<std::int32_t> pendingSliceCount{
        -1}; // applied at the next set-up or wrap; <= 0 none
    std::array<std::int32_t, kMaxSlices> sliceOrder{}; // order position -> slice index
    std::int32_t orderPosition = 0;
    double lastSamplePos = 0.0; // host frames, of the last block that got past the standing check
    bool slicesReady = false;
    std::atomic<bool> wasSuspended{true}; // raised by construction and suspend
    bool positionWentBack = false;
    std::int32_t loopPosition = 0; // playback clock: frames since the start of this pass
    std::int32_t sliceLength = 0;  // frames
    bool captureActive = false;
    std::int32_t captureStartOffset = 0; // frame of the current block where capture begins
    std::int32_t barLengthSamples = 0;   // frames; 0 until a geometry has been computed
    std::atomic<bool> loopLengthChanged{false};
    std::atomic<bool> paramsChanged{false};
    std::atomic<std::int32_t> repetitionPercent{0};
    std::atomic<std::int32_t> vorblexPercent{25};
    std::atomic<std::int32_t> variationPeriod{1}; // loop passes between draws
    std::atomic<std::int32_t> reversePercent{0};
    std::atomic<std::int32_t> envelopeLength{20}; // frames of fade at each slice edge
    std::atomic<std::int32_t> silencePercent{0};
    std::int32_t loopsSinceShuffle = 0;
    std::atomic<std::int32_t> cutsPerBar{4}; // slices per four beats

    // Scratch list of the draw; one entry beyond the slice count keeps it in bounds.
    std::array<std::int32_t, kMaxSlices + 1> drawPool{};

private:
    // Sections of one block. Output frames are always written in order from frame 0, and
    // `framesWritten` tells how far they got; whatever is left carries the input.
    // The entry section answers false when the block ends there (a standing transport).
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
    // Answers true when the wrap restarted the capture.
    bool wrapLoop();
    void placePointersAtSlot();
    void mirrorPointersInReversedSlot();
    const Slice& sliceAtOrderPosition() const;
    float readLeft(std::int32_t index) const;
    float readRight(std::int32_t index) const;

    bool complete = true;

    // --- Run-wise rendering of playback and the hand-over ---
    // A block is cut into runs of one kind each (copy, reverse copy, fill, fade), none crossing a
    // slot edge, a fade-zone boundary or the end of what the buffers hold, so that every check
    // and every look-up is made once per run. Frames no run can take (a read that would fail, a
    // state the runs do not cover) go through the per-frame rule, one frame at a time.
    // The longest run: a suspend or an Envelope change made by another thread during a block is
    // seen within this many frames.
    static constexpr std::int32_t kRunFrames = 128;
    // Plays one run from output frame `first`, at most `limit` frames; answers its length, or 0
    // when the frame must take the per-frame rule.
    std::int32_t playRun(float* const* outputs, std::int32_t first, std::int32_t limit,
                         const Slice& slice);
    // The per-frame rule of playback for output frame `i`, after the slot-end step.
    void playOneFrame(float* const* outputs, std::int32_t i, const Slice& slice);
    // How many of the next `frames` frames both play pointers can read, stepping by `step`.
    std::int32_t readableFrames(std::int32_t frames, std::int32_t step) const noexcept;
    // The gains of the current Envelope value, filled as fades need them.
    FadeTable fadeTable;
};

} // namespace vorblexter
