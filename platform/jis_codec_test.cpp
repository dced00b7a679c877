#include "platform/jis_codec.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

// Every character of JIS X 0208, NEC row 13 and the NEC-selected IBM extensions, found
// through the CP932 lead bytes that map into the 94 JIS rows, and every half-width
// katakana.
QString everyJisCharacter()
{
    QString text;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const DecodedText decoded = decodeBytes(CodePage::Cp932, QByteArrayView(pair, 2));
            if (decoded.result == CodeResult::Clean)
                text += decoded.text;
        }
    }
    for (char16_t katakana = 0xFF61; katakana <= 0xFF9F; ++katakana)
        text += QChar(katakana);
    return text;
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
        {"ESC ( J read as ASCII", "\x1B$@$\"\x1B(Jab", u"あab"_qs},
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
    // twins, so each comes back as itself.
    QString text;
    for (int lead = 0xFA; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const DecodedText decoded = decodeBytes(CodePage::Cp932, QByteArrayView(pair, 2));
            if (decoded.result == CodeResult::Clean)
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
