#include "textcompare/editing/code_conversion.h"

#include "common/non_code_class.h"
#include "platform/testing/print_to.h"
#include "textcompare/editing/line_markers.h"
#include "textcompare/editing/wrap_width.h"

#include <gtest/gtest.h>

namespace textcompare {
namespace {

TEST(ConvertFileCode, ConvertsCleanlyOrRefuses)
{
    common::NonCodeClass codes;
    const QString text = QStringLiteral("日本語\r\nline\rlast\n");
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *from;
        const char *to;
        const char *lineEnd;
        QByteArray expected; // empty with a refusal
    } cases[] = {
        {"Shift-JIS to UTF-8 with LF", codes.VbUnicode_To_SJIS(text), "SJIS", "UTF8", "\n",
         codes.VbUnicode_To_UTF8(QStringLiteral("日本語\nline\nlast\n"), false)},
        {"UTF-8 with a mark to EUC with CR", codes.VbUnicode_To_UTF8(text, true), "UTF8", "EUC", "\r",
         codes.VbUnicode_To_EUC(QStringLiteral("日本語\rline\rlast\r"))},
        {"an empty file stays empty", "", "SJIS", "UNICODE", "\r\n", ""},
        {"bytes that are not Shift-JIS", "\x81\r\n", "SJIS", "UTF8", "\r\n", ""},
        {"a character without a Shift-JIS form", codes.VbUnicode_To_UTF8(QStringLiteral("\U0001F600"), false), "UTF8",
         "SJIS", "\r\n", ""},
        {"binary is no code", "abc", "BIN", "UTF8", "\r\n", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const EditedContents converted = ConvertFileCode(c.bytes, c.from, c.to, c.lineEnd);
        EXPECT_EQ(converted.bytes, c.expected);
        EXPECT_EQ(converted.refusal.isEmpty(), !c.expected.isEmpty() || c.bytes.isEmpty());
    }
    EXPECT_EQ(PresetLineEnd(u"a\rb"), "\r");
    EXPECT_EQ(PresetLineEnd(u"a\nb"), "\n");
    EXPECT_EQ(PresetLineEnd(u"a\r\nb\n"), "\r\n");
    EXPECT_EQ(PresetLineEnd(u"ab"), "\r\n");
}

TEST(LineMarkers, MarkEachByteAgainstTheSameIndex)
{
    const struct
    {
        QString line1, line2, markers1, markers2;
    } cases[] = {
        {"a\tb", "a\tb", " \t ", " \t "},
        {"", "abc", "", "***"},
        {"abcde", "abX", "  ***", "  *"},
        {"\tx", " x", "\t ", "* "},
        // Two double-byte characters sharing their lead byte (0x82 0xA0 and 0x82 0xA2).
        {QStringLiteral("あ"), QStringLiteral("い"), " *", " *"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line1.toStdString());
        EXPECT_EQ(LineMarkers(c.line1, c.line2), (std::array<QString, 2>{c.markers1, c.markers2}));
    }
}

TEST(WrapWidthFromEntry, RoundsToAnEvenWidth)
{
    const struct
    {
        const char *text;
        bool ticked;
        std::optional<qint32> width;
    } cases[] = {
        {"7", true, 8},        {"8", true, 8},         {"7.5", true, 8},      {"8.5", true, 8},
        {"0", true, 0},        {"-5", true, -4},       {" 12 ", true, 12},    {"7", false, -8},
        {"7.5", false, -8},    {"-5", false, -4},      {"0", false, 0},       {"abc", true, std::nullopt},
        {"", false, std::nullopt}, {"3000000000", true, std::nullopt}, {"2147483647", true, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.ticked ? " ticked" : " unticked"));
        const WrapWidthEntry entry = WrapWidthFromEntry(c.text, c.ticked);
        EXPECT_EQ(entry.width, c.width);
        EXPECT_EQ(entry.failure.isEmpty(), c.width.has_value());
    }
}

} // namespace
} // namespace textcompare
