#include "platform/jis_codec.h"

#include "platform/byte_blocks.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace platform {

namespace {

constexpr char Escape = 0x1B;
constexpr char16_t ReplacementCharacter = 0xFFFD;

// Roman is JIS X 0201 Roman (ESC ( J): ASCII but for "¥" in place of the backslash and
// "‾" in place of "~".
enum class Mode { Ascii, Roman, Katakana, DoubleByte };

constexpr char16_t Yen = 0x00A5;
constexpr char16_t Overline = 0x203E;

constexpr ByteRange AsciiButEscape[] = {{0x00, Escape - 1}, {Escape + 1, 0x7F}};
constexpr ByteRange RomanAsAscii[] = {{0x00, Escape - 1}, {Escape + 1, 0x5B}, {0x5D, 0x7D}, {0x7F, 0x7F}};

// The character of a byte below 0x80 (not the escape) in ASCII or Roman mode.
char16_t singleByteCharacter(Mode mode, uchar byte)
{
    if (mode == Mode::Roman && byte == 0x5C)
        return Yen;
    if (mode == Mode::Roman && byte == 0x7E)
        return Overline;
    return byte;
}

bool isJisByte(uchar byte)
{
    return byte >= 0x21 && byte <= 0x7E;
}

// The CP932 code of the JIS X 0208 position (row byte, cell byte), both 0x21 to 0x7E.
std::array<char, 2> jisToSjis(uchar row, uchar cell)
{
    const int lead = ((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0);
    int trail;
    if (row & 1)
        trail = cell + (cell <= 0x5F ? 0x1F : 0x20);
    else
        trail = cell + 0x7E;
    return {static_cast<char>(lead), static_cast<char>(trail)};
}

// The JIS X 0208 position of a CP932 double-byte code, or nullopt when the code lies
// outside the 94 rows (the user-defined area and the IBM extensions).
std::optional<std::array<char, 2>> sjisToJis(uchar lead, uchar trail)
{
    int row = (lead - (lead <= 0x9F ? 0x70 : 0xB0)) << 1;
    int cell;
    if (trail < 0x9F) {
        row -= 1;
        cell = trail - 0x1F - (trail >= 0x80 ? 1 : 0);
    } else {
        cell = trail - 0x7E;
    }
    if (row < 0x21 || row > 0x7E || cell < 0x21 || cell > 0x7E)
        return std::nullopt;
    return std::array<char, 2>{static_cast<char>(row), static_cast<char>(cell)};
}

quint16 codeOf(uchar lead, uchar trail)
{
    return static_cast<quint16>(lead << 8 | trail);
}

// Decodes one CP932 double-byte code; 0 when it has no single character.
char16_t cp932Character(uchar lead, uchar trail)
{
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    const DecodedText decoded = decodeBytes(CodePage::Cp932, QByteArrayView(pair, 2));
    if (decoded.result != CodeResult::Clean || decoded.text.size() != 1)
        return 0;
    return decoded.text.at(0).unicode();
}

constexpr int JisRows = 94;

// What the layer needs to know of the system's ISO-2022-JP and of CP932, learnt once
// through them.
struct JisTables
{
    bool available = false; // the C library has CP932
    // The character of each JIS X 0208 position (row and cell 0 to 93): the one the
    // system's ISO-2022-JP reads there, else the one CP932 reads at the same position
    // (NEC row 13, the NEC-selected IBM extensions), 0 where neither has one.
    std::array<char16_t, JisRows * JisRows> characters{};
    // For each IBM extension (lead bytes 0xFA to 0xFC) the CP932 code of the same
    // character inside the JIS rows, from the lowest row: the standard rows and NEC row
    // 13 before the NEC-selected IBM extensions. Code page 50221 writes them so.
    QHash<quint16, quint16> ibmTwins;
};

const JisTables &jisTables()
{
    static const JisTables tables = [] {
        JisTables built;
        built.available = decodeBytes(CodePage::Cp932, "a").result != CodeResult::Unavailable;
        if (!built.available)
            return built;
        QList<QByteArray> positions;
        positions.reserve(JisRows * JisRows);
        for (int row = 0; row < JisRows; ++row) {
            for (int cell = 0; cell < JisRows; ++cell)
                positions.append(QByteArray("\x1B$B") + char(row + 0x21) + char(cell + 0x21));
        }
        const QList<char16_t> system = iconvCharacters("ISO-2022-JP", positions);
        QHash<char16_t, quint16> firstCode;
        for (int row = 0; row < JisRows; ++row) {
            for (int cell = 0; cell < JisRows; ++cell) {
                const auto sjis = jisToSjis(static_cast<uchar>(row + 0x21), static_cast<uchar>(cell + 0x21));
                const auto lead = static_cast<uchar>(sjis[0]);
                const auto trail = static_cast<uchar>(sjis[1]);
                const char16_t own = system[row * JisRows + cell];
                const char16_t character = own != 0 ? own : cp932Character(lead, trail);
                built.characters[row * JisRows + cell] = character;
                if (character != 0 && !firstCode.contains(character))
                    firstCode.insert(character, codeOf(lead, trail));
            }
        }
        for (int lead = 0xFA; lead <= 0xFC; ++lead) {
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (!isCp932Trail(static_cast<uchar>(trail)))
                    continue;
                const char16_t character = cp932Character(static_cast<uchar>(lead), static_cast<uchar>(trail));
                const auto found = firstCode.constFind(character);
                if (character != 0 && found != firstCode.constEnd())
                    built.ibmTwins.insert(codeOf(static_cast<uchar>(lead), static_cast<uchar>(trail)), *found);
            }
        }
        return built;
    }();
    return tables;
}

bool isIntermediate(uchar byte)
{
    return byte >= 0x20 && byte <= 0x2F;
}

bool isFinal(uchar byte)
{
    return byte >= 0x30 && byte <= 0x7E;
}

} // namespace

