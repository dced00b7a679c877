#include "common/judge_code.h"

#include "platform/code_page.h"
#include "platform/jis_codec.h"
#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>

namespace common {
namespace {

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int value : values)
        bytes.append(static_cast<char>(value));
    return bytes;
}

double scoreOf(double points, qsizetype windowSize)
{
    return points * 100.0 / (double(windowSize) * 2.0);
}

struct Scorer
{
    const char *name;
    std::function<double(QByteArrayView)> score;
};

const Scorer Scorers[] = {
    {"SJIS", ScoreSjis}, {"JIS", ScoreJis},   {"EUC", ScoreEuc},    {"UNICODE", ScoreUnicode},
    {"UTF7", ScoreUtf7}, {"UTF8", ScoreUtf8}, {"BIN", ScoreBinary},
};

double scoreNamed(const char *name, QByteArrayView bytes)
{
    for (const Scorer &scorer : Scorers) {
        if (qstrcmp(scorer.name, name) == 0)
            return scorer.score(bytes);
    }
    ADD_FAILURE() << "no scorer " << name;
    return 0.0;
}

TEST(JudgeCode, ScoresOfSingleRules)
{
    const struct
    {
        const char *name;
        const char *scorer;
        QByteArray bytes;
        double points;
    } cases[] = {
        {"printable, TAB, CR, LF give 1", "SJIS", "a\t\r\n", 4},
        {"other control bytes give 0.5", "SJIS", bytesOf({0x00, 0x07, 0x7F}), 1.5},
        {"form feed gives 1 as TAB does", "SJIS", "a\f\t", 3},
        {"form feed in EUC", "EUC", "\f", 1},
        {"form feed in JIS", "JIS", "\f", 1},
        {"form feed in UTF-7", "UTF7", "\f", 1},
        {"form feed in UTF-8", "UTF8", "\f", 1},
        {"binary form feed", "BIN", "\f\t", 2},
        {"UTF-16 form feed", "UNICODE", bytesOf({0x0C, 0x00}), 4},
        {"Shift-JIS pair", "SJIS", bytesOf({0x88, 0x9F}), 4},
        {"Shift-JIS bad trail", "SJIS", bytesOf({0x88, 0x20}), -4},
        {"Shift-JIS lead at the end", "SJIS", bytesOf({0x41, 0x88}), 1},
        {"Shift-JIS bytes that are never characters", "SJIS", bytesOf({0x80, 0xA0, 0xF0, 0xFF}), 0},
        {"EUC pair read by SJIS as katakana", "SJIS", bytesOf({0xB0, 0xA1}), 2},
        {"EUC pair", "EUC", bytesOf({0xB0, 0xA1}), 4},
        {"Shift-JIS pair read by EUC", "EUC", bytesOf({0x88, 0x9F}), 0},
        {"EUC bad trail", "EUC", bytesOf({0xB0, 0x41}), -4},
        {"EUC katakana", "EUC", bytesOf({0x8E, 0xB1}), 4},
        {"EUC bad katakana", "EUC", bytesOf({0x8E, 0xE0}), -4},
        {"EUC three bytes", "EUC", bytesOf({0x8F, 0xB0, 0xA1}), 6},
        {"EUC bad three bytes", "EUC", bytesOf({0x8F, 0xB0, 0x41}), -6},
        {"EUC three bytes cut", "EUC", bytesOf({0x8F, 0xB0}), 0},
        {"UTF-8 three bytes", "UTF8", bytesOf({0xE3, 0x81, 0x82}), 6},
        {"UTF-8 cut sequence", "UTF8", bytesOf({0xE3, 0x81}), 0},
        {"UTF-8 two bytes", "UTF8", bytesOf({0xC3, 0xA9}), 4},
        {"UTF-8 four bytes", "UTF8", bytesOf({0xF0, 0x9F, 0x98, 0x80}), 8},
        {"UTF-8 five bytes", "UTF8", bytesOf({0xF8, 0x80, 0x80, 0x80, 0x80}), 10},
        {"UTF-8 six bytes", "UTF8", bytesOf({0xFC, 0x80, 0x80, 0x80, 0x80, 0x80}), 12},
        {"UTF-8 lead without continuation", "UTF8", bytesOf({0xE3, 0x41, 0x42}), 2},
        {"JIS escape and pairs", "JIS", "\x1B$B0!0!\x1B(B", 6 + 4 + 4 + 6},
        {"Shift-JIS reading of the same", "SJIS", "\x1B$B0!0!\x1B(B", 0.5 + 2 + 4 + 0.5 + 2},
        {"unknown escape scores nothing", "JIS", "\x1B(Z", 2},
        {"unknown escape keeps the double-byte mode", "JIS", "\x1B$B\x1B(Z0!", 6 + 4 + 4},
        {"escape too near the end", "JIS", "a\x1B$", 2},
        {"katakana mode", "JIS", "\x1B(I1_`", 6 + 1 + 1 + 0},
        {"double-byte mode odd byte", "JIS", "\x1B$@0", 6},
        {"JIS X 0212 mode", "JIS", "\x1B$D0!", 6 + 4},
        {"UTF-7 empty run", "UTF7", "+-", 4},
        {"UTF-7 closed run", "UTF7", "+AGE-", 10},
        {"UTF-7 run with bits left over", "UTF7", "+AGF-", 0},
        {"UTF-7 run with six bits left", "UTF7", "+AAAAA-", 0},
        {"UTF-7 run too short", "UTF7", "+AG-", 0},
        {"UTF-7 run dropped by a space", "UTF7", "+AGE a", 1},
        {"UTF-7 minus outside a run", "UTF7", "a-", 2},
        {"UTF-7 run open at the end", "UTF7", "a+AGE", 1},
        {"UTF-7 plus inside a run", "UTF7", "+A+E-", 10},
        {"binary control bytes", "BIN", bytesOf({0x00, 0x1B, 0x7F, 0x09, 0x41, 0xFF}), 2 + 2 + 2 + 1 + 1 + 1},
        {"UTF-16 unit that looks like two single bytes", "UNICODE", bytesOf({0x00, 0x4E}), 1.5},
        {"UTF-16 unit in the skipped range", "UNICODE", "AB", 0},
        {"UTF-16 ASCII character", "UNICODE", bytesOf({0x41, 0x00}), 4},
        {"UTF-16 control character", "UNICODE", bytesOf({0x07, 0x00}), 1},
        {"UTF-16 line end", "UNICODE", bytesOf({0x0A, 0x00, 0x0D, 0x00}), 8},
        {"UTF-16 hiragana with a low byte up to 0x7E", "UNICODE", bytesOf({0x42, 0x30}), 2},
        {"UTF-16 hiragana with a high low byte", "UNICODE", bytesOf({0x93, 0x30}), 4},
        {"UTF-16 question mark", "UNICODE", bytesOf({0x3F, 0x00}), 0},
        {"UTF-16 hangul is not scored", "UNICODE", bytesOf({0x00, 0xAC}), 0},
        {"UTF-16 lone surrogate", "UNICODE", bytesOf({0x00, 0xD8}), 0},
        {"UTF-16 odd last byte", "UNICODE", bytesOf({0x41, 0x00, 0x42}), 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(scoreNamed(c.scorer, c.bytes), scoreOf(c.points, c.bytes.size()));
    }
}

TEST(JudgeCode, UnicodeScoresEveryUnitByItsCharacterRule)
{
    for (int unit = 0; unit < 0x10000; ++unit) {
        const auto high = static_cast<uchar>(unit >> 8);
        const bool skipped = (high >= 0x34 && high <= 0x4D) || (high >= 0xA0 && high <= 0xD7) || (high >= 0xE0 && high <= 0xF7);
        const QByteArray bytes = bytesOf({unit & 0xFF, unit >> 8});
        const double expected = skipped ? 0.0 : scoreOf(ScoreUnicodeChar(bytes, 0), 2);
        ASSERT_DOUBLE_EQ(ScoreUnicode(bytes), expected) << "unit " << unit;
    }
}

TEST(JudgeCode, WindowStopsAtOneHundredThousandBytes)
{
    const QByteArray prefix(JudgeWindowSize - 1, 'a');
    const QByteArray withTrail = prefix + bytesOf({0x88, 0x9F});
    EXPECT_DOUBLE_EQ(ScoreSjis(withTrail), scoreOf(JudgeWindowSize - 1 + 4, JudgeWindowSize));
    const QByteArray leadLast = prefix + bytesOf({0x88});
    EXPECT_DOUBLE_EQ(ScoreSjis(leadLast), scoreOf(JudgeWindowSize - 1, JudgeWindowSize));
    const QByteArray controlsBehind = QByteArray(JudgeWindowSize, 'a') + QByteArray(5000, '\0');
    EXPECT_DOUBLE_EQ(ScoreBinary(controlsBehind), 50.0);
    EXPECT_EQ(JudgeCode(controlsBehind, true), "SJIS");
}

TEST(JudgeCode, TiesAndTheBinaryRule)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        bool checkBin;
        const char *expected;
    } cases[] = {
        {"plain ASCII", "Hello, world.\r\n", false, "SJIS"},
        {"plain ASCII with BIN allowed", "Hello, world.\r\n", true, "SJIS"},
        {"ASCII source with a page break", "int main();\r\n\f\r\nint x;\r\n", true, "SJIS"},
        {"NUL bytes with BIN allowed", QByteArray(10, '\0'), true, "BIN"},
        {"NUL bytes without", QByteArray(10, '\0'), false, "SJIS"},
        {"UTF-8 and EUC tie, a kanji in EUC and a lone ¡ in UTF-8", bytesOf({0xC2, 0xA1}), false, "EUC"},
        {"Shift-JIS and UTF-8 tie, not UTF-8", bytesOf({0xE3, 0x81, 0x82, 0xE3, 0x81, 0x82, 0x80}), false, "SJIS"},
        {"JIS", "\x1B$B0!0!\x1B(B", false, "JIS"},
        {"EUC", bytesOf({0xB0, 0xA1}), false, "EUC"},
        {"UTF-16", bytesOf({0x93, 0x30, 0x93, 0x30}), false, "UNICODE"},
        {"UTF-16 big-endian behind its mark", bytesOf({0xFE, 0xFF, 0x30, 0x42, 0x00, 0x0D, 0x00, 0x0A}), true,
         "UNICODE"},
        {"UTF-16 little-endian behind its mark", bytesOf({0xFF, 0xFE, 0x0D, 0x00, 0x0A, 0x00}), true, "UNICODE"},
        {"empty", QByteArray(), true, "SJIS"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JudgeCode(c.bytes, c.checkBin), c.expected);
        // The order of preference starts with the judged code; "BIN" and a UTF-16 mark
        // stand alone.
        const QStringList codes = JudgeCodes(c.bytes, c.checkBin);
        EXPECT_EQ(codes.constFirst(), c.expected);
        const bool alone =
            codes.constFirst() == "BIN" || c.bytes.startsWith("\xFF\xFE") || c.bytes.startsWith("\xFE\xFF");
        EXPECT_EQ(codes.size(), alone ? 1 : 6);
    }
    // Behind the judged code, the others by score, ties in the same order.
    EXPECT_EQ(JudgeCodes(bytesOf({0xE3, 0x81, 0x82, 0xE3, 0x81, 0x82, 0x80}), true),
              QStringList({"SJIS", "UTF8", "UNICODE", "JIS", "UTF7", "EUC"}));
}

