#include "textcompare/engine/diff_texts.h"

#include "textcompare/engine/line_walk.h"

namespace textcompare {

DiffResultTable DiffTexts(const CompactText &text1, const CompactText &text2, bool ignoreBlanks, bool ignoreCase,
                          int judgementLineCount, int minimumCharacters, int candidatesPerSearch,
                          const QString &title1, const QString &title2, const DiffRunFlags &run)
{
    PreparedLines prepared = PrepareLines(text1, text2, ignoreBlanks, ignoreCase);
    DiffRowList rows;
    EventPump pump(run);
    WalkLines(prepared.keys, WalkOptions{judgementLineCount, minimumCharacters, candidatesPerSearch}, pump, rows);
    return DiffResultTable(title1, title2, std::move(prepared.lines), std::move(rows));
}

DiffResultTable DiffPreparedTexts(const PreparedLines &prepared, int judgementLineCount, int minimumCharacters,
                                  int candidatesPerSearch, const QString &title1, const QString &title2,
                                  const DiffRunFlags &run)
{
    DiffRowList rows;
    EventPump pump(run);
    WalkLines(prepared.keys, WalkOptions{judgementLineCount, minimumCharacters, candidatesPerSearch}, pump, rows);
    return DiffResultTable(title1, title2, prepared.lines, std::move(rows));
}

} // namespace textcompare
