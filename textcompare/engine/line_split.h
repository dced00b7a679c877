#pragma once

#include "textcompare/engine/compact_text.h"

#include <QAnyStringView>
#include <QString>

#include <vector>

namespace textcompare {

// Where a line lies in its text: its first character and its length without the line end.
struct LineSpan
{
    qsizetype start = 0;
    qsizetype length = 0;
};

// Index of the first CR or LF in data[from, size), or size.
template <typename Unit>
qsizetype NextLineBreak(const Unit *data, qsizetype from, qsizetype size);

// The lines of one compared text as they are shown. CR LF, CR and LF each end a line; a
// final line end makes no extra empty line, so an empty text has no lines and a text that
// is one line end has one empty line. The text is split a line at a time, so that the
// caller can work on each line while it is still in the cache.
//
// Only the start of every 32nd line is kept: a line is found again from the nearest kept
// start by skipping the line ends between, and the last line looked up is remembered, so
// that reading the lines in order costs one step per line (and that the lines are read
// from one thread at a time). A million lines thus take a quarter of a megabyte besides
// their text.
class DisplayLines
{
public:
    DisplayLines() = default;
    // Holds the text with no line split yet.
    explicit DisplayLines(const CompactText &text);

    // Splits off the next line; false when the text has no more.
    bool splitNextLine();
    // The line split last, line count().
    LineSpan lastSplitLine() const { return m_lastSplit; }

    // The lines split so far.
    int count() const { return m_count; }
    // Line `line` (1 to count()) without its line end.
    LineSpan span(int line) const;
    QAnyStringView view(int line) const
    {
        const LineSpan found = span(line);
        return m_text.view(found.start, found.length);
    }
    QString text(int line) const { return view(line).toString(); }
    const CompactText &wholeText() const { return m_text; }

    // About how many lines the whole text has, judged from its beginning.
    qsizetype expectedLineCount() const { return m_expectedLineCount; }

private:
    static constexpr int IndexStep = 32;

    CompactText m_text;
    qsizetype m_expectedLineCount = 0;
    qsizetype m_splitTo = 0; // where the next line starts
    int m_count = 0;
    LineSpan m_lastSplit;
    std::vector<qsizetype> m_indexedStarts; // [k] is the start of line k * IndexStep + 1
    // The line looked up last and its start (0 and 0 before any lookup): the next lookup
    // of a line shortly after it goes on from there.
    mutable int m_cursorLine = 0;
    mutable qsizetype m_cursorStart = 0;
};

} // namespace textcompare
