#include "textcompare/engine/line_prepare.h"

#include "textcompare/engine/key_table.h"

#include <QChar>

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace textcompare {
namespace {

// Lowers the key in place, code point by code point. The simple lower-case mapping never
// moves a character between the basic plane and the others, so the length stays.
void lowerCase(char16_t *begin, char16_t *end)
{
    for (char16_t *at = begin; at < end; ++at) {
        const char16_t unit = *at;
        if (unit < 0x80) {
            *at = unit >= u'A' && unit <= u'Z' ? char16_t(unit + 32) : unit;
        } else if (QChar::isHighSurrogate(unit) && at + 1 < end && QChar::isLowSurrogate(at[1])) {
            const char32_t lower = QChar::toLower(QChar::surrogateToUcs4(unit, at[1]));
            *at = QChar::highSurrogate(lower);
            *++at = QChar::lowSurrogate(lower);
        } else {
            *at = char16_t(QChar::toLower(char32_t(unit)));
        }
    }
}

// The same for Latin-1 characters, whose lower-case forms are Latin-1 characters too.
void lowerCase(uchar *begin, uchar *end)
{
    static const std::array<uchar, 256> lower = [] {
        std::array<uchar, 256> table{};
        for (unsigned unit = 0; unit < 256; ++unit)
            table[unit] = uchar(QChar::toLower(char32_t(unit)));
        return table;
    }();
    for (uchar *at = begin; at < end; ++at)
        *at = lower[*at];
}

#if defined(__x86_64__)
// For each mask of kept units of an eight-unit block, the byte shuffle that moves the kept
// units to the front in order.
constexpr std::array<std::array<quint8, 16>, 256> keptUnitShuffles()
{
    std::array<std::array<quint8, 16>, 256> shuffles{};
    for (unsigned kept = 0; kept < 256; ++kept) {
        std::array<quint8, 16> &shuffle = shuffles[kept];
        shuffle.fill(0x80);
        unsigned out = 0;
        for (unsigned lane = 0; lane < 8; ++lane) {
            if (kept & (1u << lane)) {
                shuffle[2 * out] = quint8(2 * lane);
                shuffle[2 * out + 1] = quint8(2 * lane + 1);
                ++out;
            }
        }
    }
    return shuffles;
}

alignas(16) constexpr std::array<std::array<quint8, 16>, 256> KeptUnitShuffles = keptUnitShuffles();

// The same for the bytes of an eight-byte block.
constexpr std::array<std::array<quint8, 16>, 256> keptByteShuffles()
{
    std::array<std::array<quint8, 16>, 256> shuffles{};
    for (unsigned kept = 0; kept < 256; ++kept) {
        std::array<quint8, 16> &shuffle = shuffles[kept];
        shuffle.fill(0x80);
        unsigned out = 0;
        for (unsigned lane = 0; lane < 8; ++lane) {
            if (kept & (1u << lane))
                shuffle[out++] = quint8(lane);
        }
    }
    return shuffles;
}

alignas(16) constexpr std::array<std::array<quint8, 16>, 256> KeptByteShuffles = keptByteShuffles();

#define TEXTCOMPARE_SSSE3 __attribute__((target("ssse3,popcnt")))

// The units of an eight-unit block that are not blanks, one bit per unit.
TEXTCOMPARE_SSSE3 unsigned keptUnits(__m128i units)
{
    const __m128i blank = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16(short(u' '))),
                                                    _mm_cmpeq_epi16(units, _mm_set1_epi16(short(u'\t')))),
                                       _mm_cmpeq_epi16(units, _mm_set1_epi16(short(u'\u3000'))));
    return ~unsigned(_mm_movemask_epi8(_mm_packs_epi16(blank, _mm_setzero_si128()))) & 0xFFu;
}

// The kept units moved to the front of the block.
TEXTCOMPARE_SSSE3 __m128i compacted(__m128i units, unsigned kept)
{
    return _mm_shuffle_epi8(units, _mm_load_si128(reinterpret_cast<const __m128i *>(KeptUnitShuffles[kept].data())));
}

