#pragma once

#include "platform/descriptor.h"
#include "platform/file_handles.h"

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
#include <fcntl.h>
#include <sys/types.h>

struct stat;

namespace platform {

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
    // would hold once the file is removed). False when none is kept, because `open`
    // could not open one (out of descriptors): the syncs do not reach that file system,
    // and its files must be synced on their own. Thread-safe.
    bool note(dev_t device, const std::function<Descriptor()> &open);
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

// Whether the system's `error` tells that a disk has no room left (ENOSPC, EDQUOT).
bool IsOutOfSpace(int error);

// What stood at a copy's target when the copy was decided on: nothing, or an entry as
// the file system identifies it (device and inode) with its size and its modification
// and change times to the nanosecond. Any write to a file moves its change time, and a
// file saved by replacing it has another inode: a copy whose target is no longer in the
// state it was decided on would overwrite what someone saved meanwhile.
struct TargetState
{
    // Default: nothing stands there.
    bool present = false;
    // The entry could not be examined (the system's error): no state equals this one.
    int unreadable = 0;
    // Device, inode, size and modification time of an entry that is there.
    FileIdentity identity;
    // Its change time in nanoseconds.
    qint64 changedNs = 0;

    // Examines the entry `name` of the open folder `folder` (AT_FDCWD: `name` is a path)
    // without following a link there; `info`, when given, receives what was read.
    static TargetState at(int folder, const QByteArray &name, struct stat *info = nullptr);
    // The state of an entry that is there, examined as `info`.
    static TargetState of(const struct stat &info);
    bool sameAs(const TargetState &other) const;
};

// Runs just before a copy takes its target's name, once the target is known to be as it
// was (the trash backup of the old file), given a look at whether the copy is still
// beside the target (`replacementReady`, as BackUpToTrashAt takes it). A reason refuses
// the placing.
using BeforePlace = std::function<std::optional<QString>(const std::function<bool()> &replacementReady)>;

// How putting a copy in place ended.
struct Placement
{
    enum class Outcome {
        Placed,
        // The target is no longer in the state the copy was decided on (also: a file was
        // made where there was none, found by the rename itself): the copy is dropped and
        // the target left alone.
        TargetChanged,
        Failed,
    };
    Outcome outcome = Outcome::Placed;
    // Failed: why, in the system's words or as BeforePlace said it, and the system's
    // error number (0 for a reason of BeforePlace).
    QString reason;
    int error = 0;
    // Placed: the error of giving the copy its times once more after the rename
    // (KeepTimesAfterRename); 0 when they held.
    int timesError = 0;
};

// A copy of a file written and closed under a temporary name (WriteCopy) in an open
// folder, waiting to take the name of its target there once it is on the disk.
// Its temporary file is removed unless it is placed.
class WrittenCopy
{
public:
    // `decided` is the state of the target that the copy was decided on; `times` are the
    // access and modification times the copy was given.
    WrittenCopy(std::shared_ptr<const Descriptor> folder, QByteArray temporaryName, QByteArray targetName,
                const struct timespec (&times)[2], const TargetState &decided);
    ~WrittenCopy();
    WrittenCopy(const WrittenCopy &) = delete;
    WrittenCopy &operator=(const WrittenCopy &) = delete;

