#include "foldercompare/listing/long_paths.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace foldercompare::listing {

namespace {

int openAt(int folder, const char *path, int flags)
{
    int descriptor;
    do {
        descriptor = ::openat(folder, path, flags | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

// Closes a descriptor of ours (not AT_FDCWD) and keeps errno as it was.
void release(int descriptor)
{
    if (descriptor < 0)
        return;
    const int error = errno;
    ::close(descriptor);
    errno = error;
}

} // namespace

int OpenPath(const QByteArray &path, int flags)
{
    if (path.size() < PATH_MAX)
        return openAt(AT_FDCWD, path.constData(), flags);

    int folder = AT_FDCWD;
    qsizetype start = 0;
    if (path.startsWith('/')) {
        folder = openAt(AT_FDCWD, "/", O_PATH | O_DIRECTORY);
        if (folder < 0)
            return -1;
    }
    for (;;) {
        while (start < path.size() && path.at(start) == '/')
            ++start;
        if (path.size() - start < PATH_MAX)
            break;
        // The longest piece that ends before a separator and still fits in one call.
        const qsizetype cut = path.lastIndexOf('/', start + PATH_MAX - 2);
        if (cut <= start) {
            release(folder);
            errno = ENAMETOOLONG;
            return -1;
        }
        const QByteArray piece = path.mid(start, cut - start);
        const int next = openAt(folder, piece.constData(), O_PATH | O_DIRECTORY);
        release(folder);
        if (next < 0)
            return -1;
        folder = next;
        start = cut + 1;
    }
    const int descriptor = openAt(folder, start < path.size() ? path.constData() + start : ".", flags);
    release(folder);
    return descriptor;
}

int StatPath(const QByteArray &path, struct stat &info)
{
    if (path.size() < PATH_MAX)
        return ::stat(path.constData(), &info);
    const int descriptor = OpenPath(path, O_PATH);
    if (descriptor < 0)
        return -1;
    const int result = ::fstat(descriptor, &info);
    release(descriptor);
    return result;
}

} // namespace foldercompare::listing
