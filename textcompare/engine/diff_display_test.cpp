#include "textcompare/engine/diff_display.h"

#include "platform/testing/print_to.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <map>

#include <malloc.h>

namespace textcompare {
namespace {

// Rows 1..last of a display table as "No|state|line 1|text 1|text 2|line 2|colour|band".
QStringList rowsOf(const DisplayTable &table)
{
    QStringList rows;
    for (int row = 1; row <= table.lastRow(); ++row) {
        const DisplayTable::Row cells = table.row(row);
        rows.append(QStringList(cells.begin(), cells.end()).join(u'|'));
    }
    return rows;
}

DiffDisplay build(const QString &text1, const QString &text2, int nomi = 0, DiffDisplayOptions options = {})
{
    options.ignoreBlanks = false;
    return BuildDiffDisplay(text1, text2, nomi, 0, options, {}, {});
}

// A result table of `differences` changed rows followed by one same row.
DiffResultTable resultWith(int differences)
{
    DiffRowList rows;
    for (int row = 0; row < differences; ++row)
        rows.append(DiffRow{{1, 1}, DiffState::Changed});
    rows.append(DiffRow{{1, 1}, DiffState::Same});
    return DiffResultTable("file0PATH", "file1PATH", {}, std::move(rows));
}

const QString Upd = QString::number(0xFFFFBB);
const QString Add = QString::number(0xBBBBFF);
const QString Del = QString::number(0xDDDDDD);
const QString Band1 = QString::number(0x0000FF);
const QString Band2 = QString::number(0xFF0000);

TEST(BuildDiffDisplay, HeaderRowAndColouredRows)
{
    const DiffDisplay display = build("a\nb\nc\nd", "a\nx\nb\nC\n");
    const DisplayTable::Row headerCells = display.table.row(0);
    const QStringList header(headerCells.begin(), headerCells.end());
    EXPECT_EQ(header, (QStringList{"No.", "状態", "行No.", "ファイル１", "ファイル２", "行No.", "", ""}));
    EXPECT_EQ(rowsOf(display.table), (QStringList{
                                          "1||1|a|a|1||",
                                          "2|追加|||x|2|" + Add + "|",
                                          "3||2|b|b|3||",
                                          "4|変更|3|c|C|4|" + Upd + "|",
                                          "5|削除|4|d|||" + Del + "|",
                                      }));
    EXPECT_EQ(display.counts.LineCount1, 4);
    EXPECT_EQ(display.counts.LineCount2, 4);
    EXPECT_EQ(display.counts.ResultRowCount, 5);
    EXPECT_EQ(display.counts.DiffRowCount, 3);
    EXPECT_EQ(display.markedRows, 3);
}

TEST(BuildDiffDisplay, DifferencesOnlyWithBandsPerBlock)
{
    DiffDisplayOptions options;
    options.bandColumn = true;
    // Blocks: line 2 changed, lines 4-5 changed and one added, line 7 deleted.
    const DiffDisplay display = build("1\nb\n3\nd\ne\n6\ng\n8", "1\nB\n3\nD\nE\nnew\n6\n8", 1, options);
    EXPECT_EQ(rowsOf(display.table), (QStringList{
                                          "1|変更|2|b|B|2|" + Upd + "|" + Band1,
                                          "2|変更|4|d|D|4|" + Upd + "|" + Band2,
                                          "3|変更|5|e|E|5|" + Upd + "|" + Band2,
                                          "4|追加|||new|6|" + Add + "|" + Band2,
                                          "5|削除|7|g|||" + Del + "|" + Band1,
                                      }));
    EXPECT_EQ(display.counts.ResultRowCount, 9) << "counted before the filter";
    EXPECT_EQ(display.counts.DiffRowCount, 5);
    EXPECT_EQ(display.markedRows, 5);

    options.bandColumn = false;
    const DiffDisplay unbanded = build("1\nb\n3", "1\nB\n3", 0, options);
    EXPECT_EQ(unbanded.table.cell(2, DisplayTable::BandColor), "") << "the band follows the check box";
}

TEST(DisplayTable, MarksAgreeWithTheCells)
{
    DiffDisplayOptions options;
    options.bandColumn = true;
    const DiffDisplay display = build("1\nb\n3\nd\ne\n6\ng\n8", "1\nB\n3\nD\nE\nnew\n6\n8", 0, options);
    const DisplayTable &table = display.table;
    auto fromCells = [&table](int row) {
        const DisplayTable::Row cells = table.row(row);
        return QStringList{cells[DisplayTable::State].isEmpty() ? "" : "marked", cells[DisplayTable::Line1],
                           cells[DisplayTable::Line2], cells[DisplayTable::RowColor], cells[DisplayTable::BandColor]}
            .join(u'|');
    };
    auto fromMarks = [](const DisplayTable::RowMarks &marks) {
        auto number = [](int value) { return value ? QString::number(value) : QString(); };
        auto color = [](std::optional<quint32> value) { return value ? QString::number(*value) : QString(); };
        return QStringList{marks.marked ? "marked" : "", number(marks.line[0]), number(marks.line[1]),
                           color(marks.rowColor), color(marks.band)}
            .join(u'|');
    };
    int visited = 1;
    table.visitMarks(1, table.lastRow(), [&](int row, const DisplayTable::RowMarks &marks) {
        SCOPED_TRACE(row);
        EXPECT_EQ(row, visited++);
        EXPECT_EQ(fromMarks(marks), fromCells(row));
        EXPECT_EQ(fromMarks(table.marks(row)), fromCells(row));
        for (int column = 0; column < DisplayTable::ColumnCount; ++column)
            EXPECT_EQ(table.cell(row, column), table.row(row)[size_t(column)]);
        return true;
    });
    EXPECT_EQ(visited, table.lastRow() + 1);
    QList<int> stopped;
    table.visitMarks(3, 99, [&](int row, const DisplayTable::RowMarks &) {
        stopped.append(row);
        return row < 5;
    });
    EXPECT_EQ(stopped, (QList<int>{3, 4, 5}));
}

TEST(BuildDiffDisplay, RowLimitCutsTheTableButNotTheCounts)
{
    const QString text1 = "1\nb\n3\nd\ne\n6\ng\n8";
    const QString text2 = "1\nB\n3\nD\nE\nnew\n6\n8";
    for (const int nomi : {0, 1}) {
        DiffDisplayOptions options;
        options.bandColumn = true;
        const DiffDisplay whole = build(text1, text2, nomi, options);
        const struct
        {
            const char *name;
            qint32 limit;
            int rows;
        } cases[] = {{"cut", 3, 3}, {"exactly all rows", whole.table.lastRow(), whole.table.lastRow()},
                     {"header only", 0, 0}, {"below zero", -1, 0}};
        for (const auto &c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << " nomi " << nomi);
            options.rowLimit = c.limit;
            const DiffDisplay cut = build(text1, text2, nomi, options);
            EXPECT_EQ(rowsOf(cut.table), rowsOf(whole.table).mid(0, c.rows));
            EXPECT_EQ(cut.table.row(0), whole.table.row(0));
            EXPECT_EQ(cut.counts.LineCount1, whole.counts.LineCount1);
            EXPECT_EQ(cut.counts.LineCount2, whole.counts.LineCount2);
            EXPECT_EQ(cut.counts.ResultRowCount, whole.counts.ResultRowCount);
            EXPECT_EQ(cut.counts.DiffRowCount, whole.counts.DiffRowCount);
            EXPECT_EQ(cut.markedRows, whole.markedRows);
        }
    }
}

// The table makes the cells of a row when they are read: besides the texts, which it
// shares, it keeps a few bytes per stretch of rows, not a copy of every line.
TEST(BuildDiffDisplay, KeepsNoCopyOfTheLines)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps its own counts";
#endif
    constexpr int Lines = 200000;
    QString text1;
    QString text2;
    for (int k = 0; k < Lines; ++k) {
        text1 += QStringLiteral("line %1\n").arg(k);
        text2 += QStringLiteral("line %1\n").arg(k % 1000 == 0 ? -k : k);
    }
    const auto heapBytes = [] {
        const struct mallinfo2 heap = mallinfo2();
        return qint64(heap.uordblks + heap.hblkhd);
    };
    const qint64 before = heapBytes();
    const DiffDisplay display = build(text1, text2);
    const qint64 kept = heapBytes() - before;
    ASSERT_EQ(display.table.lastRow(), Lines);
    EXPECT_EQ(display.table.row(Lines), (DisplayTable::Row{QString::number(Lines), "", QString::number(Lines),
                                                           "line 199999", "line 199999", QString::number(Lines), "", ""}));
    EXPECT_LT(kept, 2 * Lines) << "bytes kept for " << Lines << " lines";
}

