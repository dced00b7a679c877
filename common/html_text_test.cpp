#include "common/html_text.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(HtmlEscape, CellsTextsAndMarkup)
{
    const struct
    {
        QString text;
        QString cell;
        QString lineText;
        QString markup;
    } cases[] = {
        {"", "&nbsp;", "&nbsp;", ""},
        {"a  <b> & c", "a&nbsp;&nbsp;&lt;b&gt;&nbsp;&amp;&nbsp;c", "a  &lt;b&gt; &amp; c", "a  &lt;b&gt; &amp; c"},
        {"a&b <c>", "a&amp;b&nbsp;&lt;c&gt;", "a&amp;b &lt;c&gt;", "a&amp;b &lt;c&gt;"},
        {"&lt;", "&amp;lt;", "&amp;lt;", "&amp;lt;"},
        {" ", "&nbsp;", " ", " "},
        {"\"引用\"　全角", "\"引用\"　全角", "\"引用\"　全角", "\"引用\"　全角"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(HtmlEscape(c.text), c.cell);
        EXPECT_EQ(HtmlEscapeText(c.text), c.lineText);
        EXPECT_EQ(HtmlEscapeMarkup(c.text), c.markup);
    }
}

TEST(HtmlRowColor, BlueGreenRedBecomesRedGreenBlue)
{
    const struct
    {
        quint32 blueGreenRed;
        const char *html;
    } cases[] = {
        {0, "#FFFFFF"},         {0x0080FF, "#FF8000"}, {0xFFFFBB, "#BBFFFF"}, {0x0000FF, "#FF0000"},
        {0xFF0000, "#0000FF"},  {0x000001, "#010000"}, {0xFF000000, "#FFFFFF"}, {0x7F0000FF, "#FF0000"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.html);
        EXPECT_EQ(HtmlRowColor(c.blueGreenRed), c.html);
    }
}

} // namespace
} // namespace common
