#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/dialogs/dialog_support.h"
#include "common/dialogs/main_window_frame.h"
#include "common/dialogs/file_drop.h"
#include "common/dialogs/frm_fl_nm_code.h"
#include "common/dialogs/frm_proxy.h"
#include "common/dialogs/mouse_wheel.h"
#include "common/dialogs/progress_class.h"
#include "common/instance_slot.h"
#include "common/saved_error.h"
#include "common/window_placement.h"
#include "foldercompare/listing/result_rows.h"
#include "platform/atomic_file.h"
#include "platform/flex_grid.h"
#include "platform/program_folder.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/flex_grid_view.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>

#include <algorithm>


namespace foldercompare {

namespace {

using common::dialogs::placeTwips;
using platform::pixelsToTwips;
using platform::twipsToPixels;

const QString BaseCaptionText = QStringLiteral("フォルダ内のファイル比較ツール");

// Height of the status bar and the grid's top, in twips.
constexpr int StatusBarHeight = 300;
constexpr int GridTop = 1710;
// The designed widths of the date boxes and of the grid's two side columns, in twips:
// wider where the font needs it.
constexpr int DateBoxWidth = 1860;
constexpr int SideColumnWidth = 2000;
// The designed width of the "No." column, wider where its numbers need it.
constexpr int NumberColumnWidth = 600;
// The controls right of the path boxes take this much of the window's width, in twips.
constexpr int RightOfPathBoxes = 5650;

// A date and time as the date boxes and the grid show it ("2026/12/09 00:05:55"), written
// in the widest digit of `metrics`, so that every date fits where this one does.
QString widestDate(const QFontMetrics &metrics)
{
    return QStringLiteral("0000/00/00 00:00:00").replace(u'0', platform::widgets::widestDigit(metrics));
}

// The width in pixels that `box` needs to show `text` whole, without scrolling it. A
// line box keeps 2 pixels between its contents area and the text on each side, and
// scrolls a text that does not leave one pixel free behind it (for the cursor) beside
// the room for glyphs that reach out of their advance.
int lineBoxWidthFor(const QLineEdit &box, const QString &text)
{
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.lineWidth = box.hasFrame() ? box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box) : 0;
    option.state |= QStyle::State_Sunken;
    const QMargins margins = box.textMargins();
    const int inner = box.style()->subElementRect(QStyle::SE_LineEditContents, &option, &box).width() - margins.left()
                      - margins.right() - 2 * 2;
    const QFontMetrics metrics = box.fontMetrics();
    const int used = metrics.horizontalAdvance(text) + 1 + std::max(0, -metrics.minLeftBearing())
                     + std::max(0, -metrics.minRightBearing());
    return box.width() - inner + used;
}

} // namespace

Frm_Main::Frm_Main(QWidget *parent)
    : QMainWindow(parent)
{
    buildControls();
    buildMenus();
    connectHandlers();
    Form_Load();
}

Frm_Main::~Frm_Main()
{
    releaseHooks();
}

