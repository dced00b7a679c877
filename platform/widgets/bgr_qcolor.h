#pragma once

#include <QColor>

namespace platform::widgets {

// A blue-green-red colour value (red in the low byte) as an opaque Qt colour.
inline QColor colorFromBgr(quint32 blueGreenRed)
{
    return QColor(int(blueGreenRed & 0xFF), int((blueGreenRed >> 8) & 0xFF), int((blueGreenRed >> 16) & 0xFF));
}

// The blue-green-red value of a Qt colour; its alpha is not kept.
inline quint32 bgrFromColor(const QColor &color)
{
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

} // namespace platform::widgets
