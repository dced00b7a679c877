#include "foldercompare/window/window_test_fixture.h"

#include "foldercompare/listing/testing_host.h"
#include "platform/testing/print_to.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>

#include <unistd.h>

namespace foldercompare {
namespace {

using listing::testing::setModified;
using platform::MessageAnswer::No;
using platform::MessageAnswer::Yes;

constexpr qint64 T1 = 1577934245;
constexpr qint64 T2 = 1609556645;

class GatheringTest : public testing::WindowTest
{
protected:
    // Two small trees: a.txt the same, b.txt changed, c.txt only in folder 2.
    void twoTrees()
    {
        setModified(file("one/a.txt", "same"), T1);
        setModified(file("two/a.txt", "same"), T1);
        setModified(file("one/b.txt", "old"), T1);
        setModified(file("two/b.txt", "new"), T2);
        setModified(file("two/c.txt", "c"), T2);
    }
    QString listing(const Frm_Main &window, int side) const { return window.FileInfoLog[side]; }
};

TEST_F(GatheringTest, GatheringOneSideListsItAtOnce)
{
    twoTrees();
    auto window = readyWindow();
    gather(*window, 0, tree("one"));
    EXPECT_EQ(m_dialogs.prompts(), QStringList());
    EXPECT_EQ(platform::testing::TemporaryFolder::readFile(listing(*window, 0)).count('\n'), 2);
    EXPECT_EQ(platform::testing::TemporaryFolder::readFile(listing(*window, 0) + ".bak"),
              platform::testing::TemporaryFolder::readFile(listing(*window, 0)));
    EXPECT_EQ(window->Txt_FileInfoDate[0]->text(),
              QFileInfo(listing(*window, 0)).lastModified().toString("yyyy/MM/dd HH:mm:ss"));
    EXPECT_EQ(window->GatheredPath[0], tree("one"));
    EXPECT_EQ(window->SideRoot[0], tree("one"));
    EXPECT_EQ(window->statusText(1), "フォルダ1件数:2");
    EXPECT_TRUE(window->statusTip(1).startsWith("フォルダ1取得時間:"));
    EXPECT_TRUE(window->statusTip(1).endsWith("秒"));
    EXPECT_EQ(window->statusText(2), "フォルダ2件数:0");
    EXPECT_EQ(window->statusTip(2), "フォルダ2取得時間:0.0秒");
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "|b.txt"})) << "one side alone has no statuses";
    EXPECT_EQ(window->statusText(3), "比較件数:2");
    EXPECT_EQ(window->statusText(0), "");
    EXPECT_EQ(window->windowTitle(), window->BaseCaption);
    EXPECT_FALSE(window->BusyFlag);
    EXPECT_EQ(window->MousePointer, 0);
    EXPECT_TRUE(window->Txt_FolderPath[0]->isEnabled());
}

TEST_F(GatheringTest, TheSecondSideAsksBeforeComparingAndARegatheringDoesNot)
{
    twoTrees();
    auto window = readyWindow();
    gather(*window, 0, tree("one"));
    m_dialogs.answerNext(No);
    gather(*window, 1, tree("two"));
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"比較表示します。宜しいですか？　"});
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "|b.txt"})) << "No keeps the list";

    m_dialogs.clear();
    m_dialogs.answerNext(Yes);
    gather(*window, 1, tree("two"));
    EXPECT_EQ(m_dialogs.prompts(), QStringList()) << "a side that had information compares at once";
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "日時|b.txt", "追加|c.txt"}));
    EXPECT_EQ(window->statusText(1), "フォルダ1件数:2");
    EXPECT_EQ(window->statusText(2), "フォルダ2件数:3");
}

TEST_F(GatheringTest, PathsAreCleanedAndCheckedFirst)
{
    file("one/a.txt");
    auto window = readyWindow();
    gather(*window, 0, "  ");
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"フォルダを指定してください。　"});
    m_dialogs.clear();
    gather(*window, 0, tree("missing"));
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"フォルダまたはファイルが存在しません　"});
    EXPECT_EQ(window->Txt_FileInfoDate[0]->text(), "");
    EXPECT_FALSE(QFileInfo::exists(window->FileInfoLog[0]));
    m_dialogs.clear();
    gather(*window, 0, " " + tree("one") + "\r\n ");
    EXPECT_EQ(window->Txt_FolderPath[0]->text(), tree("one"));
    EXPECT_EQ(window->GatheredPath[0], tree("one"));
    EXPECT_FALSE(window->GatherOnly);
    EXPECT_FALSE(window->CompareWithoutAsking);
}

