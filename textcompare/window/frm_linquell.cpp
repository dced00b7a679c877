#include "textcompare/window/frm_linquell.h"

#include "common/associated_program.h"
#include "common/common_module.h"
#include "common/dialogs/dialog_support.h"
#include "common/dialogs/file_drop.h"
#include "common/dialogs/main_window_frame.h"
#include "common/dialogs/mouse_wheel.h"
#include "common/file_list_formats.h"
#include "common/saved_error.h"
#include "common/settings_values.h"
#include "common/window_placement.h"
#include "platform/atomic_file.h"
#include "platform/flex_grid.h"
#include "platform/program_folder.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/flex_grid_view.h"
#include "platform/widgets/key_codes.h"
#include "textcompare/window/diff_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QDateTime>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace textcompare {

namespace {

using common::dialogs::placeTwips;

const QString CaptionText = QStringLiteral("テキスト差分表示ツール");
const QString BusyText = QStringLiteral("処理中(ESCで中止)");

constexpr int GridLeft = 190;
constexpr int GridTop = 900;
constexpr int ResizeSettleMs = 3000;

} // namespace

Frm_Linquell::Frm_Linquell(QWidget *parent)
    : QMainWindow(parent)
{
    buildControls();
    buildMenus();
    connectHandlers();
    Form_Load();
}

Frm_Linquell::~Frm_Linquell()
{
    if (m_dropHooked)
        common::dialogs::EndFileDrop();
    // An unattended run ends without the unload. After the unload the work folder may be
    // another window's already, with downloads of the same names.
    if (m_instance.lock)
        removeDownloads();
}

void Frm_Linquell::removeDownloads()
{
    for (const QString &download : TempFilePaths)
        if (!download.isEmpty())
            QFile::remove(download);
}

void Frm_Linquell::buildControls()
{
    m_client = new QWidget(this);
    setCentralWidget(m_client);
    m_client->installEventFilter(this);

    const QString sideCaptions[2] = {QStringLiteral("ファイル１(旧)"), QStringLiteral("ファイル２(新)")};
    const QString codeTips[2] = {QStringLiteral("ファイル１の文字コードを指定します(-：自動判定)"),
                                 QStringLiteral("ファイル２の文字コードを指定します(-：自動判定)")};
    for (int side = 0; side < 2; ++side) {
        const int rowTop = side == 0 ? 90 : 495;
        Label1[side] = new QLabel(sideCaptions[side], m_client);
        placeTwips(Label1[side], 90, side == 0 ? 180 : 585, 1275, 240);
        Txt_FilePath[side] = new QLineEdit(m_client);
        Txt_FilePath[side]->installEventFilter(this);
        placeTwips(Txt_FilePath[side], 1440, rowTop, 3525, 330);
        Btn_InFilePath[side] = new QPushButton(QStringLiteral("..."), m_client);
        placeTwips(Btn_InFilePath[side], 4995, rowTop, 420, 350);
        Cmb_FileCode[side] = new QComboBox(m_client);
        Cmb_FileCode[side]->addItems(FileCodeNames());
        Cmb_FileCode[side]->setToolTip(codeTips[side]);
        placeTwips(Cmb_FileCode[side], 5535, side == 0 ? 120 : 525, 1050, 300);
        // As wide as the longest code name needs in the list's font ("UNICODE" is cut
        // otherwise); the controls behind it follow its width when the window is laid
        // out.
        Cmb_FileCode[side]->resize(std::max(Cmb_FileCode[side]->width(), Cmb_FileCode[side]->sizeHint().width()),
                                   Cmb_FileCode[side]->height());
    }
    Lbl_HanteiLine = new QLabel(QStringLiteral("差分調整係数"), m_client);
    placeTwips(Lbl_HanteiLine, 6750, 180, 1140, 240);
    Cmb_HanteiLine = new QComboBox(m_client);
    for (int factor = 1; factor <= 30; ++factor)
        Cmb_HanteiLine->addItem(QString::number(factor));
    // The dropped-down list has room for all thirty factors.
    Cmb_HanteiLine->setMaxVisibleItems(30);
    Cmb_HanteiLine->setToolTip(QStringLiteral("差分表示を手動で微調整します"));
    placeTwips(Cmb_HanteiLine, 7965, 135, 600, 300);
    Lbl_Hanteiline2 = new QLabel(QStringLiteral("("), m_client);
    placeTwips(Lbl_Hanteiline2, 8595, 195, 60, 195);
    Chk_HanteiLine = new QCheckBox(QStringLiteral("自動調整)"), m_client);
    Chk_HanteiLine->setToolTip(QStringLiteral("差分表示を自動で微調整します"));
    placeTwips(Chk_HanteiLine, 8730, 180, 1140, 225);
    Chk_Nomi = new QCheckBox(QStringLiteral("差分のみ"), m_client);
    placeTwips(Chk_Nomi, 6750, 540, 1140, 285);
    Btn_DiffList = new QPushButton(QStringLiteral("差分解析"), m_client);
    Btn_DiffList->setToolTip(QStringLiteral("指定の差分調整係数で差分表示をします"));
    placeTwips(Btn_DiffList, 7965, 495, 1100, 350);
    Btn_DiffClear = new QPushButton(QStringLiteral("クリア"), m_client);
    Btn_DiffClear->setToolTip(QStringLiteral("ファイル１/ファイル２/一覧の表示を消去します"));
    placeTwips(Btn_DiffClear, 9120, 480, 700, 350);
    // The drop box sits in the free corner of the menu bar (buildMenus).
    Txt_Drop = new QLineEdit;
    Txt_Drop->setReadOnly(true);
    Txt_Drop->setToolTip(QStringLiteral("ここにファイルまたはフォルダをドロップ"));
    Txt_Drop->setPlaceholderText(QStringLiteral("ドロップ"));
    Txt_Drop->setFixedWidth(platform::twipsToPixels(1500));

    m_gridView = new platform::widgets::FlexGridView(m_client);
    Grd_Compare = m_gridView->grid();
    placeTwips(m_gridView, GridLeft, GridTop, 8595, 2310);
    Pic_Diff = new DiffBar(m_client);
    placeTwips(Pic_Diff, 0, 1150, 200, 2020);
    Pic_Line = {Pic_Diff->marker(0), Pic_Diff->marker(1)};

    Sts_Message = common::dialogs::BuildStatusPanels(m_client, m_statusPanels);

    Tmr_Resize = new QTimer(this);
    Tmr_Resize->setInterval(ResizeSettleMs);
    Tmr_Resize->setSingleShot(true);

    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        int keyCode = 27;
        Form_KeyDown(keyCode, 0);
    });
}

