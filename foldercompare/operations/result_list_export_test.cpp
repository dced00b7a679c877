#include "foldercompare/operations/result_list_csv.h"
#include "foldercompare/operations/result_list_excel.h"
#include "foldercompare/operations/result_list_html.h"

#include "platform/flex_grid.h"
#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace foldercompare {
namespace {

// The padding rules are met by the unattended runs too; these are the cases that those
// trees do not hold.
TEST(CsvSizeFit, PadsByCodePage932Bytes)
{
    const struct
    {
        QString text;
        int column;
        QString fitted;
    } cases[] = {
        {"12345", 0, "12345"},
        {"123456", 0, "123456"},
        {"ab", 1, " ab "},
        {"abc", 1, "abc "},
        {"状態です", 1, "状態です"},
        {"ﾌｫﾙﾀﾞ", 2, "       ﾌｫﾙﾀﾞ       "},
        {"é", 1, " é  "},
        {"😀", 1, " 😀  "},
        {QString(25, u'x'), 3, QString(25, u'x')},
        {"", 4, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " in column " + std::to_string(c.column));
        EXPECT_EQ(CsvSizeFit(c.text, c.column, 19), c.fitted);
    }
}

TEST(HtmlLinkTarget, EveryNameLeadsToItsFile)
{
    const struct
    {
        QString name;
        QString target;
    } cases[] = {
        {"FoldDiff.dir/00000002.html", "FoldDiff.dir/00000002.html"},
        {"比較 結果.dir/00000002.html", "比較%20結果.dir/00000002.html"},
        {"a#b?c%d.dir/00000001.html", "a%23b%3Fc%25d.dir/00000001.html"},
        {"x&<y>\".dir/00000001.html", "x&amp;&lt;y&gt;%22.dir/00000001.html"},
        {"back\\slash.dir/00000001.html", "back%5Cslash.dir/00000001.html"},
        {"é😀.dir/00000001.html", "%C3%A9%F0%9F%98%80.dir/00000001.html"},
        {"¢〜～.dir/00000001.html", "%C2%A2%E3%80%9C～.dir/00000001.html"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(HtmlLinkTarget(c.name), c.target);
    }
}

TEST(BuildFoldDiffExcel, StopsAtTheSheetsLastRow)
{
    platform::FlexGrid grid;
    grid.setCols(5);
    grid.setRows(70000);
    grid.setRowTexts(65533, {"65533", "変更", "", "", "last.txt"});
    const ResultListExport source{{grid, {"/a", "/b"}, {"/a", "/b"}, QString()}, 1, {true, false, false}, {}};
    const FoldDiffExcel table = BuildFoldDiffExcel(source, "/out/big.xlsx");
    EXPECT_EQ(table.cells.size(), 65536);
    EXPECT_EQ(table.links.size(), 65536);
    EXPECT_EQ(table.cells.last().size(), 6);
    EXPECT_EQ(table.cells.last(), (QStringList{"65533", "変更", "", "", "last.txt", ""}));
    EXPECT_EQ(table.links.last(), "big.dir/00065533.xlsx");
}

} // namespace
} // namespace foldercompare
