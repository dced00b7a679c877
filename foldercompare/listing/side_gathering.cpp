#include "foldercompare/listing/side_gathering.h"

#include "common/saved_error.h"
#include "foldercompare/listing/file_info_log.h"
#include "foldercompare/listing/tree_walk.h"

#include <QCoreApplication>

namespace foldercompare::listing {

namespace {

void writeOrThrow(const QString &path, const QByteArray &bytes)
{
    if (const std::optional<QString> error = WriteFileAtomically(path, bytes))
        throw common::Failure(75, QCoreApplication::applicationName(),
                              QStringLiteral("一覧ファイルを書き込めません。 ") + path + QStringLiteral(" : ") + *error);
}

} // namespace

GatherOutcome GatherLocalSide(const QString &text, const QString &listingPath, int folderNum, WorkHost &host)
{
    GatherOutcome outcome;
    TreeWalk walk(host, folderNum);
    WalkResult result = walk.walk(text);
    if (result.rootUnreadable) {
        outcome.kind = GatherOutcome::Kind::RootUnreadable;
        return outcome;
    }
    if (result.needsSort)
        SortEntries(result.entries);
    if (result.aborted || host.abortRequested()) {
        outcome.kind = GatherOutcome::Kind::Aborted;
        return outcome;
    }
    const QByteArray bytes = FormatFileInfoLog(result.entries);
    writeOrThrow(listingPath, bytes);
    writeOrThrow(listingPath + QStringLiteral(".bak"), bytes);
    outcome.writtenCount = qint64(result.entries.size());
    outcome.excludedPaths = result.excludedPaths;
    if (!result.facts.folders.isEmpty()) {
        if (const std::optional<FileIdentity> written = IdentityOf(listingPath)) {
            result.facts.listing = *written;
            outcome.facts = std::move(result.facts);
        }
    }
    return outcome;
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
    writeOrThrow(listingPath, bytes);
    writeOrThrow(listingPath + QStringLiteral(".bak"), bytes);
    outcome.writtenCount = qint64(entries.size());
    outcome.excludedPaths = gathering.excludedPaths;
    return outcome;
}

} // namespace foldercompare::listing
