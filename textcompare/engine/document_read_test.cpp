#include "textcompare/engine/document_read.h"

#include "platform/isolated_run.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "textcompare/engine/cell_text.h"
#include "textcompare/engine/document_test_support.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <limits>

namespace textcompare {
namespace {

using platform::testing::TemporaryFolder;
using testing::fixturePath;
using testing::utf16;
using testing::wordPackage;
using testing::writePackage;

// A workbook as a spreadsheet program writes it: shared strings, numbers, dates and
// times, booleans, error values, empty rows and cells inside and after the values, a
// chart sheet between the two worksheets.
const QByteArray WorkbookScript = R"(
import sys, datetime, openpyxl
from openpyxl.chart import BarChart
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "数値"
ws["A1"] = "名前"; ws["B1"] = 1.5; ws["C1"] = 42
ws["A3"] = datetime.date(2024, 1, 2); ws["B3"] = datetime.datetime(2024, 1, 2, 3, 4, 5)
ws["C3"] = datetime.time(3, 4, 5)
ws["A4"] = True; ws["C4"] = "#DIV/0!"
ws["A5"] = 0.1 + 0.2; ws["B5"] = 1e20; ws["C5"] = 1 / 3; ws["D5"] = 123456789012; ws["E5"] = -0.5
ws["A6"] = "x"
ws["B8"] = "last"; ws["G8"] = None
ws["IW8"] = "beyond the 256 columns"
for row in range(9, 12):
    ws.cell(row=row, column=2).number_format = "0.00"
chart = wb.create_chartsheet("グラフ")
chart.add_chart(BarChart())
wb.create_sheet("二枚目")["A1"] = "second"
wb.save(sys.argv[1])
)";

const QString FirstSheet = QStringLiteral("名前\t1.5\t42\r\n"
                                          "\r\n"
                                          "2024/01/02\t2024/01/02 03:04:05\t03:04:05\r\n"
                                          "TRUE\t\t#DIV/0!\r\n"
                                          "0.3\t1E+20\t0.333333333333333\t123456789012\t-0.5\r\n"
                                          "x\r\n"
                                          "\r\n"
                                          "\tlast\r\n");

class DocumentReadTest : public ::testing::Test
{
protected:
    QString excel(const QString &path, const QString &sheet = "1", qint32 maxRows = 1000)
    {
        QString text;
        m_description.clear();
        m_read = RdExcelValue(path, sheet, "A1", maxRows, 256, text, m_description);
        return text;
    }
    QString word(const QString &path)
    {
        QString text;
        m_description.clear();
        m_read = RdWordValue(path, text, m_description);
        return text;
    }

