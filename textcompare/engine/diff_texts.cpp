#include "textcompare/engine/diff_texts.h"

#include "textcompare/engine/line_walk.h"

#include <exception>

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

// The rows of one walk over the prepared lines, with their states.
std::vector<DiffRow> walkRows(const PreparedLines &prepared, const WalkOptions &options, const DiffRunFlags &run)
{
    std::vector<DiffRow> rows;
    try {
        // Sized once: every row holds at least one line.
        rows.reserve(size_t(prepared.lines[0].count()) + size_t(prepared.lines[1].count()));
        EventPump pump(run);
        WalkLines(prepared.keys, options, pump, rows);
    } catch (const std::exception &) {
        // Out of memory: keep the rows placed so far, as a cancel does.
    }
    assignStates(prepared.keys, rows);
    return rows;
}

} // namespace

DiffResultTable DiffTexts(const QString &text1, const QString &text2, bool ignoreBlanks, bool ignoreCase,
                          int judgementLineCount, int minimumCharacters, int candidatesPerSearch,
                          const QString &title1, const QString &title2, const DiffRunFlags &run)
{
    std::optional<PreparedLines> prepared = PrepareTexts(text1, text2, ignoreBlanks, ignoreCase);
    if (!prepared)
        return DiffResultTable(title1, title2);
    std::vector<DiffRow> rows =
        walkRows(*prepared, WalkOptions{judgementLineCount, minimumCharacters, candidatesPerSearch}, run);
    return DiffResultTable(title1, title2, std::move(prepared->lines), std::move(rows));
}

std::optional<PreparedLines> PrepareTexts(const QString &text1, const QString &text2, bool ignoreBlanks,
                                          bool ignoreCase)
{
    try {
        return PrepareLines(text1, text2, ignoreBlanks, ignoreCase);
    } catch (const std::exception &) {
        // Out of memory, or a text too long to number its lines.
        return std::nullopt;
    }
}

DiffResultTable DiffPreparedTexts(const PreparedLines &prepared, int judgementLineCount, int minimumCharacters,
                                  int candidatesPerSearch, const QString &title1, const QString &title2,
                                  const DiffRunFlags &run)
{
    std::vector<DiffRow> rows =
        walkRows(prepared, WalkOptions{judgementLineCount, minimumCharacters, candidatesPerSearch}, run);
    return DiffResultTable(title1, title2, prepared.lines, std::move(rows));
}

} // namespace textcompare
