#include "idlebackup/file_copy.h"

#include "idlebackup/file_access.h"
#include "idlebackup/temporary_names.h"

#include "common/saved_error.h"
#include "platform/file_copy.h"

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

// Removes the temporary file unless the copy put it in place.
class Temporary
{
public:
    explicit Temporary(int folder)
        : m_folder(folder)
    {
    }
    ~Temporary()
    {
        if (!m_name.isEmpty())
            ::unlinkat(m_folder, m_name.constData(), 0);
    }
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;
    void made(const QByteArray &name) { m_name = name; }
    void placed() { m_name.clear(); }

private:
    int m_folder;
    QByteArray m_name;
};

} // namespace

bool CopyFileAt(const FileAt &source, const FileAt &target, const CopyCallbacks &callbacks)
{
    // Declared first, so that a failed copy's temporary file is removed once both files
    // are closed.
    Temporary temporary(target.folder);
    clsFileAccess input;
    clsFileAccess output;
    input.OpenFileAt(source.folder, source.name, source.display, FileAccessMode::Read);
    struct stat before;
    if (::fstat(input.FileHandle(), &before) != 0)
        FailCopyWithSystemText(QStringLiteral("読み込めません。"), source.display, errno);
    if (!S_ISREG(before.st_mode))
        FailCopy(QStringLiteral("通常のファイルではありません。 ") + source.display);
    struct stat existing;
    if (::fstatat(target.folder, target.name.constData(), &existing, 0) == 0 && existing.st_dev == before.st_dev
        && existing.st_ino == before.st_ino)
        return false;
    const QByteArray temporaryName = NewTemporaryName();
    output.OpenFileAt(target.folder, temporaryName, target.display, FileAccessMode::CreateNew);
    temporary.made(temporaryName);
    // The source's times to the nanosecond, as far as the disk of the copy holds them.
    const timespec times[2] = {before.st_atim, before.st_mtim};
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
        FailCopyWithSystemText(QStringLiteral("書き込めません。"), target.display, contents.error);
    const qint64 total = contents.bytes;
    callbacks.pause(0);

    // A source that changed while it was read gives no copy: the next pass takes it.
    struct stat after;
    if (::fstat(input.FileHandle(), &after) != 0 || after.st_size != before.st_size || after.st_size != total
        || !sameTime(after.st_mtim, before.st_mtim))
        FailCopy(QStringLiteral("コピー中にファイルが変更されました。 ") + source.display);
    callbacks.pause(0);
    try {
        output.SetAttributes(input.GetAttributes());
    } catch (const common::Failure &) {
        if (!cannotHoldPermissions(output.lastError()))
            throw;
    }
    callbacks.pause(0);
    if (::futimens(output.FileHandle(), times) != 0)
        FailCopyWithSystemText(QStringLiteral("日時を設定できません。"), target.display, errno);
    callbacks.pause(0);
    input.CloseFile();
    callbacks.pause(0);
    struct stat copied;
    if (!output.Flush() || ::fstat(output.FileHandle(), &copied) != 0 || copied.st_size != total)
        FailCopyWithSystemText(QStringLiteral("書き込めません。"), target.display, output.lastError());
    if (!output.CloseFile())
        FailCopyWithSystemText(QStringLiteral("書き込めません。"), target.display, output.lastError());
    struct stat still;
    if (::fstatat(source.folder, source.name.constData(), &still, 0) != 0 || still.st_dev != before.st_dev
        || still.st_ino != before.st_ino)
        FailCopy(QStringLiteral("コピー中にファイルが削除または置き換えられました。 ") + source.display);
    if (::renameat(target.folder, temporaryName.constData(), target.folder, target.name.constData()) != 0)
        FailCopyWithSystemText(QStringLiteral("書き込めません。"), target.display, errno);
    temporary.placed();
    // Some file systems (FUSE FAT) give a file the time of its renaming: the copy takes
    // its times once more, or the next pass would take it for newer than its source.
    if (const int error = platform::KeepTimesAfterRename(target.folder, target.name, times))
        FailCopyWithSystemText(QStringLiteral("日時を設定できません。"), target.display, error);
    return true;
}

} // namespace idlebackup
