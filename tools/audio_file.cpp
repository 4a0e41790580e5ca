#include "tools/audio_file.h"

#include "tools/pending_file.h"
#include "tools/time_parse.h"
#include "tools/tool_error.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vorblexter::tool {

namespace {

constexpr sf_count_t kChunkFrames = 65536;
// Two channels of this many float frames stay well inside memory on any machine we target.
constexpr sf_count_t kMaxFrames = sf_count_t{1} << 31;

struct SndfileCloser {
    void operator()(SNDFILE* file) const noexcept { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

std::string sndfileError(SNDFILE* file)
{
    return sf_strerror(file);
}

} // namespace

void StereoAudio::resize(std::int64_t frameCount)
{
    left.resize(static_cast<std::size_t>(frameCount));
    right.resize(static_cast<std::size_t>(frameCount));
}

StereoAudio readAudioFile(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        throw ToolError("input not found: " + path.string());
    }
    SF_INFO info{};
    SndfileHandle file(sf_open(path.string().c_str(), SFM_READ, &info));
    if (!file) {
        throw ToolError("cannot read " + path.string() + ": " + sndfileError(nullptr));
    }
    if (info.channels < 1 || info.channels > 2) {
        throw ToolError(path.string() + " has " + std::to_string(info.channels) +
                        " channels; vorblexter takes mono or stereo files");
    }
    if (info.samplerate <= 0) {
        throw ToolError(path.string() + " has no sample rate");
    }
    if (info.frames > kMaxFrames) {
        throw ToolError(path.string() + " is too long (" + std::to_string(info.frames) +
                        " frames)");
    }
    StereoAudio audio;
    audio.sampleRate = info.samplerate;
    audio.left.reserve(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0)));
    audio.right.reserve(audio.left.capacity());
    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames * info.channels));
    for (;;) {
        const sf_count_t got = sf_readf_float(file.get(), chunk.data(), kChunkFrames);
        if (got <= 0) {
            break;
        }
        for (sf_count_t i = 0; i < got; ++i) {
            const auto at = static_cast<std::size_t>(i * info.channels);
            audio.left.push_back(chunk[at]);
            audio.right.push_back(info.channels == 2 ? chunk[at + 1] : chunk[at]);
        }
        if (audio.frames() > kMaxFrames) {
            throw ToolError(path.string() + " is too long");
        }
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
        throw ToolError("cannot read " + path.string() + ": " + sndfileError(file.get()));
    }
    return audio;
}

OutputFormat outputFormatFor(const std::filesystem::path& path, std::optional<int> bits)
{
    const std::string extension = lowerCase(path.extension().string());
    int container = 0;
    std::string name;
    if (extension == ".wav") {
        container = SF_FORMAT_WAV;
        name = "WAV";
    } else if (extension == ".aif" || extension == ".aiff") {
        container = SF_FORMAT_AIFF;
        name = "AIFF";
    } else if (extension == ".flac") {
        container = SF_FORMAT_FLAC;
        name = "FLAC";
    } else {
        throw ToolError("cannot tell the format of " + path.string() +
                        " (use .wav, .aif, .aiff or .flac)");
    }
    const int chosenBits = bits.value_or(container == SF_FORMAT_FLAC ? 24 : 32);
    OutputFormat format;
    switch (chosenBits) {
    case 16:
        format.sndfileFormat = container | SF_FORMAT_PCM_16;
        format.description = name + " 16-bit";
        break;
    case 24:
        format.sndfileFormat = container | SF_FORMAT_PCM_24;
        format.description = name + " 24-bit";
        break;
    case 32:
        if (container == SF_FORMAT_FLAC) {
            throw ToolError("FLAC holds 16 or 24-bit samples, not 32-bit float: use --bits 16 "
                            "or 24, or a .wav output");
        }
        format.sndfileFormat = container | SF_FORMAT_FLOAT;
        format.description = name + " 32-bit float";
        break;
    default:
        throw UsageError("--bits takes 16, 24 or 32, not " + std::to_string(chosenBits));
    }
    return format;
}

void writeAudioFile(const PendingFile& pending, const StereoAudio& audio,
                    const OutputFormat& format)
{
    const std::filesystem::path& path = pending.destinationPath();
    SF_INFO info{};
    info.samplerate = static_cast<int>(std::lround(audio.sampleRate));
    info.channels = 2;
    info.format = format.sndfileFormat;
    if (sf_format_check(&info) == 0) {
        throw ToolError("cannot write " + format.description + " at " +
                        std::to_string(info.samplerate) + " Hz");
    }
    SndfileHandle file(sf_open(pending.temporaryPath().string().c_str(), SFM_WRITE, &info));
    if (!file) {
        throw ToolError("cannot create " + path.string() + ": " + sndfileError(nullptr));
    }
    // PCM output clips instead of wrapping around at full scale.
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames * 2));
    for (std::int64_t done = 0; done < audio.frames();) {
        const std::int64_t count = std::min<std::int64_t>(kChunkFrames, audio.frames() - done);
        for (std::int64_t i = 0; i < count; ++i) {
            chunk[static_cast<std::size_t>(2 * i)] = audio.left[static_cast<std::size_t>(done + i)];
            chunk[static_cast<std::size_t>(2 * i + 1)] =
                audio.right[static_cast<std::size_t>(done + i)];
        }
        if (sf_writef_float(file.get(), chunk.data(), count) != count) {
            throw ToolError("cannot write " + path.string() + ": " + sndfileError(file.get()));
        }
        done += count;
    }
    if (sf_close(file.release()) != 0) {
        throw ToolError("cannot finish " + path.string());
    }
}

} // namespace vorblexter::tool
