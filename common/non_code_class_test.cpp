#include "common/non_code_class.h"

#include "common/common_module.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace common {
namespace {

using platform::testing::ScriptedDialogs;

const QString Bad = QString(QChar(QChar::ReplacementCharacter));

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int value : values)
        bytes.append(static_cast<char>(value));
    return bytes;
}

class NonCodeClassTest : public ::testing::Test
{
protected:
    void TearDown() override { BatchMode = false; }

    // Decodes by code name as the readers do; "UNICODE" needs no back end.
    QString decode(const QString &code, const QByteArray &bytes)
    {
        if (code == "SJIS")
            return m_codes.SJIS_To_VbUnicode(bytes);
        if (code == "JIS")
            return m_codes.JIS_To_VbUnicode(bytes);
        if (code == "EUC")
            return m_codes.EUC_To_VbUnicode(bytes);
        if (code == "UNICODE")
            return m_codes.UNICODE_To_VbUnicode(bytes);
        if (code == "UTF7")
            return m_codes.UTF7_To_VbUnicode(bytes);
        return m_codes.UTF8_To_VbUnicode(bytes);
    }

    QByteArray encode(const QString &code, const QString &text)
    {
        if (code == "SJIS")
            return m_codes.VbUnicode_To_SJIS(text);
        if (code == "JIS")
            return m_codes.VbUnicode_To_JIS(text);
        if (code == "EUC")
            return m_codes.VbUnicode_To_EUC(text);
        if (code == "UNICODE")
            return m_codes.VbUnicode_To_UNICODE(text, false);
        if (code == "UTF7")
            return m_codes.VbUnicode_To_UTF7(text);
        return m_codes.VbUnicode_To_UTF8(text, false);
    }

    ScriptedDialogs m_dialogs;
    NonCodeClass m_codes;
};

