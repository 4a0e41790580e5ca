#include "tools/effect_timeline.h"

#include "engine/buffers.h"
#include "engine/frame_position.h"
#include "engine/loop_geometry.h"
#include "engine/slice.h"
#include "engine/slice_plan.h"
#include "host/vendor_check.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace vorblexter::tool {

TimingParameter timingParameterFor(const ParameterSpec* entry) noexcept
{
    if (entry == &kParameters[kLoopLength]) {
        return TimingParameter::loopBeats;
    }
    if (entry == &kParameters[kCutsPerBar]) {
        return TimingParameter::cutsPerBar;
    }
    if (entry == &kParameters[kEnvelope]) {
        return TimingParameter::envelope;
    }
    return TimingParameter::other;
}

bool vendorFollowsTempo(const std::string& vendor)
{
    return vorblexter::vendorFollowsTempo(vendor.c_str(), vendor.size());
}

EffectTimeline::EffectTimeline() : EffectTimeline(Start{}) {}

EffectTimeline::EffectTimeline(const Start& start)
    : timeline(start.timeline), followsTempo(start.vendorFollowsTempo), beats(start.loopBeats),
      cuts(start.cutsPerBar), envelopeMax(start.envelopeFrames)
{
}

void EffectTimeline::parameterChanged(TimingParameter parameter, std::int32_t quantity)
{
    switch (parameter) {
    case TimingParameter::loopBeats:
        beats = quantity;
        loopLengthChanged = true;
        break;
    case TimingParameter::cutsPerBar:
        cuts = quantity;
        pendingSliceCount = sliceCountFor(cuts, beats);
        break;
    case TimingParameter::envelope:
        envelopeMax = std::max(envelopeMax, quantity);
        break;
    case TimingParameter::other:
        break;
    }
}

void EffectTimeline::suspended(std::int64_t frame)
{
    wasSuspended = true;
    closePass(frame);
}

void EffectTimeline::block(std::int64_t renderFrame, double samplePos, std::int32_t frames)
{
    if (renderFrame >= reliableEnd || frames <= 0) {
        return;
    }
    if (wasSuspended) {
        wasSuspended = false;
        const std::int64_t playable = static_cast<std::int64_t>(sliceCount) * sliceFrames;
        if (blocksInLoop > 0 && loopLength > 0 && sliceFrames > 0) {
            const std::int64_t inLoop = framePosition(samplePos) % loopLength;
            clock = inLoop < 0 || inLoop >= playable ? 0 : inLoop;
            if (state == State::playing) {
                closePass(renderFrame);
                openPass(renderFrame, clock, false);
            }
        }
    }

    if (samplePos == lastSamplePos) {
        // A standing transport: the effect returns at once and its output is the input.
        if (positionWentBack) {
            restartCapture(renderFrame);
        } else if (state == State::playing) {
            closePass(renderFrame);
            openPass(renderFrame + frames, clock, false);
        }
        return;
    }
    positionWentBack = samplePos < lastSamplePos;
    lastSamplePos = samplePos;
    if (!slicesReady) {
        setUp();
    }

    if (state != State::playing) {
        if (loopLengthChanged) {
            loopLengthChanged = false;
            restartCapture(renderFrame);
        }
        if (bufferLength <= 0) {
            return;
        }
        if (state == State::waiting) {
            if (static_cast<double>(frames) > samplePos) {
                startCapture(0);
            } else if (barLength > 0) {
                const std::int64_t first = framePosition(samplePos);
                const std::int64_t afterBlock = (first + frames) % barLength;
                const std::int64_t atStart = first % barLength;
                if (atStart > afterBlock || frames >= barLength) {
                    startCapture(static_cast<std::int32_t>(frames - afterBlock));
                }
            }
            if (state == State::waiting) {
                return;
            }
        }
        captureFrames(renderFrame, captureStartOffset, frames);
        ++blocksInLoop;
        return;
    }
    play(renderFrame, frames);
    ++blocksInLoop;
}

void EffectTimeline::finish(std::int64_t totalFrames)
{
    closePass(std::min(totalFrames, reliableEnd));
    reliableEnd = std::min(reliableEnd, totalFrames);
}

// The entry section's set-up: geometry from the transport, fresh buffers, slices laid out.
void EffectTimeline::setUp()
{
    if (followsTempo) {
        const std::optional<LoopGeometry> geometry = computeLoopGeometry(
            timeline.tempo, timeline.sampleRate, beats, timeline.timeSignature.numerator);
        if (geometry) {
            loopLength = geometry->loopLengthSamples;
            barLength = geometry->barLengthSamples;
        }
    }
    if (bufferLengthAccepted(loopLength)) {
        bufferLength = loopLength;
    }
    if (pendingSliceCount > 0) {
        sliceCount = pendingSliceCount;
    }
    sliceCount = std::clamp(sliceCount, 1, kMaxSlices);
    sliceFrames = bufferLength > 0 ? std::min(loopLength, bufferLength) / sliceCount : 0;
    slicesReady = true;
    capturedFrames = 0;
    if (state == State::capturing && !captureSpans.empty()) {
        captureSpans.back().pieces.clear();
        captureSpans.back().loopFrames = bufferLength;
        captureSpans.back().loopBeats = beats;
    }
}

