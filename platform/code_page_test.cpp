#include "platform/code_page.h"

#include "platform/jis_codec.h"
#include "platform/testing/print_to.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace platform {
namespace {

constexpr CodePage AllCodePages[] = {CodePage::Cp932, CodePage::EucJp, CodePage::Utf7, CodePage::Utf8};

// Japanese and ASCII mixed so that long and short ASCII runs alternate with multi-byte
// characters, including half-width katakana, NEC row 13 and an IBM extension.
QString mixedText()
{
    return QStringLiteral("日本語のテキスト、ASCII とまざる。\r\n"
                          "ｶﾀｶﾅ ① 纊 ∵ a long run of plain ASCII text here 漢字\n"
                          "+plus- and -minus+ 0123456789ABCDEFGHIJ x\tEnd");
}

TEST(CodePage, IconvKnowsEveryName)
{
    for (const CodePage codePage : AllCodePages) {
        SCOPED_TRACE(iconvName(codePage));
        EXPECT_NE(encodeText(codePage, u"a").result, CodeResult::Unavailable);
        EXPECT_NE(decodeBytes(codePage, "a").result, CodeResult::Unavailable);
    }
}

TEST(CodePage, KnownBytesOfEachCode)
{
    const struct
    {
        const char *name;
        CodePage codePage;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"cp932 hiragana", CodePage::Cp932, u"あ"_qs, "\x82\xA0"},
        {"cp932 katakana", CodePage::Cp932, u"ｱ"_qs, "\xB1"},
        {"cp932 row 13", CodePage::Cp932, u"①"_qs, "\x87\x40"},
        {"cp932 backslash tilde", CodePage::Cp932, u"\\~"_qs, "\\~"},
        {"euc hiragana", CodePage::EucJp, u"あ"_qs, "\xA4\xA2"},
        {"euc katakana", CodePage::EucJp, u"ｱ"_qs, "\x8E\xB1"},
        {"utf8 hiragana", CodePage::Utf8, u"あ"_qs, "\xE3\x81\x82"},
        {"utf7 alone", CodePage::Utf7, u"あ"_qs, "+MEI-"},
        {"utf7 before a base64 letter", CodePage::Utf7, u"あa"_qs, "+MEI-a"},
        {"utf7 before a dot", CodePage::Utf7, u"aあ."_qs, "a+MEI-."},
        {"utf7 before a space", CodePage::Utf7, u"あ b"_qs, "+MEI- b"},
        {"utf7 plus", CodePage::Utf7, u"1+1"_qs, "1+-1"},
        {"cp932 ASCII trail before a long ASCII run", CodePage::Cp932, u"Ａ0123456789abcdefghij"_qs,
         "\x82\x60" "0123456789abcdefghij"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const EncodedBytes encoded = encodeText(c.codePage, c.text);
        EXPECT_EQ(encoded.bytes, c.bytes);
        EXPECT_EQ(encoded.result, CodeResult::Clean);
        const DecodedText decoded = decodeBytes(c.codePage, c.bytes);
        EXPECT_EQ(decoded.text, c.text);
        EXPECT_EQ(decoded.result, CodeResult::Clean);
    }
}

TEST(CodePage, RoundTripsShortAndLongTexts)
{
    QString longText;
    while (longText.size() < 300000)
        longText += mixedText();
    const QString texts[] = {QString(), u"a"_qs, u"漢"_qs, mixedText(), longText};
    for (const CodePage codePage : AllCodePages) {
        for (const QString &text : texts) {
            SCOPED_TRACE(std::string(iconvName(codePage)) + " length " + std::to_string(text.size()));
            const EncodedBytes encoded = encodeText(codePage, text);
            ASSERT_EQ(encoded.result, CodeResult::Clean);
            const DecodedText decoded = decodeBytes(codePage, encoded.bytes);
            EXPECT_EQ(decoded.result, CodeResult::Clean);
            EXPECT_TRUE(decoded.text == text);
        }
    }
}

TEST(CodePage, Utf7ClosesEveryBase64Run)
{
    const QString texts[] = {mixedText(), u"あ"_qs, u"あ.い,う'え(お)"_qs, u"!あ#"_qs, u"ああ\r\nい"_qs};
    for (const QString &text : texts) {
        SCOPED_TRACE(text.toStdString());
        const QByteArray bytes = encodeText(CodePage::Utf7, text).bytes;
        bool inRun = false;
        for (qsizetype index = 0; index < bytes.size(); ++index) {
            const char c = bytes[index];
            if (!inRun && c == '+') {
                if (index + 1 < bytes.size() && bytes[index + 1] == '-')
                    ++index;
                else
                    inRun = true;
            } else if (inRun && !(std::isalnum(static_cast<uchar>(c)) || c == '+' || c == '/')) {
                EXPECT_EQ(c, '-') << "run ended at " << index;
                inRun = false;
            }
        }
        EXPECT_FALSE(inRun) << "run left open at the end";
        EXPECT_EQ(decodeBytes(CodePage::Utf7, bytes).text, text);
    }
}

TEST(CodePage, InvalidBytesBecomeReplacementCharacters)
{
    const QString bad = QString(QChar(QChar::ReplacementCharacter));
    const QString ascii20 = u"0123456789abcdefghij"_qs;
    const struct
    {
        const char *name;
        CodePage codePage;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"cp932 lead at the end", CodePage::Cp932, "a\x82", u"a"_qs + bad},
        {"cp932 lead before a space", CodePage::Cp932, "a\x82 b", u"a"_qs + bad + u" b"_qs},
        {"cp932 bytes never valid", CodePage::Cp932, "\x80\xA0\xFD\xFE\xFF", bad.repeated(5)},
        {"cp932 run of 0xFF", CodePage::Cp932, QByteArray(40, '\xFF'), bad.repeated(40)},
        {"cp932 cut lead before a long ASCII run", CodePage::Cp932, "\xE0" + ascii20.toLatin1(),
         bad + ascii20},
        {"euc lead at the end", CodePage::EucJp, "\xA4", bad},
        {"euc lead before ASCII", CodePage::EucJp, "\xA4" + ascii20.toLatin1(), bad + ascii20},
        {"euc single shift 3 cut", CodePage::EucJp, "\x8F\xA1", bad.repeated(2)},
        {"utf8 sequence cut", CodePage::Utf8, "\xE3\x81", bad.repeated(2)},
        {"utf8 overlong", CodePage::Utf8, "\xC0\xAF", bad.repeated(2)},
        {"utf8 stray continuation", CodePage::Utf8, "a\x81z", u"a"_qs + bad + u"z"_qs},
        {"utf8 surrogate", CodePage::Utf8, "\xED\xA0\x80", bad.repeated(3)},
        {"utf7 plus at the end", CodePage::Utf7, "a+", u"a"_qs + bad},
        {"utf7 eight-bit byte", CodePage::Utf7, "a\xE3z", u"a"_qs + bad + u"z"_qs},
        {"utf7 run open at the end", CodePage::Utf7, "line one\n+AGE", u"line one\na"_qs + bad},
        {"utf7 run open at the end, bits left over", CodePage::Utf7, "line one\n+AGH", u"line one\na"_qs + bad},
        {"utf7 run open at the end, unit cut", CodePage::Utf7, "a+AG", u"a"_qs + bad},
        {"utf7 bits left over before the dash", CodePage::Utf7, "+AGH-b", u"a"_qs + bad + u"b"_qs},
        {"utf7 lone plus before a line end", CodePage::Utf7, "x = a +\n", u"x = a \n"_qs},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText decoded = decodeBytes(c.codePage, c.bytes);
        EXPECT_EQ(decoded.text, c.text);
        EXPECT_EQ(decoded.result, CodeResult::Replaced);
    }
}

