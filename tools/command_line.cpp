#include "tools/command_line.h"

#include "tools/tool_error.h"

#include <functional>
#include <map>

namespace vorblexter::tool {

namespace {

constexpr double kMinTempo = 1.0;
constexpr double kMaxTempo = 999.0;

enum Scope : unsigned { kRender = 1, kDemo = 2, kParams = 4, kAll = 7 };

struct Option {
    unsigned scope;
    int arguments; // 0, 1 or 2
    std::function<void(CommandLine&, const std::vector<std::string>&)> apply;
};

const std::map<std::string, Option>& options()
{
    static const std::map<std::string, Option> table{
        {"--plugin", {kAll, 1, [](CommandLine& c, const auto& a) { c.plugin = a[0]; }}},
        {"--host-vendor", {kAll, 1, [](CommandLine& c, const auto& a) { c.hostVendor = a[0]; }}},
        {"--host-product", {kAll, 1, [](CommandLine& c, const auto& a) { c.hostProduct = a[0]; }}},
        {"--set",
         {kAll, 1,
          [](CommandLine& c, const auto& a) { c.settings.push_back(parseAssignment(a[0])); }}},
        {"--verbose", {kAll, 0, [](CommandLine& c, const auto&) { c.verbose = true; }}},
        {"--tempo",
         {kRender | kDemo, 1,
          [](CommandLine& c, const auto& a) {
              c.tempo = parseNumber(a[0], "--tempo");
              if (c.tempo < kMinTempo || c.tempo > kMaxTempo) {
                  throw UsageError("--tempo: " + a[0] + " is not a tempo from 1 to 999 BPM");
              }
          }}},
        {"--time-sig",
         {kRender | kDemo, 1,
          [](CommandLine& c, const auto& a) { c.timeSignature = parseTimeSignature(a[0]); }}},
        {"--block-size",
         {kRender | kDemo, 1,
          [](CommandLine& c, const auto& a) {
              c.blockFrames =
                  static_cast<std::int32_t>(parseWholeNumber(a[0], 1, 65536, "--block-size"));
          }}},
        {"--start",
         {kRender | kDemo, 1,
          [](CommandLine& c, const auto& a) {
              c.start = parseTime(a[0], TimeUnit::frames, "--start");
          }}},
        {"--at",
         {kRender | kDemo, 2,
          [](CommandLine& c, const auto& a) {
              c.automation.push_back(parseAutomation(a[0], a[1]));
          }}},
        {"--plot", {kRender, 1, [](CommandLine& c, const auto& a) { c.plot = a[0]; }}},
        {"--plot-width",
         {kRender | kDemo, 1,
          [](CommandLine& c, const auto& a) {
              c.plotWidth =
                  static_cast<std::int32_t>(parseWholeNumber(a[0], 400, 100000, "--plot-width"));
          }}},
        {"--bits",
         {kRender | kDemo, 1,
          [](CommandLine& c, const auto& a) {
              const auto bits = static_cast<int>(parseWholeNumber(a[0], 16, 32, "--bits"));
              if (bits != 16 && bits != 24 && bits != 32) {
                  throw UsageError("--bits takes 16, 24 or 32, not " + a[0]);
              }
              c.bits = bits;
          }}},
        {"--quiet", {kRender | kDemo, 0, [](CommandLine& c, const auto&) { c.quiet = true; }}},
        {"--out-dir", {kDemo, 1, [](CommandLine& c, const auto& a) { c.outDir = a[0]; }}},
        {"--bars",
         {kDemo, 1,
          [](CommandLine& c, const auto& a) {
              c.bars = static_cast<std::int32_t>(parseWholeNumber(a[0], 2, 1000, "--bars"));
          }}},
        {"--sample-rate",
         {kDemo, 1,
          [](CommandLine& c, const auto& a) {
              c.sampleRate =
                  static_cast<double>(parseWholeNumber(a[0], 8000, 384000, "--sample-rate"));
          }}},
    };
    return table;
}

unsigned scopeOf(Command command)
{
    switch (command) {
    case Command::render:
        return kRender;
    case Command::demo:
        return kDemo;
    case Command::params:
        return kParams;
    case Command::help:
        break;
    }
    return kAll;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args)
{
    CommandLine line;
    if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        return line;
    }
    const std::map<std::string, Command> commands{
        {"render", Command::render}, {"demo", Command::demo}, {"params", Command::params}};
    const auto found = commands.find(args[0]);
    if (found == commands.end()) {
        throw UsageError("unknown command '" + args[0] + "' (use render, demo or params)");
    }
    line.command = found->second;

