#include "textcompare/window/frm_linquell.h"

#include "common/associated_program.h"
#include "common/dialogs/mouse_wheel.h"
#include "common/common_module.h"
#include "common/dialogs/dialog_support.h"
#include "common/dialogs/main_window_frame.h"
#include "common/saved_error.h"
#include "common/settings_values.h"
#include "common/window_placement.h"
#include "platform/flex_grid.h"
#include "platform/program_folder.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/flex_grid_view.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>


namespace textcompare {

namespace {

using common::dialogs::placeTwips;
using platform::pixelsToTwips;
using platform::twipsToPixels;

const QString CaptionText = QStringLiteral("テキスト差分表示ツール");

// Designed places of the grid and the status bar, in twips.
constexpr int GridLeft = 190;
constexpr int GridTop = 900;
constexpr int StatusBarHeight = 300;

} // namespace

Frm_Linquell::Frm_Linquell(QWidget *parent)
    : QMainWindow(parent)
{
    buildControls();
    buildMenus();
    Form_Load();
}

Frm_Linquell::~Frm_Linquell() = default;

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
        placeTwips(Txt_FilePath[side], 1440, rowTop, 3525, 330);
        Btn_InFilePath[side] = new QPushButton(QStringLiteral("..."), m_client);
        placeTwips(Btn_InFilePath[side], 4995, rowTop, 420, 350);
        Cmb_FileCode[side] = new QComboBox(m_client);
        Cmb_FileCode[side]->addItems(FileCodeNames());
        Cmb_FileCode[side]->setToolTip(codeTips[side]);
        connect(Cmb_FileCode[side], &QComboBox::currentIndexChanged, this, [this, side] { Cmb_FileCode_Click(side); });
        placeTwips(Cmb_FileCode[side], 5535, side == 0 ? 120 : 525, 1050, 300);
    }
    Lbl_HanteiLine = new QLabel(QStringLiteral("差分調整係数"), m_client);
    placeTwips(Lbl_HanteiLine, 6750, 180, 1140, 240);
    Cmb_HanteiLine = new QComboBox(m_client);
    for (int factor = 1; factor <= 30; ++factor)
        Cmb_HanteiLine->addItem(QString::number(factor));
    Cmb_HanteiLine->setMaxVisibleItems(30);
    placeTwips(Cmb_HanteiLine, 7965, 135, 600, 300);
    Lbl_Hanteiline2 = new QLabel(QStringLiteral("("), m_client);
    placeTwips(Lbl_Hanteiline2, 8595, 195, 60, 195);
    Chk_HanteiLine = new QCheckBox(QStringLiteral("自動調整)"), m_client);
    placeTwips(Chk_HanteiLine, 8730, 180, 1140, 225);
    Chk_Nomi = new QCheckBox(QStringLiteral("差分のみ"), m_client);
    placeTwips(Chk_Nomi, 6750, 540, 1140, 285);
    Btn_DiffList = new QPushButton(QStringLiteral("差分解析"), m_client);
    placeTwips(Btn_DiffList, 7965, 495, 1100, 350);
    Btn_DiffClear = new QPushButton(QStringLiteral("クリア"), m_client);
    placeTwips(Btn_DiffClear, 9120, 480, 700, 350);
    Txt_Drop = new QLineEdit(m_client);
    Txt_Drop->setReadOnly(true);
    Txt_Drop->setVisible(false);

    m_gridView = new platform::widgets::FlexGridView(m_client);
    Grd_Compare = m_gridView->grid();
    placeTwips(m_gridView, GridLeft, GridTop, 8595, 2310);

    Sts_Message = common::dialogs::BuildStatusPanels(m_client, m_statusPanels);

    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        int keyCode = 27;
        Form_KeyDown(keyCode, 0);
    });
}

