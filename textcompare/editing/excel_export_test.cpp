#include "textcompare/editing/excel_export.h"

#include "common/saved_error.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/workbook_read_back.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

using platform::testing::readWorkbookBack;
using platform::testing::TemporaryFolder;

// Three data rows: an equal row whose texts look like a formula and a number, a changed
// row and an added row.
DisplayTable sampleTable()
{
    DisplayTable table;
    table.append(DisplayHeaderRow());
    table.append({"1", "", "1", "=1+1", "007", "1", "", ""});
    table.append({"2", "変更", "2", "旧 text", "新 text", "2", QString::number(0xFFFFBB), ""});
    table.append({"3", "追加", "", "", "added", "3", QString::number(0xBBBBFF), QString::number(0xFF)});
    return table;
}

QJsonObject cell(const QJsonObject &facts, const char *name)
{
    return facts["cells"].toObject()[QLatin1String(name)].toObject();
}

class ExcelExportTest : public ::testing::Test
{
protected:
    DifferenceExport source(qint32 diffRowCount = 2) const
    {
        return {m_table, {"/old/a.txt", "/new/a.txt"}, diffRowCount, {}};
    }
    QString path(const char *name) const { return m_folder.filePath(name); }

    TemporaryFolder m_folder;
    DisplayTable m_table = sampleTable();
    platform::testing::ScriptedDialogs m_dialogs;
};

