// The file operations beside the reference tools, in one run with a warm cache:
// copying every row of a comparison of 10,000 files (500 MB in 100 folders) to an empty
// side 2 with the trash backup off, beside `cp -p -r` of the same tree; and converting
// 1,000 Shift-JIS files (100 MB) to UTF-8 with LF, beside `iconv -f CP932 -t UTF-8` over
// one file of the same total size. Each run lets window events run once per row, as the
// window does. The ratio counters compare the last runs of each pair.

#include "common/non_code_class.h"
#include "foldercompare/operations/code_change.h"
#include "foldercompare/operations/copy_delete.h"
#include "platform/testing/scripted_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

using namespace foldercompare::operations;

constexpr int CopyFolders = 100;
constexpr int CopyFiles = 10000;
constexpr qint64 CopyBytes = 500LL * 1000 * 1000;
constexpr int TextFiles = 1000;
constexpr qint64 TextBytes = 100LL * 1000 * 1000;

// The window's way of hosting a run: events once per row, no questions, no refresh.
class BenchHost final : public OperationHost
{
public:
    bool abortRequested() const override { return false; }
    void setBusy(bool) override {}
    void progressStart(const QString &) override {}
    void progressUpdate(double) override {}
    void progressEnd() override {}
    bool progressCancelled() const override { return false; }
    void progressVisible(bool) override {}
    void pumpEvents() override { QCoreApplication::processEvents(); }
    void refreshSide(int) override {}
};

QString benchFolder()
{
    static const QString folder
        = QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/dirgleam-bench-operations");
    return folder;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// The copy source: 10,000 files of 25 to 75 kB (50 kB on average) in 100 folders, and
// the rows of a comparison with an empty side 2 (each folder, then its files).
QList<OperationRow> copyTree()
{
    const QString source = benchFolder() + QStringLiteral("/copy/one");
    QList<OperationRow> rows;
    const bool exists = QFileInfo::exists(source + QStringLiteral("/.complete"));
    QByteArray block(75000, 'x');
    for (int index = 0; index < block.size(); ++index)
        block[index] = char('a' + (index * 7919) % 26);
    for (int folder = 0; folder < CopyFolders; ++folder) {
        const QString name = QStringLiteral("folder%1/").arg(folder, 3, 10, QLatin1Char('0'));
        rows.append({QString(), QString(), name});
        if (!exists)
            QDir().mkpath(source + u'/' + name);
        for (int file = 0; file < CopyFiles / CopyFolders; ++file) {
            const QString path = name + QStringLiteral("file%1.dat").arg(file, 3, 10, QLatin1Char('0'));
            rows.append({QString(), QString(), path});
            if (!exists)
                writeFile(source + u'/' + path, block.left(25000 + (file * 50000 / (CopyFiles / CopyFolders - 1))));
        }
    }
    writeFile(source + QStringLiteral("/.complete"), QByteArray());
    return rows;
}

void removeTree(const QString &folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
}

double g_copySeconds = 0;
double g_cpSeconds = 0;

void BM_CopyAllRowsToAnEmptySide(benchmark::State &state)
{
    const QList<OperationRow> rows = copyTree();
    const QString folder = benchFolder() + QStringLiteral("/copy");
    platform::testing::ScriptedDialogs dialogs;
    BenchHost host;
    OperationSides sides;
    sides.sideRoot = {folder + QStringLiteral("/one"), folder + QStringLiteral("/two")};
    sides.pathBox = sides.sideRoot;
    sides.recyclerBackup = false;
    for (auto _ : state) {
        state.PauseTiming();
        removeTree(sides.sideRoot[1]);
        ::sync();
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        OperationFrame frame(host, sides, rows);
        CopyOperation copy(0);
        frame.run(copy);
        g_copySeconds = timer.nsecsElapsed() / 1e9;
        if (copy.filesCopied() != CopyFiles)
            state.SkipWithError("not every file was copied");
    }
    state.counters["files"] = CopyFiles;
    state.counters["MB/s"] = CopyBytes / 1e6 / g_copySeconds;
}

void BM_CpPreservingRecursive(benchmark::State &state)
{
    copyTree();
    const QString folder = benchFolder() + QStringLiteral("/copy");
    for (auto _ : state) {
        state.PauseTiming();
        QDir(folder + QStringLiteral("/cp")).removeRecursively();
        ::sync();
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-p"), QStringLiteral("-r"), folder + QStringLiteral("/one"),
                                                      folder + QStringLiteral("/cp")})
            != 0)
            state.SkipWithError("cp failed");
        g_cpSeconds = timer.nsecsElapsed() / 1e9;
    }
    state.counters["MB/s"] = CopyBytes / 1e6 / g_cpSeconds;
    state.counters["ours/cp"] = g_copySeconds / g_cpSeconds;
}

