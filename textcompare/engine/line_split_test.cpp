#include "textcompare/engine/line_split.h"

#include "platform/testing/print_to.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

QStringList splitAll(const QString &text)
{
    DisplayLines lines(text);
    while (lines.splitNextLine()) {
    }
    QStringList result;
    for (int line = 1; line <= lines.count(); ++line)
        result.append(lines.text(line));
    return result;
}

TEST(DisplayLines, LineEndsAndTheFinalBreak)
{
    const struct
    {
        const char *name;
        QString text;
        QStringList lines;
    } cases[] = {
        {"empty text has no line", "", {}},
        {"one line end is one empty line", "\n", {""}},
        {"lone CR is one empty line", "\r", {""}},
        {"CR LF is one line end", "\r\n", {""}},
        {"no final break", "a\nb", {"a", "b"}},
        {"final break adds nothing", "a\nb\n", {"a", "b"}},
        {"two final breaks end with one empty line", "a\n\n", {"a", ""}},
        {"mixed ends", "a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
        {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
        {"blank lines kept", "\n\na\n", {"", "", "a"}},
        {"long lines cross the eight-unit blocks", "0123456789abcdef0\r\n0123456\n01234567",
         {"0123456789abcdef0", "0123456", "01234567"}},
        {"break at a block edge", "1234567\n12345678\n123456789\r\n", {"1234567", "12345678", "123456789"}},
        {"other control characters stay", "a\tb\x0b\x0c" "c\n", {"a\tb\x0b\x0c" "c"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(splitAll(c.text), c.lines);
    }
}

// A line is found again from the kept start of its group of 32 lines, or from the line
// looked up before it: in any order, and in either form of the text.
TEST(DisplayLines, LinesFoundAgainInAnyOrder)
{
    static const char16_t *const ends[] = {u"\n", u"\r\n", u"\r"};
    constexpr int Count = 300;
    QStringList expected;
    QString text;
    for (int k = 0; k < Count; ++k) {
        // No empty line ends in LF right after a line ending in CR: that would be one CR LF.
        expected.append(k % 7 == 0 && k % 3 != 0 ? QString() : QString::number(k * 37));
        text += expected.last() + QString::fromUtf16(ends[k % 3]);
    }
    std::vector<int> order;
    for (int line = Count; line >= 1; --line)
        order.push_back(line);
    for (int k = 0; k < Count; ++k)
        order.push_back(k * 97 % Count + 1);
    for (const CompactText &held : {CompactText(text), CompactText::narrowed(text)}) {
        SCOPED_TRACE(held.isLatin1() ? "one byte per character" : "UTF-16");
        DisplayLines lines(held);
        while (lines.splitNextLine()) {
        }
        ASSERT_EQ(lines.count(), Count);
        for (const int line : order)
            ASSERT_EQ(lines.text(line), expected[line - 1]) << "line " << line;
    }
}

} // namespace
} // namespace textcompare
