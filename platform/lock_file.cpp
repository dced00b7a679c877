#include "platform/lock_file.h"

#include "platform/program_folder.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
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

} // namespace

QString LockFile::pathFor(const QString &name)
{
    return runtimeFolder() + u'/' + safeFileName(name) + QStringLiteral(".lock");
}

std::optional<LockFile> LockFile::tryLock(const QString &name)
{
    return acquire(name, false);
}

std::optional<LockFile> LockFile::lock(const QString &name)
{
    return acquire(name, true);
}

std::optional<LockFile> LockFile::acquire(const QString &name, bool wait)
{
    const QByteArray path = QFile::encodeName(pathFor(name));
    const int descriptor = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return std::nullopt;
    int result;
    do {
        result = ::flock(descriptor, wait ? LOCK_EX : LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(descriptor);
        return std::nullopt;
    }
    return LockFile(descriptor);
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
