// The sessions of the LV2 and CLAP tests under the audit: their hosts run unchanged, with the
// plug-ins' audio entries audited (lv2_instance_audit.cpp, the CLAP test host's audited module,
// and the VST references' audited PluginLibrary), and after every test the audio calls it made
// must have kept the rules.
#include "tests/audit/audio_audit.h"

#include <gtest/gtest.h>

#include <cstdio>

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
        std::printf("audit of every test of this program\n%s", total.describe().c_str());
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