// The character that the C library's iconv makes of exactly `sequence`, asked directly:
// nullopt when it refuses the sequence or makes more than one character of it.
std::optional<QString> iconvCharacter(const char *name, QByteArrayView sequence)
{
    const iconv_t descriptor = iconv_open("UTF-16LE", name);
    if (descriptor == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    char *in = const_cast<char *>(sequence.data());
    size_t inLeft = static_cast<size_t>(sequence.size());
    char16_t units[4];
    char *out = reinterpret_cast<char *>(units);
    size_t room = sizeof units;
    const size_t result = iconv(descriptor, &in, &inLeft, &out, &room);
    iconv_close(descriptor);
    if (result == static_cast<size_t>(-1) || inLeft != 0 || room != sizeof units - 2)
        return std::nullopt;
    return QString(QChar(units[0]));
}

// The iconv code that fills in where the code page's own one stops (EUC-JP-MS behind
// EUC-JP), or nullptr.
const char *supplementOf(CodePage codePage)
{
    return codePage == CodePage::EucJp ? "EUC-JP-MS" : nullptr;
}

// iconvCharacter of the code page's own iconv code, else of its supplement.
std::optional<QString> referenceCharacter(CodePage codePage, QByteArrayView sequence)
{
    const auto own = iconvCharacter(iconvName(codePage), sequence);
    if (own || supplementOf(codePage) == nullptr)
        return own;
    return iconvCharacter(supplementOf(codePage), sequence);
}

// The table decoders against iconv itself, for every sequence that starts with a byte
// that is not a character by itself.
TEST(CodePage, DecodingTablesAgreeWithIconv)
{
    const struct
    {
        CodePage codePage;
        int length;
        int lead;
    } shapes[] = {
        {CodePage::Cp932, 2, -1},
        {CodePage::EucJp, 2, -1},
        {CodePage::EucJp, 3, 0x8F},
    };
    for (const auto &shape : shapes) {
        SCOPED_TRACE(std::string(iconvName(shape.codePage)) + " length " + std::to_string(shape.length));
        int valid = 0;
        for (int first = 0x80; first <= 0xFF; ++first) {
            if (shape.lead >= 0 && first != shape.lead)
                continue;
            const char alone[1] = {static_cast<char>(first)};
            if (shape.lead < 0 && referenceCharacter(shape.codePage, QByteArrayView(alone, 1)))
                continue;
            for (int second = 0; second <= 0xFF; ++second) {
                for (int third = 0; third <= (shape.length == 3 ? 0xFF : 0); ++third) {
                    const char sequence[3] = {static_cast<char>(first), static_cast<char>(second),
                                              static_cast<char>(third)};
                    const QByteArrayView bytes(sequence, shape.length);
                    const auto expected = referenceCharacter(shape.codePage, bytes);
                    const DecodedText decoded = decodeBytes(shape.codePage, bytes);
                    if (expected) {
                        ++valid;
                        ASSERT_EQ(decoded.text, *expected) << QByteArray(bytes.toByteArray()).toHex().constData();
                        ASSERT_EQ(decoded.result, CodeResult::Clean);
                    } else {
                        ASSERT_EQ(decoded.result, CodeResult::Replaced) << QByteArray(bytes.toByteArray()).toHex().constData();
                    }
                }
            }
        }
        EXPECT_GT(valid, 5000);
    }
}

TEST(CodePage, SingleBytesAgreeWithIconv)
{
    for (const CodePage codePage : {CodePage::Cp932, CodePage::EucJp}) {
        for (int byte = 0; byte <= 0xFF; ++byte) {
            SCOPED_TRACE(std::string(iconvName(codePage)) + " byte " + std::to_string(byte));
            const char alone[1] = {static_cast<char>(byte)};
            const auto expected = referenceCharacter(codePage, QByteArrayView(alone, 1));
            const DecodedText decoded = decodeBytes(codePage, QByteArrayView(alone, 1));
            if (expected) {
                EXPECT_EQ(decoded.text, *expected);
                EXPECT_EQ(decoded.result, CodeResult::Clean);
            } else {
                EXPECT_EQ(decoded.text, QString(QChar(QChar::ReplacementCharacter)));
                EXPECT_EQ(decoded.result, CodeResult::Replaced);
            }
        }
    }
}

// What the C library's iconv makes of `bytes` when every byte that stops it becomes
// U+FFFD and decoding goes on behind it from the initial state, and a UTF-7 base64 run
// left open at the end (one where iconv takes a "-" behind the bytes as the run's end,
// not as a character) gives one more U+FFFD: what decodeBytes must give, however it gets
// there. Where `name` stops, the code `supplement` (when given) is asked for the one
// character of the next two or three bytes first.
DecodedText iconvDecoding(const char *name, QByteArrayView bytes, const char *supplement = nullptr)
{
    // One descriptor per code for the whole test run: opening one costs more than most
    // of the decodings here.
    static struct Descriptors
    {
        std::map<std::string, iconv_t> opened;
        ~Descriptors()
        {
            for (const auto &[code, descriptor] : opened) {
                if (descriptor != reinterpret_cast<iconv_t>(-1))
                    iconv_close(descriptor);
            }
        }
    } descriptors;
    auto found = descriptors.opened.find(name);
    if (found == descriptors.opened.end())
        found = descriptors.opened.emplace(name, iconv_open("UTF-16LE", name)).first;
    const iconv_t descriptor = found->second;
    if (descriptor == reinterpret_cast<iconv_t>(-1))
        return {QString(), CodeResult::Unavailable};
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    DecodedText decoded;
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    while (inLeft > 0) {
        char16_t units[256];
        char *out = reinterpret_cast<char *>(units);
        size_t room = sizeof units;
        const size_t result = iconv(descriptor, &in, &inLeft, &out, &room);
        const int error = result == static_cast<size_t>(-1) ? errno : 0;
        decoded.text.append(reinterpret_cast<const QChar *>(units), (out - reinterpret_cast<char *>(units)) / 2);
        if (error != 0 && error != E2BIG) {
            size_t supplied = 0;
            for (size_t length = 2; supplement && supplied == 0 && length <= std::min<size_t>(inLeft, 3); ++length) {
                if (const auto character = iconvCharacter(supplement, QByteArrayView(in, qsizetype(length)))) {
                    decoded.text.append(*character);
                    supplied = length;
                }
            }
            if (supplied > 0) {
                in += supplied;
                inLeft -= supplied;
                iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            decoded.text.append(QChar(QChar::ReplacementCharacter));
            decoded.result = CodeResult::Replaced;
            ++in;
            --inLeft;
            iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
        }
    }
    if (std::string_view(name) == "UTF-7") {
        // A "+" that opens no base64 run and is no "+-" is dropped by iconv unseen; the
        // text is iconv's, but not clean.
        bool inRun = false;
        for (qsizetype index = 0; index < bytes.size(); ++index) {
            const char byte = bytes[index];
            const bool base64 = std::isalnum(static_cast<unsigned char>(byte)) || byte == '+' || byte == '/';
            if (inRun) {
                inRun = base64;
            } else if (byte == '+') {
                const char next = index + 1 < bytes.size() ? bytes[index + 1] : '-';
                if (next != '-' && !(std::isalnum(static_cast<unsigned char>(next)) || next == '+' || next == '/'))
                    decoded.result = CodeResult::Replaced;
                inRun = true;
            }
        }
        char dash[] = "-";
        in = dash;
        inLeft = 1;
        char16_t unit;
        char *out = reinterpret_cast<char *>(&unit);
        size_t room = sizeof unit;
        iconv(descriptor, &in, &inLeft, &out, &room);
        if (room == sizeof unit) {
            decoded.text.append(QChar(QChar::ReplacementCharacter));
            decoded.result = CodeResult::Replaced;
        }
    }
    return decoded;
}

// Bytes that start, continue, break or end sequences in one of the codes.
constexpr uchar NotableBytes[] = {
    0x00, 0x09, 0x0A, 0x0D, 0x1B, 0x20, '+',  '-',  '.',  '/',  '0',  'A',  'M',  'Z',  '\\', 'a',  '~',  0x7F,
    0x80, 0x81, 0x82, 0x8E, 0x8F, 0x9F, 0xA0, 0xA1, 0xA4, 0xAD, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xE3, 0xED, 0xEF,
    0xF0, 0xF3, 0xF4, 0xF5, 0xFA, 0xFC, 0xFD, 0xFE, 0xFF,
};

class DecodingSamples
{
public:
    qsizetype below(qsizetype limit) { return qsizetype(m_random() % quint64(limit)); }

    QByteArray random(qsizetype size, bool notable)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &byte : bytes)
            byte = static_cast<char>(notable ? NotableBytes[below(std::size(NotableBytes))] : below(256));
        return bytes;
    }

    // `bytes` with a few bytes overwritten or inserted, or cut short.
    QByteArray damaged(QByteArray bytes)
    {
        const int changes = int(1 + below(3));
        for (int change = 0; change < changes && !bytes.isEmpty(); ++change) {
            const qsizetype at = below(bytes.size());
            const char notable = static_cast<char>(NotableBytes[below(std::size(NotableBytes))]);
            switch (below(4)) {
            case 0:
                bytes[at] = notable;
                break;
            case 1:
                bytes.insert(at, notable);
                break;
            case 2:
                bytes.insert(at, QByteArray(1 + below(70), '\xFF'));
                break;
            default:
                bytes.truncate(at);
                break;
            }
        }
        return bytes;
    }

private:
    std::mt19937_64 m_random{987654321};
};

