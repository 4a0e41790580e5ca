// The eight parameters, once: what each is called, what it measures and how its values map.
//
// Three kinds of value are in play. The host value is the normalized 32-bit float a VST host
// stores (nominally 0 to 1). The quantity is the whole number the engine works with and
// displays: percent, a power-of-two step, or fade frames. A musician's value (an LV2 control, a
// CLAP value in display units, a command-line setting) is a float that should be a quantity but
// may lie between steps, outside the range or be NaN. Every binding and the command-line host
// read this table instead of keeping their own switch over the eight.
//
// Pure data and free functions: callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vorblexter {

inline constexpr std::int32_t kParameterCount = 8;

enum ParameterIndex : std::int32_t {
    kReverse = 0,
    kVorblex,
    kRepetition,
    kCutsPerBar,
    kEnvelope,
    kVariation,
    kSilence,
    kLoopLength,
};

enum class ParameterKind : std::uint8_t {
    percent,        // whole percent, host value x 100
    powerOfTwoStep, // 1, 2, 4 ... 64, by six thresholds on the host value
    envelope,       // fade frames, 10 to the power 4 x host value
};

struct ParameterSpec {
    const char* name;  // as VST hosts have always shown it, surrounding spaces included
    const char* label; // likewise
    ParameterKind kind;
    std::int32_t minimum; // quantity
    std::int32_t maximum; // quantity
    std::int32_t defaultQuantity;
};

inline constexpr ParameterSpec kParameters[kParameterCount] = {
    {"  Reverse  ", "   %   ", ParameterKind::percent, 0, 100, 0},
    {"  Vorblex  ", "   %   ", ParameterKind::percent, 0, 100, 25},
    {"  Repetition  ", "   %   ", ParameterKind::percent, 0, 100, 0},
    {"  Cuts/Bar  ", "       ", ParameterKind::powerOfTwoStep, 1, 64, 4},
    {"  Envelope  ", "Width", ParameterKind::envelope, 1, 10000, 20},
    {"  Variation  ", "Loops  ", ParameterKind::powerOfTwoStep, 1, 64, 1},
    {"  Silence  ", "   %   ", ParameterKind::percent, 0, 100, 0},
    {"  Loop Length  ", "Beats  ", ParameterKind::powerOfTwoStep, 1, 64, 4},
};

inline constexpr bool isParameterIndex(std::int32_t index) noexcept
{
    return index >= 0 && index < kParameterCount;
}

// The name or label without the padding hosts were given: "Loop Length", "%", "Beats".
std::string_view trimmedText(const char* text) noexcept;

// The quantity the engine takes from a host value (the forward mapping of its kind).
std::int32_t quantityFromHostValue(const ParameterSpec& entry, float value) noexcept;

// The host value that reads back as exactly `quantity`, for a quantity the parameter can hold.
float hostValueFromQuantity(const ParameterSpec& entry, std::int32_t quantity) noexcept;

// The quantity a musician's value stands for: cut down to the step or whole number at or below
// it, clamped to the range, NaN as the lowest.
std::int32_t quantityFromDisplayValue(const ParameterSpec& entry, double value) noexcept;

// Whether the parameter can hold exactly this quantity (a power of two for the steps).
bool quantityAllowed(const ParameterSpec& entry, std::int32_t quantity) noexcept;

// The display of a quantity: its decimal digits ("25", "-3"), terminated. `text` holds at
// least kDisplayCapacity bytes.
inline constexpr std::size_t kDisplayCapacity = 12;
void displayText(std::int32_t quantity, char* text) noexcept;

// The quantity a display text shows, with or without the label after it ("25", "25 %",
// "4 Beats"); empty for any other text.
std::optional<std::int32_t> quantityFromText(const ParameterSpec& entry,
                                             std::string_view text) noexcept;

} // namespace vorblexter
