#include "tools/plugin_loader.h"

#include "tools/hosted_effect.h"
#include "tools/tests/support/tool_test_support.h"
#include "tools/tool_error.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vorblexter::tool {
namespace {

std::string loadError(const std::filesystem::path& path)
{
    try {
        const PluginLibrary library(path);
        HostedEffect effect(library, HostIdentity{});
    } catch (const ToolError& error) {
        return error.what();
    }
    return "(loaded)";
}

TEST(PluginLoader, LoadsTheBuiltPluginThroughMain)
{
    const PluginLibrary library(testing::pluginPath());
    HostedEffect effect(library, HostIdentity{});
    EXPECT_EQ(effect.parameterCount(), 8);
    EXPECT_EQ(effect.parameterName(1), "  Vorblex  ");
    effect.open(44100.0, 512);
    effect.resume();
    EXPECT_EQ(effect.parameterDisplay(1), "25");
}

TEST(PluginLoader, EachFailureIsOneLineNamingTheCause)
{
    const testing::ScratchFolder folder;
    std::ofstream(folder / "text.so") << "not a library";
    const std::vector<std::pair<std::filesystem::path, std::string>> cases{
        {folder / "missing.so", "plug-in not found: "},
        {folder.path(), "is a folder"},
        {folder / "text.so", "cannot load plug-in "},
        {testing::noMainPluginPath(), "not a plug-in (no exported main)"},
        {testing::nullMainPluginPath(), "plug-in's main answered null"},
    };
    for (const auto& [path, expected] : cases) {
        const std::string message = loadError(path);
        EXPECT_NE(message.find(expected), std::string::npos) << path << ": " << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

TEST(PluginLoader, DefaultIsBesideTheProgramThenTheLibraryThisBuildMade)
{
    const std::vector<std::filesystem::path> candidates = defaultPluginCandidates();
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates.front().filename(), testing::pluginPath().filename());
    EXPECT_NE(candidates.front(), testing::pluginPath()); // a released copy's own plug-in first
    EXPECT_EQ(candidates.back(), testing::pluginPath());
    // Nothing beside this test program, so the build tree's library is found.
    EXPECT_EQ(findDefaultPlugin(), testing::pluginPath());
}

} // namespace
} // namespace vorblexter::tool
