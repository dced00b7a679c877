#include "common/settings_values.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(SettingsValues, FlagsAreOnUnlessExactlyFalse)
{
    EXPECT_FALSE(ReadFlag("False"));
    for (const char *text : {"True", "false", "FALSE", "", "0", " False"})
        EXPECT_TRUE(ReadFlag(text)) << text;
    EXPECT_EQ(FlagText(true), "True");
    EXPECT_EQ(FlagText(false), "False");
}

TEST(SettingsValues, LeadingNumbers)
{
    const struct
    {
        QString text;
        qint32 expected;
    } cases[] = {
        {"15360", 15360}, {"-30000", -30000}, {"  120abc", 120}, {"+7", 7}, {"2.5", 2},
        {"3.5", 4}, {"99999999999", 2147483647}, {"abc", -1}, {"", -1}, {"-", -1}, {".", -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(LeadingInteger(c.text, -1), c.expected);
    }
}

TEST(SettingsValues, StrictIntegers)
{
    EXPECT_EQ(StrictInteger(" 1 "), 1);
    EXPECT_EQ(StrictInteger("0"), 0);
    EXPECT_EQ(StrictInteger("1.5"), 2);
    EXPECT_FALSE(StrictInteger("1x"));
    EXPECT_FALSE(StrictInteger(""));
    EXPECT_FALSE(StrictInteger("yes"));
}

TEST(SettingsValues, ColoursRoundTrip)
{
    const struct
    {
        QString text;
        quint32 value;
        QString written;
    } cases[] = {
        {"FFFFBB", 0xFFFFBB, "FFFFBB"},
        {"FF", 0xFF, "FF"},
        {"ff00zz", 0xFF00, "FF00"},
        {"1FFFFFF", 0xFFFFFF, "FFFFFF"},
        {"0", 0, "0"},
        {"123456789ABC", 0x789ABC, "789ABC"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(ReadColor(c.text, 0x123456), c.value);
        EXPECT_EQ(ColorText(ReadColor(c.text, 0x123456)), c.written);
    }
    EXPECT_EQ(ReadColor("xyz", 0xBBBBFF), 0xBBBBFFu) << "no digits keeps the default";
}

} // namespace
} // namespace common