// RemoveBlanks for a line of eight units or more, eight units at a time. Each store of a
// whole block stays inside the room of the line, as no more is written than was read. The
// last, partial block is read as the line's last eight units, with the units already done
// dropped, and goes through a small buffer.
TEXTCOMPARE_SSSE3 char16_t *removeBlanksInBlocks(const char16_t *begin, const char16_t *end, char16_t *key)
{
    const char16_t *at = begin;
    for (; end - at >= 8; at += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const unsigned kept = keptUnits(units);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(key), compacted(units, kept));
        key += std::popcount(kept);
    }
    if (at < end) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(end - 8));
        const unsigned kept = keptUnits(units) & (0xFFu << (8 - (end - at))) & 0xFFu;
        alignas(16) char16_t block[8];
        _mm_store_si128(reinterpret_cast<__m128i *>(block), compacted(units, kept));
        const int count = std::popcount(kept);
        std::copy(block, block + count, key);
        key += count;
    }
    return key;
}

// The Latin-1 form, eight bytes at a time; the bytes after the last full block one by one.
TEXTCOMPARE_SSSE3 uchar *removeBlanksInByteBlocks(const uchar *begin, const uchar *end, uchar *key)
{
    const uchar *at = begin;
    for (; end - at >= 8; at += 8) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(at));
        const __m128i blank = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')),
                                           _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')));
        const unsigned kept = ~unsigned(_mm_movemask_epi8(blank)) & 0xFFu;
        const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i *>(KeptByteShuffles[kept].data()));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(key), _mm_shuffle_epi8(bytes, shuffle));
        key += std::popcount(kept);
    }
    for (; at < end; ++at) {
        *key = *at;
        key += *at != ' ' && *at != '\t';
    }
    return key;
}

#undef TEXTCOMPARE_SSSE3
#endif

bool hasSsse3()
{
#if defined(__x86_64__)
    static const bool has = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
    return has;
#else
    return false;
#endif
}

uchar *removeBlanks(const uchar *begin, const uchar *end, uchar *key)
{
    return RemoveBlanks(QLatin1StringView(reinterpret_cast<const char *>(begin), end - begin), key);
}

char16_t *removeBlanks(const char16_t *begin, const char16_t *end, char16_t *key)
{
    return RemoveBlanks(QStringView(begin, end), key);
}

constexpr int MaxLinesPerText = (std::numeric_limits<int>::max() - 4) / 2;

// A key length as LineKeys keeps it: 2^32 - 1 stands for that many characters or more,
// which meet any minimum of characters that an int can ask for.
quint32 storedLength(qsizetype length)
{
    return quint32(std::min<qsizetype>(length, std::numeric_limits<quint32>::max()));
}

// Compared texts mostly share their lines, so the lines of the longer text are about as
// many keys as there are. Beyond a million the table grows as it needs: texts of many
// equal lines (a file of blank lines) have few keys, and address space taken for keys
// that never come can make an allocation fail under a memory limit.
size_t expectedKeys(const std::array<DisplayLines, 2> &lines)
{
    constexpr qsizetype MostKeysExpected = 1 << 20;
    return size_t(std::min(std::max(lines[0].expectedLineCount(), lines[1].expectedLineCount()), MostKeysExpected));
}
constexpr quint64 SecondSideMark = quint64(1) << 63;

// Gives the lines of both sides their key ids, in characters of type `Unit` (uchar for
// Latin-1 texts, char16_t for UTF-16 ones).
template <typename Unit>
class KeyNumbering
{
public:
    KeyNumbering(std::array<DisplayLines, 2> &lines, bool ignoreBlanks, bool ignoreCase, LineKeys &keys)
        : m_lines(lines)
        , m_ignoreBlanks(ignoreBlanks)
        , m_ignoreCase(ignoreCase)
        , m_keys(keys)
        , m_table(expectedKeys(lines))
    {
        for (size_t side = 0; side < 2; ++side) {
            m_texts[side] = lines[side].wholeText().template data<Unit>();
            m_sizes[side] = lines[side].wholeText().size();
        }
    }