TEST(BuildDiffDisplay, EdgeCases)
{
    DiffCounts previous;
    previous.LineCount1 = 41;
    previous.LineCount2 = 42;
    const DiffDisplay empty = BuildDiffDisplay(QString(""), QString(""), 0, 0, {}, {}, previous);
    EXPECT_EQ(empty.table.lastRow(), 0);
    EXPECT_EQ(empty.table.cell(0, 0), "No.");
    EXPECT_EQ(empty.counts.LineCount1, 41) << "a side without lines keeps its count";
    EXPECT_EQ(empty.counts.LineCount2, 42);
    EXPECT_EQ(empty.counts.ResultRowCount, 0);

    const DiffDisplay onlyFile2 = BuildDiffDisplay(QString(""), QString("x"), 0, 0, {}, {}, previous);
    EXPECT_EQ(onlyFile2.counts.LineCount1, 41);
    EXPECT_EQ(onlyFile2.counts.LineCount2, 1);

    const DiffDisplay same = build("a\nb", "a\nb", 1);
    EXPECT_EQ(same.table.lastRow(), 0) << "differences only, and none";
    EXPECT_EQ(same.markedRows, 0);

    DiffDisplayOptions onePath;
    onePath.showStates = false;
    const DiffDisplay noStates = build("", "a\nb", 0, onePath);
    EXPECT_EQ(rowsOf(noStates.table), (QStringList{"1||||a|1||", "2||||b|2||"}));
    EXPECT_EQ(noStates.markedRows, 0);
    EXPECT_EQ(noStates.counts.DiffRowCount, 2) << "the comparison still counts its differences";
    EXPECT_EQ(build("", "a\nb", 1, onePath).table.lastRow(), 0);

    bool cancel = true;
    bool progress = false;
    const DiffDisplay cancelled = BuildDiffDisplay(QString("a"), QString("b"), 0, 0, {}, {&cancel, &progress, {}}, {});
    EXPECT_EQ(cancelled.table.lastRow(), 0);
}

