#include "host/parameter_text.h"

#include "host/effect_base.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace vorblexter {
namespace {

constexpr char kSentinel = '\x5a';

// A buffer far wider than the display so writes past the ninth byte become visible.
struct TextBuffer {
    std::array<char, 32> bytes{};

    TextBuffer() { bytes.fill(kSentinel); }

    char* data() { return bytes.data(); }

    std::string text() const { return std::string(bytes.data()); }

    // Bytes 9 and on must still hold the sentinel, and the text must end within the first 9.
    void expectStaysInDisplayWidth() const
    {
        const void* end = std::memchr(bytes.data(), '\0', 9);
        EXPECT_NE(end, nullptr) << "no terminating zero within 9 bytes";
        for (std::size_t i = 9; i < bytes.size(); ++i) {
            EXPECT_EQ(bytes[i], kSentinel) << "byte " << i << " was written";
        }
    }
};

struct FloatCase {
    float value;
    const char* expected;
};

std::string floatText(float value)
{
    TextBuffer buffer;
    formatFloat8(value, buffer.data());
    buffer.expectStaysInDisplayWidth();
    return buffer.text();
}

TEST(FloatText, FillsEightCharactersTruncatingAndShowsFixedTextsBeyondThem)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // In order: point and fraction fill the width; the fraction is cut, not rounded (each float
    // lies just below the decimal written); an integer part that fills the width ends with the
    // point, and one that overflows it drops the point rather than a leading digit (99999992 is
    // the largest float not above the limit); beyond the limits, infinities and NaN.
    const FloatCase cases[] = {
        {0.0f, "0.000000"},        {1.5f, "1.500000"},         {123.456f, "123.4560"},
        {44100.0f, "44100.00"},    {-1.5f, "-1.50000"},        {-0.25f, "-0.25000"},
        {-0.0f, "0.000000"},       {9.75f, "9.750000"},        {1000.0f, "1000.000"},
        {0.7f, "0.699999"},        {-0.7f, "-0.69999"},        {2.3f, "2.299999"},
        {1234567.0f, "1234567."},  {9999999.0f, "9999999."},   {-999999.0f, "-999999."},
        {-123456.75f, "-123456."}, {10000000.0f, "10000000"},  {12345678.0f, "12345678"},
        {99999992.0f, "99999992"}, {-1000000.0f, "-1000000"},  {-1234567.5f, "-1234567"},
        {-9999999.0f, "-9999999"}, {100000000.0f, " Huge!  "}, {-10000000.0f, " Huge!  "},
        {3.0e38f, " Huge!  "},     {-3.0e38f, " Huge!  "},     {inf, " Huge!  "},
        {-inf, " Huge!  "},        {nan, "  NaN   "},          {-nan, "  NaN   "}};
    for (const FloatCase& c : cases) {
        EXPECT_EQ(floatText(c.value), c.expected) << "value " << c.value;
        formatFloat8(c.value, nullptr); // ignored: a write through it would crash the program
    }
    TextBuffer minusInfinity;
    writeMinusInfinityText(minusInfinity.data());
    minusInfinity.expectStaysInDisplayWidth();
    EXPECT_EQ(minusInfinity.text(), "  -oo   ");
    writeMinusInfinityText(nullptr); // ignored
}

TEST(FloatText, IsAlwaysExactlyEightCharacters)
{
    // Powers of ten and their neighbours cross every change in the integer digit count.
    for (float magnitude = 1.0e-6f; magnitude < 2.0e8f; magnitude *= 10.0f) {
        for (float value : {magnitude, magnitude * 0.999f, magnitude * 1.001f, -magnitude,
                            -magnitude * 0.999f, -magnitude * 1.001f}) {
            EXPECT_EQ(floatText(value).size(), 8u) << "value " << value;
        }
    }
}

class TextEffect : public EffectBase {
public:
    TextEffect() : EffectBase(nullptr, 1, 1) {}
    void process(float**, float**, VstInt32) override {}
};

// Marks every float2string call so tests can see the helpers go through the object.
class MarkedTextEffect : public TextEffect {
public:
    void float2string(float value, char* text) override
    {
        lastValue = value;
        std::strcpy(text, "marked");
    }
    float lastValue = -1.0f;
};

