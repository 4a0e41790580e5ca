#include "tests/lv2/session.h"

#include <lv2/time/time.h>

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

RunForge::RunForge(UridMap& urids)
    : position(urids.map(LV2_TIME__Position)), frame(urids.map(LV2_TIME__frame)),
      speed(urids.map(LV2_TIME__speed)), beatsPerMinute(urids.map(LV2_TIME__beatsPerMinute)),
      beatsPerBar(urids.map(LV2_TIME__beatsPerBar))
{
    lv2_atom_forge_init(&forge, urids.feature());
}

void RunForge::number(LV2_URID key, double value, Numbers numbers, bool isFrame, bool isBeatsPerBar)
{
    lv2_atom_forge_key(&forge, key);
    switch (numbers) {
    case Numbers::ardour:
        if (isFrame) {
            lv2_atom_forge_long(&forge, static_cast<std::int64_t>(value));
        } else {
            lv2_atom_forge_float(&forge, static_cast<float>(value));
        }
        return;
    case Numbers::doubles:
        lv2_atom_forge_double(&forge, value);
        return;
    case Numbers::ints:
        if (isBeatsPerBar) {
            lv2_atom_forge_long(&forge, static_cast<std::int32_t>(value));
        } else {
            lv2_atom_forge_int(&forge, static_cast<std::int32_t>(value));
        }
        return;
    }
}

void RunForge::write(const Run& run, std::uint8_t* buffer, std::uint32_t capacity)
{
    lv2_atom_forge_set_buffer(&forge, buffer, capacity);
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    for (const Position& p : run.positions) {
        lv2_atom_forge_frame_time(&forge, p.at);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object(&forge, &object, 0, position);
        if (p.frame) {
            number(frame, *p.frame, p.numbers, true, false);
        }
        if (p.speed) {
            number(speed, *p.speed, p.numbers, false, false);
        }
        if (p.beatsPerMinute) {
            number(beatsPerMinute, *p.beatsPerMinute, p.numbers, false, false);
        }
        if (p.beatsPerBar) {
            number(beatsPerBar, *p.beatsPerBar, p.numbers, false, true);
        }
        lv2_atom_forge_pop(&forge, &object);
    }
    lv2_atom_forge_pop(&forge, &sequence);
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
