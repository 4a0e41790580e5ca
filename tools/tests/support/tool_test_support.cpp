#include "tools/tests/support/tool_test_support.h"

#include "tools/hosted_effect.h"
#include "tools/parameter_args.h"
#include "tools/plugin_loader.h"
#include "tools/progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>

#include <unistd.h>

namespace vorblexter::tool::testing {

std::filesystem::path pluginPath()
{
    return VORBLEXTER_TEST_PLUGIN;
}

std::filesystem::path noMainPluginPath()
{
    return VORBLEXTER_TEST_NO_MAIN;
}

std::filesystem::path nullMainPluginPath()
{
    return VORBLEXTER_TEST_NULL_MAIN;
}

ScratchFolder::ScratchFolder()
{
    static std::atomic<int> counter{0};
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = test != nullptr ? std::string(test->name()) : "test";
    folder = std::filesystem::temp_directory_path() /
             ("vorblexter-tool-" + name + "-" + std::to_string(::getpid()) + "-" +
              std::to_string(counter++));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::vector<std::string> ScratchFolder::entries() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

StereoAudio noise(std::int64_t frames, double sampleRate, std::uint32_t seed)
{
    StereoAudio audio;
    audio.sampleRate = sampleRate;
    audio.resize(frames);
    std::uint32_t state = seed;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<double>(state >> 8) / 8388608.0 - 1.0) * 0.5f;
    };
    for (std::int64_t i = 0; i < frames; ++i) {
        audio.left[static_cast<std::size_t>(i)] = next();
        audio.right[static_cast<std::size_t>(i)] = next();
    }
    return audio;
}

ScenarioResult renderScenario(const Scenario& scenario)
{
    ScenarioResult result;
    result.input = noise(scenario.frames, scenario.sampleRate);

    const PluginLibrary library(pluginPath());
    HostedEffect effect(library, HostIdentity{scenario.vendor, "tool tests"});
    const ParameterTable parameters(effect);

    RenderOptions options;
    options.timeline = Timeline{scenario.sampleRate, scenario.tempo, scenario.timeSignature};
    options.blockFrames = scenario.blockFrames;
    options.startFrame = scenario.startFrame;
    options.vendorFollowsTempo = vendorFollowsTempo(scenario.vendor);
    for (const std::string& setting : scenario.settings) {
        options.settings.push_back(parameters.resolve(parseAssignment(setting)));
    }
    std::vector<AutomationRequest> requests;
    for (const auto& [time, action] : scenario.automation) {
        requests.push_back(parseAutomation(time, action));
    }
    std::vector<std::string> warnings;
    options.events =
        resolveAutomation(requests, parameters, options.timeline, result.input.frames(), warnings);

    std::ostringstream quiet;
    ProgressBar progress(quiet, false, result.input.frames());
    result.render = renderThroughEffect(effect, parameters, result.input, options, progress);
    result.slots = recoverSlotMap(result.input, result.render.output, result.render.account);
    result.passLabels = passLabels(result.slots);
    return result;
}

std::string identityLabels(std::int32_t count, const std::string& suffix)
{
    std::string labels;
    for (std::int32_t i = 0; i < count; ++i) {
        labels += (i == 0 ? "" : " ") + std::to_string(i) + suffix;
    }
    return labels;
}

} // namespace vorblexter::tool::testing
