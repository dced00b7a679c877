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

constexpr int MaxLinesPerText = (std::numeric_limits<int>::max() - 4) / 2;

// Splits one side and gives each line its id. Lines go in batches: a batch is split, its
// keys made and hashed and their table slots fetched while its text is still in the cache,
// and only then looked up, so that the lookups do not wait on memory one after the other.
std::vector<int> prepareSide(DisplayLines &lines, bool ignoreBlanks, bool ignoreCase, KeyTable &table)
{
    constexpr int BatchLines = 32;
    const bool changesKeys = ignoreBlanks || ignoreCase;
    std::vector<int> ids{-1};
    ids.reserve(size_t(lines.expectedLineCount()) + 1);
    std::vector<char16_t> scratch;
    std::array<QStringView, BatchLines> keys;
    std::array<quint64, BatchLines> hashes;
    for (;;) {
        const int first = lines.count() + 1;
        while (lines.count() - first + 1 < BatchLines && lines.splitNextLine()) {
        }
        const int count = lines.count() - first + 1;
        if (count == 0)
            break;
        // Line numbers and row counts of both sides together must stay within int.
        if (lines.count() > MaxLinesPerText)
            throw std::bad_alloc();
        if (changesKeys) {
            // A key is never longer than its line.
            size_t room = 0;
            for (int k = 0; k < count; ++k)
                room += size_t(lines.view(first + k).size());
            if (scratch.size() < room)
                scratch.resize(std::max(room, 2 * scratch.size()));
            char16_t *end = scratch.data();
            for (int k = 0; k < count; ++k) {
                const QStringView text = lines.view(first + k);
                char16_t *const start = end;
                if (ignoreBlanks) {
                    end = RemoveBlanks(text, start);
                } else {
                    std::copy(text.utf16(), text.utf16() + text.size(), start);
                    end = start + text.size();
                }
                if (ignoreCase)
                    lowerCase(start, end);
                keys[size_t(k)] = QStringView(start, end);
            }
        } else {
            for (int k = 0; k < count; ++k)
                keys[size_t(k)] = lines.view(first + k);
        }
        for (int k = 0; k < count; ++k) {
            hashes[size_t(k)] = HashKey(keys[size_t(k)]);
            table.prefetch(hashes[size_t(k)]);
        }
        for (int k = 0; k < count; ++k)
            ids.push_back(table.idOf(keys[size_t(k)], hashes[size_t(k)], changesKeys));
    }
    return ids;
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

#undef TEXTCOMPARE_SSSE3
#endif

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

char16_t *RemoveBlanks(QStringView line, char16_t *key)
{
    const char16_t *const begin = line.utf16();
    const char16_t *const end = begin + line.size();
#if defined(__x86_64__)
    static const bool hasSsse3 = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
    if (hasSsse3 && line.size() >= 8)
        return removeBlanksInBlocks(begin, end, key);
#endif
    for (const char16_t *at = begin; at < end; ++at) {
        const char16_t unit = *at;
        *key = unit;
        key += unit != u' ' && unit != u'\t' && unit != u'\u3000';
    }
    return key;
}

PreparedLines PrepareLines(const QString &text1, const QString &text2, bool ignoreBlanks, bool ignoreCase)
{
    PreparedLines prepared{{DisplayLines(text1), DisplayLines(text2)}, {}};
    std::array<DisplayLines, 2> &lines = prepared.lines;
    KeyTable table(size_t(lines[0].expectedLineCount() + lines[1].expectedLineCount()));
    for (size_t side = 0; side < 2; ++side)
        prepared.keys.sides[side].ids = prepareSide(lines[side], ignoreBlanks, ignoreCase, table);
    const int idCount = table.count();
    for (SideKeys &side : prepared.keys.sides)
        buildOccurrences(side, idCount);
    prepared.keys.keyLength.reserve(size_t(idCount));
    for (int id = 0; id < idCount; ++id)
        prepared.keys.keyLength.push_back(table.keyLength(id));
    return prepared;
}

} // namespace textcompare
