#include "common/excel_writer.h"
#include "common/saved_error.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/workbook_read_back.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>

namespace common {
namespace {

using platform::testing::readWorkbookBack;
using platform::testing::TemporaryFolder;

TEST(RangeAddress, NamesCellsAndRectangles)
{
    const struct
    {
        qint32 row1, col1, row2, col2;
        const char *expected;
    } cases[] = {
        {1, 1, 9, 5, "A1:E9"},
        {3, 5, 3, 5, "E3:E3"},
        {1, 1, 0, 0, "A1"},
        {0, 3, 4, 2, "B4"},
        {0, 0, 0, 0, ""},
        {-1, 1, 1, -1, ""},
        {1, 26, 1, 27, "Z1:AA1"},
        {2, 27, 10, 52, "AA2:AZ10"},
        {1, 53, 1, 256, "BA1:IV1"},
        {65536, 702, 65536, 703, "ZZ65536:AAA65536"},
        {1, 2, 5, 6, "B1:F5"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(RangeAddress(c.row1, c.col1, c.row2, c.col2), QString::fromLatin1(c.expected));
    }
}

TEST(ParseRangeAddress, ReadsCellsAndRectangles)
{
    const struct
    {
        const char *address;
        std::array<qint32, 4> expected;
    } cases[] = {
        {"A1", {1, 1, 0, 0}},
        {"b2:ab30", {2, 2, 30, 28}},
        {"IV65536", {65536, 256, 0, 0}},
        {"A1:E9:Z99", {1, 1, 9, 5}},
        {"", {0, 0, 0, 0}},
        {"A007", {7, 1, 0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(ParseRangeAddress(c.address), c.expected);
    }
}

TEST(ParseRangeAddress, ReadsEveryTwoLetterColumnThatRangeAddressNames)
{
    for (qint32 column = 1; column <= 26 * 27; ++column) {
        const QString address = RangeAddress(12, column, 34, 27 * 26 + 1 - column);
        SCOPED_TRACE(address.toStdString());
        EXPECT_EQ(ParseRangeAddress(address), (std::array<qint32, 4>{12, column, 34, 27 * 26 + 1 - column}));
    }
}

TEST(ParseRangeAddress, RefusesWhatIsNotAnAddress)
{
    for (const char *address : {"A", "1A", "A1:", ":A1", "A-1", "A1.5", "AAA1", "A 1", "Ä1", "A99999999999"}) {
        SCOPED_TRACE(address);
        try {
            ParseRangeAddress(QString::fromUtf8(address));
            ADD_FAILURE() << "no failure";
        } catch (const Failure &failure) {
            EXPECT_EQ(failure.record().Number, 13);
            EXPECT_EQ(failure.record().Description, "型が一致しません。");
        }
    }
}

// The cell table of a folder comparison list: two path rows, the header and data rows,
// each with its colour text after the five columns.
ExcelCellTable resultList()
{
    return {
        {"/home/user/旧", "", "", "", "", ""},
        {"/home/user/新", "", "", "", "", ""},
        {"No.", "状態", "フォルダ１（旧）", "フォルダ２（新）", "相対パス", ""},
        {"1", "変更", "2024/01/02 10:00:00", "*2024/01/03 11:00:00", "sub/a.txt", "255"},
        {"2", "追加", "", "007", "sub/b.txt", "255"},
        {"3", "", "1e5", "1e5", "=1+1", ""},
    };
}

class ExcelSaveTest : public ::testing::Test
{
protected:
    QString bookPath() const { return m_folder.filePath("result.xls"); }

    static QJsonObject cell(const QJsonObject &facts, const QString &name)
    {
        return facts["cells"].toObject()[name].toObject();
    }

    TemporaryFolder m_folder;
};

TEST_F(ExcelSaveTest, WritesTheResultListLayout)
{
    const QStringList links{"", "", "", "result_files/00000001.xls", "", "result_files/00000003.xls"};
    ASSERT_TRUE(ExcelSave(bookPath(), "1", "A1", 6, 5, resultList(), links));

    const QJsonObject facts = readWorkbookBack(bookPath(), {"A1:F7"});
    EXPECT_EQ(facts["sheets"].toArray(), QJsonArray{"Sheet1"});
    EXPECT_EQ(facts["maxRow"].toInt(), 6);
    EXPECT_EQ(facts["maxColumn"].toInt(), 5);

    const QJsonObject columns = facts["columns"].toObject();
    const struct
    {
        const char *column;
        double width; // as stored: the characters and the cell padding
        const char *format;
    } layout[] = {{"A", 7.7109375, "General"}, {"B", 7.7109375, "General"}, {"C", 16.7109375, "@"},
                  {"D", 16.7109375, "@"}, {"E", 70.7109375, "@"}};
    for (const auto &column : layout) {
        SCOPED_TRACE(column.column);
        EXPECT_DOUBLE_EQ(columns[QLatin1String(column.column)].toObject()["width"].toDouble(), column.width);
        EXPECT_EQ(columns[QLatin1String(column.column)].toObject()["format"].toString(), column.format);
    }

    const struct
    {
        const char *cell;
        const char *type;
        QJsonValue value;
    } values[] = {
        {"A1", "s", "/home/user/旧"}, {"B1", "n", QJsonValue()}, {"A3", "s", "No."},
        {"C3", "s", "フォルダ１（旧）"}, {"A4", "n", 1}, {"B4", "s", "変更"},
        {"C4", "s", "2024/01/02 10:00:00"}, {"D5", "s", "007"}, {"C5", "n", QJsonValue()},
        {"A6", "n", 3}, {"C6", "s", "1e5"}, {"E6", "s", "=1+1"},
    };
    for (const auto &v : values) {
        SCOPED_TRACE(v.cell);
        EXPECT_EQ(cell(facts, v.cell)["type"].toString(), v.type);
        EXPECT_EQ(cell(facts, v.cell)["value"], v.value);
    }

    for (int row = 1; row <= 7; ++row) {
        for (const char column : QByteArray("ABCDEF")) {
            const QString name = QChar(column) + QString::number(row);
            SCOPED_TRACE(name.toStdString());
            const QJsonObject written = cell(facts, name);
            const bool inBlock = row <= 6 && column <= 'E';
            EXPECT_EQ(written["borders"].toString(), inBlock ? "thin,thin,thin,thin" : "None,None,None,None");
            EXPECT_EQ(written["font"].toObject()["name"].toString() == "ＭＳ ゴシック", inBlock);
            EXPECT_EQ(written["font"].toObject()["size"].toDouble() == 9, inBlock);
            const QJsonValue fill = written["fill"];
            if (!inBlock || column == 'A')
                EXPECT_TRUE(fill.isNull());
            else
                EXPECT_EQ(fill.toString(), row == 4 || row == 5 ? "FFFF0000" : "FFFFFFFF");
            const bool linked = column == 'E' && (row == 4 || row == 6);
            EXPECT_EQ(written["link"].isNull(), !linked);
        }
    }
    const QJsonObject link = cell(facts, "E4")["link"].toObject();
    EXPECT_EQ(link["target"].toString(), "result_files/00000001.xls");
    EXPECT_EQ(link["location"].toString(), "Sheet1!A1");
    EXPECT_EQ(link["tooltip"].toString(), "result_files/00000001.xls");
    EXPECT_EQ(cell(facts, "E4")["value"].toString(), "sub/a.txt");
    EXPECT_EQ(cell(facts, "E6")["link"].toObject()["target"].toString(), "result_files/00000003.xls");
}

TEST_F(ExcelSaveTest, AddsNoLinkForAnEmptyListOrEmptyEntries)
{
    const struct
    {
        const char *name;
        QStringList links;
    } cases[] = {{"empty list", {}}, {"empty entries", {"", "", "", "", "", ""}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ExcelSave(bookPath(), "1", "A1", 6, 5, resultList(), c.links));
        const QJsonObject facts = readWorkbookBack(bookPath(), {"E1:E6"});
        for (int row = 1; row <= 6; ++row)
            EXPECT_TRUE(cell(facts, QStringLiteral("E%1").arg(row))["link"].isNull()) << row;
    }
}

// Rows and columns past the old sheet are left out, and texts past what a cell holds cut
// there, a surrogate pair kept whole; the notice counts both.
TEST_F(ExcelSaveTest, CutsTheBlockToTheOldSheetSizeAndItsTextsToACell)
{
    ExcelCellTable tall;
    for (int row = 1; row <= 70000; ++row)
        tall.append({QString::number(row), "", ""});
    ASSERT_TRUE(ExcelSave(bookPath(), "1", "A1", 70000, 2, tall, {}));
    QJsonObject facts = readWorkbookBack(bookPath(), {"A65536"});
    EXPECT_EQ(facts["maxRow"].toInt(), 65536);
    EXPECT_EQ(cell(facts, "A65536")["value"].toInt(), 65536);
    EXPECT_EQ(ExcelLeftOutNotice(ExcelTableLeftOut(70000, tall, 2)),
              "エクセルのシートは65,536行までのため、残りの4464行は保存していません。　");

    const QString pairAtTheLimit = QString(32766, u'a') + QString::fromUcs4(U"\U0002000B") + u'b';
    const ExcelCellTable longTexts{{"1", "", "", QString(32767, u'x'), QString(124055, u'y'), ""},
                                   {"2", QString(40000, u'w'), "", QString(32768, u'z'), pairAtTheLimit, ""}};
    ASSERT_TRUE(ExcelSave(bookPath(), "1", "A1", 2, 5, longTexts, {}));
    facts = readWorkbookBack(bookPath(), {"A1:E2"});
    const struct
    {
        const char *cell;
        QString value;
    } cut[] = {{"D1", QString(32767, u'x')}, {"E1", QString(32767, u'y')}, {"B2", QString(32767, u'w')},
               {"D2", QString(32767, u'z')}, {"E2", QString(32766, u'a')}};
    for (const auto &c : cut) {
        SCOPED_TRACE(c.cell);
        EXPECT_EQ(cell(facts, c.cell)["value"].toString(), c.value);
    }
    EXPECT_EQ(ExcelLeftOutNotice(ExcelTableLeftOut(70000, longTexts, 5)),
              "エクセルのシートは65,536行までのため、残りの4464行は保存していません。　\r\n"
              "エクセルのセルは32,767文字までのため、4個のセルの残りの文字は保存していません。　");
    EXPECT_EQ(ExcelLeftOutNotice(ExcelTableLeftOut(2, {{"a", "b"}}, 2)), "") << "all fits";

    QStringList wide;
    for (int column = 1; column <= 301; ++column)
        wide.append(QStringLiteral("c%1").arg(column));
    wide[256] = "";
    ASSERT_TRUE(ExcelSave(bookPath(), "1", "A1", 1, 300, {wide}, {}));
    facts = readWorkbookBack(bookPath(), {"IV1"});
    EXPECT_EQ(facts["maxColumn"].toInt(), 256);
    EXPECT_EQ(cell(facts, "IV1")["value"].toString(), "c256");
    EXPECT_EQ(cell(facts, "IV1")["fill"].toString(), "FFFFFFFF");
}

TEST_F(ExcelSaveTest, LinksOnlyTheWrittenRows)
{
    ExcelCellTable table{{"1", "", "", "", "a", ""}, {"2", "", "", "", "b", ""}};
    ASSERT_TRUE(ExcelSave(bookPath(), "1", "A1", 2, 5, table, {"one.xls", "two.xls", "three.xls"}));
    const QJsonObject facts = readWorkbookBack(bookPath(), {"E1:E3"});
    EXPECT_EQ(facts["maxRow"].toInt(), 2);
    EXPECT_EQ(cell(facts, "E2")["link"].toObject()["target"].toString(), "two.xls");
    EXPECT_TRUE(cell(facts, "E3")["link"].isNull());
}

TEST_F(ExcelSaveTest, KeepsLinksAndFillsWithABlockThatStartsElsewhere)
{
    ExcelCellTable table{{"1", "変更", "x", "y", "path", "255"}, {"2", "", "x", "y", "path", ""}};
    ASSERT_TRUE(ExcelSave(bookPath(), "1", "c3", 2, 5, table, {"one.xls"}));
    const QJsonObject facts = readWorkbookBack(bookPath(), {"A1:H5"});
    // Columns C to E keep the text format whatever the start cell.
    EXPECT_EQ(cell(facts, "C3")["value"].toString(), "1");
    EXPECT_EQ(cell(facts, "G3")["value"].toString(), "path");
    EXPECT_EQ(cell(facts, "G3")["link"].toObject()["target"].toString(), "one.xls");
    EXPECT_TRUE(cell(facts, "C3")["fill"].isNull());
    for (const char *name : {"D3", "E3", "F3", "G3"})
        EXPECT_EQ(cell(facts, name)["fill"].toString(), "FFFF0000") << name;
    for (const char *name : {"D4", "E4", "F4", "G4"})
        EXPECT_EQ(cell(facts, name)["fill"].toString(), "FFFFFFFF") << name;
    EXPECT_TRUE(cell(facts, "B3")["fill"].isNull());
    EXPECT_TRUE(cell(facts, "H3")["fill"].isNull());
}

TEST_F(ExcelSaveTest, PassesFailuresToTheCaller)
{
    const QString inMissingFolder = m_folder.filePath("missing/result.xls");
    const struct
    {
        const char *name;
        std::function<bool()> save;
        qint32 number;
        QString description;
        QString path;
    } cases[] = {
        {"second sheet", [&] { return ExcelSave(bookPath(), "2", "A1", 6, 5, resultList(), {}); }, 9,
         "インデックスが有効範囲にありません。", bookPath()},
        {"sheet not a number", [&] { return ExcelSave(bookPath(), "one", "A1", 6, 5, resultList(), {}); }, 9,
         "インデックスが有効範囲にありません。", bookPath()},
        {"unreadable start cell", [&] { return ExcelSave(bookPath(), "1", "1A", 6, 5, resultList(), {}); }, 13,
         "型が一致しません。", bookPath()},
        {"start cell outside the sheet", [&] { return ExcelSave(bookPath(), "1", "A0", 6, 5, resultList(), {}); },
         1004, "アプリケーション定義またはオブジェクト定義のエラーです。", bookPath()},
        {"table too small", [&] { return ExcelSave(bookPath(), "1", "A1", 7, 5, resultList(), {}); }, 9,
         "インデックスが有効範囲にありません。", bookPath()},
        {"colour not a number",
         [&] {
             ExcelCellTable table = resultList();
             table[3][5] = "red";
             return ExcelSave(bookPath(), "1", "A1", 6, 5, table, {});
         },
         13, "型が一致しません。", bookPath()},
        {"colour outside the colours",
         [&] {
             ExcelCellTable table = resultList();
             table[3][5] = "-2147483643";
             return ExcelSave(bookPath(), "1", "A1", 6, 5, table, {});
         },
         1004, "アプリケーション定義またはオブジェクト定義のエラーです。", bookPath()},
        {"folder missing", [&] { return ExcelSave(inMissingFolder, "1", "A1", 6, 5, resultList(), {}); },
         ExcelWriteFailedNumber, ExcelWriteFailedText + "\r\ncannot write " + inMissingFolder + ": ", inMissingFolder},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.save();
            ADD_FAILURE() << "no failure";
        } catch (const Failure &failure) {
            EXPECT_EQ(failure.record().Number, c.number);
            // The writer's reason follows a failed save's text.
            EXPECT_TRUE(failure.record().Description.startsWith(c.description)) << failure.record().Description.toStdString();
            EXPECT_EQ(SavedErr().Number, c.number);
            EXPECT_EQ(SavedErr().Description, failure.record().Description);
        }
        EXPECT_FALSE(QFile::exists(c.path));
    }
    EXPECT_EQ(ExcelWriteFailedText, "エクセルの書込みに失敗しました。   ");
}

TEST_F(ExcelSaveTest, FailedSaveLeavesTheEarlierWorkbook)
{
    const QByteArray earlier("the workbook of an earlier export");
    m_folder.writeFile("result.xls", earlier);
    // A link whose tip is longer than a link's tip may be fails the workbook as a whole.
    const QStringList links{"", "", "", QString(300, u'x')};
    try {
        ExcelSave(bookPath(), "1", "A1", 6, 5, resultList(), links);
        ADD_FAILURE() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.record().Number, ExcelWriteFailedNumber);
        EXPECT_EQ(failure.record().Description,
                  ExcelWriteFailedText + "\r\nSheet1: cell (3, 4): a link place or tip longer than 255 characters");
    }
    EXPECT_EQ(TemporaryFolder::readFile(bookPath()), earlier);
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"result.xls"});
}

TEST(ExcelRange, TurnsAddressesIntoCellRectangles)
{
    const struct
    {
        const char *address;
        platform::CellRange expected;
    } cases[] = {
        {"A1", {0, 0, 0, 0}},
        {"E3", {2, 4, 2, 4}},
        {"A1:F65535", {0, 0, 65534, 5}},
        {"b4:a3", {3, 1, 2, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.address);
        const platform::CellRange range = excelRange(QString::fromLatin1(c.address));
        EXPECT_EQ(range.firstRow, c.expected.firstRow);
        EXPECT_EQ(range.firstColumn, c.expected.firstColumn);
        EXPECT_EQ(range.lastRow, c.expected.lastRow);
        EXPECT_EQ(range.lastColumn, c.expected.lastColumn);
    }
    EXPECT_THROW(excelRange(1, 1, platform::WorksheetMaxRows + 1, 1), Failure);
    EXPECT_THROW(excelRange(1, 0, 1, 1), Failure);
}

} // namespace
} // namespace common
