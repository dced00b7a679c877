#include "foldercompare/listing/tree_walk.h"

#include "foldercompare/listing/compare_item.h"
#include "foldercompare/listing/long_paths.h"
#include "platform/atomic_file.h"
#include "platform/file_handles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare::listing {

namespace {

struct FolderRead;

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
    // A file's modification time in nanoseconds.
    qint64 modifiedNs = 0;
    qint64 size = 0;
    // A folder whose own entries are read (within the depth limit, and not a way back to
    // a folder above it): what its read found.
    std::unique_ptr<FolderRead> contents;
};

// What the read of one folder found. One worker thread fills it; the records are put
// together from it once every read of the walk has ended.
struct FolderRead
{
    // The folder this one lies in (null for the root), and this folder's device and
    // inode: the chain of folders that a symbolic link must not lead back to.
    const FolderRead *parent = nullptr;
    dev_t device = 0;
    ino_t inode = 0;
    // The errno of an open that failed: the folder is reported and left out.
    int openError = 0;
    // The folder was opened (and, within the depth limit, its entries read).
    bool opened = false;
    // Reading the entries failed part way with this errno; the entries read are kept.
    int readError = 0;
    // Two subfolders differ only in letter case (see WalkResult::needsSort).
    bool needsSort = false;
    // Entries left out (see WalkResult::excludedPaths and linksLeadingNowhere), in the
    // order the folder gave them.
    QStringList excludedPaths;
    QStringList linksLeadingNowhere;
    // The listable entries, in the listing's order.
    std::vector<Child> children;
};

// An open folder. The reads of its subfolders open them through its descriptor, and the
// last of them to let it go closes it, so a folder stays open only until every
// subfolder has been opened.
class OpenFolder
{
public:
    explicit OpenFolder(DIR *dir)
        : m_dir(dir)
    {
    }
    ~OpenFolder() { closedir(m_dir); }
    OpenFolder(const OpenFolder &) = delete;
    OpenFolder &operator=(const OpenFolder &) = delete;

    DIR *dir() const { return m_dir; }

private:
    DIR *m_dir;
};

// Entries directly under a root that are never listed.
bool skippedUnderRoot(const QString &name)
{
    const QString upper = name.toUpper();
    return upper.startsWith(QLatin1String("RECYCLER")) || upper.startsWith(QLatin1String("SYSTEM VOLUME INFORMATION"))
           || name == QLatin1String(".Trash") || name.startsWith(QLatin1String(".Trash-"))
           || name == QLatin1String("lost+found");
}

