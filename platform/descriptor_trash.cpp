#include "platform/descriptor_trash.h"

#include "platform/descriptor.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The longest name a file system takes; the trash's record of an item adds its
// extension to the item's name in the trash.
constexpr qsizetype NameMax = 255;
const QByteArray InfoExtension = QByteArrayLiteral(".trashinfo");
constexpr int NameAttempts = 1000;

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// Opens (creating it with mode 0700 when missing) the folder `name` in `parent`, which
// must be a real folder of this user and no link.
int openOwnFolder(int parent, const char *name)
{
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return -1;
    const int descriptor = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return -1;
    struct stat info;
    if (::fstat(descriptor, &info) != 0 || info.st_uid != ::geteuid()) {
        ::close(descriptor);
        errno = EPERM;
        return -1;
    }
    return descriptor;
}

// The top folder of the file system `device` that holds `path`: the highest folder on
// the way up from the path that still lies on that device. Levels that cannot be
// examined (too long a path) are passed over.
QByteArray topFolderOf(const QByteArray &path, dev_t device)
{
    QByteArray top;
    for (QByteArray level = parentOf(path);; level = parentOf(level)) {
        struct stat info;
        if (::stat(level.constData(), &info) == 0) {
            if (info.st_dev != device)
                break;
            top = level;
        }
        if (level == "/")
            break;
    }
    return top;
}

// Opens the trash folder for an item on `device` whose path is `path`.
int openTrashFor(const QByteArray &path, dev_t device)
{
    const QByteArray dataHome = QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QDir().mkpath(QFile::decodeName(dataHome));
    struct stat home;
    if (::stat(dataHome.constData(), &home) == 0 && home.st_dev == device) {
        const Descriptor data(::open(dataHome.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return data.get() < 0 ? -1 : openOwnFolder(data.get(), "Trash");
    }
    const QByteArray top = topFolderOf(path, device);
    if (top.isEmpty()) {
        errno = EXDEV;
        return -1;
    }
    const Descriptor topFolder(::open(top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (topFolder.get() < 0)
        return -1;
    const QByteArray user = QByteArray::number(::geteuid());
    struct stat shared;
    if (::fstatat(topFolder.get(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode)
        && (shared.st_mode & S_ISVTX)) {
        const Descriptor sharedTrash(::openat(topFolder.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sharedTrash.get() >= 0) {
            const int own = openOwnFolder(sharedTrash.get(), user.constData());
            if (own >= 0)
                return own;
        }
    }
    return openOwnFolder(topFolder.get(), (".Trash-" + user).constData());
}

QByteArray trashInfo(const QByteArray &path)
{
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/")
           + "\nDeletionDate=" + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() + "\n";
}

int failWith(int error, const QByteArray &path, QString *errorText)
{
    if (errorText)
        *errorText = QStringLiteral("ごみ箱へ移動できません。 ") + QFile::decodeName(path) + QStringLiteral(" : ")
                     + QString::fromLocal8Bit(std::strerror(error));
    return 1;
}

} // namespace

int MoveToTrashAt(int folder, const QByteArray &name, const QByteArray &path, QString *errorText)
{
    struct stat item;
    if (::fstatat(folder, name.constData(), &item, AT_SYMLINK_NOFOLLOW) != 0)
        return failWith(errno, path, errorText);
    const Descriptor trash(openTrashFor(path, item.st_dev));
    if (trash.get() < 0)
        return failWith(errno, path, errorText);
    const Descriptor files(openOwnFolder(trash.get(), "files"));
    const Descriptor info(openOwnFolder(trash.get(), "info"));
    if (files.get() < 0 || info.get() < 0)
        return failWith(errno, path, errorText);
    const QByteArray record = trashInfo(path);
    for (int attempt = 1; attempt <= NameAttempts; ++attempt) {
        const QByteArray suffix = attempt == 1 ? QByteArray() : '.' + QByteArray::number(attempt);
        const QByteArray trashName = name.left(NameMax - InfoExtension.size() - suffix.size()) + suffix;
        const QByteArray infoName = trashName + InfoExtension;
        const int descriptor = ::openat(info.get(), infoName.constData(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            if (errno == EEXIST)
                continue;
            return failWith(errno, path, errorText);
        }
        const bool written = ::write(descriptor, record.constData(), size_t(record.size())) == record.size();
        const int writeError = errno;
        ::close(descriptor);
        struct stat taken;
        if (written && ::fstatat(files.get(), trashName.constData(), &taken, AT_SYMLINK_NOFOLLOW) != 0
            && errno == ENOENT) {
            if (::renameat(folder, name.constData(), files.get(), trashName.constData()) == 0)
                return 0;
            const int renameError = errno;
            ::unlinkat(info.get(), infoName.constData(), 0);
            return failWith(renameError, path, errorText);
        }
        ::unlinkat(info.get(), infoName.constData(), 0);
        if (!written)
            return failWith(writeError ? writeError : ENOSPC, path, errorText);
    }
    return failWith(EEXIST, path, errorText);
}

} // namespace platform
