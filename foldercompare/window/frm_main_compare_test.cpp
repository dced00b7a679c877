#include "foldercompare/window/window_test_fixture.h"

#include "common/non_code_class.h"
#include "foldercompare/listing/content_compare.h"
#include "foldercompare/listing/result_rows.h"
#include "foldercompare/listing/testing_host.h"
#include "platform/testing/print_to.h"
#include "platform/testing/unprivileged_scope.h"
#include "platform/twips.h"
#include "platform/widgets/flex_grid_view.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare {
namespace {

using listing::testing::setModified;
using platform::MessageAnswer::Yes;

constexpr qint64 T1 = 1577934245;
constexpr qint64 T2 = 1609556645;

class CompareTest : public testing::WindowTest
{
protected:
    // Gathers both trees into a ready window without comparing.
    std::unique_ptr<Frm_Main> gathered(const QString &one = "one", const QString &two = "two")
    {
        auto window = readyWindow();
        window->Txt_FolderPath[0]->setText(tree(one));
        window->Txt_FolderPath[1]->setText(tree(two));
        window->GatherOnly = true;
        window->Btn_GetFileInfo_Click(0);
        window->GatherOnly = true;
        window->Btn_GetFileInfo_Click(1);
        return window;
    }
};

TEST_F(CompareTest, NothingToCompareWithoutInformation)
{
    auto window = readyWindow();
    window->Btn_Compare_Click();
    window->Btn_Compare_Sub();
    EXPECT_EQ(m_dialogs.prompts(), (QStringList{"情報取得を行なってください", "情報取得を行なってください  "}));
    EXPECT_FALSE(window->BusyFlag);
}

TEST_F(CompareTest, DifferencesOnlyOfEqualTreesSaysSo)
{
    setModified(file("one/a.txt"), T1);
    setModified(file("two/a.txt"), T1);
    auto window = gathered();
    window->Chk_Nomi->setChecked(true);
    window->Btn_Compare_Click();
    EXPECT_EQ(rows(*window), QStringList{"|||差分データはありません"});
    EXPECT_EQ(window->CompareCount, 1);
    EXPECT_EQ(window->DiffRowCount, 0);
    EXPECT_FALSE(window->ColSortAsc.menu->isEnabled()) << "the note is no list";
    EXPECT_FALSE(window->Linquell.popup->isEnabled());
    EXPECT_EQ(window->statusText(3), "比較件数:1");
    EXPECT_TRUE(window->statusTip(3).startsWith("比較時間:"));
}

TEST_F(CompareTest, TheNumberColumnFitsTheLargestNumberAfterEachComparison)
{
    for (int index = 0; index < 120; ++index)
        file(QStringLiteral("one/f%1.txt").arg(index));
    file("two/f0.txt");
    auto window = gathered();
    QFont font = window->m_gridView->font();
    font.setPixelSize(30);
    window->m_gridView->setFont(font);
    const platform::FlexGrid &grid = *window->Grd_Compare;
    window->Btn_Compare_Click();
    const QString largest = grid.textMatrix(grid.rows() - 1, listing::ResultColumn::Number);
    ASSERT_EQ(largest, "120");
    EXPECT_GE(platform::twipsToPixels(grid.colWidth(listing::ResultColumn::Number)),
              QFontMetrics(font).horizontalAdvance(largest) + 4)
        << "the whole number with a margin on each side";

    window->Txt_FolderPath[0]->setText(tree("two"));
    window->GatherOnly = true;
    window->Btn_GetFileInfo_Click(0);
    window->Btn_Compare_Click();
    EXPECT_EQ(grid.colWidth(listing::ResultColumn::Number), 600) << "one row: the designed width again";
}

TEST_F(CompareTest, AChangeIsListedAndCountedWhateverItsColour)
{
    platform::writeProfileString("DSP", "DIFFCUPD", "000000", m_ini);
    platform::writeProfileString("DSP", "DIFFCDTM", "BBBBFF", m_ini);
    setModified(file("one/changed.txt", "abc"), T1);
    setModified(file("two/changed.txt", "abcd"), T1);
    setModified(file("one/dated.txt", "abc"), T1);
    setModified(file("two/dated.txt", "abc"), T2);
    setModified(file("two/added.txt", "abc"), T2);
    auto window = gathered();
    window->Chk_Nomi->setChecked(true);
    window->Btn_Compare_Click();
    EXPECT_EQ(statusRows(*window), (QStringList{"追加|added.txt", "変更|changed.txt", "日時|dated.txt"}));
    EXPECT_EQ(window->DiffRowCount, 2) << "the added colour equals the date colour, yet only changes count";
    EXPECT_EQ(window->Grd_Compare->backColorAt(2, 1), 0u);
    EXPECT_EQ(window->Grd_Compare->backColorAt(1, 1), 0xBBBBFFu);
}

TEST_F(CompareTest, HistoryKeepsTheTenNewestPairs)
{
    file("one/a.txt");
    file("two/a.txt");
    auto window = gathered();
    window->Btn_Compare_Click();
    const QString key = tree("one") + "\t" + tree("two");
    EXPECT_EQ(platform::readProfileString("HISTORY", "Item0", "", m_ini), key);
    EXPECT_EQ(window->CompHistory->actions().size(), 1);
    EXPECT_TRUE(window->CompHistory->menuAction()->isVisible());

    platform::writeProfileString("HISTORY", "Item0", "edited", m_ini);
    window->Btn_Compare_Click();
    EXPECT_EQ(platform::readProfileString("HISTORY", "Item0", "", m_ini), "edited") << "the pair on top writes nothing";

    for (int i = 0; i < 10; ++i) {
        window->Txt_FolderPath[1]->setText(QStringLiteral("/elsewhere/%1").arg(i));
        window->Btn_Compare_Click();
    }
    EXPECT_EQ(window->HistoryItems.size(), 10);
    EXPECT_EQ(window->HistoryItems.first(), tree("one") + "\t/elsewhere/9");
    EXPECT_FALSE(window->HistoryItems.contains(key)) << "an eleventh pair drops the oldest";
    EXPECT_EQ(platform::readProfileString("HISTORY", "Item9", "", m_ini), tree("one") + "\t/elsewhere/0");

    window->Txt_FolderPath[1]->setText("/elsewhere/4");
    window->Btn_Compare_Click();
    EXPECT_EQ(window->HistoryItems.first(), tree("one") + "\t/elsewhere/4");
    EXPECT_EQ(window->HistoryItems.size(), 10);
    EXPECT_EQ(window->HistoryItems.at(1), tree("one") + "\t/elsewhere/9");
}

TEST_F(CompareTest, TheRowLimitIsToldAndTheRowsStay)
{
    for (int i = 0; i < 5; ++i)
        file(QStringLiteral("one/f%1.txt").arg(i));
    auto window = gathered("one", "none");
    window->LineMax = 2;
    m_dialogs.clear();
    window->Btn_Compare_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"2行だけ表示し中止しました。ごめんなさい。　"});
    EXPECT_EQ(rows(*window).size(), 2);
    EXPECT_EQ(window->MousePointer, 0);
    EXPECT_EQ(window->windowTitle(), window->BaseCaption);
}