    // Splits side `side` and returns the id of each of its lines. Lines go in batches: a
    // batch is split, its keys made and hashed and their table slots fetched while its
    // text is still in the cache, and only then looked up, so that the lookups do not
    // wait on memory one after the other.
    std::vector<int> numberSide(int side)
    {
        constexpr int BatchLines = 32;
        DisplayLines &lines = m_lines[size_t(side)];
        std::vector<int> ids{-1};
        ids.reserve(size_t(lines.expectedLineCount()) + 1);
        std::array<LineSpan, BatchLines> spans;
        std::array<const Unit *, BatchLines> keys;
        std::array<qsizetype, BatchLines> keyLengths;
        std::array<quint64, BatchLines> hashes;
        for (;;) {
            int count = 0;
            while (count < BatchLines && lines.splitNextLine())
                spans[size_t(count++)] = lines.lastSplitLine();
            if (count == 0)
                break;
            // Line numbers and row counts of both sides together must stay within int.
            if (lines.count() > MaxLinesPerText)
                throw std::bad_alloc();
            if (changesKeys()) {
                // A key is never longer than its line.
                size_t room = 0;
                for (int k = 0; k < count; ++k)
                    room += size_t(spans[size_t(k)].length);
                if (m_batchKeys.size() < room)
                    m_batchKeys.resize(std::max(room, 2 * m_batchKeys.size()));
                Unit *end = m_batchKeys.data();
                for (int k = 0; k < count; ++k) {
                    Unit *const start = end;
                    end = makeKey(lineOf(side, spans[size_t(k)]), spans[size_t(k)].length, start);
                    keys[size_t(k)] = start;
                    keyLengths[size_t(k)] = end - start;
                }
            } else {
                for (int k = 0; k < count; ++k) {
                    keys[size_t(k)] = lineOf(side, spans[size_t(k)]);
                    keyLengths[size_t(k)] = spans[size_t(k)].length;
                }
            }
            for (int k = 0; k < count; ++k) {
                hashes[size_t(k)] = HashKey(keys[size_t(k)], size_t(keyLengths[size_t(k)]) * sizeof(Unit));
                m_table.prefetch(hashes[size_t(k)]);
            }
            for (int k = 0; k < count; ++k) {
                const Unit *const key = keys[size_t(k)];
                const qsizetype length = keyLengths[size_t(k)];
                const int id =
                    m_table.idOf(hashes[size_t(k)], [&](int earlier) { return isKeyOf(earlier, key, length); });
                if (size_t(id) == m_keys.keyLength.size()) {
                    m_firstLineStarts.push_back(quint64(spans[size_t(k)].start) | (side ? SecondSideMark : 0));
                    m_keys.keyLength.push_back(storedLength(length));
                }
                ids.push_back(id);
            }
        }
        return ids;
    }

    int idCount() const { return m_table.count(); }

private:
    bool changesKeys() const { return m_ignoreBlanks || m_ignoreCase; }

    const Unit *lineOf(int side, LineSpan span) const { return m_texts[size_t(side)] + span.start; }

    // Writes the key of the line of `length` characters at `line` to `key`, which has room
    // for the whole line; returns the end of what it wrote.
    Unit *makeKey(const Unit *line, qsizetype length, Unit *key) const
    {
        Unit *end;
        if (m_ignoreBlanks) {
            end = removeBlanks(line, line + length, key);
        } else {
            std::copy(line, line + length, key);
            end = key + length;
        }
        if (m_ignoreCase)
            lowerCase(key, end);
        return end;
    }

    // Where the key of id `id` was first met: the side and the start of that line.
    std::pair<size_t, qsizetype> firstLineOf(int id) const
    {
        const quint64 mark = m_firstLineStarts[size_t(id)];
        return {mark & SecondSideMark ? 1 : 0, qsizetype(mark & ~SecondSideMark)};
    }

    // The key of id `id`, made again from the line where it was first met.
    std::pair<const Unit *, qsizetype> keyOf(int id)
    {
        const auto [side, start] = firstLineOf(id);
        const Unit *const line = m_texts[side] + start;
        const qsizetype length = NextLineBreak(m_texts[side], start, m_sizes[side]) - start;
        if (!changesKeys())
            return {line, length};
        if (m_earlierKey.size() < size_t(length))
            m_earlierKey.resize(size_t(length));
        return {m_earlierKey.data(), makeKey(line, length, m_earlierKey.data()) - m_earlierKey.data()};
    }

