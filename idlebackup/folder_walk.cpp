#include "idlebackup/folder_walk.h"

#include "platform/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <functional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace idlebackup {

namespace {

// The kind of the entry `name` of `folder`, whose own status is `info`; a File entry
// gets the identity and time of the file it leads to.
EntryKind kindOf(int folder, const char *name, const struct stat &info, FolderEntry &item)
{
    if (S_ISDIR(info.st_mode))
        return EntryKind::Folder;
    const struct stat *file = &info;
    struct stat target;
    if (S_ISLNK(info.st_mode)) {
        if (::fstatat(folder, name, &target, 0) != 0)
            return EntryKind::Other;
        if (S_ISDIR(target.st_mode))
            return EntryKind::FolderLink;
        file = &target;
    }
    if (!S_ISREG(file->st_mode))
        return EntryKind::Other;
    item.modified = file->st_mtim;
    item.file = platform::IdentityOf(*file);
    return EntryKind::File;
}

// Calls `take` with each name that the open folder `folder` lists ("." and ".." too),
// in the folder's order. Returns 0, or the errno of the failure when the folder cannot
// be read to its end.
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

} // namespace

int ListFolderAt(int folder, ListingDepth depth, std::vector<FolderEntry> &entries)
{
    entries.clear();
    const int error = ForEachName(folder, [&](const char *rawName, unsigned char type) {
        const QByteArrayView name(rawName);
        if (name == "." || name == ".." || platform::isTemporaryFileNameOfThisMachine(name))
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
            item.kind = kindOf(folder, rawName, info, item);
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
