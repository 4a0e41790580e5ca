// What a host sees of the plug-in: the entry point, the record and its five entries, the fixed
// answers of both dispatcher levels, and the queries the base classes send back to the host.
#include "engine/allocation.h"
#include "host/plugin_entry.h"
#include "host/slicer_effect.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/effect_driver.h"
#include "tests/support/record_check.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace vorblexter {
namespace {

using testing::DiagnosticsCapture;
using testing::EffectDriver;
using testing::HostCall;
using testing::rampBlock;
using testing::TestHost;

// A bare level-2 effect: every operation keeps its default except the ones the tests watch.
class ProbeEffect : public EffectBaseX {
public:
    explicit ProbeEffect(audioMasterCallback audioMaster, VstInt32 programs = 1,
                         std::string* log = nullptr)
        : EffectBaseX(audioMaster, programs, 8), log(log)
    {
    }
    ~ProbeEffect() override { note("destroyed;"); }
    void close() override { note("close;"); }
    void setParameter(VstInt32 index, float value) override
    {
        note("set " + std::to_string(index) + "=" + std::to_string(value) + ";");
    }
    float getParameter(VstInt32 index) override { return 0.125f * static_cast<float>(index); }
    void process(float** inputs, float** outputs, VstInt32 frames) override
    {
        seen = {inputs, outputs, frames, false};
    }
    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override
    {
        seen = {inputs, outputs, frames, true};
    }

    struct {
        float** inputs;
        float** outputs;
        VstInt32 frames;
        bool replacing;
    } seen{};

private:
    void note(const std::string& text)
    {
        if (log != nullptr) {
            *log += text;
        }
    }
    std::string* log;
};

VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void expectCall(const HostCall& call, const AEffect* effect, VstInt32 opcode, VstInt32 index,
                VstIntPtr value, const void* ptr, float opt)
{
    EXPECT_EQ(call.effect, effect);
    EXPECT_EQ(call.opcode, opcode);
    EXPECT_EQ(call.index, index);
    EXPECT_EQ(call.value, value);
    EXPECT_EQ(call.ptr, ptr);
    EXPECT_EQ(call.opt, opt);
}

// --- Entry point and record ---------------------------------------------------------------------

TEST(EntryPoint, RecordReadsAsTheFinishedEffect)
{
    TestHost host;
    host.recordCalls = true;
    AEffect* effect = vorblexterPluginMain(&TestHost::callback);
    ASSERT_NE(effect, nullptr);
    ASSERT_EQ(host.calls.size(), 1u) << "main asks only for the version";
    expectCall(host.calls[0], nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);

    testing::expectFinishedRecord(*effect);

    auto* object = static_cast<EffectBase*>(effect->object);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->getAeffect(), effect);
    EXPECT_NE(dynamic_cast<SlicerEffect*>(object), nullptr);
    EXPECT_EQ(dispatch(effect, effClose), 1);
}