// Two folders given at the start with exactly as many rows as the limit: the list shows
// them all, counts them all and tells of no stop, since nothing was left out.
TEST_F(CompareTest, ExactlyAsManyRowsAsTheLimitAtTheStart)
{
    for (int i = 0; i < 3; ++i)
        file(QStringLiteral("one/f%1.txt").arg(i));
    for (int i = 0; i < 3; ++i)
        file(QStringLiteral("two/f%1.txt").arg(i));
    platform::writeProfileString("DSP", "LineMax", "3", m_ini);
    auto window = openWindow();
    window->Txt_FolderPath[0]->setText(tree("one"));
    window->Txt_FolderPath[1]->setText(tree("two"));
    showAtStart(*window);
    EXPECT_EQ(m_dialogs.prompts(), QStringList());
    EXPECT_EQ(rows(*window).size(), 3);
    EXPECT_EQ(window->statusText(3), "比較件数:3");
}

TEST_F(CompareTest, ADamagedListingIsReportedAndTheWindowUnlocked)
{
    file("one/a.txt");
    auto window = gathered("one", "none");
    QFile listing(window->FileInfoLog[0]);
    ASSERT_TRUE(listing.open(QIODevice::Append));
    listing.write("zzz.txt\t2020/13\r\n");
    listing.close();
    m_dialogs.clear();
    window->Btn_Compare_Click();
    ASSERT_EQ(m_dialogs.prompts().size(), 1);
    EXPECT_TRUE(m_dialogs.prompts().first().startsWith("システムエラー : CompareFiles\r\n"));
    EXPECT_EQ(window->MousePointer, 0);
    EXPECT_TRUE(window->Btn_Compare->isEnabled());
    EXPECT_TRUE(window->Grd_Compare->redraw());
    EXPECT_EQ(window->CompareCount, 0);
}

TEST_F(CompareTest, TextsComparedAcrossLineEndsWhenAsked)
{
    const QString text = QStringLiteral("日本語のテキストです。\r\n二行目です。\r\n三行目もあります。\r\n");
    common::NonCodeClass codes;
    QString lf = text;
    lf.replace("\r\n", "\n");
    setModified(file("one/t.txt", codes.VbUnicode_To_SJIS(text)), T1);
    setModified(file("two/t.txt", codes.VbUnicode_To_UTF8(lf, false)), T1);
    auto window = gathered();
    window->Chk_Data->setChecked(true);
    window->Btn_Compare_Click();
    EXPECT_EQ(statusRows(*window), QStringList{"変更|t.txt"});
    window->TextCrlfNone->setChecked(true);
    window->TextCodeDsp->setChecked(true);
    window->Btn_Compare_Click();
    EXPECT_EQ(rows(*window), QStringList{"|SJIS|UTF8|t.txt"});
}

