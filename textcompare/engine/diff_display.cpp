#include "textcompare/engine/diff_display.h"

#include "textcompare/engine/diff_texts.h"
#include "textcompare/engine/line_wrap.h"

#include <algorithm>
#include <climits>

namespace textcompare {

namespace {

const QString Title1 = QStringLiteral("file0PATH");
const QString Title2 = QStringLiteral("file1PATH");

constexpr int HighestSearchedCount = 10;

DisplayLines splitAll(const CompactText &text)
{
    DisplayLines lines(text);
    while (lines.splitNextLine()) {
    }
    return lines;
}

// The text wrapped at `width`, held one byte per character again when it was so before.
CompactText wrapped(const CompactText &text, qint32 width)
{
    const QString lines = WrapLines(text.toString(), width);
    return text.isLatin1() ? CompactText::narrowed(lines) : CompactText(lines);
}

} // namespace

int CountDiffRows(const DiffResultTable &table)
{
    const DiffRowList &rows = table.rows();
    return int(
        std::count_if(rows.begin(), rows.end(), [](const DiffRow &row) { return row.state != DiffState::Same; }));
}

DiffResultTable PairByPosition(const CompactText &text1, const CompactText &text2, const DiffRunFlags &run)
{
    std::array<DisplayLines, 2> lines{splitAll(text1), splitAll(text2)};
    const int count = std::max(lines[0].count(), lines[1].count());
    DiffRowList rows;
    EventPump pump(run);
    for (int line = 1; line <= count; ++line) {
        if (pump.cancelRequested())
            break;
        pump.markProgress();
        pump.tick();
        DiffRow row;
        for (int side = 0; side < 2; ++side)
            row.line[size_t(side)] = line <= lines[size_t(side)].count() ? line : 0;
        const QAnyStringView left = row.line[0] ? lines[0].view(line) : QAnyStringView();
        const QAnyStringView right = row.line[1] ? lines[1].view(line) : QAnyStringView();
        if (left.isEmpty() && !right.isEmpty())
            row.state = DiffState::Added;
        else if (right.isEmpty() && !left.isEmpty())
            row.state = DiffState::Deleted;
        else if (left != right)
            row.state = DiffState::Changed;
        rows.append(row);
    }
    return DiffResultTable(Title1, Title2, std::move(lines), std::move(rows));
}

DiffResultTable SearchJudgementLineCount(const std::function<DiffResultTable(int)> &compare,
                                         const DiffRunFlags &run, int &kept, int &keptDifferences)
{
    DiffResultTable best(Title1, Title2);
    int bestCount = INT_MAX;
    kept = 0;
    keptDifferences = 0;
    for (int count = HighestSearchedCount; count >= 1; --count) {
        if (run.cancelRequested())
            break;
        run.markProgress();
        DiffResultTable result = compare(count);
        const int differences = CountDiffRows(result);
        if (differences > bestCount)
            break;
        best = std::move(result);
        bestCount = differences;
        kept = count;
        keptDifferences = differences;
    }
    return best;
}

DiffDisplay BuildDiffDisplay(const CompactText &text1, const CompactText &text2, int nomi, int saiteki,
                             const DiffDisplayOptions &options, const DiffRunFlags &run, const DiffCounts &previous)
{
    DiffDisplay display;
    display.counts = previous;

    DiffCounts &counts = display.counts;
    DiffResultTable result;
    if (options.byPosition) {
        result = PairByPosition(text1, text2, run);
        counts.DiffRowCount = CountDiffRows(result);
    } else {
        const bool wrap = options.lenOfRow > 0;
        // Split and keyed once: the search walks the same lines with every count it tries.
        // The keys go when the walks are done; the result keeps the lines.
        const PreparedLines prepared =
            PrepareLines(wrap ? wrapped(text1, options.lenOfRow) : text1,
                         wrap ? wrapped(text2, options.lenOfRow) : text2, options.ignoreBlanks, options.ignoreCase);
        auto compare = [&](int judgementLineCount) {
            return DiffPreparedTexts(prepared, judgementLineCount, 1, 1, Title1, Title2, run);
        };
        if (saiteki != 0) {
            result = SearchJudgementLineCount(compare, run, display.searchedFactor, counts.DiffRowCount);
        } else {
            result = compare(options.judgementLineCount);
            counts.DiffRowCount = CountDiffRows(result);
        }
    }
    counts.ResultRowCount = result.lastRow();

    DisplayTable &table = display.table;
    table.append(DisplayHeaderRow());
    table.showResult(result, {options.showStates, options.colors});
    const std::array<quint32, 2> bands{options.colors.DIFFCNO1, options.colors.DIFFCNO2};
    bool inBlock = false;
    int blocksEnded = 0;
    EventPump pump(run);
    int resultRow = 0;
    for (const DiffRow &row : result.rows()) {
        if (pump.cancelRequested())
            break;
        pump.markProgress();
        ++resultRow;
        if (row.line[0])
            counts.LineCount1 = row.line[0];
        if (row.line[1])
            counts.LineCount2 = row.line[1];
        if (row.state != DiffState::Same) {
            inBlock = true;
        } else if (inBlock) {
            ++blocksEnded;
            inBlock = false;
        }
        // Without both paths no row shows a state, so the differences-only view keeps none.
        const bool marked = options.showStates && row.state != DiffState::Same;
        if (marked)
            ++display.markedRows;
        // Rows past the limit are counted above but not built.
        if ((marked || nomi == 0) && table.lastRow() < options.rowLimit)
            table.appendResultRow(resultRow, options.bandColumn ? std::optional(bands[size_t(blocksEnded % 2)])
                                                                : std::nullopt);
        pump.tick();
    }
    return display;
}

} // namespace textcompare
