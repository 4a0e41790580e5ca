// Drives one effect the way a host does: through its record's entries only.
#pragma once

#include "engine/slicer_effect.h"
#include "tests/support/test_host.h"

#include <string>
#include <vector>

namespace vorblexter::testing {

struct StereoBlock {
    std::vector<float> left;
    std::vector<float> right;
};

// Input whose samples name their own position: left frame k is start + k, right is
// -(start + k), so order, direction and channel are all visible in the output.
StereoBlock rampBlock(double start, int frames);

// Checks the record a host receives from `main`: identity, channel counts, flags, version and
// every field that must stay zero.
void expectFinishedRecord(const AEffect& effect);

class EffectDriver {
public:
    // Creates the effect through the entry point; a failure to create fails the test.
    explicit EffectDriver(TestHost& host);
    ~EffectDriver();
    EffectDriver(const EffectDriver&) = delete;
    EffectDriver& operator=(const EffectDriver&) = delete;

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    // The text an opcode such as effGetParamDisplay writes for `index`.
    std::string text(VstInt32 opcode, VstInt32 index = 0);

    // Runs one block at host position `samplePos` (the host's time record is updated first).
    // Outputs start filled with `outputFill`, so untouched frames are visible.
    StereoBlock run(double samplePos, const StereoBlock& input, bool replacing = true,
                    float outputFill = -12345.0f);

    // Closes the effect now (effClose); later calls are not allowed.
    VstIntPtr close();

    // The engine behind the record, for checking state the host cannot see.
    SlicerEffect& engine();

    TestHost& host;
    AEffect* effect = nullptr;
};

} // namespace vorblexter::testing