// Text with every kind of character the codes hold: ASCII runs long and short, kana,
// kanji, half-width katakana, NEC and IBM extensions, a character outside the BMP.
QString variedText(qsizetype characters)
{
    QString text;
    while (text.size() < characters)
        text += mixedText() + u"😀 ｱｲｳ+-.~\\ 纊①\t"_qs;
    text.truncate(characters);
    return text;
}

void expectSameAsIconv(CodePage codePage, const QByteArray &bytes)
{
    SCOPED_TRACE(std::string(iconvName(codePage)) + ", size " + std::to_string(bytes.size()) + ", starts "
                 + bytes.left(24).toHex().toStdString());
    const DecodedText expected = iconvDecoding(iconvName(codePage), bytes, supplementOf(codePage));
    const DecodedText decoded = decodeBytes(codePage, bytes);
    ASSERT_EQ(decoded.text, expected.text);
    EXPECT_EQ(decoded.result, expected.result);
}

TEST(CodePageDecoding, RandomBytesAsIconvDecodesThem)
{
    DecodingSamples samples;
    for (const CodePage codePage : AllCodePages) {
        for (int count = 0; count < 120; ++count) {
            const qsizetype size = count < 100 ? 1 + samples.below(300) : 1000 + samples.below(5000);
            expectSameAsIconv(codePage, samples.random(size, false));
            expectSameAsIconv(codePage, samples.random(size, true));
        }
    }
}

