#include "platform/jis_codec.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace platform {
namespace {

// The decoder as it was first written, one byte at a time, kept here to check the
// decoder against on any input. The character of a JIS position is the one the C
// library's ISO-2022-JP reads there, else the one CP932 reads at the same position.
namespace reference {

char16_t systemJisCharacter(uchar row, uchar cell)
{
    static const std::vector<char16_t> characters = [] {
        std::vector<char16_t> table(94 * 94, 0);
        const iconv_t descriptor = iconv_open("UTF-16LE", "ISO-2022-JP");
        if (descriptor == reinterpret_cast<iconv_t>(-1))
            return table;
        for (int position = 0; position < 94 * 94; ++position) {
            char sequence[5] = {'\x1B', '$', 'B', char(0x21 + position / 94), char(0x21 + position % 94)};
            char *in = sequence;
            size_t inLeft = sizeof sequence;
            char16_t units[2];
            char *out = reinterpret_cast<char *>(units);
            size_t room = sizeof units;
            iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
            if (iconv(descriptor, &in, &inLeft, &out, &room) != size_t(-1) && room == sizeof units - 2)
                table[size_t(position)] = units[0];
        }
        iconv_close(descriptor);
        return table;
    }();
    return characters[size_t((row - 0x21) * 94 + (cell - 0x21))];
}

char16_t jisCharacter(uchar row, uchar cell)
{
    if (const char16_t system = systemJisCharacter(row, cell))
        return system;
    const int lead = ((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0);
    const int trail = (row & 1) ? cell + (cell <= 0x5F ? 0x1F : 0x20) : cell + 0x7E;
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    const DecodedText decoded = decodeBytes(CodePage::Cp932, QByteArrayView(pair, 2));
    return decoded.result == CodeResult::Clean && decoded.text.size() == 1 ? decoded.text.at(0).unicode() : 0;
}

DecodedText decodeJis(QByteArrayView bytes)
{
    enum class Mode { Ascii, Roman, Katakana, DoubleByte };
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    QString text;
    bool replaced = false;
    Mode mode = Mode::Ascii;
    bool unknownSet = false;
    const auto invalid = [&] {
        text += QChar(QChar::ReplacementCharacter);
        replaced = true;
    };
    qsizetype index = 0;
    while (index < size) {
        const uchar byte = data[index];
        if (byte == 0x1B) {
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
            qsizetype end = index + 1;
            while (end < size && data[end] >= 0x20 && data[end] <= 0x2F)
                ++end;
            const bool isFinal = end < size && data[end] >= 0x30 && data[end] <= 0x7E;
            const bool designation = end > index + 1 && isFinal;
            if (isFinal)
                ++end;
            unknownSet = unknownSet || designation;
            invalid();
            index = end;
            continue;
        }
        ++index;
        if (byte >= 0x80) {
            invalid();
        } else if (byte <= 0x20 || byte == 0x7F) {
            text += QChar(byte);
        } else if (unknownSet) {
            invalid();
        } else if (mode == Mode::Ascii) {
            text += QChar(byte);
        } else if (mode == Mode::Roman) {
            text += QChar(char16_t(byte == '\\' ? 0x00A5 : byte == '~' ? 0x203E : byte));
        } else if (mode == Mode::Katakana) {
            if (byte <= 0x5F)
                text += QChar(0xFF61 + byte - 0x21);
            else
                invalid();
        } else if (index < size && data[index] >= 0x21 && data[index] <= 0x7E) {
            const char16_t character = jisCharacter(byte, data[index]);
            ++index;
            if (character != 0)
                text += QChar(character);
            else
                invalid();
        } else {
            invalid();
        }
    }
    return {text, replaced ? CodeResult::Replaced : CodeResult::Clean};
}

} // namespace reference

// Every character of the JIS table, NEC row 13 and the NEC-selected IBM extensions, as
// the reference reads their positions, and every half-width katakana. The extensions'
// "￢" is left out: it is written at its CP932 position 0x224C, where the JIS table reads
// "¬".
QString everyJisCharacter()
{
    QString text;
    for (int row = 0x21; row <= 0x7E; ++row) {
        for (int cell = 0x21; cell <= 0x7E; ++cell) {
            const char16_t character = reference::jisCharacter(uchar(row), uchar(cell));
            if (character != 0 && character != u'￢')
                text += QChar(character);
        }
    }
    for (char16_t katakana = 0xFF61; katakana <= 0xFF9F; ++katakana)
        text += QChar(katakana);
    return text;
}

void expectSameAsReference(const QByteArray &bytes)
{
    SCOPED_TRACE("size " + std::to_string(bytes.size()) + ", starts " + bytes.left(24).toHex().toStdString());
    const DecodedText expected = reference::decodeJis(bytes);
    const DecodedText decoded = decodeJis(bytes);
    ASSERT_EQ(decoded.text, expected.text);
    EXPECT_EQ(decoded.result, expected.result);
}

TEST(JisCodec, DecodesAsTheReferenceDoes)
{
    // Bytes that switch modes, stand for themselves in every mode, or break a pair.
    const char notable[] = {'\x1B', '(', '$', 'B', 'J', 'I', '@', 'D', '!', '0', '_', '`', '~', ' ',
                            '\n',   '\x7F', '\x80', '\xA2', 'a', '[', '\x1F', '\x21', '\x7E'};
    std::mt19937_64 random(13579);
    const QString characters = everyJisCharacter();
    QString text;
    while (text.size() < 20000)
        text += characters.mid(qsizetype(random() % 7000), 40) + u"ASCII text ｶﾀｶﾅ\r\n"_qs;
    const QByteArray encoded = encodeJis(text).bytes;
    expectSameAsReference(encoded);
    for (int count = 0; count < 300; ++count) {
        QByteArray bytes = encoded.mid(qsizetype(random() % quint64(encoded.size())), qsizetype(random() % 1500));
        for (int change = int(random() % 4); change > 0 && !bytes.isEmpty(); --change)
            bytes[qsizetype(random() % quint64(bytes.size()))] = notable[random() % sizeof notable];
        expectSameAsReference(bytes);
        QByteArray noise(qsizetype(random() % 300), Qt::Uninitialized);
        for (char &byte : noise)
            byte = count % 2 == 0 ? notable[random() % sizeof notable] : static_cast<char>(random());
        expectSameAsReference(noise);
    }
}

TEST(JisCodec, EscapesOfEachCharacterSet)
{
    const struct
    {
        const char *name;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"empty", QString(), QByteArray()},
        {"ASCII only needs no escape", u"abc\r\n"_qs, "abc\r\n"},
        {"kanji returns to ASCII at the end", u"あ"_qs, "\x1B$B$\"\x1B(B"},
        {"one katakana takes seven bytes", u"ｱ"_qs, "\x1B(I1\x1B(B"},
        {"every switch", u"aあｱb"_qs, "a\x1B$B$\"\x1B(I1\x1B(Bb"},
        {"line end in ASCII", u"あ\r\nい"_qs, "\x1B$B$\"\x1B(B\r\n\x1B$B$$\x1B(B"},
        {"kanji run shares one escape", u"漢字"_qs, "\x1B$B4A;z\x1B(B"},
        {"NEC row 13", u"①"_qs, "\x1B$B-!\x1B(B"},
        {"IBM extension by its NEC-selected twin", u"纊"_qs, "\x1B$By!\x1B(B"},
        {"IBM small roman numeral", u"ⅰ"_qs, "\x1B$B|q\x1B(B"},
        {"IBM extension that lies in the standard rows", u"∵"_qs, "\x1B$B\"h\x1B(B"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const EncodedBytes encoded = encodeJis(c.text);
        EXPECT_EQ(encoded.bytes, c.bytes);
        EXPECT_EQ(encoded.result, CodeResult::Clean);
        const DecodedText decoded = decodeJis(c.bytes);
        EXPECT_EQ(decoded.text, c.text);
        EXPECT_EQ(decoded.result, CodeResult::Clean);
    }
}

TEST(JisCodec, DecodesTheOlderEscapes)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"ESC $ @ for double-byte", "\x1B$@$\"\x1B(B", u"あ"_qs},
        {"ESC ( J reads letters as ASCII", "\x1B$@$\"\x1B(Jab", u"あab"_qs},
        {"no return to ASCII at the end", "x\x1B$B$\"", u"xあ"_qs},
        {"line end inside double-byte mode", "\x1B$B$\"\n$$\x1B(B", u"あ\nい"_qs},
        {"space inside katakana mode", "\x1B(I1 2\x1B(B", u"ｱ ｲ"_qs},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText decoded = decodeJis(c.bytes);
        EXPECT_EQ(decoded.text, c.text);
        EXPECT_EQ(decoded.result, CodeResult::Clean);
    }
}