void Frm_Linquell::buildMenus()
{
    auto command = [this](const QString &caption, const QKeySequence &shortcut = QKeySequence()) {
        auto *action = new QAction(caption, this);
        action->setShortcut(shortcut);
        return action;
    };
    auto rowCommand = [&](RowCommand &twins, const QString &caption, const QKeySequence &shortcut,
                          const QString &popupCaption = QString()) {
        twins.menu = command(caption, shortcut);
        twins.popup = new QAction(popupCaption.isEmpty() ? caption : popupCaption, this);
        connect(twins.popup, &QAction::triggered, twins.menu, &QAction::trigger);
    };
    auto option = [this](const QString &caption) {
        auto *action = new QAction(caption, this);
        action->setCheckable(true);
        return action;
    };
    const auto ctrl = [](int key) { return QKeySequence(Qt::CTRL | key); };

    rowCommand(LineText, QStringLiteral("１行文字列比較..."), ctrl(Qt::Key_F1), QStringLiteral("１行文字列比較"));
    rowCommand(OpenText, QStringLiteral("テキストエディタで開く"), ctrl(Qt::Key_F2));
    rowCommand(OpenExt, QStringLiteral("拡張子に関連づけられたプログラムで開く"), ctrl(Qt::Key_F3));
    rowCommand(Properties, QStringLiteral("ローカルファイルのプロパティ..."), ctrl(Qt::Key_F4),
               QStringLiteral("ローカルファイルのプロパティ"));
    rowCommand(DateChg, QStringLiteral("ローカルファイルの日時情報変更..."), ctrl(Qt::Key_B));
    rowCommand(CodeChg, QStringLiteral("ローカルファイルの文字コード変換..."), ctrl(Qt::Key_G));
    rowCommand(LineTextE, QStringLiteral("編集：１行文字列比較/編集..."), ctrl(Qt::Key_L));
    rowCommand(LineDelete, QStringLiteral("編集：選択行の削除"), ctrl(Qt::Key_D));
    rowCommand(LineInsert1, QStringLiteral("編集：選択行の挿入(↑)"), ctrl(Qt::Key_I));
    rowCommand(LineInsert2, QStringLiteral("編集：選択行の挿入(↓)"), ctrl(Qt::Key_Insert));
    rowCommand(LineCopy, QStringLiteral("編集：選択行を隣へコピー"), ctrl(Qt::Key_M));
    rowCommand(EditRedo, QStringLiteral("編集：編集を元に戻す"), ctrl(Qt::Key_U));
    rowCommand(AllRowSelect, QStringLiteral("すべての行を選択"), ctrl(Qt::Key_A));
    rowCommand(ClipBoardCopy, QStringLiteral("選択行をクリップボードへコピー"), ctrl(Qt::Key_C));
    rowCommand(ClipBoardPaste, QStringLiteral("クリックボードからの貼り付け"), ctrl(Qt::Key_V));

    NewDirgleam = command(QStringLiteral("新しいウィンドウ　フォルダ比較"), ctrl(Qt::Key_W));
    NewLinquell = command(QStringLiteral("新しいウィンドウ　ファイル比較"), ctrl(Qt::Key_Q));
    Mnu_DiffList = command(QStringLiteral("差分解析および比較表示"));
    Mnu_DiffListNomi = command(QStringLiteral("差分解析および比較表示(差分のみ切替)"), QKeySequence(Qt::Key_F6));
    Mnu_DiffClear = command(QStringLiteral("PATH入力と比較表示のクリア"), QKeySequence(Qt::Key_F7));
    Change1To2 = command(QStringLiteral("ファイル１とファイル２の入れ替え"), QKeySequence(Qt::Key_F8));
    ExcelSave = command(QStringLiteral("表示内容をエクセル形式で保存..."));
    HtmlSave = command(QStringLiteral("表示内容をHTML形式で保存..."));
    CsvSaveKan = command(QStringLiteral("表示内容をCSV形式で保存(カンマ区切)..."));
    CsvSaveTab = command(QStringLiteral("表示内容をCSV形式で保存(タブ区切)..."));
    CsvSaveStr = command(QStringLiteral("表示内容をCSV形式で保存(任意区切)..."));
    MnuEnd = command(QStringLiteral("終了(&X)"));
    JumpNext = command(QStringLiteral("次の差分行へジャンプ（↓）"), QKeySequence(Qt::Key_F4));
    JumpBefore = command(QStringLiteral("前の差分行へジャンプ（↑）"), QKeySequence(Qt::SHIFT | Qt::Key_F4));
    SearchText = command(QStringLiteral("文字列検索..."), ctrl(Qt::Key_F));
    SearchNext = command(QStringLiteral("次の文字列検索（↓）"), QKeySequence(Qt::Key_F3));
    SearchBefore = command(QStringLiteral("次の文字列検索（↑）"), QKeySequence(Qt::SHIFT | Qt::Key_F3));
    SetBinExt = command(QStringLiteral("バイナリ(BIN)判定する拡張子の設定..."));
    SetLenOfRow = command(QStringLiteral("折り返し文字数(１行に表示する文字数)..."));
    Mnu_LineMax = command(QStringLiteral("表示行数50000超への挑戦..."));
    SetDiffColor = command(QStringLiteral("差分背景色の設定..."));
    SetEditor = command(QStringLiteral("テキストエディタのPATH等の設定..."));
    SetExcel = command(QStringLiteral("EXCELファイル読込条件の設定..."));
    SetProxy = command(QStringLiteral("プロキシサーバの設定..."));
    SetMouseWheel = command(QStringLiteral("マウスホイールのスクロール設定..."));
    Homepage = command(QStringLiteral("Varnholt Webページ"));
    XxxReqFaq = command(QStringLiteral("マニュアル/要望/最新版等のWebページ"));
    Version = command(QStringLiteral("バージョン情報..."));

    NoSpaceCheck = option(QStringLiteral("空白文字の違いを差分としない"));
    NoULChrCheck = option(QStringLiteral("大文字と小文字を区別しない"));
    DspSpaceChar = option(QStringLiteral("空白文字を可視化する"));
    XlsFormatCnd = option(QStringLiteral("表示内容保存(エクセル)時に条件付書式(差分判定用)を出力する"));
    CsvDblQuot = option(QStringLiteral("表示内容保存(CSV)時にダブルクオーテーションで囲む"));
    CsvHtmlUni = option(QStringLiteral("表示内容保存(CSV/HTML)時にUNICODEで出力する"));

    MenuF = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    MenuF->addAction(NewDirgleam);
    MenuF->addAction(NewLinquell);
    MenuF->addSeparator();
    for (QAction *item : {Mnu_DiffList, Mnu_DiffListNomi, Mnu_DiffClear, Change1To2})
        MenuF->addAction(item);
    MenuF->addSeparator();
    for (QAction *item : {ExcelSave, HtmlSave, CsvSaveKan, CsvSaveTab, CsvSaveStr})
        MenuF->addAction(item);
    MenuF->addSeparator();
    for (QAction *item : {CsvDblQuot, CsvHtmlUni, XlsFormatCnd})
        MenuF->addAction(item);
    MenuF->addSeparator();
    for (int index = 0; index < int(CompHistory.size()); ++index) {
        CompHistory[index] = MenuF->addAction(QStringLiteral("履歴"));
        CompHistory[index]->setVisible(false);
    }
    MenuF->addSeparator();
    MenuF->addAction(MnuEnd);

    MenuE = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    for (RowCommand *item : {&AllRowSelect, &ClipBoardCopy, &ClipBoardPaste})
        MenuE->addAction(item->menu);
    MenuE->addSeparator();
    for (RowCommand *item : {&LineTextE, &LineCopy, &LineDelete, &LineInsert1, &LineInsert2, &EditRedo})
        MenuE->addAction(item->menu);

    MenuT = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
    for (RowCommand *item : {&LineText, &OpenText, &OpenExt})
        MenuT->addAction(item->menu);
    MenuT->addSeparator();
    for (RowCommand *item : {&Properties, &DateChg, &CodeChg})
        MenuT->addAction(item->menu);
    MenuT->addSeparator();
    MenuT->addAction(JumpNext);
    MenuT->addAction(JumpBefore);
    MenuT->addSeparator();
    MenuT->addAction(SearchText);
    MenuT->addAction(SearchNext);
    MenuT->addAction(SearchBefore);

    MenuS = menuBar()->addMenu(QStringLiteral("設定(&S)"));
    for (QAction *item : {NoSpaceCheck, NoULChrCheck, DspSpaceChar})
        MenuS->addAction(item);
    MenuS->addSeparator();
    for (QAction *item : {SetBinExt, SetLenOfRow, Mnu_LineMax, SetDiffColor, SetEditor})
        MenuS->addAction(item);
    MenuS->addSeparator();
    // The dialogs of the sources read from Excel sheets and through proxy servers.
    MenuS->addAction(SetExcel);
    MenuS->addAction(SetProxy);
    MenuS->addSeparator();
    MenuS->addAction(SetMouseWheel);

    menuBar()->setCornerWidget(Txt_Drop, Qt::TopRightCorner);

    MenuH = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    MenuH->addAction(Homepage);
    MenuH->addAction(XxxReqFaq);
    MenuH->addSeparator();
    MenuH->addAction(Version);

    PopUp = new QMenu(QStringLiteral("ポップアップ"), this);
    const QList<QList<RowCommand *>> popupGroups = {
        {&LineText, &OpenText, &OpenExt},
        {&Properties, &DateChg, &CodeChg},
        {&LineTextE, &LineCopy, &LineDelete, &LineInsert1, &LineInsert2, &EditRedo},
        {&AllRowSelect, &ClipBoardCopy, &ClipBoardPaste},
    };
    for (const QList<RowCommand *> &group : popupGroups) {
        if (!PopUp->isEmpty())
            PopUp->addSeparator();
        for (RowCommand *item : group)
            PopUp->addAction(item->popup);
    }
}