TEST_F(GatheringTest, GatheringTheSameFolderAgainAsSide1Asks)
{
    file("one/a.txt");
    auto window = readyWindow();
    gather(*window, 1, tree("one"));
    gather(*window, 0, tree("one"));
    const QString snapshot = window->Txt_FileInfoDate[0]->text();
    const QByteArray listing = platform::testing::TemporaryFolder::readFile(window->FileInfoLog[0]);
    file("one/new.txt");
    m_dialogs.clear();
    m_dialogs.answerNext(No);
    gather(*window, 0, tree("one"));
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"フォルダ１（旧）のファイル情報を取得します。　\r\n宜しいですか？"});
    EXPECT_EQ(window->Txt_FileInfoDate[0]->text(), snapshot);
    EXPECT_EQ(platform::testing::TemporaryFolder::readFile(window->FileInfoLog[0]), listing);
}

// Names that cannot be listed are named in one message, and links that lead nowhere,
// whose names are fine, in one of their own.
TEST_F(GatheringTest, NamesThatCannotBeListedAndLinksThatLeadNowhereAreNamed)
{
    file("one/good.txt");
    file("one/bad\nname.txt");
    ASSERT_EQ(::symlink("gone.txt", QFile::encodeName(tree("one/nowhere.txt")).constData()), 0);
    auto window = readyWindow();
    gather(*window, 0, tree("one"));
    ASSERT_EQ(m_dialogs.prompts().size(), 2);
    EXPECT_EQ(m_dialogs.prompts().first(),
              "未対応のファイル名(UNICODE？)を一覧から除外します。ごめんなさい。　　\r\n\r\nbad\\nname.txt\r\n")
        << "a line break inside a name is written out, so the name stays on its line";
    EXPECT_EQ(m_dialogs.prompts().last(), "リンク先がないリンクを一覧から除外します。　\r\n\r\nnowhere.txt\r\n");
    EXPECT_EQ(window->statusText(1), "フォルダ1件数:1");
}

TEST_F(GatheringTest, EscDuringAGatheringKeepsTheCopyAndTheGatheredPath)
{
    twoTrees();
    auto window = readyWindow();
    gather(*window, 0, tree("one"));
    const QString time = window->Txt_FileInfoDate[0]->text();
    const QByteArray listing = platform::testing::TemporaryFolder::readFile(window->FileInfoLog[0]);
    const QByteArray copy = platform::testing::TemporaryFolder::readFile(window->FileInfoLog[0] + ".bak");

    m_dialogs.clear();
    m_dialogs.answerNext(Yes);
    window->Txt_FolderPath[0]->setText(tree("two"));
    QCoreApplication::postEvent(window->Txt_FolderPath[0], new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    window->Btn_GetFileInfo_Click(0);

    ASSERT_FALSE(m_dialogs.shown().isEmpty());
    EXPECT_EQ(m_dialogs.shown().first().prompt, "処理を中止しますか？");
    EXPECT_EQ(m_dialogs.shown().first().title, "Dirgleam");
    EXPECT_EQ(window->Txt_FileInfoDate[0]->text(), "") << "the new path dropped the side's information";
    EXPECT_FALSE(QFileInfo::exists(window->FileInfoLog[0]));
    EXPECT_EQ(platform::testing::TemporaryFolder::readFile(window->FileInfoLog[0] + ".bak"), copy);
    EXPECT_EQ(window->GatheredPath[0], tree("one")) << "the gathered path changes only with a complete listing";
    EXPECT_EQ(window->SideRoot[0], "");
    EXPECT_FALSE(window->AbortFlag);
    EXPECT_FALSE(window->BusyFlag);
    EXPECT_EQ(window->MousePointer, 0);

    window->Txt_FolderPath[0]->setText(tree("one"));
    EXPECT_EQ(window->Txt_FileInfoDate[0]->text(), time) << "the gathered path brings its listing back";
    EXPECT_EQ(platform::testing::TemporaryFolder::readFile(window->FileInfoLog[0]), listing);
    EXPECT_EQ(window->SideRoot[0], tree("one"));
}

TEST_F(GatheringTest, GatherBothComparesOnceWithoutAsking)
{
    twoTrees();
    auto window = readyWindow();
    window->Txt_FolderPath[0]->setText(tree("one"));
    window->Txt_FolderPath[1]->setText(tree("two"));
    window->Mnu_GetFileInfoAll_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList());
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "日時|b.txt", "追加|c.txt"}));
    EXPECT_EQ(window->statusText(0), "");
    EXPECT_FALSE(window->BusyFlag);
}

