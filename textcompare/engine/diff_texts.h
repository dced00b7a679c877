#pragma once

#include "textcompare/engine/compact_text.h"
#include "textcompare/engine/diff_result_table.h"
#include "textcompare/engine/diff_run.h"
#include "textcompare/engine/line_prepare.h"

#include <QString>

namespace textcompare {

// Compares two texts line by line and returns the result table.
//
// Lines are compared by key: the line without ASCII spaces, ideographic spaces and TABs when
// `ignoreBlanks` is set, lowered when `ignoreCase` is set. From the last matched lines the
// engine walks forward to the nearest match point (see FindNextMatch): a pair of equal lines
// that starts `judgementLineCount` equal lines in a row holding `minimumCharacters`
// characters together; each of its two searches collects `candidatesPerSearch` points. The
// lines skipped before a match point form a changed block (see PlaceBlock). The viewer passes
// minimumCharacters = 1 and candidatesPerSearch = 1.
//
// The engine shows no message. When `run`'s cancel request is set at the start of a step,
// the table holds the rows built so far; row 0 and the states are written in every case.
// When memory runs out (or a text has more than a billion lines) it throws std::bad_alloc:
// a result with lines missing is never given as if it were the comparison.
DiffResultTable DiffTexts(const CompactText &text1, const CompactText &text2, bool ignoreBlanks, bool ignoreCase,
                          int judgementLineCount, int minimumCharacters, int candidatesPerSearch,
                          const QString &title1, const QString &title2, const DiffRunFlags &run = {});
inline DiffResultTable DiffTexts(const QString &text1, const QString &text2, bool ignoreBlanks, bool ignoreCase,
                                 int judgementLineCount, int minimumCharacters, int candidatesPerSearch,
                                 const QString &title1, const QString &title2, const DiffRunFlags &run = {})
{
    return DiffTexts(CompactText(text1), CompactText(text2), ignoreBlanks, ignoreCase, judgementLineCount,
                     minimumCharacters, candidatesPerSearch, title1, title2, run);
}

// The rest of DiffTexts on texts prepared by PrepareLines: the same table as DiffTexts
// gives for those texts and options. `prepared` is only read, so one preparation serves
// walks with every judgement line count.
DiffResultTable DiffPreparedTexts(const PreparedLines &prepared, int judgementLineCount, int minimumCharacters,
                                  int candidatesPerSearch, const QString &title1, const QString &title2,
                                  const DiffRunFlags &run = {});

} // namespace textcompare
