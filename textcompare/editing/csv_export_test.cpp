#include "textcompare/editing/csv_export.h"

#include "platform/code_page.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

using platform::testing::TemporaryFolder;

// A differences-only table: the running numbers restart at 1 whatever lines remain.
DisplayTable sampleTable()
{
    DisplayTable table;
    table.append(DisplayHeaderRow());
    table.append({"1", "", "1", "a", "a", "1", "", ""});
    table.append({"2", "", "2", "", "", "2", "", ""});
    table.append({"3", "変更", "3", "a\"b", "c", "3", "16777147", ""});
    table.append({"4", "削除", "4", "x,y", "", "", "14540253", ""});
    table.append({"5", "追加", "", "", "x", "7", "12303359", ""});
    return table;
}

class CsvExportTest : public ::testing::Test
{
protected:
    QByteArray save(bool unicode, bool doubleQuote, const QString &separator)
    {
        const QString path = m_folder.filePath("diff.csv");
        EXPECT_TRUE(BatCsvSave({m_table, {"/old/a b.txt", "/new/é.txt"}, 3, {}}, unicode, doubleQuote, path,
                               separator, false));
        return TemporaryFolder::readFile(path);
    }

    TemporaryFolder m_folder;
    DisplayTable m_table = sampleTable();
};

TEST_F(CsvExportTest, BytesForEachSeparatorAndQuoting)
{
    const QString header = "%1状態%1行No.%1ファイル１%1ファイル２%1行No.\r\n";
    const struct
    {
        const char *name;
        bool doubleQuote;
        QString separator;
        QString rows;
    } cases[] = {
        {"comma, quoted", true, ",",
         "1,,1,\"a\",\"a\",1\r\n2,,2,\"\",\"\",2\r\n3,変更,3,\"a\"\"b\",\"c\",3\r\n4,削除,4,\"x,y\",\"\",\r\n"
         "5,追加,,\"\",\"x\",7\r\n"},
        {"comma, plain", false, ",",
         "1,,1,a,a,1\r\n2,,2,,,2\r\n3,変更,3,a\"b,c,3\r\n4,削除,4,x,y,,\r\n5,追加,,,x,7\r\n"},
        {"TAB", false, "\t",
         "1\t\t1\ta\ta\t1\r\n2\t\t2\t\t\t2\r\n3\t変更\t3\ta\"b\tc\t3\r\n4\t削除\t4\tx,y\t\t\r\n5\t追加\t\t\tx\t7\r\n"},
        {"several characters", true, "<SEPA>",
         "1<SEPA><SEPA>1<SEPA>\"a\"<SEPA>\"a\"<SEPA>1\r\n2<SEPA><SEPA>2<SEPA>\"\"<SEPA>\"\"<SEPA>2\r\n"
         "3<SEPA>変更<SEPA>3<SEPA>\"a\"\"b\"<SEPA>\"c\"<SEPA>3\r\n4<SEPA>削除<SEPA>4<SEPA>\"x,y\"<SEPA>\"\"<SEPA>\r\n"
         "5<SEPA>追加<SEPA><SEPA>\"\"<SEPA>\"x\"<SEPA>7\r\n"},
        {"empty separator", false, "", "11aa1\r\n222\r\n3変更3a\"bc3\r\n4削除4x,y\r\n5追加x7\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString expected = "/old/a b.txt\r\n/new/?.txt\r\n" + header.arg(c.separator) + c.rows;
        EXPECT_EQ(save(false, c.doubleQuote, c.separator), platform::encodeText(platform::CodePage::Cp932, expected).bytes);
    }
    EXPECT_TRUE(save(false, false, ",").contains("3,\x95\xCF\x8D\x58,3,")) << "変更 in code page 932";
}

TEST_F(CsvExportTest, UnicodeKeepsEveryCharacter)
{
    const QString text = "/old/a b.txt\r\n/new/é.txt\r\n\t状態\t行No.\tファイル１\tファイル２\t行No.\r\n"
                         "1\t\t1\ta\ta\t1\r\n2\t\t2\t\t\t2\r\n3\t変更\t3\ta\"b\tc\t3\r\n4\t削除\t4\tx,y\t\t\r\n"
                         "5\t追加\t\t\tx\t7\r\n";
    QByteArray expected("\xFF\xFE", 2);
    for (const QChar c : text) {
        expected.append(char(c.unicode() & 0xFF));
        expected.append(char(c.unicode() >> 8));
    }
    EXPECT_EQ(save(true, false, "\t"), expected);
}

TEST_F(CsvExportTest, NothingIsWrittenWithoutDifferencesWhenAsked)
{
    const QString path = m_folder.filePath("deep/er/diff.csv");
    EXPECT_FALSE(BatCsvSave({m_table, {"", ""}, 0, {}}, false, true, path, ",", true));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(BatCsvSave({m_table, {"", ""}, 1, {}}, false, true, path, ",", true));
    EXPECT_TRUE(TemporaryFolder::readFile(path).startsWith("\r\n\r\n,")) << "missing folders are created";
}

TEST_F(CsvExportTest, EventsRunOncePerDataLine)
{
    int runs = 0;
    DifferenceExport source{m_table, {"", ""}, 3, [&runs] { ++runs; }};
    ASSERT_TRUE(BatCsvSave(source, false, true, m_folder.filePath("d.csv"), ",", false));
    EXPECT_EQ(runs, 5);
}

} // namespace
} // namespace textcompare
