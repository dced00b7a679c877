// The file operations beside the reference tools, measured side by side with a warm cache:
// copying every row of a comparison of 10,000 files (500 MB in 100 folders) to an empty
// side 2 with the trash backup off, beside `cp -p -r` of the same tree; and converting
// 1,000 Shift-JIS files (100 MB) to UTF-8 with LF, beside `iconv -f CP932 -t UTF-8` over
// one file of the same total size. Each run lets window events run once per row, as the
// window does. The ratio counters compare the summed times of each pair.

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

// Runs `command` and returns its seconds.
template <typename Command>
double seconds(Command command)
{
    QElapsedTimer timer;
    timer.start();
    command();
    return timer.nsecsElapsed() / 1e9;
}

// Each iteration copies into two new folders, ours and cp's, in alternating order; no
// tree is deleted until the end, since ext4 searches long for a free inode among ones
// deleted moments ago, which would burden whichever copy came after a deletion.
void BM_CopyAllRowsBesideCp(benchmark::State &state)
{
    const QList<OperationRow> rows = copyTree();
    const QString folder = benchFolder() + QStringLiteral("/copy");
    platform::testing::ScriptedDialogs dialogs;
    BenchHost host;
    double ours = 0;
    double cp = 0;
    int iteration = 0;
    for (auto _ : state) {
        ++iteration;
        OperationSides sides;
        sides.sideRoot = {folder + QStringLiteral("/one"), folder + QStringLiteral("/ours%1").arg(iteration)};
        sides.pathBox = sides.sideRoot;
        sides.recyclerBackup = false;
        QDir().mkpath(sides.sideRoot[1]);
        const QString cpTarget = folder + QStringLiteral("/cp%1").arg(iteration);
        ::sync();
        auto runOurs = [&] {
            OperationFrame frame(host, sides, rows);
            CopyOperation copy(0);
            frame.run(copy);
            if (copy.filesCopied() != CopyFiles)
                state.SkipWithError("not every file was copied");
        };
        auto runCp = [&] {
            if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-p"), QStringLiteral("-r"), sides.sideRoot[0], cpTarget}) != 0)
                state.SkipWithError("cp failed");
        };
        if (iteration % 2) {
            ours += seconds(runOurs);
            cp += seconds(runCp);
        } else {
            cp += seconds(runCp);
            ours += seconds(runOurs);
        }
    }
    state.counters["files"] = CopyFiles;
    state.counters["ours s"] = ours / iteration;
    state.counters["cp s"] = cp / iteration;
    state.counters["ours/cp"] = ours / cp;
    state.counters["ours MB/s"] = CopyBytes / 1e6 / (ours / iteration);
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

// Each iteration converts a new set of files and writes iconv's output to a new file,
// in alternating order, for the reason told at the copy.
void BM_ConvertShiftJisBesideIconv(benchmark::State &state)
{
    const QByteArray content = sjisText();
    const QString folder = benchFolder() + QStringLiteral("/convert");
    const QString whole = folder + QStringLiteral("/whole.txt");
    QDir().mkpath(folder);
    {
        QFile file(whole);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(whole));
        for (int index = 0; index < TextFiles; ++index)
            file.write(content);
    }
    platform::testing::ScriptedDialogs dialogs;
    BenchHost host;
    double ours = 0;
    double iconv = 0;
    int iteration = 0;
    for (auto _ : state) {
        ++iteration;
        OperationSides sides;
        sides.sideRoot = {folder + QStringLiteral("/set%1").arg(iteration), folder};
        sides.pathBox = sides.sideRoot;
        sides.recyclerBackup = false;
        QDir().mkpath(sides.sideRoot[0]);
        const QList<OperationRow> rows = textFiles(sides.sideRoot[0], content);
        const QString output = folder + QStringLiteral("/whole%1.utf8").arg(iteration);
        ::sync();
        auto runOurs = [&] {
            OperationFrame frame(host, sides, rows);
            CodeChangeOperation convert(0, QStringLiteral("SJIS"), QStringLiteral("UTF8"), QStringLiteral("\n"),
                                        folder + QStringLiteral("/1.tmp"));
            frame.run(convert);
            if (convert.filesConverted() != TextFiles)
                state.SkipWithError("not every file was converted");
        };
        auto runIconv = [&] {
            QProcess process;
            process.setStandardOutputFile(output);
            process.start(QStringLiteral("iconv"), {QStringLiteral("-f"), QStringLiteral("CP932"), QStringLiteral("-t"),
                                                    QStringLiteral("UTF-8"), whole});
            if (!process.waitForFinished(-1) || process.exitCode() != 0)
                state.SkipWithError("iconv failed");
        };
        if (iteration % 2) {
            ours += seconds(runOurs);
            iconv += seconds(runIconv);
        } else {
            iconv += seconds(runIconv);
            ours += seconds(runOurs);
        }
    }
    state.counters["ours MB/s"] = TextBytes / 1e6 / (ours / iteration);
    state.counters["iconv MB/s"] = TextBytes / 1e6 / (iconv / iteration);
    state.counters["ours/iconv throughput"] = iconv / ours;
}

BENCHMARK(BM_CopyAllRowsBesideCp)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();
BENCHMARK(BM_ConvertShiftJisBesideIconv)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

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