// Valid UTF-8 with a multi-byte sequence is UTF-8 whatever the scores; the whole bytes
// given decide, not only the window. UTF-7 needs an encoded run: "+-" alone is a plus sign.
TEST(JudgeCode, Utf8TextsAndUtf7Runs)
{
    const QByteArray pastWindow = QByteArray(JudgeWindowSize + 10, 'a') + "\xE2\x80\x99";
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *expected;
    } cases[] = {
        {"Shift-JIS tie of a letter behind C5 81", "\xC5\x81ukasz", "UTF8"},
        {"Shift-JIS ahead of a quote E2 80 99", "module\xE2\x80\x99s", "UTF8"},
        {"only past the window, whole text given", pastWindow, "UTF8"},
        {"only past the window, window given", pastWindow.first(JudgeWindowSize), "SJIS"},
        {"Shift-JIS tie, same bytes twice", bytesOf({0xE3, 0x81, 0x82, 0xE3, 0x81, 0x82}), "UTF8"},
        {"sequence cut by the end of a block", "\xE3\x81\x82\xE3\x81", "UTF8"},
        {"tree drawing with \"+--\"", "+-- a\n+-- b\n", "SJIS"},
        {"UTF-7 run", "+ZeVnLIqe-", "UTF7"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList codes = JudgeCodes(c.bytes, true);
        EXPECT_EQ(codes.value(0), c.expected);
        QStringList distinct = codes;
        distinct.removeDuplicates();
        EXPECT_EQ(distinct.size(), 6);
    }
}

