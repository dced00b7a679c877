#include "textcompare/engine/diff_texts.h"

#include "platform/testing/print_to.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

using namespace Qt::StringLiterals;

// Rows 1..R as "state|line 1|text 1|line 2|text 2".
QStringList rowsOf(const DiffResultTable &table)
{
    QStringList rows;
    for (int row = 1; row <= table.lastRow(); ++row) {
        QStringList cells;
        for (int column = 0; column < DiffResultTable::ColumnCount; ++column)
            cells.append(table.cell(row, column));
        rows.append(cells.join(u'|'));
    }
    return rows;
}

QStringList diff(const QString &text1, const QString &text2, int judgementLineCount = 7, bool ignoreBlanks = false,
                 bool ignoreCase = false)
{
    return rowsOf(DiffTexts(text1, text2, ignoreBlanks, ignoreCase, judgementLineCount, 1, 1, "file0PATH", "file1PATH"));
}

TEST(DiffTexts, RowZeroHoldsTheTitles)
{
    const DiffResultTable table = DiffTexts("a", "a", false, false, 7, 1, 1, "left title", "right title");
    const QStringList expected{"TYPE", "NO.", "left title", "NO.", "right title"};
    for (int column = 0; column < DiffResultTable::ColumnCount; ++column)
        EXPECT_EQ(table.cell(0, column), expected[column]);
    EXPECT_EQ(table.cell(2, 0), "");
    EXPECT_EQ(table.cell(1, 5), "");
}

TEST(DiffTexts, CasesOfTheViewer)
{
    const QString added = u"追加"_s;
    const QString deleted = u"削除"_s;
    const QString changed = u"変更"_s;
    const struct
    {
        const char *name;
        QString text1;
        QString text2;
        int judgementLineCount;
        QStringList rows;
    } cases[] = {
        {"both empty", "", "", 7, {}},
        {"file 1 empty", "", "x\ny\nz", 7, {added + "|||1|x", added + "|||2|y", added + "|||3|z"}},
        {"file 2 empty", "x\n", "", 7, {deleted + "|1|x||"}},
        {"line ends and the final break do not count", "a\r\nb\r\n", "a\nb", 7, {"|1|a|1|a", "|2|b|2|b"}},
        {"a lone line end is one empty line", "\n", "", 7, {deleted + "|1|||"}},
        {"identical texts", "p\nq\nr", "p\nq\nr", 3, {"|1|p|1|p", "|2|q|2|q", "|3|r|3|r"}},
        {"inserted line", "a\nb\nc", "a\nx\nb\nc", 7, {"|1|a|1|a", added + "|||2|x", "|2|b|3|b", "|3|c|4|c"}},
        {"changed lines", "a\nb\nc\nz", "a\nB\nC\nz", 7,
         {"|1|a|1|a", changed + "|2|b|2|B", changed + "|3|c|3|C", "|4|z|4|z"}},
        {"lone equal line inside a block stays paired", "a\nX\nb", "c\nX\nd", 2,
         {changed + "|1|a|1|c", "|2|X|2|X", changed + "|3|b|3|d"}},
        {"long layouts give way to side by side", "A\nB\nC\nD\nY", "D\nE\nF\nG\nZ", 2,
         {changed + "|1|A|1|D", changed + "|2|B|2|E", changed + "|3|C|3|F", changed + "|4|D|4|G",
          changed + "|5|Y|5|Z"}},
        {"the same texts with a count of 1", "A\nB\nC\nD\nY", "D\nE\nF\nG\nZ", 1,
         {deleted + "|1|A||", deleted + "|2|B||", deleted + "|3|C||", "|4|D|1|D", changed + "|5|Y|2|E",
          added + "|||3|F", added + "|||4|G", added + "|||5|Z"}},
        {"two candidates at the same distance", "x\ny", "y\nx", 2, {deleted + "|1|x||", "|2|y|1|y", added + "|||2|x"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(diff(c.text1, c.text2, c.judgementLineCount), c.rows);
    }
    for (int judgementLineCount = 1; judgementLineCount <= 30; ++judgementLineCount) {
        SCOPED_TRACE(judgementLineCount);
        EXPECT_EQ(diff("a\nb\nc", "a\nx\nb\nc", judgementLineCount), cases[6].rows);
    }
}

TEST(DiffTexts, IgnoredDifferencesKeepTheShownText)
{
    EXPECT_EQ(diff("a\nb\nc\nz", "a\nB\nC\nz", 7, false, true), (QStringList{"|1|a|1|a", "|2|b|2|B", "|3|c|3|C", "|4|z|4|z"}));
    EXPECT_EQ(diff(u"a b\nab\na\u3000b"_s, "ab\na b\nab", 7, true, false),
              (QStringList{"|1|a b|1|ab", "|2|ab|2|a b", u"|3|a\u3000b|3|ab"_s}));
}

TEST(DiffTexts, TypedAccessorsMatchTheCells)
{
    const DiffResultTable table = DiffTexts("a\nb", "b\nc", false, false, 1, 1, 1, "1", "2");
    ASSERT_EQ(table.lastRow(), 3);
    EXPECT_EQ(table.state(1), DiffState::Deleted);
    EXPECT_EQ(table.lineNumber(1, 0), 1);
    EXPECT_EQ(table.lineNumber(1, 1), 0);
    EXPECT_EQ(table.lineText(1, 1), "");
    EXPECT_EQ(table.state(2), DiffState::Same);
    EXPECT_EQ(table.lineText(2, 1), "b");
    EXPECT_EQ(table.state(3), DiffState::Added);
    EXPECT_EQ(table.lineNumber(3, 1), 2);
    EXPECT_EQ(DiffStateText(DiffState::Changed), u"変更"_s);
}

TEST(DiffTexts, CancelBeforeTheStartGivesRowZeroOnly)
{
    const bool cancel = true;
    bool progress = false;
    const DiffResultTable table = DiffTexts("a\nb", "a\nc", false, false, 7, 1, 1, "1", "2", {&cancel, &progress, {}});
    EXPECT_EQ(table.lastRow(), 0);
    EXPECT_EQ(table.cell(0, 0), "TYPE");
    EXPECT_FALSE(progress);
}

// Queued events run at the first step; a cancel set there ends the walk after that step,
// and the rows built so far keep their states.
TEST(DiffTexts, CancelWhileEventsRunKeepsTheRowsBuiltSoFar)
{
    bool cancel = false;
    bool progress = false;
    int eventRuns = 0;
    const DiffRunFlags run{&cancel, &progress, [&] {
                               ++eventRuns;
                               cancel = true;
                           }};
    const DiffResultTable table = DiffTexts("a\nb\nc", "x\nb\nc", false, false, 1, 1, 1, "1", "2", run);
    EXPECT_TRUE(progress);
    EXPECT_EQ(eventRuns, 1);
    EXPECT_EQ(rowsOf(table), (QStringList{u"変更|1|a|1|x"_s, "|2|b|2|b"}));
}

TEST(DiffTexts, RunsToTheEndWithoutACancel)
{
    bool cancel = false;
    bool progress = false;
    int eventRuns = 0;
    QString text;
    for (int k = 0; k < 5000; ++k)
        text += QString::number(k % 17) + u'\n';
    const DiffResultTable table =
        DiffTexts(text, "head\n" + text, false, false, 7, 1, 1, "1", "2", {&cancel, &progress, [&] { ++eventRuns; }});
    EXPECT_EQ(table.lastRow(), 5001);
    EXPECT_TRUE(progress);
    EXPECT_GE(eventRuns, 1);
}

} // namespace
} // namespace textcompare
