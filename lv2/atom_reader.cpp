#include "lv2/atom_reader.h"

#include <cstdint>
#include <cstring>
#include <optional>

namespace vorblexter::lv2 {

namespace {

template <typename T> T readAt(const unsigned char* at) noexcept
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Atoms in a sequence or an object follow each other at 8-byte boundaries.
constexpr std::size_t padded(std::size_t size) noexcept
{
    return (size + 7u) & ~static_cast<std::size_t>(7u);
}

bool fits(std::size_t offset, std::size_t length, std::size_t end) noexcept
{
    return offset <= end && length <= end - offset;
}

std::optional<double> readNumber(const Urids& urids, std::uint32_t type, std::uint32_t size,
                                 const unsigned char* body) noexcept
{
    if (type == urids.atomFloat && size >= sizeof(float)) {
        return static_cast<double>(readAt<float>(body));
    }
    if (type == urids.atomDouble && size >= sizeof(double)) {
        return readAt<double>(body);
    }
    if (type == urids.atomInt && size >= sizeof(std::int32_t)) {
        return static_cast<double>(readAt<std::int32_t>(body));
    }
    if (type == urids.atomLong && size >= sizeof(std::int64_t)) {
        return static_cast<double>(readAt<std::int64_t>(body));
    }
    return std::nullopt;
}

} // namespace

SequenceReader::SequenceReader(const LV2_Atom_Sequence* sequence, const Urids& urids) noexcept
{
    if (sequence == nullptr) {
        return;
    }
    const auto* start = reinterpret_cast<const unsigned char*>(sequence);
    const auto header = readAt<LV2_Atom>(start);
    if (header.type != urids.atomSequence || header.size < sizeof(LV2_Atom_Sequence_Body)) {
        return;
    }
    if constexpr (sizeof(std::size_t) < sizeof(std::uint64_t)) {
        // A declared size that would wrap the address arithmetic cannot describe real memory.
        if (header.size > SIZE_MAX - sizeof(LV2_Atom)) {
            return;
        }
    }
    const auto body = readAt<LV2_Atom_Sequence_Body>(start + sizeof(LV2_Atom));
    bytes = start;
    end = sizeof(LV2_Atom) + static_cast<std::size_t>(header.size);
    offset = sizeof(LV2_Atom) + sizeof(LV2_Atom_Sequence_Body);
    // Unit 0 is frames by convention.
    framesStamped = body.unit != urids.atomBeatTime;
}

bool SequenceReader::next(SequenceEvent& event) noexcept
{
    if (bytes == nullptr || !fits(offset, sizeof(LV2_Atom_Event), end)) {
        return false;
    }
    const auto header = readAt<LV2_Atom_Event>(bytes + offset);
    const std::size_t bodyOffset = offset + sizeof(LV2_Atom_Event);
    if (!fits(bodyOffset, header.body.size, end)) {
        bytes = nullptr;
        return false;
    }
    event.hasFrame = framesStamped;
    event.frame = framesStamped ? header.time.frames : 0;
    event.type = header.body.type;
    event.size = header.body.size;
    event.body = bytes + bodyOffset;
    offset = offset + padded(sizeof(LV2_Atom_Event) + header.body.size);
    return true;
}

bool readPosition(const SequenceEvent& event, const Urids& urids, PositionUpdate& update) noexcept
{
    if ((event.type != urids.atomObject && event.type != urids.atomBlank) ||
        event.size < sizeof(LV2_Atom_Object_Body)) {
        return false;
    }
    const auto object = readAt<LV2_Atom_Object_Body>(event.body);
    if (object.otype != urids.timePosition) {
        return false;
    }
    update = PositionUpdate{};
    const std::size_t end = event.size;
    std::size_t offset = sizeof(LV2_Atom_Object_Body);
    while (fits(offset, sizeof(LV2_Atom_Property_Body), end)) {
        const auto property = readAt<LV2_Atom_Property_Body>(event.body + offset);
        const std::size_t valueOffset = offset + sizeof(LV2_Atom_Property_Body);
        if (!fits(valueOffset, property.value.size, end)) {
            break;
        }
        const std::optional<double> number =
            readNumber(urids, property.value.type, property.value.size, event.body + valueOffset);
        if (number) {
            if (property.key == urids.timeFrame) {
                update.frame = number;
            } else if (property.key == urids.timeSpeed) {
                update.speed = number;
            } else if (property.key == urids.timeBeatsPerMinute) {
                update.beatsPerMinute = number;
            } else if (property.key == urids.timeBeatsPerBar) {
                update.beatsPerBar = number;
            }
        }
        offset = offset + padded(sizeof(LV2_Atom_Property_Body) + property.value.size);
    }
    return true;
}

} // namespace vorblexter::lv2
