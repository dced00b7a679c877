#include "platform/lock_file.h"

#include "platform/descriptor.h"
#include "platform/own_file.h"
#include "platform/program_folder.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Keeps letters, digits, '-', '_' and '.'; any other name is replaced by its hash so
// that two different names never share a file.
QString safeFileName(const QString &name)
{
    bool plain = !name.isEmpty() && name.size() <= 120;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'-' && c != u'_' && c != u'.') {
            plain = false;
            break;
        }
    }
    if (plain && name != u"." && name != u"..")
        return name;
    return QString::fromLatin1(QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex());
}

// The lock file inside a folder that tryLockFolder() locks.
constexpr char FolderLockName[] = ".instance.lock";

// The folder `folder` (no symbolic link), open, when it is ours, made private (0700, as
// a new one is) where group or others had any right to it; none otherwise.
Descriptor openOwnFolder(const QByteArray &folder)
{
    Descriptor descriptor(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!descriptor.isOpen())
        return {};
    struct stat info;
    bool ours = ::fstat(descriptor.get(), &info) == 0 && info.st_uid == ::geteuid();
    if (ours && (info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        ours = ::fchmod(descriptor.get(), S_IRWXU) == 0;
    return ours ? std::move(descriptor) : Descriptor();
}

// Opens (making it when missing) the lock file `name` in the open folder `folder`, or
// returns -1: a link, a FIFO or a file that another user owns or may write to in its
// place would let him hold our lock, or hold the program up.
int openLockFile(int folder, const QByteArray &name)
{
    Descriptor descriptor(
        ::openat(folder, name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    if (!descriptor.isOpen() || !openFileProblem(descriptor.get()).isEmpty())
        return -1;
    return descriptor.release();
}

} // namespace

QString LockFile::pathFor(const QString &name)
{
    const QString folder = runtimeFolder();
    if (folder.isEmpty())
        return QString();
    return folder + u'/' + safeFileName(name) + QStringLiteral(".lock");
}

std::optional<LockFile> LockFile::tryLock(const QString &name)
{
    return acquire(name, std::chrono::milliseconds(0));
}

std::optional<LockFile> LockFile::lock(const QString &name, std::chrono::milliseconds patience)
{
    return acquire(name, patience);
}

std::optional<LockFile> LockFile::acquire(const QString &name, std::chrono::milliseconds patience)
{
    const QString path = pathFor(name);
    if (path.isEmpty())
        return std::nullopt;
    const int descriptor = openLockFile(AT_FDCWD, QFile::encodeName(path));
    if (descriptor < 0)
        return std::nullopt;
    // Asked again and again rather than waited for in flock(), so that the wait ends.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
            return LockFile(descriptor);
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            break;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    ::close(descriptor);
    return std::nullopt;
}

std::optional<LockFile> LockFile::tryLockFolder(const QString &folder)
{
    const QByteArray encoded = QFile::encodeName(folder);
    if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    const Descriptor ownFolder = openOwnFolder(encoded);
    if (!ownFolder.isOpen())
        return std::nullopt;
    const int descriptor = openLockFile(ownFolder.get(), FolderLockName);
    if (descriptor < 0)
        return std::nullopt;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
        return LockFile(descriptor);
    ::close(descriptor);
    return std::nullopt;
}

LockFile::LockFile(int descriptor)
    : m_descriptor(descriptor)
{
}

LockFile::LockFile(LockFile &&other) noexcept
    : m_descriptor(other.m_descriptor)
{
    other.m_descriptor = -1;
}

LockFile &LockFile::operator=(LockFile &&other) noexcept
{
    if (this != &other) {
        release();
        m_descriptor = other.m_descriptor;
        other.m_descriptor = -1;
    }
    return *this;
}

LockFile::~LockFile()
{
    release();
}

void LockFile::release()
{
    if (m_descriptor >= 0) {
        ::flock(m_descriptor, LOCK_UN);
        ::close(m_descriptor);
        m_descriptor = -1;
    }
}

} // namespace platform
