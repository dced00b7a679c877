#include "textcompare/window/frm_linquell.h"

#include "common/dialogs/mouse_wheel.h"
#include "common/instance_slot.h"
#include "platform/atomic_file.h"
#include "platform/flex_grid.h"
#include "platform/widgets/flex_grid_view.h"
#include "platform/profile.h"
#include "platform/testing/planted_entries.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"
#include "platform/twips.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>

namespace textcompare {
namespace {

using platform::readProfileString;
using platform::testing::ScriptedDialogs;
using platform::testing::TemporaryFolder;

// Runs each window in a program folder of its own, with a name base for the instance
// locks that no other test shares, and with desktop settings of its own.
class FrmLinquellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setEnvironment("DIRGLEAM_SUITE_FOLDER", m_folder.path());
        setEnvironment("XDG_CONFIG_HOME", m_folder.makeFolder("xdg/config"));
        setEnvironment("XDG_CONFIG_DIRS", m_folder.makeFolder("xdg/etc"));
        setEnvironment("XDG_DATA_HOME", m_folder.makeFolder("xdg/home"));
        m_ini = m_folder.filePath(QCoreApplication::applicationName() + ".ini");
        store("MUTEX", "ExeMutex", uniqueBase());
    }
    void TearDown() override
    {
        for (const auto &[name, value] : m_savedEnvironment) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    void setEnvironment(const char *name, const QString &value)
    {
        m_savedEnvironment.append({name, qgetenv(name)});
        qputenv(name, value.toUtf8());
    }
    void store(const char *section, const char *key, const QString &value)
    {
        ASSERT_TRUE(platform::writeProfileString(section, key, value, m_ini));
    }
    QString stored(const char *section, const char *key) const
    {
        return readProfileString(section, key, QStringLiteral("<missing>"), m_ini);
    }

    static QString uniqueBase()
    {
        static int counter = 0;
        return QStringLiteral("v%1x%2x%3")
            .arg(QCoreApplication::applicationPid())
            .arg(QDateTime::currentMSecsSinceEpoch())
            .arg(++counter);
    }

    std::unique_ptr<Frm_Linquell> openWindow() { return std::make_unique<Frm_Linquell>(); }

    TemporaryFolder m_folder;
    ScriptedDialogs m_dialogs;
    QString m_ini;
    QList<std::pair<const char *, QByteArray>> m_savedEnvironment;
};

TEST_F(FrmLinquellTest, LoadsAsAnIdleNumberedWindow)
{
    auto window = openWindow();
    EXPECT_EQ(window->InstanceNumber, 1);
    EXPECT_EQ(window->windowTitle(), "テキスト差分表示ツール(1)");
    EXPECT_EQ(window->IniPath, m_ini);

    const platform::FlexGrid &grid = *window->Grd_Compare;
    EXPECT_EQ(grid.rows(), 2);
    EXPECT_EQ(grid.cols(), 6);
    const QStringList headers{"No.", "状態", "行No.", "ファイル１", "ファイル２", "行No."};
    const int widths[6] = {600, 600, 600, 4000, 4000, 600};
    for (int col = 0; col < 6; ++col) {
        EXPECT_EQ(grid.textMatrix(0, col), headers[col]);
        EXPECT_EQ(grid.colWidth(col), widths[col]);
    }
    EXPECT_EQ(grid.effectiveAlignment(0, 3), platform::FlexAlign::CenterCenter);
    EXPECT_EQ(grid.effectiveAlignment(1, 3), platform::FlexAlign::LeftCenter);
    EXPECT_EQ(grid.effectiveAlignment(1, 5), platform::FlexAlign::RightCenter);
    EXPECT_EQ(grid.row(), 1);
    EXPECT_EQ(grid.col(), 1);
    EXPECT_EQ(window->DiffDisplayTable.lastRow(), 1);
    EXPECT_EQ(window->DiffDisplayTable.cell(0, 0), "");

    for (QComboBox *codeList : window->Cmb_FileCode) {
        EXPECT_EQ(codeList->count(), 8);
        EXPECT_EQ(codeList->currentText(), "-------");
        EXPECT_EQ(codeList->itemText(7), "BIN");
    }
    EXPECT_EQ(window->Cmb_FileCode[1]->toolTip(), "ファイル２の文字コードを指定します(-：自動判定)");
    EXPECT_EQ(window->Cmb_HanteiLine->currentText(), "7");
    EXPECT_EQ(window->Cmb_HanteiLine->count(), 30);
    EXPECT_FALSE(window->CodeListReady);
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

// Downloads lie in the window's own work folder, where nobody else may look. What a
// killed window of the same number left there, or an earlier version beside the settings,
// is removed at load, another number's is left to its window, and the window's own go
// when it closes.
TEST_F(FrmLinquellTest, DownloadsLieInTheWorkFolderAndGoWithTheWindow)
{
    const QString program = QCoreApplication::applicationName();
    const auto workFile = [&](int number, const QString &name) {
        return m_folder.filePath(program + common::InstanceDigits(number) + u'/' + program + name);
    };
    const auto leftBeside = [this](const QString &target) {
        const QString path = QFile::decodeName(platform::temporaryFilePathFor(QFile::encodeName(target)));
        return m_folder.writeFile(QDir(m_folder.path()).relativeFilePath(path), "part");
    };
    const QStringList ours{leftBeside(workFile(1, "1.tmp")),
                           m_folder.writeFile(program + "001/" + program + "2.tmp", "old"),
                           m_folder.writeFile(program + "001-1.tmp", "an earlier version's download")};
    const QString others = leftBeside(workFile(2, "2.tmp"));
    auto window = openWindow();
    EXPECT_EQ(window->TempFilePaths[0], workFile(1, "1.tmp"));
    EXPECT_EQ(window->TempFilePaths[1], workFile(1, "2.tmp"));
    struct stat workFolder;
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(window->TempFilePaths[0]).path()).constData(), &workFolder), 0);
    EXPECT_EQ(workFolder.st_mode & 07777, 0700u);
    for (const QString &leftover : ours)
        EXPECT_FALSE(QFile::exists(leftover)) << leftover.toStdString();
    EXPECT_TRUE(QFile::exists(others));

    for (const QString &download : window->TempFilePaths)
        m_folder.writeFile(QDir(m_folder.path()).relativeFilePath(download), "downloaded");
    window->Form_Unload();
    for (const QString &download : window->TempFilePaths)
        EXPECT_FALSE(QFile::exists(download)) << download.toStdString();
}

