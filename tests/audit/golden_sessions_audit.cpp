// The LV2 sessions (tests/lv2/lv2_sessions_test.cpp) under the audit: lilv's instances run an
// audited copy of the descriptor (this program is linked with --wrap=lilv_plugin_instantiate),
// the VST reference renders open the library through the audited PluginLibrary, and after every
// test the audio calls it made must have kept the rules.
#include "tests/audit/audio_audit.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cstdio>

extern "C" LilvInstance* __real_lilv_plugin_instantiate(const LilvPlugin* plugin, double rate,
                                                        const LV2_Feature* const* features);
extern "C" LilvInstance* __wrap_lilv_plugin_instantiate(const LilvPlugin* plugin, double rate,
                                                        const LV2_Feature* const* features)
{
    LilvInstance* instance = __real_lilv_plugin_instantiate(plugin, rate, features);
    if (instance != nullptr) {
        instance->lv2_descriptor = vorblexter::audit::audited(instance->lv2_descriptor);
    }
    return instance;
}

namespace vorblexter::audit {
namespace {

class EveryTestKeepsTheRules : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { reset(); }
    void OnTestEnd(const ::testing::TestInfo& test) override
    {
        const Tally tally = audioTally();
        std::printf("audit of %s.%s\n%s", test.test_suite_name(), test.name(),
                    tally.describe().c_str());
        total.add(tally);
        EXPECT_EQ(tally.forbidden(), 0) << tally.describe();
    }
    void OnTestProgramEnd(const ::testing::UnitTest&) override
    {
        std::printf("audit of every LV2 session\n%s", total.describe().c_str());
    }
    Tally total;
};

class Audit : public ::testing::Environment {
    void SetUp() override
    {
        std::printf("audit: system call trap %s\n",
                    installSystemCallTrap() ? "installed" : "not available");
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new Audit);
const bool listening = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new EveryTestKeepsTheRules);
    return true;
}();

} // namespace
} // namespace vorblexter::audit