QList<Frm_Linquell::RowCommand *> Frm_Linquell::governedRowCommands()
{
    return {&LineText,  &OpenText,   &OpenExt,     &Properties,  &DateChg,  &CodeChg,
            &LineTextE, &LineDelete, &LineInsert1, &LineInsert2, &LineCopy, &EditRedo};
}

void Frm_Linquell::connectHandlers()
{
    for (int side = 0; side < 2; ++side) {
        connect(Cmb_FileCode[side], &QComboBox::currentIndexChanged, this, [this, side] { Cmb_FileCode_Click(side); });
        connect(Txt_FilePath[side], &QLineEdit::textChanged, this, [this, side] { Txt_FilePath_Change(side); });
        connect(Btn_InFilePath[side], &QPushButton::clicked, this, [this, side] { Btn_InFilePath_Click(side); });
    }
    connect(Btn_DiffList, &QPushButton::clicked, this, &Frm_Linquell::Btn_DiffList_Click);
    connect(Btn_DiffClear, &QPushButton::clicked, this, &Frm_Linquell::Btn_DiffClear_Click);
    connect(Chk_HanteiLine, &QCheckBox::clicked, this, &Frm_Linquell::Chk_HanteiLine_Click);
    connect(Cmb_HanteiLine, &QComboBox::activated, this, &Frm_Linquell::Cmb_HanteiLine_Click);
    // The box acts on every change of its value, also one made from code.
    connect(Chk_Nomi, &QCheckBox::toggled, this, &Frm_Linquell::Chk_Nomi_Click);
    for (int index = 0; index < int(CompHistory.size()); ++index)
        connect(CompHistory[index], &QAction::triggered, this, [this, index] { CompHistory_Click(index); });
    connect(Tmr_Resize, &QTimer::timeout, this, &Frm_Linquell::Tmr_Resize_Timer);
    connect(Pic_Diff, &DiffBar::mouseDown, this, &Frm_Linquell::Pic_Diff_MouseDown);

    const std::pair<QAction *, void (Frm_Linquell::*)()> commands[] = {
        {LineText.menu, &Frm_Linquell::LineText_Click},
        {OpenText.menu, &Frm_Linquell::OpenText_Click},
        {OpenExt.menu, &Frm_Linquell::OpenExt_Click},
        {Properties.menu, &Frm_Linquell::Properties_Click},
        {DateChg.menu, &Frm_Linquell::DateChg_Click},
        {CodeChg.menu, &Frm_Linquell::CodeChg_Click},
        {LineTextE.menu, &Frm_Linquell::LineTextE_Click},
        {LineDelete.menu, &Frm_Linquell::LineDelete_Click},
        {LineInsert1.menu, &Frm_Linquell::LineInsert1_Click},
        {LineInsert2.menu, &Frm_Linquell::LineInsert2_Click},
        {LineCopy.menu, &Frm_Linquell::LineCopy_Click},
        {EditRedo.menu, &Frm_Linquell::EditRedo_Click},
        {AllRowSelect.menu, &Frm_Linquell::AllRowSelect_Click},
        {ClipBoardCopy.menu, &Frm_Linquell::ClipBoardCopy_Click},
        {ClipBoardPaste.menu, &Frm_Linquell::ClipBoardPaste_Click},
        {NewDirgleam, &Frm_Linquell::NewDirgleam_Click},
        {NewLinquell, &Frm_Linquell::NewLinquell_Click},
        {Mnu_DiffList, &Frm_Linquell::Mnu_DiffList_Click},
        {Mnu_DiffListNomi, &Frm_Linquell::Mnu_DiffListNomi_Click},
        {Mnu_DiffClear, &Frm_Linquell::Mnu_DiffClear_Click},
        {Change1To2, &Frm_Linquell::Change1To2_Click},
        {ExcelSave, &Frm_Linquell::ExcelSave_Click},
        {HtmlSave, &Frm_Linquell::HtmlSave_Click},
        {CsvSaveKan, &Frm_Linquell::CsvSaveKan_Click},
        {CsvSaveTab, &Frm_Linquell::CsvSaveTab_Click},
        {CsvSaveStr, &Frm_Linquell::CsvSaveStr_Click},
        {MnuEnd, &Frm_Linquell::MnuEnd_Click},
        {JumpNext, &Frm_Linquell::JumpNext_Click},
        {JumpBefore, &Frm_Linquell::JumpBefore_Click},
        {SearchText, &Frm_Linquell::SearchText_Click},
        {SearchNext, &Frm_Linquell::SearchNext_Click},
        {SearchBefore, &Frm_Linquell::SearchBefore_Click},
        {SetBinExt, &Frm_Linquell::SetBinExt_Click},
        {SetLenOfRow, &Frm_Linquell::SetLenOfRow_Click},
        {Mnu_LineMax, &Frm_Linquell::Mnu_LineMax_Click},
        {SetDiffColor, &Frm_Linquell::SetDiffColor_Click},
        {SetEditor, &Frm_Linquell::SetEditor_Click},
        {SetExcel, &Frm_Linquell::SetExcel_Click},
        {SetProxy, &Frm_Linquell::SetProxy_Click},
        {SetMouseWheel, &Frm_Linquell::SetMouseWheel_Click},
        {Homepage, &Frm_Linquell::Homepage_Click},
        {XxxReqFaq, &Frm_Linquell::XxxReqFaq_Click},
        {Version, &Frm_Linquell::Version_Click},
    };
    for (const auto &[action, handler] : commands)
        connect(action, &QAction::triggered, this, handler);

    // A checkable item flips its mark before `triggered`; the handlers flip it themselves.
    const std::pair<QAction *, void (Frm_Linquell::*)()> options[] = {
        {NoSpaceCheck, &Frm_Linquell::NoSpaceCheck_Click}, {NoULChrCheck, &Frm_Linquell::NoULChrCheck_Click},
        {DspSpaceChar, &Frm_Linquell::DspSpaceChar_Click}, {XlsFormatCnd, &Frm_Linquell::XlsFormatCnd_Click},
        {CsvDblQuot, &Frm_Linquell::CsvDblQuot_Click},     {CsvHtmlUni, &Frm_Linquell::CsvHtmlUni_Click},
    };
    for (const auto &[item, handler] : options) {
        connect(item, &QAction::triggered, this, [this, item, handler] {
            item->setChecked(!item->isChecked());
            (this->*handler)();
        });
    }

    // A shortcut reaches its item even while the item's menu is disabled; in busy mode no
    // command may start inside the running one.
    for (QMenu *menu : {MenuF, MenuE, MenuT, MenuS, MenuH})
        for (QAction *item : menu->actions())
            item->installEventFilter(this);

    using platform::widgets::FlexGridView;
    connect(Grd_Compare, &platform::FlexGrid::selChange, this, &Frm_Linquell::Grd_Compare_SelChange);
    connect(Grd_Compare, &platform::FlexGrid::rowColChange, this, &Frm_Linquell::Grd_Compare_RowColChange);
    connect(Grd_Compare, &platform::FlexGrid::scroll, this, &Frm_Linquell::Grd_Compare_Scroll);
    connect(m_gridView, &FlexGridView::mouseDown, this, &Frm_Linquell::Grd_Compare_MouseDown);
    connect(m_gridView, &FlexGridView::mouseUp, this, &Frm_Linquell::Grd_Compare_MouseUp);
    connect(m_gridView, &FlexGridView::mouseMove, this, &Frm_Linquell::Grd_Compare_MouseMove);
    connect(m_gridView, &FlexGridView::dblClick, this, &Frm_Linquell::Grd_Compare_DblClick);
    connect(m_gridView, &FlexGridView::keyDown, this,
            [this](int keyCode, int shift, bool *) { Grd_Compare_KeyDown(keyCode, shift); });
    connect(m_gridView, &FlexGridView::oleDragDrop, this,
            [this](const QStringList &paths) { Grd_Compare_OLEDragDrop(paths); });
}