void Frm_Linquell::buildMenus()
{
    auto option = [this](const QString &caption, const QString &section, const QString &key) {
        auto *action = new QAction(caption, this);
        action->setCheckable(true);
        // A check-mark option is written into the settings file as soon as it flips.
        connect(action, &QAction::triggered, this, [this, action, section, key] {
            if (!common::WriteIniValue(section, key, common::FlagText(action->isChecked()), IniPath))
                platform::dialogs().messageBox(QStringLiteral("設定ファイルに書き込めません。 ") + IniPath + QStringLiteral(" [")
                                                   + section + QStringLiteral("] ") + key,
                                               platform::MessageStyle::OkOnly, QString());
        });
        return action;
    };
    NoSpaceCheck = option(QStringLiteral("空白文字の違いを差分としない"), "DSP", "NoSpCheck");
    NoULChrCheck = option(QStringLiteral("大文字と小文字を区別しない"), "DSP", "NoULCheck");
    DspSpaceChar = option(QStringLiteral("空白文字を可視化する"), "DSP", "DspSpChar");
    XlsFormatCnd = option(QStringLiteral("表示内容保存(エクセル)時に条件付書式(差分判定用)を出力する"), "XLS",
                          "XlsFormatCnd");
    CsvDblQuot = option(QStringLiteral("表示内容保存(CSV)時にダブルクオーテーションで囲む"), "CSV", "CsvDblQuot");
    CsvHtmlUni = option(QStringLiteral("表示内容保存(CSV/HTML)時にUNICODEで出力する"), "CSV", "CsvHtmlUni");

    MenuF = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    MenuF->addAction(CsvDblQuot);
    MenuF->addAction(CsvHtmlUni);
    MenuF->addAction(XlsFormatCnd);
    MenuF->addSeparator();
    CompHistory = MenuF->addMenu(QStringLiteral("履歴"));
    MenuF->addSeparator();
    QAction *exit = MenuF->addAction(QStringLiteral("終了(&X)"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    MenuE = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    MenuT = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
    MenuS = menuBar()->addMenu(QStringLiteral("設定(&S)"));
    MenuS->addAction(NoSpaceCheck);
    MenuS->addAction(NoULChrCheck);
    MenuS->addAction(DspSpaceChar);
    connect(MenuS->addAction(QStringLiteral("EXCELファイル読込条件の設定...")), &QAction::triggered, this,
            &Frm_Linquell::SetExcel_Click);
    connect(MenuS->addAction(QStringLiteral("プロキシサーバの設定...")), &QAction::triggered, this,
            &Frm_Linquell::SetProxy_Click);
    MenuH = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
}

void Frm_Linquell::Form_Load()
{
    try {
        DiffDisplayTable = DisplayTable();
        const QString folder = platform::programFolder();
        const QString exeName = platform::executableName();
        IniPath = folder + u'/' + exeName + QStringLiteral(".ini");

        const QString mutexBase = common::ReadExeMutex(IniPath, QDateTime::currentDateTime());
        m_instance = common::TakeInstanceNumber(exeName, mutexBase);
        InstanceNumber = m_instance.number;
        setWindowTitle(CaptionText + u'(' + QString::number(InstanceNumber) + u')');
        for (int side = 0; side < 2; ++side)
            TempFilePaths[side] = folder + u'/' + exeName + common::InstanceDigits(InstanceNumber) + u'-'
                                  + QString::number(side + 1) + QStringLiteral(".tmp");

        LinquellSettings settings = LoadLinquellSettings(IniPath);
        if (settings.Editor.isEmpty())
            settings.Editor = DefaultEditorCommand(common::GetAssociatedExe(QStringLiteral("txt")));
        applySettings(settings);
        m_settingsLoaded = true;
        for (QComboBox *codeList : Cmb_FileCode)
            codeList->setCurrentIndex(0);
        placeWindow();

        const QString programs = platform::executableFolder();
        OwnExePath = programs + u'/' + exeName;
        FolderCompareExePath = programs + QStringLiteral("/Dirgleam");

        GridInit();
        common::dialogs::MouseWheel::instance().Initialize(m_gridView, IniPath);
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
    CompHistory->clear();
    for (const QString &item : HistoryItems)
        CompHistory->addAction(item);
    CompHistory->menuAction()->setVisible(!HistoryItems.isEmpty());
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
        layoutGrid();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("GridInit"));
    }
}

void Frm_Linquell::layoutGrid()
{
    const int innerWidth = pixelsToTwips(m_client->width());
    const int innerHeight = pixelsToTwips(m_client->height());
    if (innerWidth - GridLeft > 0 && innerHeight - GridTop - StatusBarHeight + 20 > 0)
        placeTwips(m_gridView, GridLeft, GridTop, innerWidth - GridLeft, innerHeight - GridTop - StatusBarHeight + 20);
    Sts_Message->setGeometry(0, m_client->height() - twipsToPixels(StatusBarHeight), m_client->width(), twipsToPixels(StatusBarHeight));
    Sts_Message->raise();
}

void Frm_Linquell::Form_Activate()
{
    if (CodeListReady)
        return;
    CodeListReady = true;
    if (!Txt_FilePath[0]->text().isEmpty() || !Txt_FilePath[1]->text().isEmpty())
        runComparison(0);
    else
        Txt_FilePath[0]->setFocus();
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
    common::dialogs::MouseWheel::instance().Destroy();
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
    if (watched == m_client && event->type() == QEvent::Resize)
        layoutGrid();
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