TEST(EntryPoint, AnswersNullAndBuildsNothingWhenRefused)
{
    const struct {
        const char* what;
        VstIntPtr versionAnswer;
        AllocationSite site;
        int succeedFirst;
        int failCount;
    } cases[] = {
        {"host version 0", 0, AllocationSite::effectObject, 0, 0},
        {"no memory for the object", 2400, AllocationSite::effectObject, 0, 1},
        {"no memory for the slice records", 2400, AllocationSite::sliceRecord, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestHost host;
        host.recordCalls = true;
        host.versionAnswer = c.versionAnswer;
        DiagnosticsCapture diagnostics;
        injectAllocationFailures(c.site, c.succeedFirst, c.failCount);
        EXPECT_EQ(host.createEffect(), nullptr);
        EXPECT_EQ(diagnostics.count("object instantiated\n"), 0);
        EXPECT_EQ(host.calls.size(), 1u);
        // The failure is used up: the host's next attempt gets a whole effect.
        host.versionAnswer = 2400;
        EffectDriver next(host);
        EXPECT_TRUE(next.object().isComplete());
        clearAllocationFailures();
    }
}

TEST(EntryPoint, EachCallBuildsAnIndependentEffect)
{
    TestHost host;
    DiagnosticsCapture diagnostics;
    AEffect* first = host.createEffect();
    AEffect* second = host.createEffect();
    ASSERT_TRUE(first != nullptr && second != nullptr);
    EXPECT_EQ(diagnostics.count("object instantiated\n"), 2);
    EXPECT_NE(first, second);
    EXPECT_NE(first->object, second->object);
    EXPECT_EQ(static_cast<EffectBase*>(first->object)->getAeffect(), first);
    EXPECT_EQ(static_cast<EffectBase*>(second->object)->getAeffect(), second);
    EXPECT_EQ(dispatch(first, effClose), 1);
    EXPECT_EQ(dispatch(second, effGetVstVersion), 2) << "closing one leaves the other alive";
    EXPECT_EQ(dispatch(second, effClose), 1);
}

// --- Record entries -----------------------------------------------------------------------------

TEST(RecordEntries, CloseRunsCloseThenDestroysOnce)
{
    std::string log;
    auto* probe = new ProbeEffect(nullptr, 1, &log);
    EXPECT_EQ(dispatch(probe->getAeffect(), effClose), 1);
    EXPECT_EQ(log, "close;destroyed;");
}

TEST(RecordEntries, ForwardArgumentsAndAnswersUnchanged)
{
    std::string log;
    ProbeEffect probe(nullptr, 1, &log);
    AEffect* effect = probe.getAeffect();
    effect->setParameter(effect, 5, 0.75f);
    EXPECT_EQ(log, "set 5=0.750000;");
    EXPECT_EQ(effect->getParameter(effect, 3), 0.375f);

    float samples[2] = {};
    float* inputs[2] = {&samples[0], &samples[1]};
    float* outputs[2] = {&samples[1], &samples[0]};
    effect->process(effect, inputs, outputs, 17);
    EXPECT_TRUE(probe.seen.inputs == inputs && probe.seen.outputs == outputs &&
                probe.seen.frames == 17 && !probe.seen.replacing);
    effect->processReplacing(effect, outputs, inputs, -4);
    EXPECT_TRUE(probe.seen.inputs == outputs && probe.seen.outputs == inputs &&
                probe.seen.frames == -4 && probe.seen.replacing);
}

// --- Dispatcher answers -------------------------------------------------------------------------

TEST(Dispatcher, FixedAnswersForEffectAndBareBase)
{
    const struct {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        VstIntPtr effectAnswer;
        VstIntPtr bareAnswer; // a level-2 effect that overrides nothing
    } cases[] = {
        {effIdentify, 0, 0, 0x4E764566, 0x4E764566},
        {effGetVstVersion, 0, 0, 2, 2},
        {effKeysRequired, 0, 0, 1, 1},
        {effGetPlugCategory, 0, 0, 0, 0},
        {effGetNumProgramCategories, 0, 0, 1, 1},
        {effCanBeAutomated, 0, 0, 1, 1},
        {effCanBeAutomated, 7, 0, 1, 1},
        {effCanBeAutomated, 8, 0, 1, 1},
        {effCanBeAutomated, -1, 0, 1, 1},
        {effConnectInput, 0, 1, 1, 1},
        {effConnectInput, 1, 0, 1, 1},
        {effConnectOutput, 1, 1, 1, 1},
        {effGetTailSize, 0, 0, 1, 0},
        {effIdle, 0, 0, 1, 0},
        {effGetVu, 0, 0, 0, 0},
        {effSetChunk, 1, 16, 0, 0},
        {59, 0, 0, 0, 0},
        {70, 0, 0, 0, 0},
        {1000, 0, 0, 0, 0},
        {-1, 0, 0, 0, 0},
        {INT_MIN, 0, 0, 0, 0},
    };
    TestHost host;
    EffectDriver driver(host);
    ProbeEffect bare(&TestHost::callback);
    for (const auto& c : cases) {
        SCOPED_TRACE("opcode " + std::to_string(c.opcode) + " index " + std::to_string(c.index));
        EXPECT_EQ(driver.dispatch(c.opcode, c.index, c.value), c.effectAnswer);
        EXPECT_EQ(dispatch(bare.getAeffect(), c.opcode, c.index, c.value), c.bareAnswer);
    }
}

TEST(Dispatcher, UnsupportedQueriesLeaveTheHostBufferUntouched)
{
    std::vector<VstInt32> opcodes = {effGetChunk,           effGetProgramNameIndexed,
                                     effGetInputProperties, effGetOutputProperties,
                                     effGetEffectName,      effGetErrorText,
                                     effGetVendorString,    effGetProductString,
                                     effString2Parameter,   effGetParameterProperties};
    for (VstInt32 editorOpcode = effEditGetRect; editorOpcode <= effEditSleep; ++editorOpcode) {
        opcodes.push_back(editorOpcode);
    }
    TestHost host;
    EffectDriver driver(host);
    for (VstInt32 opcode : opcodes) {
        std::array<char, 256> buffer;
        buffer.fill('\x5a');
        const std::array<char, 256> before = buffer;
        EXPECT_EQ(driver.dispatch(opcode, 1, 0, buffer.data()), 0) << opcode;
        EXPECT_EQ(buffer, before) << opcode;
    }
}

TEST(Dispatcher, DeclaresNoCapability)
{
    TestHost host;
    EffectDriver driver(host);
    for (std::string text : {"", "receiveVstTimeInfo", "plugAsChannelInsert", "bypass"}) {
        EXPECT_EQ(driver.dispatch(effCanDo, 0, 0, text.data()), 0) << '"' << text << '"';
    }
}

TEST(Dispatcher, BlockSizeAndSampleRateReachTheObject)
{
    TestHost host;
    EffectDriver driver(host);
    EXPECT_EQ(driver.dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.0f), 1);
    EXPECT_EQ(driver.object().getBlockSize(), 256);
    EXPECT_EQ(driver.object().getSampleRate(), 48000.0f);
}