TEST_F(CompareTest, TreesBeyondThePathLimitAreComparedEntryByEntry)
{
    m_trees.makeFolder("one");
    m_trees.makeFolder("two");
    listing::testing::DeepChain one(tree("one"), 40, 200);
    listing::testing::DeepChain two(tree("two"), 40, 200);
    one.writeFile("same.txt", "equal", T1);
    two.writeFile("same.txt", "equal", T1);
    one.writeFile("other.txt", "bytes", T1);
    two.writeFile("other.txt", "BYTES", T1);
    auto window = gathered();
    window->Chk_Nomi->setChecked(false);
    const QString deep = one.relative();
    const struct
    {
        const char *name;
        bool contents;
        bool subfolders;
        QStringList expected;
    } cases[] = {
        {"dates and sizes", false, true, {"|" + deep + "other.txt", "|" + deep + "same.txt"}},
        {"contents", true, true, {"変更|" + deep + "other.txt", "|" + deep + "same.txt"}},
        {"contents of the top folder", true, false, {"変更|" + deep.section(u'/', 0, 0) + "/"}},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        window->Chk_Data->setChecked(testCase.contents);
        window->Chk_Folder->setChecked(testCase.subfolders);
        window->Btn_Compare_Click();
        const QStringList listed = statusRows(*window);
        EXPECT_EQ(listed.mid(listed.size() - testCase.expected.size()), testCase.expected);
        EXPECT_EQ(listed.size(), testCase.subfolders ? 42 : 1);
    }
}

TEST_F(CompareTest, FilesThatCannotBeReadAreNamedAndFailAnUnattendedRun)
{
    QStringList locked;
    for (int i = 1; i <= 6; ++i) {
        const QString name = QStringLiteral("f%1.txt").arg(i);
        locked.append(file("one/" + name, "same"));
        file("two/" + name, "same");
    }
    auto window = gathered();
    window->Chk_Nomi->setChecked(false);
    window->Chk_Data->setChecked(true);
    window->Btn_Compare_Click();
    for (const QString &path : locked)
        chmod(QFile::encodeName(path).constData(), 0);
    for (const QString &path : {m_programs.path(), window->WorkFolder, window->FileInfoLog[0], window->FileInfoLog[1],
                                m_trees.path()})
        platform::testing::allowOthers(path);
    // The listings are read as files of the user's own.
    if (::geteuid() == 0) {
        for (const QString &listing : window->FileInfoLog)
            ASSERT_EQ(::chown(QFile::encodeName(listing).constData(), 65534, 65534), 0);
    }

    m_dialogs.clear();
    {
        platform::testing::UnprivilegedScope unprivileged;
        window->Btn_Compare_Click();
    }
    EXPECT_EQ(m_dialogs.prompts(), QStringList{listing::UnreadableFilesMessage(locked)});
    EXPECT_EQ(statusRows(*window).filter(QStringLiteral("変更|")).size(), 6) << "the rows still say they differ";

    common::BatchMode = true;
    common::BatchFailed = false;
    ::testing::internal::CaptureStderr();
    {
        platform::testing::UnprivilegedScope unprivileged;
        window->Btn_Compare_Click();
    }
    const QString standardError = QString::fromLocal8Bit(::testing::internal::GetCapturedStderr());
    const bool failed = common::BatchFailed;
    common::BatchMode = false;
    common::BatchFailed = false;
    EXPECT_TRUE(failed);
    EXPECT_TRUE(standardError.contains(locked.first())) << standardError.toStdString();
}

TEST_F(CompareTest, EscDuringAComparisonKeepsTheRowsSoFar)
{
    for (int i = 0; i < 40; ++i) {
        const QString name = QStringLiteral("f%1.txt").arg(i, 2, 10, QChar(u'0'));
        setModified(file("one/" + name), T1);
        setModified(file("two/" + name), T1);
    }
    auto window = gathered();
    window->Chk_Nomi->setChecked(true);
    m_dialogs.clear();
    m_dialogs.answerNext(Yes);
    QCoreApplication::postEvent(window->Txt_Ext[0], new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    // Long work lets events run at most every few milliseconds; after a pause the first
    // record lets the Esc through.
    QThread::msleep(60);
    window->Btn_Compare_Click();
    EXPECT_EQ(m_dialogs.prompts().value(0), "処理を中止しますか？");
    EXPECT_LT(window->CompareCount, 40);
    EXPECT_EQ(rows(*window), QStringList{"|||"}) << "equal rows dropped, and no note after an abort";
    EXPECT_FALSE(window->AbortFlag);
    EXPECT_FALSE(window->BusyFlag);
}

} // namespace
} // namespace foldercompare
