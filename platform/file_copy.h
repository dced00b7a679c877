#pragma once

#include "platform/descriptor.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <map>
#include <optional>

#include <ctime>
#include <sys/types.h>

namespace platform {

class AtomicFile;

// How a copy of a file's contents ended.
struct ContentCopy
{
    // Bytes copied.
    qint64 bytes = 0;
    // 0 on success, else the system's error number (ECANCELED when the caller stopped it).
    int error = 0;
    // The error came from reading the source; else from writing (or from a step that
    // does both at once in the system).
    bool readFailed = false;
};

// Copies the whole contents of the open regular file `input` into the open, empty file
// `output`, without passing them through this process where the file systems allow: a
// clone that shares the source's blocks (FICLONE) where the file system offers one,
// else copy_file_range, else read and write. A file system that refuses one way
// (EXDEV, EOPNOTSUPP, ENOSYS, EINVAL) gets the next. The bytes go in steps of
// `stepBytes` (a clone is one step); after each step `afterStep`, when given, receives
// the bytes copied so far and may stop the copy by returning false.
ContentCopy CopyFileContents(int input, int output, qint64 stepBytes,
                             const std::function<bool(qint64 copied)> &afterStep = {});

// Gives the file `name` in the open folder `folder` the times `times` (access,
// modification) once more when its modification time differs from `times[1]` by more
// than a second: some file systems (FUSE FAT) give a file the time of its renaming. The
// name is not followed when it is a link. Returns 0, or the system's error number.
int KeepTimesAfterRename(int folder, const QByteArray &name, const struct timespec times[2]);

// Makes many written files durable together. A writer notes the file system of each
// file before it writes there (note), counts each file once it is written and closed
// (count), and a sync of every file system noted (syncfs) that begins after that count
// covers the file; only then may the file take its final name. A sync starts once
// `batch` counted files wait for one and runs on a thread of its own while the writer
// goes on. Files on a file system that such a sync does not reach (FUSE, whose servers
// mostly take no such sync: wholeFileSystemSyncs) are synced on their own by the writer.
class BatchSync
{
public:
    explicit BatchSync(quint64 batch);
    // Waits for a sync under way.
    ~BatchSync();
    BatchSync(const BatchSync &) = delete;
    BatchSync &operator=(const BatchSync &) = delete;

    // Whether a sync of the whole file system that the open `descriptor` is on makes the
    // files written there durable.
    static bool wholeFileSystemSyncs(int descriptor);
    // Keeps a descriptor for the syncs of the file system `device` unless one is kept
    // already: `open` gives it (a folder rather than a file, whose blocks a descriptor
    // would hold once the file is removed). Thread-safe.
    void note(dev_t device, const std::function<Descriptor()> &open);
    // Counts a file written and closed; returns its number. Thread-safe.
    quint64 count() { return ++m_counted; }
    // Whether the file of `number` is on the disk.
    bool durable(quint64 number) const { return number <= m_durable; }
    // Takes in a sync that ended and starts one when `batch` counted files wait for one.
    // Returns the error number of a sync that ended with a failure (the system keeps a
    // failure to write for the file system from our first file there on: any file
    // counted may then have lost data), else 0.
    int keepSyncing();
    // Waits until the file of `number` is on the disk, starting a sync when none is under
    // way; `whileWaiting`, when given, is called every tenth of a second meanwhile.
    // Returns as keepSyncing() does; on a failure the file is not durable.
    int waitUntilDurable(quint64 number, const std::function<void()> &whileWaiting = {});
    // Once no file counted is waited for any more: waits for a sync under way (calling
    // `whileWaiting` as waitUntilDurable does) and closes the descriptors kept for the
    // syncs, so that no file system stays busy (its disk can be unmounted). The next
    // note() opens one again.
    void forgetFileSystems(const std::function<void()> &whileWaiting = {});

private:
    struct Round
    {
        quint64 covered = 0;
        int error = 0;
    };
    void start();
    int end(const std::function<void()> &whileWaiting = {});

