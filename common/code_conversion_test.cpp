#include "common/code_conversion.h"

#include "common/non_code_class.h"
#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace common {
namespace {

// A text long enough to be converted in pieces gives the bytes of a conversion in one
// piece, and a byte that its code does not read, or a character without a form in the
// target, far behind the first piece still tells.
TEST(ConvertCode, PiecesGiveTheBytesOfOnePiece)
{
    NonCodeClass codes;
    QString text;
    while (text.size() < 6'000'000)
        text += u"日本語の行とASCII、半角ｶﾀｶﾅ。\r\nCR だけの行\rLF だけの行\n"_qs;
    const QByteArray sjis = codes.VbUnicode_To_SJIS(text);
    const QByteArray euc = codes.VbUnicode_To_EUC(text);
    const QByteArray utf8 = codes.VbUnicode_To_UTF8(text, true);
    const QString lf = NonCodeClass::ChangeLineEnds(text, u"\n");
    const QString crLf = NonCodeClass::ChangeLineEnds(text, u"\r\n");
    const struct
    {
        const char *name;
        QStringList codes;
        QByteArray bytes;
        QString target;
        QString lineEnd;
        const char *read;
        QByteArray expected;
    } cases[] = {
        {"Shift-JIS to UTF-8", {"SJIS"}, sjis, "UTF8", "\n", "SJIS", codes.VbUnicode_To_UTF8(lf, false)},
        {"EUC to UTF-16", {"EUC"}, euc, "UNICODE", "\r\n", "EUC", codes.VbUnicode_To_UNICODE(crLf, false)},
        {"UTF-8 with its mark to EUC", {"UTF8"}, utf8, "EUC", "\n", "UTF8", codes.VbUnicode_To_EUC(lf)},
        {"Shift-JIS to JIS, in one piece", {"SJIS"}, sjis, "JIS", "\n", "SJIS", codes.VbUnicode_To_JIS(lf)},
        {"a byte UTF-8 does not read near the end: the next code", {"UTF8", "SJIS"}, sjis.chopped(40) + "\xFF" + sjis.right(40),
         "UTF8", "\n", "", QByteArray()},
        {"the next code that reads it", {"UTF8", "SJIS"}, sjis, "UTF8", "\n", "SJIS", codes.VbUnicode_To_UTF8(lf, false)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CodeConversion conversion = ConvertCode(c.codes, c.bytes, c.target, c.lineEnd);
        EXPECT_EQ(conversion.code, c.read);
        EXPECT_EQ(conversion.encoded, !c.expected.isEmpty());
        EXPECT_TRUE(conversion.bytes == c.expected);
    }
    const QByteArray late = codes.VbUnicode_To_UTF8(text + u"😀\n"_qs + text, false);
    const CodeConversion unencodable = ConvertCode({"UTF8"}, late, "SJIS", u"\n");
    EXPECT_EQ(unencodable.code, "UTF8");
    EXPECT_FALSE(unencodable.encoded);
    EXPECT_TRUE(unencodable.bytes.isEmpty());
}

} // namespace
} // namespace common
