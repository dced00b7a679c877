#include "textcompare/editing/line_splice.h"

#include "common/non_code_class.h"
#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

#include <vector>

namespace textcompare {
namespace {

// The display table of one side as its line numbers, row 0 the header (no line).
EditRange rangeOf(const std::vector<int> &lines, int startRow, int endRow, int mode)
{
    const auto lineAt = [&lines](int row) { return lines[size_t(row)]; };
    return FindEditRange(lineAt, startRow, endRow, 1, int(lines.size()) - 1, mode);
}

TEST(FindEditRange, NearestLinesAroundTheRows)
{
    // Rows 1 to 6: lines 1, 2, none, 3, none, none.
    const std::vector<int> side{0, 1, 2, 0, 3, 0, 0};
    const struct
    {
        const char *name;
        int startRow, endRow, mode;
        EditRange expected;
    } cases[] = {
        {"rows with lines", 1, 2, 0, {0, 3}},
        {"a row without a line lies between its neighbours", 3, 3, 0, {2, 3}},
        {"no line on or below the rows", 5, 6, 0, {3, 0}},
        {"insert above line 1", 1, 2, -2, {0, 1}},
        {"insert above a row without a line", 3, 3, -1, {2, 3}},
        {"insert below", 1, 2, 2, {2, 3}},
        {"insert below the last line", 4, 4, 1, {3, 4}},
        {"insert below rows ending where no line follows goes after the last line", 4, 6, 3, {3, 4}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rangeOf(side, c.startRow, c.endRow, c.mode), c.expected);
    }
}

TEST(SpliceText, KeepsTheLinesAroundTheRangeWithTheirBreaks)
{
    const struct
    {
        const char *name;
        const char *text;
        EditRange range;
        EditLines lines;
        const char *expected;
    } cases[] = {
        {"change the first line", "a\r\nb\r\nc\r\n", {0, 2}, EditLines::change("X"), "X\r\nb\r\nc\r\n"},
        {"change a last line without a break", "first\r\nsecond", {1, 3}, EditLines::change("new"),
         "first\r\nnew\r\n"},
        {"delete every line", "a\nb\n", {0, 3}, EditLines::deletion(), ""},
        {"delete every line, the last without a break", "a\nb", {0, 3}, EditLines::deletion(), ""},
        {"delete the last line without a break", "a\nb", {1, 3}, EditLines::deletion(), "a\n"},
        {"insert above line 1 takes the text's last break", "a\rb\r", {0, 1}, EditLines::insertion("", 2),
         "\r\ra\rb\r"},
        {"insert below a last line without a break breaks it first", "a\nb", {2, 3}, EditLines::insertion("", 1),
         "a\nb\n\n"},
        {"append after a last line without a break", "a\r\nb", {2, 0}, EditLines::change("c"), "a\r\nb\r\nc\r\n"},
        {"mixed breaks: the break that ends the line above the kept rest", "a\r\nb\nc\rd", {1, 3},
         EditLines::change("X"), "a\r\nX\nc\rd"},
        {"mixed breaks: no rest takes the last break", "a\r\nb\nc\r", {3, 0}, EditLines::change("X"),
         "a\r\nb\nc\rX\r"},
        {"a text without breaks gives CR LF", "abc", {0, 2}, EditLines::change("X"), "X\r\n"},
        {"a file without lines gets the block alone", "", {0, 0}, EditLines::insertion("", 2), "\r\n\r\n"},
        {"copy a block over one line", "a\nb\nc\n", {1, 3}, EditLines::copy({"x", "y"}), "a\nx\ny\nc\n"},
        {"copy of no lines removes the range", "a\nb\nc\n", {1, 3}, EditLines::copy({}), "a\nc\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(SpliceText(CompactText(text), "SJIS", c.range, c.lines).joined(), QByteArray(c.expected));
        EXPECT_EQ(SpliceText(CompactText::fromLatin1(c.text), "SJIS", c.range, c.lines).joined(), QByteArray(c.expected));
        EXPECT_EQ(SpliceFileBytes(c.text, "UTF8", c.range, c.lines).joined(), QByteArray(c.expected));
    }
}

TEST(SpliceFileBytes, WritesTheNewLinesInTheFilesCode)
{
    common::NonCodeClass codes;
    const QString text = QStringLiteral("一行目\r\n二行目\r\n三行目");
    const QString expected = QStringLiteral("一行目\r\n変更\r\n三行目");
    const EditLines change = EditLines::change(QStringLiteral("変更"));
    const auto bigEndian = [](const QString &units) {
        QByteArray bytes("\xFE\xFF");
        for (const QChar unit : units)
            bytes += char(unit.unicode() >> 8) + QByteArray(1, char(unit.unicode() & 0xFF));
        return bytes;
    };
    const struct
    {
        const char *code;
        QByteArray file;
        QByteArray expected;
    } cases[] = {
        {"SJIS", codes.VbUnicode_To_SJIS(text), codes.VbUnicode_To_SJIS(expected)},
        {"EUC", codes.VbUnicode_To_EUC(text), codes.VbUnicode_To_EUC(expected)},
        // A byte-order mark stays with the kept bytes, also in UTF-16 big-endian.
        {"UTF8", codes.VbUnicode_To_UTF8(text, true), codes.VbUnicode_To_UTF8(expected, true)},
        {"UNICODE", codes.VbUnicode_To_UNICODE(text, true), codes.VbUnicode_To_UNICODE(expected, true)},
        {"UNICODE", bigEndian(text), bigEndian(expected)},
        {"JIS", codes.VbUnicode_To_JIS(text), codes.VbUnicode_To_JIS(expected)},
        {"UTF7", codes.VbUnicode_To_UTF7(text), codes.VbUnicode_To_UTF7(expected)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        const EditedContents edited = SpliceFileBytes(c.file, c.code, {1, 3}, change);
        EXPECT_EQ(edited.refusal, "");
        EXPECT_EQ(edited.joined(), c.expected);
    }
    EXPECT_EQ(SpliceText(CompactText(text), "UNICODE", {1, 3}, change, common::NonCodeClass::Utf16BeBom).joined(),
              bigEndian(expected))
        << "the edit of the compared text behind the mark the file has";

    // Shift-JIS bytes that the code page writes in another form stay as they are outside
    // the edited line: the NEC-selected IBM extension "ⅰ" (EE EF) reads as U+2170, which
    // is written back as FA 40.
    const QByteArray kept("\xEE\xEF\r\nold\r\n", 9);
    EXPECT_EQ(SpliceFileBytes(kept, "SJIS", {1, 3}, EditLines::change("new")).joined(), QByteArray("\xEE\xEF\r\nnew\r\n", 9));

    const struct
    {
        const char *name;
        QByteArray file;
        const char *code;
        EditLines lines;
    } refused[] = {
        {"a character without a form in Shift-JIS", "a\r\n", "SJIS", EditLines::change(QStringLiteral("\U0001F600"))},
        {"a copy without a form in EUC", "a\n", "EUC", EditLines::copy({QStringLiteral("한국어")})},
        {"bytes that are no JIS", "\x1b$Bxx\x1b(Z\r\n", "JIS", EditLines::deletion()},
    };
    for (const auto &r : refused) {
        SCOPED_TRACE(r.name);
        const EditedContents edited = SpliceFileBytes(r.file, r.code, {0, 2}, r.lines);
        EXPECT_FALSE(edited.refusal.isEmpty());
        EXPECT_TRUE(edited.joined().isEmpty());
    }
}

} // namespace
} // namespace textcompare
