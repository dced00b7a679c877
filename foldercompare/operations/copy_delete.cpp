#include "foldercompare/operations/copy_delete.h"

#include "common/mod_ftp.h"
#include "foldercompare/listing/folder_services.h"
#include "foldercompare/listing/ftp_side.h"
#include "foldercompare/operations/local_files.h"
#include "platform/atomic_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>

namespace foldercompare::operations {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString DestinationChanged
    = QStringLiteral("コピーの開始後に別のプログラムがコピー先を変更したため、上書きしませんでした（その間に保存された可能性があります）");

QString trashNotes(bool recyclerBackup)
{
    return recyclerBackup ? QStringLiteral("【注意】ごみ箱が無いドライブのファイルは、ごみ箱に入りません。　") + CrLf
                                + QStringLiteral("【注意】ごみ箱に入らないサイズのファイルは、ごみ箱に入りません。　")
                          : QString();
}

} // namespace

QString CopyPrompt(int side, bool recyclerBackup)
{
    QStringList lines{side == 0 ? QStringLiteral("選択したファイル（行）をフォルダ１（旧）からフォルダ２（新）にコピーします。　")
                                : QStringLiteral("選択したファイル（行）をフォルダ２（新）からフォルダ１（旧）にコピーします。　"),
                      QString(),
                      QStringLiteral("フォルダを選択した場合はフォルダが作成され、フォルダ内のファイルやサブフォルダはコピーされません。　"),
                      QString()};
    if (recyclerBackup)
        lines << QStringLiteral("【注意】上書き前の既存ファイルは、ごみ箱にバックアップされます。　") << trashNotes(true);
    else
        lines << QStringLiteral("【注意】上書き前の既存ファイルは、ごみ箱にバックアップされません。　")
              << QStringLiteral("【注意】上書き前の既存ファイルは、実際に上書きされ復活出来ません。　");
    return lines.join(CrLf);
}

QString DeletePrompt(int side, bool recyclerBackup)
{
    QStringList lines{side == 0 ? QStringLiteral("選択したファイル（行）をフォルダ１（旧）から削除します。　")
                                : QStringLiteral("選択したファイル（行）をフォルダ２（新）から削除します。　"),
                      QString()};
    lines << (recyclerBackup ? trashNotes(true)
                             : QStringLiteral("【注意】実際にファイルが削除されます。ごみ箱に入りません。　"));
    return lines.join(CrLf);
}

CopyOperation::CopyOperation(int sourceSide)
    : m_sourceSide(sourceSide), m_destinationSide(1 - sourceSide)
{
    m_words.missingRoot = QStringLiteral("フォルダまたはファイルが存在しません。　");
    m_words.progressMessage = QStringLiteral("コピー中です");
    m_words.readOnlyLine = QStringLiteral("コピー先に読み取り専用のファイルがあります。　");
    m_words.readOnlyQuestion = QStringLiteral("読み取り専用のファイルも上書きコピーしますか？  ");
    m_words.readOnlyHeading = QStringLiteral("コピー先が読み取り専用のためコピー出来ないファイルがありました。　");
    m_words.errorHeading = QStringLiteral("エラーが発生したためコピー出来ないファイルがありました。　");
    m_words.completeText = QStringLiteral("コピーが完了しました。　");
    m_words.partialText = QStringLiteral("一部のファイルがコピーされました。　");
    m_words.noneText = QStringLiteral("コピーしたファイルはありません。　");
    m_words.verb = QStringLiteral("コピー");
    m_words.procedureName = QStringLiteral("CopyFile");
}

CopyOperation::~CopyOperation()
{
    // Copies that a failure of the run left behind are not put in place: their
    // destinations get back what the run took from them.
    for (const PendingCopy &pending : m_pendingCopies)
        restoreReadOnly(pending);
}

void CopyOperation::restoreReadOnly(const PendingCopy &pending)
{
    if (pending.madeWritable && !pending.mirror)
        RestoreReadOnly(pending.folder->get(), pending.name, pending.decided);
}

QString CopyOperation::completeText() const
{
    return m_filesCopied > 0 ? m_words.completeText : QStringLiteral("フォルダを作成しました。　");
}

