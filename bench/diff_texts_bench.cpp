// Times the line difference engine against GNU diff on generated files, side by side in
// one run. Each iteration runs `diff a b` (output to /dev/null) as a child process, then
// reads the same two files and runs DiffTexts with blanks ignored and case kept, as the
// viewer does by default, with judgement line count 7 (its default) and 1. The texts are
// held as the viewer reads them ("as_read": the ASCII files one byte per character) or
// decoded from UTF-8 to UTF-16 ("utf16").
// The reported time is reading plus engine; the counters give the two apart, GNU diff's time
// (process start included) and the ratios: ratio_to_diff = (read + engine) / diff,
// engine_to_diff = engine / diff.

#include "bench/text_pair_generator.h"
#include "textcompare/engine/diff_texts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using bench::TextPairScenario;
using textcompare::CompactText;
using textcompare::DiffTexts;

// How the bench holds the texts it compares: as the viewer reads them (a file of ASCII
// bytes one byte per character), or always decoded to UTF-16.
enum class TextForm { AsRead, Utf16 };

QTemporaryDir &fileFolder()
{
    static QTemporaryDir folder;
    return folder;
}

double gnuDiffSeconds(const QString &diffProgram, const std::array<QString, 2> &paths)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(diffProgram, {paths[0], paths[1]});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() > 1)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

// The file's text in UTF-8, held in `form`.
CompactText readText(const QString &path, TextForm form)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return CompactText();
    const QByteArray bytes = file.readAll();
    if (form == TextForm::AsRead && textcompare::IsAscii(bytes))
        return CompactText::fromLatin1(bytes);
    return CompactText(QString::fromUtf8(bytes));
}

void BM_DiffTextsAgainstGnuDiff(benchmark::State &state, const TextPairScenario &scenario, int judgementLineCount,
                                TextForm form)
{
    const QString diffProgram = QStandardPaths::findExecutable("diff");
    const std::array<QString, 2> paths = bench::EnsureTextPair(fileFolder().path(), scenario);
    if (diffProgram.isEmpty() || paths[0].isEmpty()) {
        state.SkipWithError("no diff program or the files could not be written");
        return;
    }
    double diffTotal = 0;
    double readTotal = 0;
    double engineTotal = 0;
    int rows = 0;
    for (auto _ : state) {
        const double diffSeconds = gnuDiffSeconds(diffProgram, paths);
        if (diffSeconds < 0) {
            state.SkipWithError("diff failed");
            return;
        }
        QElapsedTimer timer;
        timer.start();
        const CompactText text1 = readText(paths[0], form);
        const CompactText text2 = readText(paths[1], form);
        const qint64 readNanoseconds = timer.nsecsElapsed();
        const textcompare::DiffResultTable table =
            DiffTexts(text1, text2, true, false, judgementLineCount, 1, 1, "file0PATH", "file1PATH");
        const double totalSeconds = double(timer.nsecsElapsed()) / 1e9;
        benchmark::DoNotOptimize(table.lastRow());
        rows = table.lastRow();
        state.SetIterationTime(totalSeconds);
        diffTotal += diffSeconds;
        readTotal += double(readNanoseconds) / 1e9;
        engineTotal += totalSeconds - double(readNanoseconds) / 1e9;
    }
    const double iterations = double(state.iterations());
    state.counters["diff_ms"] = 1000 * diffTotal / iterations;
    state.counters["read_ms"] = 1000 * readTotal / iterations;
    state.counters["engine_ms"] = 1000 * engineTotal / iterations;
    state.counters["ratio_to_diff"] = (readTotal + engineTotal) / diffTotal;
    state.counters["engine_to_diff"] = engineTotal / diffTotal;
    state.counters["rows"] = rows;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    for (const TextPairScenario &scenario : bench::TextPairScenarios()) {
        for (const int judgementLineCount : {7, 1}) {
            for (const TextForm form : {TextForm::AsRead, TextForm::Utf16}) {
                const QByteArray name = QByteArray(scenario.name) + "/J" + QByteArray::number(judgementLineCount)
                                        + (form == TextForm::AsRead ? "/as_read" : "/utf16");
                benchmark::RegisterBenchmark(name.constData(),
                                             [&scenario, judgementLineCount, form](benchmark::State &state) {
                                                 BM_DiffTextsAgainstGnuDiff(state, scenario, judgementLineCount, form);
                                             })
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(5);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
