#include "textcompare/engine/line_split.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textcompare {

// Sixteen bytes per step where SSE2 is there: lines average dozens of characters.
template <typename Unit>
qsizetype NextLineBreak(const Unit *data, qsizetype from, qsizetype size)
{
    qsizetype at = from;
#if defined(__SSE2__)
    constexpr qsizetype UnitsPerStep = 16 / sizeof(Unit);
    for (; at + UnitsPerStep <= size; at += UnitsPerStep) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + at));
        __m128i breaks;
        if constexpr (sizeof(Unit) == 1)
            breaks = _mm_or_si128(_mm_cmpeq_epi8(units, _mm_set1_epi8('\n')),
                                  _mm_cmpeq_epi8(units, _mm_set1_epi8('\r')));
        else
            breaks = _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16(short(u'\n'))),
                                  _mm_cmpeq_epi16(units, _mm_set1_epi16(short(u'\r'))));
        const unsigned mask = unsigned(_mm_movemask_epi8(breaks));
        if (mask)
            return at + std::countr_zero(mask) / qsizetype(sizeof(Unit));
    }
#endif
    for (; at < size; ++at) {
        if (data[at] == '\n' || data[at] == '\r')
            return at;
    }
    return size;
}

template qsizetype NextLineBreak<uchar>(const uchar *data, qsizetype from, qsizetype size);
template qsizetype NextLineBreak<char16_t>(const char16_t *data, qsizetype from, qsizetype size);

namespace {

// Where the line after the line end at `end` starts (CR LF is one line end).
template <typename Unit>
qsizetype afterLineBreak(const Unit *data, qsizetype end, qsizetype size)
{
    if (end == size)
        return size;
    return end + (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n' ? 2 : 1);
}

// The line ends in the first 64K characters (CR LF counted once), scaled to the whole text.
template <typename Unit>
qsizetype guessLineCount(const Unit *data, qsizetype size)
{
    constexpr qsizetype Sample = 1 << 16;
    const qsizetype sample = std::min(size, Sample);
    qsizetype breaks = 0;
    for (qsizetype at = NextLineBreak(data, 0, sample); at < sample; at = NextLineBreak(data, at + 1, sample)) {
        if (data[at] == '\r' || at == 0 || data[at - 1] != '\r')
            ++breaks;
    }
    return sample == 0 ? 0 : breaks * size / sample + 1;
}

template <typename Unit>
LineSpan splitLine(const Unit *data, qsizetype start, qsizetype size)
{
    return {start, NextLineBreak(data, start, size) - start};
}

// Line `line` of a text, found from a line `from` at or before it that starts at `start`.
template <typename Unit>
LineSpan findLine(const Unit *data, qsizetype size, int from, qsizetype start, int line)
{
    for (; from < line; ++from)
        start = afterLineBreak(data, NextLineBreak(data, start, size), size);
    return splitLine(data, start, size);
}

} // namespace

DisplayLines::DisplayLines(const CompactText &text)
    : m_text(text)
    , m_expectedLineCount(text.isLatin1() ? guessLineCount(text.data<uchar>(), text.size())
                                          : guessLineCount(text.data<char16_t>(), text.size()))
{
    m_indexedStarts.reserve(size_t(m_expectedLineCount / IndexStep + 1));
}

bool DisplayLines::splitNextLine()
{
    const qsizetype size = m_text.size();
    if (m_splitTo >= size)
        return false;
    if (m_count % IndexStep == 0)
        m_indexedStarts.push_back(m_splitTo);
    ++m_count;
    if (m_text.isLatin1()) {
        m_lastSplit = splitLine(m_text.data<uchar>(), m_splitTo, size);
        m_splitTo = afterLineBreak(m_text.data<uchar>(), m_lastSplit.start + m_lastSplit.length, size);
    } else {
        m_lastSplit = splitLine(m_text.data<char16_t>(), m_splitTo, size);
        m_splitTo = afterLineBreak(m_text.data<char16_t>(), m_lastSplit.start + m_lastSplit.length, size);
    }
    return true;
}

LineSpan DisplayLines::span(int line) const
{
    if (line == m_count)
        return m_lastSplit;
    // Go on from the line looked up last when it lies shortly before; otherwise from the
    // kept start of the line's group.
    if (m_cursorLine == 0 || line < m_cursorLine || line - m_cursorLine >= IndexStep) {
        const int group = (line - 1) / IndexStep;
        m_cursorLine = group * IndexStep + 1;
        m_cursorStart = m_indexedStarts[size_t(group)];
    }
    const LineSpan found = m_text.isLatin1()
                               ? findLine(m_text.data<uchar>(), m_text.size(), m_cursorLine, m_cursorStart, line)
                               : findLine(m_text.data<char16_t>(), m_text.size(), m_cursorLine, m_cursorStart, line);
    m_cursorLine = line;
    m_cursorStart = found.start;
    return found;
}

} // namespace textcompare