TEST(Dispatcher, ProgramNumberBelowTheCountIsSelected)
{
    TestHost host;
    EffectDriver driver(host);
    EXPECT_EQ(driver.dispatch(effSetProgram, 0, 1), 0);
    EXPECT_EQ(driver.dispatch(effGetProgram), 0);

    ProbeEffect probe(nullptr, 3);
    const VstIntPtr steps[][2] = {{2, 2}, {3, 2}, {100, 2}, {0, 0}}; // value sent, program then
    for (const auto& [value, program] : steps) {
        EXPECT_EQ(dispatch(probe.getAeffect(), effSetProgram, 0, value), 0);
        EXPECT_EQ(dispatch(probe.getAeffect(), effGetProgram), program) << "after " << value;
    }
}

TEST(Dispatcher, MainsChangedSuspendsOnZeroAndResumesOtherwise)
{
    TestHost host;
    EffectDriver driver(host);
    driver.run(512.0, rampBlock(0.0, 64)); // consumes the suspension construction raised
    ASSERT_FALSE(driver.quantities().wasSuspended.load());

    EXPECT_EQ(driver.dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_TRUE(driver.quantities().wasSuspended.load());
    EXPECT_EQ(driver.getParameter(kVorblex), 0.0f) << "suspend refreshes nothing";

    EXPECT_EQ(driver.dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_EQ(driver.getParameter(kVorblex), 0.25f) << "resume reports the quantities";
    driver.setParameter(kReverse, 0.573f);
    EXPECT_EQ(driver.dispatch(effMainsChanged, 0, -3), 0);
    EXPECT_FLOAT_EQ(driver.getParameter(kReverse), 0.57f);
}

// --- Host queries -------------------------------------------------------------------------------

char argumentA[64];
char argumentB[64];
auto* const kFiles = reinterpret_cast<VstAudioFile*>(argumentA);
auto* const kTask = reinterpret_cast<VstOfflineTask*>(argumentA);
auto* const kArrangementIn = reinterpret_cast<VstSpeakerArrangement**>(argumentA);
auto* const kArrangementOut = reinterpret_cast<VstSpeakerArrangement**>(argumentB);
const auto kArgumentAAsValue = reinterpret_cast<VstIntPtr>(argumentA);
constexpr VstIntPtr kNoAnswer = INT_MIN; // the operation has no result
VstIntPtr hostReply = 0;

VstIntPtr replyingHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float)
{
    return hostReply;
}

template <typename T> VstIntPtr asAnswer(T answer)
{
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<VstIntPtr>(answer);
    } else {
        return static_cast<VstIntPtr>(answer);
    }
}

struct HostQuery {
    const char* call;
    VstIntPtr (*ask)(ProbeEffect&);
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
    VstIntPtr answerToReply0;
    VstIntPtr answerToReply7;
    VstIntPtr answerWithoutHost;
};

// One row: the call, then what reaches the host, then the answers to replies 0 and 7 and without
// a host.
#define QUERY(call, ...)                                                                           \
    {                                                                                              \
#call,                                                                                     \
            [](auto& p) -> VstIntPtr {                                                             \
                if constexpr (std::is_void_v<decltype(call)>) {                                    \
                    call;                                                                          \
                    return kNoAnswer;                                                              \
                } else {                                                                           \
                    return asAnswer(call);                                                         \
                }                                                                                  \
            },                                                                                     \
            __VA_ARGS__       \
    }