TEST_F(NonCodeClassTest, FuncRogicKeepsOnlyZeroAndOne)
{
    EXPECT_EQ(m_codes.FuncRogic(), 0);
    const struct
    {
        int value;
        qint16 stored;
    } cases[] = {{1, 1}, {0, 0}, {5, 0}, {-1, 0}, {65537, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        m_codes.setFuncRogic(1);
        m_codes.setFuncRogic(c.value);
        EXPECT_EQ(m_codes.FuncRogic(), c.stored);
    }
}

TEST_F(NonCodeClassTest, EveryCodeRoundTripsAndIsJudgedBack)
{
    const QString text = u"比較結果を書き出します。ﾃｷｽﾄ ① 纊 + - ASCII\r\n2行目\r\n"_qs;
    const char *codes[] = {"SJIS", "JIS", "EUC", "UNICODE", "UTF7", "UTF8"};
    for (const int funcRogic : {0, 1}) {
        for (const char *code : codes) {
            if (funcRogic == 1 && qstrcmp(code, "EUC") == 0)
                continue;
            SCOPED_TRACE(std::string(code) + " back end " + std::to_string(funcRogic));
            m_codes.setFuncRogic(funcRogic);
            const QByteArray bytes = encode(code, text);
            EXPECT_TRUE(m_codes.lastConversionClean());
            EXPECT_EQ(NonCodeClass::GetCodeName(bytes, true), code);
            EXPECT_EQ(decode(code, bytes), text);
            EXPECT_TRUE(m_codes.lastConversionClean());
        }
    }
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(NonCodeClassTest, ByteOrderMarks)
{
    EXPECT_EQ(m_codes.UTF8_To_VbUnicode(bytesOf({0xEF, 0xBB, 0xBF, 0x41})), "A");
    EXPECT_EQ(m_codes.UTF8_To_VbUnicode(bytesOf({0xEF, 0xBB, 0xBF})), "");
    EXPECT_TRUE(m_codes.lastConversionClean());
    EXPECT_EQ(m_codes.UTF8_To_VbUnicode(bytesOf({0x41, 0xEF, 0xBB, 0xBF})), u"A\uFEFF"_qs);
    EXPECT_EQ(m_codes.UNICODE_To_VbUnicode(bytesOf({0xFF, 0xFE, 0x41, 0x00})), "A");
    EXPECT_EQ(m_codes.UNICODE_To_VbUnicode(bytesOf({0xFF, 0xFE})), "");
    EXPECT_TRUE(m_codes.lastConversionClean());
    EXPECT_EQ(m_codes.UNICODE_To_VbUnicode(bytesOf({0x41, 0x00, 0xFF, 0xFE})), u"A\uFEFF"_qs);
    EXPECT_EQ(m_codes.UNICODE_To_VbUnicode(bytesOf({0xFE, 0xFF, 0x30, 0x42, 0x00, 0x0A})), u"あ\n"_qs)
        << "big-endian behind its mark";

    for (const int funcRogic : {0, 1}) {
        SCOPED_TRACE(funcRogic);
        m_codes.setFuncRogic(funcRogic);
        EXPECT_EQ(m_codes.VbUnicode_To_UTF8(u"あ"_qs, false), bytesOf({0xE3, 0x81, 0x82}));
        EXPECT_EQ(m_codes.VbUnicode_To_UTF8(u"あ"_qs, true), bytesOf({0xEF, 0xBB, 0xBF, 0xE3, 0x81, 0x82}));
        EXPECT_EQ(m_codes.VbUnicode_To_UTF8(QString(), true), bytesOf({0xEF, 0xBB, 0xBF}));
    }
    EXPECT_EQ(m_codes.VbUnicode_To_UNICODE(u"A"_qs, false), bytesOf({0x41, 0x00}));
    EXPECT_EQ(m_codes.VbUnicode_To_UNICODE(u"あ"_qs, true), bytesOf({0xFF, 0xFE, 0x42, 0x30}));
}

TEST_F(NonCodeClassTest, CutAndAddBom)
{
    const QByteArray mark = NonCodeClass::Utf8Bom.toByteArray();
    const struct
    {
        const char *name;
        QByteArray bytes;
        QByteArray cut;
    } cases[] = {
        {"mark and text", mark + "ab", "ab"},
        {"mark alone", mark, ""},
        {"empty", "", ""},
        {"shorter than the mark", "\xEF\xBB", "\xEF\xBB"},
        {"mark later", "a" + mark, "a" + mark},
        {"two marks lose one", mark + mark, mark},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NonCodeClass::CutBOM(c.bytes, mark), c.cut);
        EXPECT_EQ(NonCodeClass::AddBOM(c.bytes, mark), mark + c.bytes);
    }
}

TEST_F(NonCodeClassTest, CodePageBackEndRefusesEuc)
{
    m_codes.setFuncRogic(1);
    EXPECT_EQ(m_codes.EUC_To_VbUnicode(bytesOf({0xA4, 0xA2})), "");
    EXPECT_EQ(m_codes.lastConversion(), ConversionState::Refused);
    EXPECT_EQ(m_codes.VbUnicode_To_EUC(u"あ"_qs), "");
    EXPECT_EQ(m_codes.lastConversion(), ConversionState::Refused);
    ASSERT_EQ(m_dialogs.shown().size(), 2);
    for (const auto &shown : m_dialogs.shown()) {
        EXPECT_EQ(shown.prompt, "EUCはサポートされていません");
        EXPECT_EQ(shown.style, platform::MessageStyle::IconCritical);
    }

    m_codes.setFuncRogic(0);
    EXPECT_EQ(m_codes.EUC_To_VbUnicode(bytesOf({0xA4, 0xA2})), u"あ"_qs);
    EXPECT_TRUE(m_codes.lastConversionClean());
    EXPECT_EQ(m_dialogs.shown().size(), 2);
}

TEST_F(NonCodeClassTest, EucRefusalShowsNoBoxInABatchRun)
{
    BatchMode = true;
    m_codes.setFuncRogic(1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(m_codes.EUC_To_VbUnicode(bytesOf({0xA4, 0xA2})), "");
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(m_codes.lastConversion(), ConversionState::Refused);
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
    EXPECT_NE(QString::fromLocal8Bit(errors.c_str()).indexOf("EUCはサポートされていません"), -1);
}

TEST_F(NonCodeClassTest, FailedDecodingIsNeitherEmptyNorClean)
{
    // Two different broken files must not both come out as "" and compare equal.
    const struct
    {
        const char *code;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"SJIS", bytesOf({0x41, 0x82}), u"A"_qs + Bad},
        {"SJIS", bytesOf({0xFF, 0xFF}), Bad + Bad},
        {"JIS", bytesOf({0x1B}), Bad},
        {"EUC", bytesOf({0xA4}), Bad},
        {"UTF8", bytesOf({0xE3, 0x81}), Bad + Bad},
        {"UTF7", "+", Bad},
        {"UNICODE", bytesOf({0x41, 0x00, 0x42}), u"A"_qs + Bad},
        {"UNICODE", bytesOf({0xFF, 0xFE, 0x42}), Bad},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.code) + " " + c.bytes.toHex().toStdString());
        m_codes.setFuncRogic(0);
        EXPECT_EQ(decode(c.code, c.bytes), c.text);
        EXPECT_EQ(m_codes.lastConversion(), ConversionState::InvalidBytes);
        EXPECT_EQ(decode(c.code, QByteArray()), "");
        EXPECT_TRUE(m_codes.lastConversionClean());
    }
}

