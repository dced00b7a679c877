#include "common/dialogs/main_window_frame.h"

#include "platform/twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QWidget>

namespace common::dialogs {

using platform::pixelsToTwips;
using platform::twipsToPixels;

void PlaceMainWindow(QWidget &window, const StoredPlacement &stored)
{
    const TwipsRect rect = ClampedPlacement(stored.rect);
    window.move(twipsToPixels(rect.left), twipsToPixels(rect.top));
    window.resize(twipsToPixels(rect.width), twipsToPixels(rect.height));
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect();
    const TwipsRect placed{rect.left, rect.top, pixelsToTwips(window.width()), pixelsToTwips(window.height())};
    const TwipsRect checked
        = CheckedPlacement(placed, pixelsToTwips(area.width()), pixelsToTwips(area.height()), DefaultWindowRect);
    if (!(checked == placed)) {
        window.move(twipsToPixels(checked.left), twipsToPixels(checked.top));
        window.resize(twipsToPixels(checked.width), twipsToPixels(checked.height));
    }
    switch (stored.state) {
    case StoredWindowState::Minimized:
        window.setWindowState(Qt::WindowMinimized);
        break;
    case StoredWindowState::Maximized:
        window.setWindowState(Qt::WindowMaximized);
        break;
    case StoredWindowState::Normal:
        break;
    }
}

StoredWindowState WindowStoredState(const QWidget &window)
{
    if (window.isMinimized())
        return StoredWindowState::Minimized;
    if (window.isMaximized())
        return StoredWindowState::Maximized;
    return StoredWindowState::Normal;
}

TwipsRect WindowPlacementTwips(const QWidget &window)
{
    return {pixelsToTwips(window.x()), pixelsToTwips(window.y()), pixelsToTwips(window.width()),
            pixelsToTwips(window.height())};
}

void SaveMainWindowPlacement(const QWidget &window, const QString &iniFile, NormalStateKey normalStateKey)
{
    SavePlacement(iniFile, WindowStoredState(window), WindowPlacementTwips(window), normalStateKey);
}

QStatusBar *BuildStatusPanels(QWidget *parent, std::array<QLabel *, 4> &panels)
{
    auto *bar = new QStatusBar(parent);
    bar->setSizeGripEnabled(false);
    const int panelWidths[4] = {7500, 2500, 2500, 2500};
    for (int panel = 0; panel < 4; ++panel) {
        panels[panel] = new QLabel(bar);
        panels[panel]->setFrameShape(QFrame::Panel);
        panels[panel]->setFrameShadow(QFrame::Sunken);
        panels[panel]->setFixedWidth(twipsToPixels(panelWidths[panel]));
        if (panel > 0)
            panels[panel]->setAlignment(Qt::AlignCenter);
        bar->addWidget(panels[panel]);
    }
    return bar;
}

} // namespace common::dialogs
