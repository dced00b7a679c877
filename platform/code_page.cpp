#include "platform/code_page.h"

#include "platform/byte_blocks.h"

#include <QSysInfo>

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include <iconv.h>

namespace platform {

namespace {

constexpr const char *Utf16Name = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
constexpr char16_t ReplacementCharacter = 0xFFFD;

// In encoding, a stretch of ASCII at least this long is copied by us instead of going
// through iconv; shorter ones stay inside the stretch that iconv takes, so that text that
// mixes ASCII and Japanese does not cost one iconv call per word.
constexpr qsizetype LongAsciiRun = 16;

enum class Direction { Decode, Encode };

// One open iconv conversion, closed with the object.
class IconvHandle
{
public:
    IconvHandle(const char *to, const char *from) : m_descriptor(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (valid())
            iconv_close(m_descriptor);
    }
    IconvHandle(const IconvHandle &) = delete;
    IconvHandle &operator=(const IconvHandle &) = delete;

    bool valid() const { return m_descriptor != reinterpret_cast<iconv_t>(-1); }

    // Puts the conversion back into its initial shift state.
    void reset() { iconv(m_descriptor, nullptr, nullptr, nullptr, nullptr); }

    // Converts as much of the input as fits. Returns 0 when all input was taken, else the
    // errno value that stopped it (E2BIG, EILSEQ, EINVAL).
    int convert(const char *&in, size_t &inLeft, char *&out, size_t &outLeft)
    {
        char *input = const_cast<char *>(in);
        const size_t result = iconv(m_descriptor, &input, &inLeft, &out, &outLeft);
        in = input;
        return result == static_cast<size_t>(-1) ? errno : 0;
    }

    // Writes what closes the current shift state (the end of a UTF-7 base64 run).
    int flush(char *&out, size_t &outLeft)
    {
        const size_t result = iconv(m_descriptor, nullptr, nullptr, &out, &outLeft);
        return result == static_cast<size_t>(-1) ? errno : 0;
    }

private:
    iconv_t m_descriptor;
};

// Conversions are opened once per thread and code and then reused, because opening one
// costs far more than converting a short text.
IconvHandle &handleFor(CodePage codePage, Direction direction)
{
    constexpr int CodePageCount = 4;
    thread_local std::array<std::unique_ptr<IconvHandle>, CodePageCount * 2> handles;
    auto &slot = handles[static_cast<int>(codePage) * 2 + static_cast<int>(direction)];
    if (!slot) {
        slot = direction == Direction::Decode ? std::make_unique<IconvHandle>(Utf16Name, iconvName(codePage))
                                              : std::make_unique<IconvHandle>(iconvName(codePage), Utf16Name);
    }
    slot->reset();
    return *slot;
}

// The code that fills in what a code page's own iconv code lacks: EUC-JP-MS behind EUC-JP.
const char *supplementName(CodePage codePage)
{
    return codePage == CodePage::EucJp ? "EUC-JP-MS" : nullptr;
}

// The encoder of the supplement of `codePage`, opened once per thread (EUC-JP alone has
// one); nullptr when the code page has none or the C library lacks it.
IconvHandle *supplementEncoder(CodePage codePage)
{
    if (supplementName(codePage) == nullptr)
        return nullptr;
    thread_local const std::unique_ptr<IconvHandle> encoder =
        std::make_unique<IconvHandle>(supplementName(codePage), Utf16Name);
    if (!encoder->valid())
        return nullptr;
    encoder->reset();
    return encoder.get();
}

// The growing output of one conversion, written through raw pointers by iconv and by our
// own fast paths; `Container` is QString or QByteArray.
template <typename Container>
class OutputBuffer
{
public:
    static constexpr qsizetype UnitSize = sizeof(*std::declval<Container &>().data());

    OutputBuffer(Container &container, qsizetype expectedBytes)
        : m_container(container), m_used(container.size() * UnitSize)
    {
        ensureRoom(expectedBytes);
    }

