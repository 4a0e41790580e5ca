#include "tests/support/fuzz_inputs.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

namespace vorblexter::testing {

namespace fs = std::filesystem;

std::vector<fs::path> fuzzInputsIn(const fs::path& directory)
{
    std::vector<fs::path> entries;
    if (!fs::is_directory(directory)) {
        return entries;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.front() != '.' && entry.path().extension() != ".md") {
            entries.push_back(entry.path());
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::uint8_t> readBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace vorblexter::testing