void Frm_Main::buildControls()
{
    m_client = new QWidget(this);
    setCentralWidget(m_client);
    m_client->installEventFilter(this);

    const QString sideCaptions[2] = {QStringLiteral("フォルダ１(旧)"), QStringLiteral("フォルダ２(新)")};
    const QString patternCaptions[2] = {QStringLiteral("表示対象パス等"), QStringLiteral("非対象パス等")};
    for (int side = 0; side < 2; ++side) {
        const int rowTop = side == 0 ? 90 : 495;
        const int labelTop = side == 0 ? 180 : 585;
        Label1[side] = new QLabel(sideCaptions[side], m_client);
        placeTwips(Label1[side], 90, labelTop, 1320, 240);
        Txt_FolderPath[side] = new QLineEdit(m_client);
        placeTwips(Txt_FolderPath[side], 1485, rowTop, 2085, 330);
        Btn_InFolderName[side] = new QPushButton(QStringLiteral("..."), m_client);
        placeTwips(Btn_InFolderName[side], 3600, rowTop, 420, 350);
        Btn_GetFileInfo[side] = new QPushButton(QStringLiteral("情報取得"), m_client);
        placeTwips(Btn_GetFileInfo[side], 4095, rowTop, 915, 350);
        Label2[side] = new QLabel(QStringLiteral("取得日時"), m_client);
        placeTwips(Label2[side], 5085, labelTop, 735, 240);
        Txt_FileInfoDate[side] = new QLineEdit(m_client);
        Txt_FileInfoDate[side]->setReadOnly(true);
        placeTwips(Txt_FileInfoDate[side], 5850, rowTop, DateBoxWidth, 330);
        QLineEdit &dateBox = *Txt_FileInfoDate[side];
        dateBox.resize(std::max(dateBox.width(), lineBoxWidthFor(dateBox, widestDate(dateBox.fontMetrics()))),
                       dateBox.height());
        Label3[side] = new QLabel(patternCaptions[side], m_client);
        placeTwips(Label3[side], 90, side == 0 ? 990 : 1395, 1320, 240);
        Txt_Ext[side] = new QLineEdit(m_client);
        placeTwips(Txt_Ext[side], 1485, side == 0 ? 900 : 1305, 2085, 330);
    }
    Btn_GetFileInfoAll = new QPushButton(QStringLiteral("全情報取得"), m_client);
    placeTwips(Btn_GetFileInfoAll, 3600, 900, 1360, 375);
    Btn_Compare = new QPushButton(QStringLiteral("比較表示"), m_client);
    placeTwips(Btn_Compare, 3600, 1305, 1360, 375);
    Chk_Folder = new QCheckBox(QStringLiteral("サブフォルダ内を表示する"), m_client);
    placeTwips(Chk_Folder, 5175, 990, 2610, 285);
    Chk_Nomi = new QCheckBox(QStringLiteral("差分のみ"), m_client);
    placeTwips(Chk_Nomi, 5235, 1350, 1050, 285);
    Chk_Data = new QCheckBox(QStringLiteral("データ比較"), m_client);
    placeTwips(Chk_Data, 6480, 1350, 1290, 285);
    for (int side = 0; side < 2; ++side) {
        const QString folder = side == 0 ? QStringLiteral("フォルダ１") : QStringLiteral("フォルダ２");
        Btn_GetFileInfo[side]->setToolTip(folder + QStringLiteral("の情報(更新日時やサイズ)を取得します"));
        Txt_FileInfoDate[side]->setToolTip(folder + QStringLiteral("の情報を取得した日時です"));
    }
    Txt_Ext[0]->setToolTip(
        QStringLiteral("一覧表示するファイルのパス(sub/*,sub/*.c,*.h,*.)を指定します(カンマ区切りで複数指定可)"));
    Txt_Ext[1]->setToolTip(
        QStringLiteral("一覧表示しないファイルのパス(sub/*,sub/*.c,*.h,*.)を指定します(カンマ区切りで複数指定可)"));
    Chk_Folder->setToolTip(QStringLiteral("情報取得したフォルダ階層数分(MAX)のサブフォルダを表示します"));
    Chk_Nomi->setToolTip(QStringLiteral("追加/更新/削除されたファアイル/フォルダのみ一覧表示します"));
    Chk_Data->setToolTip(QStringLiteral("データの中身を比較します/チェックを外した時は更新日時とサイズのみの比較です"));
    // The drop box sits in the free corner of the menu bar (buildMenus), where it never
    // crowds the option boxes whatever the window's width.
    Txt_Drop = new QLineEdit;
    Txt_Drop->setReadOnly(true);
    Txt_Drop->setToolTip(QStringLiteral("ここにフォルダまたはファイルをドロップ"));
    Txt_Drop->setPlaceholderText(QStringLiteral("ドロップ"));
    Txt_Drop->setFixedWidth(twipsToPixels(1500));

    m_gridView = new platform::widgets::FlexGridView(m_client);
    Grd_Compare = m_gridView->grid();
    placeTwips(m_gridView, 0, GridTop, 13125, 2310);

    Sts_Message = common::dialogs::BuildStatusPanels(m_client, m_statusPanels);

    Tmr_Resize = new QTimer(this);
    Tmr_Resize->setInterval(2000);
    Tmr_Resize->setSingleShot(true);
    connect(Tmr_Resize, &QTimer::timeout, this, &Frm_Main::Tmr_Resize_Timer);
}

