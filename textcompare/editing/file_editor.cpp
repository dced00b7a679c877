#include "textcompare/editing/file_editor.h"

#include "platform/atomic_file.h"
#include "platform/shell_services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace textcompare {

namespace {

const QString TrashedNote = QStringLiteral("(変更前のファイルはごみ箱にあります)");
const QString UndoCopyLost = QStringLiteral("元に戻すためのファイルを保存できませんでした");

// The file that a change of `path` replaces: a symbolic link stays and its file is
// replaced, so the file goes to the trash, not the link.
QString trashedFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() ? info.canonicalFilePath() : path;
}

} // namespace

FileContents ReadFileContents(const QString &path)
{
    FileContents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        contents.failure = file.errorString();
        return contents;
    }
    contents.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        contents.failure = file.errorString();
        contents.bytes.clear();
        return contents;
    }
    contents.stamp = {path, file.size(), file.fileTime(QFileDevice::FileModificationTime)};
    return contents;
}

std::optional<QString> ChangeRefusal(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("ファイルが存在しません");
    if (!info.isFile())
        return QStringLiteral("ファイルではありません");
    if (!info.permission(QFileDevice::WriteOwner))
        return QStringLiteral("読み取り専用のファイルです");
    return std::nullopt;
}

void FileEditor::setWorkFolder(const QString &workFolder, const QString &undoFileName)
{
    m_workFolder = workFolder;
    m_undoFileName = undoFileName;
    m_workFolderCleaned = false;
}

QString FileEditor::undoFilePath() const
{
    return m_workFolder + u'/' + m_undoFileName;
}

QString FileEditor::stagePath() const
{
    return undoFilePath() + QStringLiteral(".new");
}

std::optional<QString> FileEditor::stageUndoCopy(QByteArrayView bytes)
{
    if (m_workFolder.isEmpty() || !QDir().mkpath(m_workFolder))
        return QStringLiteral("作業フォルダを作成できません : ") + m_workFolder;
    if (!m_workFolderCleaned) {
        platform::removeStaleTemporaryFiles(m_workFolder);
        m_workFolderCleaned = true;
    }
    const QString stage = stagePath();
    QFile::remove(stage);
    // A copy of the process's own: a crash ends the undo anyway, so it is not synced.
    platform::AtomicFile file(stage, platform::PrivateFileMode);
    file.syncOnlyWhenReplacing();
    if (file.open() && file.write(bytes) && file.commit())
        return std::nullopt;
    return QStringLiteral("元に戻すためのファイルを書き込めません : ") + file.errorString();
}

bool FileEditor::keepStagedUndoCopy()
{
    return std::rename(QFile::encodeName(stagePath()).constData(), QFile::encodeName(undoFilePath()).constData()) == 0;
}

void FileEditor::dropStagedUndoCopy()
{
    QFile::remove(stagePath());
}

std::optional<QString> FileEditor::BackupOnFirstChange(const QString &path)
{
    if (path == RecycledPaths[0] || path == RecycledPaths[1])
        return std::nullopt;
    QString reason;
    if (platform::RecyclerDelete(trashedFile(path), &reason) != 0)
        return reason;
    RecycledPaths[1] = RecycledPaths[0];
    RecycledPaths[0] = path;
    return std::nullopt;
}

FileEditor::Outcome FileEditor::changeFile(const QString &path, QByteArrayView bytes, QByteArrayView oldBytes)
{
    if (const std::optional<QString> refusal = ChangeRefusal(path))
        return {false, *refusal};
    platform::AtomicFile target(path);
    if (!target.open() || !target.write(bytes))
        return {false, target.errorString()};
    if (const std::optional<QString> failure = stageUndoCopy(oldBytes))
        return {false, *failure};
    const bool firstChange = path != RecycledPaths[0] && path != RecycledPaths[1];
    if (const std::optional<QString> failure = BackupOnFirstChange(path)) {
        dropStagedUndoCopy();
        return {false, *failure};
    }
    if (!target.commit()) {
        dropStagedUndoCopy();
        return {false, target.errorString() + (firstChange ? u' ' + TrashedNote : QString())};
    }
    m_written = FileStamp::of(path);
    if (!keepStagedUndoCopy()) {
        dropStagedUndoCopy();
        LastEditPath.clear();
        return {true, UndoCopyLost};
    }
    LastEditPath = path;
    return {true, {}};
}

FileEditor::Outcome FileEditor::replaceFile(const QString &path, QByteArrayView bytes)
{
    if (const std::optional<QString> refusal = ChangeRefusal(path))
        return {false, *refusal};
    platform::AtomicFile target(path);
    if (!target.open() || !target.write(bytes))
        return {false, target.errorString()};
    const bool firstChange = path != RecycledPaths[0] && path != RecycledPaths[1];
    if (const std::optional<QString> failure = BackupOnFirstChange(path))
        return {false, *failure};
    if (!target.commit())
        return {false, target.errorString() + (firstChange ? u' ' + TrashedNote : QString())};
    if (path == LastEditPath)
        m_written = FileStamp::of(path);
    return {true, {}};
}

FileEditor::Outcome FileEditor::undoLastEdit()
{
    const QString path = LastEditPath;
    if (path.isEmpty())
        return {};
    if (const std::optional<QString> refusal = ChangeRefusal(path))
        return {false, *refusal};
    const FileContents undo = ReadFileContents(undoFilePath());
    if (!undo.failure.isEmpty())
        return {false, QStringLiteral("元に戻すためのファイルを読めません : ") + undo.failure};
    const FileContents current = ReadFileContents(path);
    if (!current.failure.isEmpty())
        return {false, current.failure};
    platform::AtomicFile target(path);
    if (!target.open() || !target.write(undo.bytes))
        return {false, target.errorString()};
    if (const std::optional<QString> failure = stageUndoCopy(current.bytes))
        return {false, *failure};
    if (!target.commit()) {
        dropStagedUndoCopy();
        return {false, target.errorString()};
    }
    m_written = FileStamp::of(path);
    if (!keepStagedUndoCopy()) {
        dropStagedUndoCopy();
        LastEditPath.clear();
        return {true, UndoCopyLost};
    }
    return {true, {}};
}

bool FileEditor::lastEditChangedSinceWritten() const
{
    return !LastEditPath.isEmpty() && FileStamp::of(LastEditPath) != m_written;
}

} // namespace textcompare