std::string callText(void (EffectBase::*helper)(float, char*), EffectBase& effect, float value)
{
    TextBuffer buffer;
    (effect.*helper)(value, buffer.data());
    buffer.expectStaysInDisplayWidth();
    return buffer.text();
}

TEST(LongText, RightAlignsInSevenAndCutsAfterEightThroughTheObjectToo)
{
    const struct {
        VstInt32 value;
        const char* expected;
    } cases[] = {
        {0, "      0"},           {42, "     42"},
        {-42, "    -42"},         {1234567, "1234567"},
        {99999999, "99999999"},   {-1234567, "-1234567"},
        {-123456789, "-1234567"}, {std::numeric_limits<VstInt32>::min(), "-2147483"},
        {100000000, " Huge!  "},  {std::numeric_limits<VstInt32>::max(), " Huge!  "},
    };
    TextEffect effect;
    for (const auto& c : cases) {
        formatLong8(c.value, nullptr); // ignored
        TextBuffer direct;
        TextBuffer throughObject;
        formatLong8(c.value, direct.data());
        effect.long2string(c.value, throughObject.data());
        for (const TextBuffer* buffer : {&direct, &throughObject}) {
            buffer->expectStaysInDisplayWidth();
            EXPECT_EQ(buffer->text(), c.expected) << "value " << c.value;
        }
    }
}

TEST(EffectBaseText, HelpersConvertAtTheSampleRateAndShowTheFloatText)
{
    using Helper = void (EffectBase::*)(float, char*);
    constexpr Helper dB = &EffectBase::dB2string;
    constexpr Helper hz = &EffectBase::Hz2string;
    constexpr Helper ms = &EffectBase::ms2string;
    const struct {
        Helper helper;
        float rate;
        float value;
        const char* expected;
    } cases[] = {
        {dB, 44100.0f, 1.0f, "0.000000"},     {dB, 44100.0f, 0.5f, "-6.02059"},
        {dB, 44100.0f, 10.0f, "20.00000"},    {dB, 44100.0f, 0.0f, "  -oo   "},
        {dB, 44100.0f, -1.0f, "  -oo   "},    {dB, 44100.0f, std::nanf(""), "  -oo   "},
        {hz, 48000.0f, 480.0f, "100.0000"},   {hz, 1000.0f, 4.0f, "250.0000"},
        {hz, 1000.0f, 0.0f, "0.000000"},      {hz, 44100.0f, 0.0f, "0.000000"},
        {hz, 0.0f, 0.0f, "0.000000"},         {ms, 1000.0f, 250.0f, "250.0000"},
        {ms, 44100.0f, 44100.0f, "1000.000"}, {ms, 44100.0f, 22050.0f, "500.0000"},
    };
    TextEffect effect;
    for (const auto& c : cases) {
        effect.setSampleRate(c.rate);
        EXPECT_EQ(callText(c.helper, effect, c.value), c.expected)
            << "value " << c.value << " at " << c.rate;
    }
}

TEST(EffectBaseText, HelpersGoThroughOverriddenFloatText)
{
    MarkedTextEffect effect;
    effect.setSampleRate(1000.0f);

    EXPECT_EQ(callText(&EffectBase::dB2string, effect, 10.0f), "marked");
    EXPECT_FLOAT_EQ(effect.lastValue, 20.0f);

    EXPECT_EQ(callText(&EffectBase::Hz2string, effect, 4.0f), "marked");
    EXPECT_FLOAT_EQ(effect.lastValue, 250.0f);

    EXPECT_EQ(callText(&EffectBase::ms2string, effect, 500.0f), "marked");
    EXPECT_FLOAT_EQ(effect.lastValue, 500.0f);

    // The floor of the decibel scale is a fixed text, not a number for float2string.
    effect.lastValue = -1.0f;
    EXPECT_EQ(callText(&EffectBase::dB2string, effect, 0.0f), "  -oo   ");
    EXPECT_FLOAT_EQ(effect.lastValue, -1.0f);
}

} // namespace
} // namespace vorblexter
