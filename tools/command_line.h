// The command line of `vorblexter`: subcommand, files and options, checked before any work.
#pragma once

#include "tools/automation.h"
#include "tools/parameter_args.h"
#include "tools/time_parse.h"
#include "tools/transport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorblexter::tool {

enum class Command { render, demo, params, help };

struct CommandLine {
    Command command = Command::help;
    std::string input;  // render
    std::string output; // render

    // The host.
    std::optional<std::string> plugin;
    std::string hostVendor = "Steinberg";
    std::string hostProduct = "vorblexter";
    std::vector<ParameterAssignment> settings;
    bool verbose = false;

    // The transport.
    double tempo = 120.0;
    TimeSignature timeSignature;
    std::int32_t blockFrames = 512;
    TimeValue start; // 0 frames: bar 1
    std::vector<AutomationRequest> automation;

    // Files and the terminal.
    std::optional<std::string> plot;
    std::int32_t plotWidth = 0; // pixels; 0 chooses one that leaves room for slot labels
    std::optional<int> bits;
    bool quiet = false;

    // The demo.
    std::string outDir = "vorblexter-demo";
    std::int32_t bars = 8;
    double sampleRate = 44100.0;
};

// Throws UsageError naming the offending argument. `args` excludes the program name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

std::string usageText();

} // namespace vorblexter::tool
