// The plug-in library as the scenario runner and the LV2 tests' VST reference open it, with
// every record its `main` makes audited (audio_audit.h). Linked in place of
// tests/scenarios/plugin_library.cpp, so those hosts run unchanged against the shipped library.
#include "tests/audit/audio_audit.h"
#include "tests/scenarios/plugin_library.h"

#include <dlfcn.h>

namespace vorblexter::scenarios {

namespace {

// One library at a time: every PluginLibrary of these programs opens the same file.
PluginEntry libraryEntry = nullptr;

AEffect* auditedEntry(audioMasterCallback audioMaster)
{
    return audit::audited(libraryEntry(audit::auditedCallback(audioMaster)));
}

} // namespace

PluginLibrary::PluginLibrary(const std::string& path)
{
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        failure = reason != nullptr ? reason : "dlopen failed";
        return;
    }
    void* symbol = dlsym(handle, "main");
    if (symbol == nullptr) {
        failure = "the library exports no `main`";
        return;
    }
    libraryEntry = reinterpret_cast<PluginEntry>(symbol);
    entryPoint = auditedEntry;
}

PluginLibrary::~PluginLibrary()
{
    if (handle != nullptr) {
        dlclose(handle);
    }
}

} // namespace vorblexter::scenarios
