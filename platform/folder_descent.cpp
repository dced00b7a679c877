#include "platform/folder_descent.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

namespace {

bool isLink(int folder, const QByteArray &name)
{
    struct stat info;
    return ::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
}

} // namespace

Descriptor OpenFolder(const QByteArray &path)
{
    return Descriptor(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

Descriptor OpenFolderAt(int parent, const QByteArray &name)
{
    if (name == "." || name == "..") {
        errno = EINVAL;
        return Descriptor();
    }
    return Descriptor(::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

FolderDescent OpenFoldersBelow(Descriptor top, const QList<QByteArray> &names, bool make)
{
    FolderDescent descent;
    descent.folder = std::move(top);
    for (qsizetype level = 0; level < names.size(); ++level) {
        const QByteArray &name = names.at(level);
        const auto fail = [&](int error) {
            descent.folder.reset();
            descent.failedLevel = level;
            descent.error = error;
            errno = error;
            return std::move(descent);
        };
        struct stat info;
        if (make && ::fstatat(descent.folder.get(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return fail(errno);
            if (::mkdirat(descent.folder.get(), name.constData(), 0777) == 0)
                descent.created = true;
            else if (errno != EEXIST)
                return fail(errno);
        }
        Descriptor below = OpenFolderAt(descent.folder.get(), name);
        if (!below.isOpen()) {
            const int error = errno;
            // The system tells a link at the name only as "no folder".
            return fail(error == ENOTDIR && isLink(descent.folder.get(), name) ? ELOOP : error);
        }
        descent.folder = std::move(below);
    }
    return descent;
}

} // namespace platform
