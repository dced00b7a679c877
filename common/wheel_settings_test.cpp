#include "common/wheel_settings.h"

#include "platform/profile.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(LoadWheelSettings, DefaultsWhenAbsent)
{
    platform::testing::TemporaryFolder folder;
    WheelSettings settings;
    LoadWheelSettings(folder.filePath("Dirgleam.ini"), settings);
    EXPECT_EQ(settings.WheelEnable, 1);
    EXPECT_EQ(settings.WheelLine, 2);
}

TEST(LoadWheelSettings, NoNumberKeepsThePreviousValue)
{
    platform::testing::TemporaryFolder folder;
    const QString ini = folder.writeFile("Dirgleam.ini", "[MouseWheel]\nEnable=0\nLine=5\n");
    WheelSettings settings;
    LoadWheelSettings(ini, settings);
    EXPECT_EQ(settings.WheelEnable, 0);
    EXPECT_EQ(settings.WheelLine, 5);

    platform::writeProfileString("MouseWheel", "Line", "many", ini);
    platform::writeProfileString("MouseWheel", "Enable", "", ini);
    LoadWheelSettings(ini, settings);
    EXPECT_EQ(settings.WheelEnable, 0);
    EXPECT_EQ(settings.WheelLine, 5);

    WheelSettings first;
    LoadWheelSettings(ini, first);
    EXPECT_EQ(first.WheelLine, 0) << "nothing read before: the field stays 0";
}

TEST(WheelSteps, OneNotchMovesTheLineCount)
{
    const struct
    {
        const char *name;
        qint32 lines;
        int delta;
        int rows;
    } cases[] = {
        {"away from the user scrolls up", 3, 120, -3},
        {"towards the user scrolls down", 3, -120, 3},
        {"two notches in one event", 2, 240, -4},
        {"zero lines never scroll", 0, -120, 0},
        {"negative lines never scroll", -4, 120, 0},
        {"huge line counts are bounded", 100000, -120, 32767},
        {"a horizontal-only event moves nothing", 3, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WheelSteps steps;
        steps.setLineCount(c.lines);
        EXPECT_EQ(steps.rowsFor(c.delta), c.rows);
    }
}

TEST(WheelSteps, PartsOfANotchAddUp)
{
    WheelSteps steps;
    steps.setLineCount(2);
    EXPECT_EQ(steps.rowsFor(-40), 0);
    EXPECT_EQ(steps.rowsFor(-40), 0);
    EXPECT_EQ(steps.rowsFor(-50), 2);
    EXPECT_EQ(steps.rowsFor(-120), 2) << "the 10 left over stay pending";
    EXPECT_EQ(steps.rowsFor(110), 0) << "turning back uses up the pending part first";
    EXPECT_EQ(steps.rowsFor(20), -2);
}

} // namespace
} // namespace common
