#include "tools/commands.h"

#include "tools/audio_file.h"
#include "tools/pending_file.h"
#include "tools/tests/support/tool_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace vorblexter::tool {
namespace {

using testing::ScratchFolder;

struct ToolRun {
    int status = 0;
    std::string out;
    std::string err;
};

ToolRun invoke(std::vector<std::string> args, bool terminal = false)
{
    std::ostringstream out;
    std::ostringstream err;
    ToolRun result;
    result.status = runTool(args, Console{out, err, terminal});
    result.out = out.str();
    result.err = err.str();
    return result;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Four seconds of noise at 240 BPM: bar 1 passes, bar 2 is captured, two passes follow.
void writeInput(const std::filesystem::path& path)
{
    PendingFile file(path);
    writeAudioFile(file, testing::noise(4 * 44100, 44100.0), outputFormatFor(path, std::nullopt));
    file.commit();
}

TEST(Commands, RenderWritesOutputPictureAndSummary)
{
    const ScratchFolder folder;
    writeInput(folder / "in.wav");
    const ToolRun result =
        invoke({"render", (folder / "in.wav").string(), (folder / "out.flac").string(), "--tempo",
                "240", "--set", "cuts/bar=8", "--plot", (folder / "map.svg").string()});
    ASSERT_EQ(result.status, 0) << result.err;
    // 8 slices of 5512 frames make passes of 44096: two, and the first frames of a third.
    EXPECT_TRUE(contains(result.out, "176400 frames (4.00 s), loop 44100 frames = 4 beats, 8 "
                                     "slices per loop, 3 loop passes, "))
        << result.out;
    EXPECT_EQ(result.err, "") << "no progress bar off a terminal";
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.wav", "map.svg", "out.flac"}));
    const StereoAudio output = readAudioFile(folder / "out.flac");
    EXPECT_EQ(output.sampleRate, 44100.0);
    EXPECT_EQ(output.frames(), 4 * 44100);
    std::ifstream svg(folder / "map.svg");
    const std::string picture((std::istreambuf_iterator<char>(svg)), {});
    EXPECT_TRUE(contains(picture, "<svg")) << picture.substr(0, 200);
    EXPECT_TRUE(contains(picture, "pass 2"));
}

TEST(Commands, FailedRenderLeavesNoFileBehind)
{
    const ScratchFolder folder;
    writeInput(folder / "in.wav");
    std::ofstream(folder / "out.wav") << "earlier render";

    const ToolRun refused = invoke({"render", (folder / "in.wav").string(),
                                    (folder / "out.wav").string(), "--set", "Cuts/Bar=12"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(refused.err, "it takes 1, 2, 4, 8, 16, 32 or 64")) << refused.err;

    // This one fails after rendering, while writing the picture.
    const ToolRun late =
        invoke({"render", (folder / "in.wav").string(), (folder / "out.wav").string(), "--plot",
                (folder / "missing" / "map.svg").string()});
    EXPECT_EQ(late.status, 1);
    EXPECT_TRUE(contains(late.err, "map.svg")) << late.err;

    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
    std::ifstream kept(folder / "out.wav");
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "earlier render");
}

TEST(Commands, ProgressBarOnlyOnATerminalWithoutQuiet)
{
    const ScratchFolder folder;
    writeInput(folder / "in.wav");
    const std::vector<std::string> args{"render", (folder / "in.wav").string(),
                                        (folder / "out.wav").string()};
    const ToolRun terminal = invoke(args, true);
    EXPECT_TRUE(contains(terminal.err, "rendering [")) << terminal.err;
    std::vector<std::string> quiet = args;
    quiet.push_back("--quiet");
    const ToolRun silent = invoke(quiet, true);
    EXPECT_EQ(silent.status, 0);
    EXPECT_EQ(silent.err, "");
    EXPECT_EQ(silent.out, "");
}

TEST(Commands, ParamsListsWhatTheEffectReports)
{
    const ToolRun result = invoke({"params", "--set", "Cuts/Bar=16", "--set", "reverse=0.57n"});
    ASSERT_EQ(result.status, 0) << result.err;
    std::istringstream lines(result.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        rows.push_back(line);
    }
    ASSERT_EQ(rows.size(), 9u) << result.out;
    EXPECT_EQ(rows[0].substr(0, 5), "index");
    EXPECT_TRUE(contains(rows[1], "Reverse") && contains(rows[1], " 56 ") &&
                contains(rows[1], "0.570000"))
        << rows[1];
    EXPECT_TRUE(contains(rows[4], "Cuts/Bar") && contains(rows[4], " 16 ") &&
                contains(rows[4], "0.600000"))
        << rows[4];
    EXPECT_TRUE(contains(rows[8], "Loop Length") && contains(rows[8], "Beats")) << rows[8];
}

TEST(Commands, DemoWritesItsThreeFilesAndSaysWhere)
{
    const ScratchFolder folder;
    const ToolRun result = invoke({"demo", "--out-dir", (folder / "demo").string(), "--bars", "4"});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char* name : {"demo-in.wav", "demo-out.wav", "demo.svg"}) {
        EXPECT_TRUE(std::filesystem::exists(folder / "demo" / name)) << name;
        EXPECT_TRUE(contains(result.out, (folder / "demo" / name).string())) << result.out;
    }
    const StereoAudio in = readAudioFile(folder / "demo" / "demo-in.wav");
    const StereoAudio out = readAudioFile(folder / "demo" / "demo-out.wav");
    EXPECT_NE(in.left, in.right) << "the groove differs between channels";
    EXPECT_NE(in.left, out.left) << "the effect changed nothing";
}

TEST(Commands, BadCommandLinesExitWithTwo)
{
    const std::vector<std::vector<std::string>> cases{
        {"mix"},
        {"render", "in.wav"},
        {"render", "in.wav", "out.wav", "--frobnicate"},
        {"render", "in.wav", "out.wav", "--tempo"},
        {"render", "in.wav", "out.wav", "--tempo", "fast"},
        {"render", "in.wav", "out.wav", "--out-dir", "x"},
        {"render", "in.wav", "out.wav", "--bits", "20"},
        {"render", "in.wav", "out.wav", "--at", "12s"},
        {"render", "in.wav", "out.wav", "--quiet=yes"},
        {"demo", "extra.wav"},
        {"params", "--set", "Reverse"},
    };
    for (const std::vector<std::string>& args : cases) {
        const ToolRun result = invoke(args);
        EXPECT_EQ(result.status, 2) << args.back() << ": " << result.err;
        EXPECT_TRUE(contains(result.err, "--help")) << result.err;
    }
    EXPECT_EQ(invoke({"--help"}).status, 0);
    EXPECT_TRUE(contains(invoke({}).out, "usage:"));
}

TEST(Commands, PluginTroubleIsOneLineAndExitOne)
{
    const ToolRun result = invoke({"params", "--plugin=/nonexistent/vorblexter1.so"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "vorblexter: error: plug-in not found: /nonexistent/vorblexter1.so\n");
}

} // namespace
} // namespace vorblexter::tool
