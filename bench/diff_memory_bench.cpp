// Peak memory of the viewer's unattended run against GNU diff on the same two files, side
// by side in one run. Each case runs `diff a b` (output to /dev/null) and the built
// Linquell with one export switch, both as child processes, and takes each one's peak
// resident size from the system when it ends. Cases: a million lines with 1% changed,
// exported as CSV, HTML and workbook; and 10 MB of lines that are a lone CR each against a
// copy with one line changed (GNU diff ends lines at LF only, so to it these files are one
// line each). Counters: peak_mb and diff_peak_mb, peak_ratio = peak_mb / diff_peak_mb,
// the wall times of both (process start included) and time_ratio.

#include "bench/child_run.h"
#include "bench/text_pair_generator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <vector>

namespace {

QTemporaryDir &fileFolder()
{
    static QTemporaryDir folder;
    return folder;
}

// A program folder of its own, so that the runs read default settings and leave the
// built programs' folder alone.
QTemporaryDir &programFolder()
{
    static QTemporaryDir folder;
    return folder;
}


// Runs `program` with `arguments` in the bench's program folder, its standard output
// thrown away, and waits for it.
std::optional<bench::ChildRun> runChild(const QString &program, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DIRGLEAM_SUITE_FOLDER"), programFolder().path());
    return bench::runChild(program, arguments, environment);
}

// The two files of lines that are a lone CR each: `lineCount` of them, the second with
// the middle line "x".
bool writeCrOnlyPair(const std::array<QString, 2> &paths, int lineCount)
{
    QByteArray bytes(lineCount, '\r');
    for (int side = 0; side < 2; ++side) {
        if (side == 1)
            bytes[lineCount / 2] = 'x';
        QFile file(paths[size_t(side)]);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

// Runs `write` in a child process. A child started later takes over its parent's
// highest resident size as its own starting peak, so the files are made where their
// lines do not raise the bench's peak.
template <typename Write>
bool writtenApart(Write write)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(write() ? 0 : 1);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct MemoryCase
{
    QByteArray name;
    std::array<QString, 2> paths;
    QString exportSwitch; // "-C", "-H" or "-E"
    QString exportName;
};

void BM_PeakMemoryAgainstGnuDiff(benchmark::State &state, const MemoryCase &memoryCase)
{
    const QString diffProgram = QStandardPaths::findExecutable(QStringLiteral("diff"));
    const QString viewer = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/Linquell");
    if (diffProgram.isEmpty() || memoryCase.paths[0].isEmpty()) {
        state.SkipWithError("no diff program or the files could not be written");
        return;
    }
    bench::ChildRun diff;
    bench::ChildRun linquell;
    for (auto _ : state) {
        const std::optional<bench::ChildRun> diffRun = runChild(diffProgram, {memoryCase.paths[0], memoryCase.paths[1]});
        const std::optional<bench::ChildRun> viewerRun =
            runChild(viewer, {memoryCase.paths[0], memoryCase.paths[1],
                              memoryCase.exportSwitch + fileFolder().filePath(memoryCase.exportName)});
        // A workbook holds 65,536 rows: the run saves them and ends with status 1 for the rest.
        const int viewerSuccess = memoryCase.exportSwitch == QLatin1String("-E") ? 1 : 0;
        if (!diffRun || diffRun->exitCode < 0 || diffRun->exitCode > 1 || !viewerRun
            || viewerRun->exitCode != viewerSuccess) {
            state.SkipWithError("a run failed");
            return;
        }
        diff = *diffRun;
        linquell = *viewerRun;
        state.SetIterationTime(linquell.seconds);
    }
    state.counters["peak_mb"] = linquell.peakMegabytes;
    state.counters["diff_peak_mb"] = diff.peakMegabytes;
    state.counters["peak_ratio"] = linquell.peakMegabytes / diff.peakMegabytes;
    state.counters["seconds"] = linquell.seconds;
    state.counters["diff_seconds"] = diff.seconds;
    state.counters["time_ratio"] = linquell.seconds / diff.seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const bench::TextPairScenario &millionLines = bench::TextPairScenarios().front();
    const QDir files(fileFolder().path());
    const std::array<QString, 2> crOnly{files.filePath("cr_only_1.txt"), files.filePath("cr_only_2.txt")};
    if (!writtenApart([&] { return !bench::EnsureTextPair(files.path(), millionLines)[0].isEmpty(); })
        || !writtenApart([&] { return writeCrOnlyPair(crOnly, 10000000); }))
        qFatal("the files could not be written");
    const std::array<QString, 2> million = bench::EnsureTextPair(files.path(), millionLines);
    static const std::vector<MemoryCase> cases{
        {"million_lines_1pct_changed/C", million, QStringLiteral("-C"), QStringLiteral("out.csv")},
        {"million_lines_1pct_changed/H", million, QStringLiteral("-H"), QStringLiteral("out.html")},
        {"million_lines_1pct_changed/E", million, QStringLiteral("-E"), QStringLiteral("out.xlsx")},
        {"cr_only_10mb/C", crOnly, QStringLiteral("-C"), QStringLiteral("cr.csv")},
    };
    for (const MemoryCase &memoryCase : cases) {
        benchmark::RegisterBenchmark(memoryCase.name.constData(),
                                     [&memoryCase](benchmark::State &state) {
                                         BM_PeakMemoryAgainstGnuDiff(state, memoryCase);
                                     })
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