    char *cursor() { return reinterpret_cast<char *>(m_container.data()) + m_used; }
    size_t room() const { return static_cast<size_t>(m_container.size() * UnitSize - m_used); }
    void commit(const char *end) { m_used = end - reinterpret_cast<const char *>(m_container.constData()); }

    // Makes room for at least `bytes` more bytes behind the cursor.
    void ensureRoom(qsizetype bytes)
    {
        const qsizetype capacity = m_container.size() * UnitSize;
        if (m_used + bytes <= capacity)
            return;
        const qsizetype wanted = std::max(m_used + bytes, capacity + capacity / 2);
        m_container.resize((wanted + UnitSize - 1) / UnitSize);
    }

    void finish() { m_container.resize(m_used / UnitSize); }

private:
    Container &m_container;
    qsizetype m_used;
};

// Runs iconv over the whole input, growing the output as needed. Where a byte or a
// character stops it, `onStop` writes a stand-in and returns how many input bytes to
// pass over; the conversion then goes on from its initial state. Returns true when
// `onStop` was called.
template <typename Container, typename OnStop>
bool convertAll(IconvHandle &handle, const char *in, size_t inLeft, OutputBuffer<Container> &output,
                qsizetype outputPerInputByte, OnStop onStop)
{
    bool stopped = false;
    while (inLeft > 0) {
        char *out = output.cursor();
        size_t room = output.room();
        const int error = handle.convert(in, inLeft, out, room);
        output.commit(out);
        if (error == 0)
            break;
        if (error == E2BIG) {
            output.ensureRoom(static_cast<qsizetype>(inLeft) * outputPerInputByte + 16);
            continue;
        }
        const size_t skip = std::min(onStop(in, inLeft), inLeft);
        in += skip;
        inLeft -= skip;
        handle.reset();
        stopped = true;
    }
    return stopped;
}

// Decodes through iconv; every byte that stops it becomes U+FFFD.
bool decodeStretch(IconvHandle &handle, const char *in, size_t inLeft, OutputBuffer<QString> &output)
{
    return convertAll(handle, in, inLeft, output, 2, [&](const char *, size_t) {
        output.ensureRoom(sizeof ReplacementCharacter);
        char *out = output.cursor();
        std::memcpy(out, &ReplacementCharacter, sizeof ReplacementCharacter);
        output.commit(out + sizeof ReplacementCharacter);
        return size_t(1);
    });
}

// Encodes through iconv; a character that stops it is written by `supplement` when that
// has a form for it, else as "?". Returns true when a "?" was written.
bool encodeStretch(IconvHandle &handle, IconvHandle *supplement, const char16_t *units, qsizetype count,
                   OutputBuffer<QByteArray> &output)
{
    bool replaced = false;
    const auto onStop = [&](const char *in, size_t inLeft) {
        // A surrogate pair is one character.
        char16_t pair[2] = {0, 0};
        std::memcpy(pair, in, std::min(inLeft, sizeof pair));
        const bool wholePair = inLeft >= sizeof pair && QChar::isHighSurrogate(pair[0]) && QChar::isLowSurrogate(pair[1]);
        const size_t length = wholePair ? sizeof pair : sizeof(char16_t);
        output.ensureRoom(16);
        char *out = output.cursor();
        size_t room = output.room();
        if (supplement != nullptr) {
            const char *character = in;
            size_t characterLeft = length;
            supplement->reset();
            if (supplement->convert(character, characterLeft, out, room) == 0) {
                output.commit(out);
                return length;
            }
            out = output.cursor();
            room = output.room();
        }
        // Close any open shift state before the "?", so that it stands as itself.
        handle.flush(out, room);
        *out++ = '?';
        output.commit(out);
        replaced = true;
        return length;
    };
    convertAll(handle, reinterpret_cast<const char *>(units), static_cast<size_t>(count) * sizeof(char16_t), output, 3,
               onStop);
    return replaced;
}

// glibc ends a UTF-7 base64 run without "-" when the next character cannot be read as
// base64. Our judge counts only runs closed by "-", so every run gets one.
QByteArray closeBase64Runs(const QByteArray &utf7)
{
    QByteArray closed;
    closed.reserve(utf7.size() + utf7.size() / 8 + 1);
    bool inRun = false;
    for (qsizetype index = 0; index < utf7.size(); ++index) {
        const char c = utf7[index];
        if (inRun) {
            if (isBase64(static_cast<uchar>(c))) {
                closed += c;
                continue;
            }
            inRun = false;
            if (c != '-')
                closed += '-';
            closed += c;
            continue;
        }
        closed += c;
        if (c == '+') {
            if (index + 1 < utf7.size() && utf7[index + 1] == '-') {
                closed += '-';
                ++index;
            } else {
                inRun = true;
            }
        }
    }
    if (inRun)
        closed += '-';
    return closed;
}

// Decoding tables of CP932 and EUC-JP. iconv decodes these codes at about 150 MB/s;
// reading a table is several times faster, and they are the codes read most. The tables
// hold exactly what iconv answers for each sequence, asked once at the first use; for a
// sequence that EUC-JP refuses, what its supplement EUC-JP-MS answers.
struct DecodeTable
{
    static constexpr char16_t None = 0xFFFF; // no character: iconv refused the sequence
    using Plane = std::array<char16_t, 0x10000>;

