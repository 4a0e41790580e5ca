#include "tools/parameter_args.h"

#include "tools/hosted_effect.h"
#include "tools/time_parse.h"
#include "tools/tool_error.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace vorblexter::tool {

namespace {

std::string nameKey(std::string_view name)
{
    std::string key;
    for (const char c : lowerCase(trimSpaces(name))) {
        if (c != ' ' && c != '-' && c != '_') {
            key += c;
        }
    }
    return key;
}

// The value text without a unit the user may have added: "%" for percentages, or the
// parameter's own label ("8 beats", "2 loops").
std::string_view stripUnit(std::string_view value, const ParameterInfo& parameter)
{
    std::size_t split = value.size();
    while (split > 0 && (std::isalpha(static_cast<unsigned char>(value[split - 1])) != 0 ||
                         value[split - 1] == '%')) {
        --split;
    }
    const std::string unit = lowerCase(trimSpaces(value.substr(split)));
    const std::string label = lowerCase(parameter.label);
    const bool known =
        unit.empty() || (unit == "%" && parameter.entry->kind == ParameterKind::percent) ||
        (!label.empty() && (unit == label || unit + "s" == label || unit == label + "s"));
    return known ? trimSpaces(value.substr(0, split)) : value;
}

// "0.3n": a number followed by n is a raw host value.
std::optional<double> rawValue(std::string_view value)
{
    if (value.empty() || (value.back() != 'n' && value.back() != 'N')) {
        return std::nullopt;
    }
    try {
        return parseNumber(value.substr(0, value.size() - 1), "raw value");
    } catch (const UsageError&) {
        return std::nullopt;
    }
}

std::string parameterList(const std::vector<ParameterInfo>& parameters)
{
    std::string list;
    for (const ParameterInfo& parameter : parameters) {
        list += (list.empty() ? "" : ", ") + std::to_string(parameter.index) + " " + parameter.name;
    }
    return list;
}

} // namespace

ParameterAssignment parseAssignment(std::string_view text)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        throw UsageError("'" + std::string(text) +
                         "' is not NAME=VALUE (such as Cuts/Bar=16 or Reverse=0.3n)");
    }
    ParameterAssignment assignment{std::string(trimSpaces(text.substr(0, equals))),
                                   std::string(trimSpaces(text.substr(equals + 1)))};
    if (assignment.name.empty()) {
        throw UsageError("'" + std::string(text) + "' names no parameter");
    }
    if (assignment.value.empty()) {
        throw UsageError("'" + std::string(text) + "' gives no value");
    }
    return assignment;
}

const ParameterSpec* entryForName(std::string_view name)
{
    const std::string key = nameKey(name);
    for (const ParameterSpec& entry : kParameters) {
        if (nameKey(trimmedText(entry.name)) == key) {
            return &entry;
        }
    }
    return nullptr;
}

std::string allowedValues(const ParameterSpec* entry)
{
    if (entry == nullptr) {
        return "only raw host values from 0 to 1 (such as 0.5n)";
    }
    const std::string range =
        " from " + std::to_string(entry->minimum) + " to " + std::to_string(entry->maximum);
    switch (entry->kind) {
    case ParameterKind::percent:
        return "whole percent" + range;
    case ParameterKind::envelope:
        return "whole samples" + range;
    case ParameterKind::powerOfTwoStep:
        break;
    }
    std::string steps = std::to_string(entry->minimum);
    for (std::int32_t step = entry->minimum * 2; step <= entry->maximum; step *= 2) {
        steps += (step == entry->maximum ? " or " : ", ") + std::to_string(step);
    }
    return steps;
}

ParameterTable::ParameterTable(HostedEffect& effect)
{
    for (std::int32_t index = 0; index < effect.parameterCount(); ++index) {
        ParameterInfo parameter;
        parameter.index = index;
        parameter.name = std::string(trimSpaces(effect.parameterName(index)));
        parameter.label = std::string(trimSpaces(effect.parameterLabel(index)));
        parameter.entry = entryForName(parameter.name);
        parameters.push_back(std::move(parameter));
    }
}

ParameterTable::ParameterTable(std::vector<ParameterInfo> list) : parameters(std::move(list)) {}

const ParameterInfo* ParameterTable::findByName(std::string_view name) const noexcept
{
    const std::string key = nameKey(name);
    for (const ParameterInfo& parameter : parameters) {
        if (nameKey(parameter.name) == key) {
            return &parameter;
        }
    }
    return nullptr;
}

const ParameterInfo& ParameterTable::find(std::string_view nameOrIndex) const
{
    if (const ParameterInfo* parameter = findByName(nameOrIndex)) {
        return *parameter;
    }
    const std::string_view text = trimSpaces(nameOrIndex);
    std::int32_t index = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (!text.empty() && error == std::errc{} && end == text.data() + text.size() && index >= 0 &&
        static_cast<std::size_t>(index) < parameters.size()) {
        return parameters[static_cast<std::size_t>(index)];
    }
    throw ToolError("no parameter '" + std::string(text) +
                    "'; the parameters are: " + parameterList(parameters));
}

ResolvedSetting ParameterTable::resolve(const ParameterAssignment& assignment) const
{
    const ParameterInfo& parameter = find(assignment.name);
    ResolvedSetting setting;
    setting.index = parameter.index;
    setting.description = parameter.name + "=" + assignment.value;

    const std::string_view value = trimSpaces(assignment.value);
    if (const std::optional<double> raw = rawValue(value)) {
        if (*raw < 0.0 || *raw > 1.0) {
            throw ToolError(setting.description + ": a raw host value lies from 0 to 1");
        }
        setting.normalized = static_cast<float>(*raw);
        if (parameter.entry != nullptr) {
            setting.expectedQuantity = quantityFromHostValue(*parameter.entry, setting.normalized);
        }
        return setting;
    }

    const std::string cannot = parameter.name + " cannot be " + std::string(value) + ": it takes " +
                               allowedValues(parameter.entry);
    if (parameter.entry == nullptr) {
        throw ToolError(cannot);
    }
    double number = 0.0;
    try {
        number = parseNumber(stripUnit(value, parameter), setting.description);
    } catch (const UsageError&) {
        throw ToolError(cannot);
    }
    if (number != std::floor(number) || std::fabs(number) > 1e9) {
        throw ToolError(cannot);
    }
    const auto quantity = static_cast<std::int32_t>(number);
    if (!quantityAllowed(*parameter.entry, quantity)) {
        throw ToolError(cannot);
    }
    setting.normalized = hostValueFromQuantity(*parameter.entry, quantity);
    setting.expectedQuantity = quantity;
    return setting;
}

std::optional<std::int32_t> displayedQuantity(HostedEffect& effect, std::int32_t index)
{
    const std::string display(trimSpaces(effect.parameterDisplay(index)));
    std::int32_t quantity = 0;
    const auto [end, error] =
        std::from_chars(display.data(), display.data() + display.size(), quantity);
    if (display.empty() || error != std::errc{} || end != display.data() + display.size()) {
        return std::nullopt;
    }
    return quantity;
}

std::optional<std::int32_t> applySetting(HostedEffect& effect, const ResolvedSetting& setting)
{
    effect.setParameter(setting.index, setting.normalized);
    const std::optional<std::int32_t> shown = displayedQuantity(effect, setting.index);
    if (setting.expectedQuantity && shown != setting.expectedQuantity) {
        throw ToolError(setting.description + ": the effect displays '" +
                        effect.parameterDisplay(setting.index) + "' instead of " +
                        std::to_string(*setting.expectedQuantity));
    }
    return shown;
}

} // namespace vorblexter::tool
