#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/file_list_formats.h"
#include "common/saved_error.h"
#include "platform/flex_grid.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/flex_grid_view.h"
#include "platform/widgets/key_codes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLineEdit>
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
    connect(ExcelSave, &QAction::triggered, this, &Frm_Main::ExcelSave_Click);
    connect(HtmlSave, &QAction::triggered, this, &Frm_Main::HtmlSave_Click);
    connect(CsvSaveKan, &QAction::triggered, this, &Frm_Main::CsvSaveKan_Click);
    connect(CsvSaveTab, &QAction::triggered, this, &Frm_Main::CsvSaveTab_Click);
    connect(CsvSaveStr, &QAction::triggered, this, &Frm_Main::CsvSaveStr_Click);
    connect(ColSortAsc.menu, &QAction::triggered, this, &Frm_Main::ColSortAsc_Click);
    connect(ColSortDsc.menu, &QAction::triggered, this, &Frm_Main::ColSortDsc_Click);
    connect(Linquell.menu, &QAction::triggered, this, &Frm_Main::Linquell_Click);

    for (int side = 0; side < 2; ++side) {
        connect(Txt_FolderPath[side], &QLineEdit::textChanged, this, [this, side] { Txt_FolderPath_Change(side); });
        connect(Btn_InFolderName[side], &QPushButton::clicked, this, [this, side] { Btn_InFolderName_Click(side); });
    }
    connect(Chk_Folder, &QCheckBox::clicked, this, &Frm_Main::Chk_Folder_Click);
    connect(Chk_Nomi, &QCheckBox::clicked, this, &Frm_Main::Chk_Nomi_Click);
    connect(Chk_Data, &QCheckBox::clicked, this, &Frm_Main::Chk_Data_Click);
    connect(CompHistory, &QMenu::triggered, this,
            [this](QAction *item) { CompHistory_Click(int(CompHistory->actions().indexOf(item))); });
    connect(m_gridView, &platform::widgets::FlexGridView::oleDragDrop, this,
            [this](const QStringList &paths) { Grd_Compare_OLEDragDrop(paths); });

    const std::pair<QAction *, void (Frm_Main::*)()> commands[] = {
        {NewDirgleam, &Frm_Main::NewDirgleam_Click},
        {NewLinquell, &Frm_Main::NewLinquell_Click},
        {MnuEnd, &Frm_Main::MnuEnd_Click},
        {SetBinExt, &Frm_Main::SetBinExt_Click},
        {Mnu_FolderNum, &Frm_Main::Mnu_FolderNum_Click},
        {Mnu_LineMax, &Frm_Main::Mnu_LineMax_Click},
        {SetDiffColor, &Frm_Main::SetDiffColor_Click},
        {SetMouseWheel, &Frm_Main::SetMouseWheel_Click},
        {Change1To2, &Frm_Main::Change1To2_Click},
        {JumpNext, &Frm_Main::JumpNext_Click},
        {JumpBefore, &Frm_Main::JumpBefore_Click},
        {Homepage, &Frm_Main::Homepage_Click},
        {XxxReqFaq, &Frm_Main::XxxReqFaq_Click},
        {Version, &Frm_Main::Version_Click},
        {ClipBoardFOld.menu, &Frm_Main::ClipBoardFOld_Click},
        {ClipBoardFNew.menu, &Frm_Main::ClipBoardFNew_Click},
        {OpenText.menu, &Frm_Main::OpenText_Click},
        {OpenExt.menu, &Frm_Main::OpenExt_Click},
        {Properties.menu, &Frm_Main::Properties_Click},
        {AllRowSelect.menu, &Frm_Main::AllRowSelect_Click},
        {ClipBoardCopy.menu, &Frm_Main::ClipBoardCopy_Click},
        {CopyOldToNew.menu, &Frm_Main::CopyOldToNew_Click},
        {CopyNewToOld.menu, &Frm_Main::CopyNewToOld_Click},
        {DeleteOld.menu, &Frm_Main::DeleteOld_Click},
        {DeleteNew.menu, &Frm_Main::DeleteNew_Click},
        {DateChgOld.menu, &Frm_Main::DateChgOld_Click},
        {DateChgNew.menu, &Frm_Main::DateChgNew_Click},
        {CodeChgOld.menu, &Frm_Main::CodeChgOld_Click},
        {CodeChgNew.menu, &Frm_Main::CodeChgNew_Click},
    };
    for (const auto &[action, handler] : commands)
        connect(action, &QAction::triggered, this, handler);

    // A checkable item flips its mark before `triggered`; the handlers flip it themselves.
    const std::pair<QAction *, void (Frm_Main::*)()> options[] = {
        {RecyclerBackup, &Frm_Main::RecyclerBackup_Click}, {TextCrlfNone, &Frm_Main::TextCrlfNone_Click},
        {TextCodeDsp, &Frm_Main::TextCodeDsp_Click},       {UpdDateNone, &Frm_Main::UpdDateNone_Click},
        {NewDateAsta, &Frm_Main::NewDateAsta_Click},       {CsvDblQuot, &Frm_Main::CsvDblQuot_Click},
        {CsvSizeFit, &Frm_Main::CsvSizeFit_Click},         {TxtDifAlll, &Frm_Main::TxtDifAlll_Click},
        {TxtDifNomi, &Frm_Main::TxtDifNomi_Click},         {TxtDifKeis, &Frm_Main::TxtDifKeis_Click},
    };
    for (const auto &[item, handler] : options) {
        connect(item, &QAction::triggered, this, [this, item, handler] {
            item->setChecked(!item->isChecked());
            (this->*handler)();
        });
    }

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
        if (!widget || widget->window() != this)
            return false;
        const int shift = platform::widgets::shiftState(key->modifiers());
        int keyCode = platform::widgets::windowsKeyCode(key);
        if (keyCode == KeyEscape) {
            Form_KeyDown(keyCode, shift);
            return keyCode == 0;
        }
        for (int side = 0; side < 2; ++side) {
            if (watched == Txt_FolderPath[side])
                Txt_FolderPath_KeyDown(side, keyCode, shift);
            else if (watched == Txt_Ext[side])
                Txt_Ext_KeyDown(side, keyCode, shift);
        }
        return false;
    }
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop) {
        for (int side = 0; side < 2; ++side) {
            if (watched != Txt_FolderPath[side])
                continue;
            // Only dropped files count on a path box; dragged text is not pasted into it.
            auto *drop = static_cast<QDropEvent *>(event);
            const QStringList paths = common::LocalFilePaths(*drop->mimeData());
            if (paths.isEmpty()) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            if (event->type() == QEvent::Drop)
                Txt_FolderPath_OLEDragDrop(side, paths);
            return true;
        }
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
    common::SaveErr(0, QCoreApplication::applicationName(), description);
    common::ReportSavedErr(procedure);
}

void Frm_Main::resetGrid()
{
    GridInit();
}

} // namespace foldercompare
