#include "textcompare/window/diff_grid_rows.h"

#include "textcompare/engine/diff_display.h"

#include <gtest/gtest.h>

namespace textcompare {
namespace {

TEST(DiffGridRows, ShowsTheTableWithBlankMarksAndColours)
{
    const QString line = QStringLiteral("a\tb c\u3000d");
    const BlankMarks marks{QStringLiteral("<TAB>"), QStringLiteral("<S>"), QStringLiteral("<SP>")};
    EXPECT_EQ(ShownLineText(line, marks), "a<TAB>b<S>c<SP>d");
    EXPECT_EQ(ShownLineText(line, std::nullopt), QStringLiteral("a b c\u3000d"));

    DiffDisplayOptions options;
    options.ignoreBlanks = false;
    options.bandColumn = true;
    const DiffDisplay display = BuildDiffDisplay(QStringLiteral("x\n") + line, QStringLiteral("x\ny"), 0, 0, options, {}, {});
    const DiffGridRows rows(display.table, marks);
    EXPECT_EQ(rows.text(2, 3), "a<TAB>b<S>c<SP>d");
    EXPECT_EQ(rows.text(2, 2), "2");
    EXPECT_EQ(rows.backColor(2, 0), 0u) << "the number column keeps its look";
    for (int col = 1; col <= 5; ++col)
        EXPECT_EQ(rows.backColor(2, col), 0xFFFFBBu);
    EXPECT_EQ(rows.backColor(1, 3), 0u);
    EXPECT_EQ(rows.foreColor(2, 2), 0x0000FFu) << "the band is the line numbers' text colour";
    EXPECT_EQ(rows.foreColor(2, 5), 0x0000FFu);
    EXPECT_EQ(rows.foreColor(2, 3), 0u);
}

} // namespace
} // namespace textcompare
