// One host session with a plug-in: creation through its entry, set-up, a transport, blocks of
// synthesized stereo input, parameter automation, suspends, and the effect's closing. Everything
// the plug-in writes is folded into a digest, so two builds of the same plug-in can be compared
// by one line per session.
//
// Single-threaded: the session runs on the calling thread. The host is the shared test host. The
// plug-in's random generator lives per thread and is never reseeded, so sessions must run in the
// same order, on one thread, wherever digests are to be compared.
#pragma once

#include "engine/parameter_table.h"
#include "host/vst_abi.h"
#include "tests/scenarios/plugin_library.h"
#include "tests/support/test_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorblexter::scenarios {

struct HostSetup {
    std::string vendor = "Steinberg";
    double sampleRate = 44100.0; // Hz
    double tempo = 120.0;        // beats per minute
    VstInt32 numerator = 4;
    VstInt32 denominator = 4;
    VstInt32 maxBlockFrames = 4096;
};

// 64-bit FNV-1a: small, fixed and the same on every platform.
class Digest {
public:
    void addBytes(const void* data, std::size_t size);
    void addFloat(float value);
    std::uint64_t value() const { return hash; }

private:
    std::uint64_t hash = 0xcbf29ce484222325u;
};

class ScenarioSession {
public:
    // Creates the effect through `entry` and brings it up as a host does: open, sample rate,
    // block size, resume. `created()` is false when the entry answered null.
    ScenarioSession(PluginEntry entry, const HostSetup& setup);
    ~ScenarioSession();
    ScenarioSession(const ScenarioSession&) = delete;
    ScenarioSession& operator=(const ScenarioSession&) = delete;

    bool created() const { return effect != nullptr; }

    // Runs blocks until `frames` frames have passed, taking block lengths from `blockSizes` in
    // turn (the list continues where the last call left it). The transport advances by each
    // block's length while it runs and stays put while it stands.
    void play(std::int64_t frames, const std::vector<VstInt32>& blockSizes);
    // As play(), but through the record's accumulating `process` entry.
    void playAccumulating(std::int64_t frames, const std::vector<VstInt32>& blockSizes);
    void setRunning(bool running) { transportRunning = running; }
    void locate(double samplePos) { host.timeInfo.samplePos = samplePos; }
    void setTempo(double tempo);
    // Blocks while this is false get no time record from the host.
    void setTimeInfoAvailable(bool available) { host.giveTimeInfo = available; }

    void setParameter(VstInt32 index, float value);
    // Reads every parameter back as a host refreshing its controls does, into the digest.
    void readParameters();
    void suspend();
    void resume();

    std::int64_t frames() const { return framesPlayed; }
    // Frames whose output differs, on either channel, from their input, bit for bit.
    std::int64_t changedFrames() const { return framesChanged; }
    std::uint64_t digest() const { return outputDigest.value(); }

    AEffect* record() const { return effect; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

private:
    void run(std::int64_t frames, const std::vector<VstInt32>& blockSizes, bool replacing);
    void runBlock(VstInt32 blockFrames, bool replacing);

    HostSetup setup;
    testing::TestHost host;
    bool transportRunning = true;
    AEffect* effect = nullptr;
    std::vector<float> inputLeft, inputRight, outputLeft, outputRight;
    std::size_t nextBlockSize = 0;
    std::uint64_t inputClock = 0; // frames of input delivered so far
    std::int64_t framesPlayed = 0;
    std::int64_t framesChanged = 0;
    Digest outputDigest;
};

} // namespace vorblexter::scenarios
