#include "foldercompare/window/window_test_fixture.h"

#include "foldercompare/listing/testing_host.h"
#include "platform/testing/print_to.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace foldercompare {
namespace {

using listing::testing::setModified;
using platform::testing::TemporaryFolder;

constexpr qint64 T1 = 1577934245;
constexpr qint64 T2 = 1609556645;

// Everything of a window that belongs to one side or that the swap rewrites.
struct SwapState
{
    std::array<QByteArray, 2> listings;
    std::array<QByteArray, 2> copies;
    std::array<QByteArray, 2> mirrors;
    std::array<QString, 2> gathered;
    std::array<QString, 2> roots;
    std::array<QString, 2> dates;
    std::array<QString, 2> paths;
    std::array<QString, 2> codes;
    QStringList rows;
    QStringList tips;
    QList<quint32> colours;
    QString headers;

    bool operator==(const SwapState &other) const = default;
};

class SwapTest : public testing::WindowTest
{
protected:
    // b.txt changed, c.txt only in folder 2, d.txt only in folder 1, e.txt newer in folder 2
    // with the same content (a date difference).
    std::unique_ptr<Frm_Main> compared()
    {
        setModified(file("one/b.txt", "old"), T1);
        setModified(file("two/b.txt", "new!"), T2);
        setModified(file("two/c.txt", "c"), T2);
        setModified(file("one/d.txt", "d"), T1);
        setModified(file("one/e.txt", "e"), T1);
        setModified(file("two/e.txt", "e"), T2);
        auto window = readyWindow();
        window->Txt_FolderPath[0]->setText(tree("one"));
        window->Txt_FolderPath[1]->setText(tree("two"));
        window->Btn_GetFileInfoAll_Click();
        return window;
    }

    static QByteArray read(const QString &path) { return TemporaryFolder::readFile(path); }

