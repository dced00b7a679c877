#pragma once

#include "idlebackup/backup_settings.h"
#include "idlebackup/mount_table.h"
#include "idlebackup/pacing.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <sys/types.h>

struct stat;

namespace platform {
class Descriptor;
class DurableCopies;
class FlexGrid;
struct FileIdentity;
struct TargetState;
} // namespace platform

namespace idlebackup {

struct CopySource;
struct FileAt;
struct FolderEntry;
enum class ListingDepth;

// What the backup work needs from its window: the status line and event pumping.
class WorkHost
{
public:
    virtual ~WorkHost() = default;
    // Shows `text` in the status line (MsgText).
    virtual void setMessageText(const QString &text) = 0;
    // Lets window events run: the stop button, the close box, the timers.
    virtual void pumpEvents() = 0;
};

// Status tags written into an entry's column 4 with the time.
namespace StatusTag {
inline const char16_t Copied[] = u"COPY_(OK) ";
inline const char16_t FolderMade[] = u"MKDIR(OK) ";
inline const char16_t Deleted[] = u"DEL__(OK) ";
} // namespace StatusTag

// Kinds of the failure items of an entry (its column 5): an item is a path followed by
// its kind.
namespace FailureKind {
inline const char16_t Copy[] = u"(COPY)";
inline const char16_t MakeFolder[] = u"(MKDIR)";
inline const char16_t Delete[] = u"(DEL)";
// A folder that could not be listed or entered: nothing below it was copied or deleted.
inline const char16_t Folder[] = u"(DIR)";
// A link to a folder in the tree copied from: passed over.
inline const char16_t FolderLink[] = u"(LINK)";
// A link to a file in the backup, which is neither read nor replaced (in sync mode; in
// backup mode, as the copy of a single-file entry), or, in sync mode, a link in the
// original that a newer backup would replace: passed over.
inline const char16_t FileLink[] = u"(LINK)";
// In sync mode, a file changed on both sides, as far as the times tell (the item names
// the original, "<->" and its backup): neither is copied over the other until the user
// settles it.
inline const char16_t BothChanged[] = u"(両方変更)";
// A folder that is a mount point of a disk that is not mounted: not entered.
inline const char16_t NoDrive[] = u"(ドライブ無)";
} // namespace FailureKind

// A failure item: `path` followed by `kind`. Where the two would be longer than an
// entry's whole list, the beginning of the path gives way to a digest of the whole path
// and "…" ("[1a2b3c4d]…"), so the item keeps its kind and the end of its path, and two
// paths with the same end still give two items.
QString FailureItem(const QString &path, const char16_t *kind);

// Modes of SetFileErrMsg.
namespace ErrorItemMode {
inline constexpr int Add = 0;    // add to the current entry's list
inline constexpr int Remove = 1; // remove from every entry's list
} // namespace ErrorItemMode

// The work of a pass on one entry of the backup list: the copy and delete walks, the
// primitives that change the disk, and the bookkeeping of their outcome in the entry's
// columns 4 (status) and 5 (failure items). Every step paces itself through the Pacer
// and ends at the next item, copy step or slice when the run stops or the window closes.
//
// Copies never put a backup at risk: a file is written under a temporary name beside
// its copy, checked and given its times, and only once it is on the disk renamed over
// the old copy, so a failed, stopped or killed copy leaves the old one as it was. The
// copies are made durable together: a walk goes on writing while a sync of the batch
// before runs (platform::DurableCopies), and each copy is placed once a sync that began
// after it was written has ended, by the end of the walk at the latest, or sooner when
// too many copies, bytes or folders wait; a stopped run places none that waits. A copy
// is placed only over its copy in the state that the copy was decided on: one that the
// user changed meanwhile is left alone and the copy is dropped (the next pass decides
// again). A file that changes while it is read is dropped likewise, unless it has no
// copy yet or its copy was dropped so on three passes in a row: then what was read is
// placed, with the time seen when it was opened, so that the next pass copies it again,
// and the file is listed. The walks remove the temporaries that killed copies left
// behind. Every copy dropped is listed with a reason (failureReasons).
//
// The walks go down both trees through open folders: each item is looked up in the
// folder that was opened and checked (openat, fstatat), never by its whole path. So a
// rename or an unmount of a tree while a walk is under way cannot make its items look
// missing, paths longer than the system takes in one call are walked like any other,
// and a link inside a tree that is written is never followed out of it. Names are the
// bytes the disk holds from the listing to the copy; only the status line and the
// failure items show them as text (DisplayPath).
//
// On a backup disk that folds letter case, a file is only ever copied over its own copy:
// one of its very name, or of a name that differs in letter case only where the two
// agree in size and to two seconds (the original renamed in letter case only). A backup
// of another name there was made from another file: in sync mode neither is copied over
// the other and the pair is listed as both changed; in backup mode the original is
// listed as not copied, unless BakDel lets the backup, whose own original is gone, go
// to the trash first.
class BackupWork
{
public:
    BackupWork(platform::FlexGrid &bakList, const qint32 &currentEntry, BackupSettings &settings,
               const RunFlags &flags, Pacer &pacer, Clock &clock, WorkHost &host);
    ~BackupWork();

