#include "textcompare/engine/line_split.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textcompare {
namespace {

// Index of the first CR or LF in data[from, size), or size. Eight code units per step
// where SSE2 is there: lines average dozens of characters.
qsizetype nextLineBreak(const char16_t *data, qsizetype from, qsizetype size)
{
    qsizetype at = from;
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi16(short(u'\n'));
    const __m128i carriageReturn = _mm_set1_epi16(short(u'\r'));
    for (; at + 8 <= size; at += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + at));
        const __m128i breaks = _mm_or_si128(_mm_cmpeq_epi16(units, lineFeed), _mm_cmpeq_epi16(units, carriageReturn));
        const unsigned mask = unsigned(_mm_movemask_epi8(breaks));
        if (mask)
            return at + std::countr_zero(mask) / 2;
    }
#endif
    for (; at < size; ++at) {
        if (data[at] == u'\n' || data[at] == u'\r')
            return at;
    }
    return size;
}

// The line ends in the first 64K units (CR LF counted once), scaled to the whole text.
qsizetype guessLineCount(QStringView text)
{
    constexpr qsizetype Sample = 1 << 16;
    const char16_t *data = text.utf16();
    const qsizetype sample = std::min(text.size(), Sample);
    qsizetype breaks = 0;
    for (qsizetype at = nextLineBreak(data, 0, sample); at < sample; at = nextLineBreak(data, at + 1, sample)) {
        if (data[at] == u'\r' || at == 0 || data[at - 1] != u'\r')
            ++breaks;
    }
    return sample == 0 ? 0 : breaks * text.size() / sample + 1;
}

} // namespace

DisplayLines::DisplayLines(const QString &text)
    : m_text(text)
    , m_expectedLineCount(guessLineCount(text))
{
    m_spans.reserve(size_t(m_expectedLineCount));
}

bool DisplayLines::splitNextLine()
{
    const char16_t *data = QStringView(m_text).utf16();
    const qsizetype size = m_text.size();
    if (m_splitTo >= size)
        return false;
    const qsizetype end = nextLineBreak(data, m_splitTo, size);
    m_spans.push_back({m_splitTo, end - m_splitTo});
    if (end == size)
        m_splitTo = size;
    else
        m_splitTo = end + (data[end] == u'\r' && end + 1 < size && data[end + 1] == u'\n' ? 2 : 1);
    return true;
}

} // namespace textcompare
