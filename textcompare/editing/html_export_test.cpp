#include "textcompare/editing/html_export.h"

#include "common/saved_error.h"
#include "platform/code_page.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

using platform::testing::TemporaryFolder;

QByteArray cp932(const QString &text)
{
    return platform::encodeText(platform::CodePage::Cp932, text).bytes;
}

QByteArray utf16(const QString &text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

// A display table as a comparison leaves it: a same row, a changed row with markup and
// blanks, an added row with a character that code page 932 has, a deleted row with one it
// lacks.
DisplayTable sampleTable()
{
    DisplayTable table;
    table.append(DisplayHeaderRow());
    table.append({"1", "", "1", "same", "same", "1", "", ""});
    table.append({"2", "変更", "2", "a  <b> & c", "a <b>", "2", "16777147", ""});
    table.append({"3", "追加", "", "", "丸①", "3", "12303359", "255"});
    table.append({"4", "削除", "3", "café", "", "", "14540253", ""});
    return table;
}

const QString PageHead = "<html>\r\n"
                         "<head>\r\n"
                         "<meta http-equiv=\"Content-Language\" content=\"ja\">\r\n"
                         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=%1\">\r\n"
                         "<title>Linquell</title>\r\n"
                         "</head>\r\n"
                         "<body>\r\n"
                         "<basefont size=\"2\">\r\n"
                         "/old/R&amp;D &lt;1&gt;.txt<br>\r\n"
                         "/new/b.txt<br>\r\n"
                         "<table border=\"1\" cellspacing=\"0\" style=\"table-layout:fixed;font-size:13px;\">\r\n"
                         "<tr bgcolor=\"#FFFFFF\"><td align=\"center\" width=\"50\">No.</td>"
                         "<td align=\"center\" width=\"50\">状態</td><td align=\"center\" width=\"50\">行No.</td>"
                         "<td align=\"center\" width=\"385\">ファイル１</td>"
                         "<td align=\"center\" width=\"385\">ファイル２</td>"
                         "<td align=\"center\" width=\"50\">行No.</td></tr>\r\n";

const QString PageRows
    = "<tr bgcolor=\"#FFFFFF\"><td align=\"right\">1</td><td align=\"center\">&nbsp;</td><td align=\"right\">1</td>"
      "<td align=\"left\">same</td><td align=\"left\">same</td><td align=\"right\">1</td></tr>\r\n"
      "<tr bgcolor=\"#BBFFFF\"><td align=\"right\">2</td><td align=\"center\">変更</td><td align=\"right\">2</td>"
      "<td align=\"left\">a  &lt;b&gt; &amp; c</td><td align=\"left\">a &lt;b&gt;</td>"
      "<td align=\"right\">2</td></tr>\r\n"
      "<tr bgcolor=\"#FFBBBB\"><td align=\"right\">3</td><td align=\"center\">追加</td>"
      "<td align=\"right\">&nbsp;</td><td align=\"left\">&nbsp;</td><td align=\"left\">丸①</td>"
      "<td align=\"right\">3</td></tr>\r\n"
      "<tr bgcolor=\"#DDDDDD\"><td align=\"right\">4</td><td align=\"center\">削除</td><td align=\"right\">3</td>"
      "<td align=\"left\">%1</td><td align=\"left\">&nbsp;</td><td align=\"right\">&nbsp;</td></tr>\r\n";

const QString PageTail = "</table>\r\n</body>\r\n</html>\r\n";

class HtmlExportTest : public ::testing::Test
{
protected:
    DifferenceExport source() const { return {m_table, {"/old/R&D <1>.txt", "/new/b.txt"}, 3, {}}; }

    TemporaryFolder m_folder;
    DisplayTable m_table = sampleTable();
    platform::testing::ScriptedDialogs m_dialogs;
};

TEST_F(HtmlExportTest, PageInCodePage932)
{
    const QString path = m_folder.filePath("out/sub/diff.html");
    ASSERT_TRUE(BatHtmlSave(source(), false, path, false));
    const QByteArray bytes = TemporaryFolder::readFile(path);
    EXPECT_EQ(bytes, cp932(PageHead.arg("shift_jis") + PageRows.arg("caf&#xE9;") + PageTail))
        << "a character without a code-page-932 form as a character reference";
    EXPECT_TRUE(bytes.contains("\x8F\xF3\x91\xD4")) << "状態 in code page 932";
    EXPECT_TRUE(bytes.contains("\x8A\xDB\x87\x40")) << "丸① in code page 932";
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(HtmlExportTest, PageInUnicode)
{
    const QString path = m_folder.filePath("diff.html");
    ASSERT_TRUE(BatHtmlSave(source(), true, path, false));
    EXPECT_EQ(TemporaryFolder::readFile(path), utf16(PageHead.arg("unicode") + PageRows.arg("café") + PageTail));
}

TEST_F(HtmlExportTest, RowColoursTurnFromBlueGreenRedToRedGreenBlue)
{
    const struct
    {
        const char *cell;
        const char *color;
    } cases[] = {
        {"16777147", "#BBFFFF"}, {"255", "#FF0000"}, {"16711680", "#0000FF"}, {"", "#FFFFFF"},
        {"0", "#000000"},        {"4096.6", "#011000"}, {"x", "#000000"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.cell);
        DisplayTable table;
        table.append(DisplayHeaderRow());
        table.append({"1", "変更", "1", "a", "b", "1", c.cell, ""});
        const QString path = m_folder.filePath("colour.html");
        ASSERT_TRUE(BatHtmlSave({table, {"", ""}, 1, {}}, false, path, false));
        const QByteArray expected = "<tr bgcolor=\"" + QByteArray(c.color) + "\"><td align=\"right\">1</td>";
        EXPECT_TRUE(TemporaryFolder::readFile(path).contains(expected));
    }
}

TEST_F(HtmlExportTest, NothingIsWrittenWithoutDifferencesWhenAsked)
{
    const QString path = m_folder.writeFile("keep.html", "old contents");
    DifferenceExport same = source();
    same.diffRowCount = 0;
    EXPECT_FALSE(BatHtmlSave(same, false, path, true));
    EXPECT_EQ(TemporaryFolder::readFile(path), "old contents");
    EXPECT_FALSE(BatHtmlSave(same, false, m_folder.filePath("new.html"), true));
    EXPECT_FALSE(QFile::exists(m_folder.filePath("new.html")));

    EXPECT_TRUE(BatHtmlSave(same, false, path, false)) << "without the option the page is written anyway";
    EXPECT_TRUE(TemporaryFolder::readFile(path).startsWith("<html>\r\n"));
}

TEST_F(HtmlExportTest, AnUnwritablePathFailsAndLeavesNoFile)
{
    m_folder.writeFile("plain", "a file, not a folder");
    const QString path = m_folder.filePath("plain/sub/diff.html");
    try {
        BatHtmlSave(source(), false, path, false);
        FAIL() << "the export succeeded";
    } catch (const common::Failure &failure) {
        EXPECT_TRUE(failure.record().Description.contains(path));
    }
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("システムエラー : CreateFolder\r\n"));
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
} // namespace textcompare
