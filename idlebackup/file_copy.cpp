#include "idlebackup/file_copy.h"

#include "idlebackup/file_access.h"
#include "idlebackup/temporary_names.h"

#include "common/saved_error.h"
#include "platform/file_copy.h"

#include <QCoreApplication>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace idlebackup {

namespace {

constexpr qint64 CopyBufferBytes = 102400;

bool sameTime(const timespec &one, const timespec &other)
{
    return one.tv_sec == other.tv_sec && one.tv_nsec == other.tv_nsec;
}

// Errors of a permission change that tell that the file system cannot hold the bits
// (FUSE file systems without the call, FAT refusing modes it has no room for), not
// that the file is not this process's to change: the file was made by it a moment ago.
bool cannotHoldPermissions(int error)
{
    return error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

// Raises the failure to write the copy `target` for the system's `error`.
[[noreturn]] void failWrite(const FileAt &target, int error)
{
    const QString description = SystemFailureText(QStringLiteral("書き込めません。"), target.display, error);
    if (platform::IsOutOfSpace(error))
        throw CopyOutOfSpace(CopyFailureNumber, QCoreApplication::applicationName(), description);
    FailCopy(description);
}

// Opens the source of a copy into `input` and checks that it is the file its walk listed:
// between the walk and the copy, another file (or a link) may have been put in its
// place. Returns the status of the open file.
struct stat openAsListed(clsFileAccess &input, const CopySource &source)
{
    const FileAt &file = source.at;
    try {
        input.OpenFileAt(file.folder, file.name, file.display,
                         source.followsLink ? FileAccessMode::Read : FileAccessMode::ReadNoLink);
    } catch (const common::Failure &failure) {
        if (!source.followsLink && input.lastError() == ELOOP)
            throw CopySourceIsLink(failure.record());
        throw;
    }
    struct stat opened;
    if (::fstat(input.FileHandle(), &opened) != 0)
        FailCopyWithSystemText(QStringLiteral("読み込めません。"), file.display, errno);
    if (!S_ISREG(opened.st_mode))
        FailCopy(QStringLiteral("通常のファイルではありません。 ") + file.display);
    if (platform::IdentityOf(opened) != source.listed)
        FailCopy(QStringLiteral("コピーの前にファイルが変更または置き換えられました。 ") + file.display);
    return opened;
}

} // namespace

std::unique_ptr<platform::WrittenCopy> WriteCopyAt(const CopySource &listedSource, const FileAt &target,
                                                   const std::shared_ptr<const platform::Descriptor> &folder,
                                                   const platform::TargetState &decided, bool syncAlone,
                                                   const CopyCallbacks &callbacks)
{
    const FileAt &source = listedSource.at;
    clsFileAccess input;
    const struct stat before = openAsListed(input, listedSource);
    struct stat existing;
    if (::fstatat(target.folder, target.name.constData(), &existing, 0) == 0 && existing.st_dev == before.st_dev
        && existing.st_ino == before.st_ino)
        return nullptr;
    const QByteArray temporaryName = NewTemporaryName();
    // The source's times to the nanosecond, as far as the disk of the copy holds them.
    const timespec times[2] = {before.st_atim, before.st_mtim};
    // Removes the temporary file on a failure; declared before the output, so that the
    // file is closed before it is removed.
    std::unique_ptr<platform::WrittenCopy> written;
    clsFileAccess output;
    try {
        output.OpenFileAt(target.folder, temporaryName, target.display, FileAccessMode::CreateNew);
    } catch (const common::Failure &failure) {
        if (platform::IsOutOfSpace(output.lastError()))
            throw CopyOutOfSpace(failure.record());
        throw;
    }
    written = std::make_unique<platform::WrittenCopy>(folder, temporaryName, target.name, times, decided);
    callbacks.pause(0);

    if (!callbacks.going())
        FailCopy(QStringLiteral("中止"));
    bool stopped = false;
    const platform::ContentCopy contents
        = platform::CopyFileContents(input.FileHandle(), output.FileHandle(), CopyBufferBytes, [&](qint64 total) {
              callbacks.pause(0);
              callbacks.progress(total);
              callbacks.pause(999);
              stopped = !callbacks.going();
              return !stopped;
          });
    if (stopped)
        FailCopy(QStringLiteral("中止"));
    if (contents.error != 0 && contents.readFailed)
        FailCopyWithSystemText(QStringLiteral("読み込めません。"), source.display, contents.error);
    if (contents.error != 0)
        failWrite(target, contents.error);
    callbacks.pause(0);

    // A source that changed while it was read gives no copy: the next pass takes it.
    struct stat after;
    if (::fstat(input.FileHandle(), &after) != 0 || after.st_size != before.st_size
        || after.st_size != contents.bytes || !sameTime(after.st_mtim, before.st_mtim))
        FailCopy(QStringLiteral("コピー中にファイルが変更されました。 ") + source.display);
    if (::fchmod(output.FileHandle(), before.st_mode & 0777) != 0 && !cannotHoldPermissions(errno))
        FailCopyWithSystemText(QStringLiteral("書き込めません。"), target.display, errno);
    if (::futimens(output.FileHandle(), times) != 0)
        FailCopyWithSystemText(QStringLiteral("日時を設定できません。"), target.display, errno);
    input.CloseFile();
    if (syncAlone && !output.Flush())
        failWrite(target, output.lastError());
    if (!output.CloseFile())
        failWrite(target, output.lastError());
    struct stat still;
    if (::fstatat(source.folder, source.name.constData(), &still, 0) != 0 || still.st_dev != before.st_dev
        || still.st_ino != before.st_ino)
        FailCopy(QStringLiteral("コピー中にファイルが削除または置き換えられました。 ") + source.display);
    written->setBytes(contents.bytes);
    callbacks.pause(0);
    return written;
}

} // namespace idlebackup