TEST(CodePageDecoding, EncodedTextWholeCutAndDamaged)
{
    DecodingSamples samples;
    const QString text = variedText(30000);
    for (const CodePage codePage : AllCodePages) {
        const QByteArray encoded = encodeText(codePage, text).bytes;
        expectSameAsIconv(codePage, encoded);
        for (int count = 0; count < 60; ++count) {
            const QByteArray part = encoded.mid(samples.below(encoded.size()), 1 + samples.below(2000));
            expectSameAsIconv(codePage, part);
            expectSameAsIconv(codePage, samples.damaged(part));
        }
        expectSameAsIconv(codePage, samples.damaged(encoded));
    }
}

// UTF-7 base64 runs of every shape: units that are ASCII, Japanese, surrogates paired and
// alone; bits left over, zero or not; ended by "-", by a direct byte, by a byte that is
// neither, or by the end of the input.
TEST(CodePageDecoding, Utf7RunsOfEveryShape)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char16_t units[] = {0x0041, 0x3042, 0x5B57, 0xD83D, 0xDE00, 0xDBFF, 0xDC00, 0x0000, 0xFFFF, 0x002B};
    // Every byte outside the base64 alphabet ends a run.
    QList<QByteArray> ends = {"", "-+-", "\r\n"};
    for (int byte = 0; byte < 256; ++byte) {
        if (QByteArrayView(alphabet).indexOf(static_cast<char>(byte)) < 0 || byte == 0)
            ends.append(QByteArray(1, static_cast<char>(byte)));
    }
    std::mt19937_64 random(8642);
    for (int count = 0; count < 20000; ++count) {
        quint64 bits = 0;
        int held = 0;
        QByteArray run = "+";
        const int unitCount = int(random() % 5);
        for (int unit = 0; unit <= unitCount; ++unit) {
            // The last round adds only bits left over: 0 to 15, zero or not.
            const int width = unit < unitCount ? 16 : int(random() % 16);
            const quint64 value = unit < unitCount ? units[random() % std::size(units)]
                                  : random() % 2 == 0 ? 0 : random() & ((1u << width) - 1);
            bits = bits << width | value;
            held += width;
            while (held >= 6) {
                held -= 6;
                run += alphabet[(bits >> held) & 63];
            }
        }
        if (held > 0)
            run += alphabet[(bits << (6 - held)) & 63];
        const QByteArray before = random() % 2 == 0 ? QByteArray() : QByteArray("a+AGE-b");
        expectSameAsIconv(CodePage::Utf7, before + run + ends[qsizetype(random() % quint64(ends.size()))] + "z");
        expectSameAsIconv(CodePage::Utf7, run + ends[qsizetype(random() % quint64(ends.size()))]);
    }
}

