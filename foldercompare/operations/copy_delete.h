#pragma once

#include "foldercompare/operations/local_files.h"
#include "foldercompare/operations/operation_frame.h"
#include "platform/file_copy.h"

#include <QSet>

#include <deque>
#include <functional>

namespace foldercompare::operations {

// The confirmation of a copy from side `side` (title "コピーしますか？") and of a delete
// on side `side` (title "削除しますか？"), with the notes of the trash option.
QString CopyPrompt(int side, bool recyclerBackup);
QString DeletePrompt(int side, bool recyclerBackup);

// CopyFile(p): copies the selected rows from side p to the other side. Folder rows only
// create the folder; an FTP destination gets the file uploaded first, and only then its
// mirror copy written. A file of an FTP source is downloaded into its mirror copy first,
// so that the copy takes what the server holds now; a file the server no longer sends
// fails its row and changes nothing. A source that the list shows but that is gone
// fails its row too; a source that changed since the comparison is copied as it is now,
// and a row without a source (of the destination's side alone) is passed over. A local
// destination is written only while it is still what the comparison showed
// (OperationFrame::asCompared: nothing where the row had none, else the file of the
// listed size and date in the folder the gathering read): one changed or made since is
// left alone, its row listed as changed after the comparison, and the refresh offered.
// A destination that is a symbolic link, or that lies below one
// (below the side's root; on a server, below its folder), fails its row, also when the
// link appears before the copy is put in place: nothing is written through it. Every
// step on a local destination after its check (the read-only mark, the copy's temporary
// file, the trash backup, the rename) is taken in its folder as opened from the side's
// root down, never by its path: a folder swapped for a link meanwhile leads nothing
// through the link. Local copies are made behind the walk, many at once
// (platform::DurableCopies, which bounds the folders they hold open), and each is put in
// place (after the trash backup of the file it replaces) in the order of the rows, when
// it is whole and on the disk, and only over the destination as its row found it: one
// that another program changed or made meanwhile (the user saved it) stays as it is,
// keeps the mode it was saved with, and the row fails. A server's file is written over,
// or one uploaded where the row had none, only while the server's present listing of its
// folder (read once per folder and run) lists it as the comparison did
// (OperationFrame::serverAsCompared); else the row is listed as changed after the
// comparison. What the copy leaves (each file placed, each folder made, each upload as
// the server then lists it) is what the comparison holds from then on
// (OperationFrame::noteLocal, noteFolders, noteUploaded). The first
// copy into a folder removes the temporary files that copies of a killed run left there
// (platform::removeLeftoverTemporaryFiles), and the first upload into a server's folder
// the temporary files that uploads of a killed run left there. After a
// confirmed stop the local copies not yet in place are dropped, their targets left as
// they were and their rows counted as not done.
class CopyOperation final : public FileOperation
{
public:
    explicit CopyOperation(int sourceSide);
    ~CopyOperation() override;

    const OperationWords &words() const override { return m_words; }
    QList<int> rootsToCheck() const override { return {0, 1}; }
    QList<int> remoteSides() const override { return {m_sourceSide, m_destinationSide}; }
    int refreshSide() const override { return m_destinationSide; }
    void handleRow(OperationFrame &frame, const OperationRow &row) override;
    void finishRows(OperationFrame &frame) override;
    int rowsDone() const override { return m_filesCopied + m_foldersCreated; }
    QString completeText() const override;

    int filesCopied() const { return m_filesCopied; }
    int foldersCreated() const { return m_foldersCreated; }

private:
    bool fetchSource(OperationFrame &frame, const OperationRow &row, const QString &source);
    bool uploadToServer(OperationFrame &frame, const OperationRow &row, const QString &source,
                        const QString &destination);
    // Makes `folder` with the folders above it and opens it (`opened`), from the side's
    // root down through no link (MakeFoldersBelow). When it cannot be made, the row fails,
    // listed as `rowTarget` (its destination) with the folder's reason.
    bool makeFolder(OperationFrame &frame, const QString &folder, const QString &rowTarget, platform::Descriptor &opened,
                    bool &created);
    void copyLocally(OperationFrame &frame, const OperationRow &row, const QString &source, const QString &destination);
    void placeOldest(OperationFrame &frame);
    // `folder`, or the folder kept from the row before when it is the same one: the
    // copies in hand hold one descriptor per folder rather than one each.
    std::shared_ptr<const platform::Descriptor> keptFolder(platform::Descriptor folder);

