#include "platform/own_file.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace {

const QString LinkText = QStringLiteral("シンボリックリンクです");
const QString NotRegularText = QStringLiteral("通常のファイルではありません");
const QString OthersMayWriteText = QStringLiteral("他のユーザーも書き込めます");

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The name of the user `user` in the system's user list; empty when he has none.
QByteArray userName(uid_t user)
{
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd *found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return QByteArray(found->pw_name);
}

bool anyOtherMember(gid_t group, const QByteArray &self)
{
    std::vector<char> buffer(65536);
    struct group entry;
    struct group *found = nullptr;
    if (::getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return false;
    for (char **member = found->gr_mem; member && *member; ++member)
        if (self != *member)
            return true;
    return false;
}

// Whether a user other than `user` has `group` as his own group. The user list is walked
// with the system's one cursor: callers hold groupHoldsOnlyUser's lock.
bool anyOtherUserOfGroup(gid_t group, uid_t user)
{
    bool found = false;
    ::setpwent();
    while (const struct passwd *entry = ::getpwent()) {
        if (entry->pw_gid == group && entry->pw_uid != user) {
            found = true;
            break;
        }
    }
    ::endpwent();
    return found;
}

// Whether the group `group` holds nobody but this user: no other user has it as his own
// group or is listed as its member. The answer is kept per group, and the lock keeps two
// walks of the user list apart.
bool groupHoldsOnlyUser(gid_t group)
{
    static std::mutex lock;
    static std::map<gid_t, bool> known;
    const std::lock_guard guard(lock);
    const auto found = known.find(group);
    if (found != known.end())
        return found->second;
    const uid_t user = ::geteuid();
    const bool onlyUser = !anyOtherMember(group, userName(user)) && !anyOtherUserOfGroup(group, user);
    known.emplace(group, onlyUser);
    return onlyUser;
}

// Why the entry `info` is not used as a file: a link, no regular file, or not trusted.
QString entryProblem(const struct stat &info, TrustedOwners owners)
{
    if (S_ISLNK(info.st_mode))
        return LinkText;
    if (!S_ISREG(info.st_mode))
        return NotRegularText;
    return foreignControlProblem(info, owners);
}

} // namespace

QString ownedByOtherText(uid_t owner)
{
    const QByteArray name = userName(owner);
    return QStringLiteral("他のユーザー (%1) が所有しています")
        .arg(name.isEmpty() ? QString::number(owner) : QString::fromLocal8Bit(name));
}

QString foreignControlProblem(const struct stat &info, TrustedOwners owners)
{
    const uid_t user = ::geteuid();
    if (info.st_uid != user && !(owners == TrustedOwners::UserOrRoot && info.st_uid == 0))
        return ownedByOtherText(info.st_uid);
    if ((info.st_mode & S_IWOTH) != 0 || ((info.st_mode & S_IWGRP) != 0 && !groupHoldsOnlyUser(info.st_gid)))
        return OthersMayWriteText;
    return QString();
}

QString regularFileProblem(const QString &path, TrustedOwners owners, bool *missing)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (missing)
            *missing = errno == ENOENT;
        return systemText(errno);
    }
    return entryProblem(info, owners);
}

QString refusalMessage(const QString &lead, const QString &path, const QString &problem)
{
    return lead + QStringLiteral("　\r\n\r\n") + path + QStringLiteral("\r\n(") + problem + u')';
}

QString openFileProblem(int descriptor)
{
    struct stat info;
    if (::fstat(descriptor, &info) != 0)
        return systemText(errno);
    return entryProblem(info, TrustedOwners::User);
}

OwnFile openOwnFile(const QString &path)
{
    OwnFile file;
    // Looked at first, so that a device or a FIFO is not even opened.
    file.problem = regularFileProblem(path, TrustedOwners::User, &file.missing);
    if (file.missing)
        file.problem.clear();
    if (file.missing || !file.problem.isEmpty())
        return file;
    Descriptor opened(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!opened.isOpen()) {
        file.missing = errno == ENOENT;
        if (!file.missing)
            file.problem = errno == ELOOP ? LinkText : systemText(errno);
        return file;
    }
    // Judged again as opened: something else may have taken the name in between.
    file.problem = openFileProblem(opened.get());
    if (file.problem.isEmpty())
        file.descriptor = std::move(opened);
    return file;
}

OwnFileContents readOwnFile(const QString &path)
{
    OwnFileContents contents;
    OwnFile file = openOwnFile(path);
    contents.missing = file.missing;
    contents.problem = file.problem;
    if (!file.descriptor.isOpen())
        return contents;
    QFile reader;
    if (!reader.open(file.descriptor.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        contents.problem = reader.errorString();
        return contents;
    }
    contents.bytes = reader.readAll();
    if (reader.error() != QFileDevice::NoError) {
        contents.problem = reader.errorString();
        contents.bytes.clear();
    }
    return contents;
}

} // namespace platform
