// A plug-in library opened by path, as a host opens it: the only symbol looked up is the
// exported entry `main`. Nothing of the engine is linked in, so what runs is exactly the built
// binary (a .so on Linux, a .dll on Windows).
#pragma once

#include "host/vst_abi.h"

#include <string>

namespace vorblexter::scenarios {

using PluginEntry = AEffect* (*)(audioMasterCallback);

class PluginLibrary {
public:
    // Opens the library and finds `main`; on failure `entry()` is null and `error()` says why.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    PluginEntry entry() const { return entryPoint; }
    const std::string& error() const { return failure; }

private:
    void* handle = nullptr;
    PluginEntry entryPoint = nullptr;
    std::string failure;
};

} // namespace vorblexter::scenarios