TEST_F(NonCodeClassTest, DecodingByNameKeepsTheBackEndChoice)
{
    const QString text = u"比較 ①"_qs;
    const struct
    {
        const char *code;
        const char *encodeAs;
    } cases[] = {
        {"SJIS", "SJIS"}, {"JIS", "JIS"},   {"EUC", "EUC"},      {"UNICODE", "UNICODE"},
        {"UTF7", "UTF7"}, {"UTF8", "UTF8"}, {"BIN", "SJIS"},     {"", "SJIS"},
    };
    for (const int funcRogic : {0, 1}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.code) + " back end " + std::to_string(funcRogic));
            m_codes.setFuncRogic(0);
            const QByteArray bytes = encode(c.encodeAs, text);
            m_codes.setFuncRogic(funcRogic);
            EXPECT_EQ(m_codes.ToVbUnicode(c.code, bytes), text);
            EXPECT_TRUE(m_codes.lastConversionClean());
            EXPECT_EQ(m_codes.FuncRogic(), funcRogic);
        }
    }
    // EUC goes through the charset back end whatever FuncRogic holds: nothing is refused.
    EXPECT_TRUE(m_dialogs.shown().isEmpty());

    EXPECT_EQ(m_codes.ToVbUnicode("UTF8", bytesOf({0xE3, 0x81})), Bad + Bad);
    EXPECT_EQ(m_codes.lastConversion(), ConversionState::InvalidBytes);
}

TEST_F(NonCodeClassTest, UnrepresentableCharactersAreReported)
{
    const QString text = u"表가"_qs;
    const struct
    {
        const char *code;
        QByteArray bytes;
    } cases[] = {
        {"SJIS", "\x95\x5C?"},
        {"EUC", "\xC9\xBD?"},
        {"JIS", "\x1B$BI=\x1B(B?"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(encode(c.code, text), c.bytes);
        EXPECT_EQ(m_codes.lastConversion(), ConversionState::Unrepresentable);
        encode(c.code, u"表"_qs);
        EXPECT_TRUE(m_codes.lastConversionClean());
    }
}

TEST_F(NonCodeClassTest, HexDumpLayout)
{
    QByteArray every;
    for (int value = 0; value < 256; ++value)
        every.append(static_cast<char>(value));
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString dump;
    } cases[] = {
        {"empty", QByteArray(), QString()},
        {"leading zeros and capitals", bytesOf({0x00, 0x0F, 0xA5, 0xFF}), u"000FA5FF"_qs},
        {"thirty-two bytes end with a line end", QByteArray(32, '\x01'), u"01"_qs.repeated(32) + u"\r\n"_qs},
        {"thirty-three bytes", QByteArray(33, '\xAB'), u"AB"_qs.repeated(32) + u"\r\nAB"_qs},
        {"sixty-four bytes", QByteArray(64, '\x10'), (u"10"_qs.repeated(32) + u"\r\n"_qs).repeated(2)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NonCodeClass::BIN_To_VbUnicode(c.bytes), c.dump);
    }
    const QString dump = NonCodeClass::BIN_To_VbUnicode(every);
    const QStringList lines = dump.split(u"\r\n"_qs);
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines.last(), "");
    for (int line = 0; line < 8; ++line)
        EXPECT_EQ(QByteArray::fromHex(lines[line].toLatin1()), every.mid(line * 32, 32));
    for (qsizetype count = 0; count < 100; ++count) {
        SCOPED_TRACE(count);
        EXPECT_EQ(NonCodeClass::BIN_To_VbUnicode(QByteArray(count, 'x')).size(), 66 * (count / 32) + 2 * (count % 32));
    }
}

