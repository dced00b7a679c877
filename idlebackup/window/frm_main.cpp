#include "idlebackup/window/frm_main.h"

#include "common/saved_error.h"
#include "platform/program_folder.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/bgr_qcolor.h"
#include "platform/widgets/flex_grid_view.h"
#include "platform/widgets/readme_page.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace idlebackup {

namespace {

// Colour of the meter bar (blue-green-red: yellow).
constexpr quint32 MeterColor = 0x0000FFFF;
constexpr int MeterWidth = 200;
constexpr int MeterHeight = 14;

// The three icons: idle (green), running (blue, with an arrow), list has NG (red, with
// a bar).
QIcon drawIcon(const QColor &color, int mark)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(QPen(color.darker(), 2));
    painter.drawEllipse(2, 2, 28, 28);
    painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    if (mark == IconState::Running) {
        painter.drawLine(10, 16, 22, 16);
        painter.drawLine(16, 10, 22, 16);
        painter.drawLine(16, 22, 22, 16);
    } else if (mark == IconState::Ng) {
        painter.drawLine(16, 8, 16, 18);
        painter.drawPoint(16, 24);
    } else {
        painter.drawLine(10, 16, 14, 21);
        painter.drawLine(14, 21, 22, 11);
    }
    return QIcon(pixmap);
}

QLabel *wrappedLabel(const QString &text)
{
    QLabel *label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

} // namespace

frmMain::frmMain(Clock *clock, ProcessorMeter *meter, QWidget *parent)
    : QMainWindow(parent)
{
    if (!clock) {
        m_ownClock = std::make_unique<SteadyClock>();
        clock = m_ownClock.get();
    }
    if (!meter) {
        m_ownMeter = std::make_unique<ProcStatMeter>();
        meter = m_ownMeter.get();
    }
    m_program = std::make_unique<BackupProgram>(
        *this, *clock, *meter,
        platform::programFolder() + u'/' + platform::executableName() + QStringLiteral(".ini"),
        platform::executableFolder() + QStringLiteral("/Dirgleam"));
    m_icons = {drawIcon(Qt::gray, IconState::None), drawIcon(QColor(0x2e, 0x9d, 0x3f), IconState::Idle),
               drawIcon(QColor(0x1f, 0x6f, 0xd0), IconState::Running), drawIcon(QColor(0xd0, 0x30, 0x2a), IconState::Ng)};
    buildControls();
    QCoreApplication::instance()->installEventFilter(this);
    Form_Load();
}

frmMain::~frmMain()
{
    m_program->Form_Unload();
}

void frmMain::Form_Load()
{
    if (m_program->flags().CloseFlag)
        return;
    try {
        resize(1100, 720);
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
        }
        setWindowTitle(programCaption());
        setWindowIcon(m_icons[IconState::Idle]);
        m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
        TrayIcon->setIcon(m_icons[IconState::Idle]);
        TrayIcon->setToolTip(programCaption());
        if (m_trayAvailable)
            TrayIcon->show();
        m_program->Form_Load();
        if (m_program->settings().AutoStart == 0)
            show();
        else if (!m_trayAvailable)
            showMinimized();
    } catch (...) {
        common::SaveErr();
    }
}

