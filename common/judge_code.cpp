#include "common/judge_code.h"

#include "common/non_code_class.h"
#include "common/text_likeness.h"
#include "platform/byte_blocks.h"
#include "platform/code_page.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <tuple>


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

// The control bytes that plain text is made of: TAB, LF, form feed and CR. Form feed
// counts as text because C and Python sources use it as a page break; counted as a
// control byte, one of them lifts an ASCII file's binary score above its text scores.
constexpr bool isTextControl(uchar byte)
{
    return byte == 0x09 || byte == 0x0A || byte == 0x0C || byte == 0x0D;
}

// Half points of a byte that no rule of the scorer claims: printable, TAB, LF, form feed
// and CR 1, other control bytes 0.5, bytes of 0x80 and above 0.
constexpr int singleByteHalfPoints(uchar byte)
{
    if (inRange(byte, 0x20, 0x7E) || isTextControl(byte))
        return 2;
    return byte < 0x20 || byte == 0x7F ? 1 : 0;
}

constexpr ByteTable SingleByte = makeTable(singleByteHalfPoints);
constexpr ByteTable SjisLead = makeTable([](uchar b) { return inRange(b, 0x81, 0x9F) || inRange(b, 0xE0, 0xEF); });
constexpr ByteTable SjisTrail = makeTable([](uchar b) { return platform::isCp932Trail(b) ? 8 : -8; });
constexpr ByteTable SjisSingle = makeTable([](uchar b) { return inRange(b, 0xA1, 0xDF) ? 2 : singleByteHalfPoints(b); });
constexpr ByteTable EucByte = makeTable([](uchar b) { return inRange(b, 0xA1, 0xFE); });
constexpr ByteTable Utf8Continuations = makeTable([](uchar b) {
    return b < 0xC0 ? 0 : b <= 0xDF ? 1 : b <= 0xEF ? 2 : b <= 0xF7 ? 3 : b <= 0xFB ? 4 : 5;
});
// Half points of a byte in the binary score: 4 for a control byte other than TAB, LF,
// form feed and CR, 2 for any other byte.
constexpr ByteTable Binary = makeTable([](uchar b) { return (b < 0x20 && !isTextControl(b)) || b == 0x7F ? 4 : 2; });

int unicodeCharHalfPoints(uchar low, uchar high)
{
    if (!platform::hasCp932Form(static_cast<char16_t>(high << 8 | low)))
        return 0;
    if (low <= 0x7E && inRange(high, 0x01, 0x7E))
        return (low >= 0x20 ? 2 : 1) + (high >= 0x20 ? 2 : 1);
    if (high != 0)
        return 8;
    if (low >= 0x20 || isTextControl(low))
        return 8;
    return 2;
}

using UnitTable = std::array<qint8, 0x10000>;

