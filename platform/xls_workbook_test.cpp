#include "platform/xls_workbook.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

using testing::TemporaryFolder;

QString fixture()
{
    return testing::sourceFolder() + QStringLiteral("/platform/testdata/book.xls");
}

// The cell as "kind:value" for a compact comparison.
QString describe(XlsWorkbook &book, quint32 row, quint16 column)
{
    XlsCell cell;
    if (!book.cell(row, column, cell))
        return "failed: " + book.errorString();
    switch (cell.kind) {
    case XlsCell::Kind::Empty:
        return "empty";
    case XlsCell::Kind::Number:
        return QStringLiteral("number:%1:%2").arg(cell.number, 0, 'g', 15).arg(cell.formatIndex);
    case XlsCell::Kind::Text:
        return "text:" + cell.text.left(20) + (cell.text.size() > 20 ? QString::number(cell.text.size()) : "");
    case XlsCell::Kind::Date:
        return "date:" + cell.text;
    case XlsCell::Kind::Boolean:
        return QStringLiteral("boolean:%1").arg(cell.number);
    case XlsCell::Kind::Error:
        return "error:" + cell.text;
    }
    return {};
}

// Values, formulas (numbers, texts, booleans, errors), and both sheets of a workbook that
// a spreadsheet program saved.
TEST(XlsWorkbook, EveryKindOfCell)
{
    XlsWorkbook book;
    ASSERT_TRUE(book.open(fixture())) << book.errorString().toStdString();
    EXPECT_EQ(book.sheetCount(), 2);
    EXPECT_FALSE(book.dates1904());
    ASSERT_TRUE(book.selectSheet(0)) << book.errorString().toStdString();
    EXPECT_EQ(book.rows(), 7u);
    EXPECT_EQ(book.columns(), 4u);
    const struct
    {
        quint32 row;
        quint16 column;
        QString expected;
    } cases[] = {
        {0, 0, "text:名前"},
        {0, 1, "number:1.5:0"},
        {0, 2, "number:42:0"},
        {1, 0, "empty"},
        {2, 0, "date:2024-01-02"},
        {2, 1, "date:2024-01-02 03:04:05"},
        {2, 2, "date:03:04:05"},
        {3, 0, "boolean:1"},
        {3, 1, "empty"},
        {3, 2, "error:#DIV/0!"},
        {4, 0, "number:0.3:"},
        {4, 2, "number:0.333333333333333:"},
        {5, 0, "text:xy"},
        {5, 2, "boolean:0"},
        {6, 0, "number:45418:"},
        {6, 1, "text:長長長長長長長長長長長長長長長長長長長長5000"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1,%2").arg(c.row).arg(c.column).toStdString());
        const QString found = describe(book, c.row, c.column);
        if (c.expected.endsWith(u':'))
            EXPECT_TRUE(found.startsWith(c.expected)) << found.toStdString();
        else
            EXPECT_EQ(found, c.expected);
    }
    XlsCell formulaDate;
    ASSERT_TRUE(book.cell(6, 0, formulaDate));
    EXPECT_TRUE(formulaDate.formatIndex >= 14) << "a formula's date keeps its date format";

    ASSERT_TRUE(book.selectSheet(1));
    EXPECT_EQ(describe(book, 0, 0), "text:second sheet");
    EXPECT_FALSE(book.selectSheet(2));
    EXPECT_FALSE(book.errorString().isEmpty());
}

TEST(XlsWorkbook, RefusedFiles)
{
    TemporaryFolder folder;
    const QByteArray good = TemporaryFolder::readFile(fixture());
    QByteArray badChain = good;
    // The first entry of the sector table points outside the file.
    badChain.replace(0x4C, 4, QByteArray("\x00\x00\x00\x7F", 4));
    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"plain text", "not a workbook"},
        {"empty", ""},
        {"cut short", good.left(good.size() / 2)},
        {"a bad sector table", badChain},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        XlsWorkbook book;
        const bool opened = book.open(folder.writeFile("refused.xls", c.bytes));
        EXPECT_TRUE(!opened || !book.selectSheet(0));
        EXPECT_FALSE(book.errorString().isEmpty());
    }
}

} // namespace
} // namespace platform
