#include "common/window_placement.h"

#include "platform/profile.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <gtest/gtest.h>

#include <limits>

namespace common {
namespace {

TEST(CheckedPlacement, KeepsPlacesWithEnoughOnScreen)
{
    const TwipsRect fallback{0, 0, 15360, 11070};
    const int screenWidth = 1920 * 15;
    const int screenHeight = 1080 * 15;
    const struct
    {
        const char *name;
        TwipsRect placed;
        bool kept;
    } cases[] = {
        {"far off to the left", {-30000, 0, 15360, 11070}, false},
        {"partly left but enough shown", {-1000, 0, 15360, 11070}, true},
        {"exactly 2000 left of the edge", {-13360, 0, 15360, 11070}, true},
        {"one twip less", {-13361, 0, 15360, 11070}, false},
        {"above the top", {0, -9071, 15360, 11070}, false},
        {"right of the screen", {screenWidth - 1999, 0, 15360, 11070}, false},
        {"right edge with 2000 shown", {screenWidth - 2000, 0, 15360, 11070}, true},
        {"below the screen", {0, screenHeight - 1999, 15360, 11070}, false},
        {"normal", {1200, 900, 12000, 9000}, true},
        {"top at the least int", {0, std::numeric_limits<int>::min(), 15360, 0}, false},
        {"left and width at the largest int", {std::numeric_limits<int>::max(), 0, std::numeric_limits<int>::max(), 11070},
         false},
        {"left at the least int, width at the largest", {std::numeric_limits<int>::min(), 0,
                                                         std::numeric_limits<int>::max(), 11070}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CheckedPlacement(c.placed, screenWidth, screenHeight, fallback), c.kept ? c.placed : fallback);
    }
}

class StoredPlacementTest : public ::testing::Test
{
protected:
    QString ini() const { return m_folder.filePath("Program.ini"); }
    QByteArray stored() const { return platform::testing::TemporaryFolder::readFile(ini()); }

    platform::testing::TemporaryFolder m_folder;
};

TEST_F(StoredPlacementTest, EachWindowStateWritesItsKeys)
{
    SavePlacement(ini(), StoredWindowState::Normal, {120, -300, 9000, 7000});
    SavePlacement(ini(), StoredWindowState::Maximized, {0, 0, 30000, 20000});
    SavePlacement(ini(), StoredWindowState::Minimized, {-32000, -32000, 100, 100});
    EXPECT_EQ(stored(), QByteArray("[Window]\nLeft=120\nTop=-300\nWidth=9000\nHeight=7000\nState=2\n"))
        << "maximised keeps the last normal placement; minimised writes nothing";
    const StoredPlacement placement = LoadPlacement(ini());
    EXPECT_EQ(placement.rect, (TwipsRect{120, -300, 9000, 7000}));
    EXPECT_EQ(placement.state, StoredWindowState::Maximized);
}

TEST_F(StoredPlacementTest, NormalStateKeyCanBeLeftToTheResizeTimer)
{
    SavePlacement(ini(), StoredWindowState::Normal, {1, 2, 3000, 4000}, NormalStateKey::Omitted);
    EXPECT_EQ(stored(), QByteArray("[Window]\nLeft=1\nTop=2\nWidth=3000\nHeight=4000\n"));
}

TEST_F(StoredPlacementTest, BadStoredValuesKeepTheirDefaults)
{
    platform::writeProfileString("Window", "Left", "far", ini());
    platform::writeProfileString("Window", "Width", "9000px", ini());
    platform::writeProfileString("Window", "State", "7", ini());
    const StoredPlacement placement = LoadPlacement(ini());
    EXPECT_EQ(placement.rect, (TwipsRect{0, 0, 9000, 11070}));
    EXPECT_EQ(placement.state, StoredWindowState::Normal);
}

TEST_F(StoredPlacementTest, ExtremeStoredValuesAreClamped)
{
    const struct
    {
        const char *name;
        const char *left, *top, *width, *height;
        TwipsRect loaded;
    } cases[] = {
        {"least int everywhere", "-2147483648", "-2147483648", "-2147483648", "-2147483648",
         {-PlacementLimit, -PlacementLimit, 0, 0}},
        {"largest int everywhere", "2147483647", "2147483647", "2147483647", "2147483647",
         {PlacementLimit, PlacementLimit, PlacementLimit, PlacementLimit}},
        {"negative sizes", "100", "-100", "-1", "-15360", {100, -100, 0, 0}},
        {"just inside the limit", "-491505", "491505", "491505", "0", {-491505, 491505, 491505, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        platform::writeProfileString("Window", "Left", c.left, ini());
        platform::writeProfileString("Window", "Top", c.top, ini());
        platform::writeProfileString("Window", "Width", c.width, ini());
        platform::writeProfileString("Window", "Height", c.height, ini());
        EXPECT_EQ(LoadPlacement(ini()).rect, c.loaded);
    }
}

TEST_F(StoredPlacementTest, ExeMutexIsFixedAtTheFirstStart)
{
    const QDateTime first(QDate(2026, 12, 8), QTime(9, 5, 7));
    FixExeMutex(ini(), first);
    EXPECT_EQ(platform::readProfileString("MUTEX", "ExeMutex", "", ini()), "20261208090507");
    FixExeMutex(ini(), first.addDays(3));
    EXPECT_EQ(platform::readProfileString("MUTEX", "ExeMutex", "", ini()), "20261208090507");
    EXPECT_EQ(stored(), QByteArray("[MUTEX]\nExeMutex=20261208090507\n"));
}

} // namespace
} // namespace common