// Bytes that UTF-8 reads and Shift-JIS or EUC reads too are read in the code whose
// reading is likelier text; a judgement where no reading is clearly text is in doubt, as
// is one of bytes that Shift-JIS and EUC both read where the judged code's reading is not
// clearly the likelier.
TEST(JudgeCode, TextsThatTwoCodesRead)
{
    const auto sjis = [](const QString &text) { return platform::encodeText(platform::CodePage::Cp932, text).bytes; };
    const auto euc = [](const QString &text) { return platform::encodeText(platform::CodePage::EucJp, text).bytes; };
    const QByteArray asciiLines = QByteArray("plain line\n").repeated(12000);
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *expected;
        bool inDoubt;
    } cases[] = {
        {"Shift-JIS name, UTF-8 从q", sjis(u"莉子"_qs), "SJIS", false},
        {"Shift-JIS word, UTF-8 经]", sjis(u"扈従"_qs), "SJIS", false},
        {"EUC word, UTF-8 ξΩ", euc(u"両立"_qs), "EUC", false},
        {"EUC kanji, UTF-8 λ, Shift-JIS ﾎｻ", euc(u"了"_qs), "EUC", true},
        {"EUC kanji, UTF-8 combining marks", euc(u"flag\n有\n無\n"_qs), "EUC", false},
        {"EUC kanji behind an ASCII word, no reading text", euc(u"SQL文"_qs), "EUC", true},
        {"EUC text past the window", asciiLines + euc(u"両立\n"_qs), "EUC", false},
        {"Shift-JIS half-width katakana, EUC 浪貼, UTF-8 ϲŽ", sjis(u"ﾏｲﾅｽ"_qs), "EUC", true},
        {"Shift-JIS half-width katakana, EUC 筑粟", sjis(u"ﾃﾞｰﾀ"_qs), "EUC", true},
        {"EUC word, Shift-JIS ﾊﾑｹｹ", euc(u"変更"_qs), "EUC", true},
        {"EUC half-width katakana, Shift-JIS 叱実叱芝", euc(u"ｶﾀｶﾅ"_qs), "SJIS", true},
        {"UTF-8 name, Shift-JIS ﾅ「kasz", u"Łukasz"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 quote, Shift-JIS module窶冱", u"module’s"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 Japanese, Shift-JIS 繝輔ぃ繧､繝ｫ", u"ファイル"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 kanji of one JIS row, Shift-JIS 菴乗園", u"住所"_qs.toUtf8(), "UTF8", true},
        {"UTF-8 word behind a byte-order mark, EUC 鏤水？", u"\uFEFF塩"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 accented word, EUC caf and a kanji", u"café"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 guillemets", u"«Files»"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 Greek word", u"Ωμέγα"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 Cyrillic name", u"Дмитрий"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 copyright sign", u"Copyright © 2001 Keith"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 Greek letter as a symbol in code, EUC 了", u"    (r'λ', Keyword),\n"_qs.toUtf8(), "UTF8", true},
        {"UTF-8 unit behind a letter, EUC k立", asciiLines + u"R1 = 4.7kΩ\n"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 bullets between ASCII", u"%-A\\ \\ ●\\ Console,\n\\ \\ ●\\ %m,"_qs.toUtf8(), "UTF8", false},
        {"UTF-8 letters past the window", asciiLines + u"Mannsåker, Mengué\n"_qs.toUtf8(), "UTF8", false},
        {"no reading is text, UTF-8 stays first", u"doesnմ correspond"_qs.toUtf8(), "UTF8", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CodeJudgement judgement = JudgeText(c.bytes, true);
        EXPECT_EQ(judgement.codes.value(0), c.expected);
        EXPECT_EQ(judgement.inDoubt(), c.inDoubt);
        EXPECT_EQ(JudgeCodes(c.bytes, true), judgement.codes);
    }
}

TEST(JudgeCode, PlainAsciiScoresFiftyEverywhere)
{
    const QByteArray ascii = "The quick brown fox, 1234567890.\r\n";
    for (const Scorer &scorer : Scorers) {
        SCOPED_TRACE(scorer.name);
        if (qstrcmp(scorer.name, "UNICODE") == 0)
            EXPECT_LE(scorer.score(ascii), 50.0);
        else
            EXPECT_DOUBLE_EQ(scorer.score(ascii), 50.0);
    }
}

TEST(JudgeCode, TiedScoresAreReallyTied)
{
    const QByteArray utf8AndEuc = bytesOf({0xC2, 0xA1});
    EXPECT_DOUBLE_EQ(ScoreUtf8(utf8AndEuc), ScoreEuc(utf8AndEuc));
    const QByteArray sjisAndUtf8 = bytesOf({0xE3, 0x81, 0x82, 0xE3, 0x81, 0x82});
    EXPECT_DOUBLE_EQ(ScoreSjis(sjisAndUtf8), ScoreUtf8(sjisAndUtf8));
    EXPECT_DOUBLE_EQ(ScoreBinary(QByteArray(10, '\0')), 100.0);
    EXPECT_DOUBLE_EQ(ScoreSjis(QByteArray(10, '\0')), 25.0);
}

// Text of a Japanese README as such files are written: sentences of kanji and kana with
// ASCII words, half-width katakana and numbers, lines ended by CR LF.
QString japaneseText()
{
    return QStringLiteral("このプログラムは二つのフォルダを比較して、違いのあるファイルを一覧に表示します。\r\n"
                          "設定ファイル Dirgleam.ini は実行ファイルと同じフォルダに置かれます。\r\n"
                          "ﾃｷｽﾄ差分表示ツールで、選択した行のファイルを開くことができます。\r\n"
                          "対応する文字コード：シフトJIS、JIS、EUC、UTF-8、UTF-7、UTF-16。\r\n"
                          "バージョン 1.2.3 (2024年) 著作権表示と使用条件は同梱の文書を参照してください。\r\n");
}

TEST(JudgeCode, JudgesEncodedSamplesShortAndLong)
{
    QString longText;
    while (longText.size() < 200000)
        longText += japaneseText();
    const struct
    {
        const char *expected;
        std::function<QByteArray(const QString &)> encode;
    } codes[] = {
        {"SJIS", [](const QString &text) { return platform::encodeText(platform::CodePage::Cp932, text).bytes; }},
        {"EUC", [](const QString &text) { return platform::encodeText(platform::CodePage::EucJp, text).bytes; }},
        {"JIS", [](const QString &text) { return platform::encodeJis(text).bytes; }},
        {"UTF8", [](const QString &text) { return platform::encodeText(platform::CodePage::Utf8, text).bytes; }},
        {"UTF7", [](const QString &text) { return platform::encodeText(platform::CodePage::Utf7, text).bytes; }},
        {"UNICODE",
         [](const QString &text) {
             return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
         }},
    };
    const QString samples[] = {u"比較結果をファイルに書き出します"_qs, japaneseText(), longText};
    for (const auto &code : codes) {
        for (const QString &sample : samples) {
            SCOPED_TRACE(std::string(code.expected) + " of " + std::to_string(sample.size()) + " characters");
            const QByteArray bytes = code.encode(sample);
            EXPECT_EQ(JudgeCode(bytes, true), code.expected);
            EXPECT_EQ(JudgeCode(bytes, false), code.expected);
        }
    }
}

TEST(JudgeCode, HalfWidthKatakana)
{
    const auto sjis = [](const QString &text) { return platform::encodeText(platform::CodePage::Cp932, text).bytes; };
    const auto euc = [](const QString &text) { return platform::encodeText(platform::CodePage::EucJp, text).bytes; };
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *expected;
    } cases[] = {
        // Shift-JIS katakana bytes lie in 0xA1 to 0xDF, so two of them also make an EUC pair
        // (+4 against +2): katakana alone reads as EUC.
        {"Shift-JIS katakana alone", sjis(u"ｶﾀｶﾅ ﾃｷｽﾄ"_qs), "EUC"},
        {"Shift-JIS katakana among kanji", sjis(u"半角ｶﾀｶﾅを含む文章です。"_qs), "SJIS"},
        // EUC katakana is 0x8E and a byte of 0xA1 to 0xDF: also a valid Shift-JIS pair, and the
        // tie goes to SJIS.
        {"EUC katakana alone", euc(u"ｶﾀｶﾅ"_qs), "SJIS"},
        {"EUC katakana among kanji", euc(u"半角ｶﾀｶﾅを含む文章です。"_qs), "EUC"},
        {"JIS katakana", platform::encodeJis(u"ｶﾀｶﾅﾃｷｽﾄ"_qs).bytes, "JIS"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JudgeCode(c.bytes, true), c.expected);
    }
}

// The scorers as plain walks, one per code over the window, so that the block-wise
// scorers can be checked against them on any input.
namespace reference {

using HalfPoints = qint64;

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
    qsizetype after(qsizetype index) const { return size - index - 1; }
    double score(HalfPoints half) const { return windowEnd == 0 ? 0.0 : double(half) * 25.0 / double(windowEnd); }
};

bool inRange(uchar byte, uchar low, uchar high)
{
    return byte >= low && byte <= high;
}

bool isTextControl(uchar byte)
{
    return byte == 0x09 || byte == 0x0A || byte == 0x0C || byte == 0x0D;
}

int singleByte(uchar byte)
{
    if (inRange(byte, 0x20, 0x7E) || isTextControl(byte))
        return 2;
    return byte < 0x20 || byte == 0x7F ? 1 : 0;
}

int base64Value(uchar byte)
{
    static const QByteArray alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    return int(alphabet.indexOf(char(byte)));
}

double scoreSjis(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    qsizetype index = 0;
    while (index < sample.windowEnd) {
        const uchar byte = sample.data[index];
        if ((inRange(byte, 0x81, 0x9F) || inRange(byte, 0xE0, 0xEF)) && sample.after(index) >= 1) {
            const uchar next = sample.data[index + 1];
            half += inRange(next, 0x40, 0x7E) || inRange(next, 0x80, 0xFC) ? 8 : -8;
            index += 2;
        } else {
            half += inRange(byte, 0xA1, 0xDF) ? 2 : singleByte(byte);
            ++index;
        }
    }
    return sample.score(half);
}

double scoreJis(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    int mode = 0;
    qsizetype index = 0;
    while (index < sample.windowEnd) {
        const uchar byte = sample.data[index];
        if (byte == 0x1B) {
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
            half += singleByte(byte);
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

double scoreEuc(QByteArrayView bytes)
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
            half += inRange(sample.data[index + 1], 0xA1, 0xFE) && inRange(sample.data[index + 2], 0xA1, 0xFE) ? 12 : -12;
            index += 3;
        } else if (inRange(byte, 0xA1, 0xFE) && sample.after(index) >= 1) {
            half += inRange(sample.data[index + 1], 0xA1, 0xFE) ? 8 : -8;
            index += 2;
        } else {
            half += singleByte(byte);
            ++index;
        }
    }
    return sample.score(half);
}

double scoreUtf8(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    qsizetype index = 0;
    while (index < sample.windowEnd) {
        const uchar byte = sample.data[index];
        const int continuations = byte < 0xC0 ? 0 : byte <= 0xDF ? 1 : byte <= 0xEF ? 2 : byte <= 0xF7 ? 3 : byte <= 0xFB ? 4 : 5;
        if (continuations == 0) {
            half += singleByte(byte);
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

double scoreUnicode(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    for (qsizetype index = 0; index + 1 < sample.windowEnd; index += 2) {
        const uchar high = sample.data[index + 1];
        const bool scored = inRange(high, 0x00, 0x33) || inRange(high, 0x4E, 0x9F) || inRange(high, 0xD8, 0xDF)
                            || inRange(high, 0xF8, 0xFF);
        if (scored)
            half += HalfPoints(2 * ScoreUnicodeChar(bytes, index));
    }
    return sample.score(half);
}

struct Utf7Reading
{
    double score;
    bool encodedRun; // a run of base64 bytes behind a "+" that scored as closed
};

Utf7Reading readUtf7(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    bool encodedRun = false;
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
            else if (count >= 4 && leftover < 6 && (base64Value(sample.data[index - 1]) & mask) == 0) {
                half += 4 * (count + 1);
                encodedRun = true;
            }
            inRun = false;
            count = 0;
        } else if (inRun) {
            if (base64Value(byte) >= 0) {
                leftover = int((6 * count) % 8);
                mask = (1 << leftover) - 1;
                ++count;
            } else {
                inRun = false;
                count = 0;
            }
        } else {
            half += singleByte(byte);
        }
    }
    return {sample.score(half), encodedRun};
}

double scoreUtf7(QByteArrayView bytes)
{
    return readUtf7(bytes).score;
}

bool decodesAsUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(bytes);
    return !decoder.hasError();
}

// UTF-8 throughout, with at least one byte of 0x80 or above; a sequence cut off by the end
// counts when some continuation bytes would complete it.
bool isMultiByteUtf8(QByteArrayView bytes)
{
    if (std::none_of(bytes.begin(), bytes.end(), [](char byte) { return uchar(byte) >= 0x80; }))
        return false;
    const QByteArray whole = bytes.toByteArray();
    if (decodesAsUtf8(whole))
        return true;
    for (const uchar first : {0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF}) {
        for (int length = 1; length <= 3; ++length) {
            if (decodesAsUtf8(whole + char(first) + QByteArray(length - 1, '\x80')))
                return true;
        }
    }
    return false;
}

double scoreBinary(QByteArrayView bytes)
{
    const Sample sample(bytes);
    HalfPoints half = 0;
    for (qsizetype index = 0; index < sample.windowEnd; ++index) {
        const uchar byte = sample.data[index];
        half += (byte < 0x20 && !isTextControl(byte)) || byte == 0x7F ? 2 : 1;
    }
    return sample.score(2 * half);
}

QString judgeCode(QByteArrayView bytes, bool checkBin)
{
    if (bytes.size() >= 2 && ((uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xFE)
                              || (uchar(bytes[0]) == 0xFE && uchar(bytes[1]) == 0xFF)))
        return "UNICODE";
    const Utf7Reading utf7 = readUtf7(bytes);
    const std::pair<double, const char *> scores[] = {
        {scoreSjis(bytes), "SJIS"}, {scoreUnicode(bytes), "UNICODE"}, {scoreJis(bytes), "JIS"},
        {utf7.encodedRun ? utf7.score : 0.0, "UTF7"}, {scoreUtf8(bytes), "UTF8"}, {scoreEuc(bytes), "EUC"},
        {checkBin ? scoreBinary(bytes) : 0.0, "BIN"},
    };
    const auto *best = &scores[0];
    for (const auto &candidate : scores) {
        if (candidate.first > best->first)
            best = &candidate;
    }
    if (qstrcmp(best->second, "BIN") != 0 && isMultiByteUtf8(bytes))
        return "UTF8";
    return QString::fromLatin1(best->second);
}

// The answers the judge may give: judgeCode's, and where that is UTF-8 for bytes that
// Shift-JIS or EUC reads too, the readings decide between these codes (TextLikeness).
QStringList judgeCodes(QByteArrayView bytes, bool checkBin)
{
    const QString code = judgeCode(bytes, checkBin);
    QStringList codes{code};
    if (code != u"UTF8" || !isMultiByteUtf8(bytes))
        return codes;
    if (platform::decodeBytes(platform::CodePage::Cp932, bytes).result == platform::CodeResult::Clean)
        codes.append("SJIS");
    if (platform::decodeBytes(platform::CodePage::EucJp, bytes).result == platform::CodeResult::Clean)
        codes.append("EUC");
    return codes;
}

} // namespace reference

