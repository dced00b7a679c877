#pragma once

#include "platform/descriptor.h"
#include "platform/run_mark.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

namespace platform {

// Permission bits that a write gives a file it creates, before the umask is taken off:
// readable and writable by everyone the umask allows (exports, listings, workbooks) ...
inline constexpr int SharedFileMode = 0666;
// ... or by the owner only (settings files, which can hold FTP passwords).
inline constexpr int PrivateFileMode = 0600;

// Writes one file so that a failure never costs the old one. The bytes go to a temporary
// file of this process in the target's folder (named by temporaryFilePathFor), every
// count is checked, the file is synced and closed with their results checked, and only
// then is it renamed over the target. On any failure, and when the object is dropped
// without commit(), the temporary file is removed and the target stays as it was.
//
// An existing target keeps its permission bits and, where the process may set them, its
// owner and group; a new file gets `newFileMode` less the umask. An existing target
// without write permission is refused, as an editor refuses it. A symbolic link is
// followed and the file it leads to is replaced; the link stays a link.
//
// An existing target that is not a regular file (a character or block device, a FIFO, a
// terminal, "/dev/stdout" on a pipe) is opened and written into directly, never
// replaced, and nothing in it is cut. So is whatever one of the system's descriptor
// links leads to ("/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"): when that is a regular
// file (the standard output redirected to a file) it is emptied first, as the shell's
// ">" would; the old contents are then not kept on a failure.
class AtomicFile
{
public:
    explicit AtomicFile(const QString &path, int newFileMode = SharedFileMode);
    // Writes the entry `name` of the open folder `folder` in the same way, every step
    // (the look at the target, the temporary file, the rename, its removal) taken in that
    // folder alone: a folder renamed, or put in the place of a link, after it was opened
    // leads nothing elsewhere. A link at `name` is refused (ELOOP), never followed, and
    // so is anything there that is not a regular file (EINVAL).
    AtomicFile(std::shared_ptr<const Descriptor> folder, const QByteArray &name, int newFileMode = SharedFileMode);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the temporary file (or opens the non-regular target). False on failure.
    bool open();
    // Writes all of `bytes`; false when any of them could not be written, after which
    // only cancel() or the destructor are of use.
    bool write(QByteArrayView bytes);
    // Asks the system to start writing what was written so far to the disk, without
    // waiting for it, so that a later finish() has less to wait for.
    void startWriteback();
    // Syncs, closes and puts the file in place; false, with the target as it was, when
    // any of these fails. The same as finish() followed by place().
    bool commit();
    // The first half of commit(): syncs and closes the file. Another thread may call
    // place() afterwards.
    bool finish();
    // The second half of commit(): renames the finished temporary file over the target.
    bool place();
    // Instead of place(), after finish(): hands the finished temporary file over to the
    // caller, who puts it in place or removes it; returns its name in folder() (empty for
    // a target written directly). The object then neither renames nor removes it.
    QByteArray takeFinishedTemporary();
    // Abandons the write: closes and removes the temporary file.
    void cancel();
    // Whether what place() would put over the target is there: the temporary file under
    // its name, not removed since by anyone (a target written directly is there itself).
    bool replacementExists() const;
    // Lets commit() skip the sync when the target did not exist at open(): nothing old
    // can then be lost, and a failure still leaves no partial file under the name. For
    // callers that create many new files at once (copying a tree); replacing an existing
    // file is always synced.
    void syncOnlyWhenReplacing() { m_syncNewFiles = false; }

    // The path given to the constructor (the name, for a file in an open folder).
    QString path() const { return m_path; }
    // The file that place() replaces (or that is written directly), links resolved; known
    // once open() succeeded. For a file in an open folder, its name there.
    QByteArray targetPath() const { return m_target; }
    // The open folder that targetPath() is looked up in; AT_FDCWD for a path.
    int folder() const;
    // Why the last failed call failed, in the system's words; empty before any failure.
    QString errorString() const;
    // The system's error number of the last failure; 0 before any failure.
    int error() const { return m_error; }

private:
    bool fail(int error);
    bool openTemporary(const QByteArray &target);
    bool openDirectly(const QByteArray &target, bool emptyFirst);

