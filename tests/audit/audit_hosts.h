// Hosts for long sessions through each binding, with the plug-in's audio entries audited: the
// loop-growth sessions of the audit, whose loops (up to two 98 MB buffers) no fuzz player and no
// test session reaches. Each runs blocks of one size on the calling thread with a running
// transport, and a stream of stereo input.
#pragma once

#include "engine/parameter_table.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vorblexter::audit {

class SessionHost {
public:
    virtual ~SessionHost() = default;
    virtual std::string name() const = 0;
    // Sets a parameter in the quantity it shows (8 for Loop Length is eight beats).
    virtual void setQuantity(ParameterIndex index, std::int32_t quantity) = 0;
    virtual void setTempo(double tempo) = 0;
    virtual void locate(double frame) = 0;
    // Plays blocks until at least `frames` frames have passed.
    virtual void play(std::int64_t frames) = 0;
    // Whether the effect plays a captured loop (the LV2 State output, the VST engine's state).
    virtual bool playing() = 0;
    // Releases the host made on its own thread outside the audio calls (the LV2 worker's runs).
    virtual std::int32_t workerRuns() const { return 0; }
};

struct HostSetup {
    double sampleRate = 44100.0;
    double tempo = 120.0;
    std::int32_t blockFrames = 256;
};

// The VST 2.x library's record, as a host reporting vendor "Steinberg" sees it.
std::unique_ptr<SessionHost> vstHost(const HostSetup& setup);
// The LV2 descriptor, with the host's worker (run between blocks, off the audio calls) or
// without one (the library's reclaim thread then releases).
std::unique_ptr<SessionHost> lv2Host(const HostSetup& setup, bool withWorker);
// The CLAP binding linked in, through its audited factory (clap_audit.h): a transport in every
// block's record, settings as events at the start of the next block, and the plug-in's
// main-thread callback, where it releases what it retired, run between blocks when asked for;
// workerRuns counts those runs.
std::unique_ptr<SessionHost> clapHost(const HostSetup& setup);

// The growth session: a first capture, Loop Length up in steps to 64 beats, down and up again,
// a relocation, then half the tempo, which outgrows the held pair; each loop captured in full.
// At 192 kHz and 60 BPM the 64-beat loops take two buffers of 49 MB, then two of 98 MB.
void playGrowthSession(SessionHost& host, const HostSetup& setup);

} // namespace vorblexter::audit