// Bytes that the scorers treat in a way of their own, and their neighbours.
constexpr uchar NotableBytes[] = {
    0x00, 0x07, 0x09, 0x0A, 0x0C, 0x0D, 0x1B, 0x1F, 0x20, 0x21, '$',  '(',  '+',  '-',  '/',  '0',  '9',
    '@',  'A',  'B',  'D',  'E',  'F',  'I',  'J',  'Z',  'a',  'z',  0x5F, 0x60, 0x7E, 0x7F, 0x80,
    0x81, 0x88, 0x8E, 0x8F, 0x9F, 0xA0, 0xA1, 0xB0, 0xBF, 0xC0, 0xC3, 0xDF, 0xE0, 0xE3, 0xEF, 0xF0,
    0xF7, 0xF8, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF,
};

// Test inputs of every kind the scorers must agree on, from a fixed seed.
class SampleMaker
{
public:
    uchar anyByte() { return static_cast<uchar>(m_random() & 0xFF); }
    uchar notableByte() { return NotableBytes[m_random() % std::size(NotableBytes)]; }
    qsizetype below(qsizetype limit) { return limit <= 0 ? 0 : qsizetype(m_random() % quint64(limit)); }

    QByteArray randomBytes(qsizetype size, bool notable)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &byte : bytes)
            byte = static_cast<char>(notable ? notableByte() : anyByte());
        return bytes;
    }

    // Plain ASCII with a notable byte here and there, so that long plain stretches meet
    // every kind of sequence at every offset.
    QByteArray mostlyAscii(qsizetype size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &byte : bytes)
            byte = below(12) == 0 ? static_cast<char>(notableByte()) : static_cast<char>(0x20 + below(0x5F));
        return bytes;
    }

    // `bytes` with a few of its bytes overwritten, cut, or given a run of 0xFF, a lone
    // escape or a lone "+".
    QByteArray damaged(QByteArray bytes)
    {
        const int changes = int(below(4));
        for (int change = 0; change < changes && !bytes.isEmpty(); ++change) {
            const qsizetype at = below(bytes.size());
            switch (below(5)) {
            case 0:
                bytes[at] = static_cast<char>(notableByte());
                break;
            case 1:
                bytes.truncate(at);
                break;
            case 2:
                bytes.insert(at, QByteArray(below(80) + 1, '\xFF'));
                break;
            case 3:
                bytes.insert(at, '\x1B');
                break;
            default:
                bytes.insert(at, '+');
                break;
            }
        }
        return bytes;
    }