// Half points of every UTF-16 unit as ScoreUnicode counts it, high byte filter included,
// indexed by the unit's value. Built at the first use.
const UnitTable &unicodeUnitTable()
{
    static const auto table = [] {
        auto built = std::make_unique<UnitTable>();
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

using platform::bitOfEachByte;
using platform::ByteRange;
using platform::bytesIn;
using platform::takenBehindLeads;

// The scorers walk the window in blocks of 64 bytes and keep a byte class of a block as
// a 64-bit mask, bit i for byte i. A rule that holds for many bytes at once then costs a
// few operations on masks and a bit count; what a scorer carries from one block to the
// next is a few values. The bytes behind the last whole block are walked one by one.
constexpr int BlockSize = platform::MaskedBlockSize;
// A block is scored as a whole only when the array has this many bytes behind it: the
// longest look ahead, a UTF-8 lead byte's five continuation bytes.
constexpr int LookAhead = 5;

// The order of these ranges changes how the compiler schedules a block; this one
// measured fastest (bench/code_judge_bench).
constexpr ByteRange TextBytes[] = {{0x09, 0x0A}, {0x0C, 0x0D}, {0x20, 0x7E}};
constexpr ByteRange EscapeByte[] = {{Escape, Escape}};
constexpr ByteRange PlusByte[] = {{'+', '+'}};
constexpr ByteRange SjisLeadBytes[] = {{0x81, 0x9F}, {0xE0, 0xEF}};
constexpr ByteRange SjisTrailBytes[] = {{0x40, 0x7E}, {0x80, 0xFC}};
constexpr ByteRange KanaBytes[] = {{0xA1, 0xDF}};
constexpr ByteRange EucBytes[] = {{0xA1, 0xFE}};
constexpr ByteRange EucKanaShift[] = {{0x8E, 0x8E}};
constexpr ByteRange EucTripleShift[] = {{0x8F, 0x8F}};
constexpr ByteRange Utf8Lead4[] = {{0xF0, 0xF7}};
constexpr ByteRange Utf8Lead5[] = {{0xF8, 0xFB}};
constexpr ByteRange Utf8Lead6[] = {{0xFC, 0xFF}};
constexpr ByteRange JisPairBytes[] = {{0x21, 0x7E}};
constexpr ByteRange JisKanaBytes[] = {{0x21, 0x5F}};
constexpr ByteRange Base64Bytes[] = {{'A', 'Z'}, {'a', 'z'}, {'0', '9'}, {'+', '+'}, {'/', '/'}};

HalfPoints bitCount(quint64 mask)
{
    return std::popcount(mask);
}

// The bits at `from` and above.
quint64 bitsFrom(int from)
{
    return from >= BlockSize ? 0 : ~quint64(0) << from;
}

// `mask` moved down by `by` bits (1 to 63); the bits of the bytes behind the block, bit 0
// of `ahead` for the first, come in at the top.
quint64 shiftedDown(quint64 mask, quint64 ahead, int by)
{
    return mask >> by | ahead << (BlockSize - by);
}

// What the scorers read of one block. Classes that only some scorers need are still
// taken here, once: a build with fewer scorers drops what none of them reads.
struct Block
{
    Block(const uchar *blockData, qsizetype blockStart)
        : data(blockData), start(blockStart), high(bitOfEachByte<7>(blockData)), text(bytesIn(blockData, TextBytes)),
          control(~high & ~text), escape(bytesIn(blockData, EscapeByte)), plus(bytesIn(blockData, PlusByte)),
          singleByteHalf(2 * bitCount(text) + bitCount(control))
    {
        if (high == 0)
            return;
        kana = bytesIn(blockData, KanaBytes);
        eucBytes = bytesIn(blockData, EucBytes);
        bit6 = bitOfEachByte<6>(blockData);
        bit5 = bitOfEachByte<5>(blockData);
        bit4 = bitOfEachByte<4>(blockData);
    }

    const uchar *data; // the block's first byte; at least LookAhead bytes follow the block
    qsizetype start;   // its index in the array
    quint64 high;      // bytes of 0x80 and above
    quint64 text;      // printable, TAB, LF, form feed, CR: 1 point by the single-byte rule
    quint64 control;   // other bytes below 0x80: 0.5 points
    quint64 escape;
    quint64 plus;
    HalfPoints singleByteHalf; // the whole block by the single-byte rule
    // Only set when `high` is not 0.
    quint64 kana = 0;     // 0xA1 to 0xDF
    quint64 eucBytes = 0; // 0xA1 to 0xFE
    quint64 bit6 = 0;     // bytes with bit 6 set, and so on
    quint64 bit5 = 0;
    quint64 bit4 = 0;
};

// Each scorer below keeps its points and what it carries between blocks; block() scores
// one block and finish() walks the bytes from `from` to the end of the window one by one,
// in the same way as block() would.

class SjisScorer
{
public:
    void block(const Block &block)
    {
        if (m_taken == 0 && block.high == 0) {
            m_half += block.singleByteHalf;
            return;
        }
        const quint64 leadBytes = bytesIn(block.data, SjisLeadBytes);
        const quint64 taken = takenBehindLeads(leadBytes & ~m_taken) | m_taken;
        const quint64 leads = leadBytes & ~taken;
        const quint64 singles = ~taken & ~leadBytes;
        const quint64 goodTrail =
            shiftedDown(bytesIn(block.data, SjisTrailBytes), platform::isCp932Trail(block.data[BlockSize]), 1);
        const quint64 kana = block.kana;
        // +4 for a lead with a good trail, -4 for one without: 8 × good - 4 × all.
        m_half += 16 * bitCount(leads & goodTrail) - 8 * bitCount(leads)
                  + 2 * bitCount(singles & (block.text | kana)) + bitCount(singles & block.control);
        m_taken = leads >> (BlockSize - 1);
    }

    void finish(const Sample &sample, qsizetype from)
    {
        qsizetype index = from + qsizetype(m_taken);
        // Without branches on the byte class: in Japanese text lead bytes and single bytes
        // alternate too irregularly for branch prediction.
        while (index < sample.windowEnd) {
            const uchar byte = sample.data[index];
            const bool pair = SjisLead[byte] && sample.after(index) >= 1;
            const uchar next = sample.data[pair ? index + 1 : index];
            m_half += pair ? SjisTrail[next] : SjisSingle[byte];
            index += pair ? 2 : 1;
        }
    }

    HalfPoints half() const { return m_half; }

private:
    HalfPoints m_half = 0;
    quint64 m_taken = 0; // 1 when the next block's first byte is the trail of a lead
};

class EucScorer
{
public:
    void block(const Block &block)
    {
        if (m_taken == 0 && block.high == 0) {
            m_half += block.singleByteHalf;
            return;
        }
        const uchar *data = block.data;
        const quint64 kanaShift = bytesIn(data, EucKanaShift);
        const quint64 tripleShift = bytesIn(data, EucTripleShift);
        const quint64 eucBytes = block.eucBytes;
        const quint64 kanaNext = shiftedDown(block.kana, inRange(data[BlockSize], 0xA1, 0xDF), 1);
        const quint64 eucNext = shiftedDown(eucBytes, EucByte[data[BlockSize]], 1);
        const quint64 pairLeads = kanaShift | eucBytes;
        int from = m_taken;
        for (;;) {
            // Read every lead, 0x8F too, as the first byte of a pair: that is right up to
            // the first 0x8F read as a first byte, which takes the two bytes behind it.
            // Score up to it, score it, and read again behind its three bytes.
            const quint64 range = bitsFrom(from);
            const quint64 firsts = ~takenBehindLeads((pairLeads | tripleShift) & range) & range;
            const quint64 triples = firsts & tripleShift;
            const int end = triples != 0 ? std::countr_zero(triples) : BlockSize;
            const quint64 scored = firsts & ~bitsFrom(end);
            const quint64 leads = scored & pairLeads;
            const quint64 good = (leads & kanaShift & kanaNext) | (leads & eucBytes & eucNext);
            m_half += 16 * bitCount(good) - 8 * bitCount(leads) + 2 * bitCount(scored & block.text)
                      + bitCount(scored & block.control);
            if (end == BlockSize) {
                from = BlockSize + int(leads >> (BlockSize - 1));
                break;
            }
            m_half += EucByte[data[end + 1]] && EucByte[data[end + 2]] ? 12 : -12;
            from = end + 3;
            if (from >= BlockSize)
                break;
        }
        m_taken = from - BlockSize;
    }

    void finish(const Sample &sample, qsizetype from)
    {
        qsizetype index = from + m_taken;
        while (index < sample.windowEnd) {
            const uchar byte = sample.data[index];
            if (byte == 0x8E && sample.after(index) >= 1) {
                m_half += inRange(sample.data[index + 1], 0xA1, 0xDF) ? 8 : -8;
                index += 2;
            } else if (byte == 0x8F && sample.after(index) >= 2) {
                m_half += EucByte[sample.data[index + 1]] && EucByte[sample.data[index + 2]] ? 12 : -12;
                index += 3;
            } else if (EucByte[byte] && sample.after(index) >= 1) {
                m_half += EucByte[sample.data[index + 1]] ? 8 : -8;
                index += 2;
            } else {
                // Also a lead byte without its partners: bytes of 0x80 and above score 0.
                m_half += SingleByte[byte];
                ++index;
            }
        }
    }

    HalfPoints half() const { return m_half; }

private:
    HalfPoints m_half = 0;
    int m_taken = 0; // bytes at the start of the next block taken by a sequence
};

class Utf8Scorer
{
public:
    // A UTF-8 sequence takes only continuation bytes behind its lead, and a continuation
    // byte scores 0 whether a sequence takes it or not. So every byte below 0x80 scores by
    // the single-byte rule, every lead byte is read as a lead, and a lead scores when the
    // bytes it announces are all continuation bytes: nothing to carry between blocks.
    void block(const Block &block)
    {
        m_half += block.singleByteHalf;
        if (block.high == 0)
            return;
        const uchar *data = block.data;
        // The lead bytes by their top bits: 10xxxxxx continuation, 110xxxxx, 1110xxxx, 1111xxxx.
        const quint64 continuation = block.high & ~block.bit6;
        const quint64 leads = block.high & block.bit6;
        quint64 ahead = 0;
        for (int k = 0; k < LookAhead; ++k)
            ahead |= quint64((data[BlockSize + k] & 0xC0) == 0x80) << k;
        // complete: bit i set when the n bytes behind byte i are all continuation bytes.
        quint64 complete = shiftedDown(continuation, ahead, 1);
        m_half += 8 * bitCount(leads & ~block.bit5 & complete);
        complete &= shiftedDown(continuation, ahead, 2);
        m_half += 12 * bitCount(leads & block.bit5 & ~block.bit4 & complete);
        if ((leads & block.bit5 & block.bit4) == 0)
            return;
        complete &= shiftedDown(continuation, ahead, 3);
        m_half += 16 * bitCount(bytesIn(data, Utf8Lead4) & complete);
        complete &= shiftedDown(continuation, ahead, 4);
        m_half += 20 * bitCount(bytesIn(data, Utf8Lead5) & complete);
        complete &= shiftedDown(continuation, ahead, 5);
        m_half += 24 * bitCount(bytesIn(data, Utf8Lead6) & complete);
    }

    void finish(const Sample &sample, qsizetype from)
    {
        qsizetype index = from;
        while (index < sample.windowEnd) {
            const uchar byte = sample.data[index];
            const int continuations = Utf8Continuations[byte];
            if (continuations == 0) {
                m_half += SingleByte[byte];
                ++index;
                continue;
            }
            bool complete = sample.after(index) >= continuations;
            for (int k = 1; complete && k <= continuations; ++k)
                complete = inRange(sample.data[index + k], 0x80, 0xBF);
            if (complete) {
                m_half += 4 * (continuations + 1);
                index += continuations + 1;
            } else {
                ++index;
            }
        }
    }

    HalfPoints half() const { return m_half; }

private:
    HalfPoints m_half = 0;
};

class JisScorer
{
public:
    void block(const Block &block)
    {
        if (m_taken == 0 && block.escape == 0 && m_mode <= 2) {
            m_half += block.singleByteHalf;
            return;
        }
        const uchar *data = block.data;
        int from = m_taken;
        while (from < BlockSize) {
            // The bytes up to the next escape are all read in one mode.
            const quint64 escapes = block.escape & bitsFrom(from);
            const int end = escapes != 0 ? std::countr_zero(escapes) : BlockSize;
            from = scoreInMode(block, bitsFrom(from) & ~bitsFrom(end), end);
            if (end == BlockSize)
                break;
            const int designated = designation(data[end + 1], data[end + 2]);
            if (designated != 0) {
                m_mode = designated;
                m_half += 12;
                from = end + 3;
            } else {
                from = end + 1;
            }
        }
        m_taken = from - BlockSize;
    }

    void finish(const Sample &sample, qsizetype from)
    {
        qsizetype index = from + m_taken;
        while (index < sample.windowEnd) {
            const uchar byte = sample.data[index];
            if (byte == Escape) {
                // Too few bytes behind it: it scores nothing, as every cut sequence.
                const int designated =
                    sample.after(index) >= 2 ? designation(sample.data[index + 1], sample.data[index + 2]) : 0;
                if (designated != 0) {
                    m_mode = designated;
                    m_half += 12;
                    index += 3;
                } else {
                    ++index;
                }
                continue;
            }
            if (m_mode <= 2) {
                m_half += SingleByte[byte];
                ++index;
            } else if (m_mode == 3) {
                m_half += inRange(byte, 0x21, 0x5F) ? 2 : 0;
                ++index;
            } else if (sample.after(index) >= 1 && inRange(byte, 0x21, 0x7E)
                       && inRange(sample.data[index + 1], 0x21, 0x7E)) {
                m_half += 8;
                index += 2;
            } else {
                ++index;
            }
        }
    }

    HalfPoints half() const { return m_half; }

private:
    // The mode that the escape bytes `first` and `second` set, or 0 for none.
    static int designation(uchar first, uchar second)
    {
        if (first == 0x28)
            return second == 0x42 ? 1 : second == 0x4A ? 2 : second == 0x49 ? 3 : 0;
        if (first == 0x24)
            return second == 0x40 ? 4 : second == 0x42 ? 5 : second == 0x44 ? 6 : 0;
        return 0;
    }

    // Scores the bytes of `segment`, which holds no escape and ends at `end`, in the
    // current mode. Returns where reading goes on: `end`, or 65 when the pair of the
    // block's last byte takes the first byte of the next block.
    int scoreInMode(const Block &block, quint64 segment, int end)
    {
        if (m_mode <= 2) {
            m_half += 2 * bitCount(segment & block.text) + bitCount(segment & block.control);
            return end;
        }
        if (m_mode == 3) {
            m_half += 2 * bitCount(segment & bytesIn(block.data, JisKanaBytes));
            return end;
        }
        // Two-byte modes: a run of bytes in 0x21 to 0x7E is read in pairs from its start.
        const quint64 pairBytes = bytesIn(block.data, JisPairBytes) & segment;
        const quint64 seconds = takenBehindLeads(pairBytes) & pairBytes;
        m_half += 8 * bitCount(seconds);
        const bool lastOpen = end == BlockSize && ((pairBytes & ~seconds) >> (BlockSize - 1)) != 0;
        if (lastOpen && inRange(block.data[BlockSize], 0x21, 0x7E)) {
            m_half += 8;
            return BlockSize + 1;
        }
        return end;
    }

    HalfPoints m_half = 0;
    int m_mode = 0;
    int m_taken = 0; // bytes at the start of the next block taken by an escape or a pair
};

class Utf7Scorer
{
public:
    void block(const Block &block)
    {
        if (!m_inRun && block.plus == 0) {
            // "-" outside a run scores 1, as by the single-byte rule.
            m_half += block.singleByteHalf;
            return;
        }
        // A run goes from a "+" outside a run over the base64 bytes behind it (a "+" among
        // them too) and ends at the first other byte. Adding the "+" bits to the base64
        // bits carries from each run's first "+" through the run and sets the bit of the
        // byte that ends it; a run still open at the block's end carries out of the sum.
        const quint64 base64 = bytesIn(block.data, Base64Bytes);
        const quint64 carryIn = m_inRun ? 1 : 0;
        const quint64 partial = base64 + block.plus;
        const quint64 sum = partial + carryIn;
        const bool carryOut = partial < base64 || sum < partial;
        const quint64 runs = (sum ^ base64) | block.plus;
        const quint64 inRuns = runs & base64;
        const quint64 outside = ~runs;
        m_half += 2 * bitCount(outside & block.text) + bitCount(outside & block.control);

        quint64 opens = inRuns & ~(inRuns << 1 | carryIn);
        qsizetype open = m_inRun ? m_runStart : -1;
        for (quint64 ends = runs & ~base64; ends != 0; ends &= ends - 1) {
            const int end = std::countr_zero(ends);
            if (open < 0) {
                open = block.start + std::countr_zero(opens);
                opens &= opens - 1;
            }
            m_half += closedRunHalf(block.data + end, block.start + end - open);
            open = -1;
        }
        m_inRun = carryOut;
        if (m_inRun && open < 0)
            open = block.start + std::countr_zero(opens);
        m_runStart = open;
    }

    void finish(const Sample &sample, qsizetype from)
    {
        qsizetype count = m_inRun ? from - m_runStart : 0;
        for (qsizetype index = from; index < sample.windowEnd; ++index) {
            const uchar byte = sample.data[index];
            if (count == 0 && byte == '+') {
                count = 1;
            } else if (byte == '-') {
                m_half += count == 0 ? 2 : closedRunHalf(sample.data + index, count);
                count = 0;
            } else if (count > 0) {
                count = platform::isBase64(byte) ? count + 1 : 0;
            } else {
                m_half += SingleByte[byte];
            }
        }
    }

    HalfPoints half() const { return m_half; }

    // Whether a run of base64 bytes behind a "+" closed as a well-formed UTF-7 run. "+-"
    // alone is only the plus sign, which an ASCII text holds as well.
    bool hasEncodedRun() const { return m_encodedRun; }

private:
    // Half points of the byte at `end`, which ends a run that has `count` bytes (its "+"
    // included), and notes an encoded run.
    HalfPoints closedRunHalf(const uchar *end, qsizetype count)
    {
        const HalfPoints half = runEndHalf(end, count);
        m_encodedRun = m_encodedRun || (count > 1 && half > 0);
        return half;
    }

    // The bits of the run's last base64 byte that lie behind its last whole UTF-16 unit,
    // `leftover` of them, must be 0, and fewer than six.
    static HalfPoints runEndHalf(const uchar *end, qsizetype count)
    {
        if (*end != '-')
            return 0;
        if (count == 1)
            return 8;
        if (count < 4)
            return 0;
        const int leftover = int((6 * (count - 1)) % 8);
        const int mask = (1 << leftover) - 1;
        return leftover < 6 && (platform::Base64Values[end[-1]] & mask) == 0 ? 4 * (count + 1) : 0;
    }

    HalfPoints m_half = 0;
    bool m_encodedRun = false;
    bool m_inRun = false;
    qsizetype m_runStart = 0; // index of the "+" of the open run
};

class UnicodeScorer
{
public:
    void block(const Block &block)
    {
        // Summed in a local: the table is read as bytes, and byte reads may alias any
        // member, which would keep the sum in memory.
        HalfPoints half = 0;
        for (int index = 0; index < BlockSize; index += 2)
            half += (*m_units)[qFromLittleEndian<quint16>(block.data + index)];
        m_half += half;
    }

    void finish(const Sample &sample, qsizetype from)
    {
        for (qsizetype index = from; index + 1 < sample.windowEnd; index += 2)
            m_half += (*m_units)[qFromLittleEndian<quint16>(sample.data + index)];
    }

    HalfPoints half() const { return m_half; }

private:
    const UnitTable *m_units = &unicodeUnitTable();
    HalfPoints m_half = 0;
};

class BinaryScorer
{
public:
    void block(const Block &block) { m_half += 2 * (BlockSize + bitCount(block.control)); }

    void finish(const Sample &sample, qsizetype from)
    {
        for (qsizetype index = from; index < sample.windowEnd; ++index)
            m_half += Binary[sample.data[index]];
    }

    HalfPoints half() const { return m_half; }

private:
    HalfPoints m_half = 0;
};

// Runs the scorers side by side over the window, block by block.
template <typename... Scorers>
void scoreBlocks(const Sample &sample, Scorers &...scorers)
{
    // The scorers work on copies of their own. They read the bytes through char
    // pointers, which may alias anything the caller can reach, so the compiler would
    // otherwise keep every sum and state in memory and reload it after each read.
    std::tuple<Scorers...> copies(scorers...);
    std::apply(
        [&sample](Scorers &...copy) {
            qsizetype start = 0;
            for (; start + BlockSize <= sample.windowEnd && start + BlockSize + LookAhead <= sample.size;
                 start += BlockSize) {
                const Block block(sample.data + start, start);
                (copy.block(block), ...);
            }
            (copy.finish(sample, start), ...);
        },
        copies);
    std::tie(scorers...) = copies;
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__POPCNT__)
// Baseline x86-64 has no bit-count instruction, and std::popcount becomes a library call
// that costs more than the rest of a block. The same loop is built a second time for
// processors that have POPCNT (all from the last fifteen years) and chosen at run time.
template <typename... Scorers>
[[gnu::target("popcnt"), gnu::flatten]] void scoreBlocksWithPopcnt(const Sample &sample, Scorers &...scorers)
{
    scoreBlocks(sample, scorers...);
}

template <typename... Scorers>
void score(const Sample &sample, Scorers &...scorers)
{
    static const bool hasPopcnt = __builtin_cpu_supports("popcnt");
    if (hasPopcnt)
        scoreBlocksWithPopcnt(sample, scorers...);
    else
        scoreBlocks(sample, scorers...);
}
#else
template <typename... Scorers>
void score(const Sample &sample, Scorers &...scorers)
{
    scoreBlocks(sample, scorers...);
}
#endif

template <typename Scorer>
double scoreWith(QByteArrayView bytes)
{
    const Sample sample(bytes);
    Scorer scorer;
    score(sample, scorer);
    return sample.score(scorer.half());
}

// Whether `bytes` are UTF-8 throughout (no overlong form, no surrogate, nothing above
// U+10FFFF) and hold at least one multi-byte sequence. A sequence cut off by the end of
// the bytes counts as whole: a caller may pass the first block of a longer text.
bool isMultiByteUtf8(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    bool multiByte = false;
    qsizetype index = 0;
    while (index < size) {
        if (data[index] < 0x80) {
            ++index;
            continue;
        }
        const uchar lead = data[index];
        const int continuations = lead < 0xC2 ? -1 : lead <= 0xDF ? 1 : lead <= 0xEF ? 2 : lead <= 0xF4 ? 3 : -1;
        if (continuations < 0)
            return false;
        // The second byte's range also rules out overlong forms, surrogates and code
        // points above U+10FFFF.
        const uchar low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const uchar high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        for (int k = 1; k <= continuations && index + k < size; ++k) {
            if (!inRange(data[index + k], k == 1 ? low : 0x80, k == 1 ? high : 0xBF))
                return false;
        }
        multiByte = true;
        index += continuations + 1;
    }
    return multiByte;
}

} // namespace

double ScoreSjis(QByteArrayView bytes)
{
    return scoreWith<SjisScorer>(bytes);
}

double ScoreJis(QByteArrayView bytes)
{
    return scoreWith<JisScorer>(bytes);
}

double ScoreEuc(QByteArrayView bytes)
{
    return scoreWith<EucScorer>(bytes);
}

double ScoreUtf8(QByteArrayView bytes)
{
    return scoreWith<Utf8Scorer>(bytes);
}

double ScoreUnicodeChar(QByteArrayView bytes, qsizetype position)
{
    if (position < 0 || position + 1 >= bytes.size())
        return 0.0;
    return unicodeCharHalfPoints(static_cast<uchar>(bytes[position]), static_cast<uchar>(bytes[position + 1])) / 2.0;
}

double ScoreUnicode(QByteArrayView bytes)
{
    return scoreWith<UnicodeScorer>(bytes);
}

double ScoreUtf7(QByteArrayView bytes)
{
    return scoreWith<Utf7Scorer>(bytes);
}

double ScoreBinary(QByteArrayView bytes)
{
    return scoreWith<BinaryScorer>(bytes);
}

namespace {

// The likeness of two readings must differ by this much for one of them to be clearly
// the text (TextLikeness counts about 2 for a character typical of a text).
constexpr double ClearLikeness = 1.0;
// The same where no reading looks like text (TextLikeness 0 or below).
constexpr double ClearLikenessOfNoText = 4.0;
// What each further run of characters beyond ASCII in a text that UTF-8 reads counts
// against its Shift-JIS and EUC readings.
constexpr double ChanceRunLikeness = 2.0;

// A code that reads every byte of a text, and how much its reading looks like text.
struct Reading
{
    const char *name;
    double likeness;
};

// The bytes that readings are weighed on: up to `size` bytes from the first
// byte beyond ASCII, with a little of the ASCII text before it (in every code a character
// each), the end put behind a byte below 0x40, which ends a character in UTF-8, Shift-JIS
// and EUC alike, so that no reading ends inside a character.
QByteArrayView likenessWindow(QByteArrayView bytes, qsizetype size = JudgeWindowSize)
{
    constexpr qsizetype Before = 64;
    const auto beyondAscii = std::find_if(bytes.begin(), bytes.end(), [](char byte) { return uchar(byte) >= 0x80; });
    QByteArrayView window = bytes.sliced(std::max<qsizetype>(beyondAscii - bytes.begin() - Before, 0));
    if (window.size() <= size)
        return window;
    window = window.first(size);
    for (qsizetype end = window.size(); end > 0; --end) {
        if (uchar(window[end - 1]) < 0x40)
            return window.first(end);
    }
    return window;
}

// Runs of characters beyond ASCII in `text`.
qsizetype runsBeyondAscii(QStringView text)
{
    qsizetype runs = 0;
    for (qsizetype index = 0; index < text.size(); ++index)
        runs += text[index].unicode() >= 0x80 && (index == 0 || text[index - 1].unicode() < 0x80) ? 1 : 0;
    return runs;
}

// The readings of `bytes`, which are UTF-8 throughout, by UTF-8 and by each of Shift-JIS
// and EUC that reads every byte, the likeliest text first. A Shift-JIS or EUC word is
// seldom valid UTF-8 (one in a few hundred), and every further word of a text would have
// to be so by chance again: each run beyond ASCII after the first counts against the
// Shift-JIS and EUC readings. UTF-8 comes first among equals, and where no reading
// looks like text unless another is clearly likelier. `inDoubt` tells whether no reading is clearly text (CodeJudgement).
QList<Reading> readingsOfUtf8(QByteArrayView bytes, bool &inDoubt)
{
    QList<Reading> readings{{"UTF8", 0.0}};
    // A UTF-8 byte-order mark is what a program that writes UTF-8 puts first, and Shift-JIS
    // reads no text that starts with its bytes: no other reading is weighed.
    if (bytes.startsWith(NonCodeClass::Utf8Bom))
        return readings;
    const QByteArrayView window = likenessWindow(bytes);
    for (const auto &[name, codePage] : {std::pair{"SJIS", platform::CodePage::Cp932}, std::pair{"EUC", platform::CodePage::EucJp}}) {
        if (platform::readsEveryByte(codePage, bytes))
            readings.append({name, TextLikeness(platform::decodeBytes(codePage, window).text)});
    }
    if (readings.size() == 1)
        return readings;
    const QString utf8 = platform::decodeBytes(platform::CodePage::Utf8, window).text;
    readings.first().likeness = TextLikeness(utf8);
    const double againstLegacy = ChanceRunLikeness * double(std::max<qsizetype>(runsBeyondAscii(utf8) - 1, 0));
    for (qsizetype index = 1; index < readings.size(); ++index)
        readings[index].likeness -= againstLegacy;
    std::stable_sort(readings.begin(), readings.end(),
                     [](const Reading &left, const Reading &right) { return left.likeness > right.likeness; });
    const double lead = readings[0].likeness - readings[1].likeness;
    inDoubt = lead < (readings[0].likeness > 0 ? ClearLikeness : ClearLikenessOfNoText);
    // Where no reading looks like text, UTF-8 stays first unless another is clearly likelier.
    if (readings[0].likeness <= 0 && lead < ClearLikeness)
        std::stable_partition(readings.begin(), readings.end(),
                              [](const Reading &reading) { return qstrcmp(reading.name, "UTF8") == 0; });
    return readings;
}

// The bytes that the Shift-JIS and EUC readings of a text are weighed on, where UTF-8
// does not decide: enough for a text whose reading is clearly text to show it.
constexpr qsizetype LegacyLikenessWindowSize = 4096;

// For bytes that a reader of the judged `codes` reads in Shift-JIS or EUC, that code and
// the other of the two where it reads them whole too and the first reading is not clearly
// the likelier text: the bytes of a short Shift-JIS text of half-width katakana make EUC
// kanji (ﾏｲﾅｽ reads 浪貼), and those of an EUC kanji word mostly make half-width katakana
// (両立 reads ﾎｾﾎｩ). Half-width katakana are weighed by their spelling. Empty where no
// other reading stands so near. A reader takes the first code that reads the bytes:
// UTF-16 only where it comes first, UTF-8 where `utf8Reads`; JIS and UTF-7 read no byte
// beyond ASCII.
QStringList legacyCodesInDoubt(QByteArrayView bytes, const QStringList &codes, bool utf8Reads)
{
    const auto read = std::find_if(codes.cbegin(), codes.cend(), [utf8Reads](const QString &code) {
        return code == u"SJIS" || code == u"EUC" || (utf8Reads && code == u"UTF8");
    });
    if (read == codes.cend() || *read == u"UTF8" || codes.constFirst() == u"UNICODE")
        return {};
    const bool sjisFirst = *read == u"SJIS";
    const QByteArrayView window = likenessWindow(bytes, LegacyLikenessWindowSize);
    if (!platform::readsEveryByte(sjisFirst ? platform::CodePage::EucJp : platform::CodePage::Cp932, window))
        return {};
    const platform::DecodedText sjis = platform::decodeBytes(platform::CodePage::Cp932, window);
    const platform::DecodedText euc = platform::decodeBytes(platform::CodePage::EucJp, window);
    if (sjis.result != platform::CodeResult::Clean || euc.result != platform::CodeResult::Clean || sjis.text == euc.text)
        return {};
    const double sjisLikeness = TextLikeness(sjis.text, Weighing::ShiftJisAgainstEuc);
    const double eucLikeness = TextLikeness(euc.text, Weighing::ShiftJisAgainstEuc);
    const double firstLikeness = sjisFirst ? sjisLikeness : eucLikeness;
    const double lead = firstLikeness - (sjisFirst ? eucLikeness : sjisLikeness);
    if (lead >= (firstLikeness > 0 ? ClearLikeness : ClearLikenessOfNoText)
        || !platform::readsEveryByte(platform::CodePage::Cp932, bytes) || !platform::readsEveryByte(platform::CodePage::EucJp, bytes))
        return {};
    return sjisFirst ? QStringList{QStringLiteral("SJIS"), QStringLiteral("EUC")}
                     : QStringList{QStringLiteral("EUC"), QStringLiteral("SJIS")};
}

// JudgeText; the weighing of Shift-JIS against EUC, which only tells doubt, where
// `weighLegacyDoubt`.
CodeJudgement judge(QByteArrayView bytes, bool checkBin, bool weighLegacyDoubt)
{
    // A UTF-16 byte-order mark tells the code and its byte order; the scorers read UTF-16
    // only little-endian and would take big-endian text for something else.
    if (bytes.startsWith(NonCodeClass::Utf16LeBom) || bytes.startsWith(NonCodeClass::Utf16BeBom))
        return {{QStringLiteral("UNICODE")}, {}};
    const Sample sample(bytes);
    SjisScorer sjis;
    UnicodeScorer unicode;
    JisScorer jis;
    Utf7Scorer utf7;
    Utf8Scorer utf8;
    EucScorer euc;
    BinaryScorer binary;
    if (checkBin)
        score(sample, sjis, unicode, jis, utf7, utf8, euc, binary);
    else
        score(sample, sjis, unicode, jis, utf7, utf8, euc);

    // In tie order: a stable sort never puts an equal later score before an earlier name.
    std::array<std::pair<double, const char *>, 7> scores = {{
        {sample.score(sjis.half()), "SJIS"},
        {sample.score(unicode.half()), "UNICODE"},
        {sample.score(jis.half()), "JIS"},
        {utf7.hasEncodedRun() ? sample.score(utf7.half()) : 0.0, "UTF7"},
        {sample.score(utf8.half()), "UTF8"},
        {sample.score(euc.half()), "EUC"},
        {checkBin ? sample.score(binary.half()) : 0.0, "BIN"},
    }};
    std::stable_sort(scores.begin(), scores.end(),
                     [](const auto &left, const auto &right) { return left.first > right.first; });
    if (qstrcmp(scores.front().second, "BIN") == 0)
        return {{QStringLiteral("BIN")}, {}};
    // Text of this system is written in UTF-8, and a Shift-JIS or EUC text of more than a
    // few characters is hardly ever valid UTF-8: such bytes are UTF-8 whatever the scores
    // say, unless Shift-JIS or EUC reads them too and its reading is likelier text.
    CodeJudgement judgement;
    QList<Reading> readings;
    bool utf8InDoubt = false;
    if (isMultiByteUtf8(bytes))
        readings = readingsOfUtf8(bytes, utf8InDoubt);
    for (const Reading &reading : std::as_const(readings))
        judgement.codes.append(QString::fromLatin1(reading.name));
    for (const auto &[points, name] : scores) {
        const QString code = QString::fromLatin1(name);
        if (code != u"BIN" && !judgement.codes.contains(code))
            judgement.codes.append(code);
    }
    if (utf8InDoubt)
        judgement.codesInDoubt = judgement.codes.first(2);
    else if (weighLegacyDoubt)
        judgement.codesInDoubt = legacyCodesInDoubt(bytes, judgement.codes, !readings.isEmpty());
    return judgement;
}

} // namespace

QString JudgeCode(QByteArrayView bytes, bool checkBin)
{
    return judge(bytes, checkBin, false).codes.constFirst();
}

QStringList JudgeCodes(QByteArrayView bytes, bool checkBin)
{
    return judge(bytes, checkBin, false).codes;
}

CodeJudgement JudgeText(QByteArrayView bytes, bool checkBin)
{
    return judge(bytes, checkBin, true);
}

} // namespace common
