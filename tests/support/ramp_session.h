// The session most whole-block tests play: 240 BPM at 1000 Hz, so a beat is 250 frames and the
// default four-beat loop (and a 4/4 bar) 1000 frames, fed ramps that name their transport
// position (left p, right -p, less `rampOrigin` so that values stay exact as floats).
#pragma once

#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

namespace vorblexter::testing {

struct RampSession {
    explicit RampSession(VstInt32 barBeats = 4) { host.setTransport(240.0, 1000.0, barBeats); }

    StereoBlock input(double at, int frames) const { return rampBlock(at - rampOrigin, frames); }
    // The input of the last block.
    StereoBlock lastInput(int frames) const { return input(lastStart, frames); }

    // One block at `at`; the next play() follows it.
    StereoBlock runAt(double at, int frames, bool replacing = true)
    {
        lastStart = at;
        position = at + frames;
        return fx.run(at, input(at, frames), replacing);
    }
    StereoBlock play(int frames = 250, bool replacing = true)
    {
        return runAt(position, frames, replacing);
    }
    // A block at the last block's position: a standing transport.
    StereoBlock stand(int frames) { return runAt(lastStart, frames); }

    // Blocks of 250 up to and including the one at 2000. From the origin the block at 750 ends
    // on the bar line, 1000 to 1750 capture (buffer index i holds position 1000 + i), and the
    // block at 2000 completes the capture and plays slot 0. Answers whether a loop is held.
    bool captureStandardLoop()
    {
        while (position <= 2000.0) {
            play();
        }
        return engine().loopCaptured;
    }

    EngineState& engine() { return fx.state(); }

    // Frames [from, to) of `out` are the last block's input. The driver fills the outputs with a
    // sentinel before each block, so frames the effect leaves unwritten fail this.
    void expectInputCopied(const StereoBlock& out, int from, int to) const
    {
        const StereoBlock in = lastInput(static_cast<int>(out.left.size()));
        for (int k = from; k < to; ++k) {
            ASSERT_EQ(out.left[k], in.left[k]) << "frame " << k;
            ASSERT_EQ(out.right[k], in.right[k]) << "frame " << k;
        }
    }

    // Frames [from, to) of `out` play the captured loop unscaled from its start, where buffer
    // index i holds the input of transport position `loopStart` + i.
    static void expectLoopPlayed(const StereoBlock& out, int from, int to, double loopStart)
    {
        for (int k = from; k < to; ++k) {
            const auto value = static_cast<float>(loopStart + (k - from));
            ASSERT_EQ(out.left[k], value) << "frame " << k;
            ASSERT_EQ(out.right[k], -value) << "frame " << k;
        }
    }

    static void expectSilent(const StereoBlock& out, int from, int to)
    {
        for (int k = from; k < to; ++k) {
            ASSERT_EQ(out.left[k], 0.0f) << "frame " << k;
            ASSERT_EQ(out.right[k], 0.0f) << "frame " << k;
        }
    }

    TestHost host;
    EffectDriver fx{host};
    double position = 0.0;
    double lastStart = 0.0;
    double rampOrigin = 0.0;
};

} // namespace vorblexter::testing
