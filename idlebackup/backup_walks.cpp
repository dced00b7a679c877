#include "idlebackup/backup_work.h"
#include "idlebackup/copy_rules.h"
#include "idlebackup/mount_table.h"

#include "common/saved_error.h"
#include "platform/atomic_file.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace idlebackup {

namespace {

// An item of a folder as a walk sees it.
struct ListedItem
{
    QString name;
    bool folder = false;
    qint64 modifiedSeconds = 0;
};

// What a walk takes from a folder: on the source side regular files (also through
// symbolic links) and real folders; on the destination side every item, links and
// special files counting as files. Temporary files of unfinished writes are left out on
// both. Raises a failure when the folder cannot be read to its end.
enum class ListingSide { Source, Destination };

std::vector<ListedItem> listFolder(const QString &folder, ListingSide side)
{
    const QByteArray encoded = QFile::encodeName(folder);
    const int descriptor = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        throw common::Failure(9999, QCoreApplication::applicationName(),
                              QStringLiteral("フォルダを読み込めません。 ") + folder);
    DIR *const entries = ::fdopendir(descriptor);
    if (!entries) {
        ::close(descriptor);
        throw common::Failure(9999, QCoreApplication::applicationName(),
                              QStringLiteral("フォルダを読み込めません。 ") + folder);
    }
    std::vector<ListedItem> items;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(entries);
        if (!entry)
            break;
        const QByteArrayView name(entry->d_name);
        if (name == "." || name == ".." || platform::temporaryFileProcess(name))
            continue;
        struct stat info;
        if (::fstatat(descriptor, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        ListedItem item;
        item.name = QFile::decodeName(entry->d_name);
        if (side == ListingSide::Source && S_ISLNK(info.st_mode)
            && (::fstatat(descriptor, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)))
            continue;
        if (side == ListingSide::Source && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            continue;
        item.folder = S_ISDIR(info.st_mode);
        item.modifiedSeconds = info.st_mtim.tv_sec;
        items.push_back(std::move(item));
    }
    const int readError = errno;
    ::closedir(entries);
    if (readError != 0)
        throw common::Failure(9999, QCoreApplication::applicationName(),
                              QStringLiteral("フォルダを読み込めません。 ") + folder);
    std::sort(items.begin(), items.end(), [](const ListedItem &one, const ListedItem &other) {
        if (one.folder != other.folder)
            return one.folder;
        return one.name < other.name;
    });
    return items;
}

// What stands at a counterpart path.
enum class Counterpart { File, Folder, Other, Missing, Unknown };

Counterpart examine(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Counterpart::Missing : Counterpart::Unknown;
    if (S_ISDIR(info.st_mode))
        return Counterpart::Folder;
    return S_ISREG(info.st_mode) ? Counterpart::File : Counterpart::Other;
}

bool statPath(const QString &path, struct stat &info)
{
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

// Whether the first element of a path below a root is one that walks leave out.
bool underSkippedRootItem(const QString &relativePath)
{
    return !relativePath.isEmpty() && IsSkippedRootItem(relativePath.section(u'/', 0, 0));
}

} // namespace

struct BackupWork::Roots
{
    QString org;
    QString bak;
    bool sourceOnFat = false;
    bool copyOnFat = false;
};

void BackupWork::BackUpEntry(const QString &original, const QString &destination, const MountHistory &history,
                             const MountTable &mounts)
{
    const QString destinationFolder = WithTrailingSlash(destination);
    const bool syncMode = m_settings.SyncMode == 1;
    if (syncMode)
        m_settings.NewOverWr = 0;
    struct stat info;
    if (!statPath(original, info))
        return;
    if (S_ISREG(info.st_mode)) {
        const QString copyPath = FileCopyPath(original, destinationFolder);
        CopyFileOnly(original, copyPath);
        if (syncMode)
            CopyFileOnly(copyPath, original);
        return;
    }
    if (!S_ISDIR(info.st_mode))
        return;
    const QString originalFolder = WithTrailingSlash(original);
    const QString copyRoot = FolderCopyRoot(originalFolder, destinationFolder);
    CopyFoldersAndFiles(originalFolder, copyRoot, QString());
    if (!syncMode && m_settings.BakDel != 1)
        return;
    if (!SourceRootReady(originalFolder, copyRoot, history, mounts))
        return;
    if (syncMode)
        CopyFoldersAndFiles(copyRoot, originalFolder, QString());
    else
        DeleteFoldersAndFiles(originalFolder, copyRoot, QString());
}

bool BackupWork::SourceRootReady(const QString &root, const QString &otherRoot, const MountHistory &history,
                                 const MountTable &mounts) const
{
    if (!history.driveMounted(root, mounts))
        return false;
    std::vector<ListedItem> rootItems;
    try {
        rootItems = listFolder(WithTrailingSlash(root), ListingSide::Destination);
    } catch (const common::Failure &) {
        return false;
    }
    if (!rootItems.empty())
        return true;
    try {
        return listFolder(WithTrailingSlash(otherRoot), ListingSide::Destination).empty();
    } catch (const common::Failure &) {
        return true;
    }
}

void BackupWork::CopyFileOnly(const QString &OrgPath, const QString &BakPath)
{
    if (!m_flags.going())
        return;
    m_pacer.CpuIdleCheckAndWait();
    struct stat source;
    if (statPath(OrgPath, source) && S_ISREG(source.st_mode)) {
        m_pacer.BreakeTime(0);
        bool due = true;
        struct stat copy;
        if (statPath(BakPath, copy))
            due = CopyIsDue(qint64(copy.st_mtim.tv_sec) - qint64(source.st_mtim.tv_sec), m_settings.NewOverWr == 1,
                            IsFatFileSystem(OrgPath), IsFatFileSystem(BakPath));
        if (due) {
            showItem(QStringLiteral("コピー ") + OrgPath);
            const QString folder = ParentFolderOf(BakPath);
            CreateFolder(folder);
            removeStaleCopies(folder);
            CopyFile(OrgPath, BakPath);
        } else {
            showItem(OrgPath);
        }
    }
    m_pacer.BreakeTime(0);
}

void BackupWork::CopyFoldersAndFiles(const QString &OrgPath, const QString &BakPath, const QString &path)
{
    if (!m_flags.going())
        return;
    m_pacer.CpuIdleCheckAndWait();
    const Roots roots{WithTrailingSlash(OrgPath), WithTrailingSlash(BakPath), IsFatFileSystem(OrgPath),
                      IsFatFileSystem(BakPath)};
    const QString item = path.isEmpty() ? roots.org : path;
    struct stat info;
    if (!statPath(item, info)) {
        m_pacer.BreakeTime(0);
        return;
    }
    copyItem(roots, item, S_ISDIR(info.st_mode), info.st_mtim.tv_sec);
}

void BackupWork::copyItem(const Roots &roots, const QString &path, bool isFolder, qint64 modifiedSeconds)
{
    if (!m_flags.going())
        return;
    m_pacer.CpuIdleCheckAndWait();
    try {
        if (!underSkippedRootItem(path.mid(roots.org.size()))) {
            if (isFolder)
                copyFolder(roots, path);
            else
                copyFileItem(roots, path, modifiedSeconds);
        }
    } catch (...) {
        common::SaveErr();
    }
    m_pacer.BreakeTime(0);
}

void BackupWork::copyFolder(const Roots &roots, const QString &path)
{
    const QString folder = WithTrailingSlash(path);
    const QString relative = folder.mid(roots.org.size());
    const QString target = roots.bak + relative;
    if (relative.isEmpty() || CheckTarget(relative))
        CreateFolder(target);
    removeStaleCopies(target);
    for (const ListedItem &child : listFolder(folder, ListingSide::Source)) {
        if (!m_flags.going())
            return;
        m_pacer.BreakeTime(0);
        copyItem(roots, folder + child.name, child.folder, child.modifiedSeconds);
    }
}

void BackupWork::copyFileItem(const Roots &roots, const QString &path, qint64 modifiedSeconds)
{
    m_pacer.BreakeTime(0);
    const QString relative = path.mid(roots.org.size());
    if (!CheckTarget(relative)) {
        showItem(path);
        return;
    }
    const QString target = roots.bak + relative;
    bool due = true;
    struct stat copy;
    if (statPath(target, copy))
        due = CopyIsDue(qint64(copy.st_mtim.tv_sec) - modifiedSeconds, m_settings.NewOverWr == 1, roots.sourceOnFat,
                        roots.copyOnFat);
    if (!due) {
        showItem(path);
        return;
    }
    showItem(QStringLiteral("コピー ") + path);
    CreateFolder(ParentFolderOf(target));
    CopyFile(path, target);
}

void BackupWork::DeleteFoldersAndFiles(const QString &OrgPath, const QString &BakPath, const QString &path)
{
    if (!m_flags.going())
        return;
    m_pacer.CpuIdleCheckAndWait();
    const QString org = WithTrailingSlash(OrgPath);
    const QString bak = WithTrailingSlash(BakPath);
    const QString item = path.isEmpty() ? bak : path;
    struct stat info;
    if (::lstat(QFile::encodeName(item).constData(), &info) != 0) {
        m_pacer.BreakeTime(0);
        return;
    }
    deleteItem(org, bak, item, S_ISDIR(info.st_mode));
}

void BackupWork::deleteItem(const QString &OrgPath, const QString &BakPath, const QString &path, bool isFolder)
{
    if (!m_flags.going())
        return;
    m_pacer.CpuIdleCheckAndWait();
    try {
        const QString relative = (isFolder ? WithTrailingSlash(path) : path).mid(BakPath.size());
        if (underSkippedRootItem(relative)) {
            m_pacer.BreakeTime(0);
            return;
        }
        const QString counterpart = OrgPath + relative;
        if (isFolder) {
            if (!relative.isEmpty()) {
                const Counterpart state = examine(counterpart);
                if (state == Counterpart::Unknown) {
                    m_pacer.BreakeTime(0);
                    return;
                }
                if (state != Counterpart::Folder) {
                    RecyclerDelete(WithoutTrailingSlash(path), true);
                    m_pacer.BreakeTime(0);
                    return;
                }
            }
            const QString folder = WithTrailingSlash(path);
            for (const ListedItem &child : listFolder(folder, ListingSide::Destination)) {
                if (!m_flags.going())
                    break;
                m_pacer.BreakeTime(0);
                deleteItem(OrgPath, BakPath, folder + child.name, child.folder);
            }
        } else {
            m_pacer.BreakeTime(0);
            const Counterpart state = examine(counterpart);
            if (state == Counterpart::File || state == Counterpart::Unknown) {
                showItem(path);
            } else {
                showItem(QStringLiteral("削　除 ") + path);
                RecyclerDelete(path, true);
            }
        }
    } catch (...) {
        common::SaveErr();
    }
    m_pacer.BreakeTime(0);
}

bool BackupWork::CheckTarget(const QString &relativePath) const
{
    return idlebackup::CheckTarget(relativePath, m_settings.NoneStr, m_settings.NoneExt);
}

} // namespace idlebackup