TEST(BuildDiffDisplay, WrappedLinesAreComparedAndNumbered)
{
    DiffDisplayOptions options;
    options.lenOfRow = 10;
    const DiffDisplay display = build("0123456789AB\nあいうえおかきくけ", "0123456789XY\nあいうえおかきくけ", 0, options);
    EXPECT_EQ(rowsOf(display.table), (QStringList{
                                          "1||1|0123456789|0123456789|1||",
                                          "2|変更|2|AB|XY|2|" + Upd + "|",
                                          "3||3|あいうえお|あいうえお|3||",
                                          "4||4|かきくけ|かきくけ|4||",
                                      }));
    options.lenOfRow = 0;
    EXPECT_EQ(build("0123456789AB", "0123456789AB", 0, options).table.lastRow(), 1);
}

TEST(BuildDiffDisplay, DumpsArePairedByPosition)
{
    DiffDisplayOptions options;
    options.byPosition = true;
    options.lenOfRow = 4; // a dump is never wrapped
    const DiffDisplay display = build("00AA\r\n0102\r\n03", "00AA\r\n0103\r\n03\r\nFF\r\nEE", 0, options);
    EXPECT_EQ(rowsOf(display.table), (QStringList{
                                          "1||1|00AA|00AA|1||",
                                          "2|変更|2|0102|0103|2|" + Upd + "|",
                                          "3||3|03|03|3||",
                                          "4|追加|||FF|4|" + Add + "|",
                                          "5|追加|||EE|5|" + Add + "|",
                                      }));
}

TEST(PairByPosition, StatesAndCancel)
{
    const DiffResultTable table = PairByPosition(QString("A\r\nB\r\nC\r\n"), QString("A\r\nX"), {});
    ASSERT_EQ(table.lastRow(), 3);
    EXPECT_EQ(table.state(1), DiffState::Same);
    EXPECT_EQ(table.state(2), DiffState::Changed);
    EXPECT_EQ(table.state(3), DiffState::Deleted);
    EXPECT_EQ(table.cell(3, 3), "");
    EXPECT_EQ(table.cell(0, 2), "file0PATH");

    bool cancel = true;
    EXPECT_EQ(PairByPosition(QString("A"), QString("B"), {&cancel, nullptr, {}}).lastRow(), 0);
}