void EffectTimeline::restartCapture(std::int64_t renderFrame)
{
    if (state == State::playing) {
        closePass(renderFrame);
    }
    if (state == State::capturing && !captureSpans.empty() && !captureSpans.back().complete) {
        captureSpans.pop_back();
    }
    state = State::capturing;
    capturedFrames = 0;
    pendingSliceCount = sliceCountFor(cuts, beats);
    clock = 0;
    slicesReady = false;
    captureSpans.push_back(CaptureSpan{{}, bufferLength, beats, false, 0});
}

void EffectTimeline::startCapture(std::int32_t offset)
{
    state = State::capturing;
    captureStartOffset = offset;
    capturedFrames = 0;
    captureSpans.push_back(CaptureSpan{{}, bufferLength, beats, false, 0});
}

void EffectTimeline::captureFrames(std::int64_t renderFrame, std::int32_t offset,
                                   std::int32_t frames)
{
    const std::int32_t start = std::clamp(offset, 0, frames);
    const std::int64_t space = bufferLength - capturedFrames;
    const std::int64_t taken = std::min<std::int64_t>(frames - start, space);
    CaptureSpan& span = captureSpans.back();
    if (taken > 0) {
        span.pieces.push_back(CapturePiece{renderFrame + start, capturedFrames, taken});
    }
    capturedFrames += taken;
    captureStartOffset = 0;
    if (start + space >= frames) {
        return;
    }
    const std::int64_t completion = renderFrame + start + space;
    span.complete = true;
    span.completionFrame = completion;
    state = State::playing;
    passNumber = 0;
    const std::int64_t handOverFrames = renderFrame + frames - completion;
    openPass(completion, 0, true);
    clock = handOverFrames;
    if (!passOpen) {
        return;
    }
    passSpans.back().handOver = FrameSpan{completion, renderFrame + frames};
    if (handOverFrames >= passSpans.back().passFrames()) {
        stopAccount(completion, "the loop is shorter than a block");
    }
}

void EffectTimeline::play(std::int64_t renderFrame, std::int32_t frames)
{
    std::int64_t position = renderFrame;
    std::int64_t remaining = frames;
    while (remaining > 0) {
        const std::int64_t passFrames = static_cast<std::int64_t>(sliceCount) * sliceFrames;
        if (passFrames <= 0) {
            stopAccount(position, "slices of zero frames");
            return;
        }
        const std::int64_t toWrap = passFrames - clock;
        if (toWrap >= remaining) {
            clock += remaining;
            return;
        }
        position += toWrap;
        remaining -= toWrap;
        closePass(position);
        if (loopLengthChanged) {
            // The rest of the block is the input; the new capture begins with the next block.
            loopLengthChanged = false;
            restartCapture(position);
            return;
        }
        if (pendingSliceCount > 0) {
            sliceCount = std::clamp(pendingSliceCount, 1, kMaxSlices);
            pendingSliceCount = -1;
        }
        sliceFrames = bufferLength > 0 ? std::min(loopLength, bufferLength) / sliceCount : 0;
        clock = 0;
        blocksInLoop = 0;
        openPass(position, 0, true);
    }
}

void EffectTimeline::openPass(std::int64_t renderFrame, std::int64_t clockAtFrame, bool newPass)
{
    if (renderFrame >= reliableEnd) {
        return;
    }
    if (newPass) {
        ++passesBegun;
        ++passNumber;
    }
    PassSpan pass;
    pass.clockOrigin = renderFrame - clockAtFrame;
    pass.frames = FrameSpan{renderFrame, renderFrame};
    pass.sliceCount = sliceCount;
    pass.sliceFrames = sliceFrames;
    pass.capture = captureSpans.empty() ? 0 : captureSpans.size() - 1;
    pass.number = passNumber;
    passSpans.push_back(pass);
    passOpen = true;
}

void EffectTimeline::closePass(std::int64_t renderFrame)
{
    if (!passOpen) {
        return;
    }
    passOpen = false;
    PassSpan& pass = passSpans.back();
    pass.frames.end = std::max(pass.frames.begin, std::min(renderFrame, reliableEnd));
    if (pass.frames.end == pass.frames.begin) {
        passSpans.pop_back();
    }
}

void EffectTimeline::stopAccount(std::int64_t renderFrame, std::string why)
{
    closePass(renderFrame);
    if (renderFrame < reliableEnd) {
        reliableEnd = renderFrame;
        reason = std::move(why);
    }
}

} // namespace vorblexter::tool
