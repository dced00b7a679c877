#include "foldercompare/window/window_test_fixture.h"

#include "common/dialogs/frm_bin_ext.h"
#include "common/dialogs/frm_color.h"
#include "common/dialogs/frm_folder_num.h"
#include "common/dialogs/frm_line_max.h"
#include "common/dialogs/mouse_wheel.h"
#include "common/dialogs/mouse_wheel_d.h"
#include "foldercompare/listing/testing_host.h"
#include "platform/testing/planted_entries.h"
#include "platform/testing/print_to.h"
#include "platform/testing/unprivileged_scope.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QUrl>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare {
namespace {

using listing::testing::setModified;

const QString Absent = QStringLiteral("(absent)");

// Records the addresses that the desktop would open.
class OpenedUrls : public QObject
{
    Q_OBJECT

public:
    OpenedUrls()
    {
        for (const char *scheme : {"file", "http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~OpenedUrls() override
    {
        for (const char *scheme : {"file", "http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }
};

class MenusTest : public testing::WindowTest
{
protected:
    QString stored(const QString &section, const QString &key) const
    {
        return platform::readProfileString(section, key, Absent, m_ini);
    }

    // Runs each dialog the window shows through `fill`, which fills it in and closes it.
    template<typename Dialog>
    void onDialog(Frm_Main &window, std::function<void(Dialog &)> fill)
    {
        window.setModalRunner([fill, this](QDialog &shown) {
            auto *dialog = dynamic_cast<Dialog *>(&shown);
            ASSERT_NE(dialog, nullptr);
            ++m_dialogsShown;
            dialog->show();
            fill(*dialog);
        });
    }

    int m_dialogsShown = 0;
};

TEST_F(MenusTest, OptionItemsFlipAndWriteAtOnce)
{
    auto window = readyWindow();
    const struct
    {
        QAction *item;
        const char *section;
        const char *key;
    } items[] = {
        {window->RecyclerBackup, "DSP", "RccBakup"}, {window->TextCrlfNone, "DSP", "CrlfNone"},
        {window->TextCodeDsp, "DSP", "CodeDisp"},    {window->UpdDateNone, "DSP", "UpDtNone"},
        {window->NewDateAsta, "DSP", "NewDtAst"},    {window->CsvDblQuot, "CSV", "CsvDblQuot"},
        {window->CsvSizeFit, "CSV", "CsvSizeFit"},   {window->TxtDifKeis, "SAV", "TxtDifKeis"},
    };
    for (const auto &c : items) {
        SCOPED_TRACE(c.key);
        const bool initially = c.item->isChecked();
        c.item->trigger();
        EXPECT_EQ(c.item->isChecked(), !initially);
        EXPECT_EQ(stored(c.section, c.key), initially ? "False" : "True");
        c.item->trigger();
        EXPECT_EQ(c.item->isChecked(), initially);
        EXPECT_EQ(stored(c.section, c.key), initially ? "True" : "False");
    }
}

TEST_F(MenusTest, PerFileOutputsExcludeEachOther)
{
    auto window = readyWindow();
    window->TxtDifNomi->trigger();
    EXPECT_TRUE(window->TxtDifNomi->isChecked());
    window->TxtDifAlll->trigger();
    EXPECT_TRUE(window->TxtDifAlll->isChecked());
    EXPECT_FALSE(window->TxtDifNomi->isChecked());
    EXPECT_EQ(stored("SAV", "TxtDifAlll"), "True");
    EXPECT_EQ(stored("SAV", "TxtDifNomi"), "False");
    window->TxtDifAlll->trigger();
    EXPECT_FALSE(window->TxtDifAlll->isChecked());
    EXPECT_FALSE(window->TxtDifNomi->isChecked()) << "unchecking leaves the other as it is";
    EXPECT_EQ(stored("SAV", "TxtDifAlll"), "False");
    window->TxtDifNomi->trigger();
    EXPECT_EQ(stored("SAV", "TxtDifNomi"), "True");
    EXPECT_EQ(stored("SAV", "TxtDifAlll"), "False");
}

TEST_F(MenusTest, NumberDialogsStoreWhatTheyAccept)
{
    auto window = readyWindow();
    onDialog<common::dialogs::Frm_FolderNum>(*window, [](common::dialogs::Frm_FolderNum &dialog) {
        dialog.Txt_FolderNum->setText("0");
        dialog.Btn_OK->click();
        EXPECT_TRUE(dialog.isVisible()) << "0 is refused";
        EXPECT_EQ(dialog.Txt_FolderNum->text(), "999");
        dialog.Txt_FolderNum->setText("2.5");
        dialog.Btn_OK->click();
    });
    window->Mnu_FolderNum->trigger();
    EXPECT_EQ(window->FolderNum, 2);
    EXPECT_EQ(stored("DSP", "FolderNum"), "2");

    onDialog<common::dialogs::Frm_LineMax>(*window, [](common::dialogs::Frm_LineMax &dialog) {
        dialog.Txt_LineMax->setText("30000");
        dialog.Btn_OK->click();
    });
    window->Mnu_LineMax->trigger();
    EXPECT_EQ(window->LineMax, 30000);
    EXPECT_EQ(stored("DSP", "LineMax"), "30000");

    onDialog<common::dialogs::Frm_LineMax>(*window, [](common::dialogs::Frm_LineMax &dialog) {
        dialog.Txt_LineMax->setText("0.4");
        dialog.Btn_OK->click();
        dialog.close();
    });
    window->Mnu_LineMax->trigger();
    EXPECT_EQ(window->LineMax, 30000) << "a value that rounds to 0 is refused";

    onDialog<common::dialogs::Frm_BinExt>(*window, [](common::dialogs::Frm_BinExt &dialog) {
        dialog.Txt_BinExt->setText(".zip , LZH");
        dialog.Btn_OK->click();
    });
    window->SetBinExt->trigger();
    EXPECT_EQ(window->BinJdExt, (QStringList{"zip", "LZH"}));
    EXPECT_EQ(stored("DSP", "BinJdExt"), "zip,LZH");
    EXPECT_EQ(m_dialogsShown, 4);
}

class ColourMenuTest : public MenusTest
{
protected:
    std::unique_ptr<Frm_Main> listed()
    {
        setModified(file("one/b.txt", "old"), 1577934245);
        setModified(file("two/b.txt", "new!"), 1609556645);
        setModified(file("two/c.txt", "c"), 1609556645);
        setModified(file("one/d.txt", "d"), 1577934245);
        setModified(file("one/e.txt", "e"), 1577934245);
        setModified(file("two/e.txt", "e"), 1609556645);
        auto window = readyWindow();
        window->Txt_FolderPath[0]->setText(tree("one"));
        window->Txt_FolderPath[1]->setText(tree("two"));
        window->Btn_GetFileInfoAll_Click();
        return window;
    }
    static QList<quint32> colours(const Frm_Main &window)
    {
        QList<quint32> result;
        for (int row = 1; row < window.Grd_Compare->rows(); ++row)
            result.append(window.Grd_Compare->backColorAt(row, 4));
        return result;
    }
};

TEST_F(ColourMenuTest, ConfirmedColoursRepaintTheRowsAndKeepTheCurrentCell)
{
    auto window = listed();
    ASSERT_EQ(statusRows(*window), (QStringList{"変更|b.txt", "追加|c.txt", "削除|d.txt", "日時|e.txt"}));
    window->Grd_Compare->setSelection(2, 2, 4, 4);
    onDialog<common::dialogs::Frm_Color>(*window, [](common::dialogs::Frm_Color &dialog) {
        dialog.Txt_Color[0]->setText("11");
        dialog.Txt_Color[1]->setText("22");
        dialog.Txt_Color[2]->setText("33");
        dialog.Txt_Color[3]->setText("44");
        dialog.Btn_Ok->click();
    });
    window->SetDiffColor->trigger();
    EXPECT_EQ(colours(*window), (QList<quint32>{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(window->ColorAdd, 0x22u);
    EXPECT_EQ(stored("DSP", "DIFFCDEL"), "33");
    EXPECT_EQ(window->GetSelection(), (std::array<int, 4>{2, 2, 2, 2})) << "the selection collapses to the current cell";
    EXPECT_EQ(window->MousePointer, 0);
    EXPECT_TRUE(window->Txt_FolderPath[0]->isEnabled());
}

TEST_F(ColourMenuTest, ClosingWithoutOkLeavesColoursAndRows)
{
    auto window = listed();
    const QList<quint32> before = colours(*window);
    onDialog<common::dialogs::Frm_Color>(*window, [](common::dialogs::Frm_Color &dialog) {
        dialog.Txt_Color[0]->setText("11");
        dialog.close();
    });
    window->SetDiffColor->trigger();
    EXPECT_EQ(colours(*window), before);
    EXPECT_EQ(stored("DSP", "DIFFCUPD"), Absent);

    window->GridInit();
    window->SetDiffColor->trigger();
    EXPECT_EQ(window->Grd_Compare->backColorAt(1, 4), 0u) << "an empty list is painted with no colour";
}

TEST_F(MenusTest, WheelIsHookedAtLoadAndSetByItsDialog)
{
    auto window = readyWindow();
    common::dialogs::MouseWheel &wheel = common::dialogs::MouseWheel::instance();
    EXPECT_EQ(wheel.hookedGrid(), window->m_gridView);

    onDialog<common::dialogs::MouseWheelD>(*window, [](common::dialogs::MouseWheelD &dialog) {
        dialog.Chk_MouseWheel->setChecked(false);
        dialog.Btn_Ok->click();
    });
    window->SetMouseWheel->trigger();
    EXPECT_EQ(wheel.hookedGrid(), nullptr);
    EXPECT_EQ(stored("MouseWheel", "Enable"), "0");

    onDialog<common::dialogs::MouseWheelD>(*window, [](common::dialogs::MouseWheelD &dialog) {
        dialog.Chk_MouseWheel->setChecked(true);
        dialog.Cmb_WheelLine->setCurrentText("5");
        dialog.Btn_Ok->click();
    });
    window->SetMouseWheel->trigger();
    EXPECT_EQ(wheel.hookedGrid(), window->m_gridView);
    EXPECT_EQ(stored("MouseWheel", "Line"), "5");

    window->Form_Unload();
    EXPECT_EQ(wheel.hookedGrid(), nullptr) << "the unload releases the hook";
}

TEST_F(MenusTest, NewWindowsStartTheProgramsWithoutArguments)
{
    auto window = readyWindow();
    window->ViewerExePath = m_programs.filePath("missing/Linquell");
    window->NewLinquell->trigger();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"テキスト差分表示ツールが存在しません　\r\n\r\n" + window->ViewerExePath});
    EXPECT_TRUE(m_starts.starts().isEmpty());

    window->ViewerExePath = m_programs.writeFile("Linquell", "");
    window->NewLinquell->trigger();
    window->NewDirgleam->trigger();
    ASSERT_EQ(m_starts.starts().size(), 2);
    EXPECT_EQ(m_starts.starts()[0].program, window->ViewerExePath);
    EXPECT_EQ(m_starts.starts()[0].arguments, QStringList());
    EXPECT_EQ(m_starts.starts()[1].program, window->OwnExePath);
    EXPECT_EQ(m_starts.starts()[1].arguments, QStringList());

    m_dialogs.clear();
    m_starts.setSucceeds(false);
    window->NewDirgleam->trigger();
    ASSERT_EQ(m_dialogs.prompts().size(), 1);
    EXPECT_TRUE(m_dialogs.prompts().first().startsWith("システムエラー : NewDirgleam_Click\r\n"));
}

// A sibling program is started only where its file is the user's or root's and nobody
// else may change it: a file that others may write to, a link, another user's file is
// named and not started.
TEST_F(MenusTest, SiblingsStartOnlyWhereNobodyElseMayChangeThem)
{
    using platform::testing::Planted;
    auto window = readyWindow();
    for (const Planted kind :
         {Planted::WritableByOthers, Planted::Link, Planted::OthersFile, Planted::SharedGroupFile}) {
        SCOPED_TRACE(int(kind));
        m_dialogs.clear();
        window->ViewerExePath = m_programs.filePath(QStringLiteral("planted%1/Linquell").arg(int(kind)));
        m_programs.makeFolder(QStringLiteral("planted%1").arg(int(kind)));
        if (!platform::testing::plant(kind, window->ViewerExePath, "#!/bin/sh\n"))
            continue;
        window->NewLinquell->trigger();
        ASSERT_EQ(m_dialogs.prompts().size(), 1);
        EXPECT_TRUE(m_dialogs.prompts()[0].startsWith("プログラムを起動しません。　\r\n\r\n" + window->ViewerExePath + "\r\n("))
            << m_dialogs.prompts()[0].toStdString();
    }
    EXPECT_TRUE(m_starts.starts().isEmpty());
    // Nor where others may put another file in its place between the look and the start:
    // in a folder they may write to, unless its sticky bit keeps them from taking away
    // what is not theirs.
    for (const mode_t mode : {mode_t(0777), mode_t(01777)}) {
        SCOPED_TRACE(mode);
        m_dialogs.clear();
        const QString folder = m_programs.makeFolder(QStringLiteral("open%1").arg(mode, 0, 8));
        window->ViewerExePath = m_programs.writeFile(QStringLiteral("open%1/Linquell").arg(mode, 0, 8), "#!/bin/sh\n");
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), mode), 0);
        window->NewLinquell->trigger();
        EXPECT_EQ(m_dialogs.prompts(), (mode & S_ISVTX) != 0 ? QStringList()
                                                             : QStringList("プログラムを起動しません。　\r\n\r\n"
                                                                           + window->ViewerExePath + "\r\n(" + folder
                                                                           + " : 他のユーザーも書き込めます)"));
    }
    ASSERT_EQ(m_starts.starts().size(), 1);
    EXPECT_EQ(m_starts.starts()[0].program, window->ViewerExePath);
    if (::geteuid() != 0)
        GTEST_SKIP() << "another user's files and a program of the superuser's need the superuser";
    // The superuser's program starts for any user.
    window->ViewerExePath = m_programs.writeFile("root/Linquell", "#!/bin/sh\n");
    for (const QString &path : {m_programs.path(), m_programs.filePath("root"), window->ViewerExePath})
        platform::testing::allowOthers(path);
    {
        platform::testing::UnprivilegedScope unprivileged;
        window->NewLinquell->trigger();
    }
    ASSERT_EQ(m_starts.starts().size(), 2);
    EXPECT_EQ(m_starts.starts()[1].program, window->ViewerExePath);
}

TEST_F(MenusTest, HelpPagesOpenTheProjectReadme)
{
    OpenedUrls opened;
    auto window = readyWindow();
    window->Homepage->trigger();
    window->XxxReqFaq->trigger();
    ASSERT_EQ(opened.urls.size(), 2);
    for (const QUrl &url : opened.urls) {
        EXPECT_TRUE(url.isLocalFile());
        EXPECT_TRUE(QFileInfo(url.toLocalFile()).isFile()) << url.toLocalFile().toStdString();
        EXPECT_EQ(QFileInfo(url.toLocalFile()).fileName(), "README.md");
    }
    EXPECT_EQ(m_dialogs.prompts(), QStringList());
}

// A desktop where nothing opens the README: the handler of file addresses refuses
// (its slot does not exist), as openUrl does where no program is registered.
TEST_F(MenusTest, HelpPagesNameTheReadmeWhereNothingOpensIt)
{
    QObject refusingOpener;
    QDesktopServices::setUrlHandler("file", &refusingOpener, "noSuchSlot");
    const auto restore = qScopeGuard([] { QDesktopServices::unsetUrlHandler("file"); });
    auto window = readyWindow();
    const QString readme = m_programs.writeFile("README.md", "# Dirgleam\n");
    window->ReadmePlaces = {m_programs.filePath("missing/README.md"), readme};
    window->Homepage->trigger();
    window->XxxReqFaq->trigger();
    const QString named = "説明書を開くプログラムがありません。次のファイルをご覧ください。　\r\n\r\n" + readme;
    EXPECT_EQ(m_dialogs.prompts(), (QStringList{named, named}));

    m_dialogs.clear();
    window->ReadmePlaces = {m_programs.filePath("missing/README.md")};
    window->Homepage->trigger();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"説明書（README.md）が見つかりません。　"});
}

} // namespace
} // namespace foldercompare

#include "frm_main_menus_test.moc"