    bool isKeyOf(int id, const Unit *key, qsizetype length)
    {
        if (m_keys.keyLength[size_t(id)] != storedLength(length))
            return false;
        if (!changesKeys()) {
            // The line where the id was first met starts with this key, and is this key
            // when it ends there.
            const auto [side, start] = firstLineOf(id);
            const Unit *const earlier = m_texts[side] + start;
            return start + length <= m_sizes[side] && std::equal(key, key + length, earlier)
                   && (start + length == m_sizes[side] || earlier[length] == '\n' || earlier[length] == '\r');
        }
        const auto [earlier, earlierLength] = keyOf(id);
        return earlierLength == length && std::equal(key, key + length, earlier);
    }

    std::array<DisplayLines, 2> &m_lines;
    const bool m_ignoreBlanks;
    const bool m_ignoreCase;
    LineKeys &m_keys;
    std::array<const Unit *, 2> m_texts{};
    std::array<qsizetype, 2> m_sizes{};
    KeyTable m_table;
    // Where the key of each id was first met: the start of that line, marked by the top
    // bit when it is a line of file 2. The table holds no key text: keys are made again
    // from there when they need to be compared.
    std::vector<quint64> m_firstLineStarts;
    std::vector<Unit> m_batchKeys;
    std::vector<Unit> m_earlierKey;
};


void buildOccurrences(SideKeys &side, int idCount)
{
    side.occurrenceStart.assign(size_t(idCount) + 1, 0);
    for (int line = 1; line <= side.lineCount(); ++line)
        ++side.occurrenceStart[size_t(side.ids[size_t(line)]) + 1];
    for (size_t id = 1; id < side.occurrenceStart.size(); ++id)
        side.occurrenceStart[id] += side.occurrenceStart[id - 1];
    side.occurrences.resize(size_t(side.lineCount()));
    std::vector<int> next(side.occurrenceStart.begin(), side.occurrenceStart.end() - 1);
    for (int line = 1; line <= side.lineCount(); ++line)
        side.occurrences[size_t(next[size_t(side.ids[size_t(line)])]++)] = line;
}

} // namespace

uchar *RemoveBlanks(QLatin1StringView line, uchar *key)
{
    const auto *const begin = reinterpret_cast<const uchar *>(line.data());
    const uchar *const end = begin + line.size();
#if defined(__x86_64__)
    if (hasSsse3())
        return removeBlanksInByteBlocks(begin, end, key);
#endif
    for (const uchar *at = begin; at < end; ++at) {
        *key = *at;
        key += *at != ' ' && *at != '\t';
    }
    return key;
}

char16_t *RemoveBlanks(QStringView line, char16_t *key)
{
    const char16_t *const begin = line.utf16();
    const char16_t *const end = begin + line.size();
#if defined(__x86_64__)
    if (hasSsse3() && line.size() >= 8)
        return removeBlanksInBlocks(begin, end, key);
#endif
    for (const char16_t *at = begin; at < end; ++at) {
        const char16_t unit = *at;
        *key = unit;
        key += unit != u' ' && unit != u'\t' && unit != u'\u3000';
    }
    return key;
}

PreparedLines PrepareLines(const CompactText &text1, const CompactText &text2, bool ignoreBlanks, bool ignoreCase)
{
    const auto holdsLatin1 = [](const CompactText &text) { return text.isLatin1() || text.isEmpty(); };
    const bool latin1 = holdsLatin1(text1) && holdsLatin1(text2);
    const auto inForm = [latin1](const CompactText &text) {
        if (latin1)
            return text.isLatin1() ? text : CompactText::fromLatin1(QByteArray());
        return text.isLatin1() ? text.widened() : text;
    };
    PreparedLines prepared{{DisplayLines(inForm(text1)), DisplayLines(inForm(text2))}, {}};
    int idCount = 0;
    {
        // The table and what identifies each key are needed only while lines are numbered.
        const auto number = [&](auto &&numbering) {
            for (size_t side = 0; side < 2; ++side)
                prepared.keys.sides[side].ids = numbering.numberSide(int(side));
            idCount = numbering.idCount();
        };
        if (latin1)
            number(KeyNumbering<uchar>(prepared.lines, ignoreBlanks, ignoreCase, prepared.keys));
        else
            number(KeyNumbering<char16_t>(prepared.lines, ignoreBlanks, ignoreCase, prepared.keys));
    }
    for (SideKeys &side : prepared.keys.sides)
        buildOccurrences(side, idCount);
    return prepared;
}

} // namespace textcompare
