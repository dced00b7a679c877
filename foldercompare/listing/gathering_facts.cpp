#include "foldercompare/listing/gathering_facts.h"

#include <QFile>

#include <sys/stat.h>
#include <sys/vfs.h>

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
// renamed in it.
bool trustedChangeTimes(const char *path)
{
    struct statfs info;
    if (statfs(path, &info) != 0)
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
    return trustedChangeTimes(QFile::encodeName(path).constData());
}

std::optional<FileIdentity> IdentityOf(const QString &path)
{
    struct stat info;
    if (stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino, qint64(info.st_size), nanoseconds(info.st_mtim)};
}

bool FolderUnchangedSince(const GatheringFacts &facts, const QByteArray &relative, QHash<dev_t, bool> &trustedDevices)
{
    const auto seen = facts.folders.constFind(relative);
    if (seen == facts.folders.cend())
        return false;
    const QByteArray path = QFile::encodeName(facts.root) + '/' + relative;
    struct stat info;
    if (stat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    if (std::make_pair(info.st_dev, info.st_ino) != *seen)
        return false;
    if (nanoseconds(info.st_ctim) >= facts.startedNs - MarginNs)
        return false;
    const auto known = trustedDevices.constFind(info.st_dev);
    if (known != trustedDevices.cend())
        return *known;
    return *trustedDevices.insert(info.st_dev, trustedChangeTimes(path.constData()));
}

} // namespace foldercompare::listing
