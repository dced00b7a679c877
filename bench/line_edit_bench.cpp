// One line change of the viewer on a file of 1,000,000 Shift-JIS lines (about 60 MB),
// beside `cp` of that file followed by `sync -f` of the copy, measured side by side in
// alternating order with a warm cache: the edit from the confirmation on (reading the
// file, splicing the line, writing the file through its temporary file, the undo copy,
// the rename), and the undo that swaps the file back. Dirty pages are written out before
// every measured step, so that no step pays for the one before it. The trash backup of
// the first change is a rename and happens in the first iteration only, as in use.

#include "common/non_code_class.h"
#include "textcompare/editing/file_editor.h"
#include "textcompare/editing/line_splice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

using namespace textcompare;

constexpr int LineCount = 1000000;
constexpr int ChangedLine = LineCount / 2;

QString benchFolder()
{
    static const QString folder
        = QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/linquell-bench-edit");
    return folder;
}

QByteArray sjisLines()
{
    common::NonCodeClass codes;
    QString text;
    text.reserve(LineCount * 44);
    for (int line = 1; line <= LineCount; ++line)
        text += QStringLiteral("%1行目 日本語の文章とASCII textが混ざった行です。\r\n").arg(line, 7, 10, QLatin1Char('0'));
    return codes.VbUnicode_To_SJIS(text);
}

template <typename Command>
double seconds(Command command)
{
    ::sync();
    QElapsedTimer timer;
    timer.start();
    command();
    return timer.nsecsElapsed() / 1e9;
}

void BM_ChangeOneLineBesideCpAndSync(benchmark::State &state)
{
    const QString folder = benchFolder();
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    qputenv("XDG_DATA_HOME", (folder + QStringLiteral("/data")).toUtf8());
    const QString path = folder + QStringLiteral("/text.txt");
    const QString copy = folder + QStringLiteral("/copy.txt");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(sjisLines()) <= 0)
            qFatal("cannot write %s", qPrintable(path));
    }
    FileEditor editor;
    editor.setWorkFolder(folder + QStringLiteral("/work"), QStringLiteral("Linquell5.tmp"));

    double edit = 0;
    double undo = 0;
    double reference = 0;
    int iteration = 0;
    for (auto _ : state) {
        ++iteration;
        auto runEdit = [&] {
            const EditLines line = EditLines::change(QStringLiteral("変更した行 %1").arg(iteration));
            if (!editor.changeLines(path, FileStamp::of(path), QStringLiteral("SJIS"), {ChangedLine - 1, ChangedLine + 1}, line)
                     .changed)
                state.SkipWithError("the edit failed");
        };
        auto runUndo = [&] {
            if (!editor.undoLastEdit().changed)
                state.SkipWithError("the undo failed");
        };
        auto runReference = [&] {
            if (QProcess::execute(QStringLiteral("cp"), {path, copy}) != 0
                || QProcess::execute(QStringLiteral("sync"), {QStringLiteral("-f"), copy}) != 0)
                state.SkipWithError("cp or sync failed");
        };
        if (iteration % 2) {
            edit += seconds(runEdit);
            undo += seconds(runUndo);
            reference += seconds(runReference);
        } else {
            reference += seconds(runReference);
            edit += seconds(runEdit);
            undo += seconds(runUndo);
        }
    }
    state.counters["edit s"] = edit / iteration;
    state.counters["undo s"] = undo / iteration;
    state.counters["cp+sync s"] = reference / iteration;
    state.counters["edit/(cp+sync)"] = edit / reference;
    state.counters["undo/(cp+sync)"] = undo / reference;
    QDir(folder).removeRecursively();
}

} // namespace

BENCHMARK(BM_ChangeOneLineBesideCpAndSync)->Unit(benchmark::kMillisecond)->Iterations(6);

BENCHMARK_MAIN();
