// Helpers shared by the tool's tests: the real plug-in, scratch folders, test signals, and a
// render of a scenario through the real effect.
#pragma once

#include "tools/audio_file.h"
#include "tools/automation.h"
#include "tools/render.h"
#include "tools/slot_map.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vorblexter::tool::testing {

// The plug-in this build made, and the two broken stand-ins.
std::filesystem::path pluginPath();
std::filesystem::path noMainPluginPath();
std::filesystem::path nullMainPluginPath();

// A fresh empty folder, removed with everything in it at destruction.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const noexcept { return folder; }
    std::filesystem::path operator/(const std::string& name) const { return folder / name; }
    // Names of everything in the folder, sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path folder;
};

// Independent noise on each channel, so every frame of a loop is unique.
StereoAudio noise(std::int64_t frames, double sampleRate, std::uint32_t seed = 1);

struct Scenario {
    double sampleRate = 1000.0;
    double tempo = 240.0; // with rate 1000: one beat is 250 frames, a 4-beat loop 1000
    TimeSignature timeSignature;
    std::int32_t blockFrames = 64;
    std::int64_t startFrame = 0;
    std::int64_t frames = 6000;
    std::string vendor = "Steinberg";
    std::vector<std::string> settings;
    // (time, action) pairs as for --at.
    std::vector<std::pair<std::string, std::string>> automation;
};

struct ScenarioResult {
    StereoAudio input;
    RenderResult render;
    std::vector<SlotReading> slots;
    std::vector<std::string> passLabels;
};

ScenarioResult renderScenario(const Scenario& scenario);

// "0 1 2 ... n-1", with `suffix` after each number.
std::string identityLabels(std::int32_t count, const std::string& suffix = "");

} // namespace vorblexter::tool::testing
