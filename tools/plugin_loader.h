// Opens a plug-in library and finds its entry point, the way a host does: through the library's
// exported `main` and nothing else.
#pragma once

#include "host/vst_abi.h"

#include <filesystem>
#include <vector>

namespace vorblexter::tool {

using PluginMain = AEffect* (*)(audioMasterCallback);

// Owns one loaded library; closing it invalidates every record its `main` handed out, so it must
// outlive the effects made from it.
class PluginLibrary {
public:
    // Throws ToolError with a one-line reason when the file is missing, cannot be loaded as a
    // library, or exports no `main`.
    explicit PluginLibrary(const std::filesystem::path& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    PluginMain entry() const noexcept { return entryFunction; }
    const std::filesystem::path& path() const noexcept { return libraryPath; }

private:
    std::filesystem::path libraryPath;
    void* handle = nullptr;
    PluginMain entryFunction = nullptr;
};

// Where to look for the plug-in when the user names none, in order: the library this build
// made, then the program's own folder and the folder above it (a copied build tree).
std::vector<std::filesystem::path> defaultPluginCandidates();

// The first candidate that exists; throws ToolError listing all of them when none does.
std::filesystem::path findDefaultPlugin();

} // namespace vorblexter::tool
