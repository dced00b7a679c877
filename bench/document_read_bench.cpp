// Reading a workbook of 100,000 rows × 10 columns (five columns of shared strings, five
// of numbers, written by libxlsxwriter) to TAB text, beside openpyxl in read-only mode producing the same text from
// the same file, both measured in the same run. openpyxl's time is what its script
// reports for opening the workbook and building the text (the interpreter's start is
// left out); the two texts are compared once. ratio_to_openpyxl is our time divided by
// openpyxl's (0.2 or less: at least five times faster).
//
// BM_HostileDocument reads small documents made to cost work or memory far beyond their
// size, one per argument: 50,000 nested tables with a line each, 12,000 levels of tables
// each beside a cell, a row of a 300,000-paragraph cell beside 300,000 empty cells, one
// paragraph of 490 MiB of line breaks (a file of about 3 MB), a number format of 1 MiB
// used by 20,000 cell formats, one paragraph of 100,000 attributes, one cell format of
// 100,000 attributes, 2,000 runs of 250 attributes each below 100 levels that declare
// 250 namespaces each, and in files of about 3 MB (the rest a picture) 500 MiB of runs of
// 250 attributes each and a comment of 400 MiB. seconds is the read's time; refused is 1
// when the read ended in a refusal ("大きすぎます"), 0 when it gave the text.

#include "textcompare/engine/document_read.h"

#include <benchmark/benchmark.h>

#include <xlsxwriter.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr int Rows = 100000;

// Prints the seconds of the read and writes the text (UTF-8) to argv[2].
const char ReaderScript[] = R"(
import sys, time, openpyxl
def text(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "TRUE" if value else "FALSE"
    if isinstance(value, float):
        return ("%.15g" % value).replace("e", "E")
    return str(value)
start = time.perf_counter()
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
lines = []
for row in wb.worksheets[0].iter_rows(values_only=True):
    cells = [text(v) for v in row[:256]]
    while cells and cells[-1] == "":
        cells.pop()
    lines.append("\t".join(cells) + "\r\n")
result = "".join(lines)
elapsed = time.perf_counter() - start
open(sys.argv[2], "w", encoding="utf-8", newline="").write(result)
print(elapsed)
)";

