// The committed inputs of a fuzzer's folders, for the tests that replay them without libFuzzer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace vorblexter::testing {

// Every regular file but notes (dot files and *.md), in name order so failures read the same.
std::vector<std::filesystem::path> fuzzInputsIn(const std::filesystem::path& directory);

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);

} // namespace vorblexter::testing
