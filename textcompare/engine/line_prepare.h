#pragma once

#include "textcompare/engine/line_split.h"

#include <QLatin1StringView>
#include <QStringView>

#include <array>
#include <span>
#include <vector>

namespace textcompare {

// A pair of line numbers, [0] in file 1 and [1] in file 2.
using LinePair = std::array<int, 2>;

// One side's lines as the walk sees them: the integer id of each line's key, and for each
// id the ascending line numbers of this side that carry it.
struct SideKeys
{
    std::vector<int> ids;             // ids[k] is the key id of line k; ids[0] is unused
    std::vector<int> occurrenceStart; // lines of id d: occurrences[occurrenceStart[d] .. occurrenceStart[d + 1])
    std::vector<int> occurrences;

    int lineCount() const { return int(ids.size()) - 1; }
    std::span<const int> linesOf(int id) const
    {
        return std::span<const int>(occurrences).subspan(size_t(occurrenceStart[size_t(id)]),
                                                         size_t(countOf(id)));
    }
    int countOf(int id) const { return occurrenceStart[size_t(id) + 1] - occurrenceStart[size_t(id)]; }
};

// The keys of both compared texts, index 0 for file 1 and 1 for file 2. Two lines have the
// same id exactly when their keys are equal, code unit by code unit, on either side.
struct LineKeys
{
    std::array<SideKeys, 2> sides;
    std::vector<quint32> keyLength; // characters of the key of each id, at most 2^32 - 1
};

// Both texts split into lines, and the keys of the lines.
struct PreparedLines
{
    std::array<DisplayLines, 2> lines;
    LineKeys keys;
};

// Splits both texts and gives every line its key id. The key of a line is the line itself,
// without ASCII spaces, ideographic spaces and TABs when `ignoreBlanks` is set, lowered code
// point by code point (simple Unicode lower-case mapping) when `ignoreCase` is set. Both
// texts are worked on in one form: one byte per character when both are held so (or
// empty), else UTF-16, the other text then being widened. Throws std::bad_alloc when memory
// runs out or a text has more than a billion lines.
PreparedLines PrepareLines(const CompactText &text1, const CompactText &text2, bool ignoreBlanks, bool ignoreCase);

// Writes `line` without ASCII spaces, ideographic spaces (U+3000) and TABs to `key`, which
// has room for the whole line. Returns the end of what it wrote.
char16_t *RemoveBlanks(QStringView line, char16_t *key);
// The same for a line held one byte per character, which has no ideographic space.
uchar *RemoveBlanks(QLatin1StringView line, uchar *key);

} // namespace textcompare
