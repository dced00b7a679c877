#include "idlebackup/folder_walk.h"

#include "idlebackup/temporary_names.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace idlebackup {

namespace {

EntryKind kindOf(int folder, const char *name, struct stat &info)
{
    if (S_ISDIR(info.st_mode))
        return EntryKind::Folder;
    if (S_ISREG(info.st_mode))
        return EntryKind::File;
    if (!S_ISLNK(info.st_mode))
        return EntryKind::Other;
    struct stat target;
    if (::fstatat(folder, name, &target, 0) != 0)
        return EntryKind::Other;
    if (S_ISDIR(target.st_mode))
        return EntryKind::FolderLink;
    if (!S_ISREG(target.st_mode))
        return EntryKind::Other;
    info.st_mtim = target.st_mtim;
    info.st_size = target.st_size;
    return EntryKind::File;
}

} // namespace

int ForEachName(int folder, const std::function<void(const char *name, unsigned char type)> &take)
{
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return errno;
    DIR *const stream = ::fdopendir(listing);
    if (!stream) {
        const int error = errno;
        ::close(listing);
        return error;
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(stream);
        if (!entry) {
            error = errno;
            break;
        }
        take(entry->d_name, entry->d_type);
    }
    ::closedir(stream);
    return error;
}

int ListFolderAt(int folder, ListingDepth depth, std::vector<FolderEntry> &entries)
{
    entries.clear();
    const int error = ForEachName(folder, [&](const char *rawName, unsigned char type) {
        const QByteArrayView name(rawName);
        if (name == "." || name == ".." || IsTemporaryName(name))
            return;
        FolderEntry item;
        item.name = name.toByteArray();
        if (depth == ListingDepth::KindsOnly && type != DT_UNKNOWN) {
            item.kind = type == DT_DIR ? EntryKind::Folder : type == DT_REG ? EntryKind::File : EntryKind::Other;
            entries.push_back(std::move(item));
            return;
        }
        struct stat info;
        if (::fstatat(folder, rawName, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        item.device = info.st_dev;
        if (depth == ListingDepth::KindsOnly) {
            item.kind = S_ISDIR(info.st_mode)   ? EntryKind::Folder
                        : S_ISREG(info.st_mode) ? EntryKind::File
                                                : EntryKind::Other;
        } else {
            item.kind = kindOf(folder, rawName, info);
            item.modifiedSeconds = info.st_mtim.tv_sec;
            item.size = info.st_size;
        }
        entries.push_back(std::move(item));
    });
    if (error != 0)
        return error;
    std::sort(entries.begin(), entries.end(), [](const FolderEntry &one, const FolderEntry &other) {
        const bool oneFolder = one.kind == EntryKind::Folder;
        if (oneFolder != (other.kind == EntryKind::Folder))
            return oneFolder;
        return one.name < other.name;
    });
    return 0;
}

} // namespace idlebackup
