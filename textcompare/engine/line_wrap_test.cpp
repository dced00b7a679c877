#include "textcompare/engine/line_wrap.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace textcompare {
namespace {

TEST(CutByWidth, HeadFitsTheWidthInDisplayColumns)
{
    const struct
    {
        const char *name;
        QString text;
        int width;
        QString head;
        QString rest;
    } cases[] = {
        {"two single then double", "ab" + QString(8, QChar(u'あ')), 10, "ab" + QString(5, QChar(u'あ')),
         QString(3, QChar(u'あ'))},
        {"single width", "abcdefghijkl", 10, "abcdefghij", "kl"},
        {"double width", "あいうえおかきくけ", 10, "あいうえお", "かきくけ"},
        {"half-width katakana is single width", "ｱｲｳｴｵｶｷｸｹｺｻ", 10, "ｱｲｳｴｵｶｷｸｹｺ", "ｻ"},
        {"odd width", "あいうえ", 5, "あいう", "え"},
        {"shorter than the cut", "ab", 10, "ab", ""},
        {"character without a code page 932 form counts single", "éééééééééééé", 10, "éééééééééé", "éé"},
        {"surrogate pair kept whole", "abc😀d", 4, "abc😀", "d"},
        {"no width", "abc", 0, "", "abc"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString text = c.text;
        EXPECT_EQ(CutByWidth(text, c.width), c.head);
        EXPECT_EQ(text, c.rest);
    }
}

TEST(WrapLines, LongLinesBecomeSeveralLines)
{
    const struct
    {
        const char *name;
        QString text;
        int width;
        QString wrapped;
    } cases[] = {
        {"exactly the width stays one line", "0123456789", 10, "0123456789\r\n"},
        {"one more character", "0123456789A", 10, "0123456789\r\nA\r\n"},
        {"nine double-width characters", "あいうえおかきくけ\r\n", 10, "あいうえお\r\nかきくけ\r\n"},
        {"three pieces", "0123456789012345678901234", 10, "0123456789\r\n0123456789\r\n01234\r\n"},
        {"every kind of line end", "a\nb\rc\r\nd", 10, "a\r\nb\r\nc\r\nd\r\n"},
        {"a final line end adds no line", "a\r\n", 10, "a\r\n"},
        {"empty lines are kept", "a\r\n\r\n\n", 10, "a\r\n\r\n\r\n"},
        {"empty text", "", 10, ""},
        {"a lone line end is one empty line", "\n", 10, "\r\n"},
        {"a lone CR before CR LF ends an empty line", "\r\r\n", 10, "\r\n\r\n"},
        {"a last line without a line end", "a\r\nb", 10, "a\r\nb\r\n"},
        {"width one takes two single-width characters", "abc\r\n\r\n", 1, "ab\r\nc\r\n\r\n"},
        {"no wrap below width one", "abc\ndef", 0, "abc\ndef"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WrapLines(c.text, c.width), c.wrapped);
    }
}

} // namespace
} // namespace textcompare
