// An output file that appears complete or not at all.
//
// The content is written under a temporary name in the destination's folder, then renamed over
// the destination in one step, so an error or an interruption never leaves a half-written file
// under the name the user asked for (and never damages a file already there).
#pragma once

#include <filesystem>
#include <string>

namespace vorblexter::tool {

class PendingFile {
public:
    // Chooses the temporary name; creates nothing yet.
    explicit PendingFile(std::filesystem::path destination);
    // Removes the temporary file unless commit() succeeded.
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& temporaryPath() const noexcept { return temporary; }
    const std::filesystem::path& destinationPath() const noexcept { return destination; }

    // Writes the whole content under the temporary name. Throws ToolError.
    void write(const std::string& content);
    // Renames the temporary file over the destination. Throws ToolError.
    void commit();

private:
    std::filesystem::path destination;
    std::filesystem::path temporary;
    bool committed = false;
};

} // namespace vorblexter::tool