void CopyOperation::handleRow(OperationFrame &frame, const OperationRow &row)
{
    const QString source = frame.rowPath(m_sourceSide, row);
    const QString destination = frame.writtenPath(m_destinationSide, row);
    const bool folderRow = destination.endsWith(u'/');
    // A row of the destination's side alone (the list shows nothing on the source side,
    // nothing is there, and the destination has it) has nothing to copy, a folder row
    // neither: passed over before any folder is made for it, so a link that the
    // destination alone has is no failure.
    if (row.shown(m_sourceSide).isEmpty() && !EntryExists(source)
        && EntryExists(folderRow ? destination.chopped(1) : destination))
        return;
    if (!folderRow) {
        if (frame.isFtpSide(m_sourceSide) ? !fetchSource(frame, row, source) : frame.vanished(m_sourceSide, row, source))
            return;
    }
    if (frame.isFtpSide(m_destinationSide) && !uploadToServer(frame, row, source, destination))
        return;
    if (folderRow) {
        platform::Descriptor made;
        bool created = false;
        if (makeFolder(frame, destination.chopped(1), destination, made, created) && created) {
            ++m_foldersCreated;
            frame.noteFolders(m_destinationSide, row.path);
        }
        return;
    }
    copyLocally(frame, row, source, destination);
}

bool CopyOperation::fetchSource(OperationFrame &frame, const OperationRow &row, const QString &source)
{
    // A row that the list shows without a source file has nothing to copy.
    if (row.shown(m_sourceSide).isEmpty())
        return true;
    QString remote;
    try {
        remote = frame.remotePath(m_sourceSide, source);
        frame.connectTo(m_sourceSide);
        const QByteArray path = common::FtpRemotePath(remote);
        const platform::FtpFileFacts facts = common::FtpDescribeFile(path);
        if (!common::FtpGetFile(source, path)) {
            // The mirror copy no longer stands for a file of the server.
            QFile::remove(source);
            frame.listError(remote, common::FtpSavedErr().Description.section(QStringLiteral("\r\n"), -1));
            return false;
        }
        common::SetLocalFileTime(source, facts.time);
        return true;
    } catch (const common::Failure &failure) {
        frame.listError(remote.isEmpty() ? source : remote, failure.record().Description);
        return false;
    }
}

bool CopyOperation::uploadToServer(OperationFrame &frame, const OperationRow &row, const QString &source,
                                   const QString &destination)
{
    QString remote;
    bool uploading = false;
    try {
        remote = frame.remotePath(m_destinationSide, destination);
        frame.connectTo(m_destinationSide);
        if (const std::optional<QString> link
            = FtpLinkOnTheWay(frame.remoteSideFolder(m_destinationSide), remote, m_remoteLinks)) {
            frame.listError(remote, *link);
            return false;
        }
        if (destination.endsWith(u'/')) {
            common::FtpMkDirs(remote);
            frame.noteFolders(m_destinationSide, row.path);
        } else if (const QFileInfo sourceFile(source); sourceFile.isFile()) {
            // The server's file is written over only while it is the one the comparison listed.
            if (!frame.serverAsCompared(m_destinationSide, row, remote)) {
                frame.listChangedSinceComparison(remote);
                return false;
            }
            // What uploads of a killed run left in the folder goes before the first upload into it.
            const QString remoteFolder = remote.left(remote.lastIndexOf(u'/') + 1);
            const common::FtpFolder *listed = frame.serverFolder(m_destinationSide, remoteFolder);
            if (listed && !m_clearedRemoteFolders.contains(remoteFolder)) {
                m_clearedRemoteFolders.insert(remoteFolder);
                common::FtpRemoveLeftoverTemporaryFiles(common::FtpRemotePath(remoteFolder), *listed);
            }
            uploading = true;
            common::FtpPutMakeDirs(source, remote, true);
            frame.noteSideChanged();
            frame.noteUploaded(m_destinationSide, row.path, remote, sourceFile.size());
            if (!listed)
                frame.noteFolders(m_destinationSide, row.path.left(row.path.lastIndexOf(u'/') + 1));
        }
        return true;
    } catch (const common::Failure &failure) {
        // An upload that broke part way may still have changed the server's file.
        if (uploading && common::FtpPutChangedServer())
            frame.noteSideChanged();
        frame.listError(remote.isEmpty() ? destination : remote, failure.record().Description);
        return false;
    }
}

