// One pass of the backup program over a tree of 10,000 files (500 MB in 100 folders),
// side by side with rsync in one run: the first pass into an empty destination against
// "rsync -a --fsync" (both sync every file), and a second pass with nothing changed
// against "rsync -a" doing nothing, once as a plain backup and once with 削除 (BakDel),
// whose delete walk looks at every item of the backup once more. A third measure runs
// a pass with UseCpu 20 and reports the program's processor share over it, from
// /proc/self/stat. Each round is printed, then the medians. Without rsync the
// comparisons are skipped.

#include "idlebackup/backup_list.h"
#include "idlebackup/backup_program.h"
#include "platform/profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace idlebackup;

constexpr int Folders = 100;
constexpr int FilesPerFolder = 100;
constexpr qint64 MeanFileBytes = 50 * 1000;
constexpr qint64 BaseDate = 1600000000;

// The source tree, written once under the temporary folder (a marker tells that it is
// complete): file sizes spread evenly from 0 to twice the mean.
QString sourceTree()
{
    static const QString folder = [] {
        const QString root = QStandardPaths::writableLocation(QStandardPaths::TempLocation)
                             + QStringLiteral("/zelquin-bench-tree");
        const QString marker = root + QStringLiteral("/../zelquin-bench-tree.complete");
        if (QFile::exists(marker))
            return root;
        QDir(root).removeRecursively();
        QRandomGenerator random(20240601);
        QByteArray block(2 * MeanFileBytes, Qt::Uninitialized);
        for (qsizetype i = 0; i < block.size(); i += 4)
            *reinterpret_cast<quint32 *>(block.data() + i) = random.generate();
        for (int folderIndex = 0; folderIndex < Folders; ++folderIndex) {
            const QString path = root + QStringLiteral("/f%1").arg(folderIndex, 3, 10, QChar(u'0'));
            QDir().mkpath(path);
            for (int file = 0; file < FilesPerFolder; ++file) {
                const QByteArray name = QFile::encodeName(path + QStringLiteral("/file%1.dat").arg(file, 3, 10, QChar(u'0')));
                const qint64 size = qint64(random.bounded(quint32(2 * MeanFileBytes)));
                const int descriptor = ::open(name.constData(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
                if (descriptor < 0 || ::write(descriptor, block.constData() + (file % 7), size_t(size)) != size)
                    qFatal("cannot write %s", name.constData());
                const struct timespec times[2] = {{time_t(BaseDate + file), 0}, {time_t(BaseDate + file), 0}};
                ::futimens(descriptor, times);
                ::close(descriptor);
            }
        }
        QFile(marker).open(QIODevice::WriteOnly);
        return root;
    }();
    return folder;
}

QString workFolder()
{
    static QTemporaryDir folder(QStandardPaths::writableLocation(QStandardPaths::TempLocation)
                                + QStringLiteral("/zelquin-bench-XXXXXX"));
    return folder.path();
}

bool haveRsync()
{
    return !QStandardPaths::findExecutable(QStringLiteral("rsync")).isEmpty();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The program's processor time so far, in seconds (user and system, /proc/self/stat).
double processorSeconds()
{
    QFile file(QStringLiteral("/proc/self/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = file.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // After the name: state is field 3, utime field 14 and stime field 15.
    constexpr int UserField = 14 - 3;
    constexpr int SystemField = 15 - 3;
    return double(fields.value(UserField).toLongLong() + fields.value(SystemField).toLongLong())
           / double(::sysconf(_SC_CLK_TCK));
}

class BenchWindow final : public ProgramHost
{
public:
    void setMessageText(const QString &) override {}
    void pumpEvents() override { QCoreApplication::processEvents(); }
    void showIcon(int) override {}
    void showMeter(int) override {}
    void setStartCaption(const QString &) override {}
    SettingsBoxes settingsBoxes() const override { return {}; }
    void setSettingsBoxes(const SettingsBoxes &) override {}
    void focusSettingsBox(SettingsBox) override {}
    void setBackupOnlyChecksEnabled(bool) override {}
    bool windowHidden() const override { return true; }
    void popUpWindow() override {}
    void hideWindow() override {}
    void unloadWindow() override {}
};

// Runs one pass of the program over the source tree into `destination` with the given
// pacing (and 削除 with `deleteToo`); returns the wall time of the whole run, start-up
// included, in milliseconds.
double runPass(const QString &destination, int minIdle, int useCpu, bool deleteToo = false)
{
    const QString ini = workFolder() + QStringLiteral("/Zelquin.ini");
    QFile::remove(ini);
    platform::writeProfileStrings(QStringLiteral("SETTING"),
                                  {{QStringLiteral("OrgFolder1"), sourceTree()},
                                   {QStringLiteral("BakFolder1"), destination},
                                   {QStringLiteral("MinIdle"), QString::number(minIdle)},
                                   {QStringLiteral("UseCpu"), QString::number(useCpu)},
                                   {QStringLiteral("BakDel"), QString::number(deleteToo ? 1 : 0)},
                                   {QStringLiteral("NoneExt"), QString()}},
                                  ini);
    QDir().mkpath(destination);
    // The whole run: the program's start-up, then the pass.
    QElapsedTimer timer;
    timer.start();
    BenchWindow window;
    SteadyClock clock;
    ProcStatMeter meter;
    BackupProgram program(window, clock, meter, ini, QString());
    program.Form_Load();
    program.flags().RunFlag = 1;
    program.SyncTimer_Timer();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (program.BakList.textMatrix(1, BakListColumn::Errors) != QString())
        qFatal("the pass failed: %s", qPrintable(program.BakList.textMatrix(1, BakListColumn::Errors)));
    program.Form_Unload();
    return elapsed;
}

double runRsync(const QStringList &options, const QString &destination)
{
    QDir().mkpath(destination);
    QElapsedTimer timer;
    timer.start();
    const int status = QProcess::execute(QStringLiteral("rsync"),
                                         options + QStringList{sourceTree() + u'/', destination + u'/'});
    if (status != 0)
        qFatal("rsync failed");
    return double(timer.nsecsElapsed()) / 1e6;
}

void BM_FirstPassAgainstRsyncFsync(benchmark::State &state)
{
    if (!haveRsync()) {
        state.SkipWithError("rsync is not installed");
        return;
    }
    std::vector<double> zelquin;
    std::vector<double> rsync;
    // Each run writes a destination of its own, also in every repetition of the
    // benchmark, so that each is a first pass into an empty folder, and nothing is
    // deleted until the end: a file system hands out the inodes of files deleted moments
    // ago only slowly, which would tax whichever run came first. The two take turns at
    // going first.
    static int round = 0;
    for (auto _ : state) {
        const QString ours = workFolder() + QStringLiteral("/first-zelquin-%1").arg(round);
        const QString theirs = workFolder() + QStringLiteral("/first-rsync-%1").arg(round);
        ::sync();
        if (round % 2 == 0)
            zelquin.push_back(runPass(ours, 0, 99));
        rsync.push_back(runRsync({QStringLiteral("-a"), QStringLiteral("--fsync")}, theirs));
        if (round % 2 == 1)
            zelquin.push_back(runPass(ours, 0, 99));
        std::printf("first pass round %d: %.0f ms, rsync -a --fsync %.0f ms\n", round, zelquin.back(), rsync.back());
        ++round;
    }
    state.counters["zelquin_ms"] = median(zelquin);
    state.counters["rsync_fsync_ms"] = median(rsync);
    state.counters["ratio"] = median(zelquin) / median(rsync);
    std::printf("first pass / rsync -a --fsync = %.2f (medians %.0f ms / %.0f ms)\n", median(zelquin) / median(rsync),
                median(zelquin), median(rsync));
}

void BM_UnchangedPassAgainstRsync(benchmark::State &state)
{
    if (!haveRsync()) {
        state.SkipWithError("rsync is not installed");
        return;
    }
    const QString ours = workFolder() + QStringLiteral("/unchanged-zelquin");
    const QString theirs = workFolder() + QStringLiteral("/unchanged-rsync");
    runPass(ours, 0, 99);
    runRsync({QStringLiteral("-a")}, theirs);
    std::vector<double> zelquin;
    std::vector<double> zelquinDeleting;
    std::vector<double> rsync;
    for (auto _ : state) {
        zelquin.push_back(runPass(ours, 0, 99));
        rsync.push_back(runRsync({QStringLiteral("-a")}, theirs));
        zelquinDeleting.push_back(runPass(ours, 0, 99, true));
        std::printf("unchanged pass: %.0f ms, with 削除 %.0f ms, rsync -a %.0f ms\n", zelquin.back(),
                    zelquinDeleting.back(), rsync.back());
    }
    state.counters["zelquin_ms"] = median(zelquin);
    state.counters["zelquin_delete_ms"] = median(zelquinDeleting);
    state.counters["rsync_ms"] = median(rsync);
    state.counters["ratio"] = median(zelquin) / median(rsync);
    state.counters["ratio_delete"] = median(zelquinDeleting) / median(rsync);
    std::printf("unchanged pass / rsync -a = %.2f (medians %.0f ms / %.0f ms)\n", median(zelquin) / median(rsync),
                median(zelquin), median(rsync));
    std::printf("unchanged pass with 削除 / rsync -a = %.2f (medians %.0f ms / %.0f ms)\n",
                median(zelquinDeleting) / median(rsync), median(zelquinDeleting), median(rsync));
}

// The processor share of a pass held to UseCpu 20, into a destination in memory
// (/dev/shm where there is one), so that the disk does not hold the work back.
void BM_ProcessorShareAtUseCpu20(benchmark::State &state)
{
    const QString memory = QStringLiteral("/dev/shm");
    const QString base = QFileInfo(memory).isWritable() ? memory : workFolder();
    const QString destination = base + QStringLiteral("/zelquin-bench-share-%1").arg(QCoreApplication::applicationPid());
    std::vector<double> shares;
    for (auto _ : state) {
        QDir(destination).removeRecursively();
        const double processorBefore = processorSeconds();
        const double wall = runPass(destination, 0, 20);
        shares.push_back(100.0 * (processorSeconds() - processorBefore) / (wall / 1000.0));
        std::printf("processor share at UseCpu 20: %.1f %%\n", shares.back());
    }
    QDir(destination).removeRecursively();
    state.counters["share_percent"] = median(shares);
    std::printf("processor share at UseCpu 20 = %.1f %%\n", median(shares));
}

BENCHMARK(BM_FirstPassAgainstRsyncFsync)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_UnchangedPassAgainstRsync)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ProcessorShareAtUseCpu20)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::fprintf(stderr, "tree in %s\n", qPrintable(sourceTree()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
