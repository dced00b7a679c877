// Downloading a 200 MB file over http://127.0.0.1 into a file, beside `curl -o` of the
// same file from the same server, both in the same run, in turns. ratio_to_curl is our
// time divided by curl's (1.1 or less: at most a tenth slower). Both write to a memory
// file system when there is one (/dev/shm), so that the disk does not set the pace.

#include "platform/http_download.h"
#include "platform/testing/http_test_server.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr qint64 FileBytes = 200LL * 1000 * 1000;

QString temporaryTemplate()
{
    const QString memory = QStringLiteral("/dev/shm");
    const QString base = QFileInfo(memory).isDir() && QFileInfo(memory).isWritable() ? memory : QDir::tempPath();
    return base + QStringLiteral("/http_download_bench-XXXXXX");
}

struct Setup
{
    QTemporaryDir root{temporaryTemplate()};
    QTemporaryDir work{temporaryTemplate()};
    std::unique_ptr<platform::testing::HttpTestServer> server;

    Setup()
    {
        QFile file(root.filePath(QStringLiteral("large.bin")));
        file.open(QIODevice::WriteOnly);
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = char(i * 7 + i / 251);
        for (qint64 written = 0; written < FileBytes; written += block.size())
            file.write(block.constData(), std::min<qint64>(block.size(), FileBytes - written));
        file.close();
        server = std::make_unique<platform::testing::HttpTestServer>(root.path());
        server->start();
    }
};

Setup &setup()
{
    static Setup shared;
    return shared;
}

double curlSeconds()
{
    const QString target = setup().work.filePath(QStringLiteral("curl.bin"));
    QFile::remove(target);
    QElapsedTimer timer;
    timer.start();
    const int status = QProcess::execute(
        QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), target, setup().server->url("/large.bin")});
    const double seconds = timer.nsecsElapsed() / 1e9;
    return status == 0 && QFileInfo(target).size() == FileBytes ? seconds : -1;
}

void BM_HttpDownload(benchmark::State &state)
{
    const QString target = setup().work.filePath(QStringLiteral("ours.bin"));
    double ours = 0;
    double curl = 0;
    bool curlFirst = false;
    auto runCurl = [&] {
        state.PauseTiming();
        const double seconds = curlSeconds();
        if (seconds < 0)
            state.SkipWithError("curl failed");
        curl += seconds;
        state.ResumeTiming();
    };
    for (auto _ : state) {
        if (curlFirst)
            runCurl();
        state.PauseTiming();
        QFile::remove(target);
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        platform::HttpRequest request;
        request.url = setup().server->url("/large.bin");
        request.localPath = target;
        const platform::HttpOutcome outcome = platform::downloadHttp(request);
        ours += timer.nsecsElapsed() / 1e9;
        if (!outcome.ok() || outcome.bytes != FileBytes)
            state.SkipWithError("the download failed");
        if (!curlFirst)
            runCurl();
        curlFirst = !curlFirst;
    }
    state.counters["MB"] = double(FileBytes) / 1e6;
    state.counters["curl_ms"] = curl * 1000 / double(state.iterations());
    state.counters["ratio_to_curl"] = curl > 0 ? ours / curl : 0;
}
BENCHMARK(BM_HttpDownload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

} // namespace