DecodedText decodeJis(QByteArrayView bytes)
{
    const JisTables &tables = jisTables();
    if (!tables.available)
        return {QString(), CodeResult::Unavailable};

    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    // Every character takes at least one byte.
    QString text(size, Qt::Uninitialized);
    auto *const begin = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = begin;
    bool replaced = false;
    Mode mode = Mode::Ascii;
    // A character set we do not know was designated: its characters cannot be decoded.
    bool unknownSet = false;

    const auto invalid = [&] {
        *out++ = ReplacementCharacter;
        replaced = true;
    };

    qsizetype index = 0;
    while (index < size) {
        if (data[index] == Escape) {
            if (index + 2 < size) {
                const uchar first = data[index + 1];
                const uchar second = data[index + 2];
                std::optional<Mode> designated;
                if (first == '(' && second == 'B')
                    designated = Mode::Ascii;
                else if (first == '(' && second == 'J')
                    designated = Mode::Roman;
                else if (first == '(' && second == 'I')
                    designated = Mode::Katakana;
                else if (first == '$' && (second == 'B' || second == '@'))
                    designated = Mode::DoubleByte;
                if (designated) {
                    mode = *designated;
                    unknownSet = false;
                    index += 3;
                    continue;
                }
            }
            // Any other escape sequence (ESC, intermediate bytes, a final byte) stands
            // for one character we cannot decode; one that designates a set leaves
            // the following characters undecodable until the next known escape.
            qsizetype end = index + 1;
            while (end < size && isIntermediate(data[end]))
                ++end;
            const bool designation = end > index + 1 && end < size && isFinal(data[end]);
            if (end < size && isFinal(data[end]))
                ++end;
            unknownSet = unknownSet || designation;
            invalid();
            index = end;
            continue;
        }
        // Runs that the rules below read the same way throughout, taken whole.
        if (!unknownSet && (mode == Mode::Ascii || mode == Mode::Roman) && size - index >= 16) {
            // Every byte below 0x80 but the escape stands for itself, in Roman mode but
            // the backslash and "~" too. Every byte gives at most one unit, so the 16
            // written here fit.
            const int ascii = mode == Mode::Ascii ? widenRun16(data + index, out, AsciiButEscape)
                                                  : widenRun16(data + index, out, RomanAsAscii);
            out += ascii;
            index += ascii;
            if (ascii > 0)
                continue;
        }
        if (!unknownSet && mode == Mode::DoubleByte) {
            const qsizetype start = index;
            while (size - index >= 2 && isJisByte(data[index]) && isJisByte(data[index + 1])) {
                const char16_t character = tables.characters[(data[index] - 0x21) * JisRows + (data[index + 1] - 0x21)];
                if (character != 0)
                    *out++ = character;
                else
                    invalid();
                index += 2;
            }
            if (index > start)
                continue;
        }
        const uchar byte = data[index];
        ++index;
        if (byte >= 0x80) {
            invalid();
        } else if (byte <= 0x20 || byte == 0x7F) {
            *out++ = byte;
        } else if (unknownSet) {
            invalid();
        } else if (mode == Mode::Ascii || mode == Mode::Roman) {
            *out++ = singleByteCharacter(mode, byte);
        } else if (mode == Mode::Katakana) {
            if (byte <= 0x5F)
                *out++ = static_cast<char16_t>(0xFF61 + byte - 0x21);
            else
                invalid();
        } else if (index < size && isJisByte(data[index])) {
            const char16_t character = tables.characters[(byte - 0x21) * JisRows + (data[index] - 0x21)];
            ++index;
            if (character != 0)
                *out++ = character;
            else
                invalid();
        } else {
            invalid();
        }
    }
    text.truncate(out - begin);
    return {std::move(text), replaced ? CodeResult::Replaced : CodeResult::Clean};
}