TEST(JisCodec, BrokenInputGivesReplacementCharacters)
{
    const QString bad = QString(QChar(QChar::ReplacementCharacter));
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"lone escape", "\x1B", bad},
        {"escape cut after its intermediate byte", "a\x1B(", u"a"_qs + bad},
        {"escape cut at the start", "\x1B$", bad},
        {"escape that designates nothing", "\x1B[1m", bad + u"1m"_qs},
        {"unknown set until the next known escape", "\x1B$B$\"\x1B(Zab\x1B(Bc", u"あ"_qs + bad.repeated(3) + u"c"_qs},
        {"JIS X 0212 is not decoded", "\x1B$D0!\x1B$B$\"", bad.repeated(3) + u"あ"_qs},
        {"pair cut at the end", "\x1B$B$\"$", u"あ"_qs + bad},
        {"pair broken by an eight-bit byte", "\x1B$B$\xA2", bad + bad},
        {"eight-bit bytes", "a\xB1\xFF", u"a"_qs + bad + bad},
        {"katakana mode byte out of range", "\x1B(I1a", u"ｱ"_qs + bad},
        {"unassigned row", "\x1B$B)!\x1B(B", bad},
        {"user-defined row", "\x1B$Bu!\x1B(B", bad},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText decoded = decodeJis(c.bytes);
        EXPECT_EQ(decoded.text, c.text);
        EXPECT_EQ(decoded.result, CodeResult::Replaced);
    }
}

