#include "tests/scenarios/plugin_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// The audit's programs build this file with VORBLEXTER_AUDITED_PLUGIN_LIBRARY: every record
// `main` makes is then audited (tests/audit/audio_audit.h), so the scenario runner and the LV2
// tests' VST reference run unchanged under the audit.
#if defined(VORBLEXTER_AUDITED_PLUGIN_LIBRARY)
#include "tests/audit/audio_audit.h"
#endif

namespace vorblexter::scenarios {

namespace {

#if defined(VORBLEXTER_AUDITED_PLUGIN_LIBRARY)
// One library at a time: every PluginLibrary of these programs opens the same file.
PluginEntry libraryEntry = nullptr;

AEffect* auditedEntry(audioMasterCallback audioMaster)
{
    return audit::audited(libraryEntry(audit::auditedCallback(audioMaster)));
}

PluginEntry hostedEntry(PluginEntry entry)
{
    libraryEntry = entry;
    return auditedEntry;
}
#else
PluginEntry hostedEntry(PluginEntry entry)
{
    return entry;
}
#endif

} // namespace

#if defined(_WIN32)

PluginLibrary::PluginLibrary(const std::string& path)
{
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        failure = "LoadLibraryA failed with error " + std::to_string(GetLastError());
        return;
    }
    handle = module;
    FARPROC symbol = GetProcAddress(module, "main");
    if (symbol == nullptr) {
        failure = "the library exports no `main`";
        return;
    }
    // A data-to-function pointer conversion is how every host reaches the entry.
    entryPoint = hostedEntry(reinterpret_cast<PluginEntry>(reinterpret_cast<void*>(symbol)));
}

PluginLibrary::~PluginLibrary()
{
    if (handle != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle));
    }
}

#else

PluginLibrary::PluginLibrary(const std::string& path)
{
    // RTLD_LOCAL: the plug-in's symbols must not be needed by, or leak into, the host.
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
    entryPoint = hostedEntry(reinterpret_cast<PluginEntry>(symbol));
}

PluginLibrary::~PluginLibrary()
{
    if (handle != nullptr) {
        dlclose(handle);
    }
}

#endif

} // namespace vorblexter::scenarios