// A settings file that someone else could have put beside the programs (a link, a FIFO)
// is named and left alone: the window opens with the defaults, runs none of its editor
// command, sends nothing through its proxy and holds nothing up.
TEST_F(FrmLinquellTest, APlantedSettingsFileIsNamedAndLeftAlone)
{
    using platform::testing::Planted;
    for (const Planted kind : {Planted::Link, Planted::Fifo}) {
        SCOPED_TRACE(int(kind));
        m_dialogs.clear();
        QFile::remove(m_ini);
        ASSERT_TRUE(
            platform::testing::plant(kind, m_ini, "[ETC]\nEditor=planted %F%\n[PROXY]\nServer_HTTP=attacker:8080\n"));
        const QByteArray planted = platform::testing::entryState(m_ini);
        {
            platform::testing::FifoWatch watch(m_ini);
            auto window = openWindow();
            EXPECT_NE(window->Editor, "planted %F%");
            EXPECT_EQ(window->Server_HTTP, "");
            window->Form_Unload();
            EXPECT_FALSE(watch.heldUp());
        }
        ASSERT_EQ(m_dialogs.shown().size(), 1);
        EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("設定ファイルを使用しません。既定の設定で起動します。　\r\n\r\n" + m_ini
                                                           + "\r\n("))
            << m_dialogs.shown()[0].prompt.toStdString();
        EXPECT_EQ(m_dialogs.shown()[0].style, platform::MessageStyle::OkOnly | platform::MessageStyle::IconExclamation);
        EXPECT_EQ(platform::testing::entryState(m_ini), planted);
    }
}

// The placement timer of an unattended run writes nothing, not even over values that do
// not read.
TEST_F(FrmLinquellTest, AnUnattendedRunWritesNoPlacement)
{
    store("Window", "Left", "far");
    store("Window", "Width", "9000px");
    const QByteArray before = TemporaryFolder::readFile(m_ini);
    auto window = openWindow();
    window->BatchRun = true;
    window->Tmr_Resize_Timer();
    EXPECT_EQ(TemporaryFolder::readFile(m_ini), before);
}