// 1,000 Shift-JIS files of 100 kB with CR LF line ends, and one file of all of them.
QByteArray sjisText()
{
    common::NonCodeClass codes;
    const QString line = QStringLiteral("日本語の文章とASCII text が混ざった行です。半角ｶﾀｶﾅも少し。0123456789\r\n");
    QString text;
    while (text.size() * 2 < TextBytes / TextFiles)
        text += line;
    return codes.VbUnicode_To_SJIS(text).left(TextBytes / TextFiles);
}

QList<OperationRow> textFiles(const QString &folder, const QByteArray &content)
{
    QList<OperationRow> rows;
    for (int index = 0; index < TextFiles; ++index) {
        const QString name = QStringLiteral("text%1.txt").arg(index, 4, 10, QLatin1Char('0'));
        writeFile(folder + u'/' + name, content);
        rows.append({QString(), QString(), name});
    }
    return rows;
}

double g_convertSeconds = 0;
double g_iconvSeconds = 0;

void BM_ConvertShiftJisToUtf8(benchmark::State &state)
{
    const QByteArray content = sjisText();
    const QString folder = benchFolder() + QStringLiteral("/convert");
    platform::testing::ScriptedDialogs dialogs;
    BenchHost host;
    OperationSides sides;
    sides.sideRoot = {folder + QStringLiteral("/one"), folder + QStringLiteral("/two")};
    sides.pathBox = sides.sideRoot;
    sides.recyclerBackup = false;
    QDir().mkpath(sides.sideRoot[1]);
    for (auto _ : state) {
        state.PauseTiming();
        // Rewritten in place, so that the setup frees no inodes of its own.
        QDir().mkpath(sides.sideRoot[0]);
        const QList<OperationRow> rows = textFiles(sides.sideRoot[0], content);
        ::sync();
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        OperationFrame frame(host, sides, rows);
        CodeChangeOperation convert(0, QStringLiteral("SJIS"), QStringLiteral("UTF8"), QStringLiteral("\n"),
                                    folder + QStringLiteral("/1.tmp"));
        frame.run(convert);
        g_convertSeconds = timer.nsecsElapsed() / 1e9;
        if (convert.filesConverted() != TextFiles)
            state.SkipWithError("not every file was converted");
    }
    state.counters["MB/s"] = TextBytes / 1e6 / g_convertSeconds;
}

void BM_IconvOneFile(benchmark::State &state)
{
    const QString folder = benchFolder() + QStringLiteral("/convert");
    const QString whole = folder + QStringLiteral("/whole.txt");
    const QByteArray content = sjisText();
    {
        QFile file(whole);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(whole));
        for (int index = 0; index < TextFiles; ++index)
            file.write(content);
    }
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(folder + QStringLiteral("/whole.utf8"));
        ::sync();
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        QProcess iconv;
        iconv.setStandardOutputFile(folder + QStringLiteral("/whole.utf8"));
        iconv.start(QStringLiteral("iconv"), {QStringLiteral("-f"), QStringLiteral("CP932"), QStringLiteral("-t"),
                                              QStringLiteral("UTF-8"), whole});
        if (!iconv.waitForFinished(-1) || iconv.exitCode() != 0)
            state.SkipWithError("iconv failed");
        g_iconvSeconds = timer.nsecsElapsed() / 1e9;
    }
    state.counters["MB/s"] = TextBytes / 1e6 / g_iconvSeconds;
    state.counters["ours/iconv throughput"] = g_iconvSeconds / g_convertSeconds;
}

BENCHMARK(BM_CopyAllRowsToAnEmptySide)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_CpPreservingRecursive)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ConvertShiftJisToUtf8)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_IconvOneFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::fprintf(stderr, "trees in %s\n", qPrintable(benchFolder()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QDir(benchFolder()).removeRecursively();
    return 0;
}
