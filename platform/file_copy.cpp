#include "platform/file_copy.h"

#include "platform/atomic_file.h"
#include "platform/descriptor.h"
#include "platform/file_handles.h"

#include <QFile>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
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

// Errors by which a file system refuses a way of copying that another way may do.
bool anotherWayMayDo(int error)
{
    return error == EXDEV || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL || error == ENOTTY;
}

bool outOfSpace(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

QString systemText(int error)
{
    return SystemErrorText(error);
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

DurableCopies::Copy::Copy(const QString &target, std::shared_ptr<const Descriptor> folder)
    : m_target(target), m_folder(std::move(folder))
{
}

DurableCopies::Copy::~Copy() = default;

void DurableCopies::Copy::make(const QString &source, DurableCopies &copies)
{
    int opened;
    do {
        opened = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0)
        return fail(systemText(errno), errno);
    const Descriptor input(opened);
    struct stat info = {};
    if (::fstat(input.get(), &info) != 0)
        return fail(systemText(errno), errno);
    if (!S_ISREG(info.st_mode))
        return fail(systemText(EINVAL), EINVAL);
    if (m_folder) {
        const QByteArray target = QFile::encodeName(m_target);
        m_file = std::make_unique<AtomicFile>(m_folder, target.sliced(target.lastIndexOf('/') + 1),
                                              int(info.st_mode & 07777));
    } else {
        m_file = std::make_unique<AtomicFile>(m_target, int(info.st_mode & 07777));
    }
    if (!m_file->open())
        return fail(m_file->errorString(), m_file->error());
    if (BatchSync::wholeFileSystemSyncs(m_file->descriptor()))
        m_file->syncElsewhere();
    struct stat written;
    if (::fstat(m_file->descriptor(), &written) == 0)
        copies.m_syncs.note(written.st_dev, [this] {
            if (m_folder)
                return Descriptor(::fcntl(m_folder->get(), F_DUPFD_CLOEXEC, 0));
            const QByteArray target = m_file->targetPath();
            const qsizetype slash = target.lastIndexOf('/');
            const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.first(slash);
            Descriptor handle(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!handle.isOpen())
                handle = Descriptor(::fcntl(m_file->descriptor(), F_DUPFD_CLOEXEC, 0));
            return handle;
        });
    const ContentCopy copied = CopyFileContents(input.get(), m_file->descriptor(), WholeFile);
    if (copied.error != 0)
        return fail(systemText(copied.error), copied.error);
    if (copied.bytes != info.st_size)
        return fail(QStringLiteral("コピー中にコピー元のファイルが変わりました"), 0);
    // A file system without permission bits (FAT) still takes the copy.
    ::fchmod(m_file->descriptor(), info.st_mode & 07777);
    m_times[0] = info.st_atim;
    m_times[1] = info.st_mtim;
    ::futimens(m_file->descriptor(), m_times);
    if (!m_file->finish())
        return fail(m_file->errorString(), m_file->error());
    m_written = copies.m_syncs.count();
}

void DurableCopies::Copy::fail(const QString &reason, int error)
{
    m_failure = reason;
    m_error = error;
    m_file.reset();
}

bool DurableCopies::Copy::ready() const
{
    return m_failure.isEmpty() && m_file && m_file->replacementExists();
}

std::optional<QString> DurableCopies::Copy::place()
{
    if (!m_failure.isEmpty())
        return m_failure;
    if (!m_file->place()) {
        fail(m_file->errorString(), m_file->error());
        return m_failure;
    }
    KeepTimesAfterRename(m_file->folder(), m_file->targetPath(), m_times);
    return std::nullopt;
}

DurableCopies::DurableCopies(int inFlight, qint64 inFlightBytes, int syncBatch)
    : m_inFlight(inFlight), m_inFlightBytes(inFlightBytes), m_syncs(quint64(syncBatch))
{
    // The workers spend much of their time waiting for the file system.
    m_workers.setMaxThreadCount(std::max(4, 2 * QThread::idealThreadCount()));
}

DurableCopies::~DurableCopies()
{
    m_workers.waitForDone();
}

bool DurableCopies::full(qint64 bytes) const
{
    return !m_pending.empty()
           && (m_oneAtATime || qsizetype(m_pending.size()) >= m_inFlight || m_pendingBytes + bytes > m_inFlightBytes);
}

void DurableCopies::add(const QString &source, const QString &target, qint64 bytes,
                        std::shared_ptr<const Descriptor> folder)
{
    m_pending.push_back({source, target, std::move(folder), bytes, ++m_added, false, {}});
    m_pendingBytes += bytes;
    if (!m_oneAtATime)
        start(m_pending.back());
    tookSync(m_syncs.keepSyncing());
}

void DurableCopies::start(Pending &pending)
{
    auto job = std::make_shared<std::packaged_task<std::unique_ptr<Copy>()>>(
        [this, source = pending.source, target = pending.target, folder = pending.folder] {
            return makeCopy(source, target, folder);
        });
    pending.copy = job->get_future();
    pending.started = true;
    m_workers.start([job] { (*job)(); });
}

std::unique_ptr<DurableCopies::Copy> DurableCopies::makeCopy(const QString &source, const QString &target,
                                                             const std::shared_ptr<const Descriptor> &folder)
{
    auto copy = std::make_unique<Copy>(target, folder);
    copy->make(source, *this);
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
}

std::unique_ptr<DurableCopies::Copy> DurableCopies::takeOldest()
{
    Pending oldest = std::move(m_pending.front());
    m_pending.pop_front();
    m_pendingBytes -= oldest.bytes;
    std::unique_ptr<Copy> copy = oldest.started ? oldest.copy.get() : makeCopy(oldest.source, oldest.target, oldest.folder);
    if (!m_oneAtATime && outOfSpace(copy->m_error)) {
        // The copies after it may hold the space it needed: they are dropped, to be made
        // again one at a time, and it is made again on its own.
        m_oneAtATime = true;
        for (Pending &later : m_pending) {
            if (later.started)
                later.copy.get();
            later.started = false;
        }
        copy = makeCopy(oldest.source, oldest.target, oldest.folder);
    }
    while (copy->failure().isEmpty() && oldest.added > m_failedUpTo && !m_syncs.durable(copy->m_written))
        tookSync(m_syncs.waitUntilDurable(copy->m_written));
    if (copy->failure().isEmpty() && oldest.added <= m_failedUpTo)
        copy->fail(systemText(m_syncError), m_syncError);
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

void BatchSync::note(dev_t device, const std::function<Descriptor()> &open)
{
    const QMutexLocker lock(&m_fileSystemsLock);
    if (m_fileSystems.count(device) == 0)
        m_fileSystems[device] = open();
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