TEST_F(FrmLinquellTest, GridScrollsByTheWheelWhileLoaded)
{
    auto window = openWindow();
    EXPECT_EQ(common::dialogs::MouseWheel::instance().hookedGrid(), window->findChild<platform::widgets::FlexGridView *>());
    window->Form_Unload();
    EXPECT_EQ(common::dialogs::MouseWheel::instance().hookedGrid(), nullptr);

    store("MouseWheel", "Enable", "0");
    auto unhooked = openWindow();
    EXPECT_EQ(common::dialogs::MouseWheel::instance().hookedGrid(), nullptr);
}

TEST_F(FrmLinquellTest, FirstStartFixesTheMutexBase)
{
    QFile::remove(m_ini);
    {
        auto window = openWindow();
        EXPECT_TRUE(QRegularExpression("^\\d{14}$").match(stored("MUTEX", "ExeMutex")).hasMatch())
            << stored("MUTEX", "ExeMutex").toStdString();
        window->Form_Unload();
    }
    const QString base = stored("MUTEX", "ExeMutex");
    auto again = openWindow();
    EXPECT_EQ(stored("MUTEX", "ExeMutex"), base);
}

TEST_F(FrmLinquellTest, InstanceNumbersAreTakenAndFreed)
{
    auto first = openWindow();
    auto second = openWindow();
    EXPECT_EQ(second->InstanceNumber, 2);
    EXPECT_EQ(second->windowTitle(), "テキスト差分表示ツール(2)");
    EXPECT_NE(second->TempFilePaths[0], first->TempFilePaths[0]) << "no two viewers share a temporary file";
    first->Form_Unload();
    first.reset();
    EXPECT_EQ(openWindow()->InstanceNumber, 1);
}

TEST_F(FrmLinquellTest, SettingsComeInAndGoBackAtUnload)
{
    store("DSP", "HanteiLine", "3");
    store("DSP", "Nomi", "1");
    store("DSP", "NoSpCheck", "False");
    store("DSP", "NoULCheck", "True");
    store("CSV", "CsvHtmlUni", "True");
    store("DSP", "DIFFCADD", "FF");
    store("DSP", "LenOfRow", "abc");
    store("ETC", "Editor", "kate --line %L% %F%");
    store("HISTORY", "Item0", "/a.txt\t/b.txt");
    store("HISTORY", "Item1", "/c.txt\t/d.txt");
    store("Window", "State", "0");
    {
        auto window = openWindow();
        EXPECT_EQ(window->Cmb_HanteiLine->currentText(), "3");
        EXPECT_TRUE(window->Chk_Nomi->isChecked());
        EXPECT_FALSE(window->NoSpaceCheck->isChecked());
        EXPECT_TRUE(window->NoULChrCheck->isChecked());
        EXPECT_TRUE(window->CsvHtmlUni->isChecked());
        EXPECT_TRUE(window->CsvDblQuot->isChecked());
        EXPECT_EQ(window->Colors.DIFFCADD, 0xFFu);
        EXPECT_EQ(window->LenOfRow, 0);
        EXPECT_TRUE(window->CompHistory[1]->isVisible());
        EXPECT_FALSE(window->CompHistory[2]->isVisible());
        EXPECT_EQ(window->CompHistory[1]->text(), "/c.txt\t/d.txt");

        window->Chk_Nomi->setChecked(false);
        window->SearchStr = "検索";
        window->Cmb_HanteiLine->setCurrentText("9");
        window->Form_Unload();
    }
    EXPECT_EQ(stored("DSP", "Nomi"), "0");
    EXPECT_EQ(stored("DSP", "NoSpCheck"), "False");
    EXPECT_EQ(stored("DSP", "DIFFCADD"), "FF");
    EXPECT_EQ(stored("DSP", "LenOfRow"), "0");
    EXPECT_EQ(stored("ETC", "SearchStr"), "検索");
    EXPECT_EQ(stored("ETC", "Editor"), "kate --line %L% %F%");
    EXPECT_EQ(stored("DSP", "HanteiLine"), "3") << "the factor is written by its list, not at exit";
    EXPECT_EQ(stored("Window", "Width"), QString::number(15360));
    EXPECT_EQ(stored("HISTORY", "Item1"), "/c.txt\t/d.txt");
}

