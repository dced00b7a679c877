#pragma once

#include "textcompare/engine/compact_text.h"
#include "textcompare/engine/diff_result_table.h"
#include "textcompare/engine/diff_run.h"
#include "textcompare/engine/display_table.h"

#include <QString>

#include <functional>
#include <limits>

namespace textcompare {

// What one comparison run takes from the window besides the two texts.
struct DiffDisplayOptions
{
    // The texts are hexadecimal dumps (a code list stands on "BIN"): lines are paired by
    // position instead of by the engine.
    bool byPosition = false;
    bool ignoreBlanks = true;      // NoSpaceCheck
    bool ignoreCase = false;       // NoULChrCheck
    int judgementLineCount = 7;    // Cmb_HanteiLine, when the count is not searched
    qint32 lenOfRow = 0;           // wrap width; 0 or less: no wrap
    DiffColors colors;
    bool bandColumn = false;       // Chk_Nomi is ticked: difference blocks get band colours
    bool showStates = true;        // both path boxes hold a path
    // Rows of the display table after the header, at most (none below 1). Rows past it
    // are not built, but the counts and markedRows take in every row.
    qint32 rowLimit = std::numeric_limits<qint32>::max();
};

// The counts of a comparison that the status bar and the exports read.
struct DiffCounts
{
    // The last line number of file 1 and of file 2 met in the result: the line counts of
    // the compared texts (after wrapping). A side without any line keeps the value it had.
    qint32 LineCount1 = 0;
    qint32 LineCount2 = 0;
    // Rows of the compared result before the differences-only filter, and those of them
    // that have a state.
    qint32 ResultRowCount = 0;
    qint32 DiffRowCount = 0;
};

struct DiffDisplay
{
    DisplayTable table;
    DiffCounts counts;
    // Rows of the table that have a state, those past the row limit included.
    int markedRows = 0;
    // The judgement line count that the automatic search kept; 0 when it did not run or
    // was cancelled before its first try.
    int searchedFactor = 0;
};

// The number of rows 1..lastRow() of `table` whose state is not empty.
int CountDiffRows(const DiffResultTable &table);

// Pairs the lines of two hexadecimal dumps by position: row g holds line g of each text
// that has one. A row is "追加" when only the line of file 2 is there, "削除" when only
// that of file 1, "変更" when the two differ. Stops before a row when the cancel request
// is set; the rows not reached are missing.
DiffResultTable PairByPosition(const CompactText &text1, const CompactText &text2, const DiffRunFlags &run);

// Runs `compare` with the judgement line counts 10, 9, ... 1 and keeps the result with
// the fewest difference rows: a count equal to the best goes on to the next smaller
// judgement line count, the first count above the best ends the search. `kept` receives
// the judgement line count of the kept result and `keptDifferences` its difference rows
// (CountDiffRows). Stops before a try when the cancel request is set; with no try at all
// the result has row 0 only and both are 0.
DiffResultTable SearchJudgementLineCount(const std::function<DiffResultTable(int)> &compare,
                                         const DiffRunFlags &run, int &kept, int &keptDifferences);

// Compares the two texts and builds the display table: the rows of the result (only
// those with a state when `nomi` is not 0) up to the options' row limit, numbered from 1,
// with their row colours and, when the band column is on, alternating band colours per
// block of difference rows (blocks are counted over all result rows). Texts are wrapped first when the options
// ask for it and the comparison is not by position. With `saiteki` not 0 the judgement
// line count is searched. A cancel keeps what was built so far. `previous` gives the line
// counts that a side without lines keeps. The table shares the texts and holds no copy of
// their lines. Throws std::bad_alloc when memory runs out.
DiffDisplay BuildDiffDisplay(const CompactText &text1, const CompactText &text2, int nomi, int saiteki,
                             const DiffDisplayOptions &options, const DiffRunFlags &run, const DiffCounts &previous);

} // namespace textcompare
