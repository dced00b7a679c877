#include "textcompare/engine/diff_display.h"

#include "textcompare/engine/diff_texts.h"
#include "textcompare/engine/line_wrap.h"

#include <climits>

namespace textcompare {

namespace {

const QString Title1 = QStringLiteral("file0PATH");
const QString Title2 = QStringLiteral("file1PATH");

constexpr int HighestSearchedCount = 10;

DisplayLines splitAll(const QString &text)
{
    DisplayLines lines(text);
    while (lines.splitNextLine()) {
    }
    return lines;
}

quint32 rowColor(DiffState state, const DiffColors &colors)
{
    switch (state) {
    case DiffState::Added:
        return colors.DIFFCADD;
    case DiffState::Deleted:
        return colors.DIFFCDEL;
    default:
        return colors.DIFFCUPD;
    }
}

} // namespace

int CountDiffRows(const DiffResultTable &table)
{
    int count = 0;
    for (int row = 1; row <= table.lastRow(); ++row)
        if (table.state(row) != DiffState::Same)
            ++count;
    return count;
}

DiffResultTable PairByPosition(const QString &text1, const QString &text2, const DiffRunFlags &run)
{
    std::array<DisplayLines, 2> lines{splitAll(text1), splitAll(text2)};
    const int count = std::max(lines[0].count(), lines[1].count());
    std::vector<DiffRow> rows;
    rows.reserve(size_t(count));
    EventPump pump(run);
    for (int line = 1; line <= count; ++line) {
        if (pump.cancelRequested())
            break;
        pump.markProgress();
        pump.tick();
        DiffRow row;
        for (int side = 0; side < 2; ++side)
            row.line[size_t(side)] = line <= lines[size_t(side)].count() ? line : 0;
        const QStringView left = row.line[0] ? lines[0].view(line) : QStringView();
        const QStringView right = row.line[1] ? lines[1].view(line) : QStringView();
        if (left.isEmpty() && !right.isEmpty())
            row.state = DiffState::Added;
        else if (right.isEmpty() && !left.isEmpty())
            row.state = DiffState::Deleted;
        else if (left != right)
            row.state = DiffState::Changed;
        rows.push_back(row);
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

DiffDisplay BuildDiffDisplay(const QString &text1, const QString &text2, int nomi, int saiteki,
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
        const std::optional<PreparedLines> prepared =
            PrepareTexts(wrap ? WrapLines(text1, options.lenOfRow) : text1,
                         wrap ? WrapLines(text2, options.lenOfRow) : text2, options.ignoreBlanks, options.ignoreCase);
        auto compare = [&](int judgementLineCount) {
            if (!prepared)
                return DiffResultTable(Title1, Title2);
            return DiffPreparedTexts(*prepared, judgementLineCount, 1, 1, Title1, Title2, run);
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
    const std::array<quint32, 2> bands{options.colors.DIFFCNO1, options.colors.DIFFCNO2};
    bool inBlock = false;
    int blocksEnded = 0;
    EventPump pump(run);
    for (int row = 1; row <= result.lastRow(); ++row) {
        if (pump.cancelRequested())
            break;
        pump.markProgress();
        const int line1 = result.lineNumber(row, 0);
        const int line2 = result.lineNumber(row, 1);
        if (line1)
            counts.LineCount1 = line1;
        if (line2)
            counts.LineCount2 = line2;
        const DiffState state = result.state(row);
        if (state != DiffState::Same) {
            inBlock = true;
        } else if (inBlock) {
            ++blocksEnded;
            inBlock = false;
        }
        // Without both paths no row shows a state, so the differences-only view keeps none.
        const QString stateText = options.showStates ? DiffStateText(state) : QString();
        if (!stateText.isEmpty())
            ++display.markedRows;
        // Rows past the limit are counted above but not built.
        if ((!stateText.isEmpty() || nomi == 0) && table.lastRow() < options.rowLimit) {
            DisplayTable::Row shown;
            shown[DisplayTable::No] = QString::number(table.lastRow() + 1);
            shown[DisplayTable::State] = stateText;
            shown[DisplayTable::Line1] = line1 ? QString::number(line1) : QString();
            shown[DisplayTable::Text1] = result.lineText(row, 0);
            shown[DisplayTable::Text2] = result.lineText(row, 1);
            shown[DisplayTable::Line2] = line2 ? QString::number(line2) : QString();
            if (!stateText.isEmpty()) {
                shown[DisplayTable::RowColor] = QString::number(qint32(rowColor(state, options.colors)));
                if (options.bandColumn)
                    shown[DisplayTable::BandColor] = QString::number(qint32(bands[size_t(blocksEnded % 2)]));
            }
            table.append(std::move(shown));
        }
        pump.tick();
    }
    return display;
}

} // namespace textcompare
