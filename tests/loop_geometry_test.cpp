// Loop and bar lengths from the host's transport, and the vendor gate in front of them.
#include "tests/support/diagnostics_capture.h"
#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace vorblexter::testing {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using Lengths = std::pair<std::int32_t, std::int32_t>; // loop, bar

Lengths lengthsOf(EffectDriver& driver)
{
    return {driver.state().loopLengthSamples, driver.state().barLengthSamples};
}

// The first block of a fresh effect is where a host first causes the geometry to be computed.
Lengths afterFirstBlock(TestHost& host, float loopLength = 0.3f)
{
    EffectDriver driver(host);
    driver.setParameter(kLoopLength, loopLength);
    driver.run(1.0, rampBlock(0.0, 16));
    return lengthsOf(driver);
}

TEST(LoopGeometry, LengthsFollowTempoRateAndNumeratorTruncatedTowardZero)
{
    struct Case {
        double tempo, sampleRate;
        VstInt32 numerator, denominator;
        float loopLength; // 0 is 1 beat, 0.3 is 4, 0.45 is 8
        Lengths expected;
    };
    const Case cases[] = {{120, 44100, 4, 4, 0.3f, {88200, 88200}},
                          {130, 44100, 4, 4, 0.3f, {81415, 81415}}, // from 81415.38
                          {133, 44100, 4, 4, 0.3f, {79578, 79578}}, // from 79578.95
                          {120, 44100, 3, 4, 0.3f, {88200, 66150}},
                          {128, 48000, 4, 4, 0.45f, {180000, 90000}},
                          {120, 44100, 6, 8, 0.0f, {22050, 132300}},  // the denominator plays
                          {120, 44100, 6, 4, 0.0f, {22050, 132300}}}; // no part
    for (const Case& c : cases) {
        TestHost host;
        host.setTransport(c.tempo, c.sampleRate, c.numerator, c.denominator);
        EXPECT_EQ(afterFirstBlock(host, c.loopLength), c.expected)
            << c.tempo << " " << c.numerator << "/" << c.denominator;
    }
}

TEST(LoopGeometry, UnusableTransportLeavesBothLengthsAsTheyWere)
{
    struct Case {
        double tempo;
        double sampleRate;
        VstInt32 numerator;
    };
    const Case cases[] = {
        {0.0, 44100.0, 4},
        {-120.0, 44100.0, 4},
        {kNan, 44100.0, 4},
        {kInf, 44100.0, 4},
        {120.0, 0.0, 4},
        {120.0, -44100.0, 4},
        {120.0, kNan, 4},
        {120.0, kInf, 4},
        {0.001, 44100.0, 4},                                    // loop beyond 32 bits
        {120.0, 44100.0, std::numeric_limits<VstInt32>::max()}, // bar beyond 32 bits
    };
    for (const Case& c : cases) {
        TestHost host;
        EffectDriver driver(host);
        driver.run(1.0, rampBlock(0.0, 16));
        ASSERT_EQ(lengthsOf(driver), Lengths(88200, 88200));
        const TransportInfo transport{1.0, c.sampleRate, c.tempo, c.numerator};
        driver.state().timeInfo = &transport;
        EngineAccess::getLoopInfo(driver.engine());
        EXPECT_EQ(lengthsOf(driver), Lengths(88200, 88200))
            << c.tempo << " " << c.sampleRate << " " << c.numerator;
    }
}

TEST(LoopGeometry, FailureWithoutATransportIsLoggedAndKeepsTheLengths)
{
    DiagnosticsCapture diagnostics;
    TestHost host;
    EffectDriver driver(host);
    driver.state().timeInfo = nullptr;
    EngineAccess::getLoopInfo(driver.engine());
    EXPECT_EQ(diagnostics.count("getLoopInfo() crapped up...\n"), 1);
    EXPECT_EQ(lengthsOf(driver), Lengths(0, 0));
}

// Three bars at 120 BPM from the origin, with a Loop Length change (to the same length) in bar
// 1: a following effect captures a loop and plays it; one that does not follow must pass every
// frame through and never start a capture or hold a buffer. Either way the host is asked for its
// vendor and product texts at every geometry computation.
TEST(VendorGate, OnlyHostsNamingEitherMakerExactlyFollowTheTempo)
{
    const std::pair<const char*, bool> cases[] = {{"Steinberg", true},
                                                  {"Ableton", true},
                                                  {"Steinberg Ableton", true},
                                                  {"Media by Ableton AG", true},
                                                  {"steinberg", false},
                                                  {"ABLETON", false},
                                                  {"", false},
                                                  {"Stein berg", false},
                                                  {"Linux Audio Systems", false}};
    for (const auto& [vendor, follows] : cases) {
        DiagnosticsCapture diagnostics;
        TestHost host;
        host.setVendor(vendor);
        EffectDriver driver(host);
        host.recordCalls = true;
        bool everCaptured = false;
        bool passedThrough = true;
        constexpr int kBlock = 4096;
        for (int pos = 0; pos < 3 * 88200; pos += kBlock) {
            if (pos == 10 * kBlock) {
                driver.setParameter(kLoopLength, 0.3f);
            }
            const StereoBlock input = rampBlock(pos, kBlock);
            const StereoBlock output = driver.run(pos, input);
            passedThrough =
                passedThrough && output.left == input.left && output.right == input.right;
            everCaptured = everCaptured || driver.engine().status().phase != EnginePhase::waiting;
        }
        EXPECT_EQ(driver.state().loopCaptured, follows) << vendor;
        EXPECT_EQ(everCaptured, follows) << vendor;
        EXPECT_EQ(passedThrough, !follows) << vendor;
        EXPECT_EQ(driver.state().bufferLeft != nullptr, follows) << vendor;
        EXPECT_EQ(driver.state().blocksInLoop > 0, follows) << vendor;
        EXPECT_EQ(lengthsOf(driver), follows ? Lengths(88200, 88200) : Lengths(0, 0)) << vendor;
        EXPECT_EQ(diagnostics.count("getLoopInfo() crapped up...\n"), 0) << vendor;
        const auto vendorQueries = host.callsWithOpcode(audioMasterGetVendorString).size();
        EXPECT_GE(vendorQueries, 2u) << vendor;
        EXPECT_EQ(host.callsWithOpcode(audioMasterGetProductString).size(), vendorQueries)
            << vendor;
    }
}

TEST(VendorGate, SearchStaysWithinTheVendorFieldWhenItHasNoTerminator)
{
    // The product text lies right after the vendor field, so an unbounded search would find a
    // name in it, or one split across the two.
    struct Case {
        std::string vendor; // exactly 64 bytes, no terminator
        const char* product;
        bool recognised;
    };
    const Case cases[] = {{std::string(55, 'x') + "Steinberg", "", true},
                          {std::string(64, 'x'), "Steinberg", false},
                          {std::string(59, 'x') + "Stein", "berg", false},
                          {std::string(59, 'x') + "Ablet", "on", false}};
    for (const Case& c : cases) {
        TestHost host;
        char bytes[64];
        std::memcpy(bytes, c.vendor.data(), sizeof bytes);
        host.setVendorBytes(bytes);
        host.setProduct(c.product);
        EXPECT_EQ(afterFirstBlock(host).first, c.recognised ? 88200 : 0) << c.product;
    }
}

} // namespace
} // namespace vorblexter::testing