void Frm_Linquell::Form_Load()
{
    try {
        DiffDisplayTable = DisplayTable();
        const QString folder = platform::programFolder();
        const QString exeName = platform::executableName();
        IniPath = folder + u'/' + exeName + QStringLiteral(".ini");
        const QString refusal = common::SettingsFileRefusal(IniPath);
        if (!refusal.isEmpty())
            platform::dialogs().messageBox(refusal, platform::MessageStyle::OkOnly | platform::MessageStyle::IconExclamation,
                                           QString());

        // The settings file keeps the name base fixed at the first start; the number itself
        // is claimed by the lock of its work folder.
        common::FixExeMutex(IniPath, QDateTime::currentDateTime());
        m_instance = common::TakeInstanceNumber(folder, exeName);
        InstanceNumber = m_instance.number;
        setWindowTitle(CaptionText + u'(' + QString::number(InstanceNumber) + u')');
        // Downloads go into the work folder that the instance lock makes this window's
        // alone and nobody else may enter: a download there, or a temporary file beside
        // one, is what a killed run left behind.
        for (int side = 0; side < 2; ++side) {
            TempFilePaths[side]
                = m_instance.workFolder + u'/' + exeName + QString::number(side + 1) + QStringLiteral(".tmp");
            platform::removeStaleTemporaryFilesOf(TempFilePaths[side]);
            // Earlier versions kept the downloads beside the settings, open to all readers.
            QFile::remove(folder + u'/' + exeName + common::InstanceDigits(InstanceNumber) + u'-'
                          + QString::number(side + 1) + QStringLiteral(".tmp"));
        }
        removeDownloads();
        // The undo copy lies in the work folder that the instance lock holds.
        FileEditing.setWorkFolder(m_instance.workFolder, exeName + QStringLiteral("5.tmp"));

        LinquellSettings settings = LoadLinquellSettings(IniPath);
        if (settings.Editor.isEmpty())
            settings.Editor = DefaultEditorCommand(common::GetAssociatedExe(QStringLiteral("txt")));
        applySettings(settings);
        // The defaults that stand in for a settings file that the program does not use
        // are not written into it.
        m_settingsLoaded = refusal.isEmpty();
        for (QComboBox *codeList : Cmb_FileCode)
            codeList->setCurrentIndex(0);
        placeWindow();

        const QString programs = platform::executableFolder();
        OwnExePath = programs + u'/' + exeName;
        FolderCompareExePath = programs + QStringLiteral("/Dirgleam");

        GridInit();
        common::dialogs::MouseWheel::instance().Initialize(m_gridView, IniPath);
        m_dropHooked = common::dialogs::StartFileDrop(Txt_Drop, [this](const QStringList &paths) { Form_Drop(paths); });
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Form_Load"));
    }
}

