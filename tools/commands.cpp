#include "tools/commands.h"

#include "tools/audio_file.h"
#include "tools/command_line.h"
#include "tools/demo_groove.h"
#include "tools/hosted_effect.h"
#include "tools/pending_file.h"
#include "tools/plugin_loader.h"
#include "tools/progress.h"
#include "tools/render.h"
#include "tools/slot_map.h"
#include "tools/svg_plot.h"
#include "tools/tool_error.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace vorblexter::tool {

namespace {

namespace fs = std::filesystem;

// The demo's showpiece setting, applied before the user's own --set values.
const std::vector<std::string> kDemoSettings{"Cuts/Bar=16",   "Vorblex=60", "Reverse=30",
                                             "Repetition=30", "Silence=10", "Variation=1"};

void enableDiagnostics(const CommandLine& line)
{
    if (!line.verbose) {
        return;
    }
    // The plug-in reads this when an effect is made; it must be set before then.
#if defined(_WIN32)
    _putenv_s("VORBLEXTER_DIAGNOSTICS", "stderr");
#else
    setenv("VORBLEXTER_DIAGNOSTICS", "stderr", 1);
#endif
}

fs::path pluginPath(const CommandLine& line)
{
    return line.plugin ? fs::path(*line.plugin) : findDefaultPlugin();
}

std::string trimmedNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string transportText(const CommandLine& line, double sampleRate)
{
    return trimmedNumber(line.tempo) + " BPM " + std::to_string(line.timeSignature.numerator) +
           "/" + std::to_string(line.timeSignature.denominator) + ", " + trimmedNumber(sampleRate) +
           " Hz, blocks of " + std::to_string(line.blockFrames);
}

struct Job {
    StereoAudio input;
    fs::path output;
    std::optional<fs::path> plot;
    std::string title;
    std::vector<ParameterAssignment> settings;
};

RenderSummary summarise(const RenderResult& result, const std::string& vendor)
{
    RenderSummary summary;
    summary.frames = result.output.frames();
    summary.sampleRate = result.output.sampleRate;
    summary.wallSeconds = result.wallSeconds;
    const EffectTimeline& account = result.account;
    summary.passes = account.passCount();
    if (!account.passes().empty()) {
        const PassSpan& first = account.passes().front();
        const CaptureSpan& capture = account.captures()[first.capture];
        summary.loopFrames = capture.loopFrames;
        summary.loopBeats = capture.loopBeats;
    }
    for (const PassSpan& pass : account.passes()) {
        if (summary.slicesPerLoop.empty() || summary.slicesPerLoop.back() != pass.sliceCount) {
            summary.slicesPerLoop.push_back(pass.sliceCount);
        }
    }
    if (!vendorFollowsTempo(vendor)) {
        summary.noLoopReason = "host vendor '" + vendor +
                               "' names neither Steinberg nor Ableton, so the effect passes "
                               "audio through";
    } else if (account.passes().empty()) {
        summary.noLoopReason = "the input ends before a whole loop was captured";
    }
    return summary;
}

// Loads the plug-in, renders, and writes the output (and picture) only when everything worked.
void renderJob(const CommandLine& line, const Job& job, const Console& console)
{
    const OutputFormat format = outputFormatFor(job.output, line.bits);
    if (job.plot && lowerCase(job.plot->extension().string()) != ".svg") {
        throw ToolError("the picture is written as SVG: name it FILE.svg, not " +
                        job.plot->string());
    }

    enableDiagnostics(line);
    const PluginLibrary library(pluginPath(line));
    HostedEffect effect(library, HostIdentity{line.hostVendor, line.hostProduct});
    const ParameterTable parameters(effect);

    RenderOptions options;
    options.timeline = Timeline{job.input.sampleRate, line.tempo, line.timeSignature};
    options.blockFrames = line.blockFrames;
    options.startFrame = framesFor(line.start, options.timeline);
    options.vendorFollowsTempo = vendorFollowsTempo(line.hostVendor);
    for (const ParameterAssignment& assignment : job.settings) {
        options.settings.push_back(parameters.resolve(assignment));
    }
    std::vector<std::string> warnings;
    options.events = resolveAutomation(line.automation, parameters, options.timeline,
                                       job.input.frames(), warnings);
    for (const std::string& warning : warnings) {
        console.err << "vorblexter: warning: " << warning << "\n";
    }

    ProgressBar progress(console.err, console.errIsTerminal && !line.quiet, job.input.frames());
    const RenderResult rendered =
        renderThroughEffect(effect, parameters, job.input, options, progress);

    // Both files are written under temporary names first and published together at the end.
    PendingFile audioFile(job.output);
    writeAudioFile(audioFile, rendered.output, format);
    std::unique_ptr<PendingFile> plotFile;
    if (job.plot) {
        const std::vector<SlotReading> slots =
            recoverSlotMap(job.input, rendered.output, rendered.account);
        PlotInput plot;
        plot.input = &job.input;
        plot.output = &rendered.output;
        plot.timeline = &rendered.account;
        plot.slots = &slots;
        plot.transportTimeline = options.timeline;
        plot.transportMarks = rendered.transportMarks;
        for (const AutomationEvent& event : options.events) {
            plot.markers.push_back({event.frame, event.text.substr(event.text.find(' ') + 1)});
        }
        plot.title = job.title;
        std::string settings;
        for (const ResolvedSetting& setting : options.settings) {
            settings += (settings.empty() ? "" : ", ") + setting.description;
        }
        plot.subtitle = transportText(line, job.input.sampleRate) +
                        (settings.empty() ? "" : " | " + settings) +
                        " | slot map read from the audio: which captured slice each slot plays";
        plot.width = line.plotWidth > 0 ? line.plotWidth
                                        : automaticPlotWidth(rendered.account, job.input.frames());
        plotFile = std::make_unique<PendingFile>(*job.plot);
        plotFile->write(renderSvgPlot(plot));
    }
    audioFile.commit();
    if (plotFile) {
        plotFile->commit();
    }
    if (!line.quiet) {
        console.out << "vorblexter: " << summaryLine(summarise(rendered, line.hostVendor)) << "\n";
    }
}

int renderCommand(const CommandLine& line, const Console& console)
{
    Job job;
    job.input = readAudioFile(line.input);
    job.output = line.output;
    if (line.plot) {
        job.plot = fs::path(*line.plot);
    }
    job.title = fs::path(line.input).filename().string() + "  ->  vorblexter1  ->  " +
                fs::path(line.output).filename().string();
    job.settings = line.settings;
    renderJob(line, job, console);
    return 0;
}

int demoCommand(const CommandLine& line, const Console& console)
{
    const fs::path folder(line.outDir);
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder)) {
        throw ToolError("cannot make the folder " + folder.string() +
                        (error ? ": " + error.message() : ""));
    }
    GrooveSettings groove;
    groove.timeline = Timeline{line.sampleRate, line.tempo, line.timeSignature};
    groove.bars = line.bars;

    Job job;
    job.input = synthesizeGroove(groove);
    job.output = folder / "demo-out.wav";
    job.plot = folder / "demo.svg";
    job.title = "vorblexter demo: a " + std::to_string(line.bars) +
                "-bar groove through vorblexter1 (demo-in.wav -> demo-out.wav)";
    for (const std::string& setting : kDemoSettings) {
        job.settings.push_back(parseAssignment(setting));
    }
    job.settings.insert(job.settings.end(), line.settings.begin(), line.settings.end());

    const fs::path inputPath = folder / "demo-in.wav";
    PendingFile inputFile(inputPath);
    writeAudioFile(inputFile, job.input, outputFormatFor(inputPath, line.bits));
    inputFile.commit();

    renderJob(line, job, console);
    console.out << "input:   " << fs::absolute(inputPath).lexically_normal().string() << "\n"
                << "output:  " << fs::absolute(job.output).lexically_normal().string() << "\n"
                << "picture: " << fs::absolute(*job.plot).lexically_normal().string() << "\n";
    return 0;
}

