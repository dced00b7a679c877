#include "common/window_placement.h"

#include "common/common_module.h"

#include <algorithm>

namespace common {

TwipsRect ClampedPlacement(const TwipsRect &rect)
{
    return {std::clamp(rect.left, -PlacementLimit, PlacementLimit), std::clamp(rect.top, -PlacementLimit, PlacementLimit),
            std::clamp(rect.width, 0, PlacementLimit), std::clamp(rect.height, 0, PlacementLimit)};
}

TwipsRect CheckedPlacement(const TwipsRect &placed, int screenWidth, int screenHeight, const TwipsRect &fallback)
{
    constexpr qint64 visibleMargin = 2000;
    const qint64 left = placed.left;
    const qint64 top = placed.top;
    const bool offScreen = left + placed.width - visibleMargin < 0 || top + placed.height - visibleMargin < 0
                           || left + visibleMargin > screenWidth || top + visibleMargin > screenHeight;
    return offScreen ? fallback : placed;
}

StoredPlacement LoadPlacement(const QString &iniFile)
{
    const QString window = QStringLiteral("Window");
    StoredPlacement placement;
    TwipsRect &rect = placement.rect;
    rect.left = ReadIniNumber(window, QStringLiteral("Left"), rect.left, iniFile);
    rect.top = ReadIniNumber(window, QStringLiteral("Top"), rect.top, iniFile);
    rect.width = ReadIniNumber(window, QStringLiteral("Width"), rect.width, iniFile);
    rect.height = ReadIniNumber(window, QStringLiteral("Height"), rect.height, iniFile);
    rect = ClampedPlacement(rect);
    placement.state = StoredWindowState(ReadIniChoice(window, QStringLiteral("State"), 0, 2, 0, iniFile));
    return placement;
}

void SavePlacement(const QString &iniFile, StoredWindowState state, const TwipsRect &rect,
                   NormalStateKey normalStateKey)
{
    const QString window = QStringLiteral("Window");
    switch (state) {
    case StoredWindowState::Normal:
        WriteSetting(window, QStringLiteral("Left"), QString::number(rect.left), iniFile);
        WriteSetting(window, QStringLiteral("Top"), QString::number(rect.top), iniFile);
        WriteSetting(window, QStringLiteral("Width"), QString::number(rect.width), iniFile);
        WriteSetting(window, QStringLiteral("Height"), QString::number(rect.height), iniFile);
        if (normalStateKey == NormalStateKey::Written)
            WriteSetting(window, QStringLiteral("State"), QStringLiteral("0"), iniFile);
        break;
    case StoredWindowState::Maximized:
        WriteSetting(window, QStringLiteral("State"), QStringLiteral("2"), iniFile);
        break;
    case StoredWindowState::Minimized:
        break;
    }
}

void FixExeMutex(const QString &iniFile, const QDateTime &now)
{
    const QString value = GetIniValue(QStringLiteral("MUTEX"), QStringLiteral("ExeMutex"),
                                      now.toString(QStringLiteral("yyyyMMddHHmmss")), iniFile);
    WriteIniValue(QStringLiteral("MUTEX"), QStringLiteral("ExeMutex"), value, iniFile);
}

} // namespace common