TEST(CodePageDecoding, EveryUtf8SequenceShape)
{
    // Every lead byte with every second byte, followed by bytes that do and do not
    // continue a sequence, alone and between ASCII.
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int second = 0; second <= 0xFF; ++second) {
            for (const char *rest : {"", "\x80", "\xBF", "\x80\x80", "\xBF\xBF", "A", "\x80" "A", "\xC0"}) {
                const QByteArray sequence = QByteArray(1, char(lead)) + char(second) + rest;
                expectSameAsIconv(CodePage::Utf8, sequence);
                expectSameAsIconv(CodePage::Utf8, "ab" + sequence + "cd");
            }
        }
    }
}

TEST(CodePageDecoding, EveryUnicodeCharacterInUtf8)
{
    std::u32string values;
    for (char32_t value = 0; value <= 0x10FFFF; ++value) {
        if (value < 0xD800 || value > 0xDFFF)
            values += value;
    }
    const QString text = QString::fromUcs4(values.data(), qsizetype(values.size()));
    expectSameAsIconv(CodePage::Utf8, text.toUtf8());
    expectSameAsIconv(CodePage::Utf8, "\xEF\xBB\xBF" + text.toUtf8() + "\xEF\xBB\xBF");
}

TEST(CodePage, AppendDecodedKeepsWhatWasThere)
{
    QString text = u"前"_qs;
    EXPECT_EQ(appendDecoded(CodePage::Cp932, "\x82\xA0z", text), CodeResult::Clean);
    EXPECT_EQ(text, u"前あz"_qs);
}

