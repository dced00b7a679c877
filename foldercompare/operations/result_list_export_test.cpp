#include "foldercompare/operations/result_list_csv.h"
#include "foldercompare/operations/result_list_excel.h"
#include "foldercompare/operations/result_list_html.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "platform/code_page.h"
#include "platform/flex_grid.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace foldercompare {
namespace {

using platform::testing::ScriptedDialogs;
using platform::testing::TemporaryFolder;

const QString Date = QStringLiteral("2024/01/02 03:04:05");
const QStringList Header{"No.", "状態", "フォルダ１", "フォルダ２", "ファイル/フォルダの相対パス"};

QByteArray cp932(const QString &text)
{
    return platform::encodeText(platform::CodePage::Cp932, text).bytes;
}

// A result grid: the header, then rows of (status, date 1, date 2, relative path, colour).
void fill(platform::FlexGrid &grid, const QList<std::pair<QStringList, quint32>> &rows)
{
    grid.setCols(5);
    grid.setRows(int(rows.size()) + 1);
    grid.setRowTexts(0, Header);
    for (int row = 1; row <= rows.size(); ++row) {
        grid.setRowTexts(row, QStringList{QString::number(row)} + rows[row - 1].first);
        grid.setRangeBackColor(row, 1, row, 4, rows[row - 1].second);
    }
}

TEST(CsvSizeFit, PadsByCodePage932Bytes)
{
    const struct
    {
        QString text;
        int column;
        int dateWidth;
        QString fitted;
    } cases[] = {
        {"No.", 0, 19, "  No."},
        {"12345", 0, 19, "12345"},
        {"123456", 0, 19, "123456"},
        {"", 1, 19, "    "},
        {"変更", 1, 19, "変更"},
        {"状態", 1, 19, "状態"},
        {"ab", 1, 19, " ab "},
        {"abc", 1, 19, "abc "},
        {Date, 2, 19, Date},
        {"", 3, 19, QString(9, u' ') + QString(10, u' ')},
        {"フォルダ１", 2, 19, "    フォルダ１     "},
        {"ﾌｫﾙﾀﾞ", 2, 19, "       ﾌｫﾙﾀﾞ       "},
        {" " + Date + "*", 2, 21, " " + Date + "*"},
        {Date, 2, 21, " " + Date + " "},
        {"SJIS", 3, 7, " SJIS  "},
        {"UNICODE", 3, 7, "UNICODE"},
        {"a very long relative path", 4, 19, "a very long relative path"},
        {"", 4, 19, ""},
        {"é", 1, 19, " é  "},
        {"😀", 1, 19, " 😀  "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " in column " + std::to_string(c.column));
        EXPECT_EQ(CsvSizeFit(c.text, c.column, c.dateWidth), c.fitted);
    }
    EXPECT_EQ(CsvDateWidth(true, true), 7);
    EXPECT_EQ(CsvDateWidth(false, true), 21);
    EXPECT_EQ(CsvDateWidth(false, false), 19);
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
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(HtmlLinkTarget(c.name), c.target);
    }
}

// Exports of a grid built in the test, with the per-row files off unless a case turns
// them on (the viewer is then missing, which each eligible row reports).
class ResultListExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fill(m_grid, {
                         {{"", Date, Date, "same.txt"}, 0},
                         {{"変更", Date, Date, "a&b <c>.txt"}, 0x0080FF},
                         {{"日時", Date, Date, "touched.txt"}, 0x88FFFF},
                         {{"追加", "", Date, "\"quoted\".txt"}, 0xBBBBFF},
                         {{"削除", Date, "", "sub/"}, 0xDDDDDD},
                     });
    }
    void TearDown() override
    {
        common::BatchMode = false;
        common::BatchFailed = false;
        common::CommandLineOptions = {};
    }

    ResultListExport source(PerRowSwitches perRow = {})
    {
        return {{m_grid, {"/old", "/new"}, {"/old & <1>", "/new"}, m_folder.filePath("no-viewer")},
                m_diffRows,
                perRow,
                [this] { ++m_pumps; }};
    }

    TemporaryFolder m_folder;
    ScriptedDialogs m_dialogs;
    platform::FlexGrid m_grid;
    qint32 m_diffRows = 3;
    int m_pumps = 0;
};

