// Reading a workbook of 100,000 rows × 10 columns (five columns of shared strings, five
// of numbers, written by libxlsxwriter) to TAB text, beside openpyxl in read-only mode producing the same text from
// the same file, both measured in the same run. openpyxl's time is what its script
// reports for opening the workbook and building the text (the interpreter's start is
// left out); the two texts are compared once. ratio_to_openpyxl is our time divided by
// openpyxl's (0.2 or less: at least five times faster).

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

struct Setup
{
    QTemporaryDir folder;
    QString workbook = folder.filePath(QStringLiteral("book.xlsx"));
    bool made = writeWorkbook(workbook);
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

} // namespace
