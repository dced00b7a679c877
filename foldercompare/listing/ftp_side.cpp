#include "foldercompare/listing/ftp_side.h"

#include "common/common_module.h"
#include "common/mod_ftp.h"
#include "common/saved_error.h"
#include "foldercompare/listing/folder_services.h"
#include "foldercompare/listing/tree_walk.h"
#include "platform/atomic_file.h"
#include "platform/ftp_listing.h"
#include "platform/ftp_session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>

#include <sys/stat.h>

namespace foldercompare::listing {

namespace {

const QString DateFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");

QString dateText(const QDateTime &time)
{
    return time.toString(DateFormat);
}

// `name` below the remote folder `folder`.
QByteArray remoteChild(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// The server's reply in the module's last failure, its description's last line.
QString lastReply()
{
    return common::FtpSavedErr().Description.section(QStringLiteral("\r\n"), -1);
}

// `listed`, an entry of the remote folder `folder`, with its symbolic link, if it is one,
// resolved as the gathering resolves links: a folder when the server enters it, else a
// file with the size and time that the server tells of it (size -1 when it tells none).
common::FtpFolderEntry resolveFtpLink(const QByteArray &folder, common::FtpFolderEntry listed)
{
    if (!listed.link)
        return listed;
    const QByteArray path = remoteChild(folder, listed.remoteName);
    if (common::FtpEnterFolder(path)) {
        listed.folder = true;
        return listed;
    }
    const platform::FtpFileFacts facts = common::FtpDescribeFile(path);
    listed.size = facts.size;
    if (facts.time.isValid())
        listed.time = facts.time;
    return listed;
}

// Whether a folder whose listing is `listing` leads back to one of the folders above it,
// whose listings are `ancestors`: it lists the very same entries, as a link that leads
// back there does.
bool leadsBackToAncestor(const QList<QByteArray> &ancestors, const QByteArray &listing)
{
    return !listing.isEmpty() && ancestors.contains(listing);
}

// A failure that makes the FTP side unusable: anything of the FTP client except a cached
// copy that cannot be written.
bool isSideFailure(const common::ErrorRecord &record)
{
    return record.Source == QStringLiteral("modFtp") && !common::IsLocalFileError(record);
}


class FtpWalk
{
public:
    FtpWalk(FtpGathering &gathering, const QString &address, const QString &cacheFolder,
            std::vector<GatheredEntry> &records)
        : m_gathering(gathering)
        , m_host(gathering.host)
        , m_cacheFolder(cacheFolder)
        , m_records(records)
    {
        const QString shown = common::PasswordHidden(address);
        m_captionAddress = shown.size() > 35 ? shown.left(6) + QStringLiteral("...") + shown.right(26) : shown;
    }

    // Walks the remote folder `remote` (GetFtpFolderDate), whose entries are recorded
    // below `relativeFolder` ("" or "a/b/") at `depth` (1 for the address's folder);
    // `ancestors` are the listings of the folders above it. Nothing when it lists the very
    // same entries as one of them: a link led back there.
    std::optional<FolderTotals> walk(const QByteArray &remote, const QString &relativeFolder, int depth,
                                     QList<QByteArray> ancestors)
    {
        FolderTotals totals;
        if (m_host.abortRequested())
            return totals;
        m_host.pumpEvents();
        const common::FtpFolder folder = common::FtpReadFolder(remote);
        if (leadsBackToAncestor(ancestors, folder.listing))
            return std::nullopt;
        ancestors.append(folder.listing);
        for (const QString &name : folder.refusedNames)
            m_gathering.excludedPaths.append(relativeFolder + name);

        QList<common::FtpFolderEntry> entries;
        QSet<QString> names;
        for (const common::FtpFolderEntry &listed : folder.entries) {
            if (m_host.abortRequested())
                break;
            // A name that the listing gives twice is the first entry; the other is left out.
            if (names.contains(listed.name)) {
                m_gathering.excludedPaths.append(relativeFolder + listed.name
                                                 + (listed.folder ? QStringLiteral("/") : QString()));
                continue;
            }
            names.insert(listed.name);
            // What an upload of ours killed before it ended left behind is no entry of the side.
            if (!listed.folder && !listed.link && platform::isLeftoverTemporaryFileName(listed.remoteName))
                continue;
            // No download, size or time can be asked for a name with a control byte.
            if (!platform::isTransferableName(listed.remoteName)) {
                m_gathering.excludedPaths.append(relativeFolder + listed.name
                                                 + (listed.folder ? QStringLiteral("/") : QString()));
                continue;
            }
            entries.append(resolveFtpLink(remote, listed));
        }
        if (!m_host.abortRequested())
            pruneCache(relativeFolder, entries);
        CaptionThrottle throttle;

        for (common::FtpFolderEntry &entry : entries) {
            if (m_host.abortRequested())
                break;
            if (entry.folder)
                continue;
            const QString relative = relativeFolder + entry.name;
            if (!FitsListingLine(relative) || !platform::staysInsideFolder(m_cacheFolder, relative)) {
                m_gathering.excludedPaths.append(relative);
                continue;
            }
            mirrorFile(remote, relative, entry, throttle);
            const qint64 listed = entry.time.toSecsSinceEpoch();
            totals.add(true, listed, entry.size, 0);
            m_records.push_back({relative, listed, entry.size, 0});
        }

        for (const common::FtpFolderEntry &entry : entries) {
            if (m_host.abortRequested())
                break;
            if (!entry.folder)
                continue;
            const QString relative = relativeFolder + entry.name + u'/';
            if (!FitsListingLine(relative) || !platform::staysInsideFolder(m_cacheFolder, relative.chopped(1))) {
                m_gathering.excludedPaths.append(relative);
                continue;
            }
            bool created = false;
            CreateFolder(m_cacheFolder + u'/' + relative.chopped(1), 0, created);
            std::optional<FolderTotals> below;
            if (depth < m_gathering.folderNum)
                below = walk(remoteChild(remote, entry.remoteName), relative, depth + 1, ancestors);
            const FolderTotals contents = below.value_or(FolderTotals());
            totals.add(contents.dated, contents.newest, contents.size, contents.count);
            const qint64 date = contents.dated ? contents.newest : entry.time.toSecsSinceEpoch();
            m_records.push_back({relative, date, contents.size, contents.count});
        }
        return totals;
    }

private:
    // Removes from the cache folder of `relativeFolder` every entry that the server no
    // longer lists, or lists as the other kind, so that no copy outlives the server's file
    // and nothing stale can be taken for it. A symbolic link under a listed name stays for
    // the check that refuses it.
    void pruneCache(const QString &relativeFolder, const QList<common::FtpFolderEntry> &entries)
    {
        QHash<QString, bool> listed;
        for (const common::FtpFolderEntry &entry : entries)
            listed.insert(entry.name, entry.folder);
        const QString folder = relativeFolder.isEmpty() ? m_cacheFolder : m_cacheFolder + u'/' + relativeFolder.chopped(1);
        const QFileInfoList cached
            = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : cached) {
            const auto found = listed.constFind(entry.fileName());
            if (found != listed.cend() && (entry.isSymLink() || (*found ? entry.isDir() : entry.isFile())))
                continue;
            if (entry.isDir() && !entry.isSymLink())
                DeleteFolderIfExists(entry.filePath());
            else
                QFile::remove(entry.filePath());
        }
    }

    void show(const QString &caption)
    {
        m_host.showProgress(caption);
        m_host.pumpEvents();
    }

    // The entry of `remoteName` in a new listing of `remote`, when it is listed.
    std::optional<common::FtpFolderEntry> probe(const QByteArray &remote, const QByteArray &remoteName)
    {
        for (const common::FtpFolderEntry &entry : common::FtpReadFolder(remote).entries) {
            if (entry.remoteName == remoteName)
                return entry;
        }
        return std::nullopt;
    }

    // Brings the cached copy of one remote file up to the listed date and size. A file
    // that the server refuses to send keeps its listed values, loses an older copy and is
    // named in the gathering's refused files.
    void mirrorFile(const QByteArray &remote, const QString &relative, common::FtpFolderEntry &entry,
                    CaptionThrottle &throttle)
    {
        const QString cached = m_cacheFolder + u'/' + relative;
        const QByteArray path = remoteChild(remote, entry.remoteName);
        for (int round = 0;; ++round) {
            QString caption = QStringLiteral("取得中 ") + m_captionAddress + relative + u' ';
            if (throttle.due())
                m_host.showProgress(caption);
            m_host.pumpEvents();

            QString cachedDate;
            QString cachedSize;
            GetCacheFileDate(cached, cachedDate, cachedSize);

            // A listing may lag behind a file that was just written: give it a few chances
            // to catch up with a cached copy that is newer than the listed time.
            for (int attempt = 0; attempt < 10 && !cachedDate.isEmpty() && !entry.link; ++attempt) {
                const QString limit = dateText(QDateTime::fromString(cachedDate, DateFormat).addSecs(-60));
                if (dateText(entry.time) >= limit)
                    break;
                caption += u'.';
                show(caption);
                m_gathering.wait(500);
                const std::optional<common::FtpFolderEntry> later = probe(remote, entry.remoteName);
                if (later && later->time > entry.time) {
                    entry.time = later->time;
                    entry.size = later->size;
                }
            }

            if (cachedDate != dateText(entry.time) || cachedSize != QString::number(entry.size)) {
                caption += QStringLiteral("<D>");
                show(caption);
                if (!common::FtpGetFile(cached, path)) {
                    QFile::remove(cached);
                    m_gathering.refusedFiles.append(relative + QStringLiteral(" : ") + lastReply());
                    if (entry.size < 0)
                        entry.size = 0;
                    return;
                }
                common::SetLocalFileTime(cached, entry.time);
                GetCacheFileDate(cached, cachedDate, cachedSize);
            }

            // A link's size is its target's, which the listing does not tell, and a
            // negative listed size is none: the copy tells it.
            if (cachedSize == QString::number(entry.size) || entry.link || entry.size < 0) {
                entry.size = cachedSize.toLongLong();
                m_host.pumpEvents();
                return;
            }
            // The copy keeps another size than the listing states: list the file again and
            // download it again, a bounded number of times.
            if (round >= m_gathering.sizeCheckRepeats || m_host.abortRequested())
                return;
            m_gathering.wait(100);
            if (const std::optional<common::FtpFolderEntry> again = probe(remote, entry.remoteName)) {
                entry.time = again->time;
                entry.size = again->size;
            }
            caption += u'*';
            show(caption);
            m_gathering.wait(400);
            if (m_host.abortRequested())
                return;
        }
    }

    FtpGathering &m_gathering;
    WorkHost &m_host;
    QString m_cacheFolder;
    std::vector<GatheredEntry> &m_records;
    QString m_captionAddress;
};

// Gathers the single file `name` of the current folder, or tells that the address names
// a folder (or nothing) instead.
enum class SingleFile { Gathered, NotAFile };

SingleFile gatherSingleFile(const FtpInfo &info, const QString &cacheFolder, FtpGathering &gathering,
                            std::vector<GatheredEntry> &records)
{
    const QByteArray remote = common::FtpRemoteFolder();
    std::optional<common::FtpFolderEntry> named;
    for (const common::FtpFolderEntry &entry : common::FtpReadFolder(remote).entries) {
        if (entry.name == info.fileName) {
            named = entry;
            break;
        }
    }
    if (!named || named->folder)
        return SingleFile::NotAFile;
    if (!platform::isTransferableName(named->remoteName)) {
        gathering.excludedPaths.append(info.fileName);
        return SingleFile::Gathered;
    }
    const QByteArray path = remoteChild(remote, named->remoteName);
    if (named->link) {
        if (common::FtpEnterFolder(path))
            return SingleFile::NotAFile;
        const platform::FtpFileFacts facts = common::FtpDescribeFile(path);
        if (facts.time.isValid())
            named->time = facts.time;
    }
    if (!platform::staysInsideFolder(cacheFolder, info.fileName)) {
        gathering.excludedPaths.append(info.fileName);
        return SingleFile::Gathered;
    }
    const QString cached = cacheFolder + u'/' + info.fileName;
    if (common::FtpGetFile(cached, path)) {
        common::SetLocalFileTime(cached, named->time);
    } else {
        QFile::remove(cached);
        gathering.refusedFiles.append(info.fileName + QStringLiteral(" : ") + lastReply());
    }
    GatheredEntry record{info.fileName, named->time.toSecsSinceEpoch(), 0, 0};
    record.dateOnly = true;
    records.push_back(record);
    return SingleFile::Gathered;
}

// The entries of `listed`, the listing of the remote folder `folder`, for which `take`
// is true, with each symbolic link as a link, never as what it leads to. An MLSD listing
// may describe a link to a folder as a folder: its folders are then looked up in a LIST
// of the folder, which shows a link as one. A folder that the LIST shows as neither, or
// a LIST that fails, is thrown as a common::Failure naming it: what may be a link is
// never entered.
QList<common::FtpFolderEntry> entriesShowingLinks(const QByteArray &folder, const common::FtpFolder &listed,
                                                  const std::function<bool(const common::FtpFolderEntry &)> &take)
{
    QList<common::FtpFolderEntry> entries;
    bool folders = false;
    for (const common::FtpFolderEntry &entry : listed.entries) {
        if (take(entry)) {
            entries.append(entry);
            folders = folders || entry.folder;
        }
    }
    if (!listed.foldersMayBeLinks || !folders)
        return entries;
    const auto unknown = [&folder](const common::FtpFolderEntry &entry, const QString &reason) {
        return common::Failure(common::FtpNoNumber, QStringLiteral("modFtp"),
                               QStringLiteral("リンクかフォルダか分からないため中に入りません : ")
                                   + common::FtpNameToString(remoteChild(folder, entry.remoteName)) + reason);
    };
    platform::FtpListing shown;
    try {
        shown = common::FtpReadFolderShowingLinks(folder);
    } catch (const common::Failure &failure) {
        const auto first = std::find_if(entries.cbegin(), entries.cend(),
                                        [](const common::FtpFolderEntry &entry) { return entry.folder; });
        throw unknown(*first, QStringLiteral(" : ") + failure.record().Description);
    }
    for (common::FtpFolderEntry &entry : entries) {
        if (!entry.folder)
            continue;
        const auto line = std::find_if(shown.entries.cbegin(), shown.entries.cend(),
                                       [&entry](const platform::FtpListEntry &listedLine) {
                                           return listedLine.name == entry.remoteName;
                                       });
        if (line == shown.entries.cend() || !(line->folder || line->link))
            throw unknown(entry, QString());
        entry.folder = line->folder;
        entry.link = line->link;
    }
    return entries;
}

FtpTreeFolder readTree(const QByteArray &path, int depth, int folderNum,
                       const std::function<bool(const common::FtpFolderEntry &)> &take, QList<QByteArray> ancestors)
{
    const common::FtpFolder listed = common::FtpReadFolder(path);
    if (leadsBackToAncestor(ancestors, listed.listing))
        throw common::Failure(common::FtpNoNumber, QStringLiteral("modFtp"),
                              QStringLiteral("上のフォルダに戻るリンクのため中に入りません : ")
                                  + common::FtpNameToString(path));
    ancestors.append(listed.listing);
    FtpTreeFolder tree{path, {}, {}};
    for (const common::FtpFolderEntry &entry : entriesShowingLinks(path, listed, take)) {
        if (!entry.folder) {
            tree.files.append(entry);
            continue;
        }
        const QByteArray below = remoteChild(path, entry.remoteName);
        if (depth >= folderNum)
            throw common::Failure(common::FtpNoNumber, QStringLiteral("modFtp"),
                                  QStringLiteral("フォルダの階層が深すぎます : ") + common::FtpNameToString(below));
        tree.folders.append({entry, readTree(below, depth + 1, folderNum, take, ancestors)});
    }
    return tree;
}

} // namespace

FtpTreeFolder ReadFtpTree(const QByteArray &path, int folderNum,
                          const std::function<bool(const common::FtpFolderEntry &)> &take)
{
    return readTree(path, 1, folderNum, take, {});
}

std::optional<common::FtpFolderEntry> ReadFtpEntry(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray name = path.mid(slash + 1);
    if (name.isEmpty())
        return std::nullopt;
    const QByteArray folder = slash <= 0 ? QByteArray("/") : path.left(slash);
    const QList<common::FtpFolderEntry> entries = entriesShowingLinks(
        folder, common::FtpReadFolder(folder),
        [&name](const common::FtpFolderEntry &entry) { return entry.remoteName == name; });
    if (entries.isEmpty())
        return std::nullopt;
    return entries.first();
}

FtpInfo GetFtpInfo(const QString &address, const QString &proxy)
{
    FtpInfo info;
    QString rest = address.mid(6);
    const qsizetype slash = rest.indexOf(u'/');
    if (slash >= 0) {
        info.host = rest.left(slash);
        rest = rest.mid(slash + 1);
        const qsizetype at = info.host.lastIndexOf(u'@');
        if (at >= 0) {
            const QString credentials = info.host.left(at);
            info.host = info.host.mid(at + 1);
            const qsizetype colon = credentials.indexOf(u':');
            if (colon >= 0) {
                info.user = credentials.left(colon);
                info.password = credentials.mid(colon + 1);
            }
        }
    }
    info.proxy = proxy;
    info.passive = QStringLiteral("True");
    info.path = u'/' + rest;
    const qsizetype last = info.path.lastIndexOf(u'/');
    info.folderPart = info.path.left(last + 1);
    info.fileName = info.path.mid(last + 1);
    return info;
}

QString GetLastPart(const QString &text, const QString &separator)
{
    const qsizetype last = text.lastIndexOf(separator);
    return last < 0 ? text : text.mid(last + separator.size());
}

void GetCacheFileDate(const QString &localPath, QString &date, QString &size)
{
    date.clear();
    size.clear();
    struct stat info = {};
    if (::stat(QFile::encodeName(localPath).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    date = FormatLocalDate(info.st_mtim.tv_sec);
    size = QString::number(qint64(info.st_size));
}

bool GetFtpDate(QString &address, const QString &cacheFolder, const QString &fileNameCode, FtpGathering &gathering,
                std::vector<GatheredEntry> &records)
{
    FtpInfo info = GetFtpInfo(address, gathering.proxy);
    records.clear();
    gathering.failure.clear();
    try {
        common::FtpConnect(info.host, info.user, info.password, info.proxy, true, fileNameCode, gathering.waitSeconds);
        if (!info.fileName.isEmpty()) {
            if (!common::FtpCdInAnyCode(info.folderPart))
                throw common::Failure(common::FtpSavedErr());
            if (gatherSingleFile(info, cacheFolder, gathering, records) == SingleFile::Gathered) {
                common::FtpDisconnect();
                return true;
            }
            info.path += u'/';
            address += u'/';
        }
        if (!common::FtpCdInAnyCode(info.path))
            throw common::Failure(common::FtpSavedErr());
        FtpWalk walk(gathering, address, cacheFolder, records);
        walk.walk(common::FtpRemoteFolder(), QString(), 1, {});
        common::FtpDisconnect();
        return true;
    } catch (const common::Failure &failure) {
        if (isSideFailure(failure.record())) {
            gathering.failure = failure.record().Description;
            records.clear();
            common::FtpDisconnect();
            return false;
        }
        common::SaveErr();
        common::FtpDisconnect();
        common::RaiseSavedErr();
    } catch (...) {
        common::SaveErr();
        common::FtpDisconnect();
        common::RaiseSavedErr();
    }
}

QString FtpSideRoot(const QString &cacheFolder, const QString &address)
{
    const QString last = GetLastPart(address, QStringLiteral("/"));
    return last.isEmpty() ? cacheFolder : cacheFolder + u'/' + last;
}

} // namespace foldercompare::listing