    // A row whose copy is under way.
    struct PendingCopy
    {
        qsizetype row = 0;
        // The row's relative path.
        QString relative;
        QString destination;
        // The destination's folder, opened from the side's root down through no link,
        // and the destination's name in it: every step on the destination after the
        // check looks it up there.
        std::shared_ptr<const platform::Descriptor> folder;
        QByteArray name;
        // The destination as the copy was decided on (after it was made writable).
        platform::TargetState decided;
        // The destination was read-only and made writable for the copy.
        bool madeWritable = false;
        // The destination is an FTP side's mirror copy.
        bool mirror = false;
        BeforeReplace backup;
    };
    // Gives a destination made writable for a copy that was not put in place its
    // read-only mark back, while it is still the file the copy was decided on.
    static void restoreReadOnly(const PendingCopy &pending);

    int m_sourceSide;
    int m_destinationSide;
    OperationWords m_words;
    int m_filesCopied = 0;
    int m_foldersCreated = 0;
    // In the order of their rows, as m_copies holds their copies.
    std::deque<PendingCopy> m_pendingCopies;
    platform::DurableCopies m_copies;
    std::shared_ptr<const platform::Descriptor> m_lastFolder;
    // Destination folders that could not be made, with the reason; rows below them fail
    // with it without trying again.
    QList<std::pair<QString, QString>> m_failedFolders;
    // Destination folders cleared of the temporary files that killed runs left there.
    QSet<QString> m_clearedFolders;
    // The same for the remote folders uploaded into.
    QSet<QString> m_clearedRemoteFolders;
    RemoteLinks m_remoteLinks;
};

// DeleteFile(p): deletes the selected rows on side p (through the trash when the option
// asks for it, never for an FTP mirror); an FTP side loses the remote entry first. A
// row that lies below a symbolic link (below the side's root, or on a server below its
// folder) fails; a row that is a link goes as the link. A local entry is deleted only
// while it is still what the comparison showed (OperationFrame::asCompared; a folder
// with nothing below it made or changed since): one changed or made since stays, its
// row listed as changed after the comparison, and the refresh offered. So does a
// server's entry that is not as the comparison listed it (OperationFrame::serverAsCompared;
// a folder with everything in it, serverTreeAsCompared). A row deleted is held as gone
// from then on (OperationFrame::noteRemoved).
class DeleteOperation final : public FileOperation
{
public:
    explicit DeleteOperation(int side);

    const OperationWords &words() const override { return m_words; }
    QList<int> rootsToCheck() const override { return {m_side}; }
    QList<int> remoteSides() const override { return {m_side}; }
    int refreshSide() const override { return m_side; }
    void handleRow(OperationFrame &frame, const OperationRow &row) override;
    int rowsDone() const override { return m_rowsDeleted; }

    int rowsDeleted() const { return m_rowsDeleted; }

private:
    bool deleteOnServer(OperationFrame &frame, const OperationRow &row, const QString &target);

    int m_side;
    OperationWords m_words;
    int m_rowsDeleted = 0;
    RemoteLinks m_remoteLinks;
};

// Deletes the remote folder `path` with its files and subfolders on the open
// connection. The tree is read first (listing::ReadFtpTree, at most `folderNum`
// levels): a symbolic link in it is deleted by its own name and never entered, and
// `path` itself, when it is a link, is deleted alone; an entry that may be a link but
// stays in doubt, a folder that leads back to one above it, or a deeper tree, fails
// before anything is deleted. Entries whose names begin with "." stay, so
// their folder stays too and the removal fails. The first failure is thrown
// (common::Failure); `changed` is set once anything on the server is gone. False, with
// nothing deleted, when `asCompared`, given the tree as read, tells that it changed since
// the comparison.
bool FtpDeleteFolder(const QString &path, int folderNum, bool &changed,
                     const std::function<bool(const listing::FtpTreeFolder &tree)> &asCompared = {});

} // namespace foldercompare::operations
