// Drives one effect the way a host does, through its record's entries only, in blocks at the
// transport of a TestHost. No test framework: benchmarks and fuzzers use it too.
#pragma once

#include "host/slicer_effect.h"
#include "tests/support/engine_access.h"
#include "tests/support/test_host.h"

#include <string>
#include <vector>

namespace vorblexter::testing {

// Output frames start with this, so frames the effect leaves alone are visible.
inline constexpr float kUntouchedFill = -12345.0f;

struct StereoBlock {
    std::vector<float> left;
    std::vector<float> right;
};

// Input whose samples name their own position: left frame k is start + k, right is
// -(start + k), so order, direction and channel are all visible in the output.
StereoBlock rampBlock(double start, int frames);

class EffectDriver {
public:
    // Creates the effect through `entry` with the host's callback; throws std::runtime_error
    // when `main` answers null.
    explicit EffectDriver(TestHost& host, PluginEntry entry = &vorblexterPluginMain);
    // Takes over a record `host` made (null is allowed: every call is then the caller's fault).
    EffectDriver(TestHost& host, AEffect* effect);
    // Closes the effect unless it is closed already.
    ~EffectDriver();
    EffectDriver(const EffectDriver&) = delete;
    EffectDriver& operator=(const EffectDriver&) = delete;

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    // The text an opcode such as effGetParamDisplay writes for `index`.
    std::string text(VstInt32 opcode, VstInt32 index = 0);
    // effOpen, the sample rate, the largest block, and effMainsChanged 1: a host's start.
    void start(float sampleRate, VstInt32 maxBlockFrames);
    void suspend() { dispatch(effMainsChanged, 0, 0); }
    void resume() { dispatch(effMainsChanged, 0, 1); }

    // One block on the caller's buffers at the host's current position, which then moves on
    // by `frames` while the transport plays.
    void block(float** inputs, float** outputs, VstInt32 frames, bool replacing = true);
    // One block of `input` at host position `samplePos`, outputs starting at `outputFill`.
    StereoBlock run(double samplePos, const StereoBlock& input, bool replacing = true,
                    float outputFill = kUntouchedFill);

    // effClose now; later calls are not allowed.
    VstIntPtr close();

    // The objects behind the record, for checks no host can make.
    SlicerEffect& object() { return *static_cast<SlicerEffect*>(effect->object); }
    SliceEngine& engine() { return object().engine(); }
    EngineState& state() { return EngineAccess::state(engine()); }
    ParameterQuantities& quantities() { return EngineAccess::quantities(engine()); }

    TestHost& host;
    AEffect* effect = nullptr;
};

} // namespace vorblexter::testing