namespace {

// Writes JIS from CP932 bytes and from the characters that only Roman holds, switching
// sets with the fewest escapes, as the system's ISO-2022-JP does: Roman mode holds for
// the graphic characters it shares with ASCII, and ASCII comes back before any other
// byte below 0x80 and at the end.
class JisWriter
{
public:
    explicit JisWriter(const JisTables &tables) : m_tables(tables) {}

    void writeCp932(const EncodedBytes &cp932)
    {
        m_replaced = m_replaced || cp932.result == CodeResult::Replaced;
        const auto *data = reinterpret_cast<const uchar *>(cp932.bytes.constData());
        const qsizetype size = cp932.bytes.size();
        // At worst every CP932 byte needs an escape of three bytes before it.
        m_bytes.reserve(m_bytes.size() + 4 * size + 3);
        qsizetype index = 0;
        while (index < size) {
            const uchar byte = data[index];
            if (byte < 0x80) {
                const bool sharedWithRoman = byte >= 0x21 && byte <= 0x7E && byte != 0x5C && byte != 0x7E;
                if (!(m_mode == Mode::Roman && sharedWithRoman))
                    enter(Mode::Ascii);
                m_bytes += char(byte);
                ++index;
            } else if (byte >= 0xA1 && byte <= 0xDF) {
                enter(Mode::Katakana);
                m_bytes += char(byte - 0x80);
                ++index;
            } else if (index + 1 < size && isCp932Lead(byte)) {
                writeDoubleByte(byte, data[index + 1]);
                index += 2;
            } else {
                unrepresentable();
                ++index;
            }
        }
    }

    // "¥" or "‾", which only Roman holds.
    void writeRoman(char16_t character)
    {
        enter(Mode::Roman);
        m_bytes += character == Yen ? '\x5C' : '\x7E';
    }

    EncodedBytes finish()
    {
        enter(Mode::Ascii);
        return {std::move(m_bytes), m_replaced ? CodeResult::Replaced : CodeResult::Clean};
    }

private:
    void enter(Mode wanted)
    {
        if (m_mode == wanted)
            return;
        m_mode = wanted;
        // The escape of each mode, in the order of Mode.
        static constexpr const char *Escapes[] = {"\x1B(B", "\x1B(J", "\x1B(I", "\x1B$B"};
        m_bytes += Escapes[static_cast<int>(wanted)];
    }

    void unrepresentable()
    {
        enter(Mode::Ascii);
        m_bytes += '?';
        m_replaced = true;
    }

    void writeDoubleByte(uchar lead, uchar trail)
    {
        if (lead >= 0xFA) {
            const auto twin = m_tables.ibmTwins.constFind(codeOf(lead, trail));
            if (twin == m_tables.ibmTwins.constEnd()) {
                unrepresentable();
                return;
            }
            lead = static_cast<uchar>(*twin >> 8);
            trail = static_cast<uchar>(*twin & 0xFF);
        }
        const auto jis = sjisToJis(lead, trail);
        if (!jis) {
            unrepresentable();
            return;
        }
        enter(Mode::DoubleByte);
        m_bytes += (*jis)[0];
        m_bytes += (*jis)[1];
    }

    const JisTables &m_tables;
    QByteArray m_bytes;
    Mode m_mode = Mode::Ascii;
    bool m_replaced = false;
};

bool onlyInRoman(QChar character)
{
    return character == Yen || character == Overline;
}

} // namespace

EncodedBytes encodeJis(QStringView text)
{
    const JisTables &tables = jisTables();
    if (!tables.available)
        return {QByteArray(), CodeResult::Unavailable};
    JisWriter writer(tables);
    qsizetype start = 0;
    for (;;) {
        const auto end = std::find_if(text.begin() + start, text.end(), onlyInRoman) - text.begin();
        writer.writeCp932(encodeText(CodePage::Cp932, text.sliced(start, end - start)));
        if (end == text.size())
            break;
        writer.writeRoman(text[end].unicode());
        start = end + 1;
    }
    return writer.finish();
}

} // namespace platform