    std::array<char16_t, 256> single;
    std::unique_ptr<Plane> pairs;   // index lead << 8 | trail
    std::unique_ptr<Plane> triples; // EUC only: index of the two bytes behind 0x8F
};

std::unique_ptr<DecodeTable::Plane> emptyPlane()
{
    auto plane = std::make_unique<DecodeTable::Plane>();
    plane->fill(DecodeTable::None);
    return plane;
}

// The one character iconv makes of exactly these bytes, or None.
char16_t askIconv(IconvHandle &handle, const char *sequence, size_t length)
{
    handle.reset();
    const char *in = sequence;
    size_t inLeft = length;
    char16_t units[4];
    char *out = reinterpret_cast<char *>(units);
    size_t room = sizeof units;
    if (handle.convert(in, inLeft, out, room) != 0 || inLeft != 0 || room != sizeof units - sizeof(char16_t))
        return DecodeTable::None;
    return units[0];
}

// nullptr when the C library has no converter for the code.
std::unique_ptr<DecodeTable> buildDecodeTable(CodePage codePage)
{
    IconvHandle handle(Utf16Name, iconvName(codePage));
    if (!handle.valid())
        return nullptr;
    std::unique_ptr<IconvHandle> supplement;
    if (supplementName(codePage) != nullptr)
        supplement = std::make_unique<IconvHandle>(Utf16Name, supplementName(codePage));
    const auto ask = [&handle, &supplement](const char *sequence, size_t length) {
        const char16_t own = askIconv(handle, sequence, length);
        if (own != DecodeTable::None || !supplement || !supplement->valid())
            return own;
        return askIconv(*supplement, sequence, length);
    };
    const bool cp932 = codePage == CodePage::Cp932;
    auto table = std::make_unique<DecodeTable>();
    table->pairs = emptyPlane();
    for (int byte = 0; byte < 256; ++byte) {
        const char sequence[1] = {static_cast<char>(byte)};
        table->single[byte] = ask(sequence, 1);
    }
    // Lead and trail bytes as the codes define them; iconv decides which pairs are
    // characters.
    const int firstTrail = cp932 ? 0x40 : 0xA1;
    const int lastTrail = cp932 ? 0xFC : 0xFE;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        const bool isLead = cp932 ? isCp932Lead(static_cast<uchar>(lead)) : lead == 0x8E || lead >= 0xA1;
        if (!isLead || table->single[lead] != DecodeTable::None)
            continue;
        for (int trail = firstTrail; trail <= lastTrail; ++trail) {
            const char sequence[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            (*table->pairs)[lead << 8 | trail] = ask(sequence, 2);
        }
    }
    if (!cp932) {
        table->triples = emptyPlane();
        for (int second = 0xA1; second <= 0xFE; ++second) {
            for (int third = 0xA1; third <= 0xFE; ++third) {
                const char sequence[3] = {'\x8F', static_cast<char>(second), static_cast<char>(third)};
                (*table->triples)[second << 8 | third] = ask(sequence, 3);
            }
        }
    }
    return table;
}

// The table of CP932 or EUC-JP, each built at its own first use.
const DecodeTable *decodeTable(CodePage codePage)
{
    if (codePage == CodePage::Cp932) {
        static const std::unique_ptr<DecodeTable> cp932 = buildDecodeTable(CodePage::Cp932);
        return cp932.get();
    }
    static const std::unique_ptr<DecodeTable> eucJp = buildDecodeTable(CodePage::EucJp);
    return eucJp.get();
}

// Decodes the one character at `index` of CP932 or EUC-JP by table, as iconv reads
// it: a single byte, a pair, or in EUC-JP 0x8F and two more. A byte that starts none
// of them gives U+FFFD and sets `replaced`. Returns the character's length in bytes.
qsizetype decodeCharacter(const DecodeTable &table, bool eucJp, const uchar *data, qsizetype index, qsizetype size,
                          char16_t *&out, bool &replaced)
{
    const uchar byte = data[index];
    char16_t unit = table.single[byte];
    qsizetype length = 1;
    if (unit == DecodeTable::None) {
        if (eucJp && byte == 0x8F) {
            if (index + 2 < size) {
                unit = (*table.triples)[data[index + 1] << 8 | data[index + 2]];
                length = 3;
            }
        } else if (index + 1 < size) {
            unit = (*table.pairs)[byte << 8 | data[index + 1]];
            length = 2;
        }
    }
    if (unit == DecodeTable::None) {
        unit = ReplacementCharacter;
        length = 1;
        replaced = true;
    }
    *out++ = unit;
    return length;
}

// Decodes CP932 or EUC-JP by table into `out`, which has room for one unit per byte.
// Returns the end of what was written and sets `replaced` when a byte had to become
// U+FFFD: as with iconv, each byte that does not start a valid sequence gives one.
char16_t *decodeByTable(const DecodeTable &table, bool eucJp, const uchar *data, qsizetype size, char16_t *out,
                        bool &replaced)
{
    qsizetype index = 0;
    while (index < size) {
        if (data[index] < 0x80 && size - index >= 16) {
            // ASCII decodes to itself in both codes. Every byte gives at most one unit,
            // so the 16 written here fit.
            const int ascii = widenAscii16(data + index, out);
            out += ascii;
            index += ascii;
            continue;
        }
        index += decodeCharacter(table, eucJp, data, index, size, out, replaced);
    }
    return out;
}

// The bytes that UTF-7 writes as themselves, RFC 2152's direct and optional direct
// characters but "\\" and "~", with space, TAB, CR and LF: those that glibc's iconv
// decodes to themselves outside a base64 run.
constexpr ByteRange Utf7DirectRanges[] = {{0x09, 0x0A}, {0x0D, 0x0D}, {0x20, 0x2A}, {0x2C, 0x5B}, {0x5D, 0x7D}};

constexpr std::array<bool, 256> Utf7Direct = [] {
    std::array<bool, 256> direct{};
    for (const ByteRange &range : Utf7DirectRanges) {
        for (int byte = range.low; byte <= range.high; ++byte)
            direct[byte] = true;
    }
    return direct;
}();

// Decodes the base64 run that starts with the "+" at `data[0]`, when it is one that iconv
// reads as any UTF-7 decoder does: "+-", or base64 bytes whose bits make whole UTF-16
// units with fewer than six bits left over, all 0, the units well-formed UTF-16, and a
// byte behind them that ends the run. A "-" there belongs to the run; any other byte is
// read on its own, outside the run. Writes the units to `out` (which it moves behind
// them) and returns the bytes taken, or 0 for any other run, leaving scratch at `out`.
qsizetype decodeUtf7Run(const uchar *data, qsizetype size, char16_t *&out)
{
    qsizetype end = 1;
    while (end < size && isBase64(data[end]))
        ++end;
    if (end == size)
        return 0;
    const qsizetype count = end - 1;
    const bool dash = data[end] == '-';
    if (count == 0) {
        if (!dash)
            return 0;
        *out++ = u'+';
        return 2;
    }
    // 6 × count bits: whole units and (6 × count) mod 16 bits left over, below 6 when the
    // count is 0, 3 or 6 modulo 8.
    if (count % 8 != 0 && count % 8 != 3 && count % 8 != 6)
        return 0;
    quint32 bits = 0;
    int held = 0;
    bool highBefore = false;
    char16_t *units = out;
    for (qsizetype index = 1; index < end; ++index) {
        bits = bits << 6 | quint32(Base64Values[data[index]]);
        held += 6;
        if (held < 16)
            continue;
        held -= 16;
        const auto unit = static_cast<char16_t>(bits >> held);
        bits &= (1u << held) - 1;
        // A low surrogate must follow a high one, and only there.
        if (QChar::isLowSurrogate(unit) != highBefore)
            return 0;
        highBefore = QChar::isHighSurrogate(unit);
        *units++ = unit;
    }
    if (highBefore || bits != 0)
        return 0;
    out = units;
    return dash ? end + 1 : end;
}

// True when `handle`, decoding UTF-7, stands inside a base64 run: a "-" fed to it then
// only closes the run and gives no character of its own. Leaves the handle in an
// undefined state.
bool insideBase64Run(IconvHandle &handle)
{
    const char dash = '-';
    const char *in = &dash;
    size_t inLeft = 1;
    char16_t unit = 0;
    char *out = reinterpret_cast<char *>(&unit);
    size_t room = sizeof unit;
    handle.convert(in, inLeft, out, room);
    return room == sizeof unit;
}

// Decodes UTF-7 into `output`, which has room for one unit per byte. iconv decodes it at
// about 150 MB/s; the direct bytes and the plain base64 runs that make up nearly every
// UTF-7 text are decoded here instead. Any other byte goes to iconv, and any other run
// from its "+" to the byte that ends it: iconv is in its initial state before and behind
// such a stretch, so the text is exactly iconv's. A base64 run still open at the end of
// the bytes is cut off: iconv takes it without complaint, and bits that would have made
// the comparison see a difference are dropped unseen, so it gives one U+FFFD at the end.
// Returns true when a byte was replaced, or a lone "+" dropped.
bool decodeUtf7(IconvHandle &handle, const uchar *data, qsizetype size, OutputBuffer<QString> &output)
{
    bool replaced = false;
    qsizetype index = 0;
    while (index < size) {
        auto *out = reinterpret_cast<char16_t *>(output.cursor());
        for (;;) {
            // Every byte gives at most one unit, so the 16 written here fit.
            if (size - index >= 16) {
                const int run = widenRun16(data + index, out, Utf7DirectRanges);
                out += run;
                index += run;
                if (run < 16)
                    break;
            } else if (index < size && Utf7Direct[data[index]]) {
                *out++ = data[index++];
            } else {
                break;
            }
        }
        output.commit(reinterpret_cast<char *>(out));
        if (index == size)
            break;
        qsizetype end = index + 1;
        if (data[index] == '+') {
            // A run gives fewer units than it has bytes, so they fit.
            const qsizetype taken = decodeUtf7Run(data + index, size - index, out);
            if (taken > 0) {
                output.commit(reinterpret_cast<char *>(out));
                index += taken;
                continue;
            }
            // A "+" opens a base64 run or stands in "+-"; iconv drops a lone one before any
            // other byte unseen, which would change the text: it is no clean UTF-7.
            if (end < size && !isBase64(data[end]) && data[end] != '-')
                replaced = true;
            while (end < size && isBase64(data[end]))
                ++end;
            end = std::min(end + 1, size);
        }
        handle.reset();
        replaced |= decodeStretch(handle, reinterpret_cast<const char *>(data + index), static_cast<size_t>(end - index),
                                  output);
        index = end;
        if (index == size && insideBase64Run(handle)) {
            // The stretch gave fewer units than it had bytes, so the one unit fits.
            out = reinterpret_cast<char16_t *>(output.cursor());
            *out++ = ReplacementCharacter;
            output.commit(reinterpret_cast<char *>(out));
            replaced = true;
        }
    }
    return replaced;
}

// Decodes UTF-8 as iconv does when each byte that stops it becomes U+FFFD: a byte that
// does not start a well-formed sequence (no overlong form, no surrogate, nothing above
// U+10FFFF) gives one U+FFFD and decoding goes on at the next byte. `out` has room for
// one unit per byte. Returns the end of what was written and sets `replaced` when a byte
// was replaced.
//
// Written out here rather than left to Qt's decoder, which on Japanese text is half as
// fast, and which, finding a fault, does not tell where iconv would have put its U+FFFD.
char16_t *decodeUtf8(const uchar *data, qsizetype size, char16_t *out, bool &replaced)
{
    qsizetype index = 0;
    while (index < size) {
        const uchar byte = data[index];
        if (byte < 0x80) {
            // Every byte gives at most one unit, so the 16 written here fit.
            if (size - index >= 16) {
                const int ascii = widenAscii16(data + index, out);
                out += ascii;
                index += ascii;
            } else {
                *out++ = byte;
                ++index;
            }
            continue;
        }
        // Three bytes, as nearly all of Japanese text, checked and put together first.
        if ((byte & 0xF0) == 0xE0 && size - index >= 3) {
            const uchar second = data[index + 1];
            const uchar third = data[index + 2];
            const bool wellFormed = second >= (byte == 0xE0 ? 0xA0 : 0x80) && second <= (byte == 0xED ? 0x9F : 0xBF)
                                    && (third & 0xC0) == 0x80;
            if (wellFormed) {
                *out++ = static_cast<char16_t>((byte & 0x0F) << 12 | (second & 0x3F) << 6 | (third & 0x3F));
                index += 3;
                continue;
            }
        }
        // The sequence's length, and the range of its second byte, which the lead byte
        // narrows for E0, ED, F0 and F4.
        int length = 0;
        uchar secondLow = 0x80;
        uchar secondHigh = 0xBF;
        if (byte >= 0xC2 && byte <= 0xDF) {
            length = 2;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            length = 3;
            secondLow = byte == 0xE0 ? 0xA0 : 0x80;
            secondHigh = byte == 0xED ? 0x9F : 0xBF;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            length = 4;
            secondLow = byte == 0xF0 ? 0x90 : 0x80;
            secondHigh = byte == 0xF4 ? 0x8F : 0xBF;
        }
        bool wellFormed = length > 0 && size - index >= length && data[index + 1] >= secondLow
                          && data[index + 1] <= secondHigh;
        for (int k = 2; wellFormed && k < length; ++k)
            wellFormed = (data[index + k] & 0xC0) == 0x80;
        if (!wellFormed) {
            *out++ = ReplacementCharacter;
            replaced = true;
            ++index;
            continue;
        }
        char32_t value = byte & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            value = value << 6 | (data[index + k] & 0x3F);
        if (value >= 0x10000) {
            *out++ = QChar::highSurrogate(value);
            *out++ = QChar::lowSurrogate(value);
        } else {
            *out++ = static_cast<char16_t>(value);
        }
        index += length;
    }
    return out;
}

} // namespace

const char *iconvName(CodePage codePage)
{
    switch (codePage) {
    case CodePage::Cp932:
        return "CP932";
    case CodePage::EucJp:
        return "EUC-JP";
    case CodePage::Utf7:
        return "UTF-7";
    case CodePage::Utf8:
        return "UTF-8";
    }
    return "";
}

CodeResult appendDecoded(CodePage codePage, QByteArrayView bytes, QString &text)
{
    const DecodeTable *table = nullptr;
    IconvHandle *handle = nullptr;
    if (codePage == CodePage::Cp932 || codePage == CodePage::EucJp) {
        table = decodeTable(codePage);
        if (table == nullptr)
            return CodeResult::Unavailable;
    } else if (codePage == CodePage::Utf7) {
        handle = &handleFor(codePage, Direction::Decode);
        if (!handle->valid())
            return CodeResult::Unavailable;
    }
    if (bytes.isEmpty())
        return CodeResult::Clean;

    // Every byte gives at most one UTF-16 unit, the replacement character included.
    // Reserved first, the buffer gets exactly that size: resize alone rounds a new buffer
    // up to a power of two, which for a file of megabytes is more than the allocator keeps
    // for reuse, so that each decoding would fault its buffer in afresh.
    text.reserve(text.size() + bytes.size());
    OutputBuffer<QString> output(text, bytes.size() * qsizetype(sizeof(char16_t)));
    bool replaced = false;
    if (table != nullptr) {
        auto *out = reinterpret_cast<char16_t *>(output.cursor());
        output.commit(reinterpret_cast<char *>(decodeByTable(*table, codePage == CodePage::EucJp,
                                                             reinterpret_cast<const uchar *>(bytes.data()),
                                                             bytes.size(), out, replaced)));
    } else if (handle != nullptr) {
        replaced = decodeUtf7(*handle, reinterpret_cast<const uchar *>(bytes.data()), bytes.size(), output);
    } else {
        auto *out = reinterpret_cast<char16_t *>(output.cursor());
        output.commit(reinterpret_cast<char *>(
            decodeUtf8(reinterpret_cast<const uchar *>(bytes.data()), bytes.size(), out, replaced)));
    }
    output.finish();
    return replaced ? CodeResult::Replaced : CodeResult::Clean;
}

bool readsEveryByte(CodePage codePage, QByteArrayView bytes)
{
    if (codePage != CodePage::Cp932 && codePage != CodePage::EucJp)
        return false;
    const DecodeTable *table = decodeTable(codePage);
    if (table == nullptr)
        return false;
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    char16_t unit[1];
    qsizetype index = 0;
    while (index < size) {
        if (data[index] < 0x80) {
            ++index;
            continue;
        }
        char16_t *out = unit;
        bool replaced = false;
        index += decodeCharacter(*table, codePage == CodePage::EucJp, data, index, size, out, replaced);
        if (replaced)
            return false;
    }
    return true;
}

DecodedText decodeBytes(CodePage codePage, QByteArrayView bytes)
{
    DecodedText decoded;
    decoded.result = appendDecoded(codePage, bytes, decoded.text);
    return decoded;
}

EncodedBytes encodeText(CodePage codePage, QStringView text)
{
    EncodedBytes encoded;
    IconvHandle &handle = handleFor(codePage, Direction::Encode);
    if (!handle.valid()) {
        encoded.result = CodeResult::Unavailable;
        return encoded;
    }
    if (text.isEmpty())
        return encoded;
    // UTF-8 has a form for every character: well-formed UTF-16 goes through Qt's own
    // encoder, which gives iconv's bytes several times faster. Unpaired surrogates have
    // no form and take iconv's road, which reports them.
    if (codePage == CodePage::Utf8 && text.isValidUtf16()) {
        encoded.bytes = text.toUtf8();
        return encoded;
    }

    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype size = text.size();
    bool replaced = false;
    {
        OutputBuffer<QByteArray> output(encoded.bytes, size * 2 + 16);
        if (codePage == CodePage::Utf7) {
            replaced = encodeStretch(handle, nullptr, units, size, output);
            output.ensureRoom(16);
            char *out = output.cursor();
            size_t room = output.room();
            handle.flush(out, room);
            output.commit(out);
        } else {
            IconvHandle *supplement = supplementEncoder(codePage);
            qsizetype index = 0;
            while (index < size) {
                qsizetype ascii = index;
                while (ascii < size && units[ascii] < 0x80)
                    ++ascii;
                output.ensureRoom(ascii - index);
                char *out = output.cursor();
                for (qsizetype k = index; k < ascii; ++k)
                    *out++ = static_cast<char>(units[k]);
                output.commit(out);
                index = ascii;
                if (index == size)
                    break;
                qsizetype end = index;
                qsizetype run = 0;
                while (end < size && run < LongAsciiRun) {
                    run = units[end] < 0x80 ? run + 1 : 0;
                    ++end;
                }
                if (run == LongAsciiRun)
                    end -= LongAsciiRun;
                replaced |= encodeStretch(handle, supplement, units + index, end - index, output);
                index = end;
            }
        }
        output.finish();
    }
    if (codePage == CodePage::Utf7)
        encoded.bytes = closeBase64Runs(encoded.bytes);
    encoded.result = replaced ? CodeResult::Replaced : CodeResult::Clean;
    return encoded;
}

namespace {

// Per UTF-16 unit: whether it has a code page 932 form other than "?", the row of a
// double-byte form (0 for none), and whether it reads back as the unit itself. Built
// through iconv at the first use.
struct Cp932Forms
{
    std::bitset<0x10000> hasForm;
    std::array<quint8, 0x10000> row{};
    std::array<quint8, 0x10000> cell{};
    std::bitset<0x10000> readsBack;
};

// The row of the double-byte form `lead`, `trail`: each lead byte holds two rows, the
// second from trail byte 0x9F on.
int rowOfPair(uchar lead, uchar trail)
{
    const int firstRow = lead <= 0x9F ? (lead - 0x81) * 2 + 1 : (lead - 0xC1) * 2 + 1;
    return firstRow + (trail >= 0x9F ? 1 : 0);
}

// The cell (1 to 94) in its row of a double-byte form with the trail byte `trail`.
int cellOfPair(uchar trail)
{
    return trail >= 0x9F ? trail - 0x9E : trail - 0x3F - (trail >= 0x80 ? 1 : 0);
}

const Cp932Forms &cp932Forms()
{
    static const Cp932Forms forms = [] {
        Cp932Forms table;
        IconvHandle encoder("CP932", Utf16Name);
        IconvHandle decoder(Utf16Name, "CP932");
        if (!encoder.valid() || !decoder.valid())
            return table;
        for (char32_t value = 0; value < 0x10000; ++value) {
            const auto candidate = static_cast<char16_t>(value);
            if (QChar::isSurrogate(candidate) || candidate == u'?')
                continue;
            const char *in = reinterpret_cast<const char *>(&candidate);
            size_t inLeft = sizeof candidate;
            char bytes[8];
            char *out = bytes;
            size_t room = sizeof bytes;
            if (encoder.convert(in, inLeft, out, room) == 0) {
                const size_t length = sizeof bytes - room;
                table.hasForm.set(value);
                if (length == 2) {
                    table.row[value] = quint8(rowOfPair(uchar(bytes[0]), uchar(bytes[1])));
                    table.cell[value] = quint8(cellOfPair(uchar(bytes[1])));
                }
                table.readsBack.set(value, askIconv(decoder, bytes, length) == candidate);
            }
            encoder.reset();
        }
        return table;
    }();
    return forms;
}

} // namespace

bool hasCp932Form(char16_t unit)
{
    return cp932Forms().hasForm.test(unit);
}

bool hasExactCp932Form(char16_t unit)
{
    return cp932Forms().readsBack.test(unit);
}

QList<char16_t> iconvCharacters(const char *name, const QList<QByteArray> &sequences)
{
    QList<char16_t> characters(sequences.size(), 0);
    IconvHandle handle(Utf16Name, name);
    if (!handle.valid())
        return characters;
    for (qsizetype index = 0; index < sequences.size(); ++index) {
        const char16_t unit = askIconv(handle, sequences[index].constData(), size_t(sequences[index].size()));
        characters[index] = unit == DecodeTable::None ? 0 : unit;
    }
    return characters;
}

int cp932Row(char16_t unit)
{
    return cp932Forms().row[unit];
}

int cp932Cell(char16_t unit)
{
    return cp932Forms().cell[unit];
}

int cp932ByteCount(char16_t unit)
{
    return cp932Row(unit) != 0 ? 2 : 1;
}

} // namespace platform