TEST(CodePage, CharactersWithoutAFormBecomeQuestionMarks)
{
    const QString loneHigh = QString(QChar(0xD800));
    const QString loneLow = QString(QChar(0xDC00));
    const struct
    {
        const char *name;
        CodePage codePage;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"cp932 hangul", CodePage::Cp932, u"a가b"_qs, "a?b"},
        {"cp932 surrogate pair is one character", CodePage::Cp932, u"a😀b"_qs, "a?b"},
        {"euc hangul", CodePage::EucJp, u"가あ"_qs, "?\xA4\xA2"},
        {"utf8 lone high surrogate", CodePage::Utf8, u"a"_qs + loneHigh + u"b"_qs, "a?b"},
        {"utf8 lone low surrogate at the end", CodePage::Utf8, u"a"_qs + loneLow, "a?"},
        {"utf8 lone high surrogate at the end", CodePage::Utf8, u"あ"_qs + loneHigh, "\xE3\x81\x82?"},
        {"utf7 lone surrogate between runs", CodePage::Utf7, u"あ"_qs + loneHigh + u"い"_qs, "+MEI-?+MEQ-"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const EncodedBytes encoded = encodeText(c.codePage, c.text);
        EXPECT_EQ(encoded.bytes, c.bytes);
        EXPECT_EQ(encoded.result, CodeResult::Replaced);
    }
}