void Frm_Linquell::applySettings(const LinquellSettings &s)
{
    Cmb_HanteiLine->setCurrentText(QString::number(s.HanteiLine));
    LineMax = s.LineMax;
    Chk_Nomi->setChecked(s.Nomi == 1);
    NoSpaceCheck->setChecked(s.NoSpaceCheck);
    NoULChrCheck->setChecked(s.NoULChrCheck);
    DspSpaceChar->setChecked(s.DspSpaceChar);
    DspSpTab = s.DspSpTab;
    DspSpHsp = s.DspSpHsp;
    DspSpZsp = s.DspSpZsp;
    XlsFormatCnd->setChecked(s.XlsFormatCnd);
    CsvDblQuot->setChecked(s.CsvDblQuot);
    CsvHtmlUni->setChecked(s.CsvHtmlUni);
    BinJdExt = s.BinJdExt;
    LenOfRow = s.LenOfRow;
    Colors = s.Colors;
    SearchStr = s.SearchStr;
    Editor = s.Editor;
    MaxLine = s.MaxLine;
    SheetNo = s.SheetNo;
    Server_HTTP = s.Server_HTTP;
    Server_FTP = s.Server_FTP;
    TimeOut = s.TimeOut;
    HistoryItems = s.History;
    showHistory();
}