    const std::shared_ptr<const Descriptor> &folder() const { return m_folder; }
    // The bytes of the copy.
    qint64 bytes() const { return m_bytes; }
    void setBytes(qint64 bytes) { m_bytes = bytes; }
    // Puts the copy in place. The target is looked at again in the folder: when it is
    // not in the state the copy was decided on, the copy is dropped (TargetChanged).
    // Else `beforePlace` runs, the copy takes the target's name (a link there is
    // replaced, never written through) and gets its times once more where the rename
    // took them (KeepTimesAfterRename). Where the file system exchanges two names
    // (RENAME_EXCHANGE: ext4, xfs, btrfs, tmpfs), the copy is exchanged with the target,
    // and the file displaced is removed only once it is found to be the file decided on;
    // a file that another program saved there after the look goes back to its name
    // (TargetChanged). A copy decided on for a target that was not there takes the name
    // only while nothing is there (RENAME_NOREPLACE, where the file system takes it): a
    // file made after the look is TargetChanged too. Elsewhere the look stands alone. A
    // temporary file that another program removed before the rename fails the placing,
    // saying so. Unless it was placed, the target is as it was but for what
    // `beforePlace` did.
    Placement place(const BeforePlace &beforePlace = {});

private:
    // Gives the temporary file the target's name: with `exchange` (a regular file was
    // decided on and is there), by exchanging the two (RENAME_EXCHANGE) and checking the
    // file displaced; where none was decided on, never over a file made since
    // (RENAME_NOREPLACE); else, or where the file system takes neither flag, by a plain
    // rename. 0, or the system's error number; `targetChanged` when the target was not
    // the one decided on and stays as it was.
    int rename(bool exchange, bool &targetChanged);
    // After the exchange: removes the displaced file when it is the one decided on (its
    // identity, size and modification time to the nanosecond), else exchanges the two
    // back. Returns as rename() does; a failure to exchange back keeps the displaced file
    // under the temporary name (m_displacedKept).
    int checkDisplaced(bool &targetChanged);
    // Whether the temporary file is still there, not removed by anyone since.
    bool temporaryThere() const;

