#include "idlebackup/file_access.h"

#include "common/saved_error.h"
#include "platform/byte_text.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace idlebackup {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The part of a description that the system adds: empty for code 0, else CR LF,
// "Error ", the code, CR LF and the system's text.
QString systemPart(int code)
{
    if (code == 0)
        return QString();
    return CrLf + QStringLiteral("Error ") + QString::number(code) + CrLf + GetSystemErrorText(code);
}

int openFlags(qint16 mode)
{
    switch (mode) {
    case FileAccessMode::Write:
        return O_WRONLY | O_CREAT | O_TRUNC;
    case FileAccessMode::ReadWrite:
        return O_RDWR | O_CREAT;
    case FileAccessMode::CreateNew:
        return O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
    case FileAccessMode::ReadNoLink:
        return O_RDONLY | O_NOFOLLOW | O_NONBLOCK;
    default:
        return O_RDONLY;
    }
}

timespec wholeSeconds(const QDateTime &time)
{
    timespec result{};
    result.tv_sec = time_t(time.toSecsSinceEpoch());
    return result;
}

} // namespace

QString fileAccessSource()
{
    return QStringLiteral("Win32File Object");
}

QString GetSystemErrorText(int code)
{
    const char *text = std::strerror(code);
    return text && *text ? QString::fromLocal8Bit(text) : QStringLiteral("Unknown Error.");
}

QString OpenFailureText(const QString &path, int code)
{
    return QStringLiteral("Error opening '") + path + QStringLiteral("'.") + systemPart(code);
}

void FailCopy(const QString &description)
{
    throw common::Failure(CopyFailureNumber, QCoreApplication::applicationName(), description);
}

QString SystemFailureText(const QString &what, const QString &path, int code)
{
    return what + QStringLiteral(" ") + path + QStringLiteral(" : ") + GetSystemErrorText(code);
}

void FailCopyWithSystemText(const QString &what, const QString &path, int code)
{
    FailCopy(SystemFailureText(what, path, code));
}

clsFileAccess::~clsFileAccess()
{
    if (m_handle != -1)
        ::close(m_handle);
}

int clsFileAccess::FileHandle() const
{
    requireOpen();
    return m_handle;
}

QString clsFileAccess::FileName() const
{
    requireOpen();
    return m_fileName;
}

bool clsFileAccess::AutoFlush() const
{
    requireOpen();
    return m_autoFlush;
}

void clsFileAccess::setAutoFlush(bool NewVal)
{
    requireOpen();
    m_autoFlush = NewVal;
}

void clsFileAccess::GetTimes(QDateTime &dCrTime, QDateTime &dAcTime, QDateTime &dWrTime) const
{
    requireOpen();
    struct stat info;
    if (::fstat(m_handle, &info) != 0)
        return;
    dAcTime = QDateTime::fromSecsSinceEpoch(info.st_atim.tv_sec);
    dWrTime = QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec);
    dCrTime = dWrTime;
}

void clsFileAccess::SetTimes(const QDateTime &dCrTime, const QDateTime &dAcTime, const QDateTime &dWrTime)
{
    Q_UNUSED(dCrTime);
    requireOpen();
    const timespec times[2] = {wholeSeconds(dAcTime), wholeSeconds(dWrTime)};
    if (::futimens(m_handle, times) != 0) {
        m_lastError = errno;
        RaiseFileError(FileAccessError::Unknown);
    }
}

qint32 clsFileAccess::GetAttributes() const
{
    requireOpen();
    struct stat info;
    if (::fstat(m_handle, &info) != 0)
        return 0;
    return qint32(info.st_mode & 07777);
}

void clsFileAccess::SetAttributes(qint32 attr)
{
    requireOpen();
    if (::fchmod(m_handle, mode_t(attr) & 0777) != 0) {
        m_lastError = errno;
        RaiseFileError(FileAccessError::Unknown);
    }
}