    // Backs up one entry: a file to the destination folder (in sync mode both ways), or
    // a folder into the destination (into a folder of its own name when the destination
    // has another name), then, in sync mode, back again, or, with BakDel, removes from
    // the copy what the original no longer has. Nothing is written while the
    // destination's drive is gone (`history`). The way back and the removal run only
    // when the original is there to be trusted: its root, opened once, is a readable
    // folder whose drive is mounted, and it holds something unless the copy is empty as
    // well (an unmounted disk's bare mount point never qualifies); they then work below
    // that very root. An original that is neither a file nor a folder is passed over.
    // Inside the trees, a folder that `history` knows as a mount point is not entered
    // while its disk is not mounted, and the entry lists it as path(ドライブ無).
    void BackUpEntry(const QString &original, const QString &destination, const MountHistory &history,
                     const MountTable &mounts);

    // Copies the file `OrgPath` to the path `BakPath` when the copy is out of date
    // (CopyIsDue; in sync mode, when the original `OrgPath` is the newer, NewerOf),
    // creating the copy's folder when it is missing. A link at `BakPath` is neither
    // judged by the file it leads to nor replaced: it is listed as path(LINK).
    void CopyFileOnly(const QString &OrgPath, const QString &BakPath);
    // Copies the folder tree `OrgPath` into `BakPath` (both folders), item by item: an
    // empty `path` stands for the root, else it names the folder below `OrgPath` to
    // walk. Items excluded by CheckTarget are not copied; the system folders right
    // below the root are left out. A folder that cannot be listed is recorded as
    // path(DIR), a link to a folder as path(LINK); a link or a file standing where the
    // copy needs a folder, below `BakPath`, is not written through (path(MKDIR)).
    void CopyFoldersAndFiles(const QString &OrgPath, const QString &BakPath, const QString &path);
    // Moves to the trash what lies under `BakPath` but not under `OrgPath` (`path` as
    // above): a folder whose counterpart is not a folder goes whole, a file whose
    // counterpart is not a file goes alone. Only an item that its original folder
    // reports absent goes: a counterpart that cannot be examined for any other reason
    // keeps its item, and so does a counterpart that is a link to a folder.
    void DeleteFoldersAndFiles(const QString &OrgPath, const QString &BakPath, const QString &path);

    // Copies one file (see the class comment). Nothing happens when the two name the
    // same file. Success writes "COPY_(OK) " and clears the pair's failure item; any
    // failure (the source cannot be read, changes or vanishes while it is read, the
    // disk fills up, the run stops) records the item source->destination(COPY).
    void CopyFile(const QString &source, const QString &destination);
    // Creates the missing levels of a folder path, top down, writing "MKDIR(OK) " for
    // each; a failure records the item path(MKDIR).
    void CreateFolder(const QString &folder);
    // Moves a file or folder to the trash. With `msgf`, success writes "DEL__(OK) " and
    // clears the item path(DEL), failure records it. Returns 0 on success.
    qint32 RecyclerDelete(const QString &FileName, bool msgf);
    // Adds `item` to the current entry's failure list (ErrorItemMode::Add; the list is
    // cut at 256 characters) or removes it from every entry's list (Remove).
    void SetFileErrMsg(const QString &item, int mode);