    TemporaryFolder m_folder;
    QString m_description;
    bool m_read = false;
};

TEST_F(DocumentReadTest, WorkbookCellsAsAUserSeesThem)
{
    const QString xlsx = m_folder.filePath("book.xlsx");
    testing::runPython(WorkbookScript, {xlsx});
    const struct
    {
        const char *name;
        QString sheet;
        qint32 maxRows;
        QString expected;
    } cases[] = {
        {"the first worksheet", "1", 1000, FirstSheet},
        {"rows up to MaxLine", "1", 3, FirstSheet.left(FirstSheet.indexOf("TRUE"))},
        {"MaxLine 0", "1", 0, ""},
        {"the chart sheet takes no number", "2", 1000, "second\r\n"},
        {"a number with letters after it", "2nd", 1000, "second\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(excel(xlsx, c.sheet, c.maxRows), c.expected) << m_description.toStdString();
        EXPECT_TRUE(m_read);
    }

    // The same workbook saved as ".xls" in the newer form is read as what it is.
    const QString renamed = m_folder.writeFile("saved.xls", TemporaryFolder::readFile(xlsx));
    EXPECT_EQ(excel(renamed), FirstSheet);
}

TEST_F(DocumentReadTest, LegacyWorkbookWithFormulas)
{
    const QString text = excel(fixturePath("book.xls"));
    ASSERT_TRUE(m_read) << m_description.toStdString();
    EXPECT_EQ(text, "名前\t1.5\t42\r\n"
                    "\r\n"
                    "2024/01/02\t2024/01/02 03:04:05\t03:04:05\r\n"
                    "TRUE\t\t#DIV/0!\r\n"
                    "0.3\t1E+20\t0.333333333333333\t0.3\r\n"
                    "xy\t-7\tFALSE\r\n"
                    "2024/05/06\t"
                        + QString(5000, QChar(u'長')) + "\r\n");
    EXPECT_EQ(excel(fixturePath("book.xls"), "2"), "second sheet\r\n\t2\r\n");
}

// Every part read from its XML, in UTF-8 or in UTF-16 of either order.
TEST_F(DocumentReadTest, PackageReadFromItsOwnXml)
{
    const QList<std::pair<QByteArray, QByteArray>> parts = {
        {"_rels/.rels", "<Relationships><Relationship Id=\"r1\" Type=\"x/officeDocument\" Target=\"/xl/book.xml\"/>"
                        "</Relationships>"},
        {"xl/book.xml", "<x:workbook xmlns:x=\"s\" xmlns:r=\"r\"><x:sheets><x:sheet r:id=\"a\"/></x:sheets></x:workbook>"},
        {"xl/_rels/book.xml.rels", "<Relationships><Relationship Id=\"a\" Type=\"x/worksheet\" Target=\"s/one.xml\"/>"
                                   "<Relationship Id=\"b\" Type=\"x/sharedStrings\" Target=\"../strings.xml\"/>"
                                   "</Relationships>"},
        {"strings.xml", "<sst><si><r><t>共</t></r><r><t>有</t></r><rPh><t>キョウ</t></rPh></si></sst>"},
        {"xl/s/one.xml", "<worksheet><sheetData><row r=\"2\"><c t=\"inlineStr\"><is><t>in</t></is></c>"
                         "<c t=\"str\"><f>A1</f><v>formula text</v></c><c t=\"d\"><v>2024-03-04T05:06:07</v></c>"
                         "<c r=\"E2\"><v>1.25</v></c><c t=\"s\"><v>0</v></c><c><v>-0</v></c>"
                         "<!-- a note --><c t=\"str\"><v>a&amp;b&#x41;✼<![CDATA[<x>]]></v></c></row>"
                         "</sheetData></worksheet>"},
    };
    const QString path = m_folder.filePath("inline.xlsx");
    for (const int encoding : {0, 1, 2}) {
        SCOPED_TRACE(encoding);
        auto encoded = parts;
        if (encoding > 0) {
            for (auto &part : encoded)
                part.second = utf16(part.second, encoding == 1);
        }
        writePackage(path, encoded);
        EXPECT_EQ(excel(path), "\r\nin\tformula text\t2024/03/04 05:06:07\t\t1.25\t共有\t0\ta&bA✼<x>\r\n")
            << m_description.toStdString();
    }
}

TEST_F(DocumentReadTest, WordDocuments)
{
    const QByteArray paragraphs
        = "<w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/></w:tabs></w:pPr><w:r><w:t>差分表示のための文書です。"
          "</w:t></w:r></w:p>"
          "<w:p><w:r><w:t>tab</w:t></w:r><w:r><w:tab/><w:t>after</w:t></w:r></w:p>"
          "<w:p><w:hyperlink><w:r><w:t xml:space=\"preserve\">a &amp; b &lt;c&gt; \"quoted\"</w:t></w:r></w:hyperlink>"
          "<w:del><w:r><w:delText>gone</w:delText></w:r></w:del>"
          "<w:r><w:fldChar w:fldCharType=\"begin\"/><w:instrText>PAGE</w:instrText></w:r></w:p>"
          "<w:p><w:r><w:t>line1</w:t><w:br/><w:t>line2</w:t><w:br w:type=\"page\"/></w:r></w:p>"
          "<w:p/>"
          "<w:tbl><w:tblPr/><w:tr><w:tc><w:p><w:r><w:t>a1</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>b1</w:t></w:r>"
          "</w:p></w:tc></w:tr><w:tr><w:tc><w:p><w:r><w:t>a2</w:t></w:r></w:p><w:p><w:r><w:t>a2 second</w:t></w:r>"
          "</w:p></w:tc><w:tc><w:p><w:r><w:t>セル</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"
          "<w:sdt><w:sdtContent><w:p><w:r><w:t>最後の段落です。</w:t></w:r></w:p></w:sdtContent></w:sdt>";
    const QString docx = m_folder.filePath("a.docx");
    // A row whose last cell is empty keeps it as an empty field.
    const QByteArray emptyLastCell = "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>banana</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r>"
                                     "<w:t>12</w:t></w:r></w:p></w:tc><w:tc><w:p/></w:tc></w:tr></w:tbl>";
    writePackage(docx, wordPackage(paragraphs + emptyLastCell));
    const QString head = "差分表示のための文書です。\r\ntab\tafter\r\na & b <c> \"quoted\"\r\nline1\r\nline2\r\n\r\n"
                         "a1\tb1\r\na2\tセル\r\na2 second\t\r\n";
    EXPECT_EQ(word(docx), head + "最後の段落です。\r\nbanana\t12\t\r\n") << m_description.toStdString();
    EXPECT_TRUE(m_read);
    // The same document in UTF-16, with a character whose unit holds the bytes of "<'".
    auto parts = wordPackage(paragraphs + "<w:p><w:r><w:t>✼</w:t></w:r></w:p>");
    const QByteArray document = parts.last().second;
    for (const bool littleEndian : {true, false}) {
        SCOPED_TRACE(littleEndian);
        parts.last().second = utf16(document, littleEndian);
        writePackage(docx, parts);
        EXPECT_EQ(word(docx), head + "最後の段落です。\r\n✼\r\n") << m_description.toStdString();
    }

    // The same text saved by a word processor in the legacy format; antiword ends a table
    // with empty lines of its own.
    EXPECT_EQ(word(fixturePath("document.doc")), head + "\r\n\r\n最後の段落です。\r\n") << m_description.toStdString();
    EXPECT_TRUE(m_read);

    writePackage(docx, wordPackage(""));
    EXPECT_EQ(word(docx), "") << "an empty body is an empty text";
    EXPECT_TRUE(m_read);
}

// Every damaged or refused document fails the read whole, with its reason.
TEST_F(DocumentReadTest, DamagedDocumentsFailWhole)
{
    const QString sheetXml = "<worksheet><sheetData><row r=\"1\"><c t=\"s\"><v>%1</v></c></row>%2</sheetData></worksheet>";
    auto workbook = [&](const QString &sheet) -> QList<std::pair<QByteArray, QByteArray>> {
        return {
            {"xl/workbook.xml", "<workbook><sheets><sheet id=\"a\"/></sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"a\" Type=\"w/worksheet\" "
                                           "Target=\"sheet1.xml\"/><Relationship Id=\"s\" Type=\"w/sharedStrings\" "
                                           "Target=\"strings.xml\"/></Relationships>"},
            {"xl/strings.xml", "<sst><si><t>only</t></si></sst>"},
            {"xl/sheet1.xml", sheet.toUtf8()},
        };
    };
    const QString good = m_folder.filePath("good.xlsx");
    writePackage(good, workbook(sheetXml.arg("0", "<row r=\"2\"><c><v>2</v></c></row>")));
    ASSERT_EQ(excel(good), "only\r\n2\r\n") << m_description.toStdString();

    writePackage(m_folder.filePath("cut.xlsx"), workbook(sheetXml.arg("0", "<row r=\"2\"><c><v>2</v></c>").chopped(25)));
    writePackage(m_folder.filePath("index.xlsx"), workbook(sheetXml.arg("9", "")));
    writePackage(m_folder.filePath("text.xlsx"), workbook(sheetXml.arg("0", "<row r=\"2\"><c><v>2x</v></c></row>")));
    writePackage(m_folder.filePath("order.xlsx"), workbook(sheetXml.arg("0", "<row r=\"1\"><c><v>2</v></c></row>")));
    writePackage(m_folder.filePath("parts.xlsx"), {{"a.txt", "a"}});
    auto withSheet = [&](const QByteArray &sheet) {
        auto parts = workbook(QString());
        parts.last().second = sheet;
        return parts;
    };
    writePackage(m_folder.filePath("crossed.xlsx"), withSheet("<worksheet><sheetData><row><c><v>1</c></v></row>"
                                                              "</sheetData></worksheet>"));
    writePackage(m_folder.filePath("entity.xlsx"), withSheet("<worksheet><sheetData><row><c t=\"str\"><v>&nbsp;</v>"
                                                             "</c></row></sheetData></worksheet>"));
    writePackage(m_folder.filePath("bytes.xlsx"), withSheet("<worksheet><sheetData><row><c t=\"str\"><v>\xff</v>"
                                                            "</c></row></sheetData></worksheet>"));
    writePackage(m_folder.filePath("nobody.docx"), {{"word/document.xml", "<w:document xmlns:w=\"w\"/>"}});
    auto shiftJis = wordPackage("<w:p><w:r><w:t>\x82\xa0</w:t></w:r></w:p>");
    shiftJis.last().second.replace("UTF-8", "Shift_JIS");
    writePackage(m_folder.filePath("sjis.docx"), shiftJis);
    writePackage(m_folder.filePath("declared.xlsx"),
                 withSheet(utf16("<?xml version=\"1.0\" encoding=\"utf-8\"?><worksheet/>", true)));
    // A sheet that inflates past 1 GiB from a zip of about a megabyte.
    testing::runPython(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    z.writestr("xl/workbook.xml", '<workbook><sheets><sheet id="a"/></sheets></workbook>')
    z.writestr("xl/_rels/workbook.xml.rels",
               '<Relationships><Relationship Id="a" Type="w/worksheet" Target="sheet1.xml"/></Relationships>')
    with z.open("xl/sheet1.xml", "w", force_zip64=True) as sheet:
        sheet.write(b"<worksheet><sheetData>")
        block = b" " * (1 << 20)
        for _ in range(1025):
            sheet.write(block)
)",
                       {m_folder.filePath("bomb.xlsx")});

    const struct
    {
        const char *name;
        bool workbook;
        QString path;
        QString sheet;
        QString reason;
    } cases[] = {
        {"not a zip", true, m_folder.writeFile("plain.xlsx", "plain text"), "1", "zip として読めません"},
        {"a zip without the workbook", true, m_folder.filePath("parts.xlsx"), "1", "必要な部分がありません"},
        {"XML cut short", true, m_folder.filePath("cut.xlsx"), "1", "壊れています (xl/sheet1.xml"},
        {"an end tag that closes another element", true, m_folder.filePath("crossed.xlsx"), "1", "対応しない終了タグ </c>"},
        {"an unknown entity", true, m_folder.filePath("entity.xlsx"), "1", "知らない実体 &nbsp;"},
        {"bytes that are not UTF-8", true, m_folder.filePath("bytes.xlsx"), "1", "UTF-8 でないバイト"},
        {"a shared string that is not there", true, m_folder.filePath("index.xlsx"), "1", "共有文字列 9 がありません"},
        {"a number cell holding text", true, m_folder.filePath("text.xlsx"), "1", "数値として読めない値 2x"},
        {"rows out of order", true, m_folder.filePath("order.xlsx"), "1", "セルの順序"},
        {"a part past 1 GiB", true, m_folder.filePath("bomb.xlsx"), "1", "大きすぎます (xl/sheet1.xml の展開後のバイト数が "},
        {"no such sheet", true, good, "3", "シート番号 3 のシートがありません (シート数 1)"},
        {"sheet 0", true, good, "abc", "シート番号 0 のシートがありません"},
        {"an empty workbook file", true, m_folder.writeFile("empty.xlsx", ""), "1", "空のファイルです"},
        {"FreeXL refuses it", true, m_folder.writeFile("plain.xls", "plain text"), "1", "ブックを読めません"},
        {"no sheet in the legacy workbook", true, fixturePath("book.xls"), "3", "シート番号 3 のシートがありません"},
        {"antiword refuses it", false, m_folder.writeFile("plain.doc", "plain text"), "", "antiword が読めません"},
        {"an empty document file", false, m_folder.writeFile("empty.docx", ""), "", "空のファイルです"},
        {"a document without a body", false, m_folder.filePath("nobody.docx"), "", "本文がありません"},
        {"a document in Shift_JIS", false, m_folder.filePath("sjis.docx"), "",
         "壊れています (word/document.xml 読めない文字コード Shift_JIS)"},
        {"a sheet in UTF-16 declared as UTF-8", true, m_folder.filePath("declared.xlsx"), "1",
         "壊れています (xl/sheet1.xml 宣言の文字コード utf-8 が先頭のバイトと合いません)"},
        {"a document that is no zip", false, m_folder.writeFile("plain.docx", "plain"), "", "antiword が読めません"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = c.workbook ? excel(c.path, c.sheet) : word(c.path);
        EXPECT_FALSE(m_read);
        EXPECT_EQ(text, "");
        EXPECT_TRUE(m_description.contains(c.reason)) << m_description.toStdString();
    }
}

// Small documents made to expand are refused with the bound they pass, before their text
// or their open elements take the memory, their layout or their tags minutes of work;
// tables nested 50,000 deep, tags without attribute values and elements with a few hundred
// attributes are read in a moment. Each ends within seconds.
TEST_F(DocumentReadTest, HostileDocumentsAreReadOrRefusedWithinBounds)
{
    const QByteArray prolog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    const QByteArray documentStart = "<w:document xmlns:w=\"w\"><w:body>";
    const QByteArray documentEnd = "</w:body></w:document>";
    // `padding` bytes of a picture that does not compress make the file larger, and so the
    // bounds that grow with its size.
    const auto document = [&](const char *name, const QByteArray &xml, qsizetype padding = 0) {
        auto parts = wordPackage(QByteArray());
        parts.last().second = xml;
        if (padding > 0) {
            QByteArray picture(padding, Qt::Uninitialized);
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(picture.data()), padding / 4);
            parts.append({"word/media/image1.png", picture});
        }
        const QString path = m_folder.filePath(name);
        writePackage(path, parts);
        return path;
    };
    const auto body = [&](const char *name, const QByteArray &blocks, qsizetype padding = 0) {
        return document(name, prolog + documentStart + blocks + documentEnd, padding);
    };
    const auto workbook = [&](const char *name, const QByteArray &sharedString, const QByteArray &rows,
                              const QByteArray &styles = "<styleSheet/>") {
        const QString path = m_folder.filePath(name);
        writePackage(path, {
                               {"xl/workbook.xml", "<workbook><sheets><sheet id=\"a\"/></sheets></workbook>"},
                               {"xl/_rels/workbook.xml.rels",
                                "<Relationships><Relationship Id=\"a\" Type=\"w/worksheet\" Target=\"sheet1.xml\"/>"
                                "<Relationship Id=\"s\" Type=\"w/sharedStrings\" Target=\"strings.xml\"/>"
                                "<Relationship Id=\"t\" Type=\"w/styles\" Target=\"styles.xml\"/>"
                                "</Relationships>"},
                               {"xl/strings.xml", "<sst><si><t>" + sharedString + "</t></si></sst>"},
                               {"xl/styles.xml", styles},
                               {"xl/sheet1.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"},
                           });
        return path;
    };
    const QByteArray dtd = prolog + "<!DOCTYPE w:document [<!ENTITY a \"" + QByteArray(1000, 'a') + "\">"
                           + "<!ENTITY x SYSTEM \"file:///etc/hostname\">]>" + documentStart;
    const QByteArray everyCell = "<row>" + QByteArray("<c t=\"s\"><v>0</v></c>").repeated(10) + "</row>";
    const QByteArray paragraph = "<w:p><w:r><w:t>x</w:t></w:r></w:p>";
    const auto attributes = [](int count, const char *value = "") {
        QByteArray list;
        for (int i = 0; i < count; ++i)
            list += " a" + QByteArray::number(i) + "=\"" + value + '"';
        return list;
    };
    const auto declarations = [](int from, int count) {
        QByteArray list;
        for (int i = from; i < from + count; ++i)
            list += " xmlns:n" + QByteArray::number(i) + "=\"u\"";
        return list;
    };
    // Two tags of 300 attributes each, as a comment, CDATA or an instruction may hold them,
    // and the same without '<' as text.
    const QByteArray tags = ("<a" + attributes(300) + ">").repeated(2);
    const QByteArray tagsAsText = QByteArray(tags).replace('<', ' ');
    // One paragraph of 490 MiB of line breaks, in a file of about 3 MB (the rest a picture).
    testing::runPython(R"(
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("word/media/image1.png", os.urandom(3 << 20), zipfile.ZIP_STORED)
    with z.open("word/document.xml", "w", force_zip64=True) as part:
        part.write(b'<w:document xmlns:w="w"><w:body><w:p>')
        block = b"<w:br/>" * (1 << 20)
        for _ in range(70):
            part.write(block)
        part.write(b"</w:p></w:body></w:document>")
)",
                       {m_folder.filePath("breaks.docx")});