private:
    std::mt19937_64 m_random{20240611};
};

// Japanese text in each code the judge knows, with and without byte-order marks.
QList<QByteArray> encodedTexts(const QString &text)
{
    QList<QByteArray> texts = {
        platform::encodeText(platform::CodePage::Cp932, text).bytes,
        platform::encodeText(platform::CodePage::EucJp, text).bytes,
        platform::encodeJis(text).bytes,
        platform::encodeText(platform::CodePage::Utf8, text).bytes,
        platform::encodeText(platform::CodePage::Utf7, text).bytes,
        QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2),
    };
    texts.append("\xEF\xBB\xBF" + texts[3]);
    texts.append("\xFF\xFE" + texts[5]);
    texts.append(texts[5].chopped(1));
    return texts;
}

void expectSameAsReference(const QByteArray &bytes)
{
    SCOPED_TRACE("size " + std::to_string(bytes.size()) + ", starts " + bytes.left(16).toHex().toStdString());
    const struct
    {
        const char *name;
        double (*score)(QByteArrayView);
        double (*expected)(QByteArrayView);
    } scorers[] = {
        {"SJIS", ScoreSjis, reference::scoreSjis},          {"JIS", ScoreJis, reference::scoreJis},
        {"EUC", ScoreEuc, reference::scoreEuc},             {"UNICODE", ScoreUnicode, reference::scoreUnicode},
        {"UTF7", ScoreUtf7, reference::scoreUtf7},          {"UTF8", ScoreUtf8, reference::scoreUtf8},
        {"BIN", ScoreBinary, reference::scoreBinary},
    };
    for (const auto &scorer : scorers) {
        // Equal to the last bit: a tie between two codes must stay a tie.
        const double score = scorer.score(bytes);
        const double expected = scorer.expected(bytes);
        EXPECT_EQ(std::memcmp(&score, &expected, sizeof score), 0) << scorer.name << " " << score << " against " << expected;
    }
    for (const bool checkBin : {true, false}) {
        const QString code = JudgeCode(bytes, checkBin);
        EXPECT_TRUE(reference::judgeCodes(bytes, checkBin).contains(code)) << code.toStdString();
    }
}

