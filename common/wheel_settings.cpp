#include "common/wheel_settings.h"

#include "common/common_module.h"
#include "common/settings_values.h"

#include <algorithm>

namespace common {

namespace {

constexpr int NotchDelta = 120;
constexpr qint32 MaxLines = 32767;

} // namespace

void LoadWheelSettings(const QString &iniFile, WheelSettings &settings)
{
    if (const std::optional<qint32> enable
        = StrictInteger(GetIniValue(WheelSection, QStringLiteral("Enable"), QStringLiteral("1"), iniFile)))
        settings.WheelEnable = *enable;
    if (const std::optional<qint32> line
        = StrictInteger(GetIniValue(WheelSection, QStringLiteral("Line"), QStringLiteral("2"), iniFile)))
        settings.WheelLine = *line;
}

void WheelSteps::setLineCount(qint32 lines)
{
    m_lines = std::clamp(lines, 0, MaxLines);
    m_pendingDelta = 0;
}

int WheelSteps::rowsFor(int angleDelta)
{
    m_pendingDelta += angleDelta;
    const int notches = m_pendingDelta / NotchDelta;
    m_pendingDelta -= notches * NotchDelta;
    return -notches * m_lines;
}

} // namespace common
