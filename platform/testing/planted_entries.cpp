#include "platform/testing/planted_entries.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::testing {

namespace {

constexpr char OtherUserName[] = "dirgleam-other";

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

} // namespace

std::optional<OtherUser> otherUser()
{
    if (::geteuid() != 0)
        return std::nullopt;
    // Test programs that run side by side may make it at the same moment; useradd then
    // fails for all but one, and all find it afterwards.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (const struct passwd *entry = ::getpwnam(OtherUserName))
            return OtherUser{entry->pw_uid, entry->pw_gid, QString::fromLatin1(OtherUserName)};
        QProcess::execute(QStringLiteral("useradd"), {QStringLiteral("--system"), QStringLiteral("--user-group"),
                                                      QStringLiteral("--no-create-home"), QStringLiteral("--shell"),
                                                      QStringLiteral("/usr/sbin/nologin"), QString::fromLatin1(OtherUserName)});
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return std::nullopt;
}

void skipWithoutOtherUser()
{
    if (!otherUser())
        GTEST_SKIP() << "the cases of another user's files need the superuser, who can make one";
}

bool plant(Planted kind, const QString &path, const QByteArray &content)
{
    const QByteArray encoded = QFile::encodeName(path);
    const std::optional<OtherUser> other = otherUser();
    switch (kind) {
    case Planted::OthersFile:
        if (!other)
            return false;
        writeFile(path, content);
        return ::chown(encoded.constData(), other->uid, other->gid) == 0;
    case Planted::Link:
        writeFile(path + QStringLiteral(".target"), content);
        return ::symlink(QFile::encodeName(path + QStringLiteral(".target")).constData(), encoded.constData()) == 0;
    case Planted::Fifo:
        return ::mkfifo(encoded.constData(), 0600) == 0;
    case Planted::WritableByOthers:
        writeFile(path, content);
        return ::chmod(encoded.constData(), 0666) == 0;
    case Planted::SharedGroupFile:
        if (!other)
            return false;
        writeFile(path, content);
        return ::chown(encoded.constData(), ::geteuid(), other->gid) == 0 && ::chmod(encoded.constData(), 0660) == 0;
    }
    return false;
}

QByteArray entryState(const QString &path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return "missing";
    QByteArray state = QByteArray::number(info.st_mode, 8) + ' ' + QByteArray::number(info.st_uid) + ' '
                       + QByteArray::number(info.st_gid);
    if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            state += ' ' + file.readAll();
    }
    return state;
}

FifoWatch::FifoWatch(const QString &fifo)
    : m_fifo(QFile::encodeName(fifo))
{
    m_watcher = std::thread([this] {
        std::unique_lock lock(m_lock);
        auto wait = std::chrono::milliseconds(10000);
        while (!m_ended.wait_for(lock, wait, [this] { return m_done; })) {
            m_heldUp = true;
            // Both ends at once: an opener of either end goes on; closing them ends a
            // read. Again and again, for every opener that comes after.
            const int ends = ::open(m_fifo.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (ends >= 0)
                ::close(ends);
            wait = std::chrono::milliseconds(100);
        }
    });
}

FifoWatch::~FifoWatch()
{
    heldUp();
}

bool FifoWatch::heldUp()
{
    {
        const std::lock_guard lock(m_lock);
        m_done = true;
    }
    m_ended.notify_all();
    if (m_watcher.joinable())
        m_watcher.join();
    return m_heldUp;
}

} // namespace platform::testing