    const struct
    {
        const char *name;
        bool workbook;
        QString path;
        bool read;
        QString result; // the text read, or the reason of the refusal
    } cases[] = {
        {"50,000 nested tables", false,
         body("nested.docx", QByteArray("<w:tbl><w:tr><w:tc>").repeated(50000) + "<w:p><w:r><w:t>deep</w:t></w:r></w:p>"
                                 + QByteArray("</w:tc></w:tr></w:tbl>").repeated(50000)),
         true, "deep\r\n"},
        {"an entity repeated 20,000 times", false,
         document("entities.docx", dtd + "<w:p><w:r><w:t>" + QByteArray("&a;").repeated(20000) + "</w:t></w:r></w:p>"
                                       + documentEnd),
         false, "DTD があります"},
        {"an external entity", false,
         document("external.docx", dtd + "<w:p><w:r><w:t>&x;</w:t></w:r></w:p>" + documentEnd), false, "DTD があります"},
        {"9,000,000 characters in one run of a file of 100 KiB, whose work bound leaves room for them", false,
         body("long.docx", "<w:p><w:r><w:t>" + QByteArray(9000000, 'x') + "</w:t></w:r></w:p>", 100 << 10), false,
         "大きすぎます (文字数が 8388608 を超えます)"},
        {"1,100,000 empty paragraphs", false, body("paragraphs.docx", QByteArray("<w:p/>").repeated(1100000)), false,
         "大きすぎます (行数が 1048576 を超えます)"},
        {"490 MiB of line breaks in one paragraph", false, m_folder.filePath("breaks.docx"), false,
         "大きすぎます (行数が 8388608 を超えます)"},
        {"50,000 nested tables with a line each", false,
         body("lines.docx", ("<w:tbl><w:tr><w:tc>" + paragraph).repeated(50000)
                                + QByteArray("</w:tc></w:tr></w:tbl>").repeated(50000)),
         false, "大きすぎます (処理量が 16777216 を超えます)"},
        {"12,000 levels beside a cell each", false,
         body("beside.docx", ("<w:tbl><w:tr><w:tc>" + paragraph + "</w:tc><w:tc>").repeated(12000) + paragraph
                                 + QByteArray("</w:tc></w:tr></w:tbl>").repeated(12000)),
         false, "大きすぎます (処理量が 16777216 を超えます)"},
        {"a tall cell beside 300,000 empty cells", false,
         body("padded.docx", "<w:tbl><w:tr><w:tc>" + QByteArray("<w:p/>").repeated(300000) + "</w:tc>"
                                 + QByteArray("<w:tc/>").repeated(300000) + "</w:tr></w:tbl>"),
         false, "大きすぎます (処理量が 16777216 を超えます)"},
        {"a row of 600,000 empty cells", false,
         body("cells.docx", "<w:tbl><w:tr>" + QByteArray("<w:tc/>").repeated(600000) + "</w:tr></w:tbl>"), false,
         "大きすぎます (文字数が 8388608 を超えます)"},
        {"one shared string in every cell", true, workbook("shared.xlsx", QByteArray(1000, 's'), everyCell.repeated(1000)),
         false, "大きすぎます (文字数が 8388608 を超えます)"},
        {"600,000 empty shared strings", true,
         workbook("strings.xlsx", "s</t></si>" + QByteArray("<si/>").repeated(600000) + "<si><t>s",
                  "<row><c t=\"s\"><v>0</v></c></row>"),
         false, "大きすぎます (文字数が 8388608 を超えます)"},
        {"a row twenty million rows down", true,
         workbook("far.xlsx", "s", "<row r=\"20000000\"><c t=\"s\"><v>0</v></c></row>"), false,
         "大きすぎます (行数が 1048576 を超えます)"},
        {"1,100,000 cells", true, workbook("cells.xlsx", "s", "<row>" + QByteArray("<c/>").repeated(1100000) + "</row>"),
         false, "大きすぎます (セル数が 1048576 を超えます)"},
        {"three million rows with attributes without values", true,
         workbook("attributes.xlsx", "s", QByteArray("<row x/>").repeated(3000000)), true, ""},
        {"elements open 1,100,000 deep", false,
         body("deep.docx", "<w:p>" + QByteArray("<w:r>").repeated(1100000) + QByteArray("</w:r>").repeated(1100000)
                               + "</w:p>"),
         false, "大きすぎます (要素の深さが 1048576 を超えます)"},
        {"elements open 1,100,000 deep in a sheet", true,
         workbook("deep.xlsx", "s", QByteArray("<a>").repeated(1100000) + QByteArray("</a>").repeated(1100000)), false,
         "大きすぎます (要素の深さが 1048576 を超えます)"},
        {"a paragraph of 100,000 attributes, the first with '>' in its value", false,
         body("attributes.docx", "<w:p w:x=\"'>'\"" + attributes(100000) + "><w:r><w:t>x</w:t></w:r></w:p>"), false,
         "大きすぎます (要素の属性数が 256 を超えます)"},
        {"a UTF-16 paragraph of 100,000 attributes after \"✼\", whose unit holds the bytes of \"<'\"", false,
         document("utf16.docx", utf16(prolog + documentStart + "<w:p><w:r><w:t>✼</w:t></w:r></w:p><w:p"
                                          + attributes(100000) + "/>" + documentEnd,
                                      true)),
         false, "大きすぎます (要素の属性数が 256 を超えます)"},
        {"a UTF-16 cell format of 100,000 attributes after \"✼\"", true,
         workbook("utf16.xlsx", "s", "<row><c><v>1</v></c></row>",
                  utf16("<styleSheet>✼<cellXfs><xf" + attributes(100000) + "/></cellXfs></styleSheet>", true)),
         false, "大きすぎます (要素の属性数が 256 を超えます)"},
        {"a cell format of 100,000 attributes", true,
         workbook("format-attributes.xlsx", "s", "<row><c><v>1</v></c></row>",
                  "<styleSheet><cellXfs><xf" + attributes(100000) + "/></cellXfs></styleSheet>"),
         false, "大きすぎます (要素の属性数が 256 を超えます)"},
        {"a sheet's cell of 100,000 attributes, which the sheet's own scan reads at once", true,
         workbook("cell-attributes.xlsx", "s", "<row><c" + attributes(100000) + "><v>1</v></c></row>"), true, "1\r\n"},
        {"runs declaring 100 namespaces each, three deep", false,
         body("namespaces.docx", "<w:p><w:r" + declarations(0, 100) + "><w:r" + declarations(100, 100) + "><w:r"
                                     + declarations(200, 100) + "/></w:r></w:r></w:p>"),
         false, "大きすぎます (名前空間の宣言数が 256 を超えます)"},
        {"200 attributes and 100 namespaces, tags in a comment, CDATA, an instruction and '=' in values", false,
         document("attributed.docx",
                  prolog + "<w:document xmlns:w=\"w\"" + declarations(0, 99) + "><w:body><!--" + tags
                      + "--><w:p" + attributes(200, "=>=") + "><?x " + tags + "?><w:r><w:t>a=b" + tagsAsText
                      + "<![CDATA[" + tags + "]]></w:t></w:r></w:p><w:p><w:r" + declarations(99, 150)
                      + "><w:t>end</w:t></w:r></w:p>" + documentEnd),
         true, "a=b" + QString::fromLatin1(tagsAsText + tags) + "\r\nend\r\n"},
        {"a number format of 1 MiB used by 20,000 cell formats", true,
         workbook("formats.xlsx", "s", "<row><c s=\"19999\"><v>5</v></c></row>",
                  "<styleSheet><numFmts><numFmt numFmtId=\"200\" formatCode=\"" + QByteArray(1 << 20, '0')
                      + "\"/></numFmts><cellXfs>" + QByteArray("<xf numFmtId=\"200\"/>").repeated(20000)
                      + "</cellXfs></styleSheet>"),
         true, "5\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QElapsedTimer timer;
        timer.start();
        const QString text = c.workbook ? excel(c.path, "1", std::numeric_limits<qint32>::max()) : word(c.path);
        EXPECT_LT(timer.elapsed(), 30000) << "seconds, not minutes";
        EXPECT_EQ(m_read, c.read) << m_description.toStdString();
        if (c.read) {
            EXPECT_EQ(text, c.result) << m_description.toStdString();
        } else {
            EXPECT_EQ(text, "");
            EXPECT_TRUE(m_description.contains(c.result)) << m_description.toStdString();
        }
    }

#if !defined(__SANITIZE_ADDRESS__)
    // Each line break counts as it comes: the bound refuses the paragraph before its lines
    // take the memory.
    platform::IsolationLimits limits;
    limits.memoryBytes = qint64(512) << 20;
    const platform::IsolatedOutcome outcome = platform::runIsolated(
        [&] {
            word(m_folder.filePath("breaks.docx"));
            return m_description.toUtf8();
        },
        limits);
    EXPECT_TRUE(outcome.ok()) << outcome.text.toStdString();
    EXPECT_TRUE(outcome.output.contains("行数が 8388608 を超えます")) << outcome.output.toStdString();
#endif
}

// A read asks as it goes whether to go on, and stops at the first no, also inside what
// it passes over (paragraph properties) and inside one long token.
TEST_F(DocumentReadTest, AReadStopsWhenAskedTo)
{
    const QString docx = m_folder.filePath("long.docx");
    writePackage(docx, wordPackage(QByteArray("<w:p><w:r><w:t>line</w:t></w:r></w:p>").repeated(10000)));
    const QString passedOver = m_folder.filePath("properties.docx");
    writePackage(passedOver, wordPackage("<w:p><w:pPr>" + QByteArray("<w:x/>").repeated(10000) + "</w:pPr></w:p>"));
    const QString longRun = m_folder.filePath("run.docx");
    writePackage(longRun, wordPackage("<w:p><w:r><w:t>" + QByteArray(4 << 20, 'x') + "</w:t></w:r></w:p>"));
    const QString xlsx = m_folder.filePath("long.xlsx");
    writePackage(xlsx, {
                           {"xl/workbook.xml", "<workbook><sheets><sheet id=\"a\"/></sheets></workbook>"},
                           {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"a\" Type=\"w/worksheet\" "
                                                          "Target=\"sheet1.xml\"/></Relationships>"},
                           {"xl/sheet1.xml", "<worksheet><sheetData>"
                                                 + QByteArray("<row><c><v>1</v></c></row>").repeated(10000)
                                                 + "</sheetData></worksheet>"},
                       });
    for (const QString &path : {docx, passedOver, longRun, xlsx}) {
        SCOPED_TRACE(path.toStdString());
        int asked = 0;
        const auto keepGoing = [&asked] { return ++asked < 5; };
        QString text;
        QString description;
        const bool read = path != xlsx ? RdWordValue(path, text, description, keepGoing)
                                       : RdExcelValue(path, "1", "A1", 20000, 256, text, description, keepGoing);
        EXPECT_FALSE(read);
        EXPECT_EQ(text, "");
        EXPECT_EQ(description, "中止しました");
        EXPECT_EQ(asked, 5) << "asked while reading, and not after the no";
    }
}

TEST(CellText, NumbersAndDates)
{
    const struct
    {
        double value;
        const char *text;
    } numbers[] = {
        {0.1 + 0.2, "0.3"}, {1.0000000001, "1.0000000001"}, {1e15, "1E+15"}, {123456789012345.0, "123456789012345"},
        {-0.0, "0"},        {0.0001, "0.0001"},              {0.00001, "1E-05"}, {2.5e-7, "2.5E-07"},
    };
    for (const auto &c : numbers)
        EXPECT_EQ(NumberText(c.value), c.text);

    EXPECT_EQ(SerialDateText(45293.0, false), "2024/01/02");
    EXPECT_EQ(SerialDateText(45293.5 + 1.0 / 86400 * 0.6, false), "2024/01/02 12:00:01") << "to the nearest second";
    EXPECT_EQ(SerialDateText(0.75, false), "18:00:00");
    EXPECT_EQ(SerialDateText(0.0, true), "1904/01/01");
    EXPECT_EQ(SerialDateText(0.9999999, false), "1899/12/31") << "rounded up to the next day";
    EXPECT_EQ(IsoDateText(u"2024-01-02 00:00:00"), "2024/01/02");
    EXPECT_EQ(IsoDateText(u"not a date"), "not a date");

    for (const char *code : {"yyyy/mm/dd", "h:mm", "[h]:mm:ss", "[$-411]ggge\"年\"m\"月\"d\"日\""})
        EXPECT_TRUE(IsDateFormat(200, QString::fromUtf8(code))) << code;
    for (const char *code : {"General", "0.00E+00", "#,##0\"日\"", "[Red]0.0", "\\d0"})
        EXPECT_FALSE(IsDateFormat(200, QString::fromUtf8(code))) << code;
    EXPECT_TRUE(IsDateFormat(14, u""));
    EXPECT_TRUE(IsDateFormat(31, u"")) << "a Japanese built-in date format";
}

} // namespace
} // namespace textcompare
