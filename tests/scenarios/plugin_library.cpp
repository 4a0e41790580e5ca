#include "tests/scenarios/plugin_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vorblexter::scenarios {

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
    entryPoint = reinterpret_cast<PluginEntry>(reinterpret_cast<void*>(symbol));
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
    entryPoint = reinterpret_cast<PluginEntry>(symbol);
}

PluginLibrary::~PluginLibrary()
{
    if (handle != nullptr) {
        dlclose(handle);
    }
}

#endif

} // namespace vorblexter::scenarios
