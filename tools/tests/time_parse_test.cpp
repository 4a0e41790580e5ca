#include "tools/time_parse.h"

#include "tools/tool_error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorblexter::tool {
namespace {

TEST(TimeParse, ReadsEveryUnitAndSpacing)
{
    struct Case {
        const char* text;
        double amount;
        TimeUnit unit;
    };
    const std::vector<Case> cases{
        {"12s", 12.0, TimeUnit::seconds},       {"250ms", 0.25, TimeUnit::seconds},
        {" 1.5 sec ", 1.5, TimeUnit::seconds},  {"32beats", 32.0, TimeUnit::beats},
        {"1beat", 1.0, TimeUnit::beats},        {"9bars", 9.0, TimeUnit::bars},
        {"1 BAR", 1.0, TimeUnit::bars},         {"-2bars", -2.0, TimeUnit::bars},
        {"1000", 1000.0, TimeUnit::frames},     {"1000frames", 1000.0, TimeUnit::frames},
        {"64 samples", 64.0, TimeUnit::frames},
    };
    for (const Case& c : cases) {
        const TimeValue time = parseTime(c.text, TimeUnit::frames, "test");
        EXPECT_DOUBLE_EQ(time.amount, c.amount) << c.text;
        EXPECT_EQ(time.unit, c.unit) << c.text;
    }
    EXPECT_EQ(parseTime("4", TimeUnit::bars, "jump").unit, TimeUnit::bars);
}

TEST(TimeParse, RejectsWhatIsNotATime)
{
    for (const char* text : {"", "bars", "12 parsecs", "1.2.3s", "s12", "12s3", "inf"}) {
        EXPECT_THROW(parseTime(text, TimeUnit::frames, "--at"), UsageError) << text;
    }
    try {
        parseTime("3 weeks", TimeUnit::frames, "--start");
        FAIL() << "no error";
    } catch (const UsageError& error) {
        EXPECT_NE(std::string(error.what()).find("--start: unknown unit 'weeks'"),
                  std::string::npos)
            << error.what();
    }
}

TEST(TimeParse, FramesFollowRateTempoAndSignature)
{
    const Timeline common{44100.0, 120.0, {4, 4}};
    EXPECT_EQ(framesFor({12.0, TimeUnit::seconds}, common), 529200);
    EXPECT_EQ(framesFor({0.25, TimeUnit::seconds}, common), 11025);
    EXPECT_EQ(framesFor({32.0, TimeUnit::beats}, common), 705600);
    EXPECT_EQ(framesFor({9.0, TimeUnit::bars}, common), 793800);
    EXPECT_EQ(framesFor({-1.0, TimeUnit::bars}, common), -88200);
    EXPECT_EQ(framesFor({1000.0, TimeUnit::frames}, common), 1000);
    EXPECT_EQ(framesFor({1.5, TimeUnit::frames}, common), 2) << "rounds to the nearest frame";

    // Beats are quarter notes; a bar lasts numerator x 4 / denominator of them.
    EXPECT_EQ(framesFor({1.0, TimeUnit::bars}, Timeline{44100.0, 120.0, {3, 4}}), 66150);
    EXPECT_EQ(framesFor({1.0, TimeUnit::bars}, Timeline{44100.0, 120.0, {6, 8}}), 66150);
    EXPECT_EQ(framesFor({8.0, TimeUnit::beats}, Timeline{44100.0, 120.0, {6, 8}}), 176400);
    EXPECT_EQ(framesFor({1.0, TimeUnit::beats}, Timeline{48000.0, 128.0, {4, 4}}), 22500);

    EXPECT_THROW(framesFor({1e300, TimeUnit::bars}, common), ToolError);
}

TEST(TimeSignatureParse, AcceptsUsualSignaturesOnly)
{
    const TimeSignature waltz = parseTimeSignature(" 3/4 ");
    EXPECT_EQ(waltz.numerator, 3);
    EXPECT_EQ(waltz.denominator, 4);
    const TimeSignature seven = parseTimeSignature("7/8");
    EXPECT_EQ(seven.numerator, 7);
    EXPECT_EQ(seven.denominator, 8);
    for (const char* text : {"4", "0/4", "4/3", "4/0", "65/4", "a/b", "3/4/4", "4/64", "2.5/4"}) {
        EXPECT_THROW(parseTimeSignature(text), UsageError) << text;
    }
}

TEST(NumberParse, WholeNumbersStayInTheirRange)
{
    EXPECT_EQ(parseWholeNumber("512", 1, 65536, "--block-size"), 512);
    EXPECT_EQ(parseWholeNumber("+7", 1, 10, "x"), 7);
    for (const char* text : {"0", "65537", "12.5", "12x", "", "0x10"}) {
        EXPECT_THROW(parseWholeNumber(text, 1, 65536, "--block-size"), UsageError) << text;
    }
}

} // namespace
} // namespace vorblexter::tool