TEST_F(FrmLinquellTest, CheckMarkOptionsAreWrittenAtOnce)
{
    auto window = openWindow();
    window->NoSpaceCheck->trigger();
    EXPECT_EQ(stored("DSP", "NoSpCheck"), "False");
    window->XlsFormatCnd->trigger();
    EXPECT_EQ(stored("XLS", "XlsFormatCnd"), "True");
    window->CsvDblQuot->trigger();
    EXPECT_EQ(stored("CSV", "CsvDblQuot"), "False");
}

TEST_F(FrmLinquellTest, EditorDefaultsToTheAssociatedProgram)
{
    m_folder.writeFile("xdg/home/applications/my-editor.desktop", "[Desktop Entry]\nExec=/opt/tools/gedit %U\n");
    m_folder.writeFile("xdg/config/mimeapps.list", "[Default Applications]\ntext/plain=my-editor.desktop\n");
    EXPECT_EQ(openWindow()->Editor, "/opt/tools/gedit +%L% %F%");
    m_folder.writeFile("xdg/config/mimeapps.list", "[Default Applications]\n");
    EXPECT_EQ(openWindow()->Editor, " %F%");
    store("ETC", "Editor", "vi %F%");
    EXPECT_EQ(openWindow()->Editor, "vi %F%");
}

TEST_F(FrmLinquellTest, StartupPlacement)
{
    const struct
    {
        const char *name;
        QByteArray window;
        QRect expectedTwips;
        bool maximized;
    } cases[] = {
        {"far off to the left", "Left=-20000\nTop=0\nWidth=15360\nHeight=11070\n", {0, 0, 15360, 11070}, false},
        {"below the screen", "Left=0\nTop=50000\nWidth=9000\nHeight=6000\n", {0, 0, 15360, 11070}, false},
        {"partly off but kept", "Left=-1005\nTop=300\nWidth=9000\nHeight=6000\n", {-1005, 300, 9000, 6000}, false},
        {"maximised", "Left=150\nTop=150\nWidth=9000\nHeight=6000\nState=2\n", {150, 150, 9000, 6000}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_ini);
        m_folder.writeFile(QFileInfo(m_ini).fileName(), "[MUTEX]\nExeMutex=" + uniqueBase().toUtf8() + "\n[Window]\n" + c.window);
        auto window = openWindow();
        const QRect normal = window->isMaximized() ? window->normalGeometry() : window->geometry();
        EXPECT_EQ(normal.width() * 15, c.expectedTwips.width());
        EXPECT_EQ(normal.height() * 15, c.expectedTwips.height());
        EXPECT_EQ(window->isMaximized(), c.maximized);
        if (!c.maximized) {
            EXPECT_EQ(window->x() * 15, c.expectedTwips.x());
            EXPECT_EQ(window->y() * 15, c.expectedTwips.y());
        }
    }
}

TEST_F(FrmLinquellTest, TextColumnsTakeTheWidthOfTheGrid)
{
    auto window = openWindow();
    const platform::FlexGrid &grid = *window->Grd_Compare;
    window->resize(413, 500);
    window->show();
    QCoreApplication::processEvents();
    ASSERT_EQ(window->m_gridView->width(), 400) << "the grid reaches the right edge";
    EXPECT_EQ(grid.colWidth(3), 1615) << "(6000 - 4 x 600 - 230) / 2 - 70";
    EXPECT_EQ(grid.colWidth(4), 1615);
    window->resize(280, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.colWidth(3), 1615) << "too narrow: the widths stay";
    EXPECT_TRUE(window->Tmr_Resize->isActive()) << "the placement is saved once the size settles";
}

// Each code list shows its longest code name whole, "UNICODE" and the automatic entry, and
// the controls behind it make room for it from the path boxes.
TEST_F(FrmLinquellTest, CodeListsFitTheLongestCodeName)
{
    auto window = openWindow();
    window->resize(900, 500);
    window->show();
    QCoreApplication::processEvents();
    for (QComboBox *codeList : window->Cmb_FileCode) {
        QStyleOptionComboBox option;
        option.initFrom(codeList);
        option.rect = codeList->rect();
        const int room =
            codeList->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, codeList).width();
        for (int index = 0; index < codeList->count(); ++index) {
            SCOPED_TRACE(codeList->itemText(index).toStdString());
            EXPECT_GE(room, codeList->fontMetrics().horizontalAdvance(codeList->itemText(index)));
        }
    }
    EXPECT_GE(window->Lbl_HanteiLine->x(), window->Cmb_FileCode[0]->geometry().right()) << "nothing lies over the list";
    const int clientWidth = window->Btn_DiffClear->parentWidget()->width();
    EXPECT_LE(window->Chk_HanteiLine->geometry().right(), clientWidth) << "the controls behind it stay in the window";
    EXPECT_LE(window->Btn_DiffClear->geometry().right(), clientWidth);
}