    std::shared_ptr<const Descriptor> m_folder;
    QByteArray m_temporaryName; // empty once placed
    QByteArray m_targetName;
    // Another program's file that could not be exchanged back to the target's name.
    QByteArray m_displacedKept;
    struct timespec m_times[2];
    TargetState m_decided;
    qint64 m_bytes = 0;
};

// The file that a copy reads: the entry `name` of the open folder `folder` (AT_FDCWD:
// `name` is a path), as its caller found it.
struct CopySource
{
    int folder = AT_FDCWD;
    QByteArray name;
    // A link in the file's place is followed to the file it leads to; else the open
    // fails with ELOOP.
    bool followsLink = true;
    // The file that the caller found there (device, inode, size and modification time):
    // another file in its place, or this one with an older time, is not copied
    // (SourceNotExpected); this one written to since fails as SourceChanged, unread
    // unless keepsChangedRead. None: any regular file there is copied.
    std::optional<FileIdentity> expected;
    // A source that changes while it is read (its size or modification time, or the
    // bytes read; still the same file) leaves the copy of what was read, with the times
    // seen at the open (CopyWrite::sourceChanged), rather than failing: for a file that
    // is written to all the time, whose copy would otherwise never be whole. Such a
    // source written to since the caller found it is read as it is at the open.
    bool keepsChangedRead = false;
};

// How writing a copy ended: written, or the step that failed.
struct CopyWrite
{
    enum class Failure {
        None,
        // The source could not be opened (`error`; ELOOP for a link not followed).
        SourceOpen,
        SourceNotRegular,
        // The source opened is not the file the caller expected.
        SourceNotExpected,
        // The caller stopped the copy.
        Stopped,
        Read,
        // Writing the temporary file failed: making it, its contents, its permission
        // bits, its sync or its close.
        Write,
        // The source changed while it was read (its size or modification time, or the
        // bytes read), or was written to since the caller found it (CopySource::expected).
        SourceChanged,
        // The source's name no longer leads to the file read: removed or replaced.
        SourceReplaced,
        Times,
    };
    Failure failure = Failure::None;
    // The system's error number of the failure, where it has one.
    int error = 0;
    // The copy written; null on a failure.
    std::unique_ptr<WrittenCopy> written;
    // The copy holds what was read of a source that changed meanwhile
    // (CopySource::keepsChangedRead).
    bool sourceChanged = false;
};

// The one writer of copies, for every program: writes the copy of `source` for the entry
// `name` of the open folder `folder`, whose state `decided` the copy was decided on (the
// copy is put in place only over that), into a temporary file beside the target, named
// by temporaryFilePathFor (so that every leftover is known by the one sweep,
// removeLeftoverTemporaryFiles). The source is opened and then checked with
// fstat (a regular file, the one the caller expected); its bytes go in steps of
// `stepBytes` (CopyFileContents: a clone or a copy within the system where the file
// systems allow), after each step `afterStep`, when given, receives the bytes copied so
// far and may stop the copy by returning false. The copy is whole only when the source
// kept its size and modification time while it was read and its name still leads to it
// afterwards. The temporary file gets the source's permission bits (a file system that
// cannot hold them still takes the copy, as "cp -p" does; no set-user, set-group or
// sticky bit), the owner and group of an existing target where the process may give
// them, and the source's times to the nanosecond; with `syncAlone` it is synced on its
// own before it is closed, else its writer makes it durable before it places it
// (DurableCopies). On a failure no temporary file stays.
CopyWrite WriteCopy(const CopySource &source, const std::shared_ptr<const Descriptor> &folder, const QByteArray &name,
                    const TargetState &decided, bool syncAlone, qint64 stepBytes,
                    const std::function<bool(qint64 copied)> &afterStep = {});

// Copies files to their targets so that each copy is whole and on the disk before it
// takes its target's name, while many copies share the wait for the disk. A copy is
// either made here, on a worker thread (WriteCopy, into a temporary file beside its
// target in the target's open folder), or written by the caller (addWritten). The copies
// written so far are made durable together, by a sync of their file systems (syncfs)
// that runs while the next copies are written (a copy on a file system that such a sync does not reach, or
// whose syncs got no descriptor, is synced on its own); the caller takes the copies back
// in the order it gave them, each once it is on the disk, and puts each in place
// (WrittenCopy::place, which leaves alone a target changed since the copy was decided
// on). Until then every target stays as it was; a copy that is never put in place leaves
// no temporary file.
//
// The copies in hand are bounded by their number, their bytes and the folders whose
// descriptors they hold (a share of the process's limit of open files): the caller takes
// the oldest back while another would exceed one of them (full).
//
// A sync that reports a failure to write (the system keeps it for the file system
// since our first temporary file there was made) fails every copy in hand, since any of
// them may have lost data. A copy made here that failed for want of space (ENOSPC,
// EDQUOT) while others were under way is made once more on its own, and from then on
// every copy is made alone, once the copies before it are in place: so a disk that is
// nearly full fails the same copies as one copy at a time would.
class DurableCopies
{
public:
    // One file's copy: written and waiting to be placed, or failed.
    class Copy
    {
    public:
        Copy();
        ~Copy();
        Copy(const Copy &) = delete;
        Copy &operator=(const Copy &) = delete;

        // Why the copy failed, in the system's words; empty when it is ready to be placed.
        QString failure() const { return m_failure; }
        // The system's error number of the failure; 0 when there is none or it has none.
        int error() const { return m_error; }
        // Puts the copy in place (WrittenCopy::place); a failed copy answers Failed with
        // its failure.
        Placement place(const BeforePlace &beforePlace = {});

    private:
        friend class DurableCopies;
        void make(const QString &source, const std::shared_ptr<const Descriptor> &folder, const QByteArray &name,
                  const TargetState &decided, DurableCopies &copies);
        void fail(const QString &reason, int error);

        std::unique_ptr<WrittenCopy> m_written; // null once failed
        QString m_failure;
        int m_error = 0;
        // The count of copies written when this one was: a sync that began after it
        // covers it. 0 for a copy synced on its own.
        quint64 m_number = 0;
    };

