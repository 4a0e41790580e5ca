#include "clap/parameters.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <string_view>

namespace vorblexter::clap {

namespace {

constexpr std::int32_t kHighestExponent = 6; // 2^6 = 64, the largest step

constexpr std::array<const char*, 3> kPhaseNames{"Waiting", "Capturing", "Playing"};

struct StatusSpec {
    const char* name;
    std::int32_t minimum;
    std::int32_t maximum;
};

constexpr std::array<StatusSpec, 3> kStatus{{
    {"State", 0, 2},
    {"Slot", 0, kMostSlices},
    {"Slice", -kMostSlices, kMostSlices},
}};

bool isStep(const ParameterSpec& setting) noexcept
{
    return setting.kind == ParameterKind::powerOfTwoStep;
}

void copyName(std::string_view name, char (&field)[CLAP_NAME_SIZE]) noexcept
{
    const std::size_t length = name.size() < CLAP_NAME_SIZE ? name.size() : CLAP_NAME_SIZE - 1;
    std::memcpy(field, name.data(), length);
    field[length] = '\0';
}

bool writeText(std::string_view first, std::string_view second, char* display,
               std::uint32_t size) noexcept
{
    const std::size_t gap = second.empty() ? 0 : 1;
    const std::size_t length = first.size() + gap + second.size();
    if (display == nullptr || length >= size) {
        return false;
    }
    std::memcpy(display, first.data(), first.size());
    if (gap != 0) {
        display[first.size()] = ' ';
        std::memcpy(display + first.size() + 1, second.data(), second.size());
    }
    display[length] = '\0';
    return true;
}

// A status value as the whole number it shows; the same cut-down rule as the settings.
std::int32_t statusQuantity(const StatusSpec& setting, double value) noexcept
{
    if (!(value >= static_cast<double>(setting.minimum))) {
        return setting.minimum;
    }
    if (value >= static_cast<double>(setting.maximum)) {
        return setting.maximum;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

bool paramInfo(std::uint32_t index, clap_param_info& info) noexcept
{
    if (index >= kParamCount) {
        return false;
    }
    info = clap_param_info{};
    info.id = index;
    info.cookie = nullptr;
    info.module[0] = '\0';
    if (isSetting(index)) {
        const ParameterSpec& setting = kParameters[index];
        info.flags = CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE;
        copyName(trimmedText(setting.name), info.name);
        info.min_value = valueFromQuantity(index, setting.minimum);
        info.max_value = valueFromQuantity(index, setting.maximum);
        info.default_value = valueFromQuantity(index, setting.defaultQuantity);
        return true;
    }
    const StatusSpec& status = kStatus[index - kStateParam];
    info.flags = CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_READONLY;
    copyName(status.name, info.name);
    info.min_value = status.minimum;
    info.max_value = status.maximum;
    info.default_value = 0.0;
    return true;
}

std::int32_t quantityFromValue(clap_id id, double value) noexcept
{
    const ParameterSpec& setting = kParameters[id];
    if (!isStep(setting)) {
        return quantityFromDisplayValue(setting, value);
    }
    // The exponent, cut down and held to 0 to 6, NaN failing every comparison.
    std::int32_t exponent = 0;
    if (value >= static_cast<double>(kHighestExponent)) {
        exponent = kHighestExponent;
    } else if (value >= 0.0) {
        exponent = static_cast<std::int32_t>(value);
    }
    return std::int32_t{1} << exponent;
}

double valueFromQuantity(clap_id id, std::int32_t quantity) noexcept
{
    const ParameterSpec& setting = kParameters[id];
    if (isStep(setting)) {
        return static_cast<double>(std::countr_zero(static_cast<std::uint32_t>(quantity)));
    }
    return static_cast<double>(quantity);
}

bool valueToText(clap_id id, double value, char* display, std::uint32_t size) noexcept
{
    char digits[kDisplayCapacity];
    if (isSetting(id)) {
        const ParameterSpec& setting = kParameters[id];
        displayText(quantityFromValue(id, value), digits);
        return writeText(digits, trimmedText(setting.label), display, size);
    }
    if (id >= kParamCount) {
        return false;
    }
    const std::int32_t shown = statusQuantity(kStatus[id - kStateParam], value);
    if (id == kStateParam) {
        return writeText(kPhaseNames[static_cast<std::size_t>(shown)], {}, display, size);
    }
    displayText(shown, digits);
    return writeText(digits, {}, display, size);
}

std::optional<double> textToValue(clap_id id, const char* display) noexcept
{
    if (display == nullptr || id >= kParamCount) {
        return std::nullopt;
    }
    if (isSetting(id)) {
        const ParameterSpec& setting = kParameters[id];
        const std::optional<std::int32_t> quantity = quantityFromText(setting, display);
        if (!quantity || !quantityAllowed(setting, *quantity)) {
            return std::nullopt;
        }
        return valueFromQuantity(id, *quantity);
    }
    const std::string_view text = trimmedText(display);
    if (id == kStateParam) {
        for (std::size_t phase = 0; phase < kPhaseNames.size(); ++phase) {
            if (text == kPhaseNames[phase]) {
                return static_cast<double>(phase);
            }
        }
        return std::nullopt;
    }
    const StatusSpec& status = kStatus[id - kStateParam];
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
        number < status.minimum || number > status.maximum) {
        return std::nullopt;
    }
    return static_cast<double>(number);
}

} // namespace vorblexter::clap
