#include "foldercompare/operations/date_change.h"

#include "foldercompare/operations/local_files.h"
#include "platform/file_handles.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <optional>

#include <sys/stat.h>

namespace foldercompare::operations {

QString DateChangeMessage(int side)
{
    return (side == 0 ? QStringLiteral("フォルダ１（旧）側の選択したファイル(行)の日時情報を変更します。")
                      : QStringLiteral("フォルダ２（新）側の選択したファイル(行)の日時情報を変更します。"))
           + QStringLiteral("\r\n作成日時/更新日時が変更されます。(フォルダは変更しません)");
}

QString DateCopyCaption(int side)
{
    return side == 0 ? QStringLiteral("フォルダ２(新)側のファイル日時を設定する")
                     : QStringLiteral("フォルダ１(旧)側のファイル日時を設定する");
}

DateChangeOperation::DateChangeOperation(int side, QString dateChgDtm)
    : m_side(side), m_dateChgDtm(std::move(dateChgDtm))
{
    m_words.missingRoot = QStringLiteral("フォルダまたはファイルが存在しません。　");
    m_words.progressMessage = QStringLiteral("日時変更中です");
    m_words.readOnlyLine = QStringLiteral("読み取り専用のファイルがあります。　");
    m_words.readOnlyQuestion = QStringLiteral("読み取り専用のファイルも日時変更しますか？  ");
    m_words.readOnlyHeading = QStringLiteral("読み取り専用のため日時変更出来ないファイルがありました。　");
    m_words.errorHeading = QStringLiteral("エラーが発生したため日時変更出来ないファイルがありました。　");
    m_words.completeText = QStringLiteral("日時変更が完了しました。　");
    m_words.partialText = QStringLiteral("一部のファイルが日時変更されました。　");
    m_words.noneText = QStringLiteral("日時変更したファイルはありません。　");
    m_words.verb = QStringLiteral("日時変更");
    m_words.procedureName = QStringLiteral("DateChange");
    if (m_dateChgDtm != QStringLiteral("COPY")) {
        const QString format = QStringLiteral("yyyy/MM/dd HH:mm:ss");
        const QDateTime date = QDateTime::fromString(m_dateChgDtm, format);
        // The dialog hands over only well-formed dates: one that names no moment is a local
        // time that the clock skips when daylight saving begins.
        if (date.isValid() && date.toString(format) == m_dateChgDtm)
            m_typedDate = date;
    }
}

void DateChangeOperation::handleRow(OperationFrame &frame, const OperationRow &row)
{
    const QString path = frame.writtenPath(m_side, row);
    if (path.endsWith(u'/') || frame.goneSinceComparison(m_side, row, path) || !QFileInfo(path).isFile())
        return;
    if (!frame.isFtpSide(m_side)) {
        if (const StepResult link = LinkOnTheWay(frame.sides().sideRoot[m_side], path, true)) {
            frame.listError(path, *link);
            return;
        }
    }
    const bool readOnly = IsReadOnlyEntry(path);
    if (readOnly && !frame.mayHandleReadOnly(path))
        return;
    std::optional<struct timespec> copied;
    if (m_dateChgDtm == QStringLiteral("COPY")) {
        // The other side's file gives its own time stamp, seconds and nanoseconds, with no
        // local-time text between that an hour of daylight saving could shift.
        const int other = 1 - m_side;
        if (row.shown(other).isEmpty())
            return;
        const QString source = frame.rowPath(other, row);
        struct stat info;
        if (::stat(QFile::encodeName(source).constData(), &info) != 0) {
            frame.listError(path, platform::SystemErrorText(errno) + QStringLiteral(" : ") + source);
            return;
        }
        copied = info.st_mtim;
    } else {
        if (m_dateChgDtm.isEmpty())
            return;
        if (!m_typedDate.isValid()) {
            frame.listError(path, QStringLiteral("この日時は夏時間の切り替えのため存在しません : ") + m_dateChgDtm);
            return;
        }
    }
    // The file is looked up again from the side's root down, and every change made in the
    // folder reached: a link put in place of a folder on the way since the check above
    // (while the question was open) fails the row and changes nothing through it.
    platform::Descriptor folder;
    QByteArray name;
    if (const StepResult link
        = OpenEntryFolder(frame.isFtpSide(m_side) ? QString() : frame.sides().sideRoot[m_side], path, folder, name)) {
        frame.listError(path, *link);
        return;
    }
    if (!folder.isOpen()) {
        frame.listError(path, platform::SystemErrorText(errno));
        return;
    }
    // Decided on as a copy's target is, after the question: a file saved since the
    // comparison keeps the date it was saved with, and one that the answer lets be changed
    // is made writable.
    const std::optional<DecidedTarget> decided = DecideTarget(frame, m_side, row, folder.get(), name, path, false);
    if (!decided)
        return;
    QString reason;
    bool leftChanged = false;
    const struct timespec time = copied ? *copied : timespec{time_t(m_typedDate.toSecsSinceEpoch()), 0};
    if (platform::SetFileTimestampAt(folder.get(), name, time, &reason, &leftChanged)) {
        ++m_filesChanged;
        frame.noteLocal(m_side, row.path, folder.get(), name);
    } else {
        frame.listError(path, reason);
        // A date that could not be taken back stays on the file: the list no longer shows it.
        if (leftChanged)
            frame.noteSideChanged();
    }
    if (decided->madeWritable)
        SetReadOnlyAt(folder.get(), name, 1);
}

} // namespace foldercompare::operations
