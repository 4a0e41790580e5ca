#include "tools/plugin_loader.h"

#include "tools/tool_error.h"

#include <string>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vorblexter::tool {

namespace {

#if defined(_WIN32)
constexpr const char* kPluginFileName = "vorblexter1.dll";

std::string lastSystemError()
{
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, GetLastError(), 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return message;
}

std::filesystem::path executablePath()
{
    wchar_t buffer[32768] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
    return length == 0 ? std::filesystem::path{} : std::filesystem::path(buffer);
}
#else
constexpr const char* kPluginFileName = "vorblexter1.so";

std::string lastLoaderError()
{
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : std::string("unknown reason");
}

std::filesystem::path executablePath()
{
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path{} : path;
}
#endif

} // namespace

PluginLibrary::PluginLibrary(const std::filesystem::path& path) : libraryPath(path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        throw ToolError("plug-in not found: " + path.string());
    }
    if (std::filesystem::is_directory(path, error)) {
        throw ToolError("plug-in path is a folder, not a library: " + path.string());
    }
#if defined(_WIN32)
    HMODULE module = LoadLibraryW(path.wstring().c_str());
    if (module == nullptr) {
        throw ToolError("cannot load plug-in " + path.string() + ": " + lastSystemError());
    }
    handle = module;
    // GetProcAddress answers a generic function pointer; the exported `main` has this shape.
    entryFunction =
        reinterpret_cast<PluginMain>(reinterpret_cast<void*>(GetProcAddress(module, "main")));
    if (entryFunction == nullptr) {
        FreeLibrary(module);
        throw ToolError("not a plug-in (no exported main): " + path.string());
    }
#else
    // A bare file name would make dlopen search the library path instead of opening this file.
    const std::filesystem::path openPath = path.has_parent_path() ? path : "./" / path;
    handle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        throw ToolError("cannot load plug-in " + path.string() + ": " + lastLoaderError());
    }
    dlerror();
    void* symbol = dlsym(handle, "main");
    if (symbol == nullptr) {
        dlclose(handle);
        throw ToolError("not a plug-in (no exported main): " + path.string());
    }
    entryFunction = reinterpret_cast<PluginMain>(symbol);
#endif
}

PluginLibrary::~PluginLibrary()
{
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

std::vector<std::filesystem::path> defaultPluginCandidates()
{
    // Beside the program first, so a released copy uses the plug-in it was shipped with; the
    // build tree's own plug-in last.
    std::vector<std::filesystem::path> candidates;
    const std::filesystem::path program = executablePath();
    if (!program.empty()) {
        candidates.push_back(program.parent_path() / kPluginFileName);
        candidates.push_back(program.parent_path().parent_path() / kPluginFileName);
    }
#if defined(VORBLEXTER_DEFAULT_PLUGIN)
    candidates.emplace_back(VORBLEXTER_DEFAULT_PLUGIN);
#endif
    return candidates;
}

std::filesystem::path findDefaultPlugin()
{
    const std::vector<std::filesystem::path> candidates = defaultPluginCandidates();
    std::string looked;
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) {
            return candidate;
        }
        looked += (looked.empty() ? "" : ", ") + candidate.string();
    }
    throw ToolError("no plug-in found (looked for " + looked + "); name one with --plugin PATH");
}

} // namespace vorblexter::tool
