// The host's account of what the effect did with a render: where it captured its loop and where
// each pass of the loop played, with its slice grid.
//
// A host knows this without looking inside the effect: from the transport it sent (positions,
// tempo, signature), the settings it made, and the effect's documented timing. The effect waits
// for its first moving block or a bar line of (numerator x 60 / tempo) seconds, captures
// trunc(loopBeats x 60 / tempo x rate) frames, then plays passes of sliceCount x sliceFrames
// frames on its own clock; a new slice count or loop length waits for the end of a pass, and the
// first block after a resume places the clock where the transport says. This class replays those
// rules block by block as the render sends them.
//
// Units: render frames count from the first frame of the render; the clock counts frames from
// the start of a pass.
#pragma once

#include "tools/transport.h"

#include "engine/parameter_table.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorblexter::tool {

struct FrameSpan {
    std::int64_t begin = 0;
    std::int64_t end = 0; // exclusive
};

// A run of input frames copied into the capture buffer, from `bufferOffset` on.
struct CapturePiece {
    std::int64_t renderFrame = 0;
    std::int64_t bufferOffset = 0;
    std::int64_t frames = 0;
};

struct CaptureSpan {
    std::vector<CapturePiece> pieces;
    std::int32_t loopFrames = 0;
    std::int32_t loopBeats = 0;
    bool complete = false;
    std::int64_t completionFrame = 0; // render frame where playback took over, when complete

    std::int64_t firstFrame() const noexcept
    {
        return pieces.empty() ? completionFrame : pieces.front().renderFrame;
    }
};

// One stretch of playback with a fixed slice grid.
struct PassSpan {
    std::int64_t clockOrigin = 0; // render frame at which this pass's clock reads 0
    FrameSpan frames;             // the render frames it actually played
    std::int32_t sliceCount = 0;
    std::int32_t sliceFrames = 0;
    std::size_t capture = 0; // index into captures()
    std::int32_t number = 0; // 1 for the first pass after a capture, counting wraps
    // Render frames of the completing block played straight, without fades, reversal or silence.
    FrameSpan handOver;

    std::int64_t passFrames() const noexcept
    {
        return static_cast<std::int64_t>(sliceCount) * sliceFrames;
    }
};

// The effect's parameter quantities the timing depends on.
enum class TimingParameter { loopBeats, cutsPerBar, envelope, other };

class EffectTimeline {
public:
    struct Start {
        Timeline timeline;
        bool vendorFollowsTempo = true;
        std::int32_t loopBeats = kParameters[kLoopLength].defaultQuantity;
        std::int32_t cutsPerBar = kParameters[kCutsPerBar].defaultQuantity;
        std::int32_t envelopeFrames = kParameters[kEnvelope].defaultQuantity;
    };

    EffectTimeline();
    explicit EffectTimeline(const Start& start);

    // A setting sent between blocks, with the quantity the effect displays afterwards.
    void parameterChanged(TimingParameter parameter, std::int32_t quantity);
    // effMainsChanged 0 before render frame `frame`; the effect gets no blocks until resumed.
    void suspended(std::int64_t frame);
    // A block the effect processed: its first render frame, transport position and length.
    void block(std::int64_t renderFrame, double samplePos, std::int32_t frames);
    // Ends the account at the end of the render.
    void finish(std::int64_t totalFrames);

    const std::vector<CaptureSpan>& captures() const noexcept { return captureSpans; }
    const std::vector<PassSpan>& passes() const noexcept { return passSpans; }
    // Where the account stops being reliable (render end when it never does), and why.
    std::int64_t reliableUntil() const noexcept { return reliableEnd; }
    const std::string& unreliableReason() const noexcept { return reason; }
    std::int32_t maxEnvelopeFrames() const noexcept { return envelopeMax; }
    std::int32_t loopBeats() const noexcept { return beats; }
    // Frames of the loop as the effect computes it now (0 when it computes none).
    std::int32_t loopFrames() const noexcept { return loopLength; }
    // Loop passes begun, counting each wrap.
    std::int32_t passCount() const noexcept { return passesBegun; }

private:
    enum class State { waiting, capturing, playing };

    void setUp();
    void restartCapture(std::int64_t renderFrame);
    void startCapture(std::int32_t offset);
    void captureFrames(std::int64_t renderFrame, std::int32_t offset, std::int32_t frames);
    void play(std::int64_t renderFrame, std::int32_t frames);
    void openPass(std::int64_t renderFrame, std::int64_t clock, bool newPass);
    void closePass(std::int64_t renderFrame);
    void stopAccount(std::int64_t renderFrame, std::string why);

    Timeline timeline;
    bool followsTempo = true;
    std::int32_t beats = 4;
    std::int32_t cuts = 4;
    std::int32_t envelopeMax = 20;

    // Mirrors of the effect's own state.
    State state = State::waiting;
    double lastSamplePos = 0.0;
    bool positionWentBack = false;
    bool slicesReady = false;
    bool loopLengthChanged = false;
    bool wasSuspended = true;
    std::int32_t blocksInLoop = 0;
    std::int32_t pendingSliceCount = -1;
    std::int32_t sliceCount = 4;
    std::int32_t sliceFrames = 0;
    std::int32_t loopLength = 0;
    std::int32_t barLength = 0;
    std::int32_t bufferLength = 0;
    std::int32_t captureStartOffset = 0;
    std::int64_t capturedFrames = 0;
    std::int64_t clock = 0;

    std::vector<CaptureSpan> captureSpans;
    std::vector<PassSpan> passSpans;
    bool passOpen = false;
    std::int32_t passesBegun = 0;
    std::int32_t passNumber = 0;
    std::int64_t reliableEnd = INT64_MAX;
    std::string reason;
};

// The part a parameter of the shared table plays in the timing (other for none).
TimingParameter timingParameterFor(const ParameterSpec* entry) noexcept;

// The effect computes its loop only in hosts whose vendor text names one of these two makers
// (exact case); elsewhere it passes the audio through.
bool vendorFollowsTempo(const std::string& vendor);

} // namespace vorblexter::tool