TEST(SearchJudgementLineCount, KeepsTheFewestDifferencesAndStopsAtTheFirstRise)
{
    const struct
    {
        const char *name;
        std::map<int, int> differences; // by judgement line count
        int kept;
        int tries;
    } cases[] = {
        {"equal counts go on to the smaller count", {{10, 12}, {9, 12}, {8, 11}, {7, 13}}, 8, 4},
        {"the first count is already the best", {{10, 5}, {9, 6}}, 10, 2},
        {"falling all the way", {{10, 10}, {9, 9}, {8, 8}, {7, 7}, {6, 6}, {5, 5}, {4, 4}, {3, 3}, {2, 2}, {1, 1}}, 1, 10},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        int tries = 0;
        int kept = -1;
        int keptDifferences = -1;
        bool progress = false;
        const DiffResultTable result = SearchJudgementLineCount(
            [&](int count) {
                ++tries;
                return resultWith(c.differences.at(count));
            },
            {nullptr, &progress, {}}, kept, keptDifferences);
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(tries, c.tries);
        EXPECT_EQ(CountDiffRows(result), c.differences.at(c.kept));
        EXPECT_EQ(keptDifferences, c.differences.at(c.kept));
        EXPECT_TRUE(progress);
    }
}

TEST(SearchJudgementLineCount, CancelStopsBeforeTheNextTry)
{
    bool cancel = true;
    int kept = -1;
    int keptDifferences = -1;
    int tries = 0;
    const DiffResultTable none = SearchJudgementLineCount(
        [&](int) {
            ++tries;
            return resultWith(1);
        },
        {&cancel, nullptr, {}}, kept, keptDifferences);
    EXPECT_EQ(tries, 0);
    EXPECT_EQ(kept, 0);
    EXPECT_EQ(keptDifferences, 0);
    EXPECT_EQ(none.lastRow(), 0);

    cancel = false;
    const DiffResultTable first = SearchJudgementLineCount(
        [&](int) {
            cancel = true; // Esc pressed during the first try
            return resultWith(3);
        },
        {&cancel, nullptr, {}}, kept, keptDifferences);
    EXPECT_EQ(kept, 10);
    EXPECT_EQ(CountDiffRows(first), 3);
    EXPECT_EQ(keptDifferences, 3);
}

TEST(BuildDiffDisplay, SearchReportsTheKeptCount)
{
    const DiffDisplay display = BuildDiffDisplay(QString("a\nb\nc"), QString("a\nb\nc"), 0, 1, {}, {}, {});
    EXPECT_EQ(display.searchedFactor, 1) << "equal counts all the way down";
    EXPECT_EQ(build("a", "a").searchedFactor, 0);
}

TEST(BuildDiffDisplay, SearchKeepsWhatTheKeptCountShowsAlone)
{
    // Difference rows by count: 15 for counts 10 to 3, 17 for 2, so the search keeps 3.
    const QString text1 = "y\ny\nx\nx\nx\nb\nb\ny\nc\nx\ny\nb\nx\n";
    const QString text2 = "a\nc\nb\nc\nb\na\nx\nb\ny\nx\nb\n";
    for (const int wrapWidth : {0, 3}) {
        SCOPED_TRACE(wrapWidth);
        DiffDisplayOptions options;
        options.lenOfRow = wrapWidth;
        const DiffDisplay searched = BuildDiffDisplay(text1, text2, 0, 1, options, {}, {});
        ASSERT_EQ(searched.searchedFactor, 3);
        options.judgementLineCount = searched.searchedFactor;
        const DiffDisplay alone = BuildDiffDisplay(text1, text2, 0, 0, options, {}, {});
        EXPECT_EQ(rowsOf(searched.table), rowsOf(alone.table));
        EXPECT_EQ(searched.counts.DiffRowCount, alone.counts.DiffRowCount);
        EXPECT_EQ(searched.counts.ResultRowCount, alone.counts.ResultRowCount);
        EXPECT_EQ(searched.counts.LineCount1, alone.counts.LineCount1);
        EXPECT_EQ(searched.counts.LineCount2, alone.counts.LineCount2);
        EXPECT_EQ(searched.markedRows, alone.markedRows);
    }
}

} // namespace
} // namespace textcompare
