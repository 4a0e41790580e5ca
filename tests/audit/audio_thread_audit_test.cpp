// The audio thread's rules, audited over everything the suite plays: every committed input of
// the three fuzzers, and the loop-growth sessions, through the VST 2.x record, the LV2
// descriptor and the CLAP factory.
// Inside a process or run call only the capture buffers' set-up may allocate (operator new[],
// in pairs of one size) and nothing may free, lock, wait, map memory or make a system call.
//
// This program is linked with --wrap=vorblexterPluginMain, so every record the VST fuzz player
// (or the test host) makes is audited as it leaves the entry point.
#include "clap/factory.h"
#include "fuzz/clap_event_player.h"
#include "fuzz/host_event_player.h"
#include "fuzz/lv2_event_player.h"
#include "host/plugin_entry.h"
#include "lv2/plugin_descriptor.h"
#include "tests/audit/audio_audit.h"
#include "tests/audit/audit_hosts.h"
#include "tests/audit/clap_audit.h"
#include "tests/support/fuzz_inputs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <ostream>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

extern "C" AEffect* __real_vorblexterPluginMain(audioMasterCallback audioMaster) noexcept;
extern "C" AEffect* __wrap_vorblexterPluginMain(audioMasterCallback audioMaster) noexcept
{
    using namespace vorblexter::audit;
    return audited(__real_vorblexterPluginMain(auditedCallback(audioMaster)));
}

namespace vorblexter::audit {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDirectory = VORBLEXTER_FUZZ_DIR;

// The trap, where the machine allows it, for every test of this program.
class TrapEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        const bool trapped = installSystemCallTrap();
        std::printf("audit: libc calls %s; system call trap %s\n",
                    countsLibcCalls() ? "counted" : "not counted (sanitizer or not glibc)",
                    trapped ? "installed" : "not available");
    }
};
const auto* const trapEnvironment = ::testing::AddGlobalTestEnvironment(new TrapEnvironment);

void report(const char* what, const Tally& tally)
{
    std::printf("audit %s\n%s", what, tally.describe().c_str());
}

// Stores made through here keep the compiler from leaving out the calls under test.
void* volatile sink = nullptr;

// A check that cannot fail proves nothing: inside an audio call each kind is seen, outside it
// nothing is.
TEST(AudioAudit, SeesEveryKindInsideAnAudioCallAndNothingOutside)
{
    SKIP_WITHOUT_HEAP_COUNTS();
    const auto everything = [] {
        sink = ::operator new(24);
        ::operator delete(sink);
        sink = new (std::nothrow) float[64];
        delete[] static_cast<float*>(sink);
        sink = new (std::nothrow) float[64];
        delete[] static_cast<float*>(sink);
#if defined(__linux__)
        sink = std::malloc(16);
        std::free(sink);
        static std::mutex mutex;
        mutex.lock();
        mutex.unlock();
        sink = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        munmap(sink, 4096);
        syscall(SYS_getpid);
        sink = reinterpret_cast<void*>(static_cast<std::intptr_t>(getppid()));
#endif
    };
    reset();
    everything();
    EXPECT_EQ(audioTally().forbidden(), 0);
    EXPECT_EQ(audioTally().audioCalls, 0);

    reset();
    {
        const AudioCall call;
        everything();
    }
    const Tally tally = audioTally();
    report("of the self-check", tally);
    EXPECT_EQ(tally.audioCalls, 1);
    EXPECT_EQ(tally.of(Call::bufferAllocation), 2);
    EXPECT_EQ(tally.bufferBytes, 2 * 64 * 4);
    EXPECT_EQ(tally.of(Call::otherNew), 1);
    EXPECT_EQ(tally.of(Call::deleteCall), 3);
    if (countsLibcCalls()) {
        EXPECT_EQ(tally.of(Call::malloc), 1);
        EXPECT_EQ(tally.of(Call::free), 1);
        EXPECT_EQ(tally.of(Call::lock), 2);
        EXPECT_EQ(tally.of(Call::mapping), 2);
    }
    if (systemCallTrapInstalled()) {
        // syscall(), and what the trap saw: getpid through it, getppid, mmap.
        EXPECT_EQ(tally.systemCallNumbers[SYS_getppid], 1);
        EXPECT_EQ(tally.systemCallNumbers[SYS_mmap], 1);
        EXPECT_GE(tally.of(Call::systemCall), 4);
    } else if (countsLibcCalls()) {
        EXPECT_EQ(tally.of(Call::systemCall), 1);
    }
}

