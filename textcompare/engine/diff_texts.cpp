#include "textcompare/engine/diff_texts.h"

#include "textcompare/engine/line_prepare.h"
#include "textcompare/engine/line_walk.h"

#include <exception>
#include <optional>

namespace textcompare {
namespace {

void assignStates(const LineKeys &keys, std::vector<DiffRow> &rows)
{
    for (DiffRow &row : rows) {
        if (row.line[0] == 0)
            row.state = DiffState::Added;
        else if (row.line[1] == 0)
            row.state = DiffState::Deleted;
        else if (keys.sides[0].ids[size_t(row.line[0])] != keys.sides[1].ids[size_t(row.line[1])])
            row.state = DiffState::Changed;
        else
            row.state = DiffState::Same;
    }
}

} // namespace

DiffResultTable DiffTexts(const QString &text1, const QString &text2, bool ignoreBlanks, bool ignoreCase,
                          int judgementLineCount, int minimumCharacters, int candidatesPerSearch,
                          const QString &title1, const QString &title2, const DiffRunFlags &run)
{
    std::optional<PreparedLines> prepared;
    std::vector<DiffRow> rows;
    try {
        prepared = PrepareLines(text1, text2, ignoreBlanks, ignoreCase);
        // Sized once: every row holds at least one line.
        rows.reserve(size_t(prepared->lines[0].count()) + size_t(prepared->lines[1].count()));
        EventPump pump(run);
        WalkLines(prepared->keys, WalkOptions{judgementLineCount, minimumCharacters, candidatesPerSearch}, pump,
                  rows);
    } catch (const std::exception &) {
        // Out of memory, or a text too long to number its lines: keep the rows placed so
        // far, as a cancel does.
    }
    if (!prepared)
        return DiffResultTable(title1, title2);
    assignStates(prepared->keys, rows);
    return DiffResultTable(title1, title2, std::move(prepared->lines), std::move(rows));
}

} // namespace textcompare