    quint64 m_batch;
    std::atomic<quint64> m_counted = 0;
    quint64 m_durable = 0;
    std::future<Round> m_sync;
    QMutex m_fileSystemsLock;
    std::map<dev_t, Descriptor> m_fileSystems;
};

// Copies files to their targets so that each copy is whole and on the disk before it
// takes its target's name, while many copies share the wait for the disk. Each file is
// copied on a worker thread into a temporary file beside its target (an AtomicFile:
// links at a target path are followed, a target given in an open folder is looked up
// there alone, an existing target keeps its owner where the process may set it) and gets the source's permission bits and times. The copies
// written so far are made durable together, by a sync of their file systems (syncfs)
// that runs while the next copies are written (a copy on a FUSE file system, whose
// servers mostly take no such sync, is synced on its own); the caller takes the copies
// back in the order it gave them, each once it is on the disk, and puts each in place.
// Until then every target stays as it was; a copy that is never put in place leaves no
// temporary file.
//
// A sync that reports a failure to write (the system keeps it for the file system
// since our first temporary file there was made) fails every copy in hand, since any of
// them may have lost data. A copy that failed for want of space (ENOSPC, EDQUOT) while
// others were under way is made once more on its own, and from then on every copy is
// made alone, once the copies before it are in place: so a disk that is nearly full
// fails the same copies as one copy at a time would.
class DurableCopies
{
public:
    // One file's copy, in a temporary file beside its target until placed.
    class Copy
    {
    public:
        // With `folder` given, `target`'s last element is looked up in that open folder
        // alone (AtomicFile's folder constructor: a link there is refused).
        explicit Copy(const QString &target, std::shared_ptr<const Descriptor> folder = {});
        ~Copy();
        Copy(const Copy &) = delete;
        Copy &operator=(const Copy &) = delete;

        // Why the copy failed, in the system's words; empty when it is ready to be placed.
        QString failure() const { return m_failure; }
        // Whether the copy is whole and its temporary file still beside the target.
        bool ready() const;
        // Renames the copy over its target and keeps its times there. Returns the reason
        // when the rename failed (the target is then as it was), nullopt on success.
        std::optional<QString> place();

    private:
        friend class DurableCopies;
        void make(const QString &source, DurableCopies &copies);
        void fail(const QString &reason, int error);

        QString m_target;
        std::shared_ptr<const Descriptor> m_folder;
        std::unique_ptr<AtomicFile> m_file; // from the start of the copy until it fails
        struct timespec m_times[2] = {};
        QString m_failure;
        int m_error = 0;
        // The count of copies written when this one was: a sync that began after it
        // covers it.
        quint64 m_written = 0;
    };

    // At most `inFlight` copies and, beyond the first, `inFlightBytes` bytes of them are
    // in hand at once (written or under way, not yet taken back); a sync starts once
    // `syncBatch` copies are written that no sync covers.
    explicit DurableCopies(int inFlight = DefaultInFlight, qint64 inFlightBytes = DefaultInFlightBytes,
                           int syncBatch = DefaultSyncBatch);
    // Waits for the work under way; copies not taken back leave no temporary file.
    ~DurableCopies();
    DurableCopies(const DurableCopies &) = delete;
    DurableCopies &operator=(const DurableCopies &) = delete;

    // Whether another copy of `bytes` bytes would exceed the limits: the caller then
    // takes the oldest back first.
    bool full(qint64 bytes) const;
    // Starts the copy of the file `source` (expected to hold `bytes` bytes) to the path
    // `target`; with `folder` given, to the entry of `target`'s name in that open folder,
    // which holds the temporary file and takes the rename.
    void add(const QString &source, const QString &target, qint64 bytes, std::shared_ptr<const Descriptor> folder = {});
    // Whether copies are waiting to be taken back.
    bool isEmpty() const { return m_pending.empty(); }
    // Waits for the oldest copy to end, and to be on the disk, and hands it over.
    std::unique_ptr<Copy> takeOldest();
    // Drops every copy in hand: those not begun are never made, those under way are
    // waited for; none of their temporary files stays and every target stays as it was.
    void discardAll();

    static constexpr int DefaultInFlight = 1024;
    static constexpr qint64 DefaultInFlightBytes = qint64(256) << 20;
    static constexpr int DefaultSyncBatch = 256;

private:
    struct Pending
    {
        QString source;
        QString target;
        std::shared_ptr<const Descriptor> folder;
        qint64 bytes = 0;
        // The count of copies added when this one was.
        quint64 added = 0;
        bool started = false;
        std::future<std::unique_ptr<Copy>> copy;
    };
    void start(Pending &pending);
    std::unique_ptr<Copy> makeCopy(const QString &source, const QString &target,
                                   const std::shared_ptr<const Descriptor> &folder);
    // Takes in the outcome of a sync that ended.
    void tookSync(int error);

    int m_inFlight;
    qint64 m_inFlightBytes;
    qint64 m_pendingBytes = 0;
    // Set after a copy ran out of space beside others: every copy is then made alone.
    bool m_oneAtATime = false;
    std::deque<Pending> m_pending;
    BatchSync m_syncs;
    quint64 m_added = 0;
    // Set once a sync failed: every copy added up to then fails with it.
    int m_syncError = 0;
    quint64 m_failedUpTo = 0;
    QThreadPool m_workers;
};

} // namespace platform
