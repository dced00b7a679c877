// The file operations beside the reference tools, measured side by side: copying every
// row of a comparison to an empty side 2 with the trash backup off, beside `cp -p -r`
// followed by `sync` in one timed step (a copy counts once it is on the disk), for 10,000
// files (500 MB in 100 folders) and for 100 files of 50 MB (5 GB in 10 folders); and
// converting 1,000 Shift-JIS files (100 MB) to UTF-8 with LF, beside `iconv -f CP932 -t
// UTF-8` over one file of the same total size, with the trash backup off and on, and the
// same 100 MB as one file. The sources are read from a warm cache.
// Each run lets window events run once per row, as the window does, and acts on the sides
// as a comparison just before read them (outside the timed step: the user compares first).
// The ratio counters compare the summed times of each pair.

#include "common/non_code_class.h"
#include "foldercompare/listing/side_gathering.h"
#include "foldercompare/operations/code_change.h"
#include "foldercompare/operations/copy_delete.h"
#include "platform/process_memory.h"
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

// The comparison's way of hosting a gathering, with nothing to abort or show.
class GatheringHost final : public foldercompare::listing::WorkHost
{
public:
    bool abortRequested() const override { return false; }
    void pumpEvents() override {}
    void showProgress(const QString &) override {}
    void reportFailure(const QString &procedure, const QString &description) override
    {
        qFatal("%s: %s", qPrintable(procedure), qPrintable(description));
    }
};

