#include "foldercompare/listing/ftp_side.h"

#include "common/mod_ftp.h"
#include "common/saved_error.h"
#include "foldercompare/listing/folder_services.h"
#include "foldercompare/listing/tree_walk.h"
#include "platform/ftp_session.h"

#include <QFile>

#include <optional>

#include <sys/stat.h>

namespace foldercompare::listing {

namespace {

const QString DateFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");

QDateTime parseDate(const QString &text)
{
    return QDateTime::fromString(text, DateFormat);
}

// One row of FtpListDetails split into name, listed date and listed size. The name is
// everything before the last two TABs, so that a name holding a TAB stays whole.
struct ListedEntry
{
    QString name;
    QString date;
    QString size;
};

ListedEntry splitRow(const QString &row)
{
    const qsizetype sizeTab = row.lastIndexOf(u'\t');
    const qsizetype dateTab = sizeTab > 0 ? row.lastIndexOf(u'\t', sizeTab - 1) : -1;
    if (dateTab < 0)
        return {row, QString(), QString()};
    return {row.left(dateTab), row.mid(dateTab + 1, sizeTab - dateTab - 1), row.mid(sizeTab + 1)};
}

class FtpWalk
{
public:
    FtpWalk(FtpGathering &gathering, const QString &address, const QString &rootPath, const QString &cacheFolder,
            std::vector<GatheredEntry> &records)
        : m_gathering(gathering)
        , m_host(gathering.host)
        , m_rootPath(rootPath)
        , m_cacheFolder(cacheFolder)
        , m_records(records)
    {
        m_captionAddress = address.size() > 35 ? address.left(6) + QStringLiteral("...") + address.right(26) : address;
    }

    // Walks the remote folder `currentPath` (absolute, ending with "/")
    // at `depth` (1 for the address's folder).
    FolderTotals GetFtpFolderDate(const QString &currentPath, int depth)
    {
        FolderTotals totals;
        if (m_host.abortRequested())
            return totals;
        m_host.pumpEvents();
        common::FtpCd3(currentPath);
        QStringList refusedNames;
        const QStringList rows = common::FtpListDetails(QStringLiteral("*"), refusedNames);
        const QString listedIn = relativePath(currentPath);
        for (const QString &name : refusedNames)
            m_gathering.excludedPaths.append(listedIn + name);
        CaptionThrottle throttle;

        for (const QString &row : rows) {
            if (m_host.abortRequested())
                break;
            ListedEntry entry = splitRow(row);
            if (entry.name.endsWith(u'/'))
                continue;
            const QString relative = relativePath(currentPath + entry.name);
            if (!FitsListingLine(relative) || !platform::staysInsideFolder(m_cacheFolder, relative)) {
                m_gathering.excludedPaths.append(relative);
                continue;
            }
            mirrorFile(currentPath, relative, entry, throttle);
            const QDateTime listed = parseDate(entry.date);
            const qint64 size = entry.size.toLongLong();
            totals.add(true, listed.toSecsSinceEpoch(), size, 0);
            m_records.push_back({relative, listed.toSecsSinceEpoch(), size, 0});
        }

        for (const QString &row : rows) {
            if (m_host.abortRequested())
                break;
            const ListedEntry entry = splitRow(row);
            if (entry.name.startsWith(u'.') || !entry.name.endsWith(u'/'))
                continue;
            const QString relative = relativePath(currentPath + entry.name);
            if (!FitsListingLine(relative) || !platform::staysInsideFolder(m_cacheFolder, relative.chopped(1))) {
                m_gathering.excludedPaths.append(relative);
                continue;
            }
            bool created = false;
            CreateFolder(m_cacheFolder + u'/' + relative.chopped(1), 0, created);
            FolderTotals below;
            if (depth < m_gathering.folderNum)
                below = GetFtpFolderDate(currentPath + entry.name, depth + 1);
            totals.add(below.dated, below.newest, below.size, below.count);
            const qint64 date = below.dated ? below.newest : parseDate(entry.date).toSecsSinceEpoch();
            m_records.push_back({relative, date, below.size, below.count});
        }
        return totals;
    }

private:
    // The path below the address's folder.
    QString relativePath(const QString &remotePath) const
    {
        return remotePath.startsWith(m_rootPath) ? remotePath.mid(m_rootPath.size()) : remotePath;
    }