TEST_F(ResultListExportTest, HtmlPageWithLinksOnEligibleRows)
{
    const QString path = m_folder.filePath("out/list.html");
    BatHtmlSave(source({true, false, false}), path);
    const QString expected
        = "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Language\" content=\"ja\">\r\n"
          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=shift_jis\">\r\n"
          "<title>Dirgleam</title>\r\n</head>\r\n<body>\r\n<basefont size=\"2\">\r\n"
          "/old &amp; &lt;1&gt;<br>\r\n/new<br>\r\n"
          "<table border=\"1\" cellspacing=\"0\" style=\"table-layout:fixed;font-size:13px;\">\r\n"
          "<tr bgcolor=\"#FFFFFF\"><td align=\"center\" width=\"50\">No.</td><td align=\"center\" width=\"50\">状態</td>"
          "<td align=\"center\" width=\"150\">フォルダ１</td><td align=\"center\" width=\"150\">フォルダ２</td>"
          "<td align=\"center\" width=\"570\">ファイル/フォルダの相対パス</td></tr>\r\n"
          "<tr bgcolor=\"#FFFFFF\"><td align=\"right\">1</td><td align=\"center\">&nbsp;</td>"
          "<td align=\"center\">2024/01/02&nbsp;03:04:05</td><td align=\"center\">2024/01/02&nbsp;03:04:05</td>"
          "<td align=\"left\">same.txt</td></tr>\r\n"
          "<tr bgcolor=\"#FF8000\"><td align=\"right\">2</td><td align=\"center\">変更</td>"
          "<td align=\"center\">2024/01/02&nbsp;03:04:05</td><td align=\"center\">2024/01/02&nbsp;03:04:05</td>"
          "<td align=\"left\"><a href=\"list.dir/00000002.html\">a&amp;b&nbsp;&lt;c&gt;.txt</a></td></tr>\r\n"
          "<tr bgcolor=\"#FFFF88\"><td align=\"right\">3</td><td align=\"center\">日時</td>"
          "<td align=\"center\">2024/01/02&nbsp;03:04:05</td><td align=\"center\">2024/01/02&nbsp;03:04:05</td>"
          "<td align=\"left\">touched.txt</td></tr>\r\n"
          "<tr bgcolor=\"#FFBBBB\"><td align=\"right\">4</td><td align=\"center\">追加</td>"
          "<td align=\"center\">&nbsp;</td><td align=\"center\">2024/01/02&nbsp;03:04:05</td>"
          "<td align=\"left\"><a href=\"list.dir/00000004.html\">\"quoted\".txt</a></td></tr>\r\n"
          "<tr bgcolor=\"#DDDDDD\"><td align=\"right\">5</td><td align=\"center\">削除</td>"
          "<td align=\"center\">2024/01/02&nbsp;03:04:05</td><td align=\"center\">&nbsp;</td>"
          "<td align=\"left\">sub/</td></tr>\r\n"
          "</table>\r\n</body>\r\n</html>\r\n";
    EXPECT_EQ(TemporaryFolder::readFile(path), cp932(expected));
    EXPECT_EQ(m_pumps, 6) << "once per grid row";
    ASSERT_EQ(m_dialogs.shown().size(), 2) << "the missing viewer, once per eligible row";
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("システムエラー : TxtDifAuto_File\r\n"));
}

TEST_F(ResultListExportTest, CsvFieldsQuotedAndPadded)
{
    const QString path = m_folder.filePath("list.csv");
    BatCsvSave(source(), CsvOptions{true, true, 19}, path, ";");
    const QString empty19 = QString(19, u' ');
    const QString expected = "/old & <1>\r\n/new\r\n"
                             "\"  No.\";\"状態\";\"    フォルダ１     \";\"    フォルダ２     \";\"ファイル/フォルダの相対パス\"\r\n"
                             "\"    1\";\"    \";\"" + Date + "\";\"" + Date + "\";\"same.txt\"\r\n"
                             "\"    2\";\"変更\";\"" + Date + "\";\"" + Date + "\";\"a&b <c>.txt\"\r\n"
                             "\"    3\";\"日時\";\"" + Date + "\";\"" + Date + "\";\"touched.txt\"\r\n"
                             "\"    4\";\"追加\";\"" + empty19 + "\";\"" + Date + "\";\"\"\"quoted\"\".txt\"\r\n"
                             "\"    5\";\"削除\";\"" + Date + "\";\"" + empty19 + "\";\"sub/\"\r\n";
    EXPECT_EQ(TemporaryFolder::readFile(path), cp932(expected));
    EXPECT_TRUE(m_dialogs.shown().isEmpty()) << "no per-row files without the options";
    EXPECT_EQ(m_pumps, 6);
}

