#include "common/ftp_password_handover.h"

#include "common/common_module.h"
#include "common/mod_ftp.h"
#include "common/saved_error.h"
#include "platform/file_handles.h"
#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace common {

namespace {

const QString FtpScheme = QStringLiteral("ftp://");
const QString HandOverPrefix = QStringLiteral("ftp-address-");
constexpr qint64 HandOverBytesMax = 64 * 1024;

[[noreturn]] void failHandOver(const QString &path, int error)
{
    throw Failure(LocalFileFailure, QCoreApplication::applicationName(),
                  QStringLiteral("パスワードの受け渡しファイルを書けません。 ") + path + QStringLiteral(" : ")
                      + QString::fromLocal8Bit(std::strerror(error)));
}

// Whether `file` has the name of a hand-over file and lies right in the runtime folder:
// a switch typed by hand must not make the program read and delete a file of the user's.
bool isHandOverPlace(const QString &file)
{
    const QString folder = platform::runtimeFolder();
    const QFileInfo info(file);
    return !folder.isEmpty() && info.fileName().startsWith(HandOverPrefix)
           && QDir::cleanPath(info.absolutePath()) == QDir::cleanPath(QDir(folder).absolutePath());
}

} // namespace

std::optional<QString> PasswordFileOf(const QString &token)
{
    if (!token.startsWith(PasswordFileSwitch + u'/', Qt::CaseInsensitive))
        return std::nullopt;
    return token.mid(PasswordFileSwitch.size());
}

QString WithoutFtpPassword(const QString &address)
{
    // Gathering takes "FTP://" for an FTP side as well, so its password is hidden too.
    if (!address.startsWith(FtpScheme, Qt::CaseInsensitive))
        return address;
    const std::optional<PasswordSpan> span = PasswordSpanOf(address, FtpScheme.size());
    return span ? address.left(span->colon) + address.mid(span->at) : address;
}

QStringList ArgumentsWithoutFtpPasswords(const std::array<QString, 2> &paths, const QStringList &options,
                                         QString &handOverFile)
{
    handOverFile.clear();
    QStringList arguments;
    bool hidden = false;
    for (const QString &path : paths) {
        arguments.append(WithoutFtpPassword(path));
        hidden = hidden || arguments.constLast() != path;
    }
    arguments += options;
    if (!hidden)
        return arguments;
    const QString folder = platform::runtimeFolder();
    if (folder.isEmpty())
        failHandOver(QStringLiteral("$XDG_RUNTIME_DIR"), ENOENT);
    for (;;) {
        const QString path = QDir(folder).absoluteFilePath(
            HandOverPrefix + QString::number(QRandomGenerator::global()->generate64(), 36));
        const int descriptor = ::open(QFile::encodeName(path).constData(),
                                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (descriptor < 0 && errno == EEXIST)
            continue;
        if (descriptor < 0)
            failHandOver(path, errno);
        const QByteArray lines = (paths[0] + u'\n' + paths[1] + u'\n').toUtf8();
        const bool written = platform::WriteFileBytes(descriptor, lines, lines.size()) == lines.size();
        const int error = errno;
        if (::close(descriptor) != 0 || !written) {
            ::unlink(QFile::encodeName(path).constData());
            failHandOver(path, written ? errno : error);
        }
        handOverFile = path;
        return arguments + QStringList{PasswordFileSwitch + path};
    }
}

void TakeBackFtpPasswords(const QString &file, std::array<std::optional<QString>, 2> &paths)
{
    if (!isHandOverPlace(file))
        return;
    const QByteArray name = QFile::encodeName(file);
    const int descriptor = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return;
    struct stat info = {};
    QByteArray bytes;
    const bool ours = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
                      && (info.st_mode & 077) == 0 && info.st_size <= HandOverBytesMax;
    if (ours) {
        const qint64 got = platform::ReadFileBytes(descriptor, bytes, qint64(info.st_size));
        bytes.truncate(got < 0 ? 0 : qsizetype(got));
        ::unlink(name.constData());
    }
    ::close(descriptor);
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    for (int side = 0; side < 2 && side < lines.size(); ++side) {
        if (paths[side] && !lines[side].isEmpty() && *paths[side] == WithoutFtpPassword(lines[side]))
            paths[side] = lines[side];
    }
}

} // namespace common
