#include "common/dialogs/mouse_wheel.h"

#include "platform/flex_grid.h"
#include "platform/widgets/flex_grid_view.h"

#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace common::dialogs {

namespace {

// Wheel events reach the cells area, the vertical scroll bar, or the view itself when
// they come up from its headers.
QList<QObject *> wheelTargets(platform::widgets::FlexGridView *grid)
{
    return {grid, grid->viewport(), grid->verticalScrollBar()};
}

} // namespace

MouseWheel &MouseWheel::instance()
{
    static MouseWheel wheel;
    return wheel;
}

void MouseWheel::Initialize(platform::widgets::FlexGridView *grid, const QString &iniFile)
{
    LoadWheelSettings(iniFile, m_settings);
    if (m_settings.WheelEnable == 0 || !grid)
        return;
    if (m_hookedGrid)
        Destroy();
    m_steps.setLineCount(m_settings.WheelLine);
    m_hookedGrid = grid;
    for (QObject *target : wheelTargets(grid))
        target->installEventFilter(this);
}

void MouseWheel::Destroy()
{
    if (m_hookedGrid) {
        for (QObject *target : wheelTargets(m_hookedGrid))
            target->removeEventFilter(this);
    }
    m_hookedGrid = nullptr;
}

bool MouseWheel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || !m_hookedGrid)
        return QObject::eventFilter(watched, event);
    const int delta = static_cast<QWheelEvent *>(event)->angleDelta().y();
    const QScrollBar *bar = m_hookedGrid->verticalScrollBar();
    if (delta == 0 || bar->maximum() <= bar->minimum())
        return false;
    if (const int rows = m_steps.rowsFor(delta)) {
        platform::FlexGrid *grid = m_hookedGrid->grid();
        grid->setTopRow(std::clamp(grid->topRow() + rows, grid->fixedRows(), std::max(grid->fixedRows(), grid->rows() - 1)));
    }
    return true;
}

} // namespace common::dialogs
