// The eight parameters and the program name, as a host sees them through the record.
#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace vorblexter::testing {
namespace {

constexpr char kUntouched = '\x5a';
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Fixture : ::testing::Test {
    TestHost host;
    EffectDriver driver{host};
    ParameterQuantities& signals = driver.quantities();

    // The text written into a 64-byte host buffer; a byte written past the terminator fails.
    std::string hostText(VstInt32 opcode, VstInt32 index)
    {
        std::string buffer(64, kUntouched);
        driver.dispatch(opcode, index, 0, buffer.data());
        const std::size_t length = buffer.find('\0');
        EXPECT_EQ(buffer.find_first_not_of(kUntouched, length + 1), std::string::npos) << opcode;
        return buffer.substr(0, length);
    }

    std::vector<std::string> displays()
    {
        std::vector<std::string> texts;
        for (VstInt32 i = 0; i < kParameterCount; ++i) {
            texts.push_back(hostText(effGetParamDisplay, i));
        }
        return texts;
    }

    void resume() { driver.dispatch(effMainsChanged, 0, 1); }
};

struct MappingCase {
    VstInt32 index;
    float value;
    const char* display;
};

using ParameterTexts = Fixture;
using ParameterMapping = Fixture;
using ParameterSignals = Fixture;
using Resume = Fixture;
using ProgramName = Fixture;

TEST_F(ParameterTexts, NamesAndLabelsAreExact)
{
    const char* const texts[kParameterCount][2] = {
        {"  Reverse  ", "   %   "},  {"  Vorblex  ", "   %   "},    {"  Repetition  ", "   %   "},
        {"  Cuts/Bar  ", "       "}, {"  Envelope  ", "Width"},     {"  Variation  ", "Loops  "},
        {"  Silence  ", "   %   "},  {"  Loop Length  ", "Beats  "}};
    for (VstInt32 i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(hostText(effGetParamName, i), texts[i][0]);
        EXPECT_EQ(hostText(effGetParamLabel, i), texts[i][1]);
    }
}

TEST_F(ParameterTexts, IndexOutsideTheEightChangesNothingAndLeavesHostTextAlone)
{
    const std::vector<std::string> before = displays();
    for (const VstInt32 index : {8, -1}) {
        driver.setParameter(index, 1.0f);
        EXPECT_EQ(driver.getParameter(index), 0.0f);
        for (const VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            std::string buffer(64, kUntouched);
            driver.dispatch(opcode, index, 0, buffer.data());
            EXPECT_EQ(buffer, std::string(64, kUntouched)) << opcode << " " << index;
        }
    }
    EXPECT_EQ(displays(), before);
    EXPECT_FALSE(signals.paramsChanged || signals.loopLengthChanged);
    EXPECT_EQ(signals.pendingSliceCount.load(), -1);
}

TEST_F(ParameterMapping, HostValuesShowAsQuantitiesUnclampedSaturatingAt32BitsNanAsZero)
{
    const MappingCase cases[] = {{kReverse, 0.57f, "56"},          {kReverse, 1.0f, "100"},
                                 {kSilence, 0.25f, "25"},          {kEnvelope, 0.0f, "1"},
                                 {kEnvelope, 0.25f, "10"},         {kEnvelope, 0.5f, "100"},
                                 {kEnvelope, 0.75f, "1000"},       {kEnvelope, 1.0f, "10000"},
                                 {kCutsPerBar, 0.1499f, "1"},      {kCutsPerBar, 0.15f, "2"},
                                 {kCutsPerBar, 0.8999f, "32"},     {kCutsPerBar, 0.9f, "64"},
                                 {kCutsPerBar, 1.0f, "64"},        {kVariation, 0.4499f, "4"},
                                 {kLoopLength, 0.6f, "16"},        {kReverse, 2.0f, "200"},
                                 {kReverse, -0.5f, "-50"},         {kReverse, kNan, "0"},
                                 {kReverse, 1e30f, "2147483647"},  {kSilence, -kInf, "-2147483648"},
                                 {kEnvelope, kNan, "1"},           {kEnvelope, 2.0f, "100000000"},
                                 {kEnvelope, 2.34f, "2147483647"}, {kEnvelope, kInf, "2147483647"},
                                 {kEnvelope, -1.0f, "0"},          {kCutsPerBar, kNan, "1"},
                                 {kVariation, kInf, "64"},         {kLoopLength, -kInf, "1"}};
    for (const MappingCase& c : cases) {
        driver.setParameter(c.index, c.value);
        EXPECT_EQ(hostText(effGetParamDisplay, c.index), c.display) << c.index << " " << c.value;
        // The host's value is kept as given, bit for bit.
        EXPECT_EQ(std::bit_cast<std::uint32_t>(driver.getParameter(c.index)),
                  std::bit_cast<std::uint32_t>(c.value));
    }
}

TEST_F(ParameterSignals, EachParameterRaisesOnlyItsOwnSignalEvenAtAnUnchangedValue)
{
    const bool paramsLoopPending[kParameterCount][3] = {
        {true, false, false},  {true, false, false},  {true, false, false},  {false, false, true},
        {false, false, false}, {false, false, false}, {false, false, false}, {false, true, false}};
    for (VstInt32 i = 0; i < kParameterCount; ++i) {
        signals.paramsChanged = false;
        signals.loopLengthChanged = false;
        signals.pendingSliceCount = -1;
        resume(); // every reported value now maps to the quantity in force
        const std::string before = hostText(effGetParamDisplay, i);
        driver.setParameter(i, driver.getParameter(i));
        EXPECT_EQ(hostText(effGetParamDisplay, i), before);
        EXPECT_EQ(signals.paramsChanged.load(), paramsLoopPending[i][0]) << i;
        EXPECT_EQ(signals.loopLengthChanged.load(), paramsLoopPending[i][1]) << i;
        EXPECT_EQ(signals.pendingSliceCount.load() > 0, paramsLoopPending[i][2]) << i;
    }
}

TEST_F(ParameterSignals, PendingSliceCountIsCutsTimesBeatsOverFourAtLeastOne)
{
    // {Loop Length value, Cuts/Bar value, count}: 0.3 is 4 beats, 0.9 is 64.
    const float cases[][3] = {
        {0.3f, 0.5f, 8}, {0.0f, 0.15f, 1}, {0.0f, 0.9f, 16}, {0.45f, 0.0f, 2}, {0.9f, 0.9f, 1024}};
    for (const auto& c : cases) {
        driver.setParameter(kLoopLength, c[0]);
        driver.setParameter(kCutsPerBar, c[1]);
        EXPECT_EQ(signals.pendingSliceCount.load(), static_cast<std::int32_t>(c[2]))
            << c[0] << " " << c[1];
    }
    // A later Loop Length leaves the count Cuts/Bar set; the capture restart recomputes it.
    driver.setParameter(kLoopLength, 0.3f);
    driver.setParameter(kCutsPerBar, 0.9f);
    driver.setParameter(kLoopLength, 0.9f);
    EXPECT_EQ(signals.pendingSliceCount.load(), 64);
}

// The displays show the internal defaults from the start; the values read zero until a resume
// reports the quantities.
TEST_F(Resume, ReportsTheQuantitiesAsNormalizedValuesAndChangesNothingElse)
{
    const std::vector<std::string> texts{"0", "25", "0", "4", "20", "1", "0", "4"};
    EXPECT_EQ(displays(), texts);
    for (VstInt32 i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(driver.getParameter(i), 0.0f) << i;
    }
    resume();
    const float expected[kParameterCount] = {0.0f,        0.25f, 0.0f, 0.3f,
                                             0.32525751f, 0.0f,  0.0f, 0.3f};
    for (VstInt32 i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(driver.getParameter(i), expected[i]) << i;
    }
    EXPECT_EQ(displays(), texts);
    EXPECT_FALSE(signals.paramsChanged || signals.loopLengthChanged);
    EXPECT_EQ(signals.pendingSliceCount.load(), -1);
}

// A host saves what resume reports and sets it again on load: nothing may drift, through the
// record (every step, and values between steps or with inexact reported floats) or the table.
TEST_F(Resume, SavingAndRestoringTheReportedValuesKeepsEverySetting)
{
    const MappingCase cases[] = {{kCutsPerBar, 0.1f, "1"},   {kCutsPerBar, 0.2f, "2"},
                                 {kCutsPerBar, 0.5f, "8"},   {kVariation, 0.35f, "4"},
                                 {kVariation, 0.65f, "16"},  {kLoopLength, 0.8f, "32"},
                                 {kLoopLength, 0.95f, "64"}, {kReverse, 0.57f, "56"},
                                 {kSilence, 0.75f, "75"},    {kEnvelope, 0.6f, "251"}};
    for (const MappingCase& c : cases) {
        driver.setParameter(c.index, c.value);
        for (int session = 0; session < 3; ++session) {
            resume();
            driver.setParameter(c.index, driver.getParameter(c.index));
        }
        EXPECT_EQ(hostText(effGetParamDisplay, c.index), c.display) << c.index << " " << c.value;
    }
    driver.setParameter(kCutsPerBar, 0.5f);
    resume();
    EXPECT_EQ(driver.getParameter(kCutsPerBar), 0.45f);
}

TEST(ParameterInverse, EveryQuantityReadsBackFromTheValueReportedForIt)
{
    for (const ParameterSpec& p : kParameters) {
        for (std::int32_t quantity = p.minimum; quantity <= p.maximum; ++quantity) {
            if (quantityAllowed(p, quantity)) {
                ASSERT_EQ(quantityFromHostValue(p, hostValueFromQuantity(p, quantity)), quantity)
                    << p.name << quantity;
            }
        }
    }
}

TEST_F(ProgramName, NamesUpTo31CharactersRoundTripAndLongerOnesAreCut)
{
    EXPECT_EQ(hostText(effGetProgramName, 0), "Default");
    const std::string longest(31, 'n');
    const std::pair<std::string, std::string> cases[] = {
        {"Drums", "Drums"},
        {"", ""},
        {longest, longest},
        {longest + "X", longest},
        {std::string(200, 'z'), std::string(31, 'z')}};
    for (auto [name, expected] : cases) {
        driver.dispatch(effSetProgramName, 0, 0, name.data());
        EXPECT_EQ(hostText(effGetProgramName, 0), expected);
        // The fields after the name are as construction left them.
        EXPECT_EQ(driver.object().hostVendor[0], '\0');
        EXPECT_EQ(driver.object().timeInfoRequest, kTimeInfoRequest);
    }
}

} // namespace
} // namespace vorblexter::testing
