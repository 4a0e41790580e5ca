#include "tools/time_parse.h"

#include "tools/tool_error.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

namespace vorblexter::tool {

namespace {

struct UnitName {
    std::string_view suffix;
    TimeUnit unit;
    double scale; // amount written x scale = amount in `unit`
};

constexpr std::array<UnitName, 10> kUnitNames{{
    {"ms", TimeUnit::seconds, 0.001},
    {"s", TimeUnit::seconds, 1.0},
    {"sec", TimeUnit::seconds, 1.0},
    {"beat", TimeUnit::beats, 1.0},
    {"beats", TimeUnit::beats, 1.0},
    {"bar", TimeUnit::bars, 1.0},
    {"bars", TimeUnit::bars, 1.0},
    {"frame", TimeUnit::frames, 1.0},
    {"frames", TimeUnit::frames, 1.0},
    {"samples", TimeUnit::frames, 1.0},
}};

constexpr double kFrameLimit = 4.6e18; // below 2^62

} // namespace

std::string_view trimSpaces(std::string_view text) noexcept
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
        text.remove_suffix(1);
    }
    return text;
}

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

double parseNumber(std::string_view text, std::string_view what)
{
    const std::string_view trimmed = trimSpaces(text);
    std::string_view digits = trimmed;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() ||
        !std::isfinite(value)) {
        throw UsageError(std::string(what) + ": '" + std::string(trimmed) + "' is not a number");
    }
    return value;
}

std::int64_t parseWholeNumber(std::string_view text, std::int64_t low, std::int64_t high,
                              std::string_view what)
{
    const double value = parseNumber(text, what);
    if (value != std::floor(value) || value < static_cast<double>(low) ||
        value > static_cast<double>(high)) {
        throw UsageError(std::string(what) + ": '" + std::string(trimSpaces(text)) +
                         "' is not a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high));
    }
    return static_cast<std::int64_t>(value);
}

TimeValue parseTime(std::string_view text, TimeUnit bareUnit, std::string_view what)
{
    const std::string lower = lowerCase(trimSpaces(text));
    std::size_t split = lower.size();
    while (split > 0 && std::isalpha(static_cast<unsigned char>(lower[split - 1])) != 0) {
        --split;
    }
    const std::string_view number = std::string_view(lower).substr(0, split);
    const std::string_view suffix = trimSpaces(std::string_view(lower).substr(split));
    if (number.empty()) {
        throw UsageError(std::string(what) + ": '" + std::string(trimSpaces(text)) +
                         "' is not a time (examples: 12s, 250ms, 32beats, 9bars, 44100)");
    }
    const double amount = parseNumber(number, what);
    if (suffix.empty()) {
        return {amount, bareUnit};
    }
    for (const UnitName& name : kUnitNames) {
        if (suffix == name.suffix) {
            return {amount * name.scale, name.unit};
        }
    }
    throw UsageError(std::string(what) + ": unknown unit '" + std::string(suffix) +
                     "' (use s, ms, beats, bars or a number of frames)");
}

std::int64_t framesFor(const TimeValue& time, const Timeline& timeline)
{
    double frames = time.amount;
    switch (time.unit) {
    case TimeUnit::frames:
        break;
    case TimeUnit::seconds:
        frames = time.amount * timeline.sampleRate;
        break;
    case TimeUnit::beats:
        frames = time.amount * timeline.framesPerQuarterNote();
        break;
    case TimeUnit::bars:
        frames = time.amount * timeline.framesPerBar();
        break;
    }
    if (!std::isfinite(frames) || std::fabs(frames) > kFrameLimit) {
        throw ToolError("time " + describeTime(time) + " is too far from the origin");
    }
    return std::llround(frames);
}

std::string describeTime(const TimeValue& time)
{
    std::array<char, 64> text{};
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), time.amount);
    std::string amount = error == std::errc{} ? std::string(text.data(), end) : "?";
    switch (time.unit) {
    case TimeUnit::frames:
        return amount + " frames";
    case TimeUnit::seconds:
        return amount + "s";
    case TimeUnit::beats:
        return amount + "beats";
    case TimeUnit::bars:
        return amount + "bars";
    }
    return amount;
}

TimeSignature parseTimeSignature(std::string_view text)
{
    const std::string_view trimmed = trimSpaces(text);
    const std::size_t slash = trimmed.find('/');
    if (slash == std::string_view::npos) {
        throw UsageError("--time-sig: '" + std::string(trimmed) + "' is not N/D (such as 3/4)");
    }
    TimeSignature signature;
    signature.numerator = static_cast<std::int32_t>(
        parseWholeNumber(trimmed.substr(0, slash), 1, 64, "--time-sig numerator"));
    signature.denominator = static_cast<std::int32_t>(
        parseWholeNumber(trimmed.substr(slash + 1), 1, 32, "--time-sig denominator"));
    const std::int32_t d = signature.denominator;
    if ((d & (d - 1)) != 0) {
        throw UsageError("--time-sig: the denominator must be 1, 2, 4, 8, 16 or 32, not " +
                         std::to_string(d));
    }
    return signature;
}

} // namespace vorblexter::tool
