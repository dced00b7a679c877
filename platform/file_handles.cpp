#include "platform/file_handles.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

struct timespec toTimespec(const QDateTime &date)
{
    return {time_t(date.toSecsSinceEpoch()), 0};
}

} // namespace

int OpenFileHandle(const QString &path, int mode)
{
    int flags = O_RDONLY;
    if (mode == FileHandleMode::Write)
        flags = O_WRONLY | O_CREAT | O_TRUNC;
    else if (mode == FileHandleMode::ReadWrite)
        flags = O_RDWR | O_CREAT;
    int handle;
    do {
        handle = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0666);
    } while (handle < 0 && errno == EINTR);
    return handle < 0 ? -1 : handle;
}

void CloseFileHandle(int &handle)
{
    if (handle == -1)
        return;
    ::close(handle);
    handle = -1;
}

qint64 ReadFileBytes(int handle, QByteArray &bytes, qint64 count)
{
    if (count <= 0)
        return 0;
    if (bytes.size() < count)
        bytes.resize(count);
    qint64 done = 0;
    while (done < count) {
        const ssize_t got = ::read(handle, bytes.data() + done, size_t(count - done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

qint64 WriteFileBytes(int handle, const QByteArray &bytes, qint64 count)
{
    count = std::min<qint64>(count, bytes.size());
    qint64 done = 0;
    while (done < count) {
        const ssize_t put = ::write(handle, bytes.constData() + done, size_t(count - done));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return done == 0 ? -1 : done;
        }
        done += put;
    }
    return done;
}

void SetFileTimes(int handle, const QDateTime &, const QDateTime &access, const QDateTime &write)
{
    const struct timespec times[2] = {toTimespec(access), toTimespec(write)};
    ::futimens(handle, times);
}

std::optional<std::vector<QByteArray>> NamesInFolder(int folder)
{
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *const stream = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!stream) {
        const int error = errno;
        if (listing >= 0)
            ::close(listing);
        errno = error;
        return std::nullopt;
    }
    std::vector<QByteArray> names;
    errno = 0;
    while (const dirent *entry = ::readdir(stream)) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(name.toByteArray());
    }
    const int error = errno;
    ::closedir(stream);
    if (error != 0) {
        errno = error;
        return std::nullopt;
    }
    return names;
}

bool IsRegularFileAt(int folder, const char *name)
{
    struct stat info;
    return ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode);
}

QString SystemErrorText(int error)
{
    if (error == ELOOP)
        return QStringLiteral("リンクは辿りません");
    return QString::fromLocal8Bit(std::strerror(error));
}

bool SetFileDate(const QString &path, const QDateTime &date, QString *errorText, bool *leftChanged)
{
    return SetFileTimestamp(path, toTimespec(date), errorText, leftChanged);
}

namespace {

// SetFileTimestamp for the file that `name` names in `folder`, opened with `openFlags`
// added.
bool setTimestamp(int folder, const QByteArray &name, int openFlags, const struct timespec &time, QString *errorText,
                  bool *leftChanged)
{
    int handle;
    do {
        handle = ::openat(folder, name.constData(), O_RDWR | O_CLOEXEC | openFlags);
    } while (handle < 0 && errno == EINTR);
    struct stat before = {};
    struct stat kept = {};
    bool written = false;
    bool set = handle >= 0 && ::fstat(handle, &before) == 0;
    if (set) {
        const struct timespec times[2] = {time, time};
        written = ::futimens(handle, times) == 0;
        set = written && ::fstat(handle, &kept) == 0;
    }
    const int error = errno;
    const bool held = set && kept.st_mtim.tv_sec == time.tv_sec;
    bool restored = true;
    if (written && !held) {
        // A date the file system cannot hold changes nothing: the previous times go back.
        const struct timespec previous[2] = {before.st_atim, before.st_mtim};
        struct stat back;
        restored = ::futimens(handle, previous) == 0 && ::fstat(handle, &back) == 0
                   && back.st_mtim.tv_sec == before.st_mtim.tv_sec && back.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
    }
    CloseFileHandle(handle);
    if (leftChanged)
        *leftChanged = !restored;
    if (held)
        return true;
    if (!set) {
        if (errorText)
            *errorText = SystemErrorText(error);
        return false;
    }
    if (errorText)
        *errorText = QStringLiteral("ファイルシステムがこの日時を保持できません (保持された日時 ")
                     + QDateTime::fromSecsSinceEpoch(kept.st_mtim.tv_sec).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                     + u')';
    return false;
}

} // namespace

bool SetFileTimestamp(const QString &path, const struct timespec &time, QString *errorText, bool *leftChanged)
{
    return setTimestamp(AT_FDCWD, QFile::encodeName(path), 0, time, errorText, leftChanged);
}

bool SetFileTimestampAt(int folder, const QByteArray &name, const struct timespec &time, QString *errorText,
                        bool *leftChanged)
{
    return setTimestamp(folder, name, O_NOFOLLOW, time, errorText, leftChanged);
}

FileIdentity IdentityOf(const struct stat &info)
{
    return {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

void RaiseOpenFileLimit()
{
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

} // namespace platform
