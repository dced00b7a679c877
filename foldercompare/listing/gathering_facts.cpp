#include "foldercompare/listing/gathering_facts.h"

#include "foldercompare/listing/long_paths.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace foldercompare::listing {

namespace {

// Changes made this close before the walk began may carry an older change time on
// file systems that stamp times from a coarse clock.
constexpr qint64 MarginNs = 1000000000;

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// File systems that set a folder's status change time on every entry added, removed or
// renamed in it; `descriptor` is an open entry of the file system.
bool trustedChangeTimes(int descriptor)
{
    struct statfs info;
    if (fstatfs(descriptor, &info) != 0)
        return false;
    switch (quint32(info.f_type)) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0x01021994: // tmpfs
    case 0xF2F52010: // f2fs
        return true;
    default:
        return false;
    }
}

} // namespace

bool TrustsChangeTimes(const QString &path)
{
    const int descriptor = OpenPath(QFile::encodeName(path), O_PATH);
    if (descriptor < 0)
        return false;
    const bool trusted = trustedChangeTimes(descriptor);
    close(descriptor);
    return trusted;
}

bool KeepsInodes(int descriptor)
{
    // The file systems whose folders' change times can be trusted keep their inodes too.
    return trustedChangeTimes(descriptor);
}

std::optional<platform::FileIdentity> IdentityOf(const QString &path)
{
    struct stat info;
    if (StatPath(QFile::encodeName(path), info) != 0)
        return std::nullopt;
    return platform::IdentityOf(info);
}

bool FolderUnchangedSince(const GatheringFacts &facts, const QByteArray &relative, QHash<dev_t, bool> &trustedDevices)
{
    const auto seen = facts.folders.constFind(relative);
    if (seen == facts.folders.cend())
        return false;
    const int descriptor = OpenPath(QFile::encodeName(facts.root) + '/' + relative, O_PATH | O_DIRECTORY);
    if (descriptor < 0)
        return false;
    struct stat info;
    bool unchanged = fstat(descriptor, &info) == 0 && std::make_pair(info.st_dev, info.st_ino) == *seen
                     && nanoseconds(info.st_ctim) < facts.startedNs - MarginNs;
    if (unchanged) {
        const auto known = trustedDevices.constFind(info.st_dev);
        unchanged = known != trustedDevices.cend() ? *known
                                                   : *trustedDevices.insert(info.st_dev, trustedChangeTimes(descriptor));
    }
    close(descriptor);
    return unchanged;
}

} // namespace foldercompare::listing
