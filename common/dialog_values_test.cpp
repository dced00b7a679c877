#include "common/dialog_values.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(SettingNumber, RoundsFirstThenRefusesBelowOne)
{
    const struct
    {
        QString text;
        std::optional<qint32> expected;
    } cases[] = {
        {"1", 1},
        {"30000", 30000},
        {"2.5", 2},
        {"3.5", 4},
        {"  12abc", 12},
        {"1.5", 2},
        {"0.4", std::nullopt},
        {"0.5", std::nullopt},
        {"0", std::nullopt},
        {"-5", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"99999999999999999999", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(SettingNumber(c.text), c.expected);
    }
}

TEST(ExtensionList, BlanksAndPointsGoEmptyPiecesStay)
{
    EXPECT_EQ(CleanExtensionText(" .zip , LZH"), "zip,LZH");
    EXPECT_EQ(SplitExtensionList("zip,LZH"), QStringList({"zip", "LZH"}));
    EXPECT_EQ(SplitExtensionList("zip,,exe"), QStringList({"zip", "", "exe"}));
    EXPECT_TRUE(SplitExtensionList("").isEmpty());
    EXPECT_EQ(SplitExtensionList(CleanExtensionText(" . ")), QStringList());
}

TEST(ColorBox, SixDigitsShownLeadingDigitsRead)
{
    EXPECT_EQ(ColorBoxText(0xFF), "0000FF");
    EXPECT_EQ(ColorBoxText(0x88FFFF), "88FFFF");
    EXPECT_EQ(ColorBoxText(0xab12cd), "AB12CD");
    EXPECT_EQ(ColorBoxValue("FF"), 0xFFu);
    EXPECT_EQ(ColorBoxValue("XYZ"), 0u);
    EXPECT_EQ(ColorBoxValue(""), 0u);
    EXPECT_EQ(ColorBoxValue("12G4"), 0x12u);
}

TEST(DateBoxes, PresetKeepsTheMinuteAndZeroesTheSeconds)
{
    const std::array<QString, 6> boxes = DateBoxPresets(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 33)));
    const std::array<QString, 6> expected{"2024", "03", "05", "14", "07", "00"};
    EXPECT_EQ(boxes, expected);
}

TEST(DateBoxes, LeavingABoxNormalizesIt)
{
    const struct
    {
        QString text;
        int index;
        QString expected;
    } cases[] = {
        {"5", 1, "05"}, {"", 2, "00"}, {"24", 0, "0024"}, {"2024", 0, "2024"},
        {"7 ", 3, "07"}, {"1 2", 4, "12"}, {"x", 5, "00"}, {"12345", 0, "2345"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(NormalizedDateBox(c.text, c.index), c.expected);
    }
}

TEST(DateBoxes, AnswerOnlyForAValidDateAndTime)
{
    using Boxes = std::array<QString, 6>;
    EXPECT_EQ(DateChangeAnswer(Boxes{"2024", "03", "05", "14", "07", "00"}), "2024/03/05 14:07:00");
    EXPECT_EQ(DateChangeAnswer(Boxes{"2024", "02", "29", "23", "59", "59"}), "2024/02/29 23:59:59");
    const Boxes refused[] = {
        {"2024", "02", "30", "00", "00", "00"}, {"2023", "02", "29", "00", "00", "00"},
        {"2024", "13", "01", "00", "00", "00"}, {"2024", "01", "32", "00", "00", "00"},
        {"2024", "01", "01", "24", "00", "00"}, {"2024", "01", "01", "00", "60", "00"},
        {"0000", "01", "01", "00", "00", "00"}, {"2024", "", "01", "00", "00", "00"},
        {"2024", "0 1", "01", "00", "00", "00"},
    };
    for (const Boxes &boxes : refused) {
        SCOPED_TRACE((boxes[0] + "/" + boxes[1] + "/" + boxes[2] + " " + boxes[3] + ":" + boxes[4]).toStdString());
        EXPECT_FALSE(DateChangeAnswer(boxes));
    }
}

} // namespace
} // namespace common