// EUC-JP and ISO-2022-JP read by the JIS table, as the system's iconv reads them; what
// only the Windows table holds is written with its bytes and still read.
TEST(CodePage, EucAndJisTakeTheJisTable)
{
    const struct
    {
        const char *name;
        bool jis;
        QString text;
        QByteArray bytes;
        QString readBack;
    } cases[] = {
        {"EUC 〜 − ‖ ¢ £ ¬", false, u"〜−‖¢£¬"_qs, "\xA1\xC1\xA1\xDD\xA1\xC2\xA1\xF1\xA1\xF2\xA2\xCC", u"〜−‖¢£¬"_qs},
        {"EUC ～ and ¦ in JIS X 0212", false, u"～¦"_qs, "\x8F\xA2\xB7\x8F\xA2\xC3", u"～¦"_qs},
        {"EUC Windows-only characters", false, u"－∥￢￠"_qs, "\xA1\xDD\xA1\xC2\xA2\xCC\xA1\xF1", u"−‖¬¢"_qs},
        {"EUC NEC row 13 and an IBM extension", false, u"①纊"_qs, "\xAD\xA1\x8F\xD4\xE3", u"①纊"_qs},
        {"JIS 〜 − ‖ ¢ £ ¬", true, u"〜−‖¢£¬"_qs, "\x1B$B!A!]!B!q!r\"L\x1B(B", u"〜−‖¢£¬"_qs},
        {"JIS Windows-only characters", true, u"～－∥￢"_qs, "\x1B$B!A!]!B\"L\x1B(B", u"〜−‖¬"_qs},
        {"JIS ¥ and ‾ in JIS X 0201 Roman", true, u"¥1 a‾~"_qs, "\x1B(J\\1\x1B(B a\x1B(J~\x1B(B~", u"¥1 a‾~"_qs},
        {"JIS NEC row 13", true, u"①"_qs, "\x1B$B-!\x1B(B", u"①"_qs},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const EncodedBytes encoded = c.jis ? encodeJis(c.text) : encodeText(CodePage::EucJp, c.text);
        EXPECT_EQ(encoded.bytes, c.bytes);
        EXPECT_EQ(encoded.result, CodeResult::Clean);
        const DecodedText decoded = c.jis ? decodeJis(c.bytes) : decodeBytes(CodePage::EucJp, c.bytes);
        EXPECT_EQ(decoded.text, c.readBack);
        EXPECT_EQ(decoded.result, CodeResult::Clean);
    }
}

// What the iconv program makes of `input`.
QByteArray iconvProgram(const char *from, const char *to, const QByteArray &input)
{
    QProcess iconv;
    iconv.start(QStringLiteral("iconv"), {QStringLiteral("-f"), QString::fromLatin1(from), QStringLiteral("-t"),
                                          QString::fromLatin1(to)});
    iconv.write(input);
    iconv.closeWriteChannel();
    iconv.waitForFinished();
    EXPECT_EQ(iconv.exitCode(), 0) << iconv.readAllStandardError().constData();
    return iconv.readAllStandardOutput();
}

// Every BMP character that the C library's `code` writes, as UTF-16.
QString everyCharacterWritten(const char *code)
{
    QString text;
    const iconv_t descriptor = iconv_open(code, "UTF-16LE");
    for (char32_t value = 0x20; value < 0x10000; ++value) {
        const auto unit = static_cast<char16_t>(value);
        char *in = reinterpret_cast<char *>(const_cast<char16_t *>(&unit));
        size_t inLeft = sizeof unit;
        char bytes[16];
        char *out = bytes;
        size_t room = sizeof bytes;
        iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
        if (!QChar::isSurrogate(unit) && iconv(descriptor, &in, &inLeft, &out, &room) != size_t(-1))
            text += QChar(unit);
    }
    iconv_close(descriptor);
    return text;
}

