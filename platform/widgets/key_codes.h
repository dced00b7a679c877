#pragma once

#include <Qt>

class QKeyEvent;

namespace platform::widgets {

// Key and modifier codes as the window handlers compare them.

// The modifier bits: 1 Shift, 2 Ctrl, 4 Alt.
int shiftState(Qt::KeyboardModifiers modifiers);

// The Windows virtual-key code of a key: digits and letters their upper-case character
// (keypad digits 96 to 105), F1 upwards 112 upwards, Enter 13, Escape 27 and the other
// editing and moving keys their codes; 0 for keys that the handlers never look at.
int windowsKeyCode(const QKeyEvent *event);

} // namespace platform::widgets
