#include "tools/parameter_args.h"

#include "tools/hosted_effect.h"
#include "tools/plugin_loader.h"
#include "tools/tests/support/tool_test_support.h"
#include "tools/tool_error.h"

#include <gtest/gtest.h>

#include <bit>
#include <memory>
#include <string>
#include <vector>

namespace vorblexter::tool {
namespace {

TEST(ParameterAssignment, SplitsAtTheFirstEqualsSignAndTrims)
{
    const ParameterAssignment cuts = parseAssignment("  Cuts/Bar = 16 ");
    EXPECT_EQ(cuts.name, "Cuts/Bar");
    EXPECT_EQ(cuts.value, "16");
    const ParameterAssignment loop = parseAssignment("Loop Length=8");
    EXPECT_EQ(loop.name, "Loop Length");
    EXPECT_EQ(loop.value, "8");
    for (const char* text : {"Reverse", "=30", "Reverse=", "  =  "}) {
        EXPECT_THROW(parseAssignment(text), UsageError) << text;
    }
}

// The real plug-in, opened and resumed as a host would before playing.
class EffectParameters : public ::testing::Test {
protected:
    EffectParameters() : library(testing::pluginPath()), effect(library, HostIdentity{})
    {
        effect.open(44100.0, 512);
        effect.resume();
        table = std::make_unique<ParameterTable>(effect);
    }

    std::string messageOf(const std::string& text)
    {
        try {
            table->resolve(parseAssignment(text));
        } catch (const ToolError& error) {
            return error.what();
        }
        return "(no error)";
    }

    PluginLibrary library;
    HostedEffect effect;
    std::unique_ptr<ParameterTable> table;
};

TEST_F(EffectParameters, NamesFindTheSharedTableIgnoringCaseAndSpacesOrByIndex)
{
    ASSERT_EQ(table->all().size(), std::size_t{kParameterCount});
    for (const ParameterInfo& parameter : table->all()) {
        EXPECT_EQ(parameter.entry, &kParameters[parameter.index]) << parameter.name;
    }
    const std::vector<std::pair<const char*, std::int32_t>> cases{
        {"Reverse", 0},    {"cuts/bar", 3},    {"  LOOP LENGTH ", 7},
        {"looplength", 7}, {"loop-length", 7}, {"3", 3},
        {"7", 7},          {"SILENCE", 6},
    };
    for (const auto& [name, index] : cases) {
        EXPECT_EQ(table->find(name).index, index) << name;
    }
}

TEST_F(EffectParameters, UnknownNamesListTheParameters)
{
    for (const char* text : {"Feedback=3", "8=1", "-1=1"}) {
        const std::string message = messageOf(text);
        EXPECT_NE(message.find("no parameter"), std::string::npos) << message;
        EXPECT_NE(message.find("0 Reverse"), std::string::npos) << message;
        EXPECT_NE(message.find("7 Loop Length"), std::string::npos) << message;
    }
}

TEST_F(EffectParameters, ImpossibleValuesSayWhatTheParameterTakes)
{
    const std::vector<std::pair<const char*, const char*>> cases{
        {"Cuts/Bar=12", "Cuts/Bar cannot be 12: it takes 1, 2, 4, 8, 16, 32 or 64"},
        {"Loop Length=128", "it takes 1, 2, 4, 8, 16, 32 or 64"},
        {"Reverse=101", "Reverse cannot be 101: it takes whole percent from 0 to 100"},
        {"Reverse=-1", "whole percent from 0 to 100"},
        {"Vorblex=30.5", "whole percent from 0 to 100"},
        {"Envelope=0", "Envelope cannot be 0: it takes whole samples from 1 to 10000"},
        {"Envelope=10001", "whole samples from 1 to 10000"},
        {"Variation=often", "Variation cannot be often"},
        {"Reverse=1.5n", "a raw host value lies from 0 to 1"},
    };
    for (const auto& [text, expected] : cases) {
        const std::string message = messageOf(text);
        EXPECT_NE(message.find(expected), std::string::npos) << text << " -> " << message;
    }
}

// Every whole number in each parameter's range: one it can hold is sent by the table's inverse
// and read back from the effect's own display; any other is refused.
TEST_F(EffectParameters, EveryDisplayValueReadsBackExactly)
{
    int mismatches = 0;
    for (const ParameterInfo& parameter : table->all()) {
        const ParameterSpec& entry = *parameter.entry;
        for (std::int32_t quantity = entry.minimum; quantity <= entry.maximum; ++quantity) {
            const ParameterAssignment assignment{parameter.name, std::to_string(quantity)};
            if (entry.kind == ParameterKind::powerOfTwoStep &&
                !std::has_single_bit(static_cast<std::uint32_t>(quantity))) {
                EXPECT_THROW(table->resolve(assignment), ToolError) << assignment.value;
                continue;
            }
            const ResolvedSetting setting = table->resolve(assignment);
            effect.setParameter(setting.index, setting.normalized);
            const std::string shown = effect.parameterDisplay(setting.index);
            if (shown != assignment.value && ++mismatches <= 5) {
                ADD_FAILURE() << parameter.name << "=" << quantity << " displays " << shown;
            }
            EXPECT_TRUE(setting.normalized >= 0.0f && setting.normalized <= 1.0f);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// A raw host value is sent as written; a unit may follow a display value.
TEST_F(EffectParameters, RawValuesAndUnits)
{
    const ResolvedSetting reverse = table->resolve(parseAssignment("Reverse=0.57n"));
    EXPECT_EQ(reverse.normalized, 0.57f);
    EXPECT_EQ(applySetting(effect, reverse), 56);
    EXPECT_EQ(effect.parameter(0), 0.57f);
    EXPECT_EQ(applySetting(effect, table->resolve(parseAssignment("Cuts/Bar=0.9N"))), 64);
    EXPECT_EQ(applySetting(effect, table->resolve(parseAssignment("Reverse=30%"))), 30);
    EXPECT_EQ(applySetting(effect, table->resolve(parseAssignment("Loop Length=8 beats"))), 8);
    EXPECT_EQ(applySetting(effect, table->resolve(parseAssignment("Variation=2 loops"))), 2);
    EXPECT_NE(messageOf("Cuts/Bar=8%").find("cannot be"), std::string::npos);
}

TEST(ParameterMapping, UnknownParametersTakeOnlyRawValues)
{
    const ParameterTable table({ParameterInfo{0, "Drive", "dB", nullptr}});
    EXPECT_EQ(table.resolve(parseAssignment("drive=0.25n")).normalized, 0.25f);
    EXPECT_FALSE(table.resolve(parseAssignment("drive=0.25n")).expectedQuantity);
    EXPECT_THROW(table.resolve(parseAssignment("drive=3")), ToolError);
}

} // namespace
} // namespace vorblexter::tool