void Frm_Linquell::showHistory()
{
    for (int index = 0; index < int(CompHistory.size()); ++index) {
        QAction *item = CompHistory[index];
        const bool used = index < HistoryItems.size();
        item->setText(used ? common::HistoryItemLabel(HistoryItems[index]) : QStringLiteral("履歴"));
        item->setVisible(used);
    }
}

LinquellSettings Frm_Linquell::currentSettings() const
{
    LinquellSettings s;
    s.HanteiLine = Cmb_HanteiLine->currentText().toInt();
    s.LineMax = LineMax;
    s.Nomi = Chk_Nomi->isChecked() ? 1 : 0;
    s.NoSpaceCheck = NoSpaceCheck->isChecked();
    s.NoULChrCheck = NoULChrCheck->isChecked();
    s.DspSpaceChar = DspSpaceChar->isChecked();
    s.DspSpTab = DspSpTab;
    s.DspSpHsp = DspSpHsp;
    s.DspSpZsp = DspSpZsp;
    s.XlsFormatCnd = XlsFormatCnd->isChecked();
    s.CsvDblQuot = CsvDblQuot->isChecked();
    s.CsvHtmlUni = CsvHtmlUni->isChecked();
    s.BinJdExt = BinJdExt;
    s.LenOfRow = LenOfRow;
    s.Colors = Colors;
    s.SearchStr = SearchStr;
    s.Editor = Editor;
    s.MaxLine = MaxLine;
    s.SheetNo = SheetNo;
    s.Server_HTTP = Server_HTTP;
    s.Server_FTP = Server_FTP;
    s.TimeOut = TimeOut;
    s.History = HistoryItems;
    return s;
}

