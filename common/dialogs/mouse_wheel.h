#pragma once

#include "common/wheel_settings.h"
#include "platform/widgets/flex_grid_view.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace common::dialogs {

// Wheel scrolling of a result grid by the program itself: while a grid is hooked, each
// wheel notch over it moves the grid's top row by [MouseWheel] Line rows (up when the
// wheel turns away from the user), whatever the desktop's own wheel setting. A grid with
// nothing to scroll, and sideways wheel turns, keep the grid's own handling. One grid is
// hooked at a time in the program.
class MouseWheel : public QObject
{
    Q_OBJECT

public:
    // The program's one instance, created on first use.
    static MouseWheel &instance();

    // Reads [MouseWheel] Enable and Line from `iniFile`. When Enable is non-zero it hooks
    // `grid` with Line rows per notch, unhooking a grid hooked before (also to take a new
    // line count). When Enable is 0 nothing is hooked and a grid hooked earlier stays so:
    // switching off goes through Destroy.
    void Initialize(platform::widgets::FlexGridView *grid, const QString &iniFile);
    // Unhooks the hooked grid and forgets it; harmless when none is hooked.
    void Destroy();

    // The grid now hooked; nullptr when none.
    platform::widgets::FlexGridView *hookedGrid() const { return m_hookedGrid; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MouseWheel() = default;

    QPointer<platform::widgets::FlexGridView> m_hookedGrid;
    WheelSettings m_settings;
    WheelSteps m_steps;
};

} // namespace common::dialogs
