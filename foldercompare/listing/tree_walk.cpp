#include "foldercompare/listing/tree_walk.h"

#include "foldercompare/listing/compare_item.h"
#include "foldercompare/listing/long_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare::listing {

namespace {

// One entry of a folder, as read before its children are walked.
struct Child
{
    // The relative path; a folder's ends with "/". Siblings share everything before
    // their names, so these paths also order the siblings.
    QString path;
    QByteArray raw; // folders only: the name as the file system holds it
    bool folder = false;
    // Reached through a symbolic link (or of a type the folder listing did not tell).
    bool linked = false;
    dev_t device = 0;
    ino_t inode = 0;
    qint64 modified = 0;
    qint64 size = 0;
};

// Entries directly under a root that are never listed.
bool skippedUnderRoot(const QString &name)
{
    const QString upper = name.toUpper();
    return upper.startsWith(QLatin1String("RECYCLER")) || upper.startsWith(QLatin1String("SYSTEM VOLUME INFORMATION"))
           || name == QLatin1String(".Trash") || name.startsWith(QLatin1String(".Trash-"))
           || name == QLatin1String("lost+found");
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

class TreeWalk::Run
{
public:
    Run(WorkHost &host, int folderNum, QString rootPrefix, WalkResult &result)
        : m_host(host)
        , m_folderNum(folderNum)
        , m_rootPrefix(std::move(rootPrefix))
        , m_result(result)
    {
    }

    // Walks the open folder `fd` (taken over and closed here) whose relative path is
    // `relative`; fills `totals` with what lies below it.
    void walkFolder(int fd, const QString &relative, int depth, dev_t device, ino_t inode, FolderTotals &totals);

    bool stopped()
    {
        if (!m_result.aborted && m_host.abortRequested())
            m_result.aborted = true;
        return m_result.aborted;
    }

private:
    // Reads the folder's listable children, sorted as the listing orders siblings.
    void listChildren(DIR *dir, const QString &relative, int depth, std::vector<Child> &children);

    WorkHost &m_host;
    int m_folderNum;
    QString m_rootPrefix;
    WalkResult &m_result;
    CaptionThrottle m_caption;
    // Device and inode of every folder from the root down to the one being walked.
    std::vector<std::pair<dev_t, ino_t>> m_ancestors;
    // The children of the folder being read at each depth; kept so that their storage
    // is reused from folder to folder (a deque, so that a deeper level added keeps the
    // levels above in place).
    std::deque<std::vector<Child>> m_levels;
};

void TreeWalk::Run::listChildren(DIR *dir, const QString &relative, int depth, std::vector<Child> &children)
{
    const int fd = dirfd(dir);
    int readError = 0;
    for (;;) {
        // readdir leaves errno as it was at the folder's end, so only a value it set
        // itself tells a failed read.
        errno = 0;
        const dirent *entry = readdir(dir);
        if (!entry) {
            readError = errno;
            break;
        }
        const char *raw = entry->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0)))
            continue;
        const qsizetype length = qsizetype(std::strlen(raw));
        // Plain ASCII names need no conversion; others must survive the round trip.
        const bool plain = std::all_of(raw, raw + length, [](char c) { return c >= 0x20 && c < 0x7F; });
        QString decoded;
        if (!plain)
            decoded = QFile::decodeName(QByteArray(raw, length));
        const qsizetype nameLength = plain ? length : decoded.size();
        if (depth == 1 && skippedUnderRoot(plain ? QString::fromLatin1(raw, length) : decoded))
            continue;
        struct stat info;
        if (fstatat(fd, raw, &info, 0) != 0) {
            // A dangling or looping symbolic link, an entry removed since the folder was
            // read, or one that may not be examined: left out and named.
            m_result.excludedPaths.append(relative + (plain ? QString::fromLatin1(raw, length) : decoded));
            continue;
        }
        Child child;
        child.folder = S_ISDIR(info.st_mode);
        if (!child.folder && !S_ISREG(info.st_mode))
            continue;
        if (!plain && !IsListableName(QByteArray(raw, length), decoded)) {
            m_result.excludedPaths.append(relative + decoded + (child.folder ? QStringLiteral("/") : QString()));
            continue;
        }
        child.linked = entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
        // The relative path is put together in place: the parent's path, the name, and
        // "/" for a folder.
        child.path = QString(relative.size() + nameLength + (child.folder ? 1 : 0), Qt::Uninitialized);
        QChar *at = child.path.data();
        std::copy(relative.cbegin(), relative.cend(), at);
        at += relative.size();
        if (plain)
            std::transform(raw, raw + length, at, [](char c) { return QChar(c); });
        else
            std::copy(decoded.cbegin(), decoded.cend(), at);
        if (child.folder)
            at[nameLength] = u'/';
        child.modified = info.st_mtim.tv_sec;
        if (child.folder) {
            child.raw = QByteArray(raw, length);
            child.device = info.st_dev;
            child.inode = info.st_ino;
        } else {
            child.size = info.st_size;
        }
        children.push_back(std::move(child));
    }
    if (readError != 0)
        m_host.reportFailure(QStringLiteral("GetFileDate"),
                             QStringLiteral("フォルダを読み込めません。 ") + m_rootPrefix + relative
                                 + QStringLiteral(" : ") + systemErrorText(readError));

    // Siblings in the listing's order make the whole walk come out sorted, except where
    // two folders differ only in letter case: their contents interleave in that order,
    // so the entries are then sorted as a whole at the end.
    const qsizetype prefix = relative.size();
    std::sort(children.begin(), children.end(), [prefix](const Child &a, const Child &b) {
        return CompareItem(QStringView(a.path).sliced(prefix), QStringView(b.path).sliced(prefix)) < 0;
    });
    for (size_t i = 1; i < children.size(); ++i)
        if (children[i - 1].folder && children[i].folder && children[i - 1].path.toLower() == children[i].path.toLower())
            m_result.needsSort = true;
}