TEST_F(ExcelExportTest, RowsColumnsAndFills)
{
    ASSERT_TRUE(BatExcelSave(source(), false, DiffColors{}, path("out/d.xls"), false, false));
    const QJsonObject facts = readWorkbookBack(path("out/d.xls"), {"A1:G7"});
    EXPECT_EQ(facts["maxRow"].toInt(), 6);
    EXPECT_EQ(facts["maxColumn"].toInt(), 6);

    const QJsonObject columns = facts["columns"].toObject();
    const struct
    {
        const char *column;
        double width;
        const char *format;
    } layout[] = {{"A", 5.7109375, "General"}, {"B", 4.7109375, "General"}, {"C", 5.7109375, "General"},
                  {"D", 49.7109375, "@"},      {"E", 49.7109375, "@"},      {"F", 5.7109375, "General"}};
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
        {"A1", "s", "/old/a.txt"}, {"B1", "n", QJsonValue()}, {"A2", "s", "/new/a.txt"}, {"A3", "s", "No."},
        {"B3", "s", "状態"},       {"D3", "s", "ファイル１"},  {"F3", "s", "行No."},     {"G3", "n", QJsonValue()},
        {"A4", "n", 1},            {"B4", "n", QJsonValue()}, {"C4", "n", 1},           {"D4", "s", "=1+1"},
        {"E4", "s", "007"},        {"B5", "s", "変更"},       {"D5", "s", "旧 text"},   {"C6", "n", QJsonValue()},
        {"E6", "s", "added"},      {"F6", "n", 3},            {"G6", "n", QJsonValue()},
    };
    for (const auto &value : values) {
        SCOPED_TRACE(value.cell);
        EXPECT_EQ(cell(facts, value.cell)["type"].toString(), value.type);
        EXPECT_EQ(cell(facts, value.cell)["value"], value.value);
    }

    for (const char *name : {"A1", "C3", "F6"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(cell(facts, name)["font"].toObject()["name"].toString(), "ＭＳ ゴシック");
        EXPECT_EQ(cell(facts, name)["font"].toObject()["size"].toDouble(), 9);
        EXPECT_EQ(cell(facts, name)["borders"].toString(), "thin,thin,thin,thin");
    }
    EXPECT_EQ(cell(facts, "G6")["borders"].toString(), "None,None,None,None");

    const struct
    {
        const char *cell;
        QJsonValue fill;
    } fills[] = {
        {"A5", QJsonValue()},  {"B1", "FFFFFFFF"}, {"F3", "FFFFFFFF"}, {"B4", "FFFFFFFF"}, {"B5", "FFBBFFFF"},
        {"F5", "FFBBFFFF"},    {"B6", "FFFFBBBB"}, {"G6", QJsonValue()},
    };
    for (const auto &fill : fills) {
        SCOPED_TRACE(fill.cell);
        EXPECT_EQ(cell(facts, fill.cell)["fill"], fill.fill);
    }
    EXPECT_TRUE(facts["conditions"].toArray().isEmpty());
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(ExcelExportTest, ConditionalFormatsFollowTheStateFormula)
{
    DiffColors colors;
    colors.DIFFCUPD = 0x0000FF;
    ASSERT_TRUE(BatExcelSave(source(), true, colors, path("c.xlsx"), false, false));
    const QJsonObject facts = readWorkbookBack(path("c.xlsx"), {"A1:F6"});
    EXPECT_EQ(cell(facts, "B4")["type"].toString(), "f");
    EXPECT_EQ(cell(facts, "B4")["value"].toString(),
              "=IF(OFFSET(B4,0,1,1,1)=\"\",IF(OFFSET(B4,0,4,1,1)=\"\",\"\",\"追加\"),IF(OFFSET(B4,0,4,1,1)=\"\","
              "\"削除\",IF(OFFSET(B4,0,2,1,1)=OFFSET(B4,0,3,1,1),\"\",\"変更\")))");
    EXPECT_EQ(cell(facts, "B6")["value"].toString(), StateFormula(6));
    EXPECT_TRUE(cell(facts, "B6")["value"].toString().contains("OFFSET(B6,0,4,1,1)"));
    EXPECT_EQ(cell(facts, "B3")["value"].toString(), "状態") << "the header keeps its text";
    EXPECT_TRUE(cell(facts, "B5")["fill"].isNull()) << "no fixed fills with conditions";

    const QJsonArray conditions = facts["conditions"].toArray();
    ASSERT_EQ(conditions.size(), 3);
    const char *states[3] = {"変更", "追加", "削除"};
    const char *fills[3] = {"FFFF0000", "FFFFBBBB", "FFDDDDDD"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(states[i]);
        const QJsonObject rule = conditions[i].toObject();
        EXPECT_EQ(rule["range"].toString(), "B4:F65535");
        EXPECT_EQ(rule["type"].toString(), "expression");
        EXPECT_EQ(rule["formula"].toArray()[0].toString(),
                  QStringLiteral("OFFSET(B4,0,2-COLUMN(B4),1,1)=\"%1\"").arg(states[i]));
        EXPECT_EQ(rule["fill"].toString(), fills[i]);
    }
}

TEST_F(ExcelExportTest, NothingWithoutDifferencesWhenAsked)
{
    EXPECT_FALSE(BatExcelSave(source(0), false, DiffColors{}, path("none.xlsx"), true, true));
    EXPECT_FALSE(QFile::exists(path("none.xlsx")));
    EXPECT_TRUE(BatExcelSave(source(0), false, DiffColors{}, path("none.xlsx"), true, false));
    EXPECT_TRUE(QFile::exists(path("none.xlsx")));
}

TEST_F(ExcelExportTest, FailedSavesAreReportedByMode)
{
    m_folder.writeFile("plain", "a file");
    const QString target = path("plain/d.xlsx");
    const struct
    {
        const char *name;
        bool batmode;
        qint32 number;
        QString description;
    } cases[] = {
        {"with the user", false, 9998, "書込み出来ませんでした。文字コードエラー？   "},
        {"unattended", true, common::ExcelWriteFailedNumber,
         common::ExcelWriteFailedText + "\r\ncannot write " + target + ": "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            BatExcelSave(source(), false, DiffColors{}, target, c.batmode, false);
            ADD_FAILURE() << "the save succeeded";
        } catch (const common::Failure &failure) {
            EXPECT_EQ(failure.record().Number, c.number);
            EXPECT_TRUE(failure.record().Description.startsWith(c.description)) << failure.record().Description.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(target));
}

TEST_F(ExcelExportTest, LongTablesAreCutToTheSheet)
{
    DisplayTable table;
    table.append(DisplayHeaderRow());
    for (int row = 1; row <= 65540; ++row)
        table.append({QString::number(row), "", QString::number(row), "x", "x", QString::number(row), "", ""});
    ASSERT_TRUE(BatExcelSave({table, {"a", "b"}, 0, {}}, false, DiffColors{}, path("long.xlsx"), true, false));
    const QJsonObject facts = readWorkbookBack(path("long.xlsx"), {"A65536:A65536"});
    EXPECT_EQ(facts["maxRow"].toInt(), 65536);
    EXPECT_EQ(cell(facts, "A65536")["value"].toInt(), 65533) << "the last data rows are missing";
}

} // namespace
} // namespace textcompare
