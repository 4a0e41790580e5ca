// Two threads on one effect, as hosts use it: the audio thread runs processReplacing block after
// block while another thread automates all eight parameters (values in and far out of range),
// reads their texts, renames the program and suspends and resumes at random. Built with
// ThreadSanitizer this must run without a report; in any build the audio must stay sound.
//
// Slow under ThreadSanitizer: registered with the label "soak", which the unit stage leaves out
// and the sanitizer stage runs.
#include "tests/support/effect_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <thread>

namespace vorblexter::testing {
namespace {

constexpr int kBlocks = 40000;
constexpr int kMaxBlockFrames = 256;

float automationValue(std::mt19937& random)
{
    const float extremes[] = {0.0f,
                              1.0f,
                              0.9f,
                              -1.0f,
                              2.0f,
                              1e30f,
                              -1e30f,
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN()};
    if (random() % 4 == 0) {
        return extremes[random() % std::size(extremes)];
    }
    return std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
}

// The parameter side: everything but audio, through the record, until told to stop.
long automate(AEffect* effect, std::uint32_t seed, const std::atomic<bool>& stop)
{
    std::mt19937 random(seed);
    char text[256];
    long operations = 0;
    while (!stop.load(std::memory_order_relaxed)) {
        const auto index = static_cast<VstInt32>(random() % 8);
        switch (random() % 8) {
        case 0:
        case 1:
        case 2:
            effect->setParameter(effect, index, automationValue(random));
            break;
        case 3:
            static_cast<void>(effect->getParameter(effect, index));
            break;
        case 4:
            effect->dispatcher(effect, effGetParamDisplay, index, 0, text, 0.0f);
            effect->dispatcher(effect, effGetParamName, index, 0, text, 0.0f);
            effect->dispatcher(effect, effGetParamLabel, index, 0, text, 0.0f);
            break;
        case 5: {
            const int length = static_cast<int>(random() % 40);
            for (int i = 0; i < length; ++i) {
                text[i] = static_cast<char>('a' + random() % 26);
            }
            text[length] = '\0';
            effect->dispatcher(effect, effSetProgramName, 0, 0, text, 0.0f);
            effect->dispatcher(effect, effGetProgramName, 0, 0, text, 0.0f);
            break;
        }
        default:
            effect->dispatcher(effect, effMainsChanged, 0, random() % 2, nullptr, 0.0f);
            break;
        }
        ++operations;
    }
    return operations;
}

TEST(ThreadStress, AutomationSuspendAndRenamingDuringAudioRaceWithNothing)
{
    const std::uint32_t seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    TestHost host;
    host.setTransport(240.0, 1000.0);
    EffectDriver fx(host);

    std::atomic<bool> stop{false};
    long operations = 0;
    std::thread parameterThread([&] { operations = automate(fx.effect, seed + 1, stop); });

    std::mt19937 random(seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    double position = 1.0;
    int unsound = 0;
    for (int b = 0; b < kBlocks; ++b) {
        const int frames = static_cast<int>(random() % (kMaxBlockFrames + 1));
        StereoBlock input;
        for (int k = 0; k < frames; ++k) {
            input.left.push_back(noise(random));
            input.right.push_back(noise(random));
        }
        const StereoBlock output = fx.run(position, input);
        // Every output is an input sample, zero, or a captured one under a gain of at most 1.
        for (int k = 0; k < frames; ++k) {
            for (const float sample : {output.left[k], output.right[k]}) {
                if (!(std::fabs(sample) <= 1.0f)) {
                    ++unsound;
                }
            }
        }
        // Mostly a running transport, now and then a jump back; an empty block leaves the
        // next one standing.
        position = random() % 200 == 0 ? position / 2.0 : position + frames;
    }
    stop.store(true, std::memory_order_relaxed);
    parameterThread.join();

    EXPECT_EQ(unsound, 0);
    EXPECT_GT(operations, 1000) << "the two sides hardly overlapped";
}

} // namespace
} // namespace vorblexter::testing