    void show(const QString &caption)
    {
        m_host.showProgress(caption);
        m_host.pumpEvents();
    }

    // The listed date and size of `name` in the current folder, when it is listed.
    bool probe(const QString &name, ListedEntry &listed)
    {
        for (const QString &row : common::FtpListDetails(name)) {
            const ListedEntry entry = splitRow(row);
            if (entry.name == name) {
                listed = entry;
                return true;
            }
        }
        return false;
    }

    // Brings the cached copy of one remote file up to the listed date and size.
    void mirrorFile(const QString &currentPath, const QString &relative, ListedEntry &entry, CaptionThrottle &throttle)
    {
        const QString cached = m_cacheFolder + u'/' + relative;
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
            for (int attempt = 0; attempt < 10 && !cachedDate.isEmpty(); ++attempt) {
                const QString limit = parseDate(cachedDate).addSecs(-60).toString(DateFormat);
                if (entry.date >= limit)
                    break;
                caption += u'.';
                show(caption);
                m_gathering.wait(500);
                ListedEntry later;
                if (probe(entry.name, later) && later.date > entry.date) {
                    entry.date = later.date;
                    entry.size = later.size;
                }
            }

            if (cachedDate != entry.date || cachedSize != entry.size) {
                caption += QStringLiteral("<D>");
                show(caption);
                common::FtpGet3(cached, currentPath + entry.name, true);
                common::SetLocalFileTime(cached, parseDate(entry.date));
                GetCacheFileDate(cached, cachedDate, cachedSize);
            }

            if (cachedSize == entry.size) {
                m_host.pumpEvents();
                return;
            }
            // The copy keeps another size than the listing states: list the file again and
            // download it again, a bounded number of times.
            if (round >= m_gathering.sizeCheckRepeats || m_host.abortRequested())
                return;
            m_gathering.wait(100);
            ListedEntry again;
            if (probe(entry.name, again)) {
                entry.date = again.date;
                entry.size = again.size;
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
    QString m_rootPath;
    QString m_cacheFolder;
    std::vector<GatheredEntry> &m_records;
    QString m_captionAddress;
};

} // namespace

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
    try {
        common::FtpConnect(info.host, info.user, info.password, info.proxy, true, fileNameCode);
    } catch (const common::Failure &) {
        return false;
    }
    records.clear();
    try {
        if (!info.fileName.isEmpty()) {
            common::FtpCd(info.folderPart);
            std::optional<ListedEntry> named;
            for (const QString &row : common::FtpListDetails(QStringLiteral("*"))) {
                const ListedEntry entry = splitRow(row);
                if (entry.name == info.fileName || entry.name == info.fileName + u'/') {
                    named = entry;
                    break;
                }
            }
            if (named && !named->name.endsWith(u'/')) {
                if (!platform::staysInsideFolder(cacheFolder, info.fileName)) {
                    gathering.excludedPaths.append(info.fileName);
                    common::FtpDisconnect();
                    return true;
                }
                const QString cached = cacheFolder + u'/' + info.fileName;
                common::FtpGet(cached, info.path, true);
                const QDateTime listed = parseDate(named->date);
                common::SetLocalFileTime(cached, listed);
                GatheredEntry record{info.fileName, listed.toSecsSinceEpoch(), 0, 0};
                record.dateOnly = true;
                records.push_back(record);
                common::FtpDisconnect();
                return true;
            }
            info.path += u'/';
            address += u'/';
        }
        if (!common::FtpCd2(info.path)) {
            common::FtpDisconnect();
            return false;
        }
        FtpWalk walk(gathering, address, info.path, cacheFolder, records);
        walk.GetFtpFolderDate(info.path, 1);
        common::FtpDisconnect();
        return true;
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
