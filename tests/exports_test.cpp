// The built plug-in library as a host finds it: one exported symbol, `main`, which builds a
// working effect when called through the loaded library. The LV2 and CLAP modules export only
// their own entries.
#include "host/vst_abi.h"
#include "tests/support/effect_driver.h"
#include "tests/support/record_check.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#if !defined(VORBLEXTER_PLUGIN_PATH) || !defined(VORBLEXTER_NM)
#error "VORBLEXTER_PLUGIN_PATH and VORBLEXTER_NM must name the plug-in library and the nm tool"
#endif

namespace vorblexter {
namespace {

using testing::TestHost;

// Names the library defines in its dynamic symbol table, which is all a host's loader can look
// up, as the toolchain's nm lists them ("address type name" per line).
std::vector<std::string> definedDynamicSymbols(const std::string& path)
{
    const std::string command = std::string(VORBLEXTER_NM) + " -D --defined-only '" + path + "'";
    std::vector<std::string> names;
    FILE* listing = popen(command.c_str(), "r");
    if (listing == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return names;
    }
    std::array<char, 512> line{};
    while (std::fgets(line.data(), static_cast<int>(line.size()), listing) != nullptr) {
        std::istringstream fields(line.data());
        std::string field;
        std::string last;
        while (fields >> field) {
            last = field;
        }
        if (!last.empty()) {
            names.push_back(last);
        }
    }
    EXPECT_EQ(pclose(listing), 0) << command;
    return names;
}

TEST(PluginLibrary, ExportsOnlyMain)
{
    EXPECT_EQ(definedDynamicSymbols(VORBLEXTER_PLUGIN_PATH), std::vector<std::string>{"main"});
}

TEST(PluginLibrary, TheOtherFormatsModulesExportOnlyTheirEntries)
{
#ifdef VORBLEXTER1_LV2_PATH
    EXPECT_EQ(definedDynamicSymbols(VORBLEXTER1_LV2_PATH),
              std::vector<std::string>{"lv2_descriptor"});
#endif
#ifdef VORBLEXTER1_CLAP_PATH
    EXPECT_EQ(definedDynamicSymbols(VORBLEXTER1_CLAP_PATH), std::vector<std::string>{"clap_entry"});
#endif
}

TEST(PluginLibrary, MainOfTheLoadedLibraryBuildsAWorkingEffect)
{
    void* library = dlopen(VORBLEXTER_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    void* symbol = dlsym(library, "main");
    ASSERT_NE(symbol, nullptr) << dlerror();
    using EntryPoint = AEffect* (*)(audioMasterCallback);
    EntryPoint entry = nullptr;
    std::memcpy(&entry, &symbol, sizeof entry);

    TestHost host;
    host.recordCalls = true;
    {
        testing::EffectDriver fx(host, entry);
        EXPECT_EQ(host.calls.size(), 1u);
        testing::expectFinishedRecord(*fx.effect);
        EXPECT_NE(fx.effect->object, nullptr);
        EXPECT_EQ(fx.dispatch(effGetVstVersion), 2);

        // While it waits for or captures a loop, the effect passes its input through unchanged.
        const testing::StereoBlock input = testing::rampBlock(0.0, 64);
        const testing::StereoBlock output = fx.run(512.0, input);
        EXPECT_EQ(output.left, input.left);
        EXPECT_EQ(output.right, input.right);
        EXPECT_EQ(host.callsWithOpcode(audioMasterGetTime).size(), 1u);
        EXPECT_EQ(fx.close(), 1);
    }
    host.versionAnswer = 0;
    EXPECT_EQ(host.createEffect(entry), nullptr);
    EXPECT_EQ(dlclose(library), 0);
}

} // namespace
} // namespace vorblexter
