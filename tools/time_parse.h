// Times and positions as the user writes them on the command line: "12s", "250ms", "32beats",
// "9bars", "1000" (frames), and time signatures such as "3/4".
//
// Beats are quarter notes at the timeline's tempo and bars are the timeline's bars, so "8beats"
// in 6/8 is more than one bar (8 quarter notes; a 6/8 bar holds 3).
#pragma once

#include "tools/transport.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vorblexter::tool {

enum class TimeUnit { frames, seconds, beats, bars };

struct TimeValue {
    double amount = 0.0;
    TimeUnit unit = TimeUnit::frames;
};

// Parses a number with an optional unit suffix (s, ms, beat[s], bar[s], frame[s],
// sample[s]); a bare number takes `bareUnit`. Throws UsageError naming `what` on bad text.
TimeValue parseTime(std::string_view text, TimeUnit bareUnit, std::string_view what);

// Frames from the origin, rounded to the nearest frame; throws ToolError when the result does
// not fit 62 bits.
std::int64_t framesFor(const TimeValue& time, const Timeline& timeline);

// "12s", "32beats", ... for messages.
std::string describeTime(const TimeValue& time);

// "N/D" with N from 1 to 64 and D one of 1, 2, 4, 8, 16, 32. Throws UsageError otherwise.
TimeSignature parseTimeSignature(std::string_view text);

// A finite decimal number, the whole text (surrounding spaces allowed). Throws UsageError naming
// `what`.
double parseNumber(std::string_view text, std::string_view what);

// Whole number within [low, high]. Throws UsageError naming `what`.
std::int64_t parseWholeNumber(std::string_view text, std::int64_t low, std::int64_t high,
                              std::string_view what);

std::string_view trimSpaces(std::string_view text) noexcept;
std::string lowerCase(std::string_view text);

} // namespace vorblexter::tool