    std::vector<std::string> positional;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h") {
            line.command = Command::help;
            return line;
        }
        if (name.size() < 2 || name.rfind("--", 0) != 0) {
            positional.push_back(name);
            continue;
        }
        std::vector<std::string> values;
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            values.push_back(name.substr(equals + 1));
            name.resize(equals);
        }
        const auto option = options().find(name);
        if (option == options().end()) {
            throw UsageError("unknown option " + name);
        }
        if ((option->second.scope & scopeOf(line.command)) == 0) {
            throw UsageError(name + " does not apply to '" + args[0] + "'");
        }
        const auto wanted = static_cast<std::size_t>(option->second.arguments);
        if (wanted == 0 && !values.empty()) {
            throw UsageError(name + " takes no value");
        }
        while (values.size() < wanted) {
            if (++i >= args.size()) {
                throw UsageError(name + " needs " +
                                 (wanted == 2 ? std::string("TIME and ACTION") : "a value"));
            }
            values.push_back(args[i]);
        }
        option->second.apply(line, values);
    }

    const std::size_t expected = line.command == Command::render ? 2 : 0;
    if (positional.size() != expected) {
        throw UsageError(line.command == Command::render
                             ? "render needs an INPUT and an OUTPUT file"
                             : "'" + args[0] + "' takes no file names (got '" + positional.front() +
                                   "')");
    }
    if (line.command == Command::render) {
        line.input = positional[0];
        line.output = positional[1];
    }
    return line;
}

std::string usageText()
{
    return R"(vorblexter: a command-line host for the vorblexter1 loop-slicer plug-in.

usage:
  vorblexter render INPUT OUTPUT [options]   play a file through the effect
  vorblexter demo [options]                  render a built-in groove, with a picture
  vorblexter params [options]                list the effect's parameters

host:
  --plugin PATH          plug-in library (default: the vorblexter1 built beside this program)
  --set NAME=VALUE       set a parameter before the first block, in the units the effect
                         displays: Reverse=30, Cuts/Bar=16, Envelope=200, "Loop Length=8".
                         NAME is matched ignoring case and spaces, or is the index. A VALUE
                         ending in n is a raw host value from 0 to 1 (Reverse=0.3n). Repeatable.
  --host-vendor TEXT     vendor the host reports (default "Steinberg"; the effect follows the
                         tempo only when this names Steinberg or Ableton)
  --host-product TEXT    product the host reports (default "vorblexter")
  --verbose              show the effect's diagnostic messages on stderr

transport (render, demo):
  --tempo BPM            tempo in quarter notes per minute (default 120)
  --time-sig N/D         time signature (default 4/4)
  --block-size FRAMES    largest block sent to the effect (default 512)
  --start POS            transport position of the first frame, counted from the start of
                         bar 1: 2bars (the start of bar 3), 8beats, 1.5s or a number of frames
                         (default 0: bar 1, as a host playing from the start)
  --at TIME ACTION       at TIME after the first frame (12s, 32beats, 9bars, 44100): ACTION is
                         NAME=VALUE, suspend, resume, or jump=POS (a transport position as for
                         --start, in bars when it has no unit). The block is split so the change
                         lands on that exact frame. While suspended the input passes through.

files (render, demo):
  INPUT                  any file libsndfile reads (WAV, AIFF, FLAC, ...); mono feeds both
                         channels, files of more than two channels are refused. The output
                         keeps the input's sample rate.
  --plot FILE.svg        draw input, output and the slot map read from the audio (render)
  --plot-width PIXELS    width of the picture (default: wide enough to label every slot,
                         within 1200 to 3200)
  --bits 16|24|32        output samples: PCM 16 or 24-bit, or 32-bit float (the default;
                         FLAC outputs default to 24). The format follows the extension:
                         .wav, .aif/.aiff, .flac
  --quiet                no progress bar and no summary line

demo:
  --out-dir DIR          where demo-in.wav, demo-out.wav and demo.svg go (default
                         ./vorblexter-demo)
  --bars N               length of the groove in bars (default 8)
  --sample-rate HZ       (default 44100)
)";
}

} // namespace vorblexter::tool
