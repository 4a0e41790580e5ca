#include "tests/lv2/session.h"

#include <algorithm>
#include <cmath>

namespace vorblexter::lv2test {

UridMap::UridMap()
{
    lv2Map.handle = this;
    lv2Map.map = &UridMap::mapUri;
}

LV2_URID UridMap::map(const char* uri)
{
    const auto found = std::find(uris.begin(), uris.end(), uri);
    if (found != uris.end()) {
        return static_cast<LV2_URID>(found - uris.begin() + 1);
    }
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
}

LV2_URID UridMap::mapUri(LV2_URID_Map_Handle handle, const char* uri)
{
    return static_cast<UridMap*>(handle)->map(uri);
}

std::uint32_t Session::totalFrames() const
{
    std::uint32_t total = 0;
    for (const Run& run : runs) {
        total += run.frames;
    }
    return total;
}

double asWritten(double value, Numbers numbers, bool isFrame)
{
    switch (numbers) {
    case Numbers::ardour:
        return isFrame ? static_cast<double>(static_cast<std::int64_t>(value))
                       : static_cast<double>(static_cast<float>(value));
    case Numbers::doubles:
        return value;
    case Numbers::ints:
        return static_cast<double>(static_cast<std::int32_t>(value));
    }
    return value;
}

Stereo sessionInput(std::uint32_t frames)
{
    Stereo input;
    input.left.resize(frames);
    input.right.resize(frames);
    for (std::uint32_t k = 0; k < frames; ++k) {
        const double t = static_cast<double>(k);
        input.left[k] =
            static_cast<float>(0.5 * std::sin(t * 0.013) + std::fmod(t, 977.0) / 4000.0);
        input.right[k] =
            static_cast<float>(0.4 * std::sin(t * 0.0071 + 1.0) - std::fmod(t, 1231.0) / 5000.0);
    }
    return input;
}

} // namespace vorblexter::lv2test