// The workbook, written by libxlsxwriter with a table of shared strings.
bool writeWorkbook(const QString &path)
{
    lxw_workbook *book = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    const char *words[] = {"alpha", "beta", "gamma", "delta", "epsilon", "日本語", "テキスト", "差分"};
    for (int row = 0; row < Rows; ++row) {
        for (int column = 0; column < 5; ++column) {
            const QByteArray word = QByteArray(words[(row + column) % 8]) + QByteArray::number(row % 997);
            worksheet_write_string(sheet, lxw_row_t(row), lxw_col_t(column), word.constData(), nullptr);
        }
        const double numbers[] = {double(row), row * 0.25, -double(row), row / 8.0, 1000000.0 + row};
        for (int column = 0; column < 5; ++column)
            worksheet_write_number(sheet, lxw_row_t(row), lxw_col_t(5 + column), numbers[column], nullptr);
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

// Writes the hostile documents into the folder argv[1].
const char HostileScript[] = R"(
import os, sys, zipfile
folder = sys.argv[1]
def package(name, parts):
    with zipfile.ZipFile(os.path.join(folder, name), "w", zipfile.ZIP_DEFLATED) as z:
        for part, content in parts:
            z.writestr(part, content)
def docx(name, body):
    package(name, [("word/document.xml", b'<w:document xmlns:w="w"><w:body>' + body + b"</w:body></w:document>")])
p = b"<w:p><w:r><w:t>x</w:t></w:r></w:p>"
docx("lines.docx", (b"<w:tbl><w:tr><w:tc>" + p) * 50000 + b"</w:tc></w:tr></w:tbl>" * 50000)
docx("beside.docx", (b"<w:tbl><w:tr><w:tc>" + p + b"</w:tc><w:tc>") * 12000 + p + b"</w:tc></w:tr></w:tbl>" * 12000)
docx("padded.docx", b"<w:tbl><w:tr><w:tc>" + b"<w:p/>" * 300000 + b"</w:tc>" + b"<w:tc/>" * 300000
     + b"</w:tr></w:tbl>")
with zipfile.ZipFile(os.path.join(folder, "breaks.docx"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("word/media/image1.png", os.urandom(3 << 20), zipfile.ZIP_STORED)
    with z.open("word/document.xml", "w", force_zip64=True) as part:
        part.write(b'<w:document xmlns:w="w"><w:body><w:p>')
        for _ in range(70):
            part.write(b"<w:br/>" * (1 << 20))
        part.write(b"</w:p></w:body></w:document>")
package("formats.xlsx", [
    ("xl/workbook.xml", b'<workbook><sheets><sheet id="a"/></sheets></workbook>'),
    ("xl/_rels/workbook.xml.rels", b'<Relationships><Relationship Id="a" Type="w/worksheet" Target="sheet1.xml"/>'
                                   b'<Relationship Id="t" Type="w/styles" Target="styles.xml"/></Relationships>'),
    ("xl/styles.xml", b'<styleSheet><numFmts><numFmt numFmtId="200" formatCode="' + b"0" * (1 << 20)
                      + b'"/></numFmts><cellXfs>' + b'<xf numFmtId="200"/>' * 20000 + b"</cellXfs></styleSheet>"),
    ("xl/sheet1.xml", b'<worksheet><sheetData><row><c s="19999"><v>5</v></c></row></sheetData></worksheet>'),
])
def attributes(count, prefix=b""):
    return b"".join(b" %sa%d=\"\"" % (prefix, i) for i in range(count))
docx("attributes.docx", b"<w:p" + attributes(100000) + b"><w:r><w:t>x</w:t></w:r></w:p>")
package("attributes.xlsx", [
    ("xl/workbook.xml", b'<workbook><sheets><sheet id="a"/></sheets></workbook>'),
    ("xl/_rels/workbook.xml.rels", b'<Relationships><Relationship Id="a" Type="w/worksheet" Target="sheet1.xml"/>'
                                   b'<Relationship Id="t" Type="w/styles" Target="styles.xml"/></Relationships>'),
    ("xl/styles.xml", b"<styleSheet><cellXfs><xf" + attributes(100000) + b"/></cellXfs></styleSheet>"),
    ("xl/sheet1.xml", b"<worksheet><sheetData><row><c><v>5</v></c></row></sheetData></worksheet>"),
])
declarations = b"".join(b' xmlns:n%d="u"' % i for i in range(250))
docx("namespaces.docx", b"<w:p>" + (b"<w:r" + declarations + b">") * 100
     + (b"<w:r" + attributes(250, b"w:") + b"/>") * 2000 + b"</w:r>" * 100 + b"</w:p>")
def padded(name, start, block, count, end):
    with zipfile.ZipFile(os.path.join(folder, name), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("word/media/image1.png", os.urandom(3 << 20), zipfile.ZIP_STORED)
        with z.open("word/document.xml", "w", force_zip64=True) as part:
            part.write(b'<w:document xmlns:w="w"><w:body><w:p>' + start)
            for _ in range(count):
                part.write(block)
            part.write(end + b"</w:p></w:body></w:document>")
padded("tags.docx", b"", (b"<w:r" + attributes(250) + b"/>") * 512, 540, b"")
padded("comment.docx", b"<!--", b" " * (1 << 20), 400, b"-->")
)";

const char *const HostileDocuments[] = {"lines.docx",      "beside.docx",     "padded.docx",     "breaks.docx",
                                        "formats.xlsx",    "attributes.docx", "attributes.xlsx", "namespaces.docx",
                                        "tags.docx",       "comment.docx"};

struct Setup
{
    QTemporaryDir folder;
    QString workbook = folder.filePath(QStringLiteral("book.xlsx"));
    bool made = writeWorkbook(workbook);
    bool hostileMade = writeHostileDocuments(folder.path());

    static bool writeHostileDocuments(const QString &path)
    {
        QProcess process;
        process.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-c"), QString::fromUtf8(HostileScript), path});
        return process.waitForFinished(600000) && process.exitCode() == 0;
    }
};

Setup &setup()
{
    static Setup shared;
    return shared;
}

// Seconds that openpyxl reports, or -1; `text` receives its text.
double openpyxlSeconds(QString &text)
{
    QProcess process;
    const QString output = setup().folder.filePath(QStringLiteral("openpyxl.txt"));
    process.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"), QString::fromUtf8(ReaderScript), setup().workbook, output});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return -1;
    QFile file(output);
    file.open(QIODevice::ReadOnly);
    text = QString::fromUtf8(file.readAll());
    return process.readAllStandardOutput().trimmed().toDouble();
}

void BM_WorkbookToText(benchmark::State &state)
{
    if (!setup().made) {
        state.SkipWithError("the workbook could not be written");
        return;
    }
    double ours = 0;
    double theirs = 0;
    QString ourText;
    QString theirText;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QString description;
        if (!textcompare::RdExcelValue(setup().workbook, QStringLiteral("1"), QStringLiteral("A1"), Rows, 256, ourText,
                                       description))
            state.SkipWithError(description.toUtf8().constData());
        ours += timer.nsecsElapsed() / 1e9;
        state.PauseTiming();
        const double seconds = openpyxlSeconds(theirText);
        if (seconds < 0)
            state.SkipWithError("openpyxl could not read the workbook");
        theirs += seconds;
        state.ResumeTiming();
    }
    if (ourText != theirText)
        state.SkipWithError("the two texts differ");
    state.counters["cells"] = Rows * 10;
    state.counters["openpyxl_ms"] = theirs * 1000 / double(state.iterations());
    state.counters["ratio_to_openpyxl"] = theirs > 0 ? ours / theirs : 0;
}
BENCHMARK(BM_WorkbookToText)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_HostileDocument(benchmark::State &state)
{
    if (!setup().hostileMade) {
        state.SkipWithError("the documents could not be written");
        return;
    }
    const QString name = QString::fromLatin1(HostileDocuments[state.range(0)]);
    const QString path = setup().folder.filePath(name);
    state.SetLabel(name.toStdString());
    double seconds = 0;
    bool refused = false;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QString text;
        QString description;
        const bool read = name.endsWith(QStringLiteral(".xlsx"))
                              ? textcompare::RdExcelValue(path, QStringLiteral("1"), QStringLiteral("A1"), 1000, 256,
                                                          text, description)
                              : textcompare::RdWordValue(path, text, description);
        seconds += timer.nsecsElapsed() / 1e9;
        refused = !read && description.startsWith(QStringLiteral("大きすぎます"));
        if (!read && !refused)
            state.SkipWithError(description.toUtf8().constData());
    }
    state.counters["seconds"] = seconds / double(state.iterations());
    state.counters["refused"] = refused ? 1 : 0;
}
BENCHMARK(BM_HostileDocument)->DenseRange(0, 9)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
