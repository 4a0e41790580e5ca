#include "tools/pending_file.h"

#include "tools/tool_error.h"

#include <fstream>
#include <string>
#include <system_error>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace vorblexter::tool {

namespace {

long processId()
{
#if defined(_WIN32)
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(::getpid());
#endif
}

} // namespace

PendingFile::PendingFile(std::filesystem::path path) : destination(std::move(path))
{
    const std::filesystem::path name = destination.filename();
    temporary = destination.parent_path() /
                ("." + name.string() + ".partial-" + std::to_string(processId()));
}

PendingFile::~PendingFile()
{
    if (!committed) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    }
}

void PendingFile::commit()
{
    std::error_code error;
    std::filesystem::rename(temporary, destination, error);
    if (error) {
        throw ToolError("cannot write " + destination.string() + ": " + error.message());
    }
    committed = true;
}

void PendingFile::write(const std::string& content)
{
    std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
    if (!stream) {
        throw ToolError("cannot create " + destination.string());
    }
    stream.write(content.data(), static_cast<std::streamsize>(content.size()));
    stream.flush();
    if (!stream) {
        throw ToolError("cannot write " + destination.string());
    }
}

} // namespace vorblexter::tool