// Whether the entry `raw` of the open folder `folder` is a temporary file that a write of
// ours killed before it ended left behind: a regular file of its own, not a link.
bool isLeftoverTemporaryFile(int folder, const char *raw, qsizetype length)
{
    return platform::isLeftoverTemporaryFileName(QByteArrayView(raw, length)) && platform::IsRegularFileAt(folder, raw);
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString unreadableFolderText(const QString &path, int error)
{
    return QStringLiteral("フォルダを読み込めません。 ") + path + QStringLiteral(" : ") + systemErrorText(error);
}

// True when `device` and `inode` name the folder of `read` or one above it.
bool leadsBack(const FolderRead &read, dev_t device, ino_t inode)
{
    for (const FolderRead *folder = &read; folder; folder = folder->parent)
        if (folder->device == device && folder->inode == inode)
            return true;
    return false;
}

// The listable entries below a read, at any depth.
size_t entriesBelow(const FolderRead &read)
{
    size_t count = read.children.size();
    for (const Child &child : read.children)
        if (child.contents)
            count += entriesBelow(*child.contents);
    return count;
}

// Reads the folders of one or more walks on worker threads. Each task reads one open
// folder: it examines and sorts its entries and posts a task for each subfolder to be
// read, which opens that subfolder through the folder's descriptor.
class FolderReaders
{
public:
    FolderReaders(int folderNum, int threadCount)
        : m_folderNum(folderNum)
        , m_threads(threadCount)
    {
    }

    // Starts reading the root folder `fd` (taken over) of walk number `walk` into `read`.
    void readRoot(FolderRead &read, int fd, int walk)
    {
        DIR *dir = fdopendir(fd);
        if (!dir) {
            close(fd);
            return;
        }
        read.opened = true;
        m_threads.post([this, &read, folder = std::make_shared<OpenFolder>(dir), walk]() mutable {
            list(read, std::move(folder), QString(), 1, walk);
        });
    }

    // True once every read has ended; waits at most `milliseconds` for it.
    bool waitUntilDone(int milliseconds) { return m_threads.waitUntilIdle(milliseconds); }

    // Lets the reads end at once: none starts any more, and those running stop early.
    void stop()
    {
        m_stopped.store(true, std::memory_order_relaxed);
        m_threads.dropQueued();
    }

    // The walk and the relative folder of the read that began last; false before any.
    bool lastFolder(int &walk, QString &relative)
    {
        std::lock_guard lock(m_lastMutex);
        walk = m_lastWalk;
        relative = m_lastFolder;
        return m_lastWalk >= 0;
    }

private:
    // Opens the subfolder `name` of `parent` and reads it.
    void readBelow(FolderRead &read, std::shared_ptr<OpenFolder> parent, const QByteArray &name,
                   const QString &relative, int depth, int walk);
    // Reads the entries of the open folder `folder` into `read` and posts the reads of its
    // subfolders.
    void list(FolderRead &read, std::shared_ptr<OpenFolder> folder, const QString &relative, int depth, int walk);
    // Reads the folder's listable children, sorted as the listing orders siblings.
    void listChildren(DIR *dir, const QString &relative, int depth, FolderRead &read);

    bool stopped() const { return m_stopped.load(std::memory_order_relaxed); }

    const int m_folderNum;
    std::atomic<bool> m_stopped{false};
    std::mutex m_lastMutex;
    int m_lastWalk = -1;
    QString m_lastFolder;
    // Last, so that it is the first to go: its end waits for the reads still running.
    WorkerThreads m_threads;
};

void FolderReaders::readBelow(FolderRead &read, std::shared_ptr<OpenFolder> parent, const QByteArray &name,
                              const QString &relative, int depth, int walk)
{
    if (stopped())
        return;
    const int fd = openat(dirfd(parent->dir()), name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int error = errno;
    parent.reset();
    if (fd < 0) {
        read.openError = error;
        return;
    }
    DIR *dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return;
    }
    read.opened = true;
    std::shared_ptr<OpenFolder> folder;
    try {
        folder = std::make_shared<OpenFolder>(dir);
    } catch (const std::bad_alloc &) {
        closedir(dir);
        read.readError = ENOMEM;
        return;
    }
    list(read, std::move(folder), relative, depth, walk);
}

void FolderReaders::list(FolderRead &read, std::shared_ptr<OpenFolder> folder, const QString &relative, int depth,
                         int walk)
{
    if (stopped())
        return;
    try {
        {
            std::lock_guard lock(m_lastMutex);
            m_lastWalk = walk;
            m_lastFolder = relative;
        }
        if (m_folderNum < depth)
            return;
        listChildren(folder->dir(), relative, depth, read);
        if (m_folderNum < depth + 1 || stopped())
            return;
        for (Child &child : read.children) {
            if (!child.folder || leadsBack(read, child.device, child.inode))
                continue;
            child.contents = std::make_unique<FolderRead>();
            child.contents->parent = &read;
            child.contents->device = child.device;
            child.contents->inode = child.inode;
            m_threads.post([this, below = child.contents.get(), parent = folder, name = child.raw,
                            path = child.path, depth, walk]() mutable {
                readBelow(*below, std::move(parent), name, path, depth + 1, walk);
            });
        }
    } catch (const std::bad_alloc &) {
        // A task may not throw; the folder is reported as unreadable instead.
        read.readError = ENOMEM;
    }
}

void FolderReaders::listChildren(DIR *dir, const QString &relative, int depth, FolderRead &read)
{
    std::vector<Child> &children = read.children;
    const int fd = dirfd(dir);
    int readError = 0;
    while (!stopped()) {
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
            // read, or one that may not be examined: left out and named, a link that
            // leads nowhere as such.
            const int error = errno;
            const QString path = relative + (plain ? QString::fromLatin1(raw, length) : decoded);
            struct stat link;
            const bool leadsNowhere = (error == ENOENT || error == ENOTDIR || error == ELOOP)
                                      && fstatat(fd, raw, &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode);
            (leadsNowhere ? read.linksLeadingNowhere : read.excludedPaths).append(path);
            continue;
        }
        Child child;
        child.folder = S_ISDIR(info.st_mode);
        if (!child.folder && !S_ISREG(info.st_mode))
            continue;
        if (!child.folder && isLeftoverTemporaryFile(fd, raw, length))
            continue;
        if (!plain && !IsListableName(QByteArray(raw, length), decoded)) {
            read.excludedPaths.append(relative + decoded + (child.folder ? QStringLiteral("/") : QString()));
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
        child.device = info.st_dev;
        child.inode = info.st_ino;
        if (child.folder) {
            child.raw = QByteArray(raw, length);
        } else {
            child.size = info.st_size;
            child.modifiedNs = platform::IdentityOf(info).modifiedNs;
        }
        children.push_back(std::move(child));
    }
    read.readError = readError;

    // Siblings in the listing's order make the whole walk come out sorted, except where
    // two folders differ only in letter case: their contents interleave in that order,
    // so the entries are then sorted as a whole at the end.
    const qsizetype prefix = relative.size();
    std::sort(children.begin(), children.end(), [prefix](const Child &a, const Child &b) {
        return CompareItem(QStringView(a.path).sliced(prefix), QStringView(b.path).sliced(prefix)) < 0;
    });
    for (size_t i = 1; i < children.size(); ++i)
        if (children[i - 1].folder && children[i].folder && children[i - 1].path.toLower() == children[i].path.toLower())
            read.needsSort = true;
}

// One root of a walk: where it is, the read of a folder root, and the failure of a root
// that cannot be read, reported in its turn.
struct WalkRoot
{
    LocalRoot local;
    std::unique_ptr<FolderRead> read;
    QString failure;
};

// Resolves the root `text` of walk number `walk` and starts reading it when it is a
// folder; a file root gets its record at once, a root that cannot be read its failure.
void startRoot(const QString &text, int walk, WalkRoot &root, WalkResult &result, FolderReaders &readers)
{
    root.local = ResolveLocalRoot(text);
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    result.facts.root = root.local.absolutePath;
    result.facts.startedNs = qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    const QByteArray encoded = QFile::encodeName(root.local.absolutePath);
    struct stat info;
    if (StatPath(encoded, info) != 0) {
        result.rootUnreadable = true;
        root.failure = QStringLiteral("フォルダまたはファイルを読み込めません。 ") + root.local.absolutePath
                       + QStringLiteral(" : ") + systemErrorText(errno);
        return;
    }
    if (S_ISREG(info.st_mode)) {
        result.entries.push_back({QFileInfo(root.local.absolutePath).fileName(), qint64(info.st_mtim.tv_sec),
                                  qint64(info.st_size), 0, false, platform::IdentityOf(info)});
        return;
    }
    const int fd = S_ISDIR(info.st_mode) ? OpenPath(encoded, O_RDONLY | O_DIRECTORY) : -1;
    if (fd < 0) {
        result.rootUnreadable = true;
        root.failure = unreadableFolderText(root.local.absolutePath, S_ISDIR(info.st_mode) ? errno : ENOTDIR);
        return;
    }
    root.read = std::make_unique<FolderRead>();
    root.read->device = info.st_dev;
    root.read->inode = info.st_ino;
    readers.readRoot(*root.read, fd, walk);
}

// Puts the records of one walk together from its reads on the calling thread, in the
// listing's order, with the folder totals; reports the folders that could not be read,
// pumps events once per entry and stops at an abort.
class RecordAssembly
{
public:
    RecordAssembly(WorkHost &host, int folderNum, const QString &rootPrefix, WalkResult &result)
        : m_host(host)
        , m_folderNum(folderNum)
        , m_rootPrefix(rootPrefix)
        , m_result(result)
    {
    }

    // Adds the records below the folder `relative` that `read` read; fills `totals` with
    // what lies below it.
    void folder(FolderRead &read, const QString &relative, int depth, FolderTotals &totals);

    bool stopped()
    {
        if (!m_result.aborted && m_host.abortRequested())
            m_result.aborted = true;
        return m_result.aborted;
    }

private:
    WorkHost &m_host;
    int m_folderNum;
    QString m_rootPrefix;
    WalkResult &m_result;
};

void RecordAssembly::folder(FolderRead &read, const QString &relative, int depth, FolderTotals &totals)
{
    if (!read.opened)
        return;
    m_result.facts.folders.insert(relative.toUtf8(), {read.device, read.inode});
    if (m_folderNum < depth)
        return;
    m_result.excludedPaths.append(read.excludedPaths);
    m_result.linksLeadingNowhere.append(read.linksLeadingNowhere);
    if (read.readError != 0) {
        m_result.facts.unreadFolders.insert(relative.toUtf8());
        m_host.reportFailure(QStringLiteral("GetFileDate"), unreadableFolderText(m_rootPrefix + relative, read.readError));
    }
    if (read.needsSort)
        m_result.needsSort = true;
    for (Child &child : read.children) {
        if (stopped())
            break;
        if (!child.folder) {
            if (child.linked)
                m_result.facts.linkedFiles.insert(child.path.toUtf8());
            totals.add(true, child.modified, child.size, 0);
            const platform::FileIdentity identity{quint64(child.device), quint64(child.inode), child.size, child.modifiedNs};
            m_result.entries.push_back({std::move(child.path), child.modified, child.size, 0, false, identity});
            m_host.pumpEvents();
            continue;
        }
        // The folder's record goes before its contents and is completed after them.
        const size_t record = m_result.entries.size();
        m_result.entries.push_back({child.path, 0, 0, 0});
        FolderTotals below;
        if (child.contents) {
            if (child.contents->openError != 0) {
                m_result.facts.unreadFolders.insert(child.path.toUtf8());
                m_host.reportFailure(QStringLiteral("GetFileDate"),
                                     unreadableFolderText(m_rootPrefix + child.path, child.contents->openError));
                m_result.entries.pop_back();
                m_host.pumpEvents();
                continue;
            }
            folder(*child.contents, child.path, depth + 1, below);
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

} // namespace

TreeWalk::TreeWalk(WorkHost &host, int folderNum, int threadCount)
    : m_host(host)
    , m_folderNum(folderNum)
    , m_threadCount(threadCount)
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
    return std::move(walk(QStringList{text}).front());
}

std::vector<WalkResult> TreeWalk::walk(const QStringList &texts)
{
    std::vector<WalkResult> results(size_t(texts.size()));
    const auto abortAll = [&results] {
        for (WalkResult &result : results) {
            result = WalkResult();
            result.aborted = true;
        }
    };
    if (m_host.abortRequested()) {
        abortAll();
        return results;
    }

    std::vector<WalkRoot> roots(results.size());
    // After the roots, so that the reads end before what they fill goes.
    FolderReaders readers(m_folderNum, m_threadCount);
    for (size_t i = 0; i < roots.size(); ++i)
        startRoot(texts[qsizetype(i)], int(i), roots[i], results[i], readers);

    CaptionThrottle caption;
    int shownWalk = -1;
    QString shownFolder;
    while (!readers.waitUntilDone(PumpSliceMs)) {
        m_host.pumpEvents();
        if (m_host.abortRequested())
            readers.stop();
        else if (readers.lastFolder(shownWalk, shownFolder) && caption.due())
            m_host.showProgress(ProgressCaption(roots[size_t(shownWalk)].local.rootPrefix, shownFolder));
    }
    if (m_host.abortRequested()) {
        abortAll();
        return results;
    }

    for (size_t i = 0; i < roots.size(); ++i) {
        WalkRoot &root = roots[i];
        WalkResult &result = results[i];
        if (!root.failure.isEmpty()) {
            m_host.reportFailure(QStringLiteral("GetFileDate"), root.failure);
            continue;
        }
        if (!root.read)
            continue;
        if (caption.due())
            m_host.showProgress(ProgressCaption(root.local.rootPrefix, QString()));
        RecordAssembly assembly(m_host, m_folderNum, root.local.rootPrefix, result);
        if (assembly.stopped()) {
            abortAll();
            return results;
        }
        result.entries.reserve(entriesBelow(*root.read));
        FolderTotals totals;
        assembly.folder(*root.read, QString(), 1, totals);
        if (result.aborted) {
            abortAll();
            return results;
        }
    }
    return results;
}

void FolderTotals::add(bool childDated, qint64 childDate, qint64 childSize, qint64 childCount)
{
    if (childDated && (!dated || childDate > newest)) {
        newest = childDate;
        dated = true;
    }
    // A server may list any size: the sum stops at the largest one rather than wrap.
    size = childSize > std::numeric_limits<qint64>::max() - size ? std::numeric_limits<qint64>::max() : size + childSize;
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