bool CopyOperation::makeFolder(OperationFrame &frame, const QString &folder, const QString &rowTarget,
                               platform::Descriptor &opened, bool &created)
{
    created = false;
    for (const auto &[failed, failure] : std::as_const(m_failedFolders)) {
        if (folder == failed || folder.startsWith(failed + u'/')) {
            frame.listError(rowTarget, failure);
            return false;
        }
    }
    if (const StepResult failure = MakeFoldersBelow(frame.sides().sideRoot[m_destinationSide], folder, opened, created)) {
        m_failedFolders.append({folder, *failure});
        frame.listError(rowTarget, *failure);
        return false;
    }
    return true;
}

void CopyOperation::copyLocally(OperationFrame &frame, const OperationRow &row, const QString &source,
                                const QString &destination)
{
    const QFileInfo entry(destination);
    const QString folder = entry.path();
    platform::Descriptor opened;
    bool created = false;
    // Making the folder opens it from the side's root down through no link; the
    // destination itself is looked at there.
    if (!makeFolder(frame, folder, destination, opened, created))
        return;
    if (created)
        frame.noteFolders(m_destinationSide, row.path.left(row.path.lastIndexOf(u'/') + 1));
    // Without a source file (a row of the destination's side alone) nothing is copied.
    struct stat sourceInfo;
    if (::stat(QFile::encodeName(source).constData(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))
        return;
    const QByteArray name = QFile::encodeName(entry.fileName());
    PendingCopy pending;
    pending.folder = keptFolder(std::move(opened));
    pending.name = name;
    // What copies of a killed run left in the folder goes before the first copy into it.
    if (!m_clearedFolders.contains(folder)) {
        m_clearedFolders.insert(folder);
        platform::removeLeftoverTemporaryFiles(pending.folder->get());
    }
    pending.row = frame.currentRow();
    pending.relative = row.path;
    pending.destination = destination;
    // An FTP destination's file is the mirror copy, not one of the user's: no question,
    // no trash.
    pending.mirror = frame.isFtpSide(m_destinationSide);
    // The destination as the copy is decided on: it is put in place only over this.
    const std::optional<DecidedTarget> decided
        = DecideTarget(frame, m_destinationSide, row, pending.folder->get(), pending.name, destination, !pending.mirror);
    if (!decided)
        return;
    pending.madeWritable = decided->madeWritable;
    pending.decided = decided->state;
    if (!pending.mirror && frame.sides().recyclerBackup)
        pending.backup = [destination, folder = pending.folder, name = pending.name,
                          madeWritable = pending.madeWritable](const ReplacementReady &replacementReady) {
            // The trash keeps the old file as it was, read-only included.
            if (madeWritable)
                SetReadOnlyAt(folder->get(), name, 1);
            return TrashBackupBeforeReplace(folder->get(), name, destination, replacementReady);
        };
    while (m_copies.full(sourceInfo.st_size, pending.folder.get()))
        placeOldest(frame);
    m_copies.add(source, pending.folder, pending.name, sourceInfo.st_size, pending.decided);
    m_pendingCopies.push_back(std::move(pending));
}

std::shared_ptr<const platform::Descriptor> CopyOperation::keptFolder(platform::Descriptor folder)
{
    struct stat opened;
    struct stat kept;
    if (!m_lastFolder || ::fstat(folder.get(), &opened) != 0 || ::fstat(m_lastFolder->get(), &kept) != 0
        || opened.st_dev != kept.st_dev || opened.st_ino != kept.st_ino)
        m_lastFolder = std::make_shared<const platform::Descriptor>(std::move(folder));
    return m_lastFolder;
}

void CopyOperation::placeOldest(OperationFrame &frame)
{
    const PendingCopy pending = std::move(m_pendingCopies.front());
    m_pendingCopies.pop_front();
    const std::unique_ptr<platform::DurableCopies::Copy> copy = m_copies.takeOldest();
    // A copy that failed answers place() with its failure.
    // A link put in place of the target or of a folder above it since the copy began
    // is not written through.
    StepResult failure = copy->failure().isEmpty()
                             ? LinkOnTheWay(frame.sides().sideRoot[m_destinationSide], pending.destination, true)
                             : std::nullopt;
    bool changed = false;
    if (!failure) {
        const platform::Placement placement = copy->place(pending.backup);
        changed = placement.outcome == platform::Placement::Outcome::TargetChanged;
        if (changed)
            failure = DestinationChanged;
        else if (placement.outcome == platform::Placement::Outcome::Failed)
            failure = placement.reason;
    }
    if (failure) {
        restoreReadOnly(pending);
        if (changed)
            frame.listChangedMeanwhile(pending.row, pending.destination, *failure);
        else
            frame.listRowError(pending.row, pending.destination, *failure);
    } else {
        ++m_filesCopied;
        frame.noteLocal(m_destinationSide, pending.relative, pending.folder->get(), pending.name);
    }
    if (pending.mirror)
        SetReadOnlyAt(pending.folder->get(), pending.name, -1);
}

void CopyOperation::finishRows(OperationFrame &frame)
{
    // After a confirmed stop the user's files get nothing more: the copies in hand are
    // dropped and their rows are not done. A mirror copy stands for an upload that the
    // server holds already, so it is still put in place.
    if (frame.outcome().aborted && !frame.isFtpSide(m_destinationSide)) {
        m_copies.discardAll();
        for (const PendingCopy &pending : m_pendingCopies)
            restoreReadOnly(pending);
        frame.countRowsNotReached(int(m_pendingCopies.size()));
        m_pendingCopies.clear();
        return;
    }
    while (!m_pendingCopies.empty())
        placeOldest(frame);
}

DeleteOperation::DeleteOperation(int side)
    : m_side(side)
{
    m_words.missingRoot = QStringLiteral("フォルダが存在しません。　");
    m_words.progressMessage = QStringLiteral("削除中です");
    m_words.readOnlyLine = QStringLiteral("読み取り専用のファイルがあります。　");
    m_words.readOnlyQuestion = QStringLiteral("読み取り専用のファイルも削除しますか？  ");
    m_words.readOnlyHeading = QStringLiteral("読み取り専用のため削除出来ないファイルがありました。　");
    m_words.errorHeading = QStringLiteral("エラーが発生したため削除出来ないファイルがありました。　");
    m_words.completeText = QStringLiteral("削除が完了しました。　");
    m_words.partialText = QStringLiteral("一部のファイルが削除されました。　");
    m_words.noneText = QStringLiteral("削除したファイルはありません。　");
    m_words.verb = QStringLiteral("削除");
    m_words.procedureName = QStringLiteral("DeleteFile");
}

void DeleteOperation::handleRow(OperationFrame &frame, const OperationRow &row)
{
    QString target = frame.rowPath(m_side, row);
    const bool mirror = frame.isFtpSide(m_side);
    if (!mirror) {
        if (const StepResult link = LinkOnTheWay(frame.sides().sideRoot[m_side], target, false)) {
            frame.listError(target, *link);
            return;
        }
    }
    if (mirror && !deleteOnServer(frame, row, target))
        return;
    if (!mirror && ChkReadOnly(target) && !frame.mayHandleReadOnly(target))
        return;
    if (target.endsWith(u'/'))
        target.chop(1);
    // Nothing there: nothing deleted, nothing counted.
    if (!EntryExists(target))
        return;
    // Looked at after the question, which may have stood open a while.
    if (!mirror) {
        platform::Descriptor folder;
        QByteArray name;
        if (const StepResult link = OpenEntryFolder(frame.sides().sideRoot[m_side], target, folder, name)) {
            frame.listError(target, *link);
            return;
        }
        if (!frame.checkAsCompared(m_side, row, folder.isOpen() ? folder.get() : -1, name, target))
            return;
    }
    // The entry is looked up again from the side's root down: a link put in place of a
    // folder on the way since the check above (while the question was open) fails the row.
    const QString root = mirror ? QString() : frame.sides().sideRoot[m_side];
    StepResult failure;
    if (!mirror && frame.sides().recyclerBackup) {
        failure = TrashEntry(target, root);
    } else {
        SetReadOnly(target, -1, root);
        failure = RemoveEntry(target, root);
    }
    if (failure) {
        frame.listError(target, *failure);
    } else {
        ++m_rowsDeleted;
        frame.noteRemoved(m_side, row.path);
    }
}

bool DeleteOperation::deleteOnServer(OperationFrame &frame, const OperationRow &row, const QString &target)
{
    QString remote;
    bool changed = false;
    bool deleted = true;
    try {
        remote = frame.remotePath(m_side, target);
        const QFileInfo cached(target);
        if (cached.exists()) {
            if (const std::optional<QString> link
                = FtpLinkOnTheWay(frame.remoteSideFolder(m_side), remote, m_remoteLinks))
                throw common::Failure(common::FtpNoNumber, QStringLiteral("modFtp"), *link);
            // The server's entry goes only while it is the one the comparison listed, a
            // folder with everything in it.
            if (!frame.serverAsCompared(m_side, row, remote)) {
                frame.listChangedSinceComparison(remote);
                return false;
            }
        }
        if (cached.isDir()) {
            const auto asCompared = [&](const listing::FtpTreeFolder &tree) {
                return frame.serverTreeAsCompared(m_side, row, tree);
            };
            if (!FtpDeleteFolder(remote, frame.sides().folderNum, changed, asCompared)) {
                frame.listChangedSinceComparison(remote);
                return false;
            }
        } else if (cached.isFile()) {
            common::FtpDeleteChecked(remote);
            changed = true;
        }
    } catch (const common::Failure &failure) {
        frame.listError(remote.isEmpty() ? target : remote, failure.record().Description);
        deleted = false;
    }
    // A folder that stays may still have lost files on the way.
    if (changed)
        frame.noteSideChanged();
    if (deleted && changed)
        frame.noteRemoved(m_side, row.path);
    return deleted;
}

namespace {

// Deletes what `folder` held when it was read, files and links first (each link by its
// own name), then the folders below it, then the folder itself.
void deleteTree(const listing::FtpTreeFolder &folder, bool &changed)
{
    const QByteArray separator = folder.path.endsWith('/') ? QByteArray() : QByteArray("/");
    for (const common::FtpFolderEntry &file : folder.files) {
        common::FtpDeleteRemoteFile(folder.path + separator + file.remoteName);
        changed = true;
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    for (const auto &below : folder.folders)
        deleteTree(below.second, changed);
    common::FtpRemoveRemoteFolder(folder.path);
    changed = true;
}

} // namespace

bool FtpDeleteFolder(const QString &path, int folderNum, bool &changed,
                     const std::function<bool(const listing::FtpTreeFolder &tree)> &asCompared)
{
    const QByteArray remote = common::FtpRemotePath(path);
    // The gathering lists a link that the server enters as a folder; deleting it
    // removes the link alone.
    if (const std::optional<common::FtpFolderEntry> entry = listing::ReadFtpEntry(remote); entry && entry->link) {
        common::FtpDeleteRemoteFile(remote);
        changed = true;
        return true;
    }
    // A folder that cannot be entered cannot be emptied; removing it still tells whether
    // it is gone, so a folder that stays is reported rather than counted as deleted. A
    // link that leads nowhere (an earlier row deleted its folder) is not entered either,
    // and an MLSD listing leaves it out: LIST tells it, and it goes by its name.
    if (!common::FtpEnterFolder(remote)) {
        if (common::FtpListedAsLink(remote)) {
            common::FtpDeleteRemoteFile(remote);
            changed = true;
            return true;
        }
        common::FtpRemoveRemoteFolder(remote);
        changed = true;
        return true;
    }
    const listing::FtpTreeFolder tree = listing::ReadFtpTree(
        remote, folderNum, [](const common::FtpFolderEntry &entry) { return !entry.name.startsWith(u'.'); });
    if (asCompared && !asCompared(tree))
        return false;
    deleteTree(tree, changed);
    return true;
}

} // namespace foldercompare::operations
