// The VST host of the tests, benchmarks, fuzzers and the scenario runner: it answers the queries
// the effect makes (version, time record, vendor and product texts) from fields its owner sets,
// can record every call, and can act from inside a call (a suspend arriving mid-block).
//
// Needs nothing but the interface records and the standard library, so builds that load the
// plug-in from a file (the scenario runner, cross-built for Windows) compile it too.
//
// Any number of hosts may live at once, each serving any number of effects. The callback has
// no context argument: an effect made by createEffect is found by its record's address; calls
// made while `main` runs go to the host calling it; any other call (a record made without
// createEffect) goes to the host constructed last that is still alive. Create, close and destroy
// on one thread; the callback itself may then be called from any thread (it takes no lock). Up to
// 16 hosts and 64 effects at a time; the host allocates nothing unless it records calls.
#pragma once

#include "host/plugin_entry.h"
#include "host/vst_abi.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace vorblexter::testing {

using PluginEntry = AEffect* (*)(audioMasterCallback);

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
    // A playing transport at 120 BPM, 44.1 kHz, 4/4, position 0; vendor "Steinberg".
    TestHost();
    // Forgets the effects it made; close them first.
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt);

    // Calls `entry` with the callback; this host answers the effect from then on. Null when
    // `main` answers null.
    AEffect* createEffect(PluginEntry entry = &vorblexterPluginMain);
    // After effClose: the record's address may be reused by another effect.
    void forget(AEffect* effect);

    // Tempo (BPM), rate (Hz) and time signature, with the flags a playing host sets.
    void setTransport(double tempo, double sampleRate, VstInt32 numerator = 4,
                      VstInt32 denominator = 4);
    void setPlaying(bool playing);
    bool playing() const { return (timeInfo.flags & kVstTransportPlaying) != 0; }

    // Texts are copied whole into 64 bytes, the rest zero; cut to 63 characters.
    void setVendor(std::string_view text);
    void setProduct(std::string_view text);
    // Exactly 64 bytes, terminator or not.
    void setVendorBytes(const char (&bytes)[64]);

    std::vector<HostCall> callsWithOpcode(VstInt32 opcode) const;

    VstIntPtr versionAnswer = 2400;
    bool giveTimeInfo = true; // false answers audioMasterGetTime with null
    VstTimeInfo timeInfo{};
    char vendor[64] = "Steinberg";
    char product[64] = "vorblexter test host";
    // Off by default: recording allocates, and the log is not shared between threads.
    bool recordCalls = false;
    std::vector<HostCall> calls;
    // Called inside each callback before it is answered, e.g. to suspend the effect from there.
    std::function<void(AEffect* effect, VstInt32 opcode)> duringCall;

private:
    void observe(const HostCall& call);
    VstIntPtr answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float opt);
};

} // namespace vorblexter::testing
