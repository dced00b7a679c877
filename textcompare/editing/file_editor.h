#pragma once

#include "platform/file_handles.h"
#include "textcompare/editing/line_splice.h"
#include "textcompare/engine/text_read.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace platform {
class AtomicFile;
} // namespace platform

namespace textcompare {

// A file's contents as read for an edit, with the stamp of what was read.
struct FileContents
{
    QByteArray bytes;
    FileStamp stamp;
    // Why the file could not be read whole; empty when it was.
    QString failure;
};
FileContents ReadFileContents(const QString &path);

// Why the compared file `path` cannot be changed: it is missing, it is no regular file
// (a folder), or it is read-only (its owner may not write it, whoever runs the program).
// nullopt when it may be changed.
std::optional<QString> ChangeRefusal(const QString &path);

// Whether the file as it is on disk goes to the trash before a change: before its first
// change in this run only, or before this change too (the user chose to overwrite what
// another program wrote into it, which is then kept there).
enum class TrashBackup { FirstChange, Always };

// Writes the viewer's changes of the compared files. A change goes into a temporary file
// beside the file and replaces it only when every byte is written and synced, so that a
// failure leaves the file as it was; it keeps the file's permission bits and, where it
// may, its owner. Before its first change a file goes to the trash (and stays there as
// the backup); when that fails the change is not made. A line edit keeps the contents
// from before it in the undo file of the process's own work folder, and one undo swaps
// the last edited file with that copy, so that a second undo redoes the change. An undo
// first checks that the undo file is still the copy that the edit made of that file.
class FileEditor
{
public:
    // The folder that belongs to this process alone (created at the first edit) and the
    // name of the undo file in it.
    void setWorkFolder(const QString &workFolder, const QString &undoFileName);
    QString undoFilePath() const;

    struct Outcome
    {
        // The file holds its new contents.
        bool changed = false;
        // Why the change was not made, or, beside a change that was made, why it cannot
        // be undone; empty when all went well.
        QString failure;
    };

    // A line edit: `path` gets the `pieces` one after another as its contents; its
    // contents until then become the undo copy, and `path` the last edited file. Refused
    // when the file is no longer as `expected` (changed since the edit was made).
    Outcome changeFile(const QString &path, const QList<QByteArrayView> &pieces, const FileStamp &expected,
                       TrashBackup backup = TrashBackup::FirstChange);
    // The same for a file in a code that EditedAsBytes: the file, which must be as
    // `expected`, is read a block at a time, its byte-order mark and its lines before and
    // after `range` are copied as they are and `lines` written between them in `code`.
    // Neither the file nor the new contents are held whole in memory.
    Outcome changeLines(const QString &path, const FileStamp &expected, const QString &code, const EditRange &range,
                        const EditLines &lines);
    // A conversion: `path` gets `bytes`, with the trash backup but without an undo copy;
    // refused when the file is no longer as `expected`.
    Outcome replaceFile(const QString &path, QByteArrayView bytes, const FileStamp &expected);
    // Swaps the last edited file's contents with the undo copy. Refused, with nothing
    // changed, when the undo file is no longer the copy that the last edit (or undo) of
    // that file made: another file, or the copy changed since.
    Outcome undoLastEdit(TrashBackup backup = TrashBackup::FirstChange);
    // Whether the last edited file is no longer the one this editor last wrote: another
    // file in its place, or its size or time changed.
    bool lastEditChangedSinceWritten() const;

    // Backs `path` up into the trash before `replacement` is renamed over it, unless it
    // is one of RecycledPaths: the file stays in its place until then
    // (platform::BackUpToTrash). The reason when it could not go there, nullopt otherwise.
    std::optional<QString> BackupOnFirstChange(const QString &path, const platform::AtomicFile &replacement);

    // The file that the last line edit changed; empty before the first.
    QString LastEditPath;
    // The paths most recently sent to the trash before their first change, newest first.
    std::array<QString, 2> RecycledPaths;

private:
    // The steps after the new contents are written into `target`: the undo copy, the
    // trash backup, the rename.
    Outcome finishChange(const QString &path, platform::AtomicFile &target, TrashBackup backup);
    // Whether `backup` sends `path` to the trash before its change: always, or when it is
    // none of RecycledPaths.
    bool goesToTrash(const QString &path, TrashBackup backup) const;
    // Backs `path` up into the trash as `backup` asks, before `replacement` is renamed
    // over it; the reason when it could not go there.
    std::optional<QString> backUp(const QString &path, TrashBackup backup, const platform::AtomicFile &replacement);
    // Keeps the file `path` as it is now as the next undo copy beside the undo file; the
    // reason on failure.
    std::optional<QString> stageUndoCopy(const QString &path);
    // Puts the staged copy in place of the undo file and records what it is.
    bool keepStagedUndoCopy();
    void dropStagedUndoCopy();
    QString stagePath() const;
    // After a change or an undo of `path` has put its new contents in place: keeps the
    // staged undo copy and records the file as written. The outcome of the change.
    Outcome keepChange(const QString &path);

    QString m_workFolder;
    QString m_undoFileName;
    bool m_workFolderCleaned = false;
    // The last edited file as this editor last wrote it.
    std::optional<platform::FileIdentity> m_written;
    // The undo file as the last edit or undo of LastEditPath left it.
    std::optional<platform::FileIdentity> m_undoCopy;
};

} // namespace textcompare
