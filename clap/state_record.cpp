#include "clap/state_record.h"

#include <cstring>

namespace vorblexter::clap {

namespace {

constexpr std::uint8_t kTag[4] = {'v', 'b', 'x', '1'};

void putWord(std::uint8_t* at, std::uint32_t word) noexcept
{
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(word >> (8 * i));
    }
}

std::uint32_t getWord(const std::uint8_t* at) noexcept
{
    std::uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
        word |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    }
    return word;
}

} // namespace

std::array<std::uint8_t, kStateBytes> encodeState(const Quantities& quantities) noexcept
{
    std::array<std::uint8_t, kStateBytes> bytes{};
    std::memcpy(bytes.data(), kTag, sizeof kTag);
    putWord(bytes.data() + 4, kStateVersion);
    for (std::size_t i = 0; i < quantities.size(); ++i) {
        putWord(bytes.data() + 8 + 4 * i, static_cast<std::uint32_t>(quantities[i]));
    }
    return bytes;
}

std::optional<Quantities> decodeState(const std::uint8_t* bytes, std::size_t size) noexcept
{
    if (bytes == nullptr || size < 8 || std::memcmp(bytes, kTag, sizeof kTag) != 0 ||
        getWord(bytes + 4) != kStateVersion || size != kStateBytes) {
        return std::nullopt;
    }
    Quantities quantities{};
    for (std::int32_t i = 0; i < kParameterCount; ++i) {
        const auto quantity =
            static_cast<std::int32_t>(getWord(bytes + 8 + 4 * static_cast<std::size_t>(i)));
        if (!quantityAllowed(kParameters[i], quantity)) {
            return std::nullopt;
        }
        quantities[static_cast<std::size_t>(i)] = quantity;
    }
    return quantities;
}

bool writeState(const clap_ostream& stream, const Quantities& quantities) noexcept
{
    if (stream.write == nullptr) {
        return false;
    }
    const std::array<std::uint8_t, kStateBytes> bytes = encodeState(quantities);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::uint64_t left = bytes.size() - done;
        const std::int64_t written = stream.write(&stream, bytes.data() + done, left);
        if (written <= 0 || static_cast<std::uint64_t>(written) > left) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

std::optional<Quantities> readState(const clap_istream& stream) noexcept
{
    if (stream.read == nullptr) {
        return std::nullopt;
    }
    std::array<std::uint8_t, kStateBytes + 1> bytes{};
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::uint64_t left = bytes.size() - done;
        const std::int64_t got = stream.read(&stream, bytes.data() + done, left);
        if (got == 0) {
            break;
        }
        if (got < 0 || static_cast<std::uint64_t>(got) > left) {
            return std::nullopt;
        }
        done += static_cast<std::size_t>(got);
    }
    return decodeState(bytes.data(), done);
}

} // namespace vorblexter::clap
