#include "textcompare/window/linquell_window_test_fixture.h"

#include "common/saved_error.h"
#include "platform/code_page.h"
#include "platform/widgets/flex_grid_view.h"
#include "textcompare/window/diff_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace textcompare {
namespace {

using platform::testing::TemporaryFolder;

using FrmLinquellCompareTest = testing::LinquellWindowTest;

TEST_F(FrmLinquellCompareTest, FirstActivationComparesTheGivenFiles)
{
    setPaths(m_file1, m_file2);
    m_window->Chk_Nomi->setChecked(true);
    m_window->Form_Activate();
    EXPECT_TRUE(m_window->CodeListReady);
    EXPECT_FALSE(m_window->ProgrsFlag);
    EXPECT_EQ(m_window->statusText(0), "");

    const platform::FlexGrid &grid = *m_window->Grd_Compare;
    ASSERT_EQ(grid.rows(), 3);
    EXPECT_EQ(gridRow(1), (QStringList{"1", "変更", "2", "two", "2", "2"}));
    EXPECT_EQ(gridRow(2), (QStringList{"2", "追加", "", "", "four", "4"}));
    EXPECT_EQ(grid.backColorAt(1, 3), 0xFFFFBBu);
    EXPECT_EQ(grid.backColorAt(2, 1), 0xBBBBFFu);
    EXPECT_EQ(grid.backColorAt(1, 0), 0u) << "the number column keeps its look";
    EXPECT_EQ(grid.foreColorAt(1, 2), 0x0000FFu) << "first band on the line numbers' text";
    EXPECT_EQ(grid.foreColorAt(2, 5), 0xFF0000u) << "second block, second band";
    EXPECT_EQ(grid.backColorAt(1, 2), 0xFFFFBBu);
    EXPECT_EQ(m_window->DiffRowCount, 2);
    EXPECT_EQ(m_window->ResultRowCount, 4);
    EXPECT_EQ(m_window->LineCount1, 3);
    EXPECT_EQ(m_window->LineCount2, 4);
    EXPECT_EQ(m_window->Cmb_FileCode[0]->currentText(), "SJIS");
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(FrmLinquellCompareTest, EscapeDuringAComparisonStopsIt)
{
    setPaths(m_file1, m_file2);
    bool inputsHeld = false;
    QTimer::singleShot(0, m_window.get(), [this, &inputsHeld] {
        inputsHeld = !m_window->Cmb_FileCode[0]->isEnabled() && !m_window->Txt_FilePath[1]->isEnabled();
        m_dialogs.answerNext(platform::MessageAnswer::Yes);
        int keyCode = 27;
        m_window->Form_KeyDown(keyCode, 0);
    });
    m_window->Form_Activate();
    EXPECT_TRUE(inputsHeld) << "no second comparison can start inside the first";
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_EQ(m_dialogs.shown()[0].prompt, "処理を中止しますか？");
    EXPECT_EQ(m_window->Grd_Compare->rows(), 2) << "a cancelled run leaves the grid empty";
    EXPECT_EQ(m_window->Grd_Compare->textMatrix(1, 3), "");
    EXPECT_FALSE(m_window->CancelFlag);
    EXPECT_TRUE(m_window->Cmb_FileCode[0]->isEnabled());
}

TEST_F(FrmLinquellCompareTest, WithoutPathsTheActivationComparesNothing)
{
    m_window->Form_Activate();
    EXPECT_TRUE(m_window->CodeListReady);
    EXPECT_EQ(m_window->Grd_Compare->rows(), 2);
    EXPECT_EQ(m_window->Cmb_FileCode[0]->currentIndex(), 0);
}

TEST_F(FrmLinquellCompareTest, MissingFileIsReportedAndComparedAsEmpty)
{
    setPaths(m_file1, m_folder.filePath("gone.txt"));
    m_window->Form_Activate();
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("ファイルが存在しません。"));
    EXPECT_EQ(m_window->LastReadTexts[1].outcome, ReadOutcome::NotFound);
    EXPECT_EQ(gridRow(3), (QStringList{"3", "削除", "3", "three", "", ""}));
}

TEST_F(FrmLinquellCompareTest, ASideThatCannotBeReadWholeGivesNoComparison)
{
    setPaths(m_file1, m_folder.writeFile("damaged.xlsx", "not a workbook"));
    m_window->Form_Activate();
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("システムエラー : RdExcelValue\r\n"));
    EXPECT_EQ(m_window->LastReadTexts[1].outcome, ReadOutcome::Failed);
    EXPECT_EQ(m_window->Grd_Compare->rows(), 2);
    EXPECT_EQ(gridRow(1), (QStringList{"", "", "", "", "", ""}));
}

