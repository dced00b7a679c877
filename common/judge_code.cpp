#include "common/judge_code.h"

#include "platform/code_page.h"

#include <algorithm>
#include <array>
#include <memory>

namespace common {

namespace {

constexpr uchar Escape = 0x1B;

// Points are kept in half points, as integers: every step is a multiple of 0.5, and an
// integer sum is exact and much faster than a chain of double additions.
using HalfPoints = qint64;

// The bytes a scorer looks at: it walks indices 0 to windowEnd - 1 and may look ahead up
// to size - 1.
struct Sample
{
    const uchar *data;
    qsizetype size;
    qsizetype windowEnd;

    explicit Sample(QByteArrayView bytes)
        : data(reinterpret_cast<const uchar *>(bytes.data())), size(bytes.size()),
          windowEnd(std::min(bytes.size(), JudgeWindowSize))
    {
    }

    // How many bytes exist behind `index` in the whole array.
    qsizetype after(qsizetype index) const { return size - index - 1; }

    // points × 100 / (window size × 2), with points = half / 2.
    double score(HalfPoints half) const { return windowEnd == 0 ? 0.0 : double(half) * 25.0 / double(windowEnd); }
};

using ByteTable = std::array<qint8, 256>;

template <typename Rule>
constexpr ByteTable makeTable(Rule rule)
{
    ByteTable table{};
    for (int byte = 0; byte < 256; ++byte)
        table[byte] = static_cast<qint8>(rule(static_cast<uchar>(byte)));
    return table;
}

constexpr bool inRange(uchar byte, uchar low, uchar high)
{
    return byte >= low && byte <= high;
}

// Half points of a byte that no rule of the scorer claims: printable, TAB, LF and CR 1,
// other control bytes 0.5, bytes of 0x80 and above 0.
constexpr int singleByteHalfPoints(uchar byte)
{
    if (inRange(byte, 0x20, 0x7E) || byte == 0x09 || byte == 0x0A || byte == 0x0D)
        return 2;
    return byte < 0x20 || byte == 0x7F ? 1 : 0;
}

constexpr ByteTable SingleByte = makeTable(singleByteHalfPoints);
constexpr ByteTable SjisLead = makeTable([](uchar b) { return inRange(b, 0x81, 0x9F) || inRange(b, 0xE0, 0xEF); });
constexpr ByteTable SjisTrail = makeTable([](uchar b) { return inRange(b, 0x40, 0x7E) || inRange(b, 0x80, 0xFC) ? 8 : -8; });
constexpr ByteTable SjisSingle = makeTable([](uchar b) { return inRange(b, 0xA1, 0xDF) ? 2 : singleByteHalfPoints(b); });
constexpr ByteTable EucByte = makeTable([](uchar b) { return inRange(b, 0xA1, 0xFE); });
constexpr ByteTable Utf8Continuations = makeTable([](uchar b) {
    return b < 0xC0 ? 0 : b <= 0xDF ? 1 : b <= 0xEF ? 2 : b <= 0xF7 ? 3 : b <= 0xFB ? 4 : 5;
});
constexpr ByteTable Binary = makeTable([](uchar b) {
    return (b < 0x20 && b != 0x09 && b != 0x0A && b != 0x0D) || b == 0x7F ? 2 : 1;
});

// Value of a character in the base64 alphabet, -1 for any other byte.
constexpr ByteTable Base64Values = [] {
    ByteTable values{};
    values.fill(-1);
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int value = 0; value < 64; ++value)
        values[static_cast<uchar>(alphabet[value])] = static_cast<qint8>(value);
    return values;
}();

int unicodeCharHalfPoints(uchar low, uchar high)
{
    if (!platform::hasCp932Form(static_cast<char16_t>(high << 8 | low)))
        return 0;
    if (low <= 0x7E && inRange(high, 0x01, 0x7E))
        return (low >= 0x20 ? 2 : 1) + (high >= 0x20 ? 2 : 1);
    if (high != 0)
        return 8;
    if (low >= 0x20 || low == 0x09 || low == 0x0D || low == 0x0A)
        return 8;
    return 2;
}

// Half points of every UTF-16 unit as ScoreUnicode counts it, high byte filter included,
// indexed by the unit's value. Built at the first use.
const std::array<qint8, 0x10000> &unicodeUnitTable()
{
    static const auto table = [] {
        auto built = std::make_unique<std::array<qint8, 0x10000>>();
        for (int unit = 0; unit < 0x10000; ++unit) {
            const auto high = static_cast<uchar>(unit >> 8);
            const bool scored = inRange(high, 0x00, 0x33) || inRange(high, 0x4E, 0x9F) || inRange(high, 0xD8, 0xDF)
                                || inRange(high, 0xF8, 0xFF);
            (*built)[unit] = static_cast<qint8>(scored ? unicodeCharHalfPoints(static_cast<uchar>(unit), high) : 0);
        }
        return built;
    }();
    return *table;
}

} // namespace

double ScoreSjis(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    qsizetype index = 0;
    // Without branches on the byte class: in Japanese text lead bytes and single bytes
    // alternate too irregularly for branch prediction.
    while (index < sample.windowEnd) {
        const uchar byte = sample.data[index];
        const bool pair = SjisLead[byte] && sample.after(index) >= 1;
        const uchar next = sample.data[pair ? index + 1 : index];
        half += pair ? SjisTrail[next] : SjisSingle[byte];
        index += pair ? 2 : 1;
    }
    return sample.score(half);
}

