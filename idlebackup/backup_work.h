#pragma once

#include "idlebackup/backup_settings.h"
#include "idlebackup/pacing.h"

#include <QString>

#include <sys/types.h>

namespace platform {
class FlexGrid;
}

namespace idlebackup {

class MountHistory;
class MountTable;

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

// Modes of SetFileErrMsg.
namespace ErrorItemMode {
inline constexpr int Add = 0;    // add to the current entry's list
inline constexpr int Remove = 1; // remove from every entry's list
} // namespace ErrorItemMode

// The work of a pass on one entry of the backup list: the copy and delete walks, the
// primitives that change the disk, and the bookkeeping of their outcome in the entry's
// columns 4 (status) and 5 (failure items). Every step paces itself through the Pacer
// and ends at the next item, buffer or slice when the run stops or the window closes.
//
// Copies never put a backup at risk: a file is written under a temporary name beside
// its copy, checked, synced and given its times, and only then renamed over the old
// copy, so a failed, stopped or killed copy leaves the old one as it was. The walks
// remove the temporaries that killed copies left behind.
class BackupWork
{
public:
    BackupWork(platform::FlexGrid &bakList, const qint32 &currentEntry, BackupSettings &settings,
               const RunFlags &flags, Pacer &pacer, Clock &clock, WorkHost &host);

    // Backs up one entry: a file to the destination folder (in sync mode both ways), or
    // a folder into the destination (into a folder of its own name when the destination
    // has another name), then, in sync mode, back again, or, with BakDel, removes from
    // the copy what the original no longer has. The way back and the removal run only
    // when the original is there to be trusted (SourceRootReady). An original that is
    // neither a file nor a folder is passed over.
    void BackUpEntry(const QString &original, const QString &destination, const MountHistory &history,
                     const MountTable &mounts);

    // Whether a folder walk may take the absence of an item under `root` as its
    // deletion: `root` is a readable folder whose drive is mounted (as `history`
    // remembers it), and it holds something unless `otherRoot` is empty as well. An
    // unmounted disk's empty mount point, a missing or unreadable root never qualify.
    bool SourceRootReady(const QString &root, const QString &otherRoot, const MountHistory &history,
                         const MountTable &mounts) const;

    // Copies the file `OrgPath` to the path `BakPath` when the copy is out of date
    // (CopyIsDue), creating the copy's folder when it is missing.
    void CopyFileOnly(const QString &OrgPath, const QString &BakPath);
    // Copies the folder tree `OrgPath` into `BakPath` (both folders), item by item: an
    // empty `path` stands for the root. Items excluded by CheckTarget are not copied;
    // the system folders right below the root are left out.
    void CopyFoldersAndFiles(const QString &OrgPath, const QString &BakPath, const QString &path);
    // Moves to the trash what lies under `BakPath` but not under `OrgPath`: a folder
    // whose counterpart is not a folder goes whole, a file whose counterpart is not a
    // file goes alone. A counterpart that cannot be examined (for any reason other than
    // its absence) keeps its item.
    void DeleteFoldersAndFiles(const QString &OrgPath, const QString &BakPath, const QString &path);
    // Whether an item, given by its path below the entry's root, is copied under the
    // exclusion settings NoneStr and NoneExt.
    bool CheckTarget(const QString &relativePath) const;

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

    // The text last given to the status line (shown at the latest with the next pump).
    QString messageText() const { return m_messageText; }
    // Shows `text` in the status line at once.
    void showMessage(const QString &text);
    // Puts the last status text on the window now.
    void flushMessage();

private:
    struct Roots;
    void copyItem(const Roots &roots, const QString &path, bool isFolder, qint64 modifiedSeconds);
    void copyFolder(const Roots &roots, const QString &path);
    void copyFileItem(const Roots &roots, const QString &path, qint64 modifiedSeconds);
    void deleteItem(const QString &OrgPath, const QString &BakPath, const QString &path, bool isFolder);
    void writeStatus(const char16_t *tag);
    void showItem(const QString &text);
    void removeStaleCopies(const QString &folder);
    int currentRow() const;

    platform::FlexGrid &m_bakList;
    const qint32 &m_currentEntry;
    BackupSettings &m_settings;
    const RunFlags &m_flags;
    Pacer &m_pacer;
    Clock &m_clock;
    WorkHost &m_host;
    QString m_messageText;
    qint64 m_lastShown = 0;
    bool m_messagePending = false;
};

} // namespace idlebackup
