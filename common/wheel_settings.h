#pragma once

#include <QString>

namespace common {

// The section of the program's settings file that holds the mouse-wheel settings.
inline const QString WheelSection = QStringLiteral("MouseWheel");

// The result grid's mouse-wheel settings, section [MouseWheel] of the program's settings
// file.
struct WheelSettings
{
    qint32 WheelEnable = 0; // "Enable" as read last: non-zero, the program scrolls the grid itself
    qint32 WheelLine = 0;   // "Line" as read last: grid rows per wheel notch
};

// Reads "Enable" (default "1") and then "Line" (default "2") into `settings`. A value
// that is no number leaves its field as it was; a fraction is rounded (halves to even).
void LoadWheelSettings(const QString &iniFile, WheelSettings &settings);

// Turns wheel events into rows by which the grid's top row moves.
class WheelSteps
{
public:
    // Rows per notch. Below 1 the wheel moves nothing; above 32767 it is bounded there.
    void setLineCount(qint32 lines);
    qint32 lineCount() const { return m_lines; }

    // Rows for one wheel event with the vertical angle `angleDelta` (120 per notch,
    // positive when the wheel is turned away from the user): the line count per whole
    // notch, negative (up) away from the user and positive (down) towards the user.
    // Parts of a notch, as fine-grained wheels and touch pads send them, add up until
    // they make a whole notch.
    int rowsFor(int angleDelta);

private:
    qint32 m_lines = 0;
    int m_pendingDelta = 0;
};

} // namespace common
