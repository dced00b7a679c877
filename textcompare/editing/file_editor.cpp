#include "textcompare/editing/file_editor.h"

#include "platform/atomic_file.h"
#include "platform/descriptor_trash.h"
#include "platform/descriptor.h"
#include "textcompare/editing/text_codes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace textcompare {

namespace {

constexpr qsizetype CopyBlockBytes = qsizetype(1) << 20;

const QString TrashedNote = QStringLiteral("(変更前のファイルはごみ箱にあります)");
const QString UndoCopyLost = QStringLiteral("元に戻すためのファイルを保存できませんでした");
const QString ChangedMeanwhile = QStringLiteral("ファイルが他のプログラムで変更されました");
const QString NotTheEditsCopy = QStringLiteral("元に戻すためのファイルがこのファイルの編集で保存したものではありません");
const QString UndoCopyUnreadable = QStringLiteral("元に戻すためのファイルを読めません : ");

// The identity of the regular file `path` (links followed); nullopt when it is none.
std::optional<platform::FileIdentity> regularFileIdentity(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return platform::IdentityOf(info);
}

// The identity of the open regular file `descriptor`; nullopt when it is none.
std::optional<platform::FileIdentity> regularFileIdentity(int descriptor)
{
    struct stat info;
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return platform::IdentityOf(info);
}

// The file that a change of `path` replaces: a symbolic link stays and its file is
// replaced, so the file goes to the trash, not the link.
QString trashedFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() ? info.canonicalFilePath() : info.absoluteFilePath();
}

// Writes the contents of the open file `file` into `target` a block at a time; the
// reason when a read or a write failed.
std::optional<QString> copyInto(platform::AtomicFile &target, QFile &file)
{
    QByteArray block(CopyBlockBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(block.data(), block.size());
        if (read < 0)
            return file.errorString();
        if (read == 0)
            return std::nullopt;
        if (!target.write(QByteArrayView(block.constData(), read)))
            return target.errorString();
    }
}

// Copies bytes from..to - 1 of `source` into `target`; the reason when they could not
// all be read (the file shrank) or written.
std::optional<QString> copyRange(QFile &source, qint64 from, qint64 to, platform::AtomicFile &target,
                                 QByteArray &block)
{
    if (from >= to)
        return std::nullopt;
    if (!source.seek(from))
        return source.errorString();
    while (from < to) {
        const qint64 read = source.read(block.data(), std::min<qint64>(block.size(), to - from));
        if (read < 0)
            return source.errorString();
        if (read == 0)
            return ChangedMeanwhile;
        if (!target.write(QByteArrayView(block.constData(), read)))
            return target.errorString();
        from += read;
    }
    return std::nullopt;
}