TEST_F(NonCodeClassTest, LineEnds)
{
    const struct
    {
        const char *name;
        QString text;
        QString check;
        QString toLf;
        QString toCrLf;
        QString everyEndCr; // ChangeLineEnds to CR
    } cases[] = {
        {"empty", "", "\r\n", "", "", ""},
        {"no line end", "abc", "\r\n", "abc", "abc", "abc"},
        {"LF ends", "a\nb\n", "\n", "a\nb\n", "a\r\nb\r\n", "a\rb\r"},
        {"CR LF ends", "a\r\nb\r\n", "\r\n", "a\nb\n", "a\r\nb\r\n", "a\rb\r"},
        {"one CR LF among LF ends", "a\nb\r\nc\nd\n", "\r\n", "a\nb\nc\nd\n", "a\r\nb\r\nc\r\nd\r\n", "a\rb\rc\rd\r"},
        {"CR ends count as CR LF and stay", "a\rb\r", "\r\n", "a\rb\r", "a\rb\r", "a\rb\r"},
        {"CR before CR LF", "a\r\r\nb", "\r\n", "a\r\nb", "a\r\r\nb", "a\r\rb"},
        {"LF before CR", "a\n\rb", "\n", "a\n\rb", "a\r\n\rb", "a\r\rb"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NonCodeClass::CheckCrLf(c.text), c.check);
        EXPECT_EQ(NonCodeClass::ChangeCrLfToLf(c.text), c.toLf);
        EXPECT_EQ(NonCodeClass::ChangeLfToCrLf(c.text), c.toCrLf);
        EXPECT_EQ(NonCodeClass::ChangeLineEnds(c.text, u"\r"), c.everyEndCr);
        QString lf = c.everyEndCr;
        EXPECT_EQ(NonCodeClass::ChangeLineEnds(c.text, u"\n"), lf.replace(u'\r', u'\n'));
        EXPECT_EQ(NonCodeClass::ChangeLineEnds(c.text, u"\r\n"), lf.replace(u"\n"_qs, u"\r\n"_qs));
    }
}

TEST_F(NonCodeClassTest, EveryMemberTakesBadInput)
{
    const QByteArray inputs[] = {
        QByteArray(),
        bytesOf({0xFF, 0xFE}),
        bytesOf({0xEF, 0xBB, 0xBF}),
        bytesOf({0x1B}),
        bytesOf({0x1B, 0x24}),
        bytesOf({0x1B, 0x24, 0x42, 0x30}),
        bytesOf({0x82}),
        bytesOf({0xE3, 0x81}),
        bytesOf({0x8F, 0xA1}),
        bytesOf({0x41, 0x00, 0x42}),
        QByteArray(4097, '\xFF'),
        QByteArray(4097, '+'),
        QByteArray(4097, '\x1B'),
        QByteArray("+AAAA"),
    };
    const char *codes[] = {"SJIS", "JIS", "EUC", "UNICODE", "UTF7", "UTF8"};
    for (const int funcRogic : {0, 1}) {
        m_codes.setFuncRogic(funcRogic);
        for (const QByteArray &input : inputs) {
            for (const char *code : codes) {
                SCOPED_TRACE(std::string(code) + " " + input.left(8).toHex().toStdString() + " back end "
                             + std::to_string(funcRogic));
                const QString text = decode(code, input);
                EXPECT_LE(text.size(), input.size());
                if (m_codes.lastConversion() == ConversionState::Clean) {
                    EXPECT_EQ(text.indexOf(Bad), -1);
                }
                if (m_codes.lastConversion() == ConversionState::InvalidBytes) {
                    EXPECT_NE(text.indexOf(Bad), -1);
                }
                encode(code, text);
                EXPECT_NE(m_codes.lastConversion(), ConversionState::Failed);
            }
            EXPECT_TRUE(QStringList({"SJIS", "JIS", "EUC", "UNICODE", "UTF7", "UTF8", "BIN"})
                            .contains(NonCodeClass::GetCodeName(input, true)));
            EXPECT_EQ(NonCodeClass::BIN_To_VbUnicode(input).size(),
                      66 * (input.size() / 32) + 2 * (input.size() % 32));
        }
    }
}

} // namespace
} // namespace common
