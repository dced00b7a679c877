#pragma once

#include <QtGlobal>

namespace platform {

// Colours are kept as blue-green-red values: red in the low byte, then green, then blue;
// the byte above blue is not part of the colour.

// The 0xRRGGBB value of a blue-green-red colour value.
constexpr quint32 rgbFromBgr(quint32 blueGreenRed)
{
    return ((blueGreenRed & 0xFF) << 16) | (blueGreenRed & 0xFF00) | ((blueGreenRed >> 16) & 0xFF);
}

} // namespace platform
