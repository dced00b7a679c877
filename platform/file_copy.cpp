#include "platform/file_copy.h"

#include "platform/atomic_file.h"
#include "platform/copy_writer_hooks.h"
#include "platform/descriptor.h"
#include "platform/file_handles.h"

#include <QFile>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {

namespace {

// One copy_file_range or read call asks for at most this many bytes.
constexpr qint64 CallBytesMax = qint64(1) << 30;
// The buffer of a copy through this process.
constexpr qint64 BufferBytesMax = qint64(1) << 20;
// Copies for DurableCopies go in one step.
constexpr qint64 WholeFile = std::numeric_limits<qint64>::max();

// Whether `found` is the file `listed` written to since it was listed: the same file,
// whose modification time has not gone back (a file being written to, not another one
// renamed into its place nor an old version put back into it).
bool writtenSinceListed(const FileIdentity &found, const FileIdentity &listed)
{
    return found.device == listed.device && found.inode == listed.inode && found.modifiedNs >= listed.modifiedNs;
}

// Errors by which a file system refuses a way of copying that another way may do.
bool anotherWayMayDo(int error)
{
    return error == EXDEV || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL || error == ENOTTY;
}

// The soft limit of open files; RLIM_INFINITY when it cannot be read.
rlim_t openFileLimit()
{
    struct rlimit limit;
    return ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : RLIM_INFINITY;
}

// Writes all of `bytes` at the output's position; 0, or the error number.
int writeAll(int output, const char *bytes, qint64 count)
{
    while (count > 0) {
        const ssize_t written = ::write(output, bytes, size_t(count));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return ENOSPC;
        bytes += written;
        count -= written;
    }
    return 0;
}

// Errors of a permission change that tell that the file system cannot hold the bits
// (FUSE file systems without the call, FAT refusing modes it has no room for), not that
// the file is not this process's to change: it made the file a moment ago.
bool cannotHoldPermissions(int error)
{
    return error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

// Makes a new temporary file beside the entry `name` of the open folder `folder` for
// writing; returns it with its name, or the system's error number.
struct Temporary
{
    Descriptor file;
    QByteArray name;
    int error = 0;
};
Temporary makeTemporaryBeside(int folder, const QByteArray &name)
{
    Temporary made;
    made.file = Descriptor(createTemporaryFileBeside(folder, name, 0600, made.name));
    if (!made.file.isOpen())
        made.error = errno;
    return made;
}

} // namespace

ContentCopy CopyFileContents(int input, int output, qint64 stepBytes, const std::function<bool(qint64)> &afterStep)
{
    ContentCopy result;
    const auto going = [&] {
        if (!afterStep || afterStep(result.bytes))
            return true;
        result.error = ECANCELED;
        return false;
    };
    if (::ioctl(output, FICLONE, input) == 0) {
        struct stat info;
        if (::fstat(output, &info) != 0) {
            result.error = errno;
            return result;
        }
        result.bytes = info.st_size;
        going();
        return result;
    }
    if (!anotherWayMayDo(errno)) {
        result.error = errno;
        return result;
    }
    bool inKernel = true;
    std::vector<char> buffer;
    for (;;) {
        qint64 step = 0;
        bool end = false;
        while (step < stepBytes && !end) {
            const qint64 wanted = std::min(stepBytes - step, CallBytesMax);
            ssize_t copied;
            if (inKernel) {
                copied = ::copy_file_range(input, nullptr, output, nullptr, size_t(wanted), 0);
                if (copied < 0 && errno == EINTR)
                    continue;
                if (copied < 0 && anotherWayMayDo(errno)) {
                    inKernel = false;
                    continue;
                }
                if (copied < 0) {
                    result.error = errno;
                    return result;
                }
            } else {
                if (buffer.empty())
                    buffer.resize(size_t(std::min(stepBytes, BufferBytesMax)));
                copied = ::read(input, buffer.data(), size_t(std::min<qint64>(wanted, qint64(buffer.size()))));
                if (copied < 0 && errno == EINTR)
                    continue;
                if (copied < 0) {
                    result.error = errno;
                    result.readFailed = true;
                    return result;
                }
                if (const int error = writeAll(output, buffer.data(), copied)) {
                    result.error = error;
                    return result;
                }
            }
            end = copied == 0;
            step += copied;
            result.bytes += copied;
        }
        if (step > 0 && !going())
            return result;
        if (end)
            return result;
    }
}

int KeepTimesAfterRename(int folder, const QByteArray &name, const struct timespec times[2])
{
    struct stat placed;
    if (::fstatat(folder, name.constData(), &placed, AT_SYMLINK_NOFOLLOW) == 0
        && qAbs(qint64(placed.st_mtim.tv_sec) - qint64(times[1].tv_sec)) <= 1)
        return 0;
    return ::utimensat(folder, name.constData(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

bool IsOutOfSpace(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

TargetState TargetState::at(int folder, const QByteArray &name, struct stat *info)
{
    struct stat read;
    struct stat &entry = info ? *info : read;
    TargetState state;
    if (::fstatat(folder, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            state.unreadable = errno;
        return state;
    }
    return of(entry);
}

TargetState TargetState::of(const struct stat &info)
{
    TargetState state;
    state.present = true;
    state.identity = IdentityOf(info);
    state.changedNs = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return state;
}

bool TargetState::sameAs(const TargetState &other) const
{
    if (unreadable != 0 || other.unreadable != 0 || present != other.present)
        return false;
    return !present || (identity == other.identity && changedNs == other.changedNs);
}

WrittenCopy::WrittenCopy(std::shared_ptr<const Descriptor> folder, QByteArray temporaryName, QByteArray targetName,
                         const struct timespec (&times)[2], const TargetState &decided)
    : m_folder(std::move(folder))
    , m_temporaryName(std::move(temporaryName))
    , m_targetName(std::move(targetName))
    , m_times{times[0], times[1]}
    , m_decided(decided)
{
}

WrittenCopy::~WrittenCopy()
{
    if (!m_temporaryName.isEmpty())
        ::unlinkat(m_folder->get(), m_temporaryName.constData(), 0);
}

Placement WrittenCopy::place(const BeforePlace &beforePlace)
{
    Placement placement;
    const auto failed = [&placement](const QString &reason, int error) {
        placement.outcome = Placement::Outcome::Failed;
        placement.reason = reason;
        placement.error = error;
        return placement;
    };
    const int folder = m_folder->get();
    struct stat seen;
    if (!TargetState::at(folder, m_targetName, &seen).sameAs(m_decided)) {
        placement.outcome = Placement::Outcome::TargetChanged;
        return placement;
    }
    if (beforePlace) {
        if (const std::optional<QString> refusal = beforePlace([this] { return temporaryThere(); }))
            return failed(*refusal, 0);
    }
    if (const auto &beforeRename = copyWriterHooks().beforeRename)
        beforeRename(folder, m_targetName);
    bool targetChanged = false;
    if (const int error = rename(m_decided.present && S_ISREG(seen.st_mode), targetChanged)) {
        if (targetChanged) {
            placement.outcome = Placement::Outcome::TargetChanged;
            return placement;
        }
        if (error == ENOENT && !temporaryThere())
            return failed(QStringLiteral("新しい内容の一時ファイルが名前を変える前に消えました"), error);
        if (!m_displacedKept.isEmpty())
            return failed(QStringLiteral("別のプログラムが保存した内容を元の名前に戻せませんでした（%1 にあります）")
                              .arg(QFile::decodeName(m_displacedKept)),
                          error);
        return failed(SystemErrorText(error), error);
    }
    m_temporaryName.clear();
    placement.timesError = KeepTimesAfterRename(folder, m_targetName, m_times);
    return placement;
}

namespace {

// Errors by which a file system refuses a flag of renameat2 that it does not offer.
bool flagRefused(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

} // namespace

int WrittenCopy::rename(bool exchange, bool &targetChanged)
{
    const int folder = m_folder->get();
    const char *temporary = m_temporaryName.constData();
    const char *target = m_targetName.constData();
    const bool flagsOffered = !copyWriterHooks().refuseRenameFlags;
    bool noReplace = !m_decided.present;
    if (exchange && flagsOffered) {
        if (::renameat2(folder, temporary, folder, target, RENAME_EXCHANGE) == 0)
            return checkDisplaced(targetChanged);
        const int error = errno;
        // Where the file system exchanges nothing, the look before stands alone.
        if (flagRefused(error))
            return ::renameat(folder, temporary, folder, target) == 0 ? 0 : errno;
        // Nothing at the target any more (its trash backup took it): the copy takes the
        // name while nothing else does.
        if (error != ENOENT || !temporaryThere())
            return error;
        noReplace = true;
    }
    if (noReplace && flagsOffered) {
        if (::renameat2(folder, temporary, folder, target, RENAME_NOREPLACE) == 0)
            return 0;
        targetChanged = errno == EEXIST;
        // A file system that does not take the flag refuses it so; the look before
        // stands alone there.
        if (!flagRefused(errno))
            return errno;
    }
    return ::renameat(folder, temporary, folder, target) == 0 ? 0 : errno;
}

int WrittenCopy::checkDisplaced(bool &targetChanged)
{
    const int folder = m_folder->get();
    const char *temporary = m_temporaryName.constData();
    // The exchange moved the displaced file's change time; the rest tells it.
    struct stat displaced;
    if (::fstatat(folder, temporary, &displaced, AT_SYMLINK_NOFOLLOW) == 0
        && IdentityOf(displaced) == m_decided.identity) {
        ::unlinkat(folder, temporary, 0);
        return 0;
    }
    // Another program saved the target at the last moment: its file goes back to its name.
    targetChanged = true;
    if (::renameat2(folder, temporary, folder, m_targetName.constData(), RENAME_EXCHANGE) == 0)
        return EEXIST;
    const int error = errno;
    targetChanged = false;
    m_displacedKept = m_temporaryName;
    m_temporaryName.clear();
    return error;
}

bool WrittenCopy::temporaryThere() const
{
    return !m_temporaryName.isEmpty() && IsRegularFileAt(m_folder->get(), m_temporaryName.constData());
}

CopyWrite WriteCopy(const CopySource &source, const std::shared_ptr<const Descriptor> &folder, const QByteArray &name,
                    const TargetState &decided, bool syncAlone, qint64 stepBytes,
                    const std::function<bool(qint64)> &afterStep)
{
    CopyWrite result;
    const auto failed = [&result](CopyWrite::Failure failure, int error) -> CopyWrite {
        result.failure = failure;
        result.error = error;
        result.written.reset();
        return std::move(result);
    };
    // No wait on a FIFO in the file's place: it is opened, and refused as no regular file.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (source.followsLink ? 0 : O_NOFOLLOW);
    int opened;
    do {
        opened = ::openat(source.folder, source.name.constData(), flags);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0)
        return failed(CopyWrite::Failure::SourceOpen, errno);
    const Descriptor input(opened);
    struct stat before;
    if (::fstat(input.get(), &before) != 0)
        return failed(CopyWrite::Failure::Read, errno);
    if (!S_ISREG(before.st_mode))
        return failed(CopyWrite::Failure::SourceNotRegular, EINVAL);
    if (source.expected && IdentityOf(before) != *source.expected) {
        if (!writtenSinceListed(IdentityOf(before), *source.expected))
            return failed(CopyWrite::Failure::SourceNotExpected, 0);
        // A file written to since it was listed is read only by a caller that keeps
        // what it reads of a changing file: any other would drop the copy anyway.
        if (!source.keepsChangedRead)
            return failed(CopyWrite::Failure::SourceChanged, 0);
    }

    const int target = folder->get();
    Temporary temporary = makeTemporaryBeside(target, name);
    if (!temporary.file.isOpen())
        return failed(CopyWrite::Failure::Write, temporary.error);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    // From here on the temporary file goes with the object on a failure.
    result.written = std::make_unique<WrittenCopy>(folder, temporary.name, name, times, decided);
    const int output = temporary.file.get();
    struct stat existing;
    if (::fstatat(target, name.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(existing.st_mode)
        && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
        && ::fchown(output, existing.st_uid, existing.st_gid) != 0) {
        // Without the right to give the file away, keep at least its group where allowed.
        [[maybe_unused]] const int groupKept = ::fchown(output, uid_t(-1), existing.st_gid);
    }

    bool stopped = false;
    const ContentCopy contents = CopyFileContents(input.get(), output, stepBytes, [&](qint64 copied) {
        stopped = afterStep && !afterStep(copied);
        return !stopped;
    });
    if (stopped)
        return failed(CopyWrite::Failure::Stopped, ECANCELED);
    if (contents.error != 0)
        return failed(contents.readFailed ? CopyWrite::Failure::Read : CopyWrite::Failure::Write, contents.error);
    struct stat after;
    if (::fstat(input.get(), &after) != 0)
        return failed(CopyWrite::Failure::SourceChanged, 0);
    if (after.st_size != before.st_size || after.st_size != contents.bytes
        || after.st_mtim.tv_sec != before.st_mtim.tv_sec || after.st_mtim.tv_nsec != before.st_mtim.tv_nsec) {
        if (!source.keepsChangedRead)
            return failed(CopyWrite::Failure::SourceChanged, 0);
        result.sourceChanged = true;
    }
    if (::fchmod(output, before.st_mode & 0777) != 0 && !cannotHoldPermissions(errno))
        return failed(CopyWrite::Failure::Write, errno);
    if (::futimens(output, times) != 0)
        return failed(CopyWrite::Failure::Times, errno);
    if (syncAlone) {
        int synced;
        do {
            synced = ::fdatasync(output);
        } while (synced != 0 && errno == EINTR);
        if (synced != 0)
            return failed(CopyWrite::Failure::Write, errno);
    }
    if (::close(temporary.file.release()) != 0 && errno != EINTR)
        return failed(CopyWrite::Failure::Write, errno);
    struct stat still;
    if (::fstatat(source.folder, source.name.constData(), &still, source.followsLink ? 0 : AT_SYMLINK_NOFOLLOW) != 0
        || still.st_dev != before.st_dev || still.st_ino != before.st_ino)
        return failed(CopyWrite::Failure::SourceReplaced, 0);
    result.written->setBytes(contents.bytes);
    return result;
}

DurableCopies::Copy::Copy() = default;

DurableCopies::Copy::~Copy() = default;

void DurableCopies::Copy::make(const QString &source, const std::shared_ptr<const Descriptor> &folder,
                               const QByteArray &name, const TargetState &decided, DurableCopies &copies)
{
    const bool batched = copies.syncsWith(folder->get());
    CopyWrite copy = WriteCopy(CopySource{AT_FDCWD, QFile::encodeName(source), true, std::nullopt}, folder, name,
                               decided, !batched, WholeFile);
    switch (copy.failure) {
    case CopyWrite::Failure::None:
        break;
    case CopyWrite::Failure::SourceNotRegular:
        return fail(SystemErrorText(EINVAL), EINVAL);
    case CopyWrite::Failure::SourceChanged:
    case CopyWrite::Failure::SourceReplaced:
        return fail(QStringLiteral("コピー中にコピー元のファイルが変わりました"), 0);
    case CopyWrite::Failure::Times:
        // A copy without its source's date would read as a newer file at the next
        // comparison: it is not put in place, and the reason names the date.
        return fail(QStringLiteral("コピー先に日時を設定できません（%1）").arg(SystemErrorText(copy.error)), copy.error);
    default:
        return fail(SystemErrorText(copy.error), copy.error);
    }
    m_written = std::move(copy.written);
    m_number = batched ? copies.m_syncs.count() : 0;
}

void DurableCopies::Copy::fail(const QString &reason, int error)
{
    m_failure = reason;
    m_error = error;
    m_written.reset();
}

Placement DurableCopies::Copy::place(const BeforePlace &beforePlace)
{
    if (!m_written) {
        Placement failed;
        failed.outcome = Placement::Outcome::Failed;
        failed.reason = m_failure;
        failed.error = m_error;
        return failed;
    }
    return m_written->place(beforePlace);
}

DurableCopies::DurableCopies(int inFlight, qint64 inFlightBytes, int syncBatch, int inFlightFolders)
    : m_inFlight(inFlight), m_inFlightBytes(inFlightBytes), m_inFlightFolders(inFlightFolders), m_syncs(quint64(syncBatch))
{
    // The workers spend much of their time waiting for the file system. Each holds two
    // descriptors (and, a moment, a third): they take at most a quarter of the limit.
    const rlim_t limit = openFileLimit();
    const int workers = std::max(4, 2 * QThread::idealThreadCount());
    m_workers.setMaxThreadCount(limit == RLIM_INFINITY ? workers : int(std::clamp<rlim_t>(limit / 12, 1, rlim_t(workers))));
}

DurableCopies::~DurableCopies()
{
    m_workers.waitForDone();
}

int DurableCopies::foldersForOpenFileLimit()
{
    const rlim_t limit = openFileLimit();
    return limit == RLIM_INFINITY ? MaxInFlightFolders : int(std::clamp<rlim_t>(limit / 4, 1, MaxInFlightFolders));
}

bool DurableCopies::full(qint64 bytes, const Descriptor *folder) const
{
    if (m_pending.empty())
        return false;
    const bool anotherFolder = folder && m_heldFolders.count(folder) == 0
                               && qsizetype(m_heldFolders.size()) >= m_inFlightFolders;
    return m_oneAtATime || anotherFolder || qsizetype(m_pending.size()) >= m_inFlight
           || m_pendingBytes + bytes > m_inFlightBytes;
}

void DurableCopies::add(const QString &source, std::shared_ptr<const Descriptor> folder, const QByteArray &name,
                        qint64 bytes, const TargetState &decided)
{
    Pending pending;
    pending.source = source;
    pending.folder = std::move(folder);
    pending.name = name;
    pending.decided = decided;
    pending.bytes = bytes;
    push(std::move(pending));
    if (!m_oneAtATime)
        start(m_pending.back());
    tookSync(m_syncs.keepSyncing());
}

bool DurableCopies::syncsWith(int folder)
{
    struct stat info;
    return BatchSync::wholeFileSystemSyncs(folder) && ::fstat(folder, &info) == 0
           && m_syncs.note(info.st_dev, [folder] { return Descriptor(::fcntl(folder, F_DUPFD_CLOEXEC, 0)); });
}

void DurableCopies::addWritten(std::unique_ptr<WrittenCopy> written, bool syncedAlone)
{
    Pending pending;
    pending.folder = written->folder();
    pending.bytes = written->bytes();
    pending.made = std::make_unique<Copy>();
    pending.made->m_number = syncedAlone ? 0 : m_syncs.count();
    pending.made->m_written = std::move(written);
    push(std::move(pending));
    tookSync(m_syncs.keepSyncing());
}

void DurableCopies::push(Pending pending)
{
    pending.added = ++m_added;
    m_pendingBytes += pending.bytes;
    ++m_heldFolders[pending.folder.get()];
    m_pending.push_back(std::move(pending));
}

void DurableCopies::start(Pending &pending)
{
    auto job = std::make_shared<std::packaged_task<std::unique_ptr<Copy>()>>(
        [this, source = pending.source, folder = pending.folder, name = pending.name, decided = pending.decided] {
            return makeCopy(source, folder, name, decided);
        });
    pending.copy = job->get_future();
    pending.started = true;
    m_workers.start([job] { (*job)(); });
}

std::unique_ptr<DurableCopies::Copy> DurableCopies::makeCopy(const QString &source,
                                                             const std::shared_ptr<const Descriptor> &folder,
                                                             const QByteArray &name, const TargetState &decided)
{
    auto copy = std::make_unique<Copy>();
    copy->make(source, folder, name, decided, *this);
    return copy;
}

void DurableCopies::tookSync(int error)
{
    if (error != 0) {
        // Whatever was written before the failure showed may have been lost.
        m_syncError = error;
        m_failedUpTo = m_added;
    }
}

void DurableCopies::discardAll()
{
    // Copies still queued are taken off the queue unmade (their futures then hold a
    // broken promise); those made are dropped with their temporary files. A sync under
    // way goes on: it covers nothing that is placed now.
    m_workers.clear();
    m_workers.waitForDone();
    m_pending.clear();
    m_pendingBytes = 0;
    m_heldFolders.clear();
}

void DurableCopies::forgetFileSystems(const std::function<void()> &whileWaiting)
{
    m_syncs.forgetFileSystems(whileWaiting);
}

bool DurableCopies::oldestReady()
{
    if (m_pending.empty())
        return false;
    Pending &oldest = m_pending.front();
    if (!oldest.made) {
        if (!oldest.started || oldest.copy.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return false;
        oldest.made = oldest.copy.get();
    }
    tookSync(m_syncs.keepSyncing());
    return !oldest.made->failure().isEmpty() || oldest.added <= m_failedUpTo || m_syncs.durable(oldest.made->m_number);
}

std::unique_ptr<DurableCopies::Copy> DurableCopies::takeOldest(const std::function<void()> &whileWaiting)
{
    Pending oldest = std::move(m_pending.front());
    m_pending.pop_front();
    m_pendingBytes -= oldest.bytes;
    if (const auto held = m_heldFolders.find(oldest.folder.get()); held != m_heldFolders.end() && --held->second == 0)
        m_heldFolders.erase(held);
    std::unique_ptr<Copy> copy = oldest.made      ? std::move(oldest.made)
                                 : oldest.started ? oldest.copy.get()
                                                  : makeCopy(oldest.source, oldest.folder, oldest.name, oldest.decided);
    if (!m_oneAtATime && IsOutOfSpace(copy->m_error)) {
        // The copies after it may hold the space it needed: those made here are dropped,
        // to be made again one at a time, and it is made again on its own.
        m_oneAtATime = true;
        for (Pending &later : m_pending) {
            if (later.source.isEmpty())
                continue;
            if (later.started && !later.made)
                later.copy.get();
            later.made.reset();
            later.started = false;
        }
        copy = makeCopy(oldest.source, oldest.folder, oldest.name, oldest.decided);
    }
    while (copy->failure().isEmpty() && oldest.added > m_failedUpTo && !m_syncs.durable(copy->m_number))
        tookSync(m_syncs.waitUntilDurable(copy->m_number, whileWaiting));
    if (copy->failure().isEmpty() && oldest.added <= m_failedUpTo)
        copy->fail(SystemErrorText(m_syncError), m_syncError);
    tookSync(m_syncs.keepSyncing());
    return copy;
}

BatchSync::BatchSync(quint64 batch)
    : m_batch(batch)
{
}

BatchSync::~BatchSync()
{
    if (m_sync.valid())
        m_sync.wait();
}

// FUSE hands a file's own sync to its server, but a sync of the whole file system
// reaches most servers not at all.
bool BatchSync::wholeFileSystemSyncs(int descriptor)
{
    struct statfs info;
    return ::fstatfs(descriptor, &info) != 0 || info.f_type != FUSE_SUPER_MAGIC;
}

bool BatchSync::note(dev_t device, const std::function<Descriptor()> &open)
{
    const QMutexLocker lock(&m_fileSystemsLock);
    if (m_fileSystems.count(device) != 0)
        return true;
    // A descriptor that could not be opened would fail every later sync.
    Descriptor opened = open();
    if (!opened.isOpen())
        return false;
    m_fileSystems.emplace(device, std::move(opened));
    return true;
}

int BatchSync::keepSyncing()
{
    int error = 0;
    if (m_sync.valid() && m_sync.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        error = end();
    if (!m_sync.valid() && m_counted.load() - m_durable >= m_batch)
        start();
    return error;
}

int BatchSync::waitUntilDurable(quint64 number, const std::function<void()> &whileWaiting)
{
    while (!durable(number)) {
        if (!m_sync.valid())
            start();
        if (const int error = end(whileWaiting))
            return error;
    }
    return 0;
}

void BatchSync::forgetFileSystems(const std::function<void()> &whileWaiting)
{
    if (m_sync.valid())
        end(whileWaiting);
    const QMutexLocker lock(&m_fileSystemsLock);
    m_fileSystems.clear();
}

void BatchSync::start()
{
    m_sync = std::async(std::launch::async, [this] {
        // Every file counted so far is written and closed: the sync covers it.
        Round round{m_counted.load(), 0};
        std::vector<int> fileSystems;
        {
            const QMutexLocker lock(&m_fileSystemsLock);
            for (const auto &[device, descriptor] : m_fileSystems)
                fileSystems.push_back(descriptor.get());
        }
        for (const int descriptor : fileSystems)
            if (::syncfs(descriptor) != 0 && round.error == 0)
                round.error = errno;
        return round;
    });
}

int BatchSync::end(const std::function<void()> &whileWaiting)
{
    while (whileWaiting && m_sync.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
        whileWaiting();
    const Round round = m_sync.get();
    if (round.error == 0)
        m_durable = std::max(m_durable, round.covered);
    return round.error;
}

} // namespace platform