TEST(JudgeCodeReference, ShortInputsOfNotableBytes)
{
    expectSameAsReference(QByteArray());
    for (int first = 0; first < 256; ++first) {
        expectSameAsReference(QByteArray(1, static_cast<char>(first)));
        for (const uchar second : NotableBytes) {
            for (const uchar third : {uchar(0x1B), uchar('-'), uchar(0x80), uchar(0xA1), uchar('B')})
                expectSameAsReference(bytesOf({first, second, third}));
        }
    }
}

TEST(JudgeCodeReference, RandomInputs)
{
    SampleMaker maker;
    // Sizes around the 64-byte steps of the scorers, and random ones.
    QList<qsizetype> sizes = {63, 64, 65, 68, 69, 70, 71, 72, 73, 127, 128, 129, 133, 136, 137, 191, 192, 193, 200};
    for (int count = 0; count < 150; ++count)
        sizes.append(1 + maker.below(700));
    for (const qsizetype size : sizes) {
        expectSameAsReference(maker.randomBytes(size, false));
        expectSameAsReference(maker.randomBytes(size, true));
        expectSameAsReference(maker.mostlyAscii(size));
    }
}

TEST(JudgeCodeReference, EncodedTextsWholeAndDamaged)
{
    QString text;
    while (text.size() < 1500)
        text += japaneseText() + u"+plus- 1+1=2 -minus- ﾊﾝｶｸ 😀 ①\t\r\n"_qs;
    SampleMaker maker;
    for (const QByteArray &encoded : encodedTexts(text)) {
        expectSameAsReference(encoded);
        for (int count = 0; count < 20; ++count) {
            const QByteArray part = encoded.mid(maker.below(encoded.size()), 1 + maker.below(600));
            expectSameAsReference(part);
            expectSameAsReference(maker.damaged(part));
        }
    }
}