TEST_F(FrmLinquellCompareTest, CodeListChoicesRereadAndCompare)
{
    setPaths(m_file1, m_file2);
    m_window->Cmb_FileCode[1]->setCurrentIndex(FileCodeIndex::Bin);
    EXPECT_EQ(m_window->Grd_Compare->rows(), 2) << "before the first activation a list starts nothing";

    m_window->Form_Activate();
    EXPECT_EQ(m_window->Cmb_FileCode[0]->currentIndex(), FileCodeIndex::Bin) << "both sides are dumped";
    EXPECT_EQ(gridRow(1)[3], "6F6E650A74776F0A74687265650A");

    m_window->Cmb_FileCode[0]->setCurrentIndex(FileCodeIndex::Utf8);
    EXPECT_EQ(m_window->Cmb_FileCode[1]->currentIndex(), FileCodeIndex::Utf8) << "leaving BIN takes the other along";
    EXPECT_EQ(m_window->ReadCodeIndex, (std::array<int, 2>{FileCodeIndex::Utf8, FileCodeIndex::Utf8}));
    EXPECT_EQ(gridRow(1), (QStringList{"1", "", "1", "one", "one", "1"}));

    m_window->Cmb_FileCode[1]->setCurrentIndex(FileCodeIndex::Auto);
    EXPECT_EQ(m_window->ReadCodeIndex[1], FileCodeIndex::Utf8) << "the automatic entry waits for the next comparison";

    m_window->Cmb_FileCode[1]->setCurrentIndex(FileCodeIndex::Bin);
    EXPECT_EQ(m_window->Cmb_FileCode[0]->currentIndex(), FileCodeIndex::Bin);
    EXPECT_EQ(gridRow(1)[4], "6F6E650A320A74687265650A666F75720A");
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(FrmLinquellCompareTest, ReadingOneSideSetsItsList)
{
    setPaths(m_folder.writeFile("u.txt", QStringLiteral("ユニコード\r\n").toUtf8()), m_folder.writeFile("x.zip", "PK"));
    m_window->Form_Activate();
    m_dialogs.clear();
    m_window->Cmb_FileCode[0]->setCurrentIndex(FileCodeIndex::Auto);
    m_window->Cmb_FileCode[1]->setCurrentIndex(FileCodeIndex::Auto);
    m_window->Txt_FilePath[1]->setText(m_file2);
    EXPECT_EQ(m_window->TextRead(0, true), "ユニコード\r\n");
    EXPECT_EQ(m_window->Cmb_FileCode[0]->currentText(), "UTF8");
    EXPECT_EQ(m_window->ReadCodeIndex[0], FileCodeIndex::Utf8);
    EXPECT_EQ(m_window->Cmb_FileCode[1]->currentIndex(), FileCodeIndex::Auto);
    EXPECT_EQ(m_window->Grd_Compare->textMatrix(1, 4), "504B") << "the list's own change started no comparison";
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(FrmLinquellCompareTest, AutomaticFactorIsShownInTheList)
{
    setPaths(m_folder.writeFile("c.txt", "A\nB\nC\nD\nY\n"), m_folder.writeFile("d.txt", "D\nE\nF\nG\nZ\n"));
    m_window->Cmb_HanteiLine->setCurrentText("1");
    EXPECT_EQ(m_window->BatDiffList(0, 0, true), 7);
    EXPECT_EQ(m_window->BatDiffList(0, 1, true), 5) << "the side-by-side layout of counts 10 to 2";
    EXPECT_EQ(m_window->Cmb_HanteiLine->currentText(), "2");
    EXPECT_FALSE(m_window->FactorListMuted);
}

TEST_F(FrmLinquellCompareTest, SettingsOfTheMenusSteerTheComparison)
{
    setPaths(m_folder.writeFile("e.txt", "a b\nCase\n"), m_folder.writeFile("f.txt", "ab\ncase\n"));
    m_window->NoSpaceCheck->setChecked(true);
    m_window->NoULChrCheck->setChecked(false);
    EXPECT_EQ(m_window->BatDiffList(0, 0, true), 1);
    m_window->NoULChrCheck->setChecked(true);
    EXPECT_EQ(m_window->BatDiffList(0, 0, true), 0);
    m_window->NoSpaceCheck->setChecked(false);
    EXPECT_EQ(m_window->BatDiffList(0, 0, true), 1);

    setPaths(m_folder.writeFile("g.txt", "abcdefgh\n"), m_folder.writeFile("h.txt", "abcdefXY\n"));
    m_window->LenOfRow = 4;
    EXPECT_EQ(m_window->BatDiffList(0, 0, true), 1);
    EXPECT_EQ(m_window->LineCount1, 2);
    EXPECT_EQ(m_window->DiffDisplayTable.cell(2, DisplayTable::Text2), "efXY");
}

TEST_F(FrmLinquellCompareTest, TheGridShowsAtMostLineMaxRows)
{
    setPaths(m_file1, m_file2);
    m_window->DiffList(0);
    setPaths(m_file1, "");
    m_window->DiffList(0);
    EXPECT_EQ(m_window->LineCount2, 0) << "each comparison run starts its line counts afresh";
    setPaths(m_file1, m_file2);
    m_window->LineMax = 4;
    m_window->DiffList(0);
    EXPECT_EQ(m_window->Grd_Compare->rows(), 5) << "exactly LineMax rows are shown whole";
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
    m_window->LineMax = 2;
    m_window->DiffList(0);
    EXPECT_EQ(m_window->Grd_Compare->rows(), 3);
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_EQ(m_dialogs.shown()[0].prompt, "行数が多すぎるため全ての行を表示しません。ごめんなさい。　　\r\n"
                                           "表示行数MAXを2行に制限しています。");
    EXPECT_EQ(m_window->ResultRowCount, 4) << "the counts take in the rows past the limit";
    EXPECT_EQ(m_window->DiffRowCount, 2);
    EXPECT_EQ(m_window->LineCount2, 4);

    const QString csv = m_folder.filePath("all.csv");
    m_window->BatCsvSave(csv, ",", false, false);
    EXPECT_TRUE(TemporaryFolder::readFile(csv).endsWith("4,\x92\xC7\x89\xC1,,\"\",\"four\",4\r\n"))
        << "an export writes every row, also those the grid leaves out";
}

TEST_F(FrmLinquellCompareTest, ASideThatCannotBeDecodedShowsNoComparison)
{
    const QByteArray sjis = platform::encodeText(platform::CodePage::Cp932, QStringLiteral("日本語の行\r\n")).bytes;
    setPaths(m_folder.writeFile("sjis.txt", sjis), m_file2);
    m_window->Form_Activate();
    EXPECT_EQ(m_window->Grd_Compare->textMatrix(1, 3), "日本語の行") << "read in the code it was judged to be in";
    m_dialogs.clear();

    m_window->Cmb_FileCode[0]->setCurrentIndex(FileCodeIndex::Utf8);
    ASSERT_EQ(m_dialogs.shown().size(), 1) << m_dialogs.prompts().join(" / ").toStdString();
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("システムエラー : TextRead"));
    EXPECT_EQ(m_window->Grd_Compare->rows(), 2);
    EXPECT_EQ(gridRow(1), (QStringList{"", "", "", "", "", ""})) << "no line of file 2 shown as added";
    EXPECT_EQ(m_window->DiffDisplayTable.lastRow(), 0);
    EXPECT_EQ(m_window->statusText(3), "比較行数:0(0)");
}

TEST_F(FrmLinquellCompareTest, BlanksShowAsMarksWhileTheOptionIsChecked)
{
    setPaths(m_folder.writeFile("c.txt", QStringLiteral("a\tb c\u3000d\n").toUtf8()), m_folder.writeFile("d.txt", "x\n"));
    m_window->Form_Activate();
    EXPECT_EQ(m_window->Grd_Compare->textMatrix(1, 3), QStringLiteral("a b c\u3000d"));
    m_window->DspSpaceChar->trigger();
    EXPECT_EQ(m_window->Grd_Compare->textMatrix(1, 3), QStringLiteral("a b c\u3000d")) << "shown so until the next run";
    m_window->Btn_DiffList_Click();
    EXPECT_EQ(m_window->Grd_Compare->textMatrix(1, 3), "a<TAB>b<S>c<SP>d");
    EXPECT_EQ(m_window->DiffDisplayTable.cell(1, DisplayTable::Text1), QStringLiteral("a\tb c\u3000d"));
}

TEST_F(FrmLinquellCompareTest, FactorListAutomaticBoxAndEmptyPaths)
{
    m_window->Form_Activate();
    m_window->Chk_HanteiLine->setChecked(true);
    m_window->Btn_DiffList_Click();
    ASSERT_EQ(m_dialogs.prompts(), QStringList{"比較するファイルを指定してください。　"});
    EXPECT_FALSE(m_window->Chk_HanteiLine->isChecked());

    setPaths(m_file1, "");
    m_window->Cmb_HanteiLine->setCurrentText("12");
    m_window->Cmb_HanteiLine_Click();
    EXPECT_EQ(stored("DSP", "HanteiLine"), "<missing>") << "one path: no run, no write";
    setPaths(m_file1, m_file2);
    m_window->Cmb_HanteiLine_Click();
    EXPECT_EQ(stored("DSP", "HanteiLine"), "12");
    EXPECT_EQ(m_window->Grd_Compare->rows(), 5);

    m_window->Chk_HanteiLine->click();
    EXPECT_FALSE(m_window->Chk_HanteiLine->isChecked()) << "the box is a one-shot command";
    EXPECT_EQ(m_window->Cmb_HanteiLine->currentText(), "1") << "the factor found is shown";
    EXPECT_EQ(stored("DSP", "HanteiLine"), "12") << "and not written";
    EXPECT_EQ(stored("HISTORY", "Item0"), m_file1 + "\t" + m_file2);
}

TEST_F(FrmLinquellCompareTest, TheBarShowsTheRunsAndScrollsTheGrid)
{
    QByteArray lines1, lines2;
    for (int line = 1; line <= 200; ++line) {
        lines1 += "line " + QByteArray::number(line) + "\n";
        lines2 += (line == 150 ? QByteArray("changed") : "line " + QByteArray::number(line)) + "\n";
    }
    setPaths(m_folder.writeFile("e.txt", lines1), m_folder.writeFile("f.txt", lines2));
    m_window->resize(800, 600);
    m_window->show();
    m_window->Form_Activate();
    const platform::FlexGrid &grid = *m_window->Grd_Compare;
    EXPECT_EQ(grid.row(), 150) << "a new pair opens at its first difference";
    EXPECT_TRUE(grid.rowIsVisible(150));

    const DiffBar &bar = *m_window->Pic_Diff;
    const double h = double(bar.scaleHeight()) / 200;
    ASSERT_EQ(bar.boxes().size(), 3u);
    EXPECT_EQ(bar.boxes()[1].color, 0xFFFFBBu);
    EXPECT_EQ(bar.boxes()[1].box.top, int(149 * h));
    EXPECT_EQ(m_window->Pic_Line[1]->y(), int(149 * h)) << "the current-row marker";
    EXPECT_EQ(m_window->Pic_Line[0]->y(), int((grid.topRow() - 1) * h)) << "the view marker";

    m_window->Pic_Diff_MouseDown(1, 0, 0, int(120 * h) + 1);
    EXPECT_EQ(grid.topRow(), 121);
    EXPECT_EQ(grid.row(), 121);
    m_window->Pic_Diff_MouseDown(1, 0, 0, bar.scaleHeight() + 50);
    EXPECT_EQ(grid.row(), 121) << "below the last row nothing moves";

    m_window->Cmb_HanteiLine->setCurrentText("5");
    m_window->Cmb_HanteiLine_Click();
    EXPECT_EQ(grid.topRow(), 121) << "a re-run brings back the lines that were at the top";
    EXPECT_EQ(grid.row(), 121);
}

TEST_F(FrmLinquellCompareTest, ExportsWriteTheDisplayTable)
{
    setPaths(m_file1, m_file2);
    m_window->BatDiffList(1, 0, true);
    const QString csv = m_folder.filePath("out/d.csv");
    m_window->BatCsvSave(csv, ";", false, false);
    EXPECT_EQ(TemporaryFolder::readFile(csv), QByteArray(m_file1.toUtf8() + "\r\n" + m_file2.toUtf8() + "\r\n"
                                                         ";\x8F\xF3\x91\xD4;\x8D\x73No.;\x83t\x83@\x83\x43\x83\x8B\x82P;"
                                                         "\x83t\x83@\x83\x43\x83\x8B\x82Q;\x8D\x73No.\r\n"
                                                         "1;\x95\xCF\x8D\x58;2;\"two\";\"2\";2\r\n"
                                                         "2;\x92\xC7\x89\xC1;;\"\";\"four\";4\r\n"));

    m_window->CsvHtmlUni->setChecked(true);
    const QString html = m_folder.filePath("d.html");
    m_window->BatHtmlSave(html, false, true);
    EXPECT_TRUE(TemporaryFolder::readFile(html).startsWith(QByteArray("\xFF\xFE<\0h\0t\0m\0l\0>\0", 14)));

    m_window->BatDiffList(0, 0, true);
    m_window->Txt_FilePath[1]->setText(m_file1);
    m_window->BatDiffList(0, 0, true);
    const QString none = m_folder.filePath("none.html");
    m_window->BatHtmlSave(none, true, true);
    EXPECT_FALSE(QFile::exists(none)) << "no difference, nothing written";
}

} // namespace
} // namespace textcompare
