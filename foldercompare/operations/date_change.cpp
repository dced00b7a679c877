#include "foldercompare/operations/date_change.h"

#include "foldercompare/operations/local_files.h"
#include "platform/file_handles.h"

#include <QDateTime>
#include <QFileInfo>

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
    m_words.noneText = QStringLiteral("日時変更したファイルはありません。　");
    m_words.procedureName = QStringLiteral("DateChange");
}

void DateChangeOperation::handleRow(OperationFrame &frame, const OperationRow &row)
{
    const QString path = frame.rowPath(m_side, row);
    if (path.endsWith(u'/') || !QFileInfo(path).isFile())
        return;
    const bool readOnly = IsReadOnlyEntry(path);
    if (readOnly && !frame.mayHandleReadOnly(path))
        return;
    QString text = m_dateChgDtm;
    if (text == QStringLiteral("COPY"))
        text = QString(m_side == 0 ? row.side2 : row.side1).replace(u'*', u' ').trimmed();
    const QDateTime date = QDateTime::fromString(text, QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    if (!date.isValid())
        return;
    if (readOnly)
        SetReadOnly(path, -1);
    QString reason;
    if (platform::SetFileDate(path, date, &reason))
        ++m_filesChanged;
    else
        frame.listError(path, reason);
    if (readOnly)
        SetReadOnly(path, 1);
}

QString DateChangeOperation::resultText(const RunOutcome &outcome) const
{
    if (m_filesChanged == 0)
        return QString();
    return outcome.readOnlyCount > 0 || outcome.errorCount > 0 || outcome.aborted
               ? QStringLiteral("一部のファイルが日時変更されました。　")
               : QStringLiteral("日時変更が完了しました。　");
}

} // namespace foldercompare::operations