void TreeWalk::Run::walkFolder(int fd, const QString &relative, int depth, dev_t device, ino_t inode,
                               FolderTotals &totals)
{
    DIR *dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return;
    }
    if (m_caption.due())
        m_host.showProgress(ProgressCaption(m_rootPrefix, relative));
    m_ancestors.emplace_back(device, inode);
    m_result.facts.folders.insert(relative.toUtf8(), {device, inode});

    if (m_folderNum >= depth) {
        while (m_levels.size() < size_t(depth))
            m_levels.emplace_back();
        std::vector<Child> &children = m_levels[size_t(depth) - 1];
        children.clear();
        listChildren(dir, relative, depth, children);
        for (Child &child : children) {
            if (stopped())
                break;
            if (!child.folder) {
                if (child.linked)
                    m_result.facts.linkedFiles.insert(child.path.toUtf8());
                totals.add(true, child.modified, child.size, 0);
                m_result.entries.push_back({std::move(child.path), child.modified, child.size, 0});
                m_host.pumpEvents();
                continue;
            }
            // The folder's record goes before its contents and is completed after them.
            const size_t record = m_result.entries.size();
            m_result.entries.push_back({child.path, 0, 0, 0});
            FolderTotals below;
            const bool loop = std::find(m_ancestors.cbegin(), m_ancestors.cend(), std::make_pair(child.device, child.inode))
                              != m_ancestors.cend();
            if (!loop && m_folderNum >= depth + 1) {
                const int childFd = openat(dirfd(dir), child.raw.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (childFd < 0) {
                    m_host.reportFailure(QStringLiteral("GetFileDate"),
                                         QStringLiteral("フォルダを読み込めません。 ") + m_rootPrefix + child.path
                                             + QStringLiteral(" : ") + systemErrorText(errno));
                    m_result.entries.pop_back();
                    m_host.pumpEvents();
                    continue;
                }
                walkFolder(childFd, child.path, depth + 1, child.device, child.inode, below);
                if (stopped())
                    break;
            }
            GatheredEntry &entry = m_result.entries[record];
            entry.modified = below.dated ? below.newest : child.modified;
            entry.size = below.size;
            entry.count = below.count;
            totals.add(below.dated, below.newest, below.size, below.count);
            m_host.pumpEvents();
        }
    }
    m_ancestors.pop_back();
    closedir(dir);
}

TreeWalk::TreeWalk(WorkHost &host, int folderNum)
    : m_host(host)
    , m_folderNum(folderNum)
{
}

QString TreeWalk::ProgressCaption(const QString &rootPrefix, const QString &relativeFolder)
{
    const QString shown = rootPrefix.size() > 18 ? rootPrefix.left(5) + QStringLiteral("...") + rootPrefix.right(10)
                                                 : rootPrefix;
    return QStringLiteral("取得中 ") + shown + relativeFolder + QStringLiteral("...");
}

WalkResult TreeWalk::walk(const QString &text)
{
    WalkResult result;
    const LocalRoot root = ResolveLocalRoot(text);
    Run run(m_host, m_folderNum, root.rootPrefix, result);
    if (run.stopped())
        return result;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    result.facts.root = root.absolutePath;
    result.facts.startedNs = qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    const QByteArray encoded = QFile::encodeName(root.absolutePath);
    struct stat info;
    if (StatPath(encoded, info) != 0) {
        result.rootUnreadable = true;
        m_host.reportFailure(QStringLiteral("GetFileDate"),
                             QStringLiteral("フォルダまたはファイルを読み込めません。 ") + root.absolutePath
                                 + QStringLiteral(" : ") + systemErrorText(errno));
        return result;
    }
    if (S_ISREG(info.st_mode)) {
        result.entries.push_back(
            {QFileInfo(root.absolutePath).fileName(), qint64(info.st_mtim.tv_sec), qint64(info.st_size), 0});
        return result;
    }
    const int fd = S_ISDIR(info.st_mode) ? OpenPath(encoded, O_RDONLY | O_DIRECTORY) : -1;
    if (fd < 0) {
        result.rootUnreadable = true;
        m_host.reportFailure(QStringLiteral("GetFileDate"),
                             QStringLiteral("フォルダを読み込めません。 ") + root.absolutePath + QStringLiteral(" : ")
                                 + systemErrorText(S_ISDIR(info.st_mode) ? errno : ENOTDIR));
        return result;
    }
    FolderTotals totals;
    run.walkFolder(fd, QString(), 1, info.st_dev, info.st_ino, totals);
    return result;
}

void FolderTotals::add(bool childDated, qint64 childDate, qint64 childSize, qint64 childCount)
{
    if (childDated && (!dated || childDate > newest)) {
        newest = childDate;
        dated = true;
    }
    size += childSize;
    count += childCount + 1;
}

bool FitsListingLine(const QString &text)
{
    return !text.contains(u'\t') && !text.contains(u'\r') && !text.contains(u'\n');
}

bool IsListableName(const QByteArray &raw, const QString &name)
{
    return FitsListingLine(name) && QFile::encodeName(name) == raw;
}

LocalRoot ResolveLocalRoot(const QString &text)
{
    LocalRoot root;
    root.absolutePath = QDir::cleanPath(QFileInfo(text).absoluteFilePath());
    struct stat info;
    root.isFile = StatPath(QFile::encodeName(root.absolutePath), info) == 0 && S_ISREG(info.st_mode);
    const QString folder = root.isFile ? QFileInfo(root.absolutePath).absolutePath() : root.absolutePath;
    root.rootPrefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return root;
}

} // namespace foldercompare::listing