TEST_F(ResultListExportTest, ExcelTableColoursAndLinks)
{
    const QString path = m_folder.filePath("list.xlsx");
    FoldDiffExcel table = BuildFoldDiffExcel(source(), path);
    ASSERT_EQ(table.cells.size(), 8);
    EXPECT_EQ(table.cells[0], (QStringList{"/old & <1>", "", "", "", "", ""}));
    EXPECT_EQ(table.cells[1], (QStringList{"/new", "", "", "", "", ""}));
    EXPECT_EQ(table.cells[2], Header + QStringList{""});
    EXPECT_EQ(table.cells[3], (QStringList{"1", "", Date, Date, "same.txt", ""}));
    EXPECT_EQ(table.cells[4].last(), "33023") << "the colour 0080FF as it stands, in decimal";
    EXPECT_EQ(table.cells[7].last(), "14540253");
    EXPECT_TRUE(table.links.isEmpty());

    table = BuildFoldDiffExcel(source({false, true, false}), path);
    EXPECT_EQ(table.links, (QStringList{"", "", "", "", "list.dir/00000002.xlsx", "", "list.dir/00000004.xlsx", ""}));
}

TEST_F(ResultListExportTest, ExcelTableStopsAtTheSheetsLastRow)
{
    m_grid.setRows(70000);
    const FoldDiffExcel table = BuildFoldDiffExcel(source({true, true, true}), m_folder.filePath("big.xlsx"));
    EXPECT_EQ(table.cells.size(), 65536);
    EXPECT_EQ(table.links.size(), 65536);
    EXPECT_EQ(table.cells.last().size(), 6);
}

TEST_F(ResultListExportTest, TheXRuleWritesNothingWithoutDifferences)
{
    const struct
    {
        const char *name;
        bool batchMode;
        QVariant noSame;
        qint32 diffRows;
        bool written;
    } cases[] = {
        {"-X and no difference", true, true, 0, false},
        {"-X with a difference", true, true, 1, true},
        {"no -X in a batch run", true, false, 0, true},
        {"a command in the window", false, QVariant(), 0, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        common::BatchMode = c.batchMode;
        common::CommandLineOptions[1] = c.noSame;
        m_diffRows = c.diffRows;
        const QString folder = m_folder.filePath(QString::fromUtf8(c.name));
        BatHtmlSave(source({true, true, false}), folder + "/a.html");
        BatCsvSave(source(), CsvOptions{}, folder + "/a.csv", ",");
        EXPECT_EQ(BatExcelSave(source(), folder + "/a.xlsx"), c.written);
        EXPECT_EQ(QFileInfo::exists(folder), c.written);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), c.written ? 3 : 0);
    }
}

TEST_F(ResultListExportTest, AFileThatCannotBeWrittenIsPassedOn)
{
    m_folder.writeFile("plain", "a file, not a folder");
    const QString path = m_folder.filePath("plain/sub/list.csv");
    try {
        BatCsvSave(source({true, false, false}), CsvOptions{}, path, ",");
        FAIL() << "the export succeeded";
    } catch (const common::Failure &failure) {
        EXPECT_TRUE(failure.record().Description.contains(path));
    }
    ASSERT_EQ(m_dialogs.shown().size(), 1) << "the folder's own report; no per-row run after the failure";
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("システムエラー : CreateFolder\r\n"));

    try {
        BatExcelSave(source(), m_folder.filePath("plain/list.xlsx"));
        FAIL() << "the workbook was saved";
    } catch (const common::Failure &failure) {
        EXPECT_EQ(failure.record().Number, 9999);
        EXPECT_EQ(failure.record().Description, "エクセルの書込みに失敗しました。   ");
    }
}

} // namespace
} // namespace foldercompare
