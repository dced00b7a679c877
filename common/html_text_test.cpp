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

} // namespace
} // namespace common