void clsFileAccess::OpenFile(const QString &sFileName, qint16 iMode)
{
    OpenFileAt(AT_FDCWD, platform::BytesOfText(sFileName), sFileName, iMode);
}

void clsFileAccess::OpenFileAt(int folder, const QByteArray &name, const QString &displayName, qint16 iMode)
{
    if (m_handle != -1)
        RaiseFileError(FileAccessError::AlreadyOpen, m_fileName);
    const mode_t permissions = iMode == FileAccessMode::CreateNew ? 0600 : 0666;
    int handle;
    do {
        handle = ::openat(folder, name.constData(), openFlags(iMode) | O_CLOEXEC, permissions);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        m_lastError = errno;
        RaiseFileError(FileAccessError::OpenFailed, displayName);
    }
    m_handle = handle;
    m_fileName = displayName;
}

bool clsFileAccess::CloseFile()
{
    if (m_handle == -1)
        return true;
    const bool closed = ::close(m_handle) == 0 || errno == EINTR;
    if (!closed)
        m_lastError = errno;
    m_handle = -1;
    m_fileName.clear();
    m_autoFlush = false;
    return closed;
}

qint64 clsFileAccess::ReadBytes(QByteArray &Bytes, qint64 ByteCount)
{
    requireOpen();
    if (Bytes.size() < ByteCount)
        Bytes.resize(ByteCount);
    ssize_t count;
    do {
        count = ::read(m_handle, Bytes.data(), size_t(ByteCount));
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        m_lastError = errno;
        return -1;
    }
    return count;
}

qint64 clsFileAccess::WriteBytes(const QByteArray &DataBytes, qint64 ByteCount)
{
    requireOpen();
    ByteCount = qMin(ByteCount, qint64(DataBytes.size()));
    qint64 done = 0;
    while (done < ByteCount) {
        const ssize_t count = ::write(m_handle, DataBytes.constData() + done, size_t(ByteCount - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            m_lastError = count < 0 ? errno : ENOSPC;
            break;
        }
        done += count;
    }
    if (m_autoFlush)
        Flush();
    return done;
}

bool clsFileAccess::Flush()
{
    requireOpen();
    int result;
    do {
        result = ::fdatasync(m_handle);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        m_lastError = errno;
    return result == 0;
}

void clsFileAccess::SeekAbsolute(qint32 &HighPos, qint32 LowPos)
{
    requireOpen();
    const off_t position = off_t((quint64(quint32(HighPos)) << 32) | quint32(LowPos));
    const off_t reached = ::lseek(m_handle, position, SEEK_SET);
    if (reached >= 0)
        HighPos = qint32(quint64(reached) >> 32);
}

void clsFileAccess::SeekRelative(qint32 Offset)
{
    requireOpen();
    if (::lseek(m_handle, off_t(Offset), SEEK_CUR) < 0) {
        m_lastError = errno;
        RaiseFileError(FileAccessError::SeekFailed);
    }
}

void clsFileAccess::requireOpen() const
{
    if (m_handle == -1)
        RaiseFileError(FileAccessError::NotOpen);
}

void clsFileAccess::RaiseFileError(qint32 number, const QString &argument) const
{
    QString description;
    switch (number) {
    case FileAccessError::AlreadyOpen:
        description = QStringLiteral("The file '") + argument + QStringLiteral("' is already open.");
        break;
    case FileAccessError::OpenFailed:
        description = OpenFailureText(argument, m_lastError);
        break;
    case FileAccessError::NotOpen:
        description = QStringLiteral("There is no open file.");
        break;
    case FileAccessError::SeekFailed:
        description = QStringLiteral("Seek Error.") + CrLf + QStringLiteral("Error ") + QString::number(m_lastError)
                      + QStringLiteral(".") + CrLf + QString::number(m_lastError);
        break;
    default:
        number = FileAccessError::Unknown;
        description = QStringLiteral("Unknown error.") + systemPart(m_lastError);
        break;
    }
    throw common::Failure(number, fileAccessSource(), description);
}

} // namespace idlebackup
