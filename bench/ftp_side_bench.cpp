// Mirroring an FTP tree of 2,000 small files (20 folders of 100) over loopback, beside
// curl fetching the same files one by one over one connection. Both talk to the same
// pyftpdlib server on 127.0.0.1. The mirror's ratio_to_curl is its time divided by
// curl's (below 1: the mirror is faster); the unchanged walk lists every folder and
// downloads nothing.
//
// Both write to a memory file system when there is one (/dev/shm), so that the disk's
// cost of creating 2,000 files, which both pay alike, does not drown the difference.
//
// curl runs in its quickest form here: active mode and one RETR per file without CWD.
// In passive mode this libcurl (7.88) often sleeps a second before it opens a data
// connection, which would make curl, not the mirror, the thing measured. The mirror works
// in passive mode, for which the server takes ports from a fixed range, as real servers
// are set up to (see platform/testing/ftp_test_server.py).

#include "common/mod_ftp.h"
#include "foldercompare/listing/ftp_side.h"
#include "platform/testing/ftp_test_server.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int FolderCount = 20;
constexpr int FilesPerFolder = 100;

QString fileName(int folder, int file)
{
    return QStringLiteral("d%1/f%2.txt").arg(folder, 2, 10, QLatin1Char('0')).arg(file, 3, 10, QLatin1Char('0'));
}

QString temporaryTemplate()
{
    const QString memory = QStringLiteral("/dev/shm");
    const QString base = QFileInfo(memory).isDir() && QFileInfo(memory).isWritable() ? memory : QDir::tempPath();
    return base + QStringLiteral("/ftp_side_bench-XXXXXX");
}

// The server tree and its server, shared by the benchmarks.
struct Setup
{
    QTemporaryDir root{temporaryTemplate()};
    QTemporaryDir work{temporaryTemplate()};
    std::unique_ptr<platform::testing::FtpTestServer> server;
    QString curlConfig;

    Setup()
    {
        for (int folder = 0; folder < FolderCount; ++folder) {
            for (int file = 0; file < FilesPerFolder; ++file) {
                QByteArray content(100 + (folder * FilesPerFolder + file) % 400, 'a' + char(file % 26));
                platform::testing::writeRawFile(root.path(), fileName(folder, file).toUtf8(), content);
            }
        }
        server = std::make_unique<platform::testing::FtpTestServer>(root.path());
        server->start();
        curlConfig = work.filePath("curl.config");
        QFile config(curlConfig);
        config.open(QIODevice::WriteOnly);
        config.write("user = \"alice:secret\"\nsilent\nshow-error\ncreate-dirs\n"
                     "ftp-port = \"-\"\nftp-method = \"nocwd\"\n");
        for (int folder = 0; folder < FolderCount; ++folder) {
            for (int file = 0; file < FilesPerFolder; ++file) {
                const QString name = fileName(folder, file);
                config.write(QStringLiteral("url = \"ftp://%1/%2\"\noutput = \"%3\"\n")
                                 .arg(server->hostAndPort(), name, work.filePath("curl/" + name))
                                 .toUtf8());
            }
        }
    }
};

Setup &setup()
{
    static Setup shared;
    return shared;
}

class QuietHost : public foldercompare::listing::WorkHost
{
public:
    bool abortRequested() const override { return false; }
    void pumpEvents() override {}
    void showProgress(const QString &) override {}
    void reportFailure(const QString &, const QString &) override {}
};

bool mirror(const QString &cache)
{
    QuietHost host;
    foldercompare::listing::FtpGathering gathering{.host = host, .folderNum = 999, .wait = [](int) {}};
    std::vector<foldercompare::listing::GatheredEntry> records;
    QString address = setup().server->url(QStringLiteral("/"));
    const bool gathered = foldercompare::listing::GetFtpDate(address, cache, QStringLiteral("SJIS"), gathering, records);
    return gathered && records.size() == FolderCount * (FilesPerFolder + 1);
}

// Seconds that curl takes to fetch every file into an emptied folder.
double curlFetchesEachFile()
{
    Setup &shared = setup();
    QDir(shared.work.filePath("curl")).removeRecursively();
    QElapsedTimer timer;
    timer.start();
    const int status = QProcess::execute(QStringLiteral("curl"), {QStringLiteral("-K"), shared.curlConfig});
    return status == 0 ? timer.nsecsElapsed() / 1e9 : -1;
}

// Each iteration mirrors into an emptied cache (timed) and lets curl fetch the same files
// (timed apart), curl first in every other iteration, so that both meet the same load on
// the machine and the same number of closed connections still waiting in the kernel.
void BM_MirrorWalk(benchmark::State &state)
{
    Setup &shared = setup();
    const QString cache = shared.work.filePath("mirror");
    double mirrorSeconds = 0;
    double curlSeconds = 0;
    bool curlFirst = false;
    auto runCurl = [&] {
        state.PauseTiming();
        const double seconds = curlFetchesEachFile();
        if (seconds < 0)
            state.SkipWithError("curl failed");
        curlSeconds += seconds;
        state.ResumeTiming();
    };
    for (auto _ : state) {
        if (curlFirst)
            runCurl();
        state.PauseTiming();
        QDir(cache).removeRecursively();
        QDir().mkpath(cache);
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        if (!mirror(cache))
            state.SkipWithError("the mirror walk failed");
        mirrorSeconds += timer.nsecsElapsed() / 1e9;
        if (!curlFirst)
            runCurl();
        curlFirst = !curlFirst;
    }
    state.counters["files"] = FolderCount * FilesPerFolder;
    state.counters["curl_ms"] = curlSeconds * 1000 / double(state.iterations());
    state.counters["ratio_to_curl"] = curlSeconds > 0 ? mirrorSeconds / curlSeconds : 0;
}
BENCHMARK(BM_MirrorWalk)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

void BM_MirrorWalkUnchanged(benchmark::State &state)
{
    const QString cache = setup().work.filePath("mirror");
    QDir(cache).removeRecursively();
    QDir().mkpath(cache);
    mirror(cache);
    for (auto _ : state) {
        if (!mirror(cache))
            state.SkipWithError("the mirror walk failed");
    }
    state.counters["files"] = FolderCount * FilesPerFolder;
}
BENCHMARK(BM_MirrorWalkUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
