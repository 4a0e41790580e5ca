#include "tools/parameter_args.h"

#include "engine/parameter_mapping.h"
#include "tools/hosted_effect.h"
#include "tools/time_parse.h"
#include "tools/tool_error.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace vorblexter::tool {

namespace {

// The effect's parameter names (spaces dropped, lower case) and how each displays.
struct KnownParameter {
    std::string_view key;
    ValueMapping mapping;
};

constexpr std::array<KnownParameter, 8> kKnownParameters{{
    {"reverse", ValueMapping::percent},
    {"vorblex", ValueMapping::percent},
    {"repetition", ValueMapping::percent},
    {"cuts/bar", ValueMapping::step},
    {"envelope", ValueMapping::exponential},
    {"variation", ValueMapping::step},
    {"silence", ValueMapping::percent},
    {"looplength", ValueMapping::step},
}};

constexpr std::array<std::int32_t, 7> kSteps{1, 2, 4, 8, 16, 32, 64};
constexpr std::int32_t kMaxPercent = 100;
constexpr std::int32_t kMaxEnvelope = 10000;

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

float inverseMapping(ValueMapping mapping, std::int32_t quantity)
{
    switch (mapping) {
    case ValueMapping::percent:
        return normalizedFromPercent(quantity);
    case ValueMapping::step:
        return normalizedFromStep(quantity);
    case ValueMapping::exponential:
        return normalizedFromExponential(quantity);
    case ValueMapping::unknown:
        break;
    }
    return 0.0f;
}

bool quantityPossible(ValueMapping mapping, std::int32_t quantity)
{
    switch (mapping) {
    case ValueMapping::percent:
        return quantity >= 0 && quantity <= kMaxPercent;
    case ValueMapping::step:
        for (const std::int32_t step : kSteps) {
            if (step == quantity) {
                return true;
            }
        }
        return false;
    case ValueMapping::exponential:
        return quantity >= 1 && quantity <= kMaxEnvelope;
    case ValueMapping::unknown:
        break;
    }
    return false;
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
        unit.empty() || (unit == "%" && parameter.mapping == ValueMapping::percent) ||
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

ValueMapping mappingForName(std::string_view name)
{
    const std::string key = nameKey(name);
    for (const KnownParameter& known : kKnownParameters) {
        if (known.key == key) {
            return known.mapping;
        }
    }
    return ValueMapping::unknown;
}

std::int32_t quantityForNormalized(ValueMapping mapping, float normalized)
{
    switch (mapping) {
    case ValueMapping::percent:
        return percentFromNormalized(normalized);
    case ValueMapping::step:
        return stepFromNormalized(normalized);
    case ValueMapping::exponential:
        return exponentialFromNormalized(normalized);
    case ValueMapping::unknown:
        break;
    }
    return 0;
}

std::optional<float> normalizedForQuantity(ValueMapping mapping, std::int32_t quantity)
{
    if (!quantityPossible(mapping, quantity)) {
        return std::nullopt;
    }
    const float value = inverseMapping(mapping, quantity);
    if (quantityForNormalized(mapping, value) != quantity || value < 0.0f || value > 1.0f) {
        return std::nullopt;
    }
    return value;
}

std::string allowedValues(ValueMapping mapping)
{
    switch (mapping) {
    case ValueMapping::percent:
        return "whole percent from 0 to 100";
    case ValueMapping::step:
        return "1, 2, 4, 8, 16, 32 or 64";
    case ValueMapping::exponential:
        return "whole samples from 1 to 10000";
    case ValueMapping::unknown:
        break;
    }
    return "only raw host values from 0 to 1 (such as 0.5n)";
}

ParameterTable::ParameterTable(HostedEffect& effect)
{
    for (std::int32_t index = 0; index < effect.parameterCount(); ++index) {
        ParameterInfo parameter;
        parameter.index = index;
        parameter.name = std::string(trimSpaces(effect.parameterName(index)));
        parameter.label = std::string(trimSpaces(effect.parameterLabel(index)));
        parameter.mapping = mappingForName(parameter.name);
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
        if (parameter.mapping != ValueMapping::unknown) {
            setting.expectedQuantity = quantityForNormalized(parameter.mapping, setting.normalized);
        }
        return setting;
    }

    const std::string cannot = parameter.name + " cannot be " + std::string(value) + ": it takes " +
                               allowedValues(parameter.mapping);
    if (parameter.mapping == ValueMapping::unknown) {
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
    const std::optional<float> normalized = normalizedForQuantity(parameter.mapping, quantity);
    if (!normalized) {
        throw ToolError(cannot);
    }
    setting.normalized = *normalized;
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