    // At most `inFlight` copies, `inFlightFolders` folders and, beyond the first copy,
    // `inFlightBytes` bytes of them are in hand at once (written or under way, not yet
    // taken back); a sync starts once `syncBatch` copies are written that no sync covers.
    explicit DurableCopies(int inFlight = DefaultInFlight, qint64 inFlightBytes = DefaultInFlightBytes,
                           int syncBatch = DefaultSyncBatch, int inFlightFolders = foldersForOpenFileLimit());
    // Waits for the work under way; copies not taken back leave no temporary file.
    ~DurableCopies();
    DurableCopies(const DurableCopies &) = delete;
    DurableCopies &operator=(const DurableCopies &) = delete;

    // Whether another copy of `bytes` bytes into the folder `folder` (null: one whose
    // folder is held already) would exceed the bounds: the caller then takes the oldest
    // back first.
    bool full(qint64 bytes, const Descriptor *folder = nullptr) const;
    // Starts the copy of the file `source` (expected to hold `bytes` bytes) to the entry
    // `name` of the open folder `folder`, which holds the temporary file and takes the
    // rename; `decided` is the state of the target that the copy was decided on.
    void add(const QString &source, std::shared_ptr<const Descriptor> folder, const QByteArray &name, qint64 bytes,
             const TargetState &decided);
    // For a caller that writes its copies itself: notes the file system of the open
    // folder `folder` for the syncs before a copy is written there. False when the syncs
    // do not reach it (FUSE, or no descriptor could be kept): the writer then syncs the
    // copy on its own before it closes it.
    bool syncsWith(int folder);
    // Takes in a copy written and closed by the caller (`syncedAlone`: synced on its own,
    // as syncsWith asked).
    void addWritten(std::unique_ptr<WrittenCopy> written, bool syncedAlone);
    // Whether copies are waiting to be taken back.
    bool isEmpty() const { return m_pending.empty(); }
    // Whether the oldest copy can be taken back without waiting: it is written (or
    // failed) and on the disk.
    bool oldestReady();
    // Waits for the oldest copy to end, and to be on the disk, and hands it over;
    // `whileWaiting`, when given, is called every tenth of a second of a wait for a sync.
    std::unique_ptr<Copy> takeOldest(const std::function<void()> &whileWaiting = {});
    // Drops every copy in hand: those not begun are never made, those under way are
    // waited for; none of their temporary files stays and every target stays as it was.
    void discardAll();
    // Once no copy is in hand: closes the descriptors kept for the syncs, as
    // BatchSync::forgetFileSystems does.
    void forgetFileSystems(const std::function<void()> &whileWaiting = {});

    // The folders that copies in hand may hold open: a quarter of the process's limit of
    // open files, at most MaxInFlightFolders.
    static int foldersForOpenFileLimit();

    static constexpr int DefaultInFlight = 1024;
    static constexpr qint64 DefaultInFlightBytes = qint64(256) << 20;
    static constexpr int DefaultSyncBatch = 256;
    static constexpr int MaxInFlightFolders = 256;

private:
    struct Pending
    {
        // The source of a copy made here; empty for one its caller wrote.
        QString source;
        std::shared_ptr<const Descriptor> folder;
        QByteArray name;
        TargetState decided;
        qint64 bytes = 0;
        // The count of copies added when this one was.
        quint64 added = 0;
        bool started = false;
        std::future<std::unique_ptr<Copy>> copy;
        // The copy once it is in hand here.
        std::unique_ptr<Copy> made;
    };
    void push(Pending pending);
    void start(Pending &pending);
    std::unique_ptr<Copy> makeCopy(const QString &source, const std::shared_ptr<const Descriptor> &folder,
                                   const QByteArray &name, const TargetState &decided);
    // Takes in the outcome of a sync that ended.
    void tookSync(int error);

    int m_inFlight;
    qint64 m_inFlightBytes;
    int m_inFlightFolders;
    qint64 m_pendingBytes = 0;
    // The folders that the copies in hand hold, with how many copies hold each.
    std::map<const Descriptor *, int> m_heldFolders;
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
