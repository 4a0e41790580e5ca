#include "tools/audio_file.h"

#include "tools/pending_file.h"
#include "tools/tests/support/tool_test_support.h"
#include "tools/tool_error.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <fstream>

namespace vorblexter::tool {
namespace {

using testing::ScratchFolder;

StereoAudio roundTrip(const std::filesystem::path& path, const StereoAudio& audio,
                      std::optional<int> bits)
{
    PendingFile file(path);
    writeAudioFile(file, audio, outputFormatFor(path, bits));
    file.commit();
    return readAudioFile(path);
}

float largestDifference(const StereoAudio& a, const StereoAudio& b)
{
    float largest = 0.0f;
    for (std::size_t i = 0; i < a.left.size(); ++i) {
        largest = std::max(
            {largest, std::fabs(a.left[i] - b.left[i]), std::fabs(a.right[i] - b.right[i])});
    }
    return largest;
}

void writeRaw(const std::filesystem::path& path, int channels, const std::vector<float>& samples)
{
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.string().c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
    sf_close(file);
}

TEST(AudioFile, RoundTripsKeepSamplesAndRate)
{
    const ScratchFolder folder;
    const StereoAudio audio = testing::noise(5000, 48000.0, 7);
    struct Case {
        const char* name;
        std::optional<int> bits;
        float tolerance;
    };
    for (const Case& c :
         {Case{"float.wav", std::nullopt, 0.0f}, Case{"pcm24.wav", 24, 1.0f / 8388608},
          Case{"pcm16.wav", 16, 1.0f / 32768}, Case{"pcm16.aiff", 16, 1.0f / 32768},
          Case{"float.aif", 32, 0.0f}, Case{"default24.flac", std::nullopt, 1.0f / 8388608},
          Case{"pcm16.flac", 16, 1.0f / 32768}}) {
        const StereoAudio back = roundTrip(folder / c.name, audio, c.bits);
        ASSERT_EQ(back.frames(), audio.frames()) << c.name;
        EXPECT_EQ(back.sampleRate, 48000.0) << c.name;
        EXPECT_LE(largestDifference(audio, back), c.tolerance) << c.name;
        EXPECT_NE(back.left, back.right) << c.name;
    }
}

TEST(AudioFile, MonoFeedsBothChannelsAndMoreThanTwoAreRefused)
{
    const ScratchFolder folder;
    writeRaw(folder / "mono.wav", 1, {0.1f, -0.2f, 0.3f});
    const StereoAudio mono = readAudioFile(folder / "mono.wav");
    EXPECT_EQ(mono.left, (std::vector<float>{0.1f, -0.2f, 0.3f}));
    EXPECT_EQ(mono.right, mono.left);
    EXPECT_EQ(mono.sampleRate, 22050.0);

    writeRaw(folder / "quad.wav", 4, std::vector<float>(40, 0.1f));
    try {
        readAudioFile(folder / "quad.wav");
        FAIL() << "four channels accepted";
    } catch (const ToolError& error) {
        EXPECT_NE(std::string(error.what()).find("has 4 channels"), std::string::npos)
            << error.what();
    }
}

TEST(AudioFile, UnreadableInputsNameTheFile)
{
    const ScratchFolder folder;
    std::ofstream(folder / "text.wav") << "not audio";
    for (const char* name : {"missing.wav", "text.wav"}) {
        try {
            readAudioFile(folder / name);
            FAIL() << name;
        } catch (const ToolError& error) {
            EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
        }
    }
}

TEST(AudioFile, FormatFollowsTheExtension)
{
    EXPECT_EQ(outputFormatFor("a.WAV", std::nullopt).sndfileFormat,
              SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(outputFormatFor("a.aiff", 24).sndfileFormat, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    EXPECT_EQ(outputFormatFor("a.flac", std::nullopt).sndfileFormat,
              SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_THROW(outputFormatFor("a.mp3", std::nullopt), ToolError);
    EXPECT_THROW(outputFormatFor("noextension", std::nullopt), ToolError);
    EXPECT_THROW(outputFormatFor("a.flac", 32), ToolError);
}

TEST(PendingFile, NothingAppearsUnderTheNameUntilCommitted)
{
    const ScratchFolder folder;
    std::ofstream(folder / "out.wav") << "earlier render";
    {
        PendingFile file(folder / "out.wav");
        writeAudioFile(file, testing::noise(100, 44100.0), outputFormatFor("x.wav", 16));
        EXPECT_EQ(folder.entries().size(), 2u) << "the temporary file sits beside the output";
        // Not committed: as if an error came after writing.
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});
    std::ifstream kept(folder / "out.wav");
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "earlier render");

    {
        PendingFile file(folder / "out.wav");
        file.write("new");
        file.commit();
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});
    std::ifstream replaced(folder / "out.wav");
    std::getline(replaced, content);
    EXPECT_EQ(content, "new");
}

} // namespace
} // namespace vorblexter::tool