// Every character of EUC-JP and ISO-2022-JP, read and written by us and by the iconv
// program, byte for byte: each on a line of its own, and all in one run.
TEST(CodePage, EucAndJisAsTheIconvProgram)
{
    QByteArray eucLines;
    QByteArray jisLines;
    for (int first = 0x80; first <= 0xFE; ++first) {
        for (int second = 0xA1; second <= 0xFE; ++second) {
            for (int third = 0xA1; third <= (first == 0x8F ? 0xFE : 0xA1); ++third) {
                QByteArray sequence = QByteArray(1, char(first)) + char(second);
                if (first == 0x8F)
                    sequence += char(third);
                if (iconvCharacter("EUC-JP", sequence))
                    eucLines += sequence + '\n';
                const QByteArray position = "\x1B$B" + QByteArray(1, char(first - 0x80)) + char(second - 0x80);
                if (first >= 0xA1 && iconvCharacter("ISO-2022-JP", position))
                    jisLines += position + "\x1B(B\n";
            }
        }
    }
    jisLines += "\x1B(J\\~a\x1B(B\\~\n";
    ASSERT_GT(eucLines.size(), 13000 * 3);
    ASSERT_GT(jisLines.size(), 6800 * 9);
    const QString eucWritten = everyCharacterWritten("EUC-JP");
    const QString jisWritten = everyCharacterWritten("ISO-2022-JP");
    ASSERT_GT(jisWritten.size(), 6800);
    QString eucEachOnALine;
    QString jisEachOnALine;
    for (const QChar character : eucWritten)
        eucEachOnALine += character + u"\n"_qs;
    for (const QChar character : jisWritten)
        jisEachOnALine += character + u"\n"_qs;

    const struct
    {
        const char *name;
        const char *from;
        const char *to;
        QByteArray input;
        QByteArray ours;
    } cases[] = {
        {"EUC-JP read", "EUC-JP", "UTF-8", eucLines, decodeBytes(CodePage::EucJp, eucLines).text.toUtf8()},
        {"ISO-2022-JP read", "ISO-2022-JP", "UTF-8", jisLines, decodeJis(jisLines).text.toUtf8()},
        {"EUC-JP written, a line each", "UTF-8", "EUC-JP", eucEachOnALine.toUtf8(),
         encodeText(CodePage::EucJp, eucEachOnALine).bytes},
        {"EUC-JP written in one run", "UTF-8", "EUC-JP", eucWritten.toUtf8(),
         encodeText(CodePage::EucJp, eucWritten).bytes},
        {"ISO-2022-JP written, a line each", "UTF-8", "ISO-2022-JP", jisEachOnALine.toUtf8(),
         encodeJis(jisEachOnALine).bytes},
        {"ISO-2022-JP written in one run", "UTF-8", "ISO-2022-JP", jisWritten.toUtf8(), encodeJis(jisWritten).bytes},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray expected = iconvProgram(c.from, c.to, c.input);
        ASSERT_FALSE(expected.isEmpty());
        if (c.ours == expected)
            continue;
        qsizetype at = 0;
        while (at < c.ours.size() && at < expected.size() && c.ours[at] == expected[at])
            ++at;
        ADD_FAILURE() << "first difference at byte " << at << ": ours " << c.ours.mid(at, 12).toHex().constData()
                      << ", iconv " << expected.mid(at, 12).toHex().constData();
    }
}

TEST(CodePage, Cp932FormTableAgreesWithTheEncoder)
{
    for (char32_t value = 0; value < 0x10000; ++value) {
        const auto unit = static_cast<char16_t>(value);
        const EncodedBytes encoded = encodeText(CodePage::Cp932, QStringView(&unit, 1));
        const bool expected = !QChar::isSurrogate(unit) && unit != u'?' && encoded.result == CodeResult::Clean;
        ASSERT_EQ(hasCp932Form(unit), expected) << "unit " << std::hex << quint32(value);
        const bool exact = expected && decodeBytes(CodePage::Cp932, encoded.bytes).text == QStringView(&unit, 1);
        ASSERT_EQ(hasExactCp932Form(unit), exact) << "unit " << std::hex << quint32(value);
    }
}

TEST(CodePage, Cp932ByteCountAgreesWithTheEncoder)
{
    for (char32_t value = 0; value < 0x10000; ++value) {
        const auto unit = static_cast<char16_t>(value);
        const qsizetype expected = encodeText(CodePage::Cp932, QStringView(&unit, 1)).bytes.size();
        ASSERT_EQ(cp932ByteCount(unit), expected) << "unit " << std::hex << quint32(value);
    }
    const struct
    {
        const char *name;
        char16_t unit;
        int bytes;
    } cases[] = {
        {"ASCII letter", u'a', 1},
        {"half-width katakana", u'\uFF71', 1},
        {"hiragana", u'\u3042', 2},
        {"ideographic space", u'\u3000', 2},
        {"NEC circled digit", u'\u2460', 2},
        {"no form: written as one \"?\"", u'\u00E9', 1},
        {"lone surrogate", char16_t(0xD800), 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cp932ByteCount(c.unit), c.bytes);
    }
}

} // namespace
} // namespace platform
