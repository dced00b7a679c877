#include "platform/testing/ftp_test_server.h"

#include "platform/testing/temporary_folder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace platform::testing {

namespace {

// True when a connection to 127.0.0.1:port is answered with a "220" greeting.
bool greets(quint16 port)
{
    const int descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
    if (descriptor < 0)
        return false;
    timeval timeout{5, 0};
    ::setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool answered = false;
    if (::connect(descriptor, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
        char reply[4] = {};
        qsizetype received = 0;
        while (received < 3) {
            const ssize_t count = ::recv(descriptor, reply + received, size_t(3 - received), 0);
            if (count <= 0)
                break;
            received += count;
        }
        answered = received == 3 && QByteArray(reply, 3) == "220";
    }
    ::close(descriptor);
    return answered;
}

} // namespace

FtpTestProcess::FtpTestProcess(QStringList arguments)
    : ScriptProcess(QStringLiteral("ftp_test_server.py"), std::move(arguments))
{
}

bool FtpTestProcess::answers(quint16 port) const
{
    return greets(port);
}

QStringList FtpTestProcess::logins()
{
    return linesAfter(QStringLiteral("LOGIN "));
}

QStringList FtpTestProcess::linesAfter(const QString &prefix)
{
    QStringList result;
    for (const QString &line : outputLines()) {
        if (line.startsWith(prefix))
            result.append(line.mid(prefix.size()));
    }
    return result;
}

FtpTestServer::FtpTestServer(const QString &rootFolder, const QString &user, const QString &password)
    : FtpTestProcess({QStringLiteral("server"), rootFolder, user, password})
    , m_user(user)
    , m_password(password)
{
}

QString FtpTestServer::url(const QString &path) const
{
    return QStringLiteral("ftp://") + m_user + u':' + m_password + u'@' + hostAndPort() + path;
}

void FtpTestServer::answerListWith(const QString &folder, const QByteArray &listing)
{
    addArguments({folder, QString::fromLatin1(listing.toHex())});
}

void FtpTestServer::refuse(const QString &command)
{
    addArguments({QStringLiteral("--refuse"), command});
}

void FtpTestServer::hideDotFilesFromPlainList()
{
    addArguments({QStringLiteral("--hide-dot-files")});
}

void FtpTestServer::takeListOptionsForNames()
{
    addArguments({QStringLiteral("--list-options-as-names")});
}

void FtpTestServer::offerNoMlsd()
{
    addArguments({QStringLiteral("--no-mlsd")});
}

void FtpTestServer::refuseToSend(const QString &path)
{
    addArguments({QStringLiteral("--refuse-to-send"), path});
}

void FtpTestServer::dropUploadsAfter(qint64 bytes)
{
    addArguments({QStringLiteral("--drop-store-after"), QString::number(bytes)});
}

void FtpTestServer::dropUploadOfAfter(const QString &path, qint64 bytes)
{
    addArguments({QStringLiteral("--drop-store-of"), path, QString::number(bytes)});
}

void FtpTestServer::vanishBeforeRename(int count)
{
    addArguments({QStringLiteral("--vanish-before-rename"), QString::number(count)});
}

void FtpTestServer::refuseRenameOverExisting()
{
    addArguments({QStringLiteral("--refuse-rename-over-existing")});
}

void FtpTestServer::listWithoutEnd(const QString &folder)
{
    addArguments({QStringLiteral("--list-without-end"), folder});
}

void FtpTestServer::trickle(const QString &path)
{
    addArguments({QStringLiteral("--trickle"), path});
}

void FtpTestServer::recordCommands()
{
    addArguments({QStringLiteral("--log-commands"), m_commandLog.filePath(QStringLiteral("commands.log"))});
}

QStringList FtpTestServer::commands()
{
    const QByteArray logged = TemporaryFolder::readFile(m_commandLog.filePath(QStringLiteral("commands.log")));
    return QString::fromUtf8(logged).split(u'\n', Qt::SkipEmptyParts);
}

SilentServer::SilentServer()
    : m_descriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_descriptor < 0 || ::bind(m_descriptor, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_descriptor, 16) != 0
        || ::getsockname(m_descriptor, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ADD_FAILURE() << "cannot listen on 127.0.0.1";
        return;
    }
    m_port = ntohs(address.sin_port);
}

SilentServer::~SilentServer()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

QString SilentServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_port);
}

FtpTestProxy::FtpTestProxy()
    : FtpTestProcess({QStringLiteral("proxy")})
{
}

void makeRawFolder(const QString &folder, const QByteArray &relativePath)
{
    QByteArray path = QFile::encodeName(folder);
    for (const QByteArray &part : relativePath.split('/')) {
        if (part.isEmpty())
            continue;
        path += '/' + part;
        if (::mkdir(path.constData(), 0777) != 0 && errno != EEXIST)
            ADD_FAILURE() << "cannot create folder " << path.toStdString();
    }
}

void writeRawFile(const QString &folder, const QByteArray &relativePath, const QByteArray &content)
{
    const qsizetype slash = relativePath.lastIndexOf('/');
    if (slash > 0)
        makeRawFolder(folder, relativePath.left(slash));
    const QByteArray path = QFile::encodeName(folder) + '/' + relativePath;
    const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (descriptor < 0) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
        return;
    }
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t count = ::write(descriptor, content.constData() + written, size_t(content.size() - written));
        if (count <= 0)
            break;
        written += count;
    }
    ::close(descriptor);
    EXPECT_EQ(written, content.size()) << path.toStdString();
}

void setRawFileTime(const QString &folder, const QByteArray &relativePath, const QDateTime &time)
{
    const QByteArray path = QFile::encodeName(folder) + '/' + relativePath;
    timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(time.toSecsSinceEpoch());
    if (::utimensat(AT_FDCWD, path.constData(), times, 0) != 0)
        ADD_FAILURE() << "cannot set the time of " << path.toStdString();
}

QList<QByteArray> rawNames(const QString &folder)
{
    QList<QByteArray> names;
    DIR *directory = ::opendir(QFile::encodeName(folder).constData());
    if (!directory)
        return names;
    while (const dirent *entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace platform::testing