// Every committed input of a fuzzer, one at a time: none may break a rule, and the records were
// really audited (their audio calls and buffer set-ups were seen). The CLAP inputs are many short
// sessions, so fewer calls are asked of them.
template <typename Play>
void auditInputs(const char* binding, const char* corpus, const char* regressions, Play play,
                 std::int64_t leastCalls = 300)
{
    Tally total;
    std::size_t inputs = 0;
    for (const char* folder : {corpus, regressions}) {
        for (const fs::path& path : testing::fuzzInputsIn(kFuzzDirectory / folder)) {
            SCOPED_TRACE(path.string());
            reset();
            play(testing::readBytes(path));
            const Tally tally = audioTally();
            EXPECT_EQ(tally.forbidden(), 0) << tally.describe();
            total.add(tally);
            ++inputs;
        }
    }
    EXPECT_GE(inputs, 10u) << "the corpus is missing";
    report((std::string("over the ") + binding + " fuzz corpus and regressions").c_str(), total);
    EXPECT_GT(total.audioCalls, leastCalls);
    EXPECT_GT(total.of(Call::bufferAllocation), 10);
}

TEST(AudioAudit, EveryVstFuzzInputKeepsTheRules)
{
    SKIP_WITHOUT_HEAP_COUNTS();
    auditInputs("VST", "corpus", "regressions", [](const std::vector<uint8_t>& bytes) {
        fuzzing::playHostEvents(bytes.data(), bytes.size());
    });
}

TEST(AudioAudit, EveryLv2FuzzInputKeepsTheRules)
{
    SKIP_WITHOUT_HEAP_COUNTS();
    const LV2_Descriptor* descriptor = audited(lv2::pluginDescriptor());
    auditInputs("LV2", "lv2_corpus", "lv2_regressions", [&](const std::vector<uint8_t>& bytes) {
        fuzzing::playLv2Events(descriptor, bytes.data(), bytes.size());
    });
}

TEST(AudioAudit, EveryClapFuzzInputKeepsTheRules)
{
    SKIP_WITHOUT_HEAP_COUNTS();
    const clap_plugin_factory* factory = audited(clap::pluginFactory());
    auditInputs(
        "CLAP", "clap_corpus", "clap_regressions",
        [&](const std::vector<uint8_t>& bytes) {
            fuzzing::playClapEvents(factory, bytes.data(), bytes.size());
        },
        150);
}

struct GrowthCase {
    const char* binding; // "vst", "lv2_worker", "lv2", "clap"
    HostSetup setup;
};

void PrintTo(const GrowthCase& c, std::ostream* out)
{
    *out << c.binding << " at " << c.setup.sampleRate << " Hz, " << c.setup.tempo
         << " BPM, blocks of " << c.setup.blockFrames;
}

class GrowthSessions : public ::testing::TestWithParam<GrowthCase> {};

// Loops from 4 to 64 beats and then twice as long again; every growth allocates a pair in the
// audio call and hands the old one over, which the worker or the reclaim thread releases.
TEST_P(GrowthSessions, KeepTheRules)
{
    SKIP_WITHOUT_HEAP_COUNTS();
    const GrowthCase& c = GetParam();
    const std::string binding = c.binding;
    std::unique_ptr<SessionHost> host = binding == "vst" ? vstHost(c.setup)
                                        : binding == "clap"
                                            ? clapHost(c.setup)
                                            : lv2Host(c.setup, binding == "lv2_worker");
    reset();
    playGrowthSession(*host, c.setup);
    const Tally tally = audioTally();
    report((host->name() + " growth session").c_str(), tally);
    EXPECT_EQ(tally.forbidden(), 0) << tally.describe();
    // The first pair, 8, 64 beats, then 64 beats at half the tempo (16 and 32 fit).
    EXPECT_EQ(tally.of(Call::bufferAllocation), 8);
    const auto longest =
        static_cast<std::int64_t>(64 * 60.0 / (c.setup.tempo / 2) * c.setup.sampleRate) * 4;
    EXPECT_EQ(tally.largestBuffer, longest);
    // Each outgrown pair is released by the host's own thread: LV2's worker, CLAP's main thread.
    if (binding == "lv2_worker" || binding == "clap") {
        EXPECT_EQ(host->workerRuns(), 3);
    }
}

INSTANTIATE_TEST_SUITE_P(AudioAudit, GrowthSessions,
                         ::testing::Values(GrowthCase{"vst", {192000.0, 60.0, 4096}},
                                           GrowthCase{"lv2_worker", {192000.0, 60.0, 4096}},
                                           GrowthCase{"vst", {96000.0, 120.0, 256}},
                                           GrowthCase{"lv2", {96000.0, 120.0, 256}},
                                           GrowthCase{"vst", {44100.0, 240.0, 32}},
                                           GrowthCase{"lv2_worker", {44100.0, 240.0, 32}},
                                           GrowthCase{"clap", {192000.0, 60.0, 4096}},
                                           GrowthCase{"clap", {44100.0, 240.0, 32}}),
                         [](const ::testing::TestParamInfo<GrowthCase>& info) {
                             return std::string(info.param.binding) + "_" +
                                    std::to_string(static_cast<int>(info.param.setup.sampleRate)) +
                                    "Hz_" + std::to_string(info.param.setup.blockFrames) + "frames";
                         });

} // namespace
} // namespace vorblexter::audit