// `sides` as a comparison right now reads them: each side gathered into a listing file,
// with the facts of its gathering, as the window hands them to the file operations.
OperationSides compared(OperationSides sides)
{
    using namespace foldercompare::listing;
    for (int side = 0; side < 2; ++side) {
        const QString &root = sides.sideRoot[side];
        const QString listingFile = benchFolder() + QStringLiteral("/side%1.log").arg(side);
        GatheringHost host;
        const GatherOutcome outcome = GatherLocalSide(root, listingFile, sides.folderNum, host);
        QFile listing(listingFile);
        if (outcome.kind != GatherOutcome::Kind::Written || !listing.open(QIODevice::ReadOnly))
            qFatal("cannot gather %s", qPrintable(root));
        sides.compared[side] = ComparedListing(root, !QFileInfo(root).isDir(), listing.readAll(), outcome.facts);
    }
    return sides;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A tree copied by the copy benchmarks: `folders` folders of `filesPerFolder` files each,
// the files' sizes spread evenly from `smallestBytes` to `largestBytes`.
struct CopyTree
{
    const char *name;
    int folders;
    int filesPerFolder;
    qint64 smallestBytes;
    qint64 largestBytes;

    int files() const { return folders * filesPerFolder; }
    qint64 fileBytes(int file) const
    {
        return filesPerFolder == 1 ? smallestBytes
                                   : smallestBytes + (largestBytes - smallestBytes) * file / (filesPerFolder - 1);
    }
    qint64 bytes() const
    {
        qint64 total = 0;
        for (int file = 0; file < filesPerFolder; ++file)
            total += fileBytes(file);
        return total * folders;
    }
};

// 10,000 files of 25 to 75 kB (50 kB on average) in 100 folders.
constexpr CopyTree SmallFiles{"small", 100, 100, 25000, 75000};
// 100 files of 50 MB in 10 folders.
constexpr CopyTree LargeFiles{"large", 10, 10, 50000000, 50000000};

// Writes the copy source of `tree` (once per run) and returns the rows of a comparison
// with an empty side 2: each folder, then its files.
QList<OperationRow> copySource(const CopyTree &tree, const QString &source)
{
    QList<OperationRow> rows;
    const bool exists = QFileInfo::exists(source + QStringLiteral("/.complete"));
    QByteArray block(tree.largestBytes, Qt::Uninitialized);
    for (qsizetype index = 0; index < block.size(); ++index)
        block[index] = char('a' + (index * 7919) % 26);
    for (int folder = 0; folder < tree.folders; ++folder) {
        const QString name = QStringLiteral("folder%1/").arg(folder, 3, 10, QLatin1Char('0'));
        rows.append({QString(), QString(), name});
        if (!exists)
            QDir().mkpath(source + u'/' + name);
        for (int file = 0; file < tree.filesPerFolder; ++file) {
            const QString path = name + QStringLiteral("file%1.dat").arg(file, 3, 10, QLatin1Char('0'));
            rows.append({QString(), QString(), path});
            if (!exists)
                writeFile(source + u'/' + path, QByteArrayView(block).first(tree.fileBytes(file)).toByteArray());
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

// Each iteration copies into two new folders, ours and cp's, in alternating order, each
// step starting with nothing left to write back. The copies of many small files stay
// until the end, since ext4 searches long for a free inode among ones deleted moments
// ago, which would burden whichever copy came after a deletion; the few large files go
// right after their step, so that the disk holds at most one copy of them.
void copyBesideCpAndSync(benchmark::State &state, const CopyTree &tree)
{
    const QString folder = benchFolder() + QStringLiteral("/copy-") + QLatin1String(tree.name);
    const QList<OperationRow> rows = copySource(tree, folder + QStringLiteral("/one"));
    const bool removeEachCopy = tree.files() < 1000;
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
        sides = compared(sides);
        const QString cpTarget = folder + QStringLiteral("/cp%1").arg(iteration);
        auto runOurs = [&] {
            OperationFrame frame(host, sides, rows);
            CopyOperation copy(0);
            frame.run(copy);
            if (copy.filesCopied() != tree.files())
                state.SkipWithError("not every file was copied");
        };
        auto runCpAndSync = [&] {
            if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-p"), QStringLiteral("-r"), sides.sideRoot[0], cpTarget}) != 0
                || QProcess::execute(QStringLiteral("sync"), {}) != 0)
                state.SkipWithError("cp or sync failed");
        };
        auto measure = [&](auto step, const QString &copied) {
            ::sync();
            const double spent = seconds(step);
            if (removeEachCopy) {
                QDir(copied).removeRecursively();
                ::sync();
            }
            return spent;
        };
        if (iteration % 2) {
            ours += measure(runOurs, sides.sideRoot[1]);
            cp += measure(runCpAndSync, cpTarget);
        } else {
            cp += measure(runCpAndSync, cpTarget);
            ours += measure(runOurs, sides.sideRoot[1]);
        }
    }
    QDir(folder).removeRecursively();
    state.counters["files"] = tree.files();
    state.counters["ours s"] = ours / iteration;
    state.counters["cp+sync s"] = cp / iteration;
    state.counters["ours/cp"] = ours / cp;
    state.counters["ours MB/s"] = tree.bytes() / 1e6 / (ours / iteration);
    std::printf("copy of %d files (%lld MB): ours / (cp -p -r + sync) = %.2f (%.2f s / %.2f s)\n", tree.files(),
                tree.bytes() / 1000000, ours / cp, ours / iteration, cp / iteration);
}

void BM_CopySmallFilesBesideCpAndSync(benchmark::State &state)
{
    copyBesideCpAndSync(state, SmallFiles);
}

void BM_CopyLargeFilesBesideCpAndSync(benchmark::State &state)
{
    copyBesideCpAndSync(state, LargeFiles);
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

// Writes the files to convert into `folder`: `files` files that share the bytes of
// `content` repeated TextFiles / files times each, and returns their rows.
QList<OperationRow> textFiles(const QString &folder, const QByteArray &content, int files)
{
    QList<OperationRow> rows;
    const QByteArray body = content.repeated(TextFiles / files);
    for (int index = 0; index < files; ++index) {
        const QString name = QStringLiteral("text%1.txt").arg(index, 4, 10, QLatin1Char('0'));
        writeFile(folder + u'/' + name, body);
        rows.append({QString(), QString(), name});
    }
    return rows;
}

// Converts the same 100 MB of Shift-JIS to UTF-8 with LF as `files` files (1,000 or one),
// with the trash backup of each replaced file on or off, beside iconv over one file of
// those bytes. Each iteration converts a new set of files and writes iconv's output to a
// new file, in alternating order, for the reason told at the copies.
void convertBesideIconv(benchmark::State &state, int files, bool trash)
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
        sides.sideRoot = {folder + QStringLiteral("/set%1").arg(iteration), folder + QStringLiteral("/other")};
        sides.pathBox = sides.sideRoot;
        sides.recyclerBackup = trash;
        QDir().mkpath(sides.sideRoot[0]);
        QDir().mkpath(sides.sideRoot[1]);
        const QList<OperationRow> rows = textFiles(sides.sideRoot[0], content, files);
        sides = compared(sides);
        const QString output = folder + QStringLiteral("/whole%1.utf8").arg(iteration);
        ::sync();
        auto runOurs = [&] {
            OperationFrame frame(host, sides, rows);
            CodeChangeOperation convert(0, QStringLiteral("SJIS"), QStringLiteral("UTF8"), QStringLiteral("\n"),
                                        folder + QStringLiteral("/1.tmp"));
            frame.run(convert);
            if (convert.filesConverted() != files)
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
    std::printf("conversion of %d file(s) (%lld MB), trash %s: ours / iconv throughput = %.2f (%.2f s / %.2f s)\n",
                files, TextBytes / 1000000, trash ? "on" : "off", iconv / ours, ours / iteration, iconv / iteration);
}

BENCHMARK(BM_CopySmallFilesBesideCpAndSync)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();
BENCHMARK(BM_CopyLargeFilesBesideCpAndSync)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK_CAPTURE(convertBesideIconv, ThousandShiftJisFilesTrashOff, TextFiles, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4)
    ->UseRealTime();
BENCHMARK_CAPTURE(convertBesideIconv, ThousandShiftJisFilesTrashOn, TextFiles, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4)
    ->UseRealTime();
BENCHMARK_CAPTURE(convertBesideIconv, OneShiftJisFileTrashOn, 1, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    // The process keeps freed memory for reuse, as the programs do.
    platform::KeepFreedMemoryForReuse();
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::fprintf(stderr, "trees in %s\n", qPrintable(benchFolder()));
    // The replaced files go to a trash of the run's own, which goes with the trees.
    qputenv("XDG_DATA_HOME", QFile::encodeName(benchFolder() + QStringLiteral("/data")));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QDir(benchFolder()).removeRecursively();
    return 0;
}
