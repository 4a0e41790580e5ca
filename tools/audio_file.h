// Stereo audio in memory and its files, read and written with libsndfile.
//
// Reading: any format libsndfile reads (WAV, AIFF, FLAC, ...). A mono file feeds both channels;
// a file of more than two channels is refused, since which two of them to hear is the user's
// choice (mix or extract them first).
// Writing: the format follows the extension (.wav, .aif/.aiff, .flac); samples are 32-bit float
// unless 16 or 24-bit PCM is asked for (FLAC has no float samples and defaults to 24-bit).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorblexter::tool {

class PendingFile;

struct StereoAudio {
    double sampleRate = 44100.0; // frames per second
    std::vector<float> left;
    std::vector<float> right;

    std::int64_t frames() const noexcept { return static_cast<std::int64_t>(left.size()); }
    void resize(std::int64_t frames);
};

// Throws ToolError: missing or unreadable file, more than two channels, no sample rate.
StereoAudio readAudioFile(const std::filesystem::path& path);

struct OutputFormat {
    int sndfileFormat = 0; // container | sample type, as libsndfile spells it
    std::string description;
};

// From the extension and the --bits choice (16, 24 or 32; nothing for the default).
// Throws ToolError for an unknown extension or a combination the container cannot hold.
OutputFormat outputFormatFor(const std::filesystem::path& path, std::optional<int> bits);

// Writes the whole file under the pending file's temporary name; commit() then publishes it.
// Throws ToolError naming the destination.
void writeAudioFile(const PendingFile& file, const StereoAudio& audio, const OutputFormat& format);

} // namespace vorblexter::tool
