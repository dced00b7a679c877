#include "platform/atomic_file.h"

#include "platform/copy_writer_hooks.h"
#include "platform/file_handles.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace platform {

namespace {

// Longest file name that the file systems in use take, in bytes.
constexpr qsizetype FileNameMaxBytes = 255;
// As many symbolic links as the kernel follows in one path.
constexpr int LinkHopsMax = 40;
// Attempts at a free temporary name before giving up.
constexpr int TemporaryNameAttempts = 100;
// One write() call hands over at most this many bytes. For a write of megabytes at once
// the system may look for large runs of free memory to cache them in, which can take far
// longer than the write itself.
constexpr qsizetype WriteChunkBytes = qsizetype(256) << 10;

const QByteArray TemporaryMarker = ".~";
const QByteArray TemporarySuffix = ".tmp";
// Hexadecimal digits of the check that a temporary name carries.
constexpr qsizetype CheckDigits = 8;
const QByteArray DownloadPrefix = ".~ftp";
const QByteArray DownloadSuffix = ".part";
const QByteArray ListingMarker = ".tmp";
// The backup program's earlier temporary names: ".zelquin-<numbers>-<check>.tmp".
const QByteArray BackupPrefix = ".zelquin-";
constexpr qsizetype BackupCheckDigits = 12;

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

bool isInDescriptorFileSystem(const QByteArray &folder)
{
    struct statfs info;
    return ::statfs(folder.constData(), &info) == 0 && info.f_type == PROC_SUPER_MAGIC;
}

bool allDigits(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Whether `text` is "<digits>-<digits>".
bool isNumberPair(QByteArrayView text)
{
    const qsizetype dash = text.indexOf('-');
    return dash > 0 && allDigits(text.first(dash)) && allDigits(text.sliced(dash + 1));
}

// "<name>.tmp<digits>", the listing temporaries of earlier versions.
bool isListingTemporaryName(QByteArrayView name)
{
    const qsizetype marker = name.lastIndexOf(ListingMarker);
    return marker > 0 && allDigits(name.sliced(marker + ListingMarker.size()));
}

// The part of a temporary name (without folder) between its marker and ".tmp":
// "<boot>-<process id>-<counter>-<check>", or for earlier versions
// "<process id>-<counter>-<check>" and "<process id>-<counter>"; empty for other names.
QByteArrayView temporaryNumbers(QByteArrayView name)
{
    if (!name.startsWith('.') || !name.endsWith(TemporarySuffix))
        return {};
    const QByteArrayView withoutSuffix = name.first(name.size() - TemporarySuffix.size());
    const qsizetype marker = withoutSuffix.lastIndexOf(TemporaryMarker);
    return marker < 0 ? QByteArrayView() : withoutSuffix.sliced(marker + TemporaryMarker.size());
}

// The name up to its check (".<name>.~<numbers>"), which the check is made of, when
// `name` ends in "-<check>.tmp"; empty otherwise.
QByteArrayView checkedBody(QByteArrayView name)
{
    const qsizetype checkAt = name.size() - TemporarySuffix.size() - CheckDigits - 1;
    return checkAt > 0 && name[checkAt] == '-' ? name.first(checkAt) : QByteArrayView();
}

// The check that the temporary names of earlier versions carried: the first `digits`
// hexadecimal digits of a SHA-256 digest of the name up to it alone, which tells no
// machine.
QByteArray nameOnlyCheck(QByteArrayView body, qsizetype digits)
{
    return QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex().left(digits);
}

// The run that made `name` when it is a name that the backup program's copies gave their
// temporaries before they were written as every other copy is: one of this machine for
// ".zelquin-<boot>-<process id>-<counter>-<check>.tmp" with its check right; for the form
// before it, ".zelquin-<process id>-<counter>-<check>.tmp", which tells no machine nor
// boot, one of this boot with that process number, so that it has ended once no process
// of its number is left, as those versions judged it.
std::optional<RunMark> runOfBackupTemporaryName(QByteArrayView name)
{
    if (!name.startsWith(BackupPrefix) || !name.endsWith(TemporarySuffix))
        return std::nullopt;
    const QByteArrayView withCheck = name.first(name.size() - TemporarySuffix.size());
    const qsizetype checkAt = withCheck.size() - BackupCheckDigits - 1;
    if (checkAt <= BackupPrefix.size() || withCheck[checkAt] != '-')
        return std::nullopt;
    const QByteArrayView body = withCheck.first(checkAt);
    const QByteArrayView check = withCheck.sliced(checkAt + 1);
    const QByteArrayView numbers = body.sliced(BackupPrefix.size());
    if (std::optional<RunMark> run = RunMark::fromNumbers(numbers))
        return check == run->check(body, BackupCheckDigits) ? run : std::nullopt;
    if (!isNumberPair(numbers) || check != nameOnlyCheck(body, BackupCheckDigits))
        return std::nullopt;
    RunMark run = RunMark::ofThisProcess();
    run.process = numbers.first(numbers.indexOf('-')).toLongLong();
    return run;
}

// The run of this machine that made `name`, when it is a name that temporaryFilePathFor
// gives with its check right, or one of the backup program's earlier temporary names
// (runOfBackupTemporaryName).
std::optional<RunMark> runOfTemporaryName(QByteArrayView name)
{
    if (std::optional<RunMark> run = runOfBackupTemporaryName(name))
        return run;
    const QByteArrayView numbers = temporaryNumbers(name);
    const QByteArrayView body = checkedBody(name);
    if (numbers.size() <= CheckDigits + 1 || body.isEmpty())
        return std::nullopt;
    std::optional<RunMark> run = RunMark::fromNumbers(numbers.first(numbers.size() - CheckDigits - 1));
    if (!run || numbers.last(CheckDigits) != run->check(body, CheckDigits))
        return std::nullopt;
    return run;
}

// Whether `name` is a temporary name of earlier versions: "<process id>-<counter>", or
// the same with a check made of the name alone.
bool isEarlierTemporaryFileName(QByteArrayView name)
{
    const QByteArrayView numbers = temporaryNumbers(name);
    if (isNumberPair(numbers))
        return true;
    const QByteArrayView body = checkedBody(name);
    return numbers.size() > CheckDigits + 1 && isNumberPair(numbers.first(numbers.size() - CheckDigits - 1))
           && !body.isEmpty() && numbers.last(CheckDigits) == nameOnlyCheck(body, CheckDigits);
}

// Whether `name` is one that temporaryFilePathFor gives on this machine, one of the
// temporaries of earlier versions, or one of their download temporaries.
bool isTemporaryFileName(QByteArrayView name)
{
    if (name.startsWith(DownloadPrefix) && name.endsWith(DownloadSuffix)
        && isNumberPair(name.sliced(DownloadPrefix.size(),
                                    name.size() - DownloadPrefix.size() - DownloadSuffix.size())))
        return true;
    return runOfTemporaryName(name).has_value() || isEarlierTemporaryFileName(name);
}

// Where the path leads once the symbolic links of its last element are followed.
struct ResolvedTarget
{
    QByteArray path;
    bool exists = false;
    struct stat info = {};
    // Reached through one of the kernel's descriptor links ("/proc/self/fd/1").
    bool descriptorLink = false;
};

// Follows the links of the last element of `path` one by one, so that the file that a
// write replaces is the one a link leads to. Returns the failure's errno, or 0.
int resolveTarget(const QByteArray &path, ResolvedTarget &target)
{
    QByteArray current = path;
    for (int hop = 0; hop < LinkHopsMax; ++hop) {
        struct stat info;
        if (::lstat(current.constData(), &info) != 0) {
            if (errno != ENOENT)
                return errno;
            target.path = current;
            return 0;
        }
        if (!S_ISLNK(info.st_mode) || isInDescriptorFileSystem(folderOf(current))) {
            target.path = current;
            target.exists = true;
            target.descriptorLink = S_ISLNK(info.st_mode);
            if (target.descriptorLink && ::stat(current.constData(), &info) != 0)
                return errno;
            target.info = info;
            return 0;
        }
        QByteArray text(qsizetype(info.st_size > 0 ? info.st_size : 256) + 1, Qt::Uninitialized);
        const ssize_t length = ::readlink(current.constData(), text.data(), size_t(text.size()));
        if (length < 0)
            return errno;
        if (length >= text.size())
            return ENAMETOOLONG;
        text.truncate(length);
        current = text.startsWith('/') ? text : folderOf(current) + '/' + text;
    }
    return ELOOP;
}

// Looks at the entry `name` of the open folder `folder` without following it; a link
// there is refused with ELOOP. Returns the failure's errno, or 0.
int lookUpInFolder(int folder, const QByteArray &name, ResolvedTarget &target)
{
    target.path = name;
    if (::fstatat(folder, name.constData(), &target.info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : errno;
    target.exists = true;
    return S_ISLNK(target.info.st_mode) ? ELOOP : 0;
}

// Creates the file `temporary` (a name in the open folder `folder`, or a path when that
// is AT_FDCWD) with the permission bits `mode`, failing when anything is there: made
// unnamed in its folder first (O_TMPFILE) and then linked under its name. The system
// locks a folder while it makes a file there, and finding a new file its place on the
// disk takes long (0.15 ms here): made unnamed, the lock is held only for the link, so
// writes beside many files of one folder and the renames that put them in place do
// not wait for each other's files to be made. Where the file system makes no unnamed
// file, or /proc is not there to link one, the file is made under its name at once.
// Returns the descriptor, or -1 with errno.
int createTemporary(int folder, const QByteArray &temporary, mode_t mode)
{
    const QByteArray home = folder == AT_FDCWD ? folderOf(temporary) : QByteArrayLiteral(".");
    const int unnamed = copyWriterHooks().refuseUnnamedFiles
                            ? (errno = EOPNOTSUPP, -1)
                            : ::openat(folder, home.constData(), O_WRONLY | O_TMPFILE | O_CLOEXEC, mode);
    if (unnamed >= 0) {
        const QByteArray self = QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(unnamed);
        if (::linkat(AT_FDCWD, self.constData(), folder, temporary.constData(), AT_SYMLINK_FOLLOW) == 0)
            return unnamed;
        const int error = errno;
        ::close(unnamed);
        if (error == EEXIST) {
            errno = error;
            return -1;
        }
    }
    return ::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
}

int closeDescriptor(int &descriptor)
{
    const int result = ::close(std::exchange(descriptor, -1));
    return result == 0 || errno == EINTR ? 0 : errno;
}

// Removes from the open folder `folder` the regular files (not links) whose names
// `matches` takes.
void removeRegularFilesNamed(int folder, const std::function<bool(QByteArrayView)> &matches)
{
    const std::optional<std::vector<QByteArray>> names = NamesInFolder(folder);
    if (!names)
        return;
    for (const QByteArray &name : *names) {
        if (matches(name) && IsRegularFileAt(folder, name.constData()))
            ::unlinkat(folder, name.constData(), 0);
    }
}

// The same for the folder at the path `folder`.
void removeRegularFilesNamed(const QByteArray &folder, const std::function<bool(QByteArrayView)> &matches)
{
    const int opened = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0)
        return;
    removeRegularFilesNamed(opened, matches);
    ::close(opened);
}

void collectStale(int folder, bool top)
{
    const int listing = ::dup(folder);
    if (listing < 0)
        return;
    DIR *const entries = ::fdopendir(listing);
    if (!entries) {
        ::close(listing);
        return;
    }
    std::vector<QByteArray> stale;
    std::vector<QByteArray> subfolders;
    while (const dirent *entry = ::readdir(entries)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat info;
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            subfolders.push_back(name);
        else if (S_ISREG(info.st_mode) && (isTemporaryFileName(name) || (top && isListingTemporaryName(name))))
            stale.push_back(name);
    }
    ::closedir(entries);
    for (const QByteArray &name : stale)
        ::unlinkat(folder, name.constData(), 0);
    for (const QByteArray &name : subfolders) {
        const int subfolder = ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (subfolder < 0)
            continue;
        collectStale(subfolder, false);
        ::close(subfolder);
    }
}

} // namespace

AtomicFile::AtomicFile(const QString &path, int newFileMode)
    : m_path(path), m_newFileMode(newFileMode)
{
}

AtomicFile::AtomicFile(std::shared_ptr<const Descriptor> folder, const QByteArray &name, int newFileMode)
    : m_path(QFile::decodeName(name)), m_newFileMode(newFileMode), m_folder(std::move(folder))
{
}

int AtomicFile::folder() const
{
    return m_folder ? m_folder->get() : AT_FDCWD;
}

AtomicFile::~AtomicFile()
{
    cancel();
}

bool AtomicFile::open()
{
    if (m_descriptor >= 0 || m_failed)
        return fail(EBADF);
    ResolvedTarget target;
    if (const int error = m_folder ? lookUpInFolder(m_folder->get(), QFile::encodeName(m_path), target)
                                   : resolveTarget(QFile::encodeName(m_path), target))
        return fail(error);
    if (target.descriptorLink)
        return openDirectly(target.path, S_ISREG(target.info.st_mode));
    if (target.exists && S_ISDIR(target.info.st_mode))
        return fail(EISDIR);
    if (target.exists && !S_ISREG(target.info.st_mode))
        return m_folder ? fail(EINVAL) : openDirectly(target.path, false);
    if (target.exists && ::faccessat(folder(), target.path.constData(), W_OK, AT_EACCESS) != 0)
        return fail(errno);
    if (!openTemporary(target.path))
        return false;
    m_targetExisted = target.exists;
    if (target.exists) {
        const struct stat &info = target.info;
        if ((info.st_uid != ::geteuid() || info.st_gid != ::getegid())
            && ::fchown(m_descriptor, info.st_uid, info.st_gid) != 0) {
            // Without the right to give the file away, keep at least its group where allowed.
            [[maybe_unused]] const int groupKept = ::fchown(m_descriptor, uid_t(-1), info.st_gid);
        }
        // A file system that keeps no permission bits (FAT through FUSE) has none to keep.
        if (::fchmod(m_descriptor, info.st_mode & 07777) != 0 && errno != ENOSYS && errno != EOPNOTSUPP)
            return fail(errno);
    }
    return true;
}

bool AtomicFile::openTemporary(const QByteArray &target)
{
    QByteArray temporary;
    const int descriptor = createTemporaryFileBeside(folder(), target, mode_t(m_newFileMode), temporary);
    if (descriptor < 0)
        return fail(errno);
    m_descriptor = descriptor;
    m_temporary = temporary;
    m_target = target;
    return true;
}

bool AtomicFile::openDirectly(const QByteArray &target, bool emptyFirst)
{
    int descriptor;
    do {
        descriptor = ::open(target.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (emptyFirst ? O_TRUNC : 0));
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        return fail(errno);
    m_descriptor = descriptor;
    m_target = target;
    return true;
}

bool AtomicFile::write(QByteArrayView bytes)
{
    if (m_descriptor < 0 || m_failed)
        return fail(m_error ? m_error : EBADF);
    const char *at = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_descriptor, at, size_t(std::min(left, WriteChunkBytes)));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return fail(errno);
        if (written == 0)
            return fail(ENOSPC);
        at += written;
        left -= written;
    }
    return true;
}

void AtomicFile::startWriteback()
{
    // Only a hint: a file system that does not take it writes the file back at the sync.
    if (m_descriptor >= 0 && !m_failed)
        ::sync_file_range(m_descriptor, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool AtomicFile::commit()
{
    return finish() && place();
}

bool AtomicFile::finish()
{
    if (m_descriptor < 0 || m_failed)
        return fail(m_error ? m_error : EBADF);
    const bool direct = m_temporary.isEmpty();
    int synced = 0;
    if (direct || m_targetExisted || m_syncNewFiles) {
        do {
            synced = ::fdatasync(m_descriptor);
        } while (synced != 0 && errno == EINTR);
    }
    // Devices, pipes and terminals have nothing to sync and say so with EINVAL.
    if (synced != 0 && !(direct && (errno == EINVAL || errno == EROFS)))
        return fail(errno);
    if (const int error = closeDescriptor(m_descriptor))
        return fail(error);
    m_finished = true;
    return true;
}

bool AtomicFile::place()
{
    if (!m_finished || m_failed)
        return fail(m_error ? m_error : EBADF);
    if (!m_temporary.isEmpty() && ::renameat(folder(), m_temporary.constData(), folder(), m_target.constData()) != 0)
        return fail(errno);
    m_temporary.clear();
    return true;
}

bool AtomicFile::replacementExists() const
{
    if (m_temporary.isEmpty())
        return !m_failed && !m_target.isEmpty();
    return IsRegularFileAt(folder(), m_temporary.constData());
}

QByteArray AtomicFile::takeFinishedTemporary()
{
    if (!m_finished || m_failed)
        return QByteArray();
    return std::exchange(m_temporary, QByteArray());
}

void AtomicFile::cancel()
{
    if (m_descriptor >= 0)
        ::close(std::exchange(m_descriptor, -1));
    if (!m_temporary.isEmpty())
        ::unlinkat(folder(), m_temporary.constData(), 0);
    m_temporary.clear();
}

QString AtomicFile::errorString() const
{
    return m_error ? SystemErrorText(m_error) : QString();
}

bool AtomicFile::fail(int error)
{
    m_error = error;
    m_failed = true;
    cancel();
    return false;
}

std::optional<QString> writeWholeFile(const QString &path, QByteArrayView bytes, int newFileMode)
{
    AtomicFile file(path, newFileMode);
    if (file.open() && file.write(bytes) && file.commit())
        return std::nullopt;
    return file.errorString();
}

std::optional<QString> writePrivateFileAnew(const QString &folder, const QString &name, QByteArrayView bytes)
{
    const auto opened = std::make_shared<const Descriptor>(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened->isOpen())
        return SystemErrorText(errno);
    const QByteArray encoded = QFile::encodeName(name);
    if (::unlinkat(opened->get(), encoded.constData(), 0) != 0 && errno != ENOENT)
        return SystemErrorText(errno);
    AtomicFile file(opened, encoded, PrivateFileMode);
    if (file.open() && file.write(bytes) && file.commit())
        return std::nullopt;
    return file.errorString();
}

int createTemporaryFileBeside(int folder, const QByteArray &target, mode_t mode, QByteArray &temporary)
{
    for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
        temporary = temporaryFilePathFor(target);
        const int descriptor = createTemporary(folder, temporary, mode);
        if (descriptor >= 0)
            return descriptor;
        if (errno != EEXIST && errno != EINTR)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

QByteArray temporaryFilePathFor(const QByteArray &target, const RunMark &run)
{
    static QAtomicInteger<quint32> counter;
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.first(slash + 1);
    QByteArray name = target.sliced(slash + 1);
    const QByteArray numbers = TemporaryMarker + run.numbers(counter.fetchAndAddRelaxed(1));
    const qsizetype room = FileNameMaxBytes - 1 - numbers.size() - 1 - CheckDigits - TemporarySuffix.size();
    if (name.size() > room) {
        qsizetype cut = room;
        while (cut > 0 && (uchar(name[cut]) & 0xC0) == 0x80) // not inside a UTF-8 character
            --cut;
        name.truncate(cut);
    }
    const QByteArray body = '.' + name + numbers;
    return folder + body + '-' + run.check(body, CheckDigits) + TemporarySuffix;
}

bool isTemporaryFileNameOfThisMachine(QByteArrayView name)
{
    return runOfTemporaryName(name).has_value();
}

bool isLeftoverTemporaryFileName(QByteArrayView name)
{
    const std::optional<RunMark> run = runOfTemporaryName(name);
    return run && run->hasEnded();
}

void removeLeftoverTemporaryFiles(int folder)
{
    removeRegularFilesNamed(folder, isLeftoverTemporaryFileName);
}

void removeStaleTemporaryFilesOf(const QString &target)
{
    const QByteArray path = QFile::encodeName(target);
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.first(slash);
    // The name that temporaryFilePathFor gives, up to its process id.
    QByteArray prefix = temporaryFilePathFor(path);
    prefix = prefix.sliced(slash + 1, prefix.lastIndexOf(TemporaryMarker) - slash - 1 + TemporaryMarker.size());
    removeRegularFilesNamed(folder, [&prefix](QByteArrayView name) {
        return name.startsWith(prefix) && isTemporaryFileName(name);
    });
}

void removeStaleTemporaryFiles(const QString &folder)
{
    const int top = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0)
        return;
    collectStale(top, true);
    ::close(top);
}

} // namespace platform