TEST(JisCodec, CharactersWithoutAJisFormBecomeQuestionMarks)
{
    const struct
    {
        const char *name;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"no CP932 form", u"あ가"_qs, "\x1B$B$\"\x1B(B?"},
        {"user-defined area", QString(QChar(0xE000)) + u"ｱ"_qs, "?\x1B(I1\x1B(B"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const EncodedBytes encoded = encodeJis(c.text);
        EXPECT_EQ(encoded.bytes, c.bytes);
        EXPECT_EQ(encoded.result, CodeResult::Replaced);
    }
}

TEST(JisCodec, RoundTripsEveryCharacter)
{
    const QString text = everyJisCharacter() + u"\r\nASCII の行\r\n"_qs;
    ASSERT_GT(text.size(), 7000);
    const EncodedBytes encoded = encodeJis(text);
    ASSERT_EQ(encoded.result, CodeResult::Clean);
    const DecodedText decoded = decodeJis(encoded.bytes);
    EXPECT_EQ(decoded.result, CodeResult::Clean);
    EXPECT_TRUE(decoded.text == text);
}

TEST(JisCodec, RoundTripsTheIbmExtensions)
{
    // CP932 decodes the IBM extensions to the same characters as their NEC-selected
    // twins, so each comes back as itself; but "￢", whose twin lies in the JIS table's
    // rows, where that table reads "¬".
    QString text;
    for (int lead = 0xFA; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const DecodedText decoded = decodeBytes(CodePage::Cp932, QByteArrayView(pair, 2));
            if (decoded.result == CodeResult::Clean && decoded.text != u"￢")
                text += decoded.text;
        }
    }
    ASSERT_GT(text.size(), 380);
    const EncodedBytes encoded = encodeJis(text);
    ASSERT_EQ(encoded.result, CodeResult::Clean);
    EXPECT_EQ(decodeJis(encoded.bytes).text, text);
}

} // namespace
} // namespace platform