int paramsCommand(const CommandLine& line, const Console& console)
{
    enableDiagnostics(line);
    const PluginLibrary library(pluginPath(line));
    HostedEffect effect(library, HostIdentity{line.hostVendor, line.hostProduct});
    const ParameterTable parameters(effect);
    std::vector<ResolvedSetting> settings;
    for (const ParameterAssignment& assignment : line.settings) {
        settings.push_back(parameters.resolve(assignment));
    }
    // Opened and resumed like a host about to play, so the values are the ones it would see.
    effect.open(44100.0, line.blockFrames);
    effect.resume();
    for (const ResolvedSetting& setting : settings) {
        applySetting(effect, setting);
    }
    char row[160];
    std::snprintf(row, sizeof row, "%-6s %-12s %-7s %-8s %s\n", "index", "name", "label", "display",
                  "normalized");
    console.out << row;
    for (const ParameterInfo& parameter : parameters.all()) {
        std::snprintf(row, sizeof row, "%-6d %-12s %-7s %-8s %.6f\n", parameter.index,
                      parameter.name.c_str(), parameter.label.c_str(),
                      effect.parameterDisplay(parameter.index).c_str(),
                      static_cast<double>(effect.parameter(parameter.index)));
        console.out << row;
    }
    effect.suspend();
    effect.close();
    return 0;
}

} // namespace

int runTool(const std::vector<std::string>& args, const Console& console)
{
    try {
        const CommandLine line = parseCommandLine(args);
        switch (line.command) {
        case Command::render:
            return renderCommand(line, console);
        case Command::demo:
            return demoCommand(line, console);
        case Command::params:
            return paramsCommand(line, console);
        case Command::help:
            console.out << usageText();
            return 0;
        }
    } catch (const UsageError& error) {
        console.err << "vorblexter: " << error.what() << " (see vorblexter --help)\n";
        return 2;
    } catch (const ToolError& error) {
        console.err << "vorblexter: error: " << error.what() << "\n";
        return 1;
    } catch (const std::exception& error) {
        console.err << "vorblexter: error: " << error.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace vorblexter::tool