void frmMain::buildControls()
{
    QWidget *central = new QWidget(this);
    QVBoxLayout *layout = new QVBoxLayout(central);

    BakListView = new platform::widgets::FlexGridView(central);
    BakListView->setGrid(&m_program->BakList);
    layout->addWidget(BakListView, 1);

    QHBoxLayout *listButtons = new QHBoxLayout;
    btnAddFile = new QPushButton(QStringLiteral("ファイル追加"));
    btnAddFolder = new QPushButton(QStringLiteral("フォルダ追加"));
    btnDel = new QPushButton(QStringLiteral("削　除"));
    btnComp = new QPushButton(QStringLiteral("比　較"));
    for (QPushButton *button : {btnAddFile, btnAddFolder, btnDel, btnComp})
        listButtons->addWidget(button);
    listButtons->addStretch(1);
    layout->addLayout(listButtons);

    layout->addWidget(buildSettings());

    QHBoxLayout *bottom = new QHBoxLayout;
    MsgText = new QLineEdit;
    MsgText->setReadOnly(true);
    bottom->addWidget(MsgText, 1);
    CpuLabel = new QLabel(QStringLiteral("100%(CPU)"));
    bottom->addWidget(CpuLabel);
    CpuPicture1 = new QFrame;
    CpuPicture1->setFrameShape(QFrame::Box);
    CpuPicture1->setFixedSize(MeterWidth, MeterHeight);
    CpuPicture2 = new QFrame(CpuPicture1);
    CpuPicture2->setAutoFillBackground(true);
    CpuPicture2->setGeometry(0, 0, MeterWidth, MeterHeight);
    bottom->addWidget(CpuPicture1);
    btnSettei = new QPushButton(QStringLiteral("設定"));
    btnStart = new QPushButton(QStringLiteral("実行"));
    bottom->addWidget(btnSettei);
    bottom->addWidget(btnStart);
    layout->addLayout(bottom);

    Varnholt1Label = new QLabel(QStringLiteral("<a href=\"%1\">Varnholt Webページ(最新情報／要望／問い合わせ) %1</a>")
                                    .arg(QUrl::fromLocalFile(platform::widgets::FindReadme()).toString().toHtmlEscaped()));
    Varnholt1Label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    layout->addWidget(Varnholt1Label);
    setCentralWidget(central);

    TrayIcon = new QSystemTrayIcon(this);
    mnuPopUp = new QMenu(QStringLiteral("ポップアップ"), this);
    mnuSettei = mnuPopUp->addAction(QStringLiteral("設定"));
    mnuPopUp->addSeparator();
    mnuEnd = mnuPopUp->addAction(QStringLiteral("終了"));
    TrayIcon->setContextMenu(mnuPopUp);

    BackupProgram &program = *m_program;
    connect(btnAddFile, &QPushButton::clicked, this, [&program] { program.btnAddFile_Click(); });
    connect(btnAddFolder, &QPushButton::clicked, this, [&program] { program.btnAddFolder_Click(); });
    connect(btnDel, &QPushButton::clicked, this, [&program] { program.btnDel_Click(); });
    connect(btnComp, &QPushButton::clicked, this, [&program] { program.btnComp_Click(); });
    connect(btnSettei, &QPushButton::clicked, this, [&program] { program.btnSettei_Click(); });
    connect(btnStart, &QPushButton::clicked, this, [&program] { program.btnStart_Click(); });
    connect(BakListView, &platform::widgets::FlexGridView::mouseMove, this,
            [&program] { program.BakList_MouseMove(); });
    for (int index = 0; index < 2; ++index) {
        connect(SyncModeOption[index], &QRadioButton::clicked, this,
                [&program, index] { program.SyncModeOption_Click(index); });
    }
    connect(mnuSettei, &QAction::triggered, this, &frmMain::mnuSettei_Click);
    connect(mnuEnd, &QAction::triggered, this, &frmMain::mnuEnd_Click);
    connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            mnuSettei_Click();
    });
    connect(Varnholt1Label, &QLabel::linkActivated, this, [this] { Varnholt1Label_Click(); });
    showMeter(100);
}

QWidget *frmMain::buildSettings()
{
    QWidget *settings = new QWidget;
    QGridLayout *grid = new QGridLayout(settings);
    grid->setContentsMargins(0, 0, 0, 0);

    Frame1 = new QGroupBox;
    QVBoxLayout *modes = new QVBoxLayout(Frame1);
    SyncModeOption[0] = new QRadioButton(QStringLiteral("バックアップモード(オリジナルからの単方向コピー)"));
    SyncModeOption[1] = new QRadioButton(QStringLiteral("同期モード(最新ファイルの双方向コピー)"));
    modes->addWidget(SyncModeOption[0]);
    modes->addWidget(SyncModeOption[1]);
    grid->addWidget(Frame1, 0, 0, 2, 3);

    NewOverWrCheck = new QCheckBox(
        QStringLiteral("オリジナルより新しいファイルがコピー先に存在した場合もコピー先に上書きコピーする"));
    DeleteCheck = new QCheckBox(
        QStringLiteral("オリジナルに存在しないファイルがコピー先に存在した場合はコピー先から削除する"));
    NextCheck = new QCheckBox(QStringLiteral("１回の実行終了後に自動的に連続実行する"));
    AutoCheck = new QCheckBox(QStringLiteral("本ツールの起動時に自動的に実行開始する"));
    HiSpCheck = new QCheckBox(QStringLiteral("初回実行時は最速実行する"));
    int row = 2;
    for (QCheckBox *check : {NewOverWrCheck, DeleteCheck, NextCheck, AutoCheck, HiSpCheck})
        grid->addWidget(check, row++, 0, 1, 3);

    const auto numberRow = [&](QLineEdit *&box, const QString &caption, const QString &range) {
        box = new QLineEdit;
        box->setMaximumWidth(80);
        grid->addWidget(new QLabel(caption), row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(wrappedLabel(range), row, 2);
        ++row;
    };
    numberRow(CpuIdleText, QStringLiteral("CPUアイドル率"),
              QStringLiteral("[0-99] (このプログラムが処理を行う時に必要なCPU空率の目安)"));
    numberRow(CpuUseText, QStringLiteral("CPU　　使用率"),
              QStringLiteral("[1-99] (このプログラムに割り当てるCPU使用率の目安)"));
    numberRow(AutoText, QStringLiteral("起動時直後の実行待ち秒数"), QStringLiteral("[0-9999] "));
    numberRow(NextText, QStringLiteral("連続実行時の実行待ち秒数"), QStringLiteral("[0-9999] "));

    const auto listRow = [&](QLineEdit *&box, const QString &caption) {
        box = new QLineEdit;
        grid->addWidget(wrappedLabel(caption), row, 0, 1, 3);
        grid->addWidget(box, row + 1, 0, 1, 3);
        row += 2;
    };
    listRow(NoneStrText,
            QStringLiteral("指定の文字列で始まるフォルダやファイルはコピーしない(カンマ区切りで指定)"));
    listRow(NoneExtText,
            QStringLiteral("指定の文字列の拡張子のフォルダやファイルはコピーしない(カンマ区切りで指定)"));
    grid->setColumnStretch(2, 1);
    return settings;
}

void frmMain::mnuSettei_Click()
{
    showNormal();
    BringWindowToFront();
}

void frmMain::mnuEnd_Click()
{
    m_unloading = true;
    close();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (!m_unloading) {
        if (platform::dialogs().messageBox(QStringLiteral("終了しますか？"),
                                           platform::MessageStyle::YesNo | platform::MessageStyle::IconQuestion,
                                           programCaption())
            == platform::MessageAnswer::No) {
            event->ignore();
            return;
        }
    }
    m_unloading = true;
    event->accept();
    m_program->Form_Unload();
    unloadWindow();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    // At the end of the desktop session the session manager has the application quit,
    // which closes every window; nobody may be asked then. The close box never quits.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit && !m_unloading)
        mnuEnd_Click();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_trayAvailable)
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
}

