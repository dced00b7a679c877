#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "platform/flex_grid.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/flex_grid_view.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace foldercompare {

namespace {

// Pending window events run at most this often while long work pumps them.
constexpr qint64 PumpIntervalMs = 30;

constexpr int KeyEscape = 27;

} // namespace

void Frm_Main::connectHandlers()
{
    qApp->installEventFilter(this);
    for (int side = 0; side < 2; ++side)
        connect(Btn_GetFileInfo[side], &QPushButton::clicked, this, [this, side] { Btn_GetFileInfo_Click(side); });
    connect(Btn_GetFileInfoAll, &QPushButton::clicked, this, &Frm_Main::Btn_GetFileInfoAll_Click);
    connect(Btn_Compare, &QPushButton::clicked, this, &Frm_Main::Btn_Compare_Click);
    connect(Mnu_GetFileInfoAll, &QAction::triggered, this, &Frm_Main::Mnu_GetFileInfoAll_Click);
    connect(Mnu_DiffClear, &QAction::triggered, this, &Frm_Main::Mnu_DiffClear_Click);
    connect(ColSortAsc.menu, &QAction::triggered, this, &Frm_Main::ColSortAsc_Click);
    connect(ColSortDsc.menu, &QAction::triggered, this, &Frm_Main::ColSortDsc_Click);
    connect(Linquell.menu, &QAction::triggered, this, &Frm_Main::Linquell_Click);

    connect(Grd_Compare, &platform::FlexGrid::selChange, this, &Frm_Main::Grd_Compare_SelChange);
    connect(Grd_Compare, &platform::FlexGrid::rowColChange, this, &Frm_Main::Grd_Compare_RowColChange);
    connect(m_gridView, &platform::widgets::FlexGridView::mouseDown, this, &Frm_Main::Grd_Compare_MouseDown);
    connect(m_gridView, &platform::widgets::FlexGridView::mouseUp, this, &Frm_Main::Grd_Compare_MouseUp);
    connect(m_gridView, &platform::widgets::FlexGridView::mouseMove, this, &Frm_Main::Grd_Compare_MouseMove);
    connect(m_gridView, &platform::widgets::FlexGridView::dblClick, this, &Frm_Main::Grd_Compare_DblClick);
    connect(m_gridView, &platform::widgets::FlexGridView::keyDown, this,
            [this](int keyCode, int shift, bool *) { Grd_Compare_KeyDown(keyCode, shift); });
}

bool Frm_Main::windowEvent(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *widget = qobject_cast<QWidget *>(watched);
        auto *key = static_cast<QKeyEvent *>(event);
        if (!widget || widget->window() != this || key->key() != Qt::Key_Escape)
            return false;
        int keyCode = KeyEscape;
        int shift = 0;
        if (key->modifiers() & Qt::ShiftModifier)
            shift |= 1;
        if (key->modifiers() & Qt::ControlModifier)
            shift |= 2;
        if (key->modifiers() & Qt::AltModifier)
            shift |= 4;
        Form_KeyDown(keyCode, shift);
        return keyCode == 0;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        for (int panel = 0; panel < 4; ++panel) {
            if (watched == m_statusPanels[panel]) {
                Sts_Message_PanelClick(panel + 1);
                return false;
            }
        }
    }
    return false;
}

void Frm_Main::Form_KeyDown(int &keyCode, int)
{
    if (keyCode != KeyEscape)
        return;
    try {
        keyCode = 0;
        const QString title = QStringLiteral("Dirgleam");
        if (BusyFlag) {
            if (common::ShowMsg(QStringLiteral("処理を中止しますか？"), platform::MessageStyle::YesNo, title)
                == platform::MessageAnswer::Yes)
                AbortFlag = true;
            return;
        }
        if (InstanceNumber == 1
            && common::ShowMsg(QStringLiteral("プログラムを終了しますか？"), platform::MessageStyle::YesNo, title)
                   != platform::MessageAnswer::Yes)
            return;
        close();
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Form_KeyDown"));
    }
}

void Frm_Main::Sts_Message_PanelClick(int)
{
    try {
        std::array<QString, 3> texts;
        for (int panel = 1; panel <= 3; ++panel)
            texts[panel - 1] = statusText(panel);
        for (int panel = 1; panel <= 3; ++panel)
            setStatus(panel, statusTip(panel));
        for (int panel = 1; panel <= 3; ++panel)
            setStatusTip(panel, texts[panel - 1]);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Sts_Message_PanelClick"));
    }
}

bool Frm_Main::abortRequested() const
{
    return AbortFlag;
}

void Frm_Main::pumpEvents()
{
    if (m_pumpTimer.isValid() && m_pumpTimer.elapsed() < PumpIntervalMs)
        return;
    QCoreApplication::processEvents();
    m_pumpTimer.start();
}

void Frm_Main::showProgress(const QString &caption)
{
    setWindowTitle(caption);
}

void Frm_Main::reportFailure(const QString &procedure, const QString &description)
{
    try {
        throw common::Failure(0, QCoreApplication::applicationName(), description);
    } catch (...) {
        common::SaveErr();
    }
    common::ReportSavedErr(procedure);
}

void Frm_Main::resetGrid()
{
    GridInit();
}

} // namespace foldercompare