TEST_F(FrmLinquellTest, NumberColumnsFitTheLargestNumbersAfterEachComparison)
{
    auto window = openWindow();
    QFont font = window->m_gridView->font();
    font.setPixelSize(30);
    window->m_gridView->setFont(font);
    QByteArray lines;
    for (int line = 1; line <= 120; ++line)
        lines += "line " + QByteArray::number(line) + '\n';
    window->Txt_FilePath[0]->setText(m_folder.writeFile("long1.txt", lines));
    window->Txt_FilePath[1]->setText(m_folder.writeFile("long2.txt", lines + "one more\n"));
    window->Btn_DiffList_Click();
    const platform::FlexGrid &grid = *window->Grd_Compare;
    ASSERT_EQ(grid.textMatrix(grid.rows() - 1, DisplayTable::No), "121");
    const QFontMetrics metrics(font);
    for (const auto &[col, largest] : {std::pair{DisplayTable::No, "121"}, std::pair{DisplayTable::Line1, "120"},
                                       std::pair{DisplayTable::Line2, "121"}}) {
        SCOPED_TRACE(col);
        EXPECT_GE(platform::twipsToPixels(grid.colWidth(col)), metrics.horizontalAdvance(largest) + 4)
            << "the whole number with a margin on each side";
    }
    EXPECT_EQ(grid.colWidth(DisplayTable::Text1), grid.colWidth(DisplayTable::Text2));

    window->Txt_FilePath[0]->setText(m_folder.writeFile("short1.txt", "a\n"));
    window->Txt_FilePath[1]->setText(m_folder.writeFile("short2.txt", "b\n"));
    window->Btn_DiffList_Click();
    for (const int col : {DisplayTable::No, DisplayTable::Line1, DisplayTable::Line2})
        EXPECT_EQ(grid.colWidth(col), 600) << "the designed width again";
}

TEST_F(FrmLinquellTest, ClosingMaximisedKeepsTheLastNormalPlacement)
{
    store("Window", "Left", "300");
    store("Window", "Width", "9000");
    store("Window", "State", "2");
    {
        auto window = openWindow();
        ASSERT_TRUE(window->isMaximized());
        window->Form_Unload();
    }
    EXPECT_EQ(stored("Window", "State"), "2");
    EXPECT_EQ(stored("Window", "Left"), "300");
    EXPECT_EQ(stored("Window", "Width"), "9000");
}

TEST_F(FrmLinquellTest, EscapeAsksToCloseOrToStop)
{
    auto window = openWindow();
    window->show();
    int keyCode = 27;
    m_dialogs.answerNext(platform::MessageAnswer::No);
    window->Form_KeyDown(keyCode, 0);
    EXPECT_EQ(keyCode, 0) << "the key never reaches a control";
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_EQ(m_dialogs.shown()[0].prompt, "プログラムを終了しますか？");
    EXPECT_EQ(m_dialogs.shown()[0].title, "Linquell");

    window->ProgrsFlag = true;
    keyCode = 27;
    m_dialogs.answerNext(platform::MessageAnswer::No);
    window->Form_KeyDown(keyCode, 0);
    EXPECT_FALSE(window->CancelFlag);
    keyCode = 27;
    m_dialogs.answerNext(platform::MessageAnswer::Yes);
    window->Form_KeyDown(keyCode, 0);
    EXPECT_TRUE(window->CancelFlag);
    EXPECT_EQ(m_dialogs.shown()[2].prompt, "処理を中止しますか？");
    EXPECT_TRUE(window->isVisible()) << "stopping a job does not close the window";

    window->ProgrsFlag = false;
    keyCode = 27;
    m_dialogs.answerNext(platform::MessageAnswer::Yes);
    window->Form_KeyDown(keyCode, 0);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(stored("DSP", "NoSpCheck"), "True") << "closing unloads the window";
}

} // namespace
} // namespace textcompare