void frmMain::BringWindowToFront()
{
    show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void frmMain::Varnholt1Label_Click()
{
    platform::widgets::ShowReadme();
}

void frmMain::setMessageText(const QString &text)
{
    MsgText->setText(text);
}

void frmMain::pumpEvents()
{
    QCoreApplication::processEvents();
}

void frmMain::showIcon(int iconState)
{
    const QIcon &icon = m_icons[size_t(qBound(0, iconState, 3))];
    setWindowIcon(icon);
    TrayIcon->setIcon(icon);
    TrayIcon->setToolTip(windowTitle());
}

void frmMain::showMeter(int usePercent)
{
    CpuLabel->setText(QString::number(usePercent) + QStringLiteral("%(CPU)"));
    CpuPicture2->setFixedWidth(qBound(0, usePercent, 100) * CpuPicture1->width() / 100);
    QPalette palette = CpuPicture2->palette();
    palette.setColor(QPalette::Window, platform::widgets::colorFromBgr(MeterColor));
    CpuPicture2->setPalette(palette);
}

void frmMain::setStartCaption(const QString &caption)
{
    btnStart->setText(caption);
}

SettingsBoxes frmMain::settingsBoxes() const
{
    SettingsBoxes boxes;
    boxes.NoneStrText = NoneStrText->text();
    boxes.NoneExtText = NoneExtText->text();
    boxes.SyncModeOption = SyncModeOption[1]->isChecked();
    boxes.NewOverWrCheck = NewOverWrCheck->isChecked();
    boxes.DeleteCheck = DeleteCheck->isChecked();
    boxes.NextCheck = NextCheck->isChecked();
    boxes.NextText = NextText->text();
    boxes.AutoCheck = AutoCheck->isChecked();
    boxes.AutoText = AutoText->text();
    boxes.CpuIdleText = CpuIdleText->text();
    boxes.CpuUseText = CpuUseText->text();
    boxes.HiSpCheck = HiSpCheck->isChecked();
    return boxes;
}

void frmMain::setSettingsBoxes(const SettingsBoxes &boxes)
{
    NoneStrText->setText(boxes.NoneStrText);
    NoneExtText->setText(boxes.NoneExtText);
    SyncModeOption[boxes.SyncModeOption ? 1 : 0]->setChecked(true);
    NewOverWrCheck->setChecked(boxes.NewOverWrCheck);
    DeleteCheck->setChecked(boxes.DeleteCheck);
    NextCheck->setChecked(boxes.NextCheck);
    NextText->setText(boxes.NextText);
    AutoCheck->setChecked(boxes.AutoCheck);
    AutoText->setText(boxes.AutoText);
    CpuIdleText->setText(boxes.CpuIdleText);
    CpuUseText->setText(boxes.CpuUseText);
    HiSpCheck->setChecked(boxes.HiSpCheck);
}

void frmMain::focusSettingsBox(SettingsBox box)
{
    switch (box) {
    case SettingsBox::CpuIdle:
        CpuIdleText->setFocus();
        break;
    case SettingsBox::CpuUse:
        CpuUseText->setFocus();
        break;
    case SettingsBox::Next:
        NextText->setFocus();
        break;
    case SettingsBox::Auto:
        AutoText->setFocus();
        break;
    }
}

void frmMain::setBackupOnlyChecksEnabled(bool enabled)
{
    NewOverWrCheck->setEnabled(enabled);
    DeleteCheck->setEnabled(enabled);
}

bool frmMain::windowHidden() const
{
    return !isVisible() || isMinimized();
}

void frmMain::popUpWindow()
{
    showNormal();
    QCoreApplication::processEvents();
    BringWindowToFront();
}

void frmMain::hideWindow()
{
    if (m_trayAvailable)
        hide();
    else
        showMinimized();
}

void frmMain::unloadWindow()
{
    m_unloading = true;
    TrayIcon->hide();
    if (isVisible())
        hide();
    emit unloaded();
}

} // namespace idlebackup
