#pragma once

#include "platform/descriptor.h"
#include "platform/descriptor_trash.h"
#include "platform/file_copy.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

namespace foldercompare::operations {

class OperationFrame;
struct OperationRow;

// The file steps of the operations on local files and on FTP mirrors. Each returns the
// reason of a failure in the system's words, or nullopt on success.
using StepResult = std::optional<QString>;

// Tells whether the new contents are still complete beside the target, ready to
// replace it.
using ReplacementReady = std::function<bool()>;

// Runs once the new contents are complete beside the target and before they replace
// it (the trash backup of the old file), given a look at whether they still are there;
// a failure leaves the target as it was.
using BeforeReplace = std::function<StepResult(const ReplacementReady &replacementReady)>;

// Replaces the contents of `path` (created when missing) by `bytes` through a temporary
// file beside it; the file keeps its permission bits and owner.
StepResult ReplaceFileContents(const QString &path, QByteArrayView bytes, const BeforeReplace &beforeReplace = {});

// Moves the entry `name` of the open folder `folder`, whose path is `path`, to the trash
// when something is there; a move that failed is a failure. The entry is looked up and
// moved from that folder alone, a link as the link.
StepResult TrashBackupAt(int folder, const QByteArray &name, const QString &path);

// Backs the entry `name` of the open folder `folder`, whose path is `path`, up into the
// trash before new contents are renamed over it, when something is there: linked there
// and kept in its place until the rename, or, where the trash takes no link, moved
// there while `replacementReady` says the new contents are still beside it
// (platform::BackUpToTrashAt), with the trash record `prepared` for it when given. A
// backup that failed is a failure.
StepResult TrashBackupBeforeReplace(int folder, const QByteArray &name, const QString &path,
                                    const ReplacementReady &replacementReady, platform::TrashRecord *prepared = nullptr);

// TrashBackupAt for `path`, its folder opened as OpenEntryFolder opens it: with the
// side's `root` given, a link on the way fails, naming it, and nothing is moved.
StepResult TrashEntry(const QString &path, const QString &root);

// Deletes the file, link or folder (with everything below it) at `path` for good. A
// failure names the first entry that stayed. With the side's `root` given, the folders
// from it down to `path` are opened one in the other, never through a link: a link on
// the way fails and nothing is deleted.
StepResult RemoveEntry(const QString &path, const QString &root = {});

// Fails, naming the link, when a folder on the way from the side's root `root` (taken
// as the user named it, links and all) down to `path` below it is a symbolic link, or
// `path` itself is one and `entryToo` is set: a walk that writes or deletes there goes
// through no link it did not choose, also one put in place of a folder since the
// gathering. Each folder is opened in the one above it; what does not exist yet ends
// the check.
StepResult LinkOnTheWay(const QString &root, const QString &path, bool entryToo);

// Fails when the entry `name` of the open folder `folder` is a symbolic link.
StepResult LinkAt(int folder, const QByteArray &name);

// Opens the folder that holds `path`, for steps that look its last element (`name`) up
// in it rather than by path: with `path` below the side's root `root`, each folder from
// the root down in the one above it, never through a link (a link on the way fails,
// naming it); else the folder as named. `folder` stays closed, errno telling why, when
// a folder on the way cannot be opened.
StepResult OpenEntryFolder(const QString &root, const QString &path, platform::Descriptor &folder, QByteArray &name);

// Makes the folder `path` with the folders above it and opens it (`folder`); `created`
// tells whether any was made. Below the side's root `root`, each folder is looked up,
// made (mkdirat) and opened in the one above it, never through a link: a link on the
// way fails, naming it. A folder that cannot be made or opened fails, naming it, with
// the system's reason.
StepResult MakeFoldersBelow(const QString &root, const QString &path, platform::Descriptor &folder, bool &created);

// Whether anything (a file, a folder, a link even when broken) is at `path`.
bool EntryExists(const QString &path);

// True when `path` is a read-only file, or a folder holding one at any depth. A link is
// never read-only and never followed, whatever it leads to. Failures end the check with
// what was found so far.
bool ChkReadOnly(const QString &path);

// Sets (mode >= 1) or clears (mode < 0) the read-only attribute of the file `path`, or
// of every file below the folder `path`; folders keep their own, and links and what they
// lead to stay as they are. Mode 0 does nothing. Failures are passed over. With the
// side's root `root` given, the folder holding `path` is opened as OpenEntryFolder
// opens it: a link on the way changes nothing.
void SetReadOnly(const QString &path, int mode, const QString &root = {});

// SetReadOnly for the entry `name` of the open folder `folder`: each entry is looked up
// in the folder above it, and a link there is neither changed nor followed.
void SetReadOnlyAt(int folder, const QByteArray &name, int mode);

// A row's local file as a write of it (a copy over it, its conversion, its date) is decided on:
// its state then, which the write is put in place only over, and whether it was
// read-only and made writable for the write.
struct DecidedTarget
{
    platform::TargetState state;
    bool madeWritable = false;
};

// Decides on the entry `name` of the open folder `folder`, the file `path` that the row
// `row` writes on `side`: a link there fails, naming it; an entry that is no longer what
// the comparison listed is left alone (OperationFrame::asCompared); a read-only file goes
// through the run's question (`askReadOnly`; else it is taken as it is) and is made
// writable only while it is still the file asked about. nullopt, with the row listed,
// when the row ends here.
std::optional<DecidedTarget> DecideTarget(OperationFrame &frame, int side, const OperationRow &row, int folder,
                                          const QByteArray &name, const QString &path, bool askReadOnly);

// Gives the entry `name` of the open folder `folder`, made writable for a write that was
// not put in place, its read-only mark back while it is still the file decided on: a file
// that another program saved there meanwhile is left as that program left it.
void RestoreReadOnly(int folder, const QByteArray &name, const platform::TargetState &decided);

} // namespace foldercompare::operations
