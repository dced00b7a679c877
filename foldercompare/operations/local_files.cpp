#include "foldercompare/operations/local_files.h"

#include "foldercompare/operations/operation_frame.h"
#include "platform/atomic_file.h"
#include "platform/shell_services.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare::operations {

namespace {

constexpr qsizetype CopyBufferBytes = qsizetype(1) << 20;

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Changes the owner's write permission of one file; links are followed.
void setWritable(const QString &path, bool writable)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    const mode_t mode = writable ? (info.st_mode | S_IWUSR) : (info.st_mode & ~mode_t(S_IWUSR));
    if (mode != info.st_mode)
        ::chmod(name.constData(), mode & 07777);
}

// Reads `input` to its end into `output`; false with the reason when a read or write
// failed or the file did not give `expected` bytes.
StepResult copyBytes(int input, qint64 expected, platform::AtomicFile &output)
{
    thread_local QByteArray buffer(CopyBufferBytes, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const ssize_t got = ::read(input, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return systemText(errno);
        if (got == 0)
            break;
        if (!output.write(QByteArrayView(buffer.constData(), got)))
            return output.errorString();
        total += got;
    }
    if (total != expected)
        return QStringLiteral("コピー中にコピー元のファイルが変わりました");
    return std::nullopt;
}

StepResult commitAfter(platform::AtomicFile &output, const BeforeReplace &beforeReplace)
{
    if (beforeReplace) {
        if (StepResult refused = beforeReplace()) {
            output.cancel();
            return refused;
        }
    }
    if (!output.commit())
        return output.errorString();
    return std::nullopt;
}

} // namespace

StepResult CopyFileKeepingTimes(const QString &source, const QString &destination, const BeforeReplace &beforeReplace)
{
    int input;
    do {
        input = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    } while (input < 0 && errno == EINTR);
    if (input < 0)
        return systemText(errno);
    struct stat info = {};
    if (::fstat(input, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISREG(info.st_mode) || info.st_mode == 0 ? errno : EINVAL;
        ::close(input);
        return systemText(error);
    }
    platform::AtomicFile output(destination, int(info.st_mode & 07777));
    output.syncOnlyWhenReplacing();
    StepResult failure = output.open() ? copyBytes(input, info.st_size, output) : output.errorString();
    ::close(input);
    if (!failure)
        failure = commitAfter(output, beforeReplace);
    if (failure)
        return failure;
    const QByteArray target = QFile::encodeName(destination);
    ::chmod(target.constData(), info.st_mode & 07777);
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    ::utimensat(AT_FDCWD, target.constData(), times, 0);
    return std::nullopt;
}

StepResult ReplaceFileContents(const QString &path, QByteArrayView bytes, const BeforeReplace &beforeReplace)
{
    platform::AtomicFile output(path);
    if (!output.open() || !output.write(bytes))
        return output.errorString();
    return commitAfter(output, beforeReplace);
}

StepResult TrashBackup(const QString &path)
{
    if (!EntryExists(path))
        return std::nullopt;
    QString reason;
    if (platform::RecyclerDelete(path, &reason) != 0)
        return reason;
    return std::nullopt;
}

StepResult RemoveEntry(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::lstat(name.constData(), &info) != 0)
        return errno == ENOENT ? std::nullopt : StepResult(systemText(errno));
    if (S_ISDIR(info.st_mode)) {
        const QFileInfoList entries = QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                               | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries)
            if (StepResult failure = RemoveEntry(entry.filePath()))
                return failure;
        if (::rmdir(name.constData()) != 0)
            return systemText(errno) + QStringLiteral(" : ") + path;
        return std::nullopt;
    }
    if (::unlink(name.constData()) != 0)
        return systemText(errno) + QStringLiteral(" : ") + path;
    return std::nullopt;
}

bool EntryExists(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

bool ChkReadOnly(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        QDirIterator files(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (files.hasNext())
            if (IsReadOnlyEntry(files.next()))
                return true;
        return false;
    }
    return info.isFile() && IsReadOnlyEntry(path);
}

void SetReadOnly(const QString &path, int mode)
{
    if (mode == 0)
        return;
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        QDirIterator files(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (files.hasNext())
            setWritable(files.next(), mode < 0);
    } else if (info.isFile()) {
        setWritable(path, mode < 0);
    }
}

} // namespace foldercompare::operations
