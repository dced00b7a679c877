#include "platform/workbook_writer.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/workbook_read_back.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include <unistd.h>

namespace platform {
namespace {

using platform::testing::readWorkbookBack;
using platform::testing::TemporaryFolder;

// The width that the file stores for a column `characters` wide in a font whose digits
// are 7 pixels wide: the characters plus 5 pixels of padding, in 1/256 steps.
double storedWidth(double characters)
{
    return std::floor((characters * 7 + 5) / 7 * 256) / 256;
}

class WorkbookWriterTest : public ::testing::Test
{
protected:
    QString bookPath() const { return m_folder.filePath("book.xlsx"); }

    QJsonObject saveAndRead(const QStringList &ranges)
    {
        const WorkbookResult result = m_workbook.save(bookPath());
        EXPECT_TRUE(result.saved) << result.error.toStdString();
        return readWorkbookBack(bookPath(), ranges);
    }

    static QJsonObject cell(const QJsonObject &facts, const char *name)
    {
        return facts["cells"].toObject()[QLatin1String(name)].toObject();
    }

    TemporaryFolder m_folder;
    WorkbookWriter m_workbook;
    Worksheet &m_sheet = m_workbook.addWorksheet("Sheet1");
};

TEST_F(WorkbookWriterTest, EntersTextsAsExcelsValueAssignmentDoes)
{
    const struct
    {
        const char *name;
        QString text;
        bool textColumn;
        const char *type;
        QJsonValue value;
        const char *format;
    } cases[] = {
        {"integer", "42", false, "n", 42, "General"},
        {"leading zeros", "007", false, "n", 7, "General"},
        {"negative decimal", "-1.25", false, "n", -1.25, "General"},
        {"plus sign", "+5", false, "n", 5, "General"},
        {"point first", ".5", false, "n", 0.5, "General"},
        {"point last", "5.", false, "n", 5, "General"},
        {"blanks around", "  12 ", false, "n", 12, "General"},
        {"exponent", "1.5e3", false, "n", 1500, "0.00E+00"},
        {"negative exponent", "2E-2", false, "n", 0.02, "0.00E+00"},
        {"fifteen digits", "123456789012345", false, "n", 123456789012345.0, "General"},
        {"zeros are not significant", "1000000000000000000000", false, "n", 1e21, "General"},
        {"sixteen digits", "1234567890123456", false, "s", "1234567890123456", "General"},
        {"overflow", "1e400", false, "s", "1e400", "General"},
        {"underflow", "1e-400", false, "s", "1e-400", "General"},
        {"thousands separator", "1,234", false, "s", "1,234", "General"},
        {"percent", "12%", false, "s", "12%", "General"},
        {"date", "2024/01/02", false, "s", "2024/01/02", "General"},
        {"time", "12:30", false, "s", "12:30", "General"},
        {"full-width digits", "１２", false, "s", "１２", "General"},
        {"boolean", "TRUE", false, "s", "TRUE", "General"},
        {"brackets", "(12)", false, "s", "(12)", "General"},
        {"hexadecimal", "0x1A", false, "s", "0x1A", "General"},
        {"infinity", "inf", false, "s", "inf", "General"},
        {"lone sign", "-", false, "s", "-", "General"},
        {"lone point", ".", false, "s", ".", "General"},
        {"exponent without digits", "1e", false, "s", "1e", "General"},
        {"two points", "1.2.3", false, "s", "1.2.3", "General"},
        {"inner blank", "1 2", false, "s", "1 2", "General"},
        {"tab around", "\t12", false, "s", "\t12", "General"},
        {"formula", "=1+1", false, "f", "=1+1", "General"},
        {"lone equals sign", "=", false, "s", "=", "General"},
        {"apostrophe", "'007", false, "s", "007", "General"},
        {"apostrophe before formula", "'=1", false, "s", "=1", "General"},
        {"lone apostrophe", "'", false, "n", QJsonValue(), "General"},
        {"empty", "", false, "n", QJsonValue(), "General"},
        {"path", "/home/user/比較", false, "s", "/home/user/比較", "General"},
        {"escape-like run", "a_x0041_b", false, "s", "a_x0041_b", "General"},
        {"text column number", "007", true, "s", "007", "@"},
        {"text column formula", "=1+1", true, "s", "=1+1", "@"},
        {"text column apostrophe", "'quoted", true, "s", "'quoted", "@"},
        {"text column blanks", "  12 ", true, "s", "  12 ", "@"},
        {"text column exponent", "1e5", true, "s", "1e5", "@"},
        {"text column escape-like run", "_x0041_", true, "s", "_x0041_", "@"},
    };
    m_sheet.setColumnNumberFormat(2, 2, "@");
    int row = 0;
    for (const auto &entry : cases)
        m_sheet.setValue(row++, entry.textColumn ? 2 : 0, entry.text);

    const QJsonObject facts = saveAndRead({QStringLiteral("A1:C%1").arg(row)});
    row = 1;
    for (const auto &entry : cases) {
        SCOPED_TRACE(entry.name);
        const QString name = QStringLiteral("%1%2").arg(entry.textColumn ? "C" : "A").arg(row++);
        const QJsonObject written = facts["cells"].toObject()[name].toObject();
        EXPECT_EQ(written["type"].toString(), QString::fromLatin1(entry.type));
        EXPECT_EQ(written["value"], entry.value);
        EXPECT_EQ(written["format"].toString(), QString::fromLatin1(entry.format));
    }
}

TEST_F(WorkbookWriterTest, ColumnFormatDecidesHowLaterEntriesAreRead)
{
    m_sheet.setValue(0, 2, "5");
    m_sheet.setColumnWidth(0, 1, 7);
    m_sheet.setColumnWidth(2, 3, 16);
    m_sheet.setColumnWidth(4, 4, 70);
    m_sheet.setColumnNumberFormat(2, 4, "@");
    m_sheet.setValue(1, 2, "5");

    const QJsonObject facts = saveAndRead({"C1:C3"});
    const QJsonObject columns = facts["columns"].toObject();
    const struct
    {
        const char *column;
        double width;
        const char *format;
    } expected[] = {{"A", 7, "General"}, {"B", 7, "General"}, {"C", 16, "@"}, {"D", 16, "@"}, {"E", 70, "@"}};
    for (const auto &entry : expected) {
        SCOPED_TRACE(entry.column);
        const QJsonObject column = columns[QLatin1String(entry.column)].toObject();
        EXPECT_DOUBLE_EQ(column["width"].toDouble(), storedWidth(entry.width));
        EXPECT_EQ(column["format"].toString(), QString::fromLatin1(entry.format));
    }
    EXPECT_FALSE(columns.contains("F"));

    // Written before the column became text: still a number, now shown in text format.
    EXPECT_EQ(cell(facts, "C1")["type"].toString(), "n");
    EXPECT_EQ(cell(facts, "C1")["value"].toInt(), 5);
    EXPECT_EQ(cell(facts, "C1")["format"].toString(), "@");
    EXPECT_EQ(cell(facts, "C2")["type"].toString(), "s");
    EXPECT_EQ(cell(facts, "C2")["value"].toString(), "5");
    EXPECT_TRUE(cell(facts, "C3")["value"].isNull());
}

TEST_F(WorkbookWriterTest, FormatsRangesOfCells)
{
    m_sheet.setColumnNumberFormat(1, 1, "@");
    m_sheet.setValue(0, 0, "1");
    m_sheet.setValue(0, 1, "text");
    m_sheet.setBorders(CellRange{0, 0, 1, 1});
    m_sheet.setFontSize(CellRange{0, 0, 1, 1}, 9);
    m_sheet.setFontName(CellRange{0, 0, 1, 1}, "ＭＳ ゴシック");
    // Corners in reverse order, as Excel takes "B4:A3".
    m_sheet.setFillColor(CellRange{3, 1, 2, 0}, 0x0000FF);

    const QJsonObject facts = saveAndRead({"A1:C4"});
    for (const char *name : {"A1", "B1", "A2", "B2"}) {
        SCOPED_TRACE(name);
        const QJsonObject formatted = cell(facts, name);
        EXPECT_EQ(formatted["borders"].toString(), "thin,thin,thin,thin");
        EXPECT_EQ(formatted["font"].toObject()["name"].toString(), "ＭＳ ゴシック");
        EXPECT_EQ(formatted["font"].toObject()["size"].toDouble(), 9);
        EXPECT_TRUE(formatted["fill"].isNull());
    }
    EXPECT_EQ(cell(facts, "B1")["format"].toString(), "@");
    EXPECT_EQ(cell(facts, "B2")["format"].toString(), "@");
    EXPECT_EQ(cell(facts, "A1")["format"].toString(), "General");
    for (const char *name : {"A3", "B3", "A4", "B4"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(cell(facts, name)["fill"].toString(), "FFFF0000");
        EXPECT_EQ(cell(facts, name)["borders"].toString(), "None,None,None,None");
    }
    for (const char *name : {"C1", "C2", "C3", "C4"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(cell(facts, name)["borders"].toString(), "None,None,None,None");
        EXPECT_TRUE(cell(facts, name)["fill"].isNull());
        EXPECT_NE(cell(facts, name)["font"].toObject()["name"].toString(), "ＭＳ ゴシック");
    }
}

TEST_F(WorkbookWriterTest, TurnsBlueGreenRedFillsIntoRgb)
{
    const struct
    {
        quint32 blueGreenRed;
        const char *rgb;
    } cases[] = {
        {0x0000FF, "FFFF0000"}, {0x00FF00, "FF00FF00"}, {0xFF0000, "FF0000FF"},
        {0x123456, "FF563412"}, {0xFFFFFF, "FFFFFFFF"}, {0x000000, "FF000000"},
    };
    int row = 0;
    for (const auto &entry : cases) {
        m_sheet.setFillColor(CellRange{row, 0, row, 0}, entry.blueGreenRed);
        ++row;
    }
    const QJsonObject facts = saveAndRead({QStringLiteral("A1:A%1").arg(row)});
    row = 1;
    for (const auto &entry : cases) {
        SCOPED_TRACE(entry.rgb);
        EXPECT_EQ(facts["cells"].toObject()[QStringLiteral("A%1").arg(row++)].toObject()["fill"].toString(),
                  QString::fromLatin1(entry.rgb));
    }
}

TEST_F(WorkbookWriterTest, LinksKeepTheCellAndPointAtTheirTarget)
{
    const struct
    {
        const char *name;
        QString value;
        QString address;
        QString subAddress;
        QString tip;
        const char *target;
        const char *location;
        QJsonValue shown;
    } cases[] = {
        {"relative path", "差分 #1/50%.xlsx", "差分 #1/50%.xlsx", "Sheet1!A1", "差分 #1/50%.xlsx",
         "差分%20%231/50%25.xlsx", "Sheet1!A1", "差分 #1/50%.xlsx"},
        {"absolute path", "shown text", "/home/user/a b.xlsx", "", "", "file:///home/user/a%20b.xlsx", nullptr,
         "shown text"},
        {"web address", "site", "http://127.0.0.1/page?a=1", "", "tip", "http://127.0.0.1/page?a=1", nullptr,
         "site"},
        {"empty cell", "", "dir/00000012.xlsx", "Sheet1!A1", "dir/00000012.xlsx", "dir/00000012.xlsx",
         "Sheet1!A1", "dir/00000012.xlsx"},
        {"number cell", "12", "dir/00000013.xlsx", "", "", "dir/00000013.xlsx", nullptr, 12},
        {"place in the workbook", "here", "", "Sheet1!B2", "", nullptr, "Sheet1!B2", "here"},
    };
    int row = 0;
    for (const auto &entry : cases) {
        m_sheet.setValue(row, 4, entry.value);
        ++row;
    }
    m_sheet.setFontName(CellRange{0, 4, row - 1, 4}, "ＭＳ ゴシック");
    m_sheet.setFillColor(CellRange{0, 4, row - 1, 4}, 0x00FFFF);
    row = 0;
    for (const auto &entry : cases)
        m_sheet.addHyperlink(row++, 4, entry.address, entry.subAddress, entry.tip);

    const QJsonObject facts = saveAndRead({QStringLiteral("E1:E%1").arg(row + 1)});
    row = 1;
    for (const auto &entry : cases) {
        SCOPED_TRACE(entry.name);
        const QJsonObject linked = facts["cells"].toObject()[QStringLiteral("E%1").arg(row++)].toObject();
        const QJsonObject link = linked["link"].toObject();
        EXPECT_EQ(link["target"], entry.target ? QJsonValue(QString::fromUtf8(entry.target)) : QJsonValue());
        EXPECT_EQ(link["location"], entry.location ? QJsonValue(entry.location) : QJsonValue());
        EXPECT_EQ(link["tooltip"], entry.tip.isEmpty() ? QJsonValue() : QJsonValue(entry.tip));
        EXPECT_EQ(linked["value"], entry.shown);
        const QJsonObject font = linked["font"].toObject();
        EXPECT_EQ(font["name"].toString(), "ＭＳ ゴシック");
        EXPECT_EQ(font["underline"].toString(), "single");
        EXPECT_EQ(font["color"].toString(), "FF0000FF");
        EXPECT_EQ(linked["fill"].toString(), "FFFFFF00");
    }
    EXPECT_TRUE(facts["cells"].toObject()[QStringLiteral("E%1").arg(row)].toObject()["link"].isNull());
}

TEST_F(WorkbookWriterTest, WritesFormulaConditionsInOrder)
{
    const QString formulas[] = {
        "=OFFSET(B4,0,2-COLUMN(B4),1,1)=\"変更\"",
        "=OFFSET(B4,0,2-COLUMN(B4),1,1)=\"追加\"",
        "=OFFSET(B4,0,2-COLUMN(B4),1,1)=\"削除\"",
    };
    const quint32 colours[] = {0x80FFFF, 0xFFC0C0, 0xC0C0FF};
    for (int i = 0; i < 3; ++i)
        m_sheet.addFormulaCondition(CellRange{3, 1, 65534, 5}, formulas[i], colours[i]);

    const QJsonArray conditions = saveAndRead({})["conditions"].toArray();
    ASSERT_EQ(conditions.size(), 3);
    const char *fills[] = {"FFFFFF80", "FFC0C0FF", "FFFFC0C0"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QJsonObject condition = conditions[i].toObject();
        EXPECT_EQ(condition["range"].toString(), "B4:F65535");
        EXPECT_EQ(condition["type"].toString(), "expression");
        EXPECT_EQ(condition["formula"].toArray(), QJsonArray{formulas[i].mid(1)});
        EXPECT_EQ(condition["priority"].toInt(), i + 1);
        EXPECT_EQ(condition["fill"].toString(), QString::fromLatin1(fills[i]));
    }
}

TEST_F(WorkbookWriterTest, WritesTheLastRowAndColumnOfTheSheet)
{
    m_sheet.setValue(WorksheetMaxRows - 1, WorksheetMaxColumns - 1, "corner");
    const QJsonObject facts = saveAndRead({"XFD1048576"});
    EXPECT_EQ(facts["maxRow"].toInt(), WorksheetMaxRows);
    EXPECT_EQ(facts["maxColumn"].toInt(), WorksheetMaxColumns);
    EXPECT_EQ(cell(facts, "XFD1048576")["value"].toString(), "corner");
}

// Saves that must fail: the target, an existing workbook, stays byte for byte, and
// nothing else appears in its folder.
class WorkbookFaultTest : public WorkbookWriterTest
{
protected:
    void expectFailureLeavesTarget(WorkbookWriter &workbook)
    {
        const QByteArray before("an earlier workbook");
        m_folder.writeFile("book.xlsx", before);
        const WorkbookResult result = workbook.save(bookPath());
        EXPECT_FALSE(result.saved);
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_EQ(TemporaryFolder::readFile(bookPath()), before);
        EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{"book.xlsx"});
    }
};

TEST_F(WorkbookFaultTest, RefusesWhatASheetCannotHold)
{
    const struct
    {
        const char *name;
        std::function<void(WorkbookWriter &)> fill;
    } cases[] = {
        {"row beyond the sheet", [](WorkbookWriter &book) { book.addWorksheet("Sheet1").setValue(WorksheetMaxRows, 0, "x"); }},
        {"negative column", [](WorkbookWriter &book) { book.addWorksheet("Sheet1").setValue(0, -1, "x"); }},
        {"text too long for a cell",
         [](WorkbookWriter &book) { book.addWorksheet("Sheet1").setValue(0, 0, QString(32768, u'x')); }},
        {"range beyond the sheet",
         [](WorkbookWriter &book) { book.addWorksheet("Sheet1").setBorders(CellRange{0, 0, 0, WorksheetMaxColumns}); }},
        {"column width too large", [](WorkbookWriter &book) { book.addWorksheet("Sheet1").setColumnWidth(0, 0, 256); }},
        {"link without target", [](WorkbookWriter &book) { book.addWorksheet("Sheet1").addHyperlink(0, 0, "", "", "tip"); }},
        {"tip too long for a link",
         [](WorkbookWriter &book) { book.addWorksheet("Sheet1").addHyperlink(0, 0, "a.xlsx", "", QString(256, u't')); }},
        {"address too long for a link",
         [](WorkbookWriter &book) { book.addWorksheet("Sheet1").addHyperlink(0, 0, QString(2100, u'a'), "", ""); }},
        {"invalid sheet name", [](WorkbookWriter &book) { book.addWorksheet("a/b"); }},
        {"sheet name used twice",
         [](WorkbookWriter &book) {
             book.addWorksheet("Sheet1");
             book.addWorksheet("sheet1");
         }},
        {"too many links",
         [](WorkbookWriter &book) {
             Worksheet &sheet = book.addWorksheet("Sheet1");
             for (int row = 0; row <= 65530; ++row)
                 sheet.addHyperlink(row, 0, "a.xlsx", "", "");
         }},
    };
    for (const auto &entry : cases) {
        SCOPED_TRACE(entry.name);
        WorkbookWriter workbook;
        entry.fill(workbook);
        expectFailureLeavesTarget(workbook);
    }
}

TEST_F(WorkbookWriterTest, FailsWhereTheTargetCannotBeWritten)
{
    m_sheet.setValue(0, 0, "x");
    m_folder.writeFile("plain file", "not a folder");
    m_folder.makeFolder("book as folder.xlsx/inner");
    const struct
    {
        const char *name;
        QString path;
    } cases[] = {
        {"missing folder", m_folder.filePath("missing/book.xlsx")},
        {"parent is a file", m_folder.filePath("plain file/book.xlsx")},
        {"target is a folder", m_folder.filePath("book as folder.xlsx")},
    };
    const QStringList before = QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const auto &entry : cases) {
        SCOPED_TRACE(entry.name);
        const WorkbookResult result = m_workbook.save(entry.path);
        EXPECT_FALSE(result.saved);
        EXPECT_FALSE(result.error.isEmpty());
    }
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    EXPECT_EQ(QDir(m_folder.filePath("book as folder.xlsx")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"inner"});
    EXPECT_EQ(TemporaryFolder::readFile(m_folder.filePath("plain file")), QByteArray("not a folder"));
}

TEST_F(WorkbookFaultTest, LeavesATargetInAReadOnlyFolder)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into read-only folders";
    m_sheet.setValue(0, 0, "x");
    const QByteArray before("an earlier workbook");
    const QString target = m_folder.writeFile("locked/book.xlsx", before);
    QFile::setPermissions(m_folder.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
    const WorkbookResult result = m_workbook.save(target);
    QFile::setPermissions(m_folder.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(TemporaryFolder::readFile(target), before);
    EXPECT_EQ(QDir(m_folder.filePath("locked")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"book.xlsx"});
}

TEST_F(WorkbookWriterTest, ReplacesAnExistingTargetUnderExactlyItsName)
{
    m_sheet.setValue(0, 0, "new");
    const QString target = m_folder.writeFile("result.xls", "an earlier workbook");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const QString link = m_folder.filePath("link.xls");
    ASSERT_TRUE(QFile::link(target, link));

    const WorkbookResult result = m_workbook.save(link);
    ASSERT_TRUE(result.saved) << result.error.toStdString();

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(TemporaryFolder::readFile(target).startsWith("PK\x03\x04"));
    const QFile::Permissions modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                        | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                                        | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(target) & modeBits, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{"link.xls", "result.xls"}));
    EXPECT_EQ(readWorkbookBack(target, {"A1"})["cells"].toObject()["A1"].toObject()["value"].toString(), "new");
}

} // namespace
} // namespace platform