const HostQuery kHostQueries[] = {
    QUERY(p.setParameterAutomated(3, 0.5f), audioMasterAutomate, 3, 0, nullptr, 0.5f, kNoAnswer,
          kNoAnswer, kNoAnswer),
    QUERY(p.getMasterVersion(), audioMasterVersion, 0, 0, nullptr, 0, 1, 7, 1),
    QUERY(p.getCurrentUniqueId(), audioMasterCurrentId, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.masterIdle(), audioMasterIdle, 0, 0, nullptr, 0, kNoAnswer, kNoAnswer, kNoAnswer),
    QUERY(p.isInputConnected(5), audioMasterPinConnected, 5, 0, nullptr, 0, 1, 0, 1),
    QUERY(p.isOutputConnected(6), audioMasterPinConnected, 6, 1, nullptr, 0, 1, 0, 1),
    QUERY(p.wantEvents(9), audioMasterWantMidi, 0, 9, nullptr, 0, kNoAnswer, kNoAnswer, kNoAnswer),
    QUERY(p.getTimeInfo(0xBF00), audioMasterGetTime, 0, 0xBF00, nullptr, 0, 0, 7, 0),
    QUERY(p.tempoAt(4410), audioMasterTempoAt, 0, 4410, nullptr, 0, 0, 7, 0),
    QUERY(p.getNumAutomatableParameters(), audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0,
          0, 7, 0),
    QUERY(p.getParameterQuantization(), audioMasterGetParameterQuantization, 0, 0, nullptr, 0, 0, 7,
          0),
    QUERY(p.ioChanged(), audioMasterIOChanged, 0, 0, nullptr, 0, 0, 1, 0),
    QUERY(p.needIdle(), audioMasterNeedIdle, 0, 0, nullptr, 0, 0, 1, 0),
    QUERY(p.sizeWindow(640, 480), audioMasterSizeWindow, 640, 480, nullptr, 0, 0, 1, 0),
    QUERY(p.updateSampleRate(), audioMasterGetSampleRate, 0, 0, nullptr, 0, 44100, 44100, 44100),
    QUERY(p.updateBlockSize(), audioMasterGetBlockSize, 0, 0, nullptr, 0, 1024, 1024, 1024),
    QUERY(p.getInputLatency(), audioMasterGetInputLatency, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.getOutputLatency(), audioMasterGetOutputLatency, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.getPreviousPlug(3), audioMasterGetPreviousPlug, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.getNextPlug(3), audioMasterGetNextPlug, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.willProcessReplacing(), audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.getCurrentProcessLevel(), audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.getAutomationState(), audioMasterGetAutomationState, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.offlineStart(kFiles, 4, 2), audioMasterOfflineStart, 2, 4, argumentA, 0, 0, 1, 0),
    QUERY(p.offlineRead(kTask, 6, true), audioMasterOfflineRead, 1, 6, argumentA, 0, 0, 1, 0),
    QUERY(p.offlineWrite(kTask, 6), audioMasterOfflineWrite, 0, 6, argumentA, 0, 0, 1, 0),
    QUERY(p.offlineGetCurrentPass(), audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0, 0, 1, 0),
    QUERY(p.offlineGetCurrentMetaPass(), audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0, 0,
          1, 0),
    QUERY(p.setOutputSamplerate(96000.0f), audioMasterSetOutputSampleRate, 0, 0, nullptr, 96000.0f,
          kNoAnswer, kNoAnswer, kNoAnswer),
    QUERY(p.getSpeakerArrangement(kArrangementIn, kArrangementOut),
          audioMasterGetSpeakerArrangement, 0, kArgumentAAsValue, argumentB, 0, 0, 1, 0),
    QUERY(p.getHostVendorString(argumentA), audioMasterGetVendorString, 0, 0, argumentA, 0, 0, 1,
          0),
    QUERY(p.getHostProductString(argumentA), audioMasterGetProductString, 0, 0, argumentA, 0, 0, 1,
          0),
    QUERY(p.getHostVendorVersion(), audioMasterGetVendorVersion, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.hostVendorSpecific(11, 12, argumentA, 1.5f), audioMasterVendorSpecific, 11, 12,
          argumentA, 1.5f, 0, 7, 0),
    QUERY(p.canHostDo(argumentA), audioMasterCanDo, 0, 0, argumentA, 0, 0, 1, 0),
    QUERY(p.getHostLanguage(), audioMasterGetLanguage, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.openWindow(argumentA), audioMasterOpenWindow, 0, 0, argumentA, 0, 0, 7, 0),
    QUERY(p.closeWindow(argumentA), audioMasterCloseWindow, 0, 0, argumentA, 0, 0, 1, 0),
    QUERY(p.getDirectory(), audioMasterGetDirectory, 0, 0, nullptr, 0, 0, 7, 0),
    QUERY(p.updateDisplay(), audioMasterUpdateDisplay, 0, 0, nullptr, 0, 0, 1, 0),
};
#undef QUERY

