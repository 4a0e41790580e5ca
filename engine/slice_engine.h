// The slice engine: captures one loop of stereo input at a bar line, cuts it into equal slices
// and plays them back in a drawn order, reversed or silenced by chance, with sine fades at every
// slice edge. It knows no plug-in format: a binding owns one, sets its parameters by host value,
// answers its transport questions (engine/transport.h) and calls process for every block.
//
// Threads. Construction happens off the audio thread. process runs on the host's audio thread;
// setParameter, getParameter, quantity, suspend and resume may come from any other thread,
// also while a block runs. The two sides share only `ParameterQuantities`: the parameter side
// writes quantities and raises signals, the audio side reads the quantities and consumes the
// signals at block starts and loop wraps. `EngineState` is the audio thread's alone, and all
// set-up work (geometry, buffers, slices, the draw) runs there, inside process.
//
// Units: positions and lengths are frames (one sample per channel); percentages are whole
// percent 0 to 100; `parameters` holds normalized host values.
#pragma once

#include "engine/fade_table.h"
#include "engine/parameter_table.h"
#include "engine/retired_buffers.h"
#include "engine/slice.h"
#include "engine/slice_random.h"
#include "engine/transport.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

namespace vorblexter {

namespace testing {
struct EngineAccess;
}

// A failure on the audio path: thrown and caught within the same block by the section that
// raised it. `message` is a fixed text to log, or null for the section's own text.
struct AudioFailure {
    const char* message = nullptr;
};

inline constexpr std::int32_t kMinBufferSamples = 128;
inline constexpr std::int32_t kMaxBufferSamples = 1000000000;

// Written by the parameter thread, read by the audio thread: relaxed atomics, each a single word
// or byte. The audio side consumes a signal with an exchange, so a change that lands between
// reading and clearing it is never lost.
struct ParameterQuantities {
    std::array<std::atomic<float>, kParameterCount> parameters{}; // normalized, as last set
    std::atomic<std::int32_t> loopBeats{4};
    std::atomic<std::int32_t> pendingSliceCount{
        -1};                              // applied at the next set-up or wrap; <= 0 none
    std::atomic<bool> wasSuspended{true}; // raised by construction and suspend
    std::atomic<bool> loopLengthChanged{false};
    std::atomic<bool> paramsChanged{false};
    std::atomic<std::int32_t> repetitionPercent{0};
    std::atomic<std::int32_t> vorblexPercent{25};
    std::atomic<std::int32_t> variationPeriod{1}; // loop passes between draws
    std::atomic<std::int32_t> reversePercent{0};
    std::atomic<std::int32_t> envelopeLength{20}; // frames of fade at each slice edge
    std::atomic<std::int32_t> silencePercent{0};
    std::atomic<std::int32_t> cutsPerBar{4}; // slices per four beats
};

// The audio thread's working set.
struct EngineState {
    const TransportInfo* timeInfo = nullptr; // the binding's, valid only during the current block

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
    // pair it fits in, so only a longer one allocates (and hands the old pair over for release).
    std::int32_t bufferCapacitySamples = 0;
    // Raised by a set-up that handed a pair over, cleared by takeReleaseRequest.
    bool releaseRequested = false;

    // The slice table: every entry points at its record in `sliceRecords`. All records are made
    // in one allocation at construction, so building an engine stays cheap and the audio path
    // never allocates one.
    std::unique_ptr<Slice[]> sliceRecords;
    std::array<Slice*, kMaxSlices> slices{};

    std::int32_t blocksInLoop = 0; // blocks finished since the last wrap, capture blocks included
    bool loopCaptured = false;
    std::int32_t loopLengthSamples = 0; // frames; 0 until a geometry has been computed
    std::int32_t sliceCount = 4;
    std::array<std::int32_t, kMaxSlices> sliceOrder{}; // order position -> slice index
    std::int32_t orderPosition = 0;
    double lastSamplePos = 0.0; // host frames, of the last block that got past the standing check
    bool slicesReady = false;
    bool positionWentBack = false;
    std::int32_t loopPosition = 0; // playback clock: frames since the start of this pass
    std::int32_t sliceLength = 0;  // frames
    bool captureActive = false;
    std::int32_t captureStartOffset = 0; // frame of the current block where capture begins
    std::int32_t barLengthSamples = 0;   // frames; 0 until a geometry has been computed
    std::int32_t loopsSinceShuffle = 0;

    // Scratch list of the draw; one entry beyond the slice count keeps it in bounds.
    std::array<std::int32_t, kMaxSlices + 1> drawPool{};
};

enum class EnginePhase : std::uint8_t { waiting = 0, capturing = 1, playing = 2 };

// What a musician may be shown of the engine.
struct EngineStatus {
    // Capturing only while a capture is armed and buffers exist to hold it: an armed capture
    // without them passes the input through, which is waiting to the musician.
    EnginePhase phase = EnginePhase::waiting;
    std::int32_t slot = 0;  // order position being played, from 1; 0 when not playing
    std::int32_t slice = 0; // slice index from 1 being played, negative when reversed; 0 when
                            // silenced or not playing
};

// The engine's state lives in two private bases so the sections, each in its own file, read
// their fields by the names they have always had.
class SliceEngine : private ParameterQuantities, private EngineState {
public:
    // `transport` is asked once per block and at every geometry computation; it must outlive
    // the engine. Check isComplete before use.
    explicit SliceEngine(TransportSource& transport);
    ~SliceEngine();
    SliceEngine(const SliceEngine&) = delete;
    SliceEngine& operator=(const SliceEngine&) = delete;