    // Why the failure items of the backup list's row `row` failed, for those that have a
    // reason: each such item on a line, its reason on the next; empty when none has one.
    QString failureReasons(int row) const;

    // The text last given to the status line (shown at the latest with the next pump).
    QString messageText() const;
    // Shows `text` in the status line at once.
    void showMessage(const QString &text);
    // Puts the last status text on the window now.
    void flushMessage();

private:
    struct Drives;
    struct WalkFolder;
    struct TargetFolder;
    struct CopyWalk;
    struct WaitingCopy;
    struct SyncedFile;

    // Which way a copy goes: a backup, or one of the two ways of sync mode.
    enum class Way {
        Backup,
        SyncToBackup,
        SyncToOriginal,
    };

    Drives drives() const;
    // Opens a folder that the user chose (`path`, links followed).
    bool openWalkFolder(WalkFolder &folder, const QByteArray &path, const Drives &drives) const;
    // Opens the chosen folder `chosen`, then the levels of `below` (a relative path)
    // under it without following a link at any of them.
    bool openWalkFolderBelow(WalkFolder &folder, const QByteArray &chosen, const QByteArray &below,
                             const Drives &drives) const;
    bool sourceRootReady(const WalkFolder &root, const QString &otherRoot, const Drives &drives);
    bool unmountedMountPoint(const Drives &drives, const QByteArray &path, dev_t parentDevice, dev_t device) const;
    // The copy walk from the folder `sourceBelow` under the chosen `sourceRoot` into the
    // folder `below` under the chosen `chosen` (made when missing): the levels below the
    // chosen folders are never followed when they are links, and a link at a level the
    // copy needs is refused as path(MKDIR). `relative` is the walked folder's path below
    // the entry's root ("" for the root).
    void copyWalk(const QByteArray &sourceRoot, const QByteArray &sourceBelow, const QByteArray &chosen,
                  const QByteArray &below, const QByteArray &relative, Way way);
    void copyTree(const Drives &drives, WalkFolder &source, TargetFolder &target, const QByteArray &relative, Way way);
    void copyFileOnly(const QString &OrgPath, const QString &BakPath, Way way);
    // Whether the disk of `copyPath`, the backup of the single file `original` (examined
    // as `info`), folds letter case and holds another file's backup under a name that
    // differs from the backup's in case only (IsCopyUnderFoldedName): the file is then
    // listed, as copyFileEntry lists it, and copied in neither direction.
    bool nameHeldByAnotherFile(const QString &original, const struct stat &info, const QString &copyPath);
    // Whether sync mode copies the file `source` (at `sourcePath`) over `target` (at
    // `targetPath`), one of them in the backup as `way` tells: only a newer file is
    // copied (NewerOf, to two seconds with `twoSeconds`). A link in the backup is never read nor replaced, and a link in
    // the original never replaced: either is listed as path(LINK). A pair changed on
    // both sides is listed (BothChanged); its item goes once the pair is settled.
    bool syncCopyDue(const SyncedFile &source, const SyncedFile &target, bool twoSeconds, Way way,
                     const QByteArray &sourcePath, const QByteArray &targetPath);
    // Keeps the item `path` followed by `kind` in the entry's list while it `holds`, and
    // takes it off once it no longer does.
    void listWhile(bool holds, const char16_t *kind, const std::function<QString()> &path);
    void copyFolder(const CopyWalk &walk, WalkFolder &source, TargetFolder &target, const QByteArray &relative);
    // Copies the file `entry` of `source` to the item `heldName` of `target`: the name
    // that the target's folder holds for it (on a disk that folds letter case, it may
    // differ from the entry's in case; FoldedPair).
    void copyFileEntry(const CopyWalk &walk, WalkFolder &source, TargetFolder &target, const FolderEntry &entry,
                       const QByteArray &heldName, const QByteArray &relative);
    // What becomes of a file that its target's folder holds as `heldName`, a name that
    // differs from the entry's in letter case only.
    enum class FoldedPair {
        SameFile,  // the copy of the file renamed in case only: copied as any other
        NameFreed, // another file's backup, gone to the trash (backup mode, BakDel):
                   // the file is copied under its own name
        Listed,    // another file's backup: nothing is copied, the pair is listed
    };
    // Judges the pair of the file `entry` of `source` and `heldName`, examined as
    // `heldInfo` (IsCopyUnderFoldedName): another file's backup is never replaced by the
    // file nor copied back over it; in backup mode with BakDel, one whose own original
    // is gone goes to the trash.
    FoldedPair foldedPair(const CopyWalk &walk, WalkFolder &source, TargetFolder &target, const FolderEntry &entry,
                          const QByteArray &heldName, const struct stat &heldInfo);
    bool openTarget(const CopyWalk &walk, TargetFolder &target);
    bool makeTarget(const CopyWalk &walk, TargetFolder &target);
    void deleteFolder(const Drives &drives, WalkFolder &original, WalkFolder &backup, bool atRoot);
    // Deals with the item `name` of `backup`, whose counterpart is the item `originalName`
    // of `original`.
    void deleteFolderEntry(const Drives &drives, WalkFolder &original, WalkFolder &backup, const QByteArray &name,
                           const QByteArray &originalName, bool isFolder);
    // CopyFile for the copy decided on when its target was in the state `decided` and its
    // source was the file `listed` (CopySource).
    void copyFileOver(const QString &source, const QString &destination, const platform::TargetState &decided,
                      const platform::FileIdentity &listed, bool followsLink);
    // Writes the copy and has it placed (placeWrittenCopies); the target is the item of
    // the open folder `targetFolder`, in the state `decided` when the copy was decided on.
    // A source that is not the file its walk listed is not copied; one that is a link
    // where none is followed is listed as path(LINK).
    void copyFile(const CopySource &source, const FileAt &target,
                  const std::shared_ptr<const platform::Descriptor> &targetFolder, const platform::TargetState &decided);
    // Places the written copies that are on the disk, and waits for the oldest while too
    // many wait (or, with `nextFolder`, while a copy into that folder would hold one
    // folder too many); with `all`, places every one (none once the run stops: those
    // then fail). A failed sync fails every copy waiting.
    void placeWrittenCopies(bool all, const platform::Descriptor *nextFolder = nullptr);
    qint32 recycle(int folder, const QByteArray &name, const QByteArray &path, bool msgf);
    // Lists a folder of a walk; a failure is recorded as path(DIR), a success clears the
    // folder's items.
    bool listFolder(const WalkFolder &folder, ListingDepth depth, std::vector<FolderEntry> &entries);
    // Between two items of a walk: false when the run stops, else paces.
    bool startItem();
    void recordFolderFailure(const QByteArray &path, const char16_t *kind, int error);
    // Lists the item `path` as not copied to `targetPath`, whose name a disk that folds
    // letter case gives to another file's backup, `heldName`.
    void recordFoldedDuplicate(const QByteArray &path, const QByteArray &targetPath, const QByteArray &heldName);
    // Adds the failure item `item` to the current entry's list with the reason that
    // failureReasons tells for it: `reason`, or the failure captured last.
    void listFailure(const QString &item, const QString &reason = QString());
    void clearFolderFailures(const QByteArray &path);
    void writeStatus(const char16_t *tag);
    void showItem(const QString &text);
    // Shows `prefix` followed by the path `path` (bytes, as DisplayPath shows them); the
    // text is made only when it is shown or asked for.
    void showItem(const QString &prefix, const QByteArray &path);
    int currentRow() const;

    platform::FlexGrid &m_bakList;
    const qint32 &m_currentEntry;
    BackupSettings &m_settings;
    const RunFlags &m_flags;
    Pacer &m_pacer;
    Clock &m_clock;
    WorkHost &m_host;
    mutable QString m_messageText;
    mutable QByteArray m_messagePath; // still to be added to m_messageText; null when none
    qint64 m_lastShown = 0;
    bool m_messagePending = false;
    // The drives of the entry in hand while BackUpEntry runs.
    const MountHistory *m_history = nullptr;
    std::optional<MountTable> m_mounts;
    // The copies written and not yet placed, and what names each, oldest first.
    std::unique_ptr<platform::DurableCopies> m_copies;
    std::deque<WaitingCopy> m_waiting;
    // The reasons of the failure items listed, by item.
    QHash<QString, QString> m_reasons;
    // By copy item: the passes in a row whose copy was dropped because the file changed
    // while it was read.
    QHash<QString, int> m_changingDrops;
};

} // namespace idlebackup
