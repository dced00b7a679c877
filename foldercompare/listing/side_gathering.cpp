#include "foldercompare/listing/side_gathering.h"

#include "common/mod_ftp.h"
#include "common/saved_error.h"
#include "foldercompare/listing/file_info_log.h"
#include "foldercompare/listing/tree_walk.h"
#include "foldercompare/listing/worker_threads.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>

namespace foldercompare::listing {

namespace {

std::exception_ptr writeFailure(const QString &path, const QString &error)
{
    return std::make_exception_ptr(common::Failure(75, QCoreApplication::applicationName(),
                                                   QStringLiteral("一覧ファイルを書き込めません。 ") + path
                                                       + QStringLiteral(" : ") + error));
}

// The file of the two that could not be written and why.
struct ListingWriteFailure
{
    QString path;
    QString error;
};

// Writes a side's listing and its copy (".bak"), which brings the listing back when the
// user types the gathered path again. The copy takes the listing's time: the window shows
// that time as the time of the gathering, and must show the same one after the copy
// brings the listing back, also where the second write falls into the next second.
std::optional<ListingWriteFailure> writeListingAndCopy(const QString &listingPath, const QByteArray &bytes)
{
    const QString copyPath = listingPath + QStringLiteral(".bak");
    for (const QString &path : {listingPath, copyPath}) {
        if (const std::optional<QString> failure = WriteFileAtomically(path, bytes))
            return ListingWriteFailure{path, *failure};
    }
    struct stat written;
    if (::stat(QFile::encodeName(listingPath).constData(), &written) == 0) {
        const timespec times[2] = {{0, UTIME_OMIT}, written.st_mtim};
        ::utimensat(AT_FDCWD, QFile::encodeName(copyPath).constData(), times, 0);
    }
    return std::nullopt;
}

// A complete walk's listing, written on a worker thread: sorted where the walk left
// that to the end, formatted and written with its copy.
struct ListingWrite
{
    WalkResult walked;
    QString listingPath;
    // The records written.
    qint64 count = 0;
    // The file that could not be written and why (or that memory ran out); empty when
    // all went well.
    QString failedPath;
    QString error;
    bool outOfMemory = false;
    std::optional<platform::FileIdentity> written;

    void run()
    {
        try {
            if (walked.needsSort)
                SortEntries(walked.entries);
            const QByteArray bytes = FormatFileInfoLog(walked.entries);
            walked.facts.files.reserve(walked.entries.size());
            for (const GatheredEntry &entry : walked.entries)
                walked.facts.files.push_back(entry.identity);
            // The records are let go here rather than on the window's thread.
            count = qint64(walked.entries.size());
            std::vector<GatheredEntry>().swap(walked.entries);
            if (const std::optional<ListingWriteFailure> failure = writeListingAndCopy(listingPath, bytes)) {
                failedPath = failure->path;
                error = failure->error;
                return;
            }
            if (!walked.facts.root.isEmpty())
                written = IdentityOf(listingPath);
        } catch (const std::bad_alloc &) {
            // A task may not throw; the listing counts as not written.
            failedPath = listingPath;
            outOfMemory = true;
        }
    }
};

} // namespace

GatherOutcome GatherLocalSide(const QString &text, const QString &listingPath, int folderNum, WorkHost &host)
{
    std::vector<LocalSideResult> results = GatherLocalSides({{text, listingPath}}, folderNum, host);
    if (results.front().failure)
        std::rethrow_exception(results.front().failure);
    return std::move(results.front().outcome);
}

std::vector<LocalSideResult> GatherLocalSides(const std::vector<LocalSide> &sides, int folderNum, WorkHost &host)
{
    QStringList texts;
    for (const LocalSide &side : sides)
        texts.append(side.text);
    TreeWalk walk(host, folderNum);
    std::vector<WalkResult> walked = walk.walk(texts);
    const bool aborted = host.abortRequested()
                         || std::any_of(walked.cbegin(), walked.cend(), [](const WalkResult &w) { return w.aborted; });

    std::vector<LocalSideResult> results(sides.size());
    std::vector<ListingWrite> writes(sides.size());
    {
        WorkerThreads writers(int(sides.size()));
        for (size_t i = 0; i < sides.size(); ++i) {
            GatherOutcome &outcome = results[i].outcome;
            if (walked[i].rootUnreadable) {
                outcome.kind = GatherOutcome::Kind::RootUnreadable;
                continue;
            }
            if (aborted) {
                outcome.kind = GatherOutcome::Kind::Aborted;
                continue;
            }
            writes[i].walked = std::move(walked[i]);
            writes[i].listingPath = sides[i].listingPath;
            writers.post([&write = writes[i]] { write.run(); });
        }
        // Events keep running; an abort asked for now no longer stops the writing.
        while (!writers.waitUntilIdle(PumpSliceMs))
            host.pumpEvents();
    }
    for (size_t i = 0; i < sides.size(); ++i) {
        ListingWrite &write = writes[i];
        GatherOutcome &outcome = results[i].outcome;
        if (outcome.kind != GatherOutcome::Kind::Written)
            continue;
        if (!write.failedPath.isEmpty()) {
            results[i].failure = writeFailure(
                write.failedPath, write.outOfMemory ? QString::fromLocal8Bit(std::strerror(ENOMEM)) : write.error);
            continue;
        }
        outcome.writtenCount = write.count;
        outcome.excludedPaths = write.walked.excludedPaths;
        outcome.linksLeadingNowhere = write.walked.linksLeadingNowhere;
        if (write.written) {
            write.walked.facts.listing = *write.written;
            outcome.facts = std::move(write.walked.facts);
        }
    }
    return results;
}

GatherOutcome GatherFtpSide(QString &address, const QString &listingPath, const QString &cacheFolder,
                            const QString &fileNameCode, FtpGathering &gathering)
{
    GatherOutcome outcome;
    std::vector<GatheredEntry> entries;
    if (!GetFtpDate(address, cacheFolder, fileNameCode, gathering, entries)) {
        outcome.kind = GatherOutcome::Kind::RootUnreadable;
        return outcome;
    }
    SortEntries(entries);
    if (gathering.host.abortRequested()) {
        outcome.kind = GatherOutcome::Kind::Aborted;
        return outcome;
    }
    const QByteArray bytes = FormatFileInfoLog(entries);
    if (const std::optional<ListingWriteFailure> failure = writeListingAndCopy(listingPath, bytes))
        std::rethrow_exception(writeFailure(failure->path, failure->error));
    outcome.writtenCount = qint64(entries.size());
    outcome.excludedPaths = gathering.excludedPaths;
    outcome.fileNameCode = common::FileNameCode;
    return outcome;
}

} // namespace foldercompare::listing
