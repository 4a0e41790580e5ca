// The committed inputs of a fuzzer's folders, and the replay both fuzz players' tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vorblexter::testing {

// Every regular file but notes (dot files and *.md), in name order so failures read the same.
std::vector<std::filesystem::path> fuzzInputsIn(const std::filesystem::path& directory);

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);

// Plays every input of `directory` twice: each play must pass the player's checks, and the
// second must change the same frames as the first. Answers the first plays' outcomes.
template <typename Play> auto replayEach(const std::filesystem::path& directory, Play play)
{
    std::vector<decltype(play(std::vector<std::uint8_t>{}))> outcomes;
    for (const std::filesystem::path& path : fuzzInputsIn(directory)) {
        SCOPED_TRACE(path.string());
        const std::vector<std::uint8_t> bytes = readBytes(path);
        outcomes.push_back(play(bytes));
        EXPECT_TRUE(outcomes.back().ok) << outcomes.back().violation;
        EXPECT_EQ(play(bytes).framesChanged, outcomes.back().framesChanged) << "a replay differs";
    }
    return outcomes;
}

// The player itself must never stumble over an input: every `step`-th prefix of `bytes`, and
// 300 bytes of each of `fills`.
template <typename Play>
void expectEveryInputPlayable(const std::vector<std::uint8_t>& bytes, std::size_t step,
                              const std::vector<std::uint8_t>& fills, Play play)
{
    for (std::size_t length = 0; length <= bytes.size(); length += step) {
        const std::vector<std::uint8_t> prefix(bytes.begin(),
                                               bytes.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_TRUE(play(prefix).ok) << "prefix of " << length << " bytes";
    }
    for (const std::uint8_t fill : fills) {
        EXPECT_TRUE(play(std::vector<std::uint8_t>(300, fill)).ok) << "300 bytes of " << int{fill};
    }
}

} // namespace vorblexter::testing
