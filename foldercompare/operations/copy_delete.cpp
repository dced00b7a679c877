#include "foldercompare/operations/copy_delete.h"

#include "common/mod_ftp.h"
#include "foldercompare/listing/folder_services.h"
#include "foldercompare/operations/local_files.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>


namespace foldercompare::operations {

namespace {

const QString CrLf = QStringLiteral("\r\n");

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
    m_words.noneText = QStringLiteral("コピーしたファイルはありません。　");
    m_words.procedureName = QStringLiteral("CopyFile");
}

void CopyOperation::handleRow(OperationFrame &frame, const OperationRow &row)
{
    const QString source = frame.rowPath(m_sourceSide, row);
    const QString destination = frame.rowPath(m_destinationSide, row);
    const bool folderRow = destination.endsWith(u'/');
    if (frame.isFtp()) {
        QString remote;
        try {
            remote = frame.remotePath(destination);
            if (folderRow)
                common::FtpMkDirs(remote);
            else if (QFileInfo(source).isFile())
                common::FtpPutMakeDirs(source, remote, true);
        } catch (const common::Failure &failure) {
            frame.listError(remote.isEmpty() ? destination : remote, failure.record().Description);
            return;
        }
    }
    if (folderRow) {
        bool created = false;
        listing::CreateFolder(destination.chopped(1), 0, created);
        if (created)
            ++m_foldersCreated;
        return;
    }
    copyLocally(frame, source, destination);
}

void CopyOperation::copyLocally(OperationFrame &frame, const QString &source, const QString &destination)
{
    bool created = false;
    listing::CreateFolder(QFileInfo(destination).path(), 0, created);
    if (!QFileInfo(source).isFile())
        return;
    // An FTP destination's file is the mirror copy, not one of the user's: no question,
    // no trash.
    const bool mirror = frame.isFtp();
    const bool madeWritable = QFileInfo(destination).isFile() && IsReadOnlyEntry(destination);
    if (madeWritable) {
        if (!mirror && !frame.mayHandleReadOnly(destination))
            return;
        SetReadOnly(destination, -1);
    }
    BeforeReplace backup;
    if (!mirror && frame.sides().recyclerBackup)
        backup = [destination] { return TrashBackup(destination); };
    if (const StepResult failure = CopyFileKeepingTimes(source, destination, backup)) {
        if (madeWritable && !mirror)
            SetReadOnly(destination, 1);
        frame.listError(destination, *failure);
    } else {
        ++m_filesCopied;
    }
    if (mirror && IsReadOnlyEntry(destination))
        SetReadOnly(destination, -1);
}

QString CopyOperation::resultText(const RunOutcome &outcome) const
{
    if (outcome.readOnlyCount == 0 && !outcome.aborted) {
        if (m_filesCopied > 0)
            return QStringLiteral("コピーが完了しました。　");
        if (m_foldersCreated > 0)
            return QStringLiteral("フォルダを作成しました。　");
        return QString();
    }
    if (m_filesCopied > 0 || m_foldersCreated > 0)
        return QStringLiteral("一部のファイルがコピーされました。　");
    return QString();
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
    m_words.noneText = QStringLiteral("削除したファイルはありません。　");
    m_words.procedureName = QStringLiteral("DeleteFile");
}

void DeleteOperation::handleRow(OperationFrame &frame, const OperationRow &row)
{
    QString target = frame.rowPath(m_side, row);
    const bool mirror = frame.isFtp();
    if (mirror) {
        QString remote;
        try {
            remote = frame.remotePath(target);
            const QFileInfo cached(target);
            if (cached.isDir())
                FtpDeleteFolder(remote);
            else if (cached.isFile())
                common::FtpDeleteChecked(remote);
        } catch (const common::Failure &failure) {
            frame.listError(remote.isEmpty() ? target : remote, failure.record().Description);
            return;
        }
    }
    if (!mirror && ChkReadOnly(target) && !frame.mayHandleReadOnly(target))
        return;
    if (target.endsWith(u'/'))
        target.chop(1);
    // Nothing there: nothing deleted, nothing counted.
    if (!EntryExists(target))
        return;
    StepResult failure;
    if (!mirror && frame.sides().recyclerBackup) {
        failure = TrashBackup(target);
    } else {
        SetReadOnly(target, -1);
        failure = RemoveEntry(target);
    }
    if (failure)
        frame.listError(target, *failure);
    else
        ++m_rowsDeleted;
}

QString DeleteOperation::resultText(const RunOutcome &outcome) const
{
    if (m_rowsDeleted == 0)
        return QString();
    return outcome.readOnlyCount > 0 || outcome.aborted ? QStringLiteral("一部のファイルが削除されました。　")
                                                        : QStringLiteral("削除が完了しました。　");
}

void FtpDeleteFolder(const QString &path)
{
    const QString saved = common::FtpPwd();
    // A folder that cannot be entered cannot be emptied; removing it still tells whether
    // it is gone, so a folder that stays is reported rather than counted as deleted.
    if (!common::FtpCd2(path)) {
        common::FtpRmDirChecked(path);
        return;
    }
    const QStringList names = common::FtpListNames(QStringLiteral("*"));
    common::FtpCd(saved);
    const QString separator = !path.isEmpty() && !path.endsWith(u'/') ? QStringLiteral("/") : QString();
    auto deletable = [](const QString &name) { return !name.isEmpty() && !name.startsWith(u'.'); };
    for (const QString &name : names) {
        if (deletable(name) && !name.endsWith(u'/')) {
            common::FtpDeleteChecked(path + separator + name);
            QCoreApplication::processEvents();
        }
    }
    QCoreApplication::processEvents();
    for (const QString &name : names)
        if (deletable(name) && name.endsWith(u'/'))
            FtpDeleteFolder(path + separator + name);
    common::FtpRmDirChecked(path);
}

} // namespace foldercompare::operations