double ScoreJis(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    int mode = 0;
    qsizetype index = 0;
    while (index < sample.windowEnd) {
        const uchar byte = sample.data[index];
        if (byte == Escape) {
            // Too few bytes behind it: it scores nothing, as every cut sequence.
            if (sample.after(index) < 2) {
                ++index;
                continue;
            }
            const uchar first = sample.data[index + 1];
            const uchar second = sample.data[index + 2];
            int designated = 0;
            if (first == 0x28)
                designated = second == 0x42 ? 1 : second == 0x4A ? 2 : second == 0x49 ? 3 : 0;
            else if (first == 0x24)
                designated = second == 0x40 ? 4 : second == 0x42 ? 5 : second == 0x44 ? 6 : 0;
            if (designated != 0) {
                mode = designated;
                half += 12;
                index += 3;
            } else {
                ++index;
            }
            continue;
        }
        if (mode <= 2) {
            half += SingleByte[byte];
            ++index;
        } else if (mode == 3) {
            half += inRange(byte, 0x21, 0x5F) ? 2 : 0;
            ++index;
        } else if (sample.after(index) >= 1 && inRange(byte, 0x21, 0x7E) && inRange(sample.data[index + 1], 0x21, 0x7E)) {
            half += 8;
            index += 2;
        } else {
            ++index;
        }
    }
    return sample.score(half);
}

double ScoreEuc(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    qsizetype index = 0;
    while (index < sample.windowEnd) {
        const uchar byte = sample.data[index];
        if (byte == 0x8E && sample.after(index) >= 1) {
            half += inRange(sample.data[index + 1], 0xA1, 0xDF) ? 8 : -8;
            index += 2;
        } else if (byte == 0x8F && sample.after(index) >= 2) {
            half += EucByte[sample.data[index + 1]] && EucByte[sample.data[index + 2]] ? 12 : -12;
            index += 3;
        } else if (EucByte[byte] && sample.after(index) >= 1) {
            half += EucByte[sample.data[index + 1]] ? 8 : -8;
            index += 2;
        } else {
            // Also a lead byte without its partners: bytes of 0x80 and above score 0.
            half += SingleByte[byte];
            ++index;
        }
    }
    return sample.score(half);
}

double ScoreUtf8(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    qsizetype index = 0;
    while (index < sample.windowEnd) {
        const uchar byte = sample.data[index];
        const int continuations = Utf8Continuations[byte];
        if (continuations == 0) {
            half += SingleByte[byte];
            ++index;
            continue;
        }
        bool complete = sample.after(index) >= continuations;
        for (int k = 1; complete && k <= continuations; ++k)
            complete = inRange(sample.data[index + k], 0x80, 0xBF);
        if (complete) {
            half += 4 * (continuations + 1);
            index += continuations + 1;
        } else {
            ++index;
        }
    }
    return sample.score(half);
}

double ScoreUnicodeChar(QByteArrayView bytes, qsizetype position)
{
    if (position < 0 || position + 1 >= bytes.size())
        return 0.0;
    return unicodeCharHalfPoints(static_cast<uchar>(bytes[position]), static_cast<uchar>(bytes[position + 1])) / 2.0;
}

double ScoreUnicode(QByteArrayView bytes)
{
    const Sample sample(bytes);
    const auto &units = unicodeUnitTable();
    HalfPoints half = 0;
    for (qsizetype index = 0; index + 1 < sample.windowEnd; index += 2)
        half += units[sample.data[index] | sample.data[index + 1] << 8];
    return sample.score(half);
}

double ScoreUtf7(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    bool inRun = false;
    qsizetype count = 0;
    int leftover = 0;
    int mask = 0;
    for (qsizetype index = 0; index < sample.windowEnd; ++index) {
        const uchar byte = sample.data[index];
        if (!inRun && byte == '+') {
            inRun = true;
            count = 1;
        } else if (byte == '-') {
            if (count == 0)
                half += 2;
            else if (count == 1)
                half += 8;
            else if (count >= 4 && leftover < 6 && (Base64Values[sample.data[index - 1]] & mask) == 0)
                half += 4 * (count + 1);
            inRun = false;
            count = 0;
        } else if (inRun) {
            if (Base64Values[byte] >= 0) {
                leftover = int((6 * count) % 8);
                mask = (1 << leftover) - 1;
                ++count;
            } else {
                inRun = false;
                count = 0;
            }
        } else {
            half += SingleByte[byte];
        }
    }
    return sample.score(half);
}

double ScoreBinary(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    for (qsizetype index = 0; index < sample.windowEnd; ++index)
        half += Binary[sample.data[index]];
    // Each byte scores 1 or 2 points, twice its table value in half points.
    return sample.score(2 * half);
}

QString JudgeCode(QByteArrayView bytes, bool checkBin)
{
    // In tie order: an equal later score never displaces an earlier name.
    const std::array<std::pair<double, const char *>, 7> scores = {{
        {ScoreSjis(bytes), "SJIS"},
        {ScoreUnicode(bytes), "UNICODE"},
        {ScoreJis(bytes), "JIS"},
        {ScoreUtf7(bytes), "UTF7"},
        {ScoreUtf8(bytes), "UTF8"},
        {ScoreEuc(bytes), "EUC"},
        {checkBin ? ScoreBinary(bytes) : 0.0, "BIN"},
    }};
    const auto *best = &scores[0];
    for (const auto &candidate : scores) {
        if (candidate.first > best->first)
            best = &candidate;
    }
    return QString::fromLatin1(best->second);
}

} // namespace common