    // False when the slice records could not be allocated; such an engine must not be used.
    bool isComplete() const noexcept;

    // Parameter side (any thread). Indices outside 0 to 7 are ignored, and read as 0.0.
    void setParameter(std::int32_t index, float value) noexcept;
    // The host value last set, or the one a resume reported.
    float getParameter(std::int32_t index) const noexcept;
    // The quantity the engine holds (and displays) for a parameter; 0 outside 0 to 7.
    std::int32_t quantity(std::int32_t index) const noexcept;
    // The next block re-aligns playback to the host's position.
    void suspend() noexcept;
    // Refreshes the reported host values from the quantities held.
    void resume() noexcept;

    // Audio thread. Writes every output frame, never adds to it; in place (an output channel
    // that is its input) works. Null channels with frames > 0 leave the outputs untouched.
    void process(float* const* inputs, float* const* outputs, std::int32_t frames) noexcept;

    // Audio thread, between blocks.
    EngineStatus status() const noexcept;

    // --- Memory the loop has outgrown ---
    // The audio thread never releases memory. A set-up for a loop longer than the pair of
    // buffers held hands the old pair over (no allocation, lock or system call) and goes on; it
    // waits until a thread that may take its time calls releaseRetired: the host's own worker or
    // main thread where the format offers one, else the library's reclaim thread
    // (engine/reclaim_thread.h). The destructor releases whatever still waits.
    //
    // Any thread but the audio thread, also while a block runs, and from several at once:
    // releases every pair handed over so far and answers how many.
    std::int32_t releaseRetired() noexcept;
    // Audio thread, after process: true once after each block (or run of blocks) that handed a
    // pair over, so that a binding whose host runs work on request knows when to ask for it.
    bool takeReleaseRequest() noexcept { return std::exchange(releaseRequested, false); }

private:
    friend struct testing::EngineAccess;

    // Set-up operations of the audio path; each catches its own failures.
    void getLoopInfo() noexcept;
    void setupBuffers() noexcept;
    // Passes a pair (either may be null) the engine no longer holds to retiredBuffers.
    void handOverBuffers(float* left, float* right) noexcept;
    void setupSlices();
    void randomiseSlices();
    void restartCapture() noexcept;

    // Sections of one block. Output frames are always written in order from frame 0, and
    // `framesWritten` tells how far they got; whatever is left carries the input.
    // The entry section answers false when the block ends there (a standing transport).
    bool runEntrySection();
    bool repositionAfterSuspend();
    enum class CaptureOutcome { continueToPlayback, endBlock };
    CaptureOutcome runCaptureSection(float* const* inputs, float* const* outputs,
                                     std::int32_t frames, std::int32_t& framesWritten,
                                     bool& completedHere);
    bool decideCaptureStart(std::int32_t frames);
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

    TransportSource& transportSource;
    bool complete = true;

    // --- Run-wise rendering of playback and the hand-over ---
    // A block is cut into runs of one kind each (copy, reverse copy, fill, fade), none crossing a
    // slot edge, a fade-zone boundary, the end of what the buffers hold or the end of the block,
    // so that every check and every look-up is made once per run. Frames no run can take (a read
    // that would fail, a state the runs do not cover) go through the per-frame rule, one frame at
    // a time. A suspend or an Envelope change made by another thread while a block runs is seen
    // at the next run. (Runs once ended every 128 frames as well, to see such a change sooner;
    // but a whole block takes microseconds, so the frame a change made meanwhile lands on was
    // never the host's to choose, and the shorter runs cost a third of steady playback.)
    //
    // Plays one run from output frame `first`, at most `limit` frames; answers its length, or 0
    // when the frame must take the per-frame rule.
    std::int32_t playRun(float* const* outputs, std::int32_t first, std::int32_t limit,
                         const Slice& slice);
    // The run kinds playRun hands on, kept out of its way: the copy is the run of nearly every
    // block.
    std::int32_t playSilentRun(float* const* outputs, std::int32_t first, std::int32_t length,
                               const Slice& slice);
    std::int32_t playFadeRun(float* const* outputs, std::int32_t first, std::int32_t length,
                             std::int32_t step, std::int32_t envelope);
    // The whole block as one plain copy run, when it is one; false otherwise.
    bool playPlainBlock(float* const* outputs, std::int32_t frames) noexcept;
    // The per-frame rule of playback for output frame `i`, after the slot-end step.
    void playOneFrame(float* const* outputs, std::int32_t i, const Slice& slice);
    // How many of the next `frames` frames both play pointers can read, stepping by `step`.
    std::int32_t readableFrames(std::int32_t frames, std::int32_t step) const noexcept;
    // The gains of the current Envelope value, filled as fades need them.
    FadeTable fadeTable;
    // Pairs handed over by the audio thread, waiting for releaseRetired or the destructor.
    RetiredBuffers retiredBuffers;
};

} // namespace vorblexter
