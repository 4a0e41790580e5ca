// A host for tests: answers the four queries the effect relies on (version, transport, vendor
// and product texts) from fields the test controls, and records every call it receives.
//
// The callback has no context argument, so the one live TestHost is found through a static
// pointer: create one TestHost per test (on the test's thread) before creating effects.
#pragma once

#include "host/vst_abi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorblexter::testing {

struct HostCall {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

class TestHost {
public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt);

    // Creates an effect through the plug-in's entry point with this host's callback.
    AEffect* createEffect();

    void setVendor(const std::string& text);
    void setProduct(const std::string& text);
    // Copies exactly 64 bytes, terminator or not.
    void setVendorBytes(const char (&bytes)[64]);

    std::vector<HostCall> callsWithOpcode(VstInt32 opcode) const;

    VstIntPtr versionAnswer = 2400;
    bool giveTimeInfo = true;
    VstTimeInfo timeInfo{};
    char vendor[64] = "Steinberg";
    char product[64] = "vorblexter test host";
    bool recordCalls = true;
    std::vector<HostCall> calls;
};

// Sets up a transport at the given tempo (BPM), sample rate (Hz) and time signature.
void setTransport(VstTimeInfo& info, double tempo, double sampleRate, VstInt32 numerator = 4,
                  VstInt32 denominator = 4);

} // namespace vorblexter::testing