void Frm_Main::buildMenus()
{
    auto rowCommand = [this](RowCommand &command, const QString &caption, const QKeySequence &shortcut,
                             const QString &popupCaption = QString()) {
        command.menu = new QAction(caption, this);
        command.menu->setShortcut(shortcut);
        command.popup = new QAction(popupCaption.isEmpty() ? caption : popupCaption, this);
    };
    rowCommand(Linquell, QStringLiteral("テキスト差分表示"), QKeySequence(Qt::CTRL | Qt::Key_F1));
    rowCommand(Properties, QStringLiteral("ローカルファイルのプロパティ..."), QKeySequence(Qt::CTRL | Qt::Key_F4),
               QStringLiteral("ローカルファイルのプロパティ"));
    rowCommand(OpenText, QStringLiteral("テキストエディタで開く"), QKeySequence(Qt::CTRL | Qt::Key_F2));
    rowCommand(OpenExt, QStringLiteral("関連づけられたプログラムで開く"), QKeySequence(Qt::CTRL | Qt::Key_F3));
    rowCommand(CopyOldToNew, QStringLiteral("選択行を フォルダ１（旧）  → *フォルダ２（新） コピー"), QKeySequence());
    rowCommand(CopyNewToOld, QStringLiteral("選択行を フォルダ１（旧）* ←  フォルダ２（新） コピー"), QKeySequence());
    rowCommand(DeleteOld, QStringLiteral("選択行をフォルダ１（旧）から削除"), QKeySequence());
    rowCommand(DeleteNew, QStringLiteral("選択行をフォルダ２（新）から削除"), QKeySequence());
    rowCommand(CodeChgOld, QStringLiteral("選択行をフォルダ１（旧）で文字コード変換..."), QKeySequence());
    rowCommand(CodeChgNew, QStringLiteral("選択行をフォルダ２（新）で文字コード変換..."), QKeySequence());
    rowCommand(DateChgOld, QStringLiteral("選択行をフォルダ１（旧）で日時情報変更..."), QKeySequence());
    rowCommand(DateChgNew, QStringLiteral("選択行をフォルダ２（新）で日時情報変更..."), QKeySequence());
    rowCommand(ClipBoardFOld, QStringLiteral("選択行をクリップボードへ(フォルダ１のファイル)コピー"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F1));
    rowCommand(ClipBoardFNew, QStringLiteral("選択行をクリップボードへ(フォルダ２のファイル)コピー"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F2));
    rowCommand(ColSortAsc, QStringLiteral("選択したカラムでソート(昇順)"), QKeySequence(Qt::Key_F11));
    rowCommand(ColSortDsc, QStringLiteral("選択したカラムでソート(降順)"), QKeySequence(Qt::Key_F12));
    rowCommand(AllRowSelect, QStringLiteral("すべての行を選択"), QKeySequence(Qt::CTRL | Qt::Key_A));
    rowCommand(ClipBoardCopy, QStringLiteral("選択行をクリップボードへ(テキスト)コピー"), QKeySequence(Qt::CTRL | Qt::Key_C));

    auto option = [this](const QString &caption) {
        auto *action = new QAction(caption, this);
        action->setCheckable(true);
        return action;
    };
    RecyclerBackup = option(QStringLiteral("削除/上書時はごみ箱にバックアップする(ローカルのみ)"));
    TextCrlfNone = option(QStringLiteral("データ比較オプション：文字コード判定して比較する"));
    TextCodeDsp = option(QStringLiteral("データ比較オプション：文字コードを一覧に表示する"));
    UpdDateNone = option(QStringLiteral("更新日時の違いを差分としない"));
    NewDateAsta = option(QStringLiteral("更新日時の新しいファイルに＊を表示する"));
    CsvDblQuot = option(QStringLiteral("表示内容保存(CSV)時にダブルクオーテーションで囲む"));
    CsvSizeFit = option(QStringLiteral("表示内容保存(CSV)時に空白を埋めて桁数を合わせる"));
    TxtDifAlll = option(QStringLiteral("表示内容保存と同時に個別ファイル(全行差分)を出力する"));
    TxtDifNomi = option(QStringLiteral("表示内容保存と同時に個別ファイル(差分のみ)を出力する"));
    TxtDifKeis = option(QStringLiteral("個別ファイルの差分出力時に差分調整係数を自動調整する"));

    Mnu_GetFileInfoAll = new QAction(QStringLiteral("全情報取得および比較表示"), this);
    Mnu_DiffClear = new QAction(QStringLiteral("PATH入力と比較表示のクリア"), this);
    auto command = [this](const QString &caption, const QKeySequence &shortcut = QKeySequence()) {
        auto *action = new QAction(caption, this);
        action->setShortcut(shortcut);
        return action;
    };
    NewDirgleam = command(QStringLiteral("新しいウィンドウ　フォルダ比較"), QKeySequence(Qt::CTRL | Qt::Key_W));
    NewLinquell = command(QStringLiteral("新しいウィンドウ　ファイル比較"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    MnuEnd = command(QStringLiteral("終了(&X)"));
    SetBinExt = command(QStringLiteral("強制的にバイナリ(BIN)判定する拡張子の設定..."));
    Mnu_FolderNum = command(QStringLiteral("情報取得するフォルダ階層数の設定..."));
    Mnu_LineMax = command(QStringLiteral("表示行数10000超への挑戦..."));
    SetDiffColor = command(QStringLiteral("差分背景色の設定..."));
    SetMouseWheel = command(QStringLiteral("マウスホイールのスクロール設定..."));
    Change1To2 = command(QStringLiteral("フォルダ１とフォルダ２の入れ替え"));
    JumpNext = command(QStringLiteral("次の変更行へジャンプ（↓）"));
    JumpBefore = command(QStringLiteral("前の変更行へジャンプ（↑）"));
    Homepage = command(QStringLiteral("Varnholt Webページ"));
    XxxReqFaq = command(QStringLiteral("マニュアル/要望/最新版等のWebページ"));
    Version = command(QStringLiteral("バージョン情報..."));

    ExcelSave = command(QStringLiteral("表示内容をエクセル形式で保存..."));
    HtmlSave = command(QStringLiteral("表示内容をHTML形式で保存..."));
    CsvSaveKan = command(QStringLiteral("表示内容をCSV形式で保存(カンマ区切)..."));
    CsvSaveTab = command(QStringLiteral("表示内容をCSV形式で保存(タブ区切)..."));
    CsvSaveStr = command(QStringLiteral("表示内容をCSV形式で保存(任意区切)..."));

    MenuF = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    MenuF->addAction(NewDirgleam);
    MenuF->addAction(NewLinquell);
    MenuF->addSeparator();
    MenuF->addAction(Mnu_GetFileInfoAll);
    MenuF->addAction(Mnu_DiffClear);
    MenuF->addSeparator();
    for (QAction *command : {ExcelSave, HtmlSave, CsvSaveKan, CsvSaveTab, CsvSaveStr})
        MenuF->addAction(command);
    MenuF->addSeparator();
    MenuF->addAction(CsvDblQuot);
    MenuF->addAction(CsvSizeFit);
    MenuF->addAction(TxtDifAlll);
    MenuF->addAction(TxtDifNomi);
    MenuF->addAction(TxtDifKeis);
    MenuF->addSeparator();
    MenuF->addAction(MnuEnd);

    MenuE = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    for (RowCommand *rows : {&AllRowSelect, &ClipBoardCopy, &ClipBoardFOld, &ClipBoardFNew})
        MenuE->addAction(rows->menu);
    MenuE->addSeparator();
    MenuE->addAction(CopyOldToNew.menu);
    MenuE->addAction(CopyNewToOld.menu);
    MenuE->addSeparator();
    MenuE->addAction(DeleteOld.menu);
    MenuE->addAction(DeleteNew.menu);
    MenuE->addSeparator();
    MenuE->addAction(RecyclerBackup);
    MenuE->addSeparator();
    for (RowCommand *rows : {&CodeChgOld, &CodeChgNew, &DateChgOld, &DateChgNew})
        MenuE->addAction(rows->menu);

    MenuS = menuBar()->addMenu(QStringLiteral("設定(&S)"));
    MenuS->addAction(UpdDateNone);
    MenuS->addAction(NewDateAsta);
    MenuS->addAction(TextCrlfNone);
    MenuS->addAction(TextCodeDsp);
    MenuS->addSeparator();
    MenuS->addAction(SetBinExt);
    MenuS->addAction(Mnu_FolderNum);
    MenuS->addAction(Mnu_LineMax);
    MenuS->addAction(SetDiffColor);
    MenuS->addSeparator();
    SetFlNmCode = MenuS->addAction(QStringLiteral("FTPファイル名の漢字コードの設定..."));
    connect(SetFlNmCode, &QAction::triggered, this, &Frm_Main::SetFlNmCode_Click);
    SetProxy = MenuS->addAction(QStringLiteral("プロキシサーバの設定..."));
    connect(SetProxy, &QAction::triggered, this, &Frm_Main::SetProxy_Click);
    MenuS->addSeparator();
    MenuS->addAction(SetMouseWheel);

    MenuT = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
    for (RowCommand *rows : {&Linquell, &OpenText, &OpenExt, &Properties})
        MenuT->addAction(rows->menu);
    MenuT->addSeparator();
    MenuT->addAction(ColSortAsc.menu);
    MenuT->addAction(ColSortDsc.menu);
    MenuT->addSeparator();
    MenuT->addAction(Change1To2);
    MenuT->addAction(JumpNext);
    MenuT->addAction(JumpBefore);
    MenuT->addSeparator();
    CompHistory = MenuT->addMenu(QStringLiteral("履歴"));

    menuBar()->setCornerWidget(Txt_Drop, Qt::TopRightCorner);

    MenuH = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    MenuH->addAction(Homepage);
    MenuH->addAction(XxxReqFaq);
    MenuH->addSeparator();
    MenuH->addAction(Version);

    PopUp = new QMenu(QStringLiteral("ポップアップ"), this);
    const QList<QList<RowCommand *>> popupGroups = {
        {&Linquell, &OpenText, &OpenExt, &Properties},
        {&CopyOldToNew, &CopyNewToOld},
        {&DeleteOld, &DeleteNew},
        {&CodeChgOld, &CodeChgNew},
        {&DateChgOld, &DateChgNew},
        {&ColSortAsc, &ColSortDsc},
        {&AllRowSelect, &ClipBoardCopy},
        {&ClipBoardFOld, &ClipBoardFNew},
    };
    for (const QList<RowCommand *> &group : popupGroups) {
        if (!PopUp->isEmpty())
            PopUp->addSeparator();
        for (RowCommand *command : group) {
            PopUp->addAction(command->popup);
            connect(command->popup, &QAction::triggered, command->menu, &QAction::trigger);
        }
    }
}

QList<Frm_Main::RowCommand *> Frm_Main::selectionRowCommands()
{
    return {&Linquell,  &Properties, &OpenText,   &OpenExt,    &CopyOldToNew,  &CopyNewToOld,
            &DeleteOld, &DeleteNew,  &CodeChgOld, &CodeChgNew, &DateChgOld,    &DateChgNew,
            &ClipBoardFOld, &ClipBoardFNew, &ColSortAsc, &ColSortDsc};
}

void Frm_Main::Form_Load()
{
    try {
        RowTipTable = {std::array<QString, 2>{}};
        BaseCaption = BaseCaptionText;
        setWindowTitle(BaseCaption);

        const QString folder = platform::programFolder();
        const QString exeName = platform::executableName();
        IniFilePath = folder + u'/' + exeName + QStringLiteral(".ini");
        const QString refusal = common::SettingsFileRefusal(IniFilePath);
        m_settingsFileRefused = !refusal.isEmpty();
        if (m_settingsFileRefused)
            common::ShowMsg(refusal, platform::MessageStyle::OkOnly | platform::MessageStyle::IconExclamation);

        // The settings file keeps the name base fixed at the first start; the number itself
        // is claimed by the lock of its work folder.
        common::FixExeMutex(IniFilePath, QDateTime::currentDateTime());
        m_instance = common::TakeInstanceNumber(folder, exeName);
        InstanceNumber = m_instance.number;
        BaseCaption = BaseCaptionText + u'(' + QString::number(InstanceNumber) + u')';
        setWindowTitle(BaseCaption);

        WorkFolder = m_instance.workFolder;
        if (!QDir().mkpath(WorkFolder))
            throw common::Failure(75, exeName, QStringLiteral("作業フォルダを作成できません。 ") + WorkFolder);
        // The instance lock makes the work folder this window's alone: a temporary file in
        // it is one that a killed run left behind.
        platform::removeStaleTemporaryFiles(WorkFolder);
        for (int side = 0; side < 2; ++side) {
            FileInfoLog[side] = WorkFolder + u'/' + QString::number(side) + QStringLiteral(".log");
            FtpCacheFolder[side] = WorkFolder + u'/' + QString::number(side) + QStringLiteral(".ftp");
        }
        HandOverFolder = folder + u'/' + exeName + common::InstanceDigits(common::HandOverNumber);

        const QString programs = platform::executableFolder();
        ViewerExePath = programs + QStringLiteral("/Linquell");
        OwnExePath = programs + u'/' + exeName;

        placeWindow();
        disableRowCommands();
        GridInit();
        common::dialogs::MouseWheel::instance().Initialize(m_gridView, IniFilePath);
        m_dropHooked = common::dialogs::StartFileDrop(Txt_Drop, [this](const QStringList &paths) { Form_Drop(paths); });
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Form_Load"));
    }
}

void Frm_Main::releaseHooks()
{
    common::dialogs::MouseWheel &wheel = common::dialogs::MouseWheel::instance();
    if (wheel.hookedGrid() == m_gridView)
        wheel.Destroy();
    if (m_dropHooked)
        common::dialogs::EndFileDrop();
    m_dropHooked = false;
}

void Frm_Main::Form_Paint()
{
    try {
        common::dialogs::ProgressClass().WindowTopMost();
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Form_Paint"));
    }
}

void Frm_Main::placeWindow()
{
    common::dialogs::PlaceMainWindow(*this, common::LoadPlacement(IniFilePath));
}

void Frm_Main::disableRowCommands()
{
    for (RowCommand *command : selectionRowCommands()) {
        command->menu->setEnabled(false);
        command->popup->setEnabled(false);
    }
}

void Frm_Main::GridInit()
{
    try {
        // A side column shows a date with the blank and the "*" that mark the newer one,
        // or a code name.
        const QString widestSideText = u' ' + widestDate(m_gridView->fontMetrics()) + u'*';
        const int sideColumn = std::max({SideColumnWidth, m_gridView->columnTwipsFor(2, widestSideText),
                                         m_gridView->columnTwipsFor(2, QStringLiteral("UNICODE"))});
        platform::resetGrid(*Grd_Compare, {
            {NumberColumnWidth, QStringLiteral("No."), platform::FlexAlign::RightCenter},
            {600, QStringLiteral("状態"), platform::FlexAlign::CenterCenter},
            {sideColumn, QStringLiteral("フォルダ１"), platform::FlexAlign::CenterCenter},
            {sideColumn, QStringLiteral("フォルダ２"), platform::FlexAlign::CenterCenter},
            {8500, QStringLiteral("ファイル/フォルダの相対パス"), platform::FlexAlign::LeftCenter},
        });
        Form_Resize();
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("GridInit"));
    }
}

void Frm_Main::fitNumberColumn()
{
    platform::FlexGrid &grid = *Grd_Compare;
    const qint64 largest = grid.textMatrix(grid.rows() - 1, listing::ResultColumn::Number).toLongLong();
    grid.setColWidth(listing::ResultColumn::Number,
                     std::max(NumberColumnWidth, m_gridView->numberColumnTwips(listing::ResultColumn::Number, largest)));
    layoutPathColumn();
}

void Frm_Main::layoutPathColumn()
{
    platform::FlexGrid &grid = *Grd_Compare;
    if (grid.cols() <= 4)
        return;
    const int gridWidth = pixelsToTwips(m_gridView->width());
    int leftColumns = 0;
    for (int col = 0; col < 4; ++col)
        leftColumns += grid.colWidth(col);
    if (gridWidth - leftColumns - 1700 > 0)
        grid.setColWidth(4, gridWidth - leftColumns - 370);
}

void Frm_Main::Form_Resize()
{
    try {
        const int innerWidth = pixelsToTwips(m_client->width());
        const int innerHeight = pixelsToTwips(m_client->height());
        const QRect gridGeometry = m_gridView->geometry();
        const int gridLeft = pixelsToTwips(gridGeometry.x());
        if (innerWidth - gridLeft > 0)
            m_gridView->setGeometry(gridGeometry.x(), gridGeometry.y(), twipsToPixels(innerWidth - gridLeft), gridGeometry.height());

        layoutPathColumn();

        const int pathLeft = pixelsToTwips(Txt_FolderPath[0]->x());
        // A date box widened for its font takes its extra width from the path boxes.
        const int rightOfPathBoxes =
            RightOfPathBoxes + std::max(0, pixelsToTwips(Txt_FileInfoDate[0]->width()) - DateBoxWidth);
        if (innerWidth - pathLeft - rightOfPathBoxes > 0) {
            const int pathWidth = innerWidth - rightOfPathBoxes;
            const int browseLeft = pathLeft + pathWidth + 20;
            const int gatherLeft = browseLeft + pixelsToTwips(Btn_InFolderName[0]->width()) + 30;
            const int dateLabelLeft = gatherLeft + pixelsToTwips(Btn_GetFileInfo[0]->width()) + 50;
            const int dateLeft = dateLabelLeft + pixelsToTwips(Label2[0]->width()) + 30;
            for (int side = 0; side < 2; ++side) {
                Txt_FolderPath[side]->resize(twipsToPixels(pathWidth), Txt_FolderPath[side]->height());
                Btn_InFolderName[side]->move(twipsToPixels(browseLeft), Btn_InFolderName[side]->y());
                Btn_GetFileInfo[side]->move(twipsToPixels(gatherLeft), Btn_GetFileInfo[side]->y());
                Label2[side]->move(twipsToPixels(dateLabelLeft), Label2[side]->y());
                Txt_FileInfoDate[side]->move(twipsToPixels(dateLeft), Txt_FileInfoDate[side]->y());
                Txt_Ext[side]->resize(twipsToPixels(pathWidth), Txt_Ext[side]->height());
            }
            Btn_GetFileInfoAll->move(twipsToPixels(browseLeft), Btn_GetFileInfoAll->y());
            Btn_Compare->move(twipsToPixels(browseLeft), Btn_Compare->y());
            Chk_Folder->move(twipsToPixels(dateLabelLeft + 20), Chk_Folder->y());
            Chk_Nomi->move(twipsToPixels(dateLabelLeft + 20), Chk_Nomi->y());
            Chk_Data->move(Chk_Nomi->x() + Chk_Nomi->width() + twipsToPixels(150), Chk_Data->y());
        }

        const int gridTop = pixelsToTwips(m_gridView->y());
        if (innerHeight - gridTop - StatusBarHeight + 20 > 0)
            m_gridView->resize(m_gridView->width(), twipsToPixels(innerHeight - gridTop - StatusBarHeight + 20));
        Sts_Message->setGeometry(0, m_client->height() - twipsToPixels(StatusBarHeight), m_client->width(), twipsToPixels(StatusBarHeight));
        Sts_Message->raise();

        Tmr_Resize->start();
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Form_Resize"));
    }
}

void Frm_Main::Tmr_Resize_Timer()
{
    Tmr_Resize->stop();
    // An unattended run writes no settings, the placement included.
    if (common::BatchMode)
        return;
    try {
        common::dialogs::SaveMainWindowPlacement(*this, IniFilePath);
    } catch (...) {
        // The placement is written again at the next resize or at exit.
    }
}

void Frm_Main::SetFlNmCode_Click()
{
    try {
        common::dialogs::Frm_FlNmCode dialog(SideFileNameCode, IniFilePath);
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("SetFlNmCode_Click"));
    }
}

void Frm_Main::SetProxy_Click()
{
    try {
        common::dialogs::Frm_Proxy dialog(Server_FTP);
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("SetProxy_Click"));
    }
}

QString Frm_Main::statusText(int panel) const
{
    return m_statusPanels[panel]->text();
}

QString Frm_Main::statusTip(int panel) const
{
    return m_statusPanels[panel]->toolTip();
}

void Frm_Main::setStatus(int panel, const QString &text)
{
    m_statusPanels[panel]->setText(text);
}

void Frm_Main::setStatusTip(int panel, const QString &tip)
{
    m_statusPanels[panel]->setToolTip(tip);
}

bool Frm_Main::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        Form_Resize();
    if (windowEvent(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

bool Frm_Main::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        QTimer::singleShot(0, this, &Frm_Main::Form_Activate);
    if (event->type() == QEvent::Paint)
        Form_Paint();
    return QMainWindow::event(event);
}

void Frm_Main::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

} // namespace foldercompare