    QString m_path;
    int m_newFileMode;
    std::shared_ptr<const Descriptor> m_folder; // null for a path
    QByteArray m_target;    // the file that commit() replaces, links resolved
    QByteArray m_temporary; // empty when the target is written directly
    int m_descriptor = -1;
    int m_error = 0;
    bool m_failed = false;
    bool m_targetExisted = false;
    bool m_syncNewFiles = true;
    bool m_finished = false; // finish() succeeded: place() may rename
};

// Writes `bytes` as the whole new contents of `path` through an AtomicFile. Returns the
// system's reason when that failed (the target is then as it was), nullopt on success.
std::optional<QString> writeWholeFile(const QString &path, QByteArrayView bytes, int newFileMode = SharedFileMode);

// Writes `bytes` as the file `name` of the folder `folder`, made anew for its owner's
// eyes only (PrivateFileMode): whatever lay at the name (an earlier file open to others,
// a link, a FIFO) is taken away first, never followed, and the file is written within
// the folder as opened (AtomicFile on an open folder). Returns the system's reason when
// that failed, nullopt on success.
std::optional<QString> writePrivateFileAnew(const QString &folder, const QString &name, QByteArrayView bytes);

// A new name for a temporary file beside `target` (an encoded path), unique within this
// process: ".<name>.~<boot>-<process id>-<counter>-<check>.tmp" in the target's folder,
// of the run `run` (this process unless given), the name part cut so that the whole
// stays within the file system's name length. The check is eight hexadecimal digits of a
// SHA-256 digest of the run's machine and the name up to it, so that no name a user
// gives a file, and no name made on another machine, passes for one of ours.
QByteArray temporaryFilePathFor(const QByteArray &target, const RunMark &run = RunMark::ofThisProcess());

// Makes a new temporary file for writing beside `target` (a name in the open folder
// `folder`, or a path when that is AT_FDCWD), named by temporaryFilePathFor, with the
// permission bits `mode`; never over anything there. Returns its descriptor and puts its
// name in `temporary`, or returns -1 with errno.
int createTemporaryFileBeside(int folder, const QByteArray &target, mode_t mode, QByteArray &temporary);

// Whether `name` (without folder) is a name that temporaryFilePathFor gives on this
// machine, its check right, of any run (one under way too), or one that the backup
// program's copies gave their temporaries in earlier versions:
// ".zelquin-<boot>-<process id>-<counter>-<check>.tmp" with its check (twelve digits)
// made with the machine, and before that ".zelquin-<process id>-<counter>-<check>.tmp"
// with a check made of the name alone, which is taken for one of this boot of this
// machine. For walks that pass over the temporaries of copies under way.
bool isTemporaryFileNameOfThisMachine(QByteArrayView name);

// Whether `name` is such a name (isTemporaryFileNameOfThisMachine) of a run that has
// ended (RunMark::hasEnded): what a write killed before it ended left behind. The other
// names of earlier versions, which do not tell their machine, are none.
bool isLeftoverTemporaryFileName(QByteArrayView name);

// Removes from the open folder `folder` (not below it) the regular files whose names are
// leftover temporary names (isLeftoverTemporaryFileName). For any folder, also one the
// user writes in: nothing else is taken. Failures are passed over.
void removeLeftoverTemporaryFiles(int folder);

// Removes the temporary files that writes of `target` (a file path) killed before they
// ended left beside it: those that temporaryFilePathFor names for this very target. Only
// for a target that this process alone writes; failures are passed over.
void removeStaleTemporaryFilesOf(const QString &target);

// Removes the temporary files that writes killed before they ended left in `folder` and
// in every folder below it (symbolic links are not followed): files named as
// temporaryFilePathFor names them on this machine or as earlier versions named their
// temporaries and their download temporaries (".~ftp<process id>-<counter>.part"), and, in `folder` itself, the
// "<name>.tmp<process id>" files of earlier versions' listing writes. Only for a folder
// that this process alone writes in; failures are passed over.
void removeStaleTemporaryFiles(const QString &folder);

} // namespace platform
