// A session of the benchmarks: one effect reached only through its record, as a DAW reaches it,
// played by the shared VST test host with a running transport whose tempo and sample rate each
// case chooses.
#pragma once

#include "engine/slice_engine.h"
#include "tests/support/effect_driver.h"
#include "tests/support/test_host.h"

#include <cstdint>
#include <vector>

namespace bench {

struct Transport {
    double tempo = 120.0;
    double sampleRate = 44100.0;
    // The first block's position. 0 is a standing transport (the block passes through); just
    // after it the capture starts in the first block's first frame.
    double startPosition = 1.0;
};

class Session {
public:
    Session(const Transport& transport, int blockFrames);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void setParameter(VstInt32 index, float value);
    // One block of the host's stereo input through processReplacing; the transport moves on by
    // the block's length.
    void block();
    void blocks(std::int64_t count);
    // Runs blocks until a loop is held; answers the frame of the session where its playback
    // starts. Needs a capture that began on a block's first frame, as every case here does.
    std::int64_t runUntilCaptured();

    int blockFrames() const { return frames; }
    std::int64_t framesDone() const { return done; }
    // The engine behind the record. The cases read what a musician is shown (status) and,
    // through the tests' one way in, the loop's geometry and the capture's progress.
    vorblexter::SliceEngine& engine() { return effect.engine(); }
    const vorblexter::EngineState& state();
    bool loopHeld();
    // Frames from the start of a pass to the next wrap: the slices laid over the loop.
    std::int64_t passFrames();

private:
    vorblexter::testing::TestHost host;
    vorblexter::testing::EffectDriver effect{host};
    int frames;
    std::int64_t done = 0;
    std::vector<float> inLeft, inRight, outLeft, outRight;
};

// Host values for the quantities a case asks for, as the effect displays them.
float stepValue(int step);       // Cuts/Bar, Variation, Loop Length: 1 to 64
float percentValue(int percent); // Reverse, Vorblex, Repetition, Silence
float envelopeValue(int frames); // Envelope: 1 to 10000 frames

} // namespace bench