TEST_F(GatheringTest, ClearEmptiesPathsRootsAndGridAfterAsking)
{
    twoTrees();
    auto window = readyWindow();
    window->Txt_FolderPath[0]->setText(tree("one"));
    window->Txt_FolderPath[1]->setText(tree("two"));
    window->Btn_GetFileInfoAll_Click();
    m_dialogs.answerNext(No);
    window->Mnu_DiffClear_Click();
    EXPECT_EQ(window->Txt_FolderPath[0]->text(), tree("one"));
    EXPECT_EQ(rows(*window).size(), 3);

    m_dialogs.clear();
    window->Mnu_DiffClear_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"クリアします。宜しいですか？　"});
    EXPECT_EQ(window->Txt_FolderPath[0]->text(), "");
    EXPECT_EQ(window->Txt_FolderPath[1]->text(), "");
    EXPECT_EQ(window->SideRoot[0], "");
    EXPECT_EQ(window->SideRoot[1], "");
    EXPECT_EQ(rows(*window), QStringList{"|||"});
    EXPECT_FALSE(window->ColSortAsc.menu->isEnabled());
}

TEST_F(GatheringTest, FirstActivationGathersTheGivenPathsAndComparesOnce)
{
    twoTrees();
    platform::writeProfileString("DSP", "Data", "0", m_ini);
    platform::writeProfileString("DSP", "UpDtNone", "False", m_ini);
    auto window = openWindow();
    window->Txt_FolderPath[0]->setText(tree("one"));
    window->Txt_FolderPath[1]->setText(tree("two"));
    window->Form_Activate();
    EXPECT_EQ(m_dialogs.prompts(), QStringList());
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "日時|b.txt", "追加|c.txt"}));
    EXPECT_EQ(window->CompareCount, 3);
    EXPECT_EQ(window->DiffRowCount, 1);
    EXPECT_TRUE(window->InputEventsOn);
    EXPECT_EQ(window->statusText(0), "");
    EXPECT_EQ(platform::readProfileString("HISTORY", "Item0", "", m_ini), tree("one") + "\t" + tree("two"));
}

TEST_F(GatheringTest, FirstActivationWithOnePathListsThatSide)
{
    twoTrees();
    auto window = openWindow();
    window->Txt_FolderPath[1]->setText(tree("two"));
    window->Form_Activate();
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "|b.txt", "|c.txt"}));
    EXPECT_EQ(window->Txt_FileInfoDate[0]->text(), "");
}

// A window started with a folder that is missing (as Zelquin's comparison starts one for
// a backup not yet made) says so once, however often it is activated meanwhile.
TEST_F(GatheringTest, AStartedWindowTellsOfAMissingFolderOnce)
{
    twoTrees();
    auto window = openWindow();
    window->Txt_FolderPath[0]->setText(tree("one"));
    window->Txt_FolderPath[1]->setText(tree("not yet"));
    showAtStart(*window);
    EXPECT_EQ(m_dialogs.prompts().count(QStringLiteral("フォルダまたはファイルが存在しません　")), 1)
        << m_dialogs.prompts().join(" | ").toStdString();
}

TEST_F(GatheringTest, InstanceOneRestoresTheListingTimes)
{
    twoTrees();
    QString time;
    {
        auto window = readyWindow();
        gather(*window, 0, tree("one"));
        time = window->Txt_FileInfoDate[0]->text();
        window->Form_Unload();
    }
    auto window = openWindow();
    window->Form_Activate();
    EXPECT_EQ(window->Txt_FolderPath[0]->text(), tree("one"));
    EXPECT_EQ(window->Txt_FileInfoDate[0]->text(), time);
    EXPECT_EQ(window->Txt_FileInfoDate[1]->text(), "");
    EXPECT_EQ(window->statusText(1), "フォルダ1件数:2");
    EXPECT_EQ(rows(*window), QStringList{"|||"}) << "nothing is compared until asked";
}

TEST_F(GatheringTest, AFurtherWindowTakesOverHandedOverMirrors)
{
    twoTrees();
    auto first = openWindow();
    m_programs.writeFile(QFileInfo(first->HandOverFolder).fileName() + "/0.ftp/mirrored.txt", "m");
    auto second = openWindow();
    ASSERT_EQ(second->InstanceNumber, 2);
    m_programs.writeFile(QFileInfo(second->WorkFolder).fileName() + "/0.ftp/stale.txt", "s");
    second->Txt_FolderPath[0]->setText(tree("one"));
    second->Form_Activate();
    EXPECT_TRUE(QFileInfo::exists(second->FtpCacheFolder[0] + "/mirrored.txt"));
    EXPECT_FALSE(QFileInfo::exists(second->FtpCacheFolder[0] + "/stale.txt"));
    EXPECT_FALSE(QFileInfo::exists(second->HandOverFolder + "/0.ftp"));
}

} // namespace
} // namespace foldercompare
