#include "engine/parameter_table.h"

#include "engine/parameter_mapping.h"

#include <charconv>
#include <cstring>

namespace vorblexter {

namespace {

constexpr std::int32_t kSteps[] = {1, 2, 4, 8, 16, 32, 64};

bool isSpace(char c) noexcept
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) noexcept
{
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

std::string_view trimmedText(const char* text) noexcept
{
    return text == nullptr ? std::string_view{} : trimmed(text);
}

std::int32_t quantityFromHostValue(const ParameterSpec& entry, float value) noexcept
{
    switch (entry.kind) {
    case ParameterKind::powerOfTwoStep:
        return stepFromNormalized(value);
    case ParameterKind::envelope:
        return exponentialFromNormalized(value);
    case ParameterKind::percent:
        break;
    }
    return percentFromNormalized(value);
}

float hostValueFromQuantity(const ParameterSpec& entry, std::int32_t quantity) noexcept
{
    switch (entry.kind) {
    case ParameterKind::powerOfTwoStep:
        return normalizedFromStep(quantity);
    case ParameterKind::envelope:
        return normalizedFromExponential(quantity);
    case ParameterKind::percent:
        break;
    }
    return normalizedFromPercent(quantity);
}

std::int32_t quantityFromDisplayValue(const ParameterSpec& entry, double value) noexcept
{
    // Written so that NaN fails every comparison and lands on the lowest value.
    if (entry.kind == ParameterKind::powerOfTwoStep) {
        std::int32_t chosen = kSteps[0];
        for (const std::int32_t step : kSteps) {
            if (value >= static_cast<double>(step)) {
                chosen = step;
            }
        }
        return chosen;
    }
    if (!(value >= static_cast<double>(entry.minimum))) {
        return entry.minimum;
    }
    if (value >= static_cast<double>(entry.maximum)) {
        return entry.maximum;
    }
    return static_cast<std::int32_t>(value);
}

bool quantityAllowed(const ParameterSpec& entry, std::int32_t quantity) noexcept
{
    if (quantity < entry.minimum || quantity > entry.maximum) {
        return false;
    }
    return entry.kind != ParameterKind::powerOfTwoStep || (quantity & (quantity - 1)) == 0;
}

void displayText(std::int32_t quantity, char* text) noexcept
{
    if (text == nullptr) {
        return;
    }
    const std::to_chars_result result = std::to_chars(text, text + kDisplayCapacity - 1, quantity);
    *result.ptr = '\0';
}

std::optional<std::int32_t> quantityFromText(const ParameterSpec& entry,
                                             std::string_view text) noexcept
{
    text = trimmed(text);
    const std::string_view label = trimmedText(entry.label);
    if (!label.empty() && text.size() >= label.size() &&
        text.substr(text.size() - label.size()) == label) {
        text = trimmed(text.substr(0, text.size() - label.size()));
    }
    std::int32_t quantity = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), quantity);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return quantity;
}

} // namespace vorblexter
