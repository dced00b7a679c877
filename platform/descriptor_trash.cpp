#include "platform/descriptor_trash.h"

#include "platform/descriptor.h"
#include "platform/own_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

namespace {

// The longest name a file system takes; the trash's record of an item adds its
// extension to the item's name in the trash.
constexpr qsizetype NameMax = 255;
const QByteArray InfoExtension = QByteArrayLiteral(".trashinfo");
// An item takes its own name in the trash, else that name numbered ".2", ".3", ... up to
// NumberedNames, else, where the trash holds that many of the name (every "index.html"
// that a run over many folders replaced), a random number of its own.
constexpr int NumberedNames = 100;
constexpr int RandomNames = 100;

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// The absolute path by which the system names the open folder `descriptor` (links and
// relative paths resolved, a bind mount named where it is mounted); empty when it names
// none (a folder removed meanwhile).
QByteArray pathOfFolder(int descriptor)
{
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(descriptor);
    QByteArray path(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(link.constData(), path.data(), size_t(path.size()));
    if (length <= 0 || length >= path.size())
        return {};
    path.truncate(length);
    return path.startsWith('/') && !path.endsWith(" (deleted)") ? path : QByteArray();
}

// Opens (creating it with mode 0700 when missing) the folder `name` in `parent`, which
// must be a real folder of this user and no link. `refusal` names the folder and its
// owner when it is another user's, and is emptied otherwise.
int openOwnFolder(int parent, const char *name, QString &refusal)
{
    refusal.clear();
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return -1;
    const int descriptor = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return -1;
    struct stat info;
    const bool examined = ::fstat(descriptor, &info) == 0;
    if (!examined || info.st_uid != ::geteuid()) {
        if (examined)
            refusal = QStringLiteral("ごみ箱のフォルダ %1 は").arg(QFile::decodeName(pathOfFolder(descriptor)))
                      + ownedByOtherText(info.st_uid);
        ::close(descriptor);
        errno = EPERM;
        return -1;
    }
    return descriptor;
}

// What tells the mount that holds `name` in the open folder `folder` (with an empty name:
// the folder itself) from the others: the mount's id where the system gives one, which a
// bind mount has of its own although it shares its file system's device; else (before
// Linux 5.8) that device.
std::optional<quint64> mountOf(int folder, const char *name)
{
    struct statx info;
    if (::statx(folder, name, AT_SYMLINK_NOFOLLOW | (*name ? 0 : AT_EMPTY_PATH), STATX_MNT_ID, &info) != 0)
        return std::nullopt;
    if (info.stx_mask & STATX_MNT_ID)
        return info.stx_mnt_id;
    return quint64(makedev(info.stx_dev_major, info.stx_dev_minor));
}

// Opens the top folder of the mount `mount` that holds the open folder `folder`: the
// highest folder on the way up through ".." (as the kernel leads it, whatever path
// reached the folder) that still lies on that mount. Closed, with errno set, when the
// folder lies on another mount or a level cannot be examined.
Descriptor openTopOfMount(int folder, quint64 mount)
{
    Descriptor level(::openat(folder, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!level.isOpen())
        return level;
    if (mountOf(level.get(), "") != mount) {
        errno = EXDEV;
        return {};
    }
    for (;;) {
        Descriptor above(::openat(level.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat here;
        struct stat there;
        if (!above.isOpen() || ::fstat(level.get(), &here) != 0 || ::fstat(above.get(), &there) != 0)
            return {};
        if (here.st_dev == there.st_dev && here.st_ino == there.st_ino) // the root
            return level;
        const std::optional<quint64> aboveMount = mountOf(above.get(), "");
        if (!aboveMount)
            return {};
        if (*aboveMount != mount)
            return level;
        level = std::move(above);
    }
}

// The trash folder for an item, and for a trash at the top folder of the item's mount,
// that folder (closed for the home trash).
struct TrashFolder
{
    Descriptor trash;
    Descriptor top;
};

// Opens the trash folder for an item on the mount `mount` in the open folder `folder`:
// the home trash when it lies on that mount, else the trash at the mount's top folder.
// A rename or a link reaches either from the item; the home trash on another mount of
// the same file system (the item's side a bind mount) would refuse both.
TrashFolder openTrashFor(int folder, quint64 mount, QString &refusal)
{
    const QByteArray dataHome = QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QDir().mkpath(QFile::decodeName(dataHome));
    const Descriptor data(::open(dataHome.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (data.isOpen() && mountOf(data.get(), "") == mount) {
        Descriptor home(openOwnFolder(data.get(), "Trash", refusal));
        // A home trash that is a mount of its own is left for the mount's.
        if (!home.isOpen() || mountOf(home.get(), "") == mount)
            return {std::move(home), {}};
    }
    Descriptor topFolder = openTopOfMount(folder, mount);
    if (!topFolder.isOpen())
        return {};
    const QByteArray user = QByteArray::number(::geteuid());
    struct stat shared;
    if (::fstatat(topFolder.get(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode)
        && (shared.st_mode & S_ISVTX)) {
        const Descriptor sharedTrash(::openat(topFolder.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sharedTrash.get() >= 0) {
            Descriptor own(openOwnFolder(sharedTrash.get(), user.constData(), refusal));
            if (own.isOpen())
                return {std::move(own), std::move(topFolder)};
        }
    }
    Descriptor own(openOwnFolder(topFolder.get(), (".Trash-" + user).constData(), refusal));
    return {std::move(own), std::move(topFolder)};
}

// The original place of the item `name` of the open folder `folder` as its trash record
// keeps it: an absolute path in the home trash; in the trash at the top folder `top` of
// the item's mount, its path below that folder, which a restore reads from the folder
// that holds the trash wherever the mount is then. `path` (the item's path as the caller
// gave it) stands in, made absolute, where the system names no folder.
QByteArray recordedPath(int folder, const QByteArray &name, const Descriptor &top, const QByteArray &path)
{
    const QByteArray folderPath = pathOfFolder(folder);
    if (folderPath.isEmpty()) {
        if (path.startsWith('/'))
            return path;
        const QByteArray current = QFile::encodeName(QDir::currentPath());
        return (current == "/" ? QByteArray() : current) + '/' + path;
    }
    const QByteArray item = (folderPath == "/" ? QByteArray() : folderPath) + '/' + name;
    const QByteArray topPath = top.isOpen() ? pathOfFolder(top.get()) : QByteArray();
    if (topPath.isEmpty())
        return item;
    const QByteArray topPrefix = topPath == "/" ? topPath : topPath + '/';
    return item.startsWith(topPrefix) ? item.sliced(topPrefix.size()) : item;
}

QByteArray trashInfo(const QByteArray &path)
{
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/")
           + "\nDeletionDate=" + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() + "\n";
}

int failWith(const QString &reason, const QByteArray &path, QString *errorText)
{
    if (errorText)
        *errorText = QStringLiteral("ごみ箱へ移動できません。 ") + QFile::decodeName(path) + QStringLiteral(" : ") + reason;
    return 1;
}

int failWith(int error, const QByteArray &path, QString *errorText)
{
    return failWith(QString::fromLocal8Bit(std::strerror(error)), path, errorText);
}

// A failure of putIntoTrash: TrashOfAnotherUser where `refusal` names a trash folder of
// another user's, else 1 with the system's reason.
int failPutting(int error, const QString &refusal, const QByteArray &path, QString *errorText)
{
    if (refusal.isEmpty())
        return failWith(error, path, errorText);
    failWith(refusal, path, errorText);
    return TrashOfAnotherUser;
}

// The system's error number of the step that just failed; never 0, which means success.
int lastError()
{
    return errno != 0 ? errno : EIO;
}

// How the item gets into the trash: moved there, or linked there and kept in place.
enum class Placing { Move, Link };

} // namespace

// A name reserved in a trash for an item: its record written under the name and nothing
// in the trash's files under it yet.
struct TrashReservation
{
    Descriptor files;
    Descriptor info;
    QByteArray trashName;
    QByteArray infoName;
};

namespace {

// Reserves a name in the trash of the item `name` of the open folder `folder` for it,
// writing its record. Returns 0, or the system's error number; a trash folder of another
// user's sets `refusal`, which names it.
int reserveTrashName(int folder, const QByteArray &name, const QByteArray &path, TrashReservation &reservation,
                     QString &refusal)
{
    const std::optional<quint64> mount = mountOf(folder, name.constData());
    if (!mount)
        return lastError();
    const TrashFolder trash = openTrashFor(folder, *mount, refusal);
    if (!trash.trash.isOpen())
        return lastError();
    reservation.files = Descriptor(openOwnFolder(trash.trash.get(), "files", refusal));
    if (!reservation.files.isOpen())
        return lastError();
    reservation.info = Descriptor(openOwnFolder(trash.trash.get(), "info", refusal));
    if (!reservation.info.isOpen())
        return lastError();
    const QByteArray record = trashInfo(recordedPath(folder, name, trash.top, path));
    // The record is written unnamed first where the file system makes unnamed files, and
    // then linked under a free name: the system locks a folder while it makes a file
    // there, and making one can take long, so records made on several threads at once
    // would otherwise wait for each other.
    const Descriptor unnamed(::openat(reservation.info.get(), ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, 0600));
    if (unnamed.isOpen() && ::write(unnamed.get(), record.constData(), size_t(record.size())) != record.size())
        return errno ? errno : ENOSPC;
    const QByteArray unnamedPath = "/proc/self/fd/" + QByteArray::number(unnamed.get());
    for (int attempt = 1; attempt <= NumberedNames + RandomNames; ++attempt) {
        const QByteArray suffix = attempt == 1              ? QByteArray()
                                  : attempt <= NumberedNames ? '.' + QByteArray::number(attempt)
                                                             : '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
        const QByteArray trashName = name.left(NameMax - InfoExtension.size() - suffix.size()) + suffix;
        const QByteArray infoName = trashName + InfoExtension;
        bool written = true;
        int writeError = 0;
        bool linked = false;
        if (unnamed.isOpen()) {
            linked = ::linkat(AT_FDCWD, unnamedPath.constData(), reservation.info.get(), infoName.constData(),
                              AT_SYMLINK_FOLLOW) == 0;
            if (!linked && errno == EEXIST)
                continue;
        }
        // Without /proc to link the unnamed file by, the record is made under its name.
        if (!linked) {
            const int descriptor = ::openat(reservation.info.get(), infoName.constData(),
                                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (descriptor < 0) {
                if (errno == EEXIST)
                    continue;
                return lastError();
            }
            written = ::write(descriptor, record.constData(), size_t(record.size())) == record.size();
            writeError = errno;
            ::close(descriptor);
        }
        struct stat taken;
        if (written && ::fstatat(reservation.files.get(), trashName.constData(), &taken, AT_SYMLINK_NOFOLLOW) != 0
            && errno == ENOENT) {
            reservation.trashName = trashName;
            reservation.infoName = infoName;
            return 0;
        }
        ::unlinkat(reservation.info.get(), infoName.constData(), 0);
        if (!written)
            return writeError ? writeError : ENOSPC;
    }
    return EEXIST;
}

// Puts the item `name` of the open folder `folder` into its trash under the name
// `reservation` holds, as `placing` says. Returns 0, or the system's error number; on a
// failure the record is removed again.
int placeIntoTrash(int folder, const QByteArray &name, const TrashReservation &reservation, Placing placing)
{
    const bool placed = placing == Placing::Move
                            ? ::renameat(folder, name.constData(), reservation.files.get(), reservation.trashName.constData()) == 0
                            : ::linkat(folder, name.constData(), reservation.files.get(), reservation.trashName.constData(), 0) == 0;
    if (placed)
        return 0;
    const int error = errno;
    ::unlinkat(reservation.info.get(), reservation.infoName.constData(), 0);
    return error;
}

// Puts the item `name` of the open folder `folder` into its trash as `placing` says,
// writing its record first. Returns 0 on success, else the system's error number; a
// failure of the link itself (the item and its record are then as they were) sets
// `linkFailed`; a trash folder of another user's sets `refusal`, which names it.
int putIntoTrash(int folder, const QByteArray &name, const QByteArray &path, Placing placing, bool &linkFailed,
                 QString &refusal)
{
    for (int attempt = 1;; ++attempt) {
        TrashReservation reservation;
        if (const int error = reserveTrashName(folder, name, path, reservation, refusal))
            return error;
        const int error = placeIntoTrash(folder, name, reservation, placing);
        // A name taken in the files since it was found free: another one.
        if (error == EEXIST && placing == Placing::Link && attempt < NumberedNames)
            continue;
        linkFailed = error != 0 && placing == Placing::Link;
        return error;
    }
}

} // namespace

int MoveToTrashAt(int folder, const QByteArray &name, const QByteArray &path, QString *errorText)
{
    bool linkFailed = false;
    QString refusal;
    const int error = putIntoTrash(folder, name, path, Placing::Move, linkFailed, refusal);
    return error == 0 ? 0 : failPutting(error, refusal, path, errorText);
}

TrashRecord::TrashRecord() = default;

TrashRecord::~TrashRecord()
{
    if (m_reservation)
        ::unlinkat(m_reservation->info.get(), m_reservation->infoName.constData(), 0);
}

std::unique_ptr<TrashRecord> TrashRecord::prepare(int folder, const QByteArray &name, const QByteArray &path)
{
    auto reservation = std::make_unique<TrashReservation>();
    QString refusal;
    if (reserveTrashName(folder, name, path, *reservation, refusal) != 0)
        return nullptr;
    std::unique_ptr<TrashRecord> record(new TrashRecord);
    record->m_reservation = std::move(reservation);
    return record;
}

int BackUpToTrashAt(int folder, const QByteArray &name, const QByteArray &path,
                    const std::function<bool()> &replacementReady, QString *errorText, TrashRecord *prepared)
{
    // The record written ahead serves when the item can be linked under its name now;
    // else it goes, and the backup is made as without it.
    if (prepared && prepared->m_reservation) {
        const std::unique_ptr<TrashReservation> reservation = std::move(prepared->m_reservation);
        if (placeIntoTrash(folder, name, *reservation, Placing::Link) == 0)
            return 0;
    }
    bool linkFailed = false;
    QString refusal;
    const int error = putIntoTrash(folder, name, path, Placing::Link, linkFailed, refusal);
    if (error == 0)
        return 0;
    if (!refusal.isEmpty() || !linkFailed)
        return failPutting(error, refusal, path, errorText);
    // The trash's file system takes no link (FAT) or no more of them: the item is moved,
    // and only while its replacement is there to take its place at once.
    if (!replacementReady())
        return failWith(QStringLiteral("新しい内容の一時ファイルがありません"), path, errorText);
    return MoveToTrashAt(folder, name, path, errorText);
}

int BackUpToTrash(const QByteArray &path, const std::function<bool()> &replacementReady, QString *errorText)
{
    const Descriptor folder(::open(parentOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen())
        return failWith(errno, path, errorText);
    return BackUpToTrashAt(folder.get(), path.sliced(path.lastIndexOf('/') + 1), path, replacementReady, errorText);
}

} // namespace platform