TEST(HostQueries, SendOneCallWithTheRecordAndNamedArguments)
{
    for (const HostQuery& q : kHostQueries) {
        SCOPED_TRACE(q.call);
        TestHost host;
        host.recordCalls = true;
        ProbeEffect probe(&TestHost::callback);
        q.ask(probe);
        ASSERT_EQ(host.calls.size(), 1u);
        expectCall(host.calls[0], probe.getAeffect(), q.opcode, q.index, q.value, q.ptr, q.opt);
    }
}

TEST(HostQueries, AnswersFollowTheReply)
{
    ProbeEffect probe(&replyingHost);
    for (const HostQuery& q : kHostQueries) {
        SCOPED_TRACE(q.call);
        hostReply = 0;
        EXPECT_EQ(q.ask(probe), q.answerToReply0);
        hostReply = 7;
        EXPECT_EQ(q.ask(probe), q.answerToReply7);
    }
}

TEST(HostQueries, WithoutCallbackAnswerDefaultsAndTouchNothing)
{
    std::array<char, sizeof argumentA> pattern;
    pattern.fill('\x5a');
    ProbeEffect probe(nullptr);
    for (const HostQuery& q : kHostQueries) {
        SCOPED_TRACE(q.call);
        std::memcpy(argumentA, pattern.data(), pattern.size());
        std::memcpy(argumentB, pattern.data(), pattern.size());
        EXPECT_EQ(q.ask(probe), q.answerWithoutHost);
        EXPECT_EQ(std::memcmp(argumentA, pattern.data(), pattern.size()), 0);
        EXPECT_EQ(std::memcmp(argumentB, pattern.data(), pattern.size()), 0);
    }
}

TEST(HostQueries, EffectAsksForTimeEveryBlockAndForHostTextsAtEachGeometry)
{
    TestHost host;
    EffectDriver driver(host);
    host.recordCalls = true;
    driver.run(512.0, rampBlock(0.0, 64));
    driver.run(576.0, rampBlock(64.0, 64));

    // The first block sets up buffers and then slices, and each computes the geometry.
    std::vector<VstInt32> opcodes;
    for (const HostCall& call : host.calls) {
        opcodes.push_back(call.opcode);
    }
    EXPECT_EQ(opcodes,
              (std::vector<VstInt32>{audioMasterGetTime, audioMasterGetVendorString,
                                     audioMasterGetProductString, audioMasterGetVendorString,
                                     audioMasterGetProductString, audioMasterGetTime}));
    static_assert(sizeof SlicerEffect::hostVendor == 64 && sizeof SlicerEffect::hostProduct == 64);
    for (const HostCall& call : host.calls) {
        const void* text = call.opcode == audioMasterGetVendorString ? driver.object().hostVendor
                           : call.opcode == audioMasterGetProductString
                               ? driver.object().hostProduct
                               : nullptr;
        const VstIntPtr mask = call.opcode == audioMasterGetTime ? 0xBF00 : 0;
        expectCall(call, driver.effect, call.opcode, 0, mask, text, 0.0f);
    }
}

// --- Flags --------------------------------------------------------------------------------------

TEST(Flags, EachOperationOwnsOneBit)
{
    const struct {
        void (ProbeEffect::*operation)(bool);
        VstInt32 bit;
    } cases[] = {
        {&ProbeEffect::hasClip, 2},
        {&ProbeEffect::hasVu, 4},
        {&ProbeEffect::canMono, 8},
        {&ProbeEffect::canProcessReplacing, 16},
        {&ProbeEffect::programsAreChunks, 32},
        {&ProbeEffect::isSynth, 256},
        {&ProbeEffect::noTail, 512},
        {&ProbeEffect::wantAsyncOperation, 1024},
        {&ProbeEffect::hasExternalBuffer, 2048},
    };
    ProbeEffect probe(nullptr);
    VstInt32& flags = probe.getAeffect()->flags;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bit);
        for (VstInt32 others : {0, -1}) {
            flags = others;
            (probe.*c.operation)(true);
            EXPECT_EQ(flags, others | c.bit);
            (probe.*c.operation)(false);
            EXPECT_EQ(flags, others & ~c.bit);
        }
    }
    flags = effFlagsIsSynth;
    EXPECT_EQ(dispatch(probe.getAeffect(), effGetPlugCategory), 2);
}

} // namespace
} // namespace vorblexter
