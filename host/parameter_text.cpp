#include "host/parameter_text.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace vorblexter {

namespace {

constexpr std::size_t kDisplayChars = 8;

// Fixed texts are exactly kDisplayChars characters; memcpy with the zero byte included.
constexpr char kHugeText[] = " Huge!  ";
constexpr char kMinusInfinityText[] = "  -oo   ";
constexpr char kNotANumberText[] = "  NaN   ";
static_assert(sizeof(kHugeText) == kDisplayChars + 1);
static_assert(sizeof(kMinusInfinityText) == kDisplayChars + 1);
static_assert(sizeof(kNotANumberText) == kDisplayChars + 1);

// Exact in double, unlike pow() on some libraries.
constexpr double kPowersOfTen[] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0, 1000000.0};

void writeFixed(const char (&fixed)[kDisplayChars + 1], char* text)
{
    std::memcpy(text, fixed, kDisplayChars + 1);
}

// x must be finite and non-negative, so the remainder lies in [0, 10) and the conversion is
// defined.
char digitOf(double x)
{
    return static_cast<char>('0' + static_cast<int>(std::fmod(x, 10.0)));
}

} // namespace

// Digits come from truncated remainders and the running value is scaled by 0.1 rather than
// divided by 10, in double throughout: hosts have always shown these exact texts, last digit
// included, so the arithmetic is kept as it is rather than "improved".
//
// An integer part that fills the width (10000000 to 99999999, or -1000000 to -9999999) has no
// room for the point; it is shown as all its digits without the point ("12345678",
// "-1234567") instead of dropping its leading digit, which would show a wrong number.
void formatFloat8(float value, char* text)
{
    if (text == nullptr) {
        return;
    }
    double v = static_cast<double>(value);
    if (std::isnan(v)) {
        writeFixed(kNotANumberText, text);
        return;
    }
    const bool negative = v < 0.0;
    std::size_t count = 0;
    double limit = 99999999.0;
    if (negative) {
        v = -v;
        count = 1;
        limit = 9999999.0;
    }
    // Also catches both infinities, so everything below sees a finite v of at most 8 digits.
    if (v > limit) {
        writeFixed(kHugeText, text);
        return;
    }

    // Built from the right: at most 8 digits, their sign and the point.
    char scratch[kDisplayChars + 2];
    std::size_t start = sizeof(scratch);
    scratch[--start] = '.';
    double x = std::floor(v);
    scratch[--start] = digitOf(x);
    x *= 0.1;
    count += 2;
    while (x >= 1.0 && start > 1) {
        scratch[--start] = digitOf(x);
        x *= 0.1;
        ++count;
    }
    if (negative) {
        scratch[--start] = '-';
    }
    std::size_t length = sizeof(scratch) - start;
    if (count > kDisplayChars) {
        --length; // the point does not fit
        count = kDisplayChars;
    }
    std::memcpy(text, scratch + start, length);
    text[length] = '\0';
    if (count == kDisplayChars) {
        return;
    }

    const std::size_t fractionDigits = kDisplayChars - count;
    double m = std::fmod(v, 1.0) * kPowersOfTen[fractionDigits];
    for (std::size_t i = fractionDigits; i > 0; --i) {
        char digit = '0';
        if (m > 0.0) {
            digit = digitOf(m);
            m *= 0.1;
        }
        text[length + i - 1] = digit;
    }
    text[length + fractionDigits] = '\0';
}

void formatLong8(VstInt32 value, char* text)
{
    if (text == nullptr) {
        return;
    }
    if (value >= 100000000) {
        writeFixed(kHugeText, text);
        return;
    }
    // Room for the widest 32-bit value, "-2147483648", and its zero byte.
    char scratch[16];
    std::snprintf(scratch, sizeof(scratch), "%7ld", static_cast<long>(value));
    std::memcpy(text, scratch, kDisplayChars);
    text[kDisplayChars] = '\0';
}

void writeMinusInfinityText(char* text)
{
    if (text != nullptr) {
        writeFixed(kMinusInfinityText, text);
    }
}

} // namespace vorblexter
