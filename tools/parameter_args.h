// Parameter settings as the user writes them ("Cuts/Bar=16", "reverse = 30", "3=8",
// "Reverse=0.3n"), turned into the normalized values the host sends.
//
// Display units are the numbers the effect itself displays: whole percent, steps (1 to 64),
// envelope samples (1 to 10000). They become host values through the inverse of the effect's own
// mapping (the engine's parameter table), and every value sent is checked by reading the
// effect's display back. A value ending in "n" is a raw normalized host value from 0 to 1, sent
// as written.
#pragma once

#include "engine/parameter_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorblexter::tool {

class HostedEffect;

// What the effect reports about a parameter, with the shared table's entry for it when its name
// is one of the eight (null for a parameter the table does not know: it takes raw values only).
struct ParameterInfo {
    std::int32_t index = 0;
    std::string name;  // as the effect reports it, surrounding spaces removed
    std::string label; // likewise
    const ParameterSpec* entry = nullptr;
};

// "NAME=VALUE" split at the first '=', both sides trimmed. Throws UsageError.
struct ParameterAssignment {
    std::string name;
    std::string value;
};
ParameterAssignment parseAssignment(std::string_view text);

// The table's entry for a parameter of that name (case, spaces, '-' and '_' ignored), or null.
const ParameterSpec* entryForName(std::string_view name);

// "1, 2, 4, 8, 16, 32 or 64" and the like; for no entry, that only raw values are taken.
std::string allowedValues(const ParameterSpec* entry);

// A setting ready to send.
struct ResolvedSetting {
    std::int32_t index = 0;
    float normalized = 0.0f;
    std::optional<std::int32_t> expectedQuantity; // checked against the display after sending
    std::string description;                      // "Cuts/Bar=16", for messages
};

// The effect's parameters, read once through the host interface.
class ParameterTable {
public:
    explicit ParameterTable(HostedEffect& effect);
    explicit ParameterTable(std::vector<ParameterInfo> parameters);

    // By name (case, spaces, '-' and '_' ignored) or by index. Throws ToolError listing the names.
    const ParameterInfo& find(std::string_view nameOrIndex) const;
    // The first parameter whose name matches, or null.
    const ParameterInfo* findByName(std::string_view name) const noexcept;
    const std::vector<ParameterInfo>& all() const noexcept { return parameters; }

    // Throws ToolError when the name is unknown or the value is one the parameter cannot take.
    ResolvedSetting resolve(const ParameterAssignment& assignment) const;

private:
    std::vector<ParameterInfo> parameters;
};

// Sends the value and reads the display back; throws ToolError when it differs from the
// expected quantity. Answers the quantity displayed (nothing when the display is not a number).
std::optional<std::int32_t> applySetting(HostedEffect& effect, const ResolvedSetting& setting);

// The display of a parameter as a number, when it is one.
std::optional<std::int32_t> displayedQuantity(HostedEffect& effect, std::int32_t index);

} // namespace vorblexter::tool