    static SwapState state(const Frm_Main &window)
    {
        SwapState s;
        const platform::FlexGrid &grid = *window.Grd_Compare;
        for (int side = 0; side < 2; ++side) {
            s.listings[side] = read(window.FileInfoLog[side]);
            s.copies[side] = read(window.FileInfoLog[side] + ".bak");
            s.mirrors[side] = read(window.FtpCacheFolder[side] + "/mark");
            s.gathered[side] = window.GatheredPath[side];
            s.roots[side] = window.SideRoot[side];
            s.dates[side] = window.Txt_FileInfoDate[side]->text();
            s.paths[side] = window.Txt_FolderPath[side]->text();
            s.codes[side] = window.SideFileNameCode[side];
        }
        s.rows = rows(window);
        for (int row = grid.fixedRows(); row < grid.rows(); ++row) {
            const auto &tips = window.RowTipTable.value(grid.rowData(row));
            s.tips.append(tips[0] + u'|' + tips[1]);
            s.colours.append(grid.backColorAt(row, 1));
        }
        s.headers = grid.textMatrix(0, 2) + u'|' + grid.textMatrix(0, 3);
        return s;
    }
};

TEST_F(SwapTest, SwapExchangesTheSidesAndTwiceRestoresThem)
{
    auto window = compared();
    ASSERT_EQ(statusRows(*window), (QStringList{"変更|b.txt", "追加|c.txt", "削除|d.txt", "日時|e.txt"}));
    QDir().mkpath(window->FtpCacheFolder[0]);
    QFile mark(window->FtpCacheFolder[0] + "/mark");
    ASSERT_TRUE(mark.open(QIODevice::WriteOnly));
    mark.write("mirror 1");
    mark.close();
    window->SideFileNameCode = {"EUC", "UTF8"};
    window->Grd_Compare->setCurrentCell(3, 4);
    const SwapState before = state(*window);

    window->Change1To2_Click();
    const SwapState after = state(*window);
    for (int side = 0; side < 2; ++side) {
        SCOPED_TRACE(side);
        const int other = 1 - side;
        EXPECT_EQ(after.listings[side], before.listings[other]);
        EXPECT_EQ(after.copies[side], before.copies[other]);
        EXPECT_EQ(after.mirrors[side], before.mirrors[other]);
        EXPECT_EQ(after.gathered[side], before.gathered[other]);
        EXPECT_EQ(after.roots[side], before.roots[other]);
        EXPECT_EQ(after.dates[side], before.dates[other]);
        EXPECT_EQ(after.paths[side], before.paths[other]);
        EXPECT_EQ(after.codes[side], before.codes[other]);
    }
    EXPECT_EQ(after.headers, before.headers) << "the headers keep their places";
    const platform::FlexGrid &grid = *window->Grd_Compare;
    QStringList expectedRows;
    QStringList expectedTips;
    for (int i = 0; i < before.rows.size(); ++i) {
        QStringList cells = before.rows[i].split(u'|');
        std::swap(cells[1], cells[2]);
        if (cells[0] == "追加")
            cells[0] = "削除";
        else if (cells[0] == "削除")
            cells[0] = "追加";
        expectedRows.append(cells.join(u'|'));
        const QStringList tips = before.tips[i].split(u'|');
        expectedTips.append(tips[1] + u'|' + tips[0]);
    }
    EXPECT_EQ(after.rows, expectedRows);
    EXPECT_EQ(after.tips, expectedTips);
    EXPECT_EQ(after.colours, (QList<quint32>{window->ColorUpd, window->ColorDel, window->ColorAdd, window->ColorDtm}));
    EXPECT_EQ(grid.row(), 3);
    EXPECT_EQ(grid.col(), 4);
    EXPECT_TRUE(window->InputEventsOn);
    EXPECT_EQ(window->MousePointer, 0);
    EXPECT_TRUE(window->Txt_FolderPath[0]->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(window->WorkFolder + "/dummy.fil"));
    EXPECT_FALSE(QFileInfo::exists(window->WorkFolder + "/dummy.fol"));

    window->Change1To2_Click();
    EXPECT_EQ(state(*window), before);
}

TEST_F(SwapTest, TheChangeRuleRestoresEachSideFromItsOwnCopyAfterASwap)
{
    auto window = compared();
    const QByteArray listingTwo = read(window->FileInfoLog[1]);
    window->Change1To2_Click();
    window->Txt_FolderPath[0]->setText("elsewhere");
    EXPECT_FALSE(QFileInfo::exists(window->FileInfoLog[0]));
    window->Txt_FolderPath[0]->setText(tree("two"));
    EXPECT_EQ(read(window->FileInfoLog[0]), listingTwo) << "folder 1 now holds folder 2's copy";
    EXPECT_EQ(window->SideRoot[0], tree("two"));
    EXPECT_FALSE(window->Txt_FileInfoDate[0]->text().isEmpty());
}

TEST_F(SwapTest, OneSidedInformationMovesWithItsSide)
{
    setModified(file("one/a.txt", "a"), T1);
    auto window = readyWindow();
    gather(*window, 0, tree("one"));
    ASSERT_EQ(window->statusText(1), "フォルダ1件数:1");
    ASSERT_EQ(window->statusText(2), "フォルダ2件数:0");
    const QString gatheringTime = window->statusTip(1).mid(QString("フォルダ1").size());
    window->Change1To2_Click();
    EXPECT_EQ(window->statusText(1), "フォルダ1件数:0");
    EXPECT_EQ(window->statusText(2), "フォルダ2件数:1");
    EXPECT_EQ(window->statusTip(1), "フォルダ1取得時間:0.0秒");
    EXPECT_EQ(window->statusTip(2), "フォルダ2" + gatheringTime);
    EXPECT_EQ(window->Txt_FileInfoDate[0]->text(), "");
    EXPECT_FALSE(window->Txt_FileInfoDate[1]->text().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(window->FileInfoLog[0]));
    EXPECT_TRUE(QFileInfo::exists(window->FileInfoLog[1]));
    EXPECT_FALSE(QFileInfo::exists(window->FileInfoLog[0] + ".bak"));
    EXPECT_EQ(window->Txt_FolderPath[1]->text(), tree("one"));
    EXPECT_EQ(window->SideRoot[1], tree("one"));
    EXPECT_EQ(rows(*window), QStringList{"||" + window->Grd_Compare->textMatrix(1, 3) + "|a.txt"});
    EXPECT_FALSE(window->Grd_Compare->textMatrix(1, 3).isEmpty()) << "the date moved to the folder 2 column";

    window->Btn_Compare_Click();
    EXPECT_EQ(statusRows(*window), QStringList{"|a.txt"});
    EXPECT_EQ(window->Grd_Compare->textMatrix(1, 2), "") << "a comparison after the swap sees folder 2 only";
}

TEST_F(SwapTest, AnFtpSideTakesTheMirrorOfItsNewSide)
{
    auto window = readyWindow();
    window->InputEventsOn = false;
    window->Txt_FolderPath[0]->setText(tree("local"));
    window->Txt_FolderPath[1]->setText("ftp://host/pub/dir");
    window->InputEventsOn = true;
    window->GatheredPath = {tree("local"), "ftp://host/pub/dir"};
    window->SideRoot = {tree("local"), window->FtpCacheFolder[1] + "/dir"};
    window->Change1To2_Click();
    EXPECT_EQ(window->SideRoot[0], window->FtpCacheFolder[0] + "/dir");
    EXPECT_EQ(window->SideRoot[1], tree("local"));
    EXPECT_EQ(QDir(window->WorkFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList())
        << "nothing is created in the work folder";

    window->GatheredPath[0] = "ftp://host/";
    window->Change1To2_Click();
    EXPECT_EQ(window->SideRoot[0], tree("local"));
    EXPECT_EQ(window->SideRoot[1], window->FtpCacheFolder[1]) << "an address ending in / roots at the mirror";
}

TEST_F(SwapTest, RowCommandsFollowTheSwappedRoots)
{
    platform::writeProfileString("DSP", "RccBakup", "False", m_ini);
    auto window = compared();
    platform::FlexGrid &grid = *window->Grd_Compare;
    grid.setCurrentCell(3, 4); // d.txt, only in folder 1
    EXPECT_TRUE(window->ClipBoardFOld.menu->isEnabled());
    EXPECT_FALSE(window->ClipBoardFNew.menu->isEnabled());
    window->Change1To2_Click();
    EXPECT_FALSE(window->ClipBoardFOld.menu->isEnabled());
    EXPECT_TRUE(window->ClipBoardFNew.menu->isEnabled());
    EXPECT_TRUE(window->DeleteNew.menu->isEnabled());
    // The row's file is still the one the comparison showed, now on side 2.
    m_dialogs.clear();
    m_dialogs.answerNext(platform::MessageAnswer::Ok);
    m_dialogs.answerNext(platform::MessageAnswer::No);
    window->DeleteNew.menu->trigger();
    EXPECT_FALSE(QFileInfo::exists(tree("one/d.txt"))) << m_dialogs.prompts().join("\n").toStdString();
}

class NavigationTest : public testing::WindowTest
{
protected:
    // A list whose statuses are `statuses` (one per data row) with 5 rows in sight.
    std::unique_ptr<Frm_Main> listed(const QStringList &statuses)
    {
        auto window = openWindow();
        platform::FlexGrid &grid = *window->Grd_Compare;
        grid.setRows(grid.fixedRows() + int(statuses.size()));
        for (int i = 0; i < statuses.size(); ++i) {
            grid.setTextMatrix(i + 1, 0, QString::number(i + 1));
            grid.setTextMatrix(i + 1, 1, statuses[i]);
        }
        grid.setVisibleRowCount(5);
        grid.setTopRow(1);
        return window;
    }
};

TEST_F(NavigationTest, NextAndPreviousDifferenceWrapAround)
{
    const QStringList list{"", "日時", "", "", "追加", "", "変更", ""};
    const struct
    {
        const char *name;
        QStringList statuses;
        int from;
        bool next;
        int to;
    } cases[] = {
        {"next from a plain row", list, 1, true, 2},
        {"next from a difference", list, 2, true, 5},
        {"next on the last wraps to the first", list, 7, true, 2},
        {"next after the last wraps", list, 8, true, 2},
        {"previous from a difference", list, 5, false, 2},
        {"previous on the first wraps to the last", list, 2, false, 7},
        {"previous above the first wraps", list, 1, false, 7},
        {"a single difference stays current", {"", "削除", ""}, 2, true, 2},
        {"a single difference, backwards", {"", "削除", ""}, 2, false, 2},
        {"no difference: nothing moves", {"", "", ""}, 2, true, 2},
        {"no difference backwards: nothing moves", {"", "", ""}, 2, false, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto window = listed(c.statuses);
        window->Grd_Compare->setCurrentCell(c.from, 4);
        if (c.next)
            window->JumpNext->trigger();
        else
            window->JumpBefore->trigger();
        EXPECT_EQ(window->Grd_Compare->row(), c.to);
    }
}

TEST_F(NavigationTest, ATargetOutOfSightBecomesTheTopRow)
{
    QStringList statuses(30);
    statuses[2] = "変更";
    statuses[24] = "追加";
    auto window = listed(statuses);
    platform::FlexGrid &grid = *window->Grd_Compare;
    window->JumpNext_Click();
    EXPECT_EQ(grid.row(), 3);
    EXPECT_EQ(grid.topRow(), 1) << "a visible target does not scroll";
    window->JumpNext_Click();
    EXPECT_EQ(grid.row(), 25);
    EXPECT_EQ(grid.topRow(), 25);
    window->JumpNext_Click();
    EXPECT_EQ(grid.row(), 3);
    EXPECT_EQ(grid.topRow(), 3);
}

} // namespace
} // namespace foldercompare
