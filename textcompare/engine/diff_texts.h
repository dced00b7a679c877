#pragma once

#include "textcompare/engine/diff_result_table.h"
#include "textcompare/engine/diff_run.h"
#include "textcompare/engine/line_prepare.h"

#include <QString>

#include <optional>

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
// The engine shows no message and passes no failure on. When `run`'s cancel request is set
// at the start of a step, the table holds the rows built so far; when memory runs out (or a
// text has more than a billion lines), the same. Row 0 and the states are written in every
// case.
DiffResultTable DiffTexts(const QString &text1, const QString &text2, bool ignoreBlanks, bool ignoreCase,
                          int judgementLineCount, int minimumCharacters, int candidatesPerSearch,
                          const QString &title1, const QString &title2, const DiffRunFlags &run = {});

// The first stage of DiffTexts on its own, for several walks over the same two texts:
// both texts split and keyed (PrepareLines). Empty when memory runs out or a text has more
// than a billion lines; DiffTexts then gives row 0 only.
std::optional<PreparedLines> PrepareTexts(const QString &text1, const QString &text2, bool ignoreBlanks,
                                          bool ignoreCase);

// The rest of DiffTexts on texts prepared by PrepareTexts: the same table as DiffTexts
// gives for those texts and options. `prepared` is only read, so one preparation serves
// walks with every judgement line count.
DiffResultTable DiffPreparedTexts(const PreparedLines &prepared, int judgementLineCount, int minimumCharacters,
                                  int candidatesPerSearch, const QString &title1, const QString &title2,
                                  const DiffRunFlags &run = {});

} // namespace textcompare
