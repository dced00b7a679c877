#include "common/dialogs/main_window_frame.h"

#include "platform/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <limits>

namespace common::dialogs {
namespace {

using platform::twipsToPixels;

TEST(PlaceMainWindow, ExtremeStoredValuesAreClampedBeforeThePlacing)
{
    constexpr int least = std::numeric_limits<int>::min();
    constexpr int largest = std::numeric_limits<int>::max();
    const int limit = twipsToPixels(PlacementLimit);
    const QRect fallback(0, 0, twipsToPixels(DefaultWindowRect.width), twipsToPixels(DefaultWindowRect.height));
    const struct
    {
        const char *name;
        TwipsRect stored;
        QRect placed;
    } cases[] = {
        {"least int everywhere", {least, least, least, least}, fallback},
        {"far off to the left and huge", {least, least, largest, largest}, fallback},
        {"largest size at the origin", {0, 0, largest, largest}, QRect(0, 0, limit, limit)},
        {"far below the screen", {0, largest, 15360, 11070}, fallback},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QWidget window;
        PlaceMainWindow(window, StoredPlacement{c.stored, StoredWindowState::Normal});
        EXPECT_EQ(window.geometry(), c.placed);
    }
}

} // namespace
} // namespace common::dialogs
