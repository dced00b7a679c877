#include "foldercompare/listing/tree_walk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare::listing {

namespace {

struct Totals
{
    bool dated = false;
    qint64 newest = 0;
    qint64 size = 0;
    qint64 count = 0;

    void add(bool childDated, qint64 childDate, qint64 childSize, qint64 childCount)
    {
        if (childDated && (!dated || childDate > newest)) {
            newest = childDate;
            dated = true;
        }
        size += childSize;
        count += childCount + 1;
    }
};

struct Child
{
    QByteArray rawName;
    QString name;
    struct stat info;
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
    void walkFolder(int fd, const QString &relative, int depth, const struct stat &own, Totals &totals);

    bool stopped()
    {
        if (!m_result.aborted && m_host.abortRequested())
            m_result.aborted = true;
        return m_result.aborted;
    }

private:
    void listChildren(DIR *dir, const QString &relative, int depth, std::vector<Child> &files,
                      std::vector<Child> &folders);

    WorkHost &m_host;
    int m_folderNum;
    QString m_rootPrefix;
    WalkResult &m_result;
    CaptionThrottle m_caption;
    // Device and inode of every folder from the root down to the one being walked.
    std::vector<std::pair<dev_t, ino_t>> m_ancestors;
};

void TreeWalk::Run::listChildren(DIR *dir, const QString &relative, int depth, std::vector<Child> &files,
                                 std::vector<Child> &folders)
{
    const int fd = dirfd(dir);
    errno = 0;
    while (const dirent *entry = readdir(dir)) {
        const char *raw = entry->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0)))
            continue;
        Child child;
        child.rawName = QByteArray(raw);
        child.name = QFile::decodeName(child.rawName);
        if (depth == 1 && skippedUnderRoot(child.name))
            continue;
        if (fstatat(fd, raw, &child.info, 0) != 0)
            continue;
        const bool isFolder = S_ISDIR(child.info.st_mode);
        if (!isFolder && !S_ISREG(child.info.st_mode))
            continue;
        if (!IsListableName(child.rawName, child.name)) {
            m_result.excludedPaths.append(relative + child.name + (isFolder ? QStringLiteral("/") : QString()));
            continue;
        }
        (isFolder ? folders : files).push_back(std::move(child));
        errno = 0;
    }
    if (errno != 0)
        m_host.reportFailure(QStringLiteral("GetFileDate"),
                             QStringLiteral("フォルダを読み込めません。 ") + m_rootPrefix + relative
                                 + QStringLiteral(" : ") + systemErrorText(errno));
}

void TreeWalk::Run::walkFolder(int fd, const QString &relative, int depth, const struct stat &own, Totals &totals)
{
    DIR *dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return;
    }
    if (m_caption.due())
        m_host.showProgress(ProgressCaption(m_rootPrefix, relative));
    m_ancestors.emplace_back(own.st_dev, own.st_ino);

    if (m_folderNum >= depth) {
        std::vector<Child> files;
        std::vector<Child> folders;
        listChildren(dir, relative, depth, files, folders);
        for (const Child &file : files) {
            if (stopped())
                break;
            m_result.entries.push_back({relative + file.name, qint64(file.info.st_mtim.tv_sec), qint64(file.info.st_size), 0});
            totals.add(true, file.info.st_mtim.tv_sec, file.info.st_size, 0);
            m_host.pumpEvents();
        }
        for (const Child &folder : folders) {
            if (stopped())
                break;
            const QString childRelative = relative + folder.name + u'/';
            Totals below;
            const bool loop = std::find(m_ancestors.cbegin(), m_ancestors.cend(),
                                        std::make_pair(folder.info.st_dev, folder.info.st_ino))
                              != m_ancestors.cend();
            if (!loop && m_folderNum >= depth + 1) {
                const int childFd = openat(dirfd(dir), folder.rawName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (childFd < 0) {
                    m_host.reportFailure(QStringLiteral("GetFileDate"),
                                         QStringLiteral("フォルダを読み込めません。 ") + m_rootPrefix + childRelative
                                             + QStringLiteral(" : ") + systemErrorText(errno));
                    m_host.pumpEvents();
                    continue;
                }
                walkFolder(childFd, childRelative, depth + 1, folder.info, below);
                if (stopped())
                    break;
            }
            const qint64 date = below.dated ? below.newest : qint64(folder.info.st_mtim.tv_sec);
            m_result.entries.push_back({childRelative, date, below.size, below.count});
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

WalkResult TreeWalk::walk(const QString &absolutePath)
{
    WalkResult result;
    const LocalRoot root = ResolveLocalRoot(absolutePath);
    Run run(m_host, m_folderNum, root.rootPrefix, result);
    if (run.stopped())
        return result;
    const QByteArray encoded = QFile::encodeName(root.absolutePath);
    struct stat info;
    if (stat(encoded.constData(), &info) != 0) {
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
    const int fd = S_ISDIR(info.st_mode) ? open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (fd < 0) {
        result.rootUnreadable = true;
        m_host.reportFailure(QStringLiteral("GetFileDate"),
                             QStringLiteral("フォルダを読み込めません。 ") + root.absolutePath + QStringLiteral(" : ")
                                 + systemErrorText(S_ISDIR(info.st_mode) ? errno : ENOTDIR));
        return result;
    }
    Totals totals;
    run.walkFolder(fd, QString(), 1, info, totals);
    return result;
}

bool IsListableName(const QByteArray &raw, const QString &name)
{
    if (name.contains(u'\t') || name.contains(u'\r') || name.contains(u'\n'))
        return false;
    return QFile::encodeName(name) == raw;
}

LocalRoot ResolveLocalRoot(const QString &text)
{
    LocalRoot root;
    root.absolutePath = QDir::cleanPath(QFileInfo(text).absoluteFilePath());
    const QFileInfo info(root.absolutePath);
    root.isFile = info.isFile();
    const QString folder = root.isFile ? info.absolutePath() : root.absolutePath;
    root.rootPrefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return root;
}

} // namespace foldercompare::listing
