#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace platform {

// What MoveToTrashAt and BackUpToTrashAt return when the trash folder is another user's.
inline constexpr int TrashOfAnotherUser = 2;

// Moves the item `name` (a file, a link or a folder with its contents) of the open
// folder `folder` to the freedesktop trash of the mount that holds it: the home trash
// ($XDG_DATA_HOME/Trash) where it lies on that very mount, else "<top>/.Trash/<uid>"
// (where an administrator has made ".Trash" a sticky folder) or "<top>/.Trash-<uid>" at
// the top folder of the item's mount (of a bind mount, its mount point). Its record keeps
// its original place for restoring it, as the system names the folder that holds it:
// absolute in the home trash, below the mount's top folder in that one's trash. `path`
// is the item's path as the caller knows it (relative to the working folder, or through
// links), which failures name. Names are bytes from end to end and
// the item is reached through its folder, so names that are not UTF-8 and paths longer
// than the system takes in one call go to the trash as they are. Returns 0 when the item
// is in the trash; 1, with the reason in `errorText` when given, when it stays where it
// is; TrashOfAnotherUser, with the reason, when that is because the trash folder there
// (or the folder it lies in) belongs to another user, as on a disk that shows every file
// as its mounting user's (FUSE FAT mounted by root). Nothing is ever deleted for good.
int MoveToTrashAt(int folder, const QByteArray &name, const QByteArray &path, QString *errorText = nullptr);

struct TrashReservation;

// The trash record of an item that is to be backed up later (BackUpToTrashAt), written
// ahead: its name in the trash reserved and its record made. Making a file can take long
// (a file system may search its free inodes past many deleted a moment ago), so a caller
// that backs many items up one after the other makes their records on other threads
// first. A record that is dropped unused is removed.
class TrashRecord
{
public:
    ~TrashRecord();
    TrashRecord(const TrashRecord &) = delete;
    TrashRecord &operator=(const TrashRecord &) = delete;

    // The record for the item `name` of the open folder `folder`, whose path is `path`
    // (as MoveToTrashAt takes them); null when it could not be made.
    static std::unique_ptr<TrashRecord> prepare(int folder, const QByteArray &name, const QByteArray &path);

private:
    TrashRecord();
    friend int BackUpToTrashAt(int, const QByteArray &, const QByteArray &, const std::function<bool()> &, QString *,
                               TrashRecord *);
    std::unique_ptr<TrashReservation> m_reservation;
};

// Backs the item `name` of the open folder `folder` up into the same trash before a
// replacement (a temporary file beside it) is renamed over it: a hard link there, with
// its record as usual, keeps the item in its place until the rename, so that a kill or
// a failed rename in between leaves it there (and in the trash too). Where the trash's
// file system takes no link (FAT), the item is moved there as MoveToTrashAt moves it,
// but only while `replacementReady` says that the replacement is still there. The record
// `prepared` for it, when given, is used (and used up) where the item can be linked under
// its name. Returns as MoveToTrashAt does.
int BackUpToTrashAt(int folder, const QByteArray &name, const QByteArray &path,
                    const std::function<bool()> &replacementReady, QString *errorText = nullptr,
                    TrashRecord *prepared = nullptr);

// BackUpToTrashAt for the item at the absolute path `path`, looked up in its folder.
int BackUpToTrash(const QByteArray &path, const std::function<bool()> &replacementReady,
                  QString *errorText = nullptr);

} // namespace platform