void Frm_Linquell::placeWindow()
{
    common::dialogs::PlaceMainWindow(*this, common::LoadPlacement(IniPath));
}

void Frm_Linquell::GridInit()
{
    try {
        platform::resetGrid(*Grd_Compare, {
            {600, QStringLiteral("No."), platform::FlexAlign::RightCenter},
            {600, QStringLiteral("状態"), platform::FlexAlign::CenterCenter},
            {600, QStringLiteral("行No."), platform::FlexAlign::RightCenter},
            {4000, QStringLiteral("ファイル１"), platform::FlexAlign::LeftCenter},
            {4000, QStringLiteral("ファイル２"), platform::FlexAlign::LeftCenter},
            {600, QStringLiteral("行No."), platform::FlexAlign::RightCenter},
        });
        DiffDisplayTable = DisplayTable(Grd_Compare->rows());
        m_barRuns.clear();
        Pic_Diff->setBoxes({});
        Pic_Diff->hideMarkers();
        Form_Resize();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("GridInit"));
    }
}

void Frm_Linquell::Form_Activate()
{
    if (CodeListReady)
        return;
    CodeListReady = true;
    if (!Txt_FilePath[0]->text().isEmpty() || !Txt_FilePath[1]->text().isEmpty())
        runFirstComparison();
    else
        Txt_FilePath[0]->setFocus();
}