// The kind of the last line break of bytes start..start + size - 1 of `file`, read
// backwards a block at a time; nullopt when there is none.
std::optional<LineBreak> lastBreakOfFile(QFile &file, qint64 start, qint64 size, QByteArray &block)
{
    qint64 end = start + size;
    while (end > start) {
        const qint64 from = std::max(start, end - qint64(block.size()) + 1);
        // One byte more in front, for the CR of a CR LF whose LF begins the block.
        const qint64 readFrom = from > start ? from - 1 : from;
        if (!file.seek(readFrom) || file.read(block.data(), end - readFrom) != end - readFrom)
            return std::nullopt;
        const QByteArrayView bytes(block.constData(), end - readFrom);
        for (qsizetype at = bytes.size() - 1; at >= from - readFrom; --at) {
            if (bytes[at] == '\r')
                return LineBreak::Cr;
            if (bytes[at] == '\n')
                return at > 0 && bytes[at - 1] == '\r' ? LineBreak::CrLf : LineBreak::Lf;
        }
        end = from;
    }
    return std::nullopt;
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

std::optional<QString> FileEditor::stageUndoCopy(const QString &path)
{
    if (m_workFolder.isEmpty() || !QDir().mkpath(m_workFolder))
        return QStringLiteral("作業フォルダを作成できません : ") + m_workFolder;
    if (!m_workFolderCleaned) {
        platform::removeStaleTemporaryFiles(m_workFolder);
        m_workFolderCleaned = true;
    }
    const QString stage = stagePath();
    QFile::remove(stage);
    // The change puts a new file in place of the old one, which nothing writes into
    // afterwards: a second name for the old file is its copy, made without copying. Where
    // the work folder lies on another file system, the contents are copied instead.
    if (::linkat(AT_FDCWD, QFile::encodeName(path).constData(), AT_FDCWD, QFile::encodeName(stage).constData(),
                 AT_SYMLINK_FOLLOW)
        == 0)
        return std::nullopt;
    // A copy of the process's own: a crash ends the undo anyway, so it is not synced.
    platform::AtomicFile file(stage, platform::PrivateFileMode);
    file.syncOnlyWhenReplacing();
    QFile source(path);
    if (!file.open())
        return QStringLiteral("元に戻すためのファイルを書き込めません : ") + file.errorString();
    if (!source.open(QIODevice::ReadOnly))
        return QStringLiteral("元に戻すためのファイルを書き込めません : ") + source.errorString();
    if (const std::optional<QString> failure = copyInto(file, source))
        return QStringLiteral("元に戻すためのファイルを書き込めません : ") + *failure;
    if (!file.commit())
        return QStringLiteral("元に戻すためのファイルを書き込めません : ") + file.errorString();
    return std::nullopt;
}

bool FileEditor::keepStagedUndoCopy()
{
    m_undoCopy.reset();
    if (std::rename(QFile::encodeName(stagePath()).constData(), QFile::encodeName(undoFilePath()).constData()) != 0)
        return false;
    m_undoCopy = regularFileIdentity(undoFilePath());
    return m_undoCopy.has_value();
}

void FileEditor::dropStagedUndoCopy()
{
    QFile::remove(stagePath());
}

std::optional<QString> FileEditor::BackupOnFirstChange(const QString &path, const platform::AtomicFile &replacement)
{
    return backUp(path, TrashBackup::FirstChange, replacement);
}

bool FileEditor::goesToTrash(const QString &path, TrashBackup backup) const
{
    return backup == TrashBackup::Always || (path != RecycledPaths[0] && path != RecycledPaths[1]);
}

std::optional<QString> FileEditor::backUp(const QString &path, TrashBackup backup,
                                          const platform::AtomicFile &replacement)
{
    if (!goesToTrash(path, backup))
        return std::nullopt;
    QString reason;
    if (platform::BackUpToTrash(QFile::encodeName(trashedFile(path)), [&replacement] { return replacement.replacementExists(); },
                                &reason)
        != 0)
        return reason;
    if (path != RecycledPaths[0]) {
        RecycledPaths[1] = RecycledPaths[0];
        RecycledPaths[0] = path;
    }
    return std::nullopt;
}

FileEditor::Outcome FileEditor::changeFile(const QString &path, const QList<QByteArrayView> &pieces,
                                           const FileStamp &expected, TrashBackup backup)
{
    if (const std::optional<QString> refusal = ChangeRefusal(path))
        return {false, *refusal};
    if (FileStamp::of(path) != expected)
        return {false, ChangedMeanwhile};
    platform::AtomicFile target(path);
    if (!target.open())
        return {false, target.errorString()};
    for (const QByteArrayView piece : pieces)
        if (!target.write(piece))
            return {false, target.errorString()};
    return finishChange(path, target, backup);
}

FileEditor::Outcome FileEditor::changeLines(const QString &path, const FileStamp &expected, const QString &code,
                                            const EditRange &range, const EditLines &lines)
{
    if (const std::optional<QString> refusal = ChangeRefusal(path))
        return {false, *refusal};
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        return {false, source.errorString()};
    const FileStamp opened{path, source.size(), source.fileTime(QFileDevice::FileModificationTime)};
    if (opened != expected)
        return {false, ChangedMeanwhile};
    QByteArray block(CopyBlockBytes, Qt::Uninitialized);
    // The lines start behind a byte-order mark, which is kept as it is.
    const qint64 start = ByteOrderMark(code, source.peek(3)).size();
    const qint64 size = opened.size - start;

    SpliceScanner<uchar> scanner(range);
    if (!source.seek(start))
        return {false, source.errorString()};
    while (scanner.needsMore()) {
        const qint64 read = source.read(block.data(), block.size());
        if (read < 0)
            return {false, source.errorString()};
        if (read == 0) {
            scanner.finish();
            break;
        }
        scanner.feed(reinterpret_cast<const uchar *>(block.constData()), read);
    }
    const std::optional<LineBreak> lastBreak
        = scanner.needsLastBreak() ? lastBreakOfFile(source, start, size, block) : std::nullopt;
    const SplicePoints points = scanner.points(size, lastBreak);
    const std::optional<QByteArray> newLines = EncodeForFile(code, NewLinesText(points, lines));
    if (!newLines)
        return {false, QStringLiteral("%1 で表せない文字があります。").arg(WritableCode(code))};

    platform::AtomicFile target(path);
    if (!target.open())
        return {false, target.errorString()};
    if (std::optional<QString> failure = copyRange(source, 0, start + points.prefixEnd, target, block))
        return {false, *failure};
    if (!target.write(*newLines))
        return {false, target.errorString()};
    if (std::optional<QString> failure = copyRange(source, start + points.suffixStart, start + size, target, block))
        return {false, *failure};
    return finishChange(path, target, TrashBackup::FirstChange);
}

FileEditor::Outcome FileEditor::finishChange(const QString &path, platform::AtomicFile &target, TrashBackup backup)
{
    if (const std::optional<QString> failure = stageUndoCopy(path))
        return {false, *failure};
    const bool trashed = goesToTrash(path, backup);
    if (const std::optional<QString> failure = backUp(path, backup, target)) {
        dropStagedUndoCopy();
        return {false, *failure};
    }
    if (!target.commit()) {
        dropStagedUndoCopy();
        return {false, target.errorString() + (trashed ? u' ' + TrashedNote : QString())};
    }
    return keepChange(path);
}

FileEditor::Outcome FileEditor::keepChange(const QString &path)
{
    m_written = regularFileIdentity(path);
    if (!keepStagedUndoCopy()) {
        dropStagedUndoCopy();
        LastEditPath.clear();
        return {true, UndoCopyLost};
    }
    LastEditPath = path;
    return {true, {}};
}

FileEditor::Outcome FileEditor::replaceFile(const QString &path, QByteArrayView bytes, const FileStamp &expected)
{
    if (const std::optional<QString> refusal = ChangeRefusal(path))
        return {false, *refusal};
    if (FileStamp::of(path) != expected)
        return {false, ChangedMeanwhile};
    platform::AtomicFile target(path);
    if (!target.open() || !target.write(bytes))
        return {false, target.errorString()};
    const bool trashed = goesToTrash(path, TrashBackup::FirstChange);
    if (const std::optional<QString> failure = BackupOnFirstChange(path, target))
        return {false, *failure};
    if (!target.commit())
        return {false, target.errorString() + (trashed ? u' ' + TrashedNote : QString())};
    if (path == LastEditPath)
        m_written = regularFileIdentity(path);
    return {true, {}};
}

FileEditor::Outcome FileEditor::undoLastEdit(TrashBackup backup)
{
    const QString path = LastEditPath;
    if (path.isEmpty())
        return {};
    if (const std::optional<QString> refusal = ChangeRefusal(path))
        return {false, *refusal};
    // Opened without waiting and without following a link, so that a FIFO or a link put
    // at the undo file's name holds nothing up; the identity below tells whether it is
    // the copy (a second name of the edited file, whoever owns that).
    const platform::Descriptor undoFile(
        ::open(QFile::encodeName(undoFilePath()).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    QFile copy;
    if (!undoFile.isOpen())
        return {false, UndoCopyUnreadable + QString::fromLocal8Bit(std::strerror(errno))};
    if (!copy.open(undoFile.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {false, UndoCopyUnreadable + copy.errorString()};
    // The copy read is the one opened: one that another process put under the name, or
    // that changed since, is never written over this file.
    if (!m_undoCopy || regularFileIdentity(copy.handle()) != m_undoCopy)
        return {false, NotTheEditsCopy};
    platform::AtomicFile target(path);
    if (!target.open())
        return {false, target.errorString()};
    if (const std::optional<QString> failure = copyInto(target, copy))
        return {false, UndoCopyUnreadable + *failure};
    if (const std::optional<QString> failure = stageUndoCopy(path))
        return {false, *failure};
    if (const std::optional<QString> failure = backUp(path, backup, target)) {
        dropStagedUndoCopy();
        return {false, *failure};
    }
    if (!target.commit()) {
        dropStagedUndoCopy();
        return {false, target.errorString()};
    }
    return keepChange(path);
}

bool FileEditor::lastEditChangedSinceWritten() const
{
    return !LastEditPath.isEmpty() && regularFileIdentity(LastEditPath) != m_written;
}

} // namespace textcompare