// Inputs that end near the window's last byte, and inputs that go on behind it, so that a
// sequence started inside the window takes its bytes from behind it.
TEST(JudgeCodeReference, AroundTheWindowEnd)
{
    SampleMaker maker;
    QString text;
    while (text.size() < JudgeWindowSize)
        text += japaneseText();
    const QList<QByteArray> bodies = encodedTexts(text);
    for (const qsizetype size : {JudgeWindowSize - 70, JudgeWindowSize - 5, JudgeWindowSize - 1, JudgeWindowSize,
                                 JudgeWindowSize + 1, JudgeWindowSize + 2, JudgeWindowSize + 6, JudgeWindowSize + 100}) {
        for (const QByteArray &body : bodies) {
            QByteArray bytes = body.left(JudgeWindowSize - 8);
            while (bytes.size() < size)
                bytes.append(static_cast<char>(maker.notableByte()));
            expectSameAsReference(bytes.left(size));
        }
        QByteArray ascii = maker.mostlyAscii(size);
        expectSameAsReference(ascii);
        for (const char last : {'\x1B', '\x88', '\x8F', '\xA1', '\xE3', '\xFC', '+'}) {
            ascii[JudgeWindowSize - 1 < size ? JudgeWindowSize - 1 : size - 1] = last;
            expectSameAsReference(ascii);
        }
    }
}

TEST(JudgeCode, BadInputGivesACodeName)
{
    const QByteArray inputs[] = {
        QByteArray(),
        bytesOf({0xFF, 0xFE}),
        bytesOf({0xEF, 0xBB, 0xBF}),
        bytesOf({0x1B}),
        bytesOf({0x1B, 0x24}),
        bytesOf({0x8F}),
        bytesOf({0x8F, 0xA1}),
        bytesOf({0xFC, 0x80, 0x80}),
        QByteArray(1000, '\xFF'),
        QByteArray(3, '+'),
        bytesOf({0x41, 0x00, 0x42}),
    };
    const QStringList names = {"SJIS", "JIS", "EUC", "UNICODE", "UTF7", "UTF8", "BIN"};
    for (const QByteArray &input : inputs) {
        SCOPED_TRACE(input.toHex().toStdString());
        EXPECT_TRUE(names.contains(JudgeCode(input, true)));
        EXPECT_NE(JudgeCode(input, false), "BIN");
        EXPECT_DOUBLE_EQ(ScoreUnicodeChar(input, input.size() - 1), 0.0);
    }
}

} // namespace
} // namespace common