void Frm_Linquell::runFirstComparison()
{
    try {
        CancelFlag = false;
        ProgrsFlag = true;
        setStatus(0, BusyText);
        // Events run before the comparison locks the window itself: no click may start a
        // second comparison meanwhile.
        LockControls(true);
        QCoreApplication::processEvents();
        DiffList(0);
        CancelFlag = false;
        ProgrsFlag = false;
        setStatus(0, QString());
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        CancelFlag = false;
        ProgrsFlag = false;
        setStatus(0, QString());
        common::ShowSavedErr(QStringLiteral("Form_Activate"));
    }
}

void Frm_Linquell::Form_KeyDown(int &KeyCode, int)
{
    if (KeyCode != 27)
        return;
    KeyCode = 0;
    try {
        if (ProgrsFlag) {
            if (platform::dialogs().messageBox(QStringLiteral("処理を中止しますか？"), platform::MessageStyle::YesNo,
                                               QStringLiteral("Linquell"))
                == platform::MessageAnswer::Yes)
                CancelFlag = true;
        } else if (platform::dialogs().messageBox(QStringLiteral("プログラムを終了しますか？"),
                                                  platform::MessageStyle::YesNo, QStringLiteral("Linquell"))
                   == platform::MessageAnswer::Yes) {
            close();
        }
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Form_KeyDown"));
    }
}

void Frm_Linquell::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Tmr_Resize->stop();
    try {
        // A window whose load step failed holds defaults, not what the file holds, so it
        // writes no settings back over the stored ones.
        if (m_settingsLoaded) {
            SaveLinquellSettings(IniPath, currentSettings());
            common::dialogs::SaveMainWindowPlacement(*this, IniPath, common::NormalStateKey::Omitted);
        }
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Form_Unload"));
    }
    common::dialogs::MouseWheel &wheel = common::dialogs::MouseWheel::instance();
    if (wheel.hookedGrid() == m_gridView)
        wheel.Destroy();
    if (m_dropHooked)
        common::dialogs::EndFileDrop();
    m_dropHooked = false;
    removeDownloads();
    m_instance.lock.reset();
}

QString Frm_Linquell::statusText(int panel) const
{
    return m_statusPanels[panel]->text();
}

void Frm_Linquell::setStatus(int panel, const QString &text)
{
    m_statusPanels[panel]->setText(text);
}

bool Frm_Linquell::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Shortcut && MousePointer != 0)
        return true;
    if (watched == m_client && event->type() == QEvent::Resize) {
        Form_Resize();
        return QMainWindow::eventFilter(watched, event);
    }
    for (int side = 0; side < 2; ++side) {
        if (watched != Txt_FilePath[side])
            continue;
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            Txt_FilePath_KeyDown(side, platform::widgets::windowsKeyCode(key),
                                 platform::widgets::shiftState(key->modifiers()));
            return false;
        }
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop) {
            // Only dropped files count on a path box; dragged text is not pasted into it.
            auto *drop = static_cast<QDropEvent *>(event);
            const QStringList paths = common::LocalFilePaths(*drop->mimeData());
            if (paths.isEmpty() || !(drop->possibleActions() & Qt::CopyAction)) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            if (event->type() == QEvent::Drop)
                Txt_FilePath_OLEDragDrop(side, paths);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Frm_Linquell::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        QTimer::singleShot(0, this, &Frm_Linquell::Form_Activate);
    return QMainWindow::event(event);
}

void Frm_Linquell::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

} // namespace textcompare
