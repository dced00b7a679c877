#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace idlebackup {

// Error numbers that clsFileAccess raises (as common::Failure, source FileAccessSource).
namespace FileAccessError {
inline constexpr qint32 Unknown = 45600;
inline constexpr qint32 AlreadyOpen = 45601;
inline constexpr qint32 OpenFailed = 45602;
inline constexpr qint32 NotOpen = 45603;
inline constexpr qint32 SeekFailed = 45604;
} // namespace FileAccessError

// The source named by every failure of clsFileAccess.
QString fileAccessSource();

// Modes of clsFileAccess::OpenFile.
namespace FileAccessMode {
inline constexpr qint16 Read = 0;      // an existing file, for reading (any value not below)
inline constexpr qint16 Write = 1;     // created, or emptied when it exists, for writing
inline constexpr qint16 ReadWrite = 2; // opened, or created when missing, for both
inline constexpr qint16 CreateNew = 3; // created for writing, readable by its owner only;
                                       // fails when anything (a link too) has the name
inline constexpr qint16 ReadNoLink = 4; // an existing file, for reading, never through a
                                        // link in its place (that fails with ELOOP) and
                                        // without waiting on a special file (a FIFO)
} // namespace FileAccessMode

// A file opened by descriptor: read and write byte arrays, flush, seek, its times and
// permission bits. Failures of opening, of a missing file and of a seek are raised as
// numbered common::Failure values whose description ends with the system's own text;
// reads and writes report failures through their counts instead.
class clsFileAccess
{
public:
    clsFileAccess() = default;
    // Closes the file when one is open.
    ~clsFileAccess();
    clsFileAccess(const clsFileAccess &) = delete;
    clsFileAccess &operator=(const clsFileAccess &) = delete;

    // The descriptor and the name given to OpenFile; raise NotOpen when closed.
    int FileHandle() const;
    QString FileName() const;
    // True while a file is open; never raises.
    bool IsOpen() const { return m_handle != -1; }
    // When on, every WriteBytes is followed by Flush. Off after opening and closing.
    bool AutoFlush() const;
    void setAutoFlush(bool NewVal);

    // The file's creation, last-access and last-write times as local times in whole
    // seconds (the file systems keep no creation time of their own that could be set,
    // so the creation time reads as the last-write time).
    void GetTimes(QDateTime &dCrTime, QDateTime &dAcTime, QDateTime &dWrTime) const;
    // Sets the last-access and last-write times, whole seconds; raises Unknown with the
    // system's text when they cannot be set.
    void SetTimes(const QDateTime &dCrTime, const QDateTime &dAcTime, const QDateTime &dWrTime);
    // The permission bits of the open file (the "read-only attribute" is the owner's
    // write bit missing).
    qint32 GetAttributes() const;
    // Sets the permission bits (set-user and set-group bits are never given); raises
    // Unknown when it cannot.
    void SetAttributes(qint32 attr);

    // Opens `sFileName` in `iMode` (FileAccessMode). Raises AlreadyOpen naming the open
    // file when one is open (it stays open), OpenFailed when the file cannot be opened.
    void OpenFile(const QString &sFileName, qint16 iMode);
    // Opens the item `name` (bytes as the disk holds them) of the open folder `folder`
    // as OpenFile does; `displayName` names the file in failures and FileName().
    void OpenFileAt(int folder, const QByteArray &name, const QString &displayName, qint16 iMode);
    // Closes the file when one is open; false when the system reported a failure of the
    // close (written data may not have reached the disk).
    bool CloseFile();

    // Reads up to `ByteCount` bytes into `Bytes` from its first element (the array grows
    // when it is shorter). Returns the count read, 0 at the end of the file, -1 when the
    // read failed (lastError() tells why).
    qint64 ReadBytes(QByteArray &Bytes, qint64 ByteCount);
    // Writes the first `ByteCount` bytes of `DataBytes`; returns the count written,
    // fewer than `ByteCount` when the write failed (a full disk, for instance).
    qint64 WriteBytes(const QByteArray &DataBytes, qint64 ByteCount);
    // Moves the written data to the disk; false when that failed.
    bool Flush();
    // Moves to the 64-bit position HighPos:LowPos from the start; HighPos receives the
    // new high part.
    void SeekAbsolute(qint32 &HighPos, qint32 LowPos);
    // Moves by `Offset` from the current position; raises SeekFailed when it cannot.
    void SeekRelative(qint32 Offset);

    // The system's error number of the last failed call, 0 when none failed.
    int lastError() const { return m_lastError; }

private:
    [[noreturn]] void RaiseFileError(qint32 number, const QString &argument = QString()) const;
    void requireOpen() const;

    int m_handle = -1;
    QString m_fileName;
    bool m_autoFlush = false;
    int m_lastError = 0;
};

// The system's text for an error number, "Unknown Error." when it has none.
QString GetSystemErrorText(int code);
// The description of the failure to open `path` (OpenFailed) for the system's `code`.
QString OpenFailureText(const QString &path, int code);

// The number of the failures of copies and walks, raised or saved under the
// application's name.
inline constexpr qint32 CopyFailureNumber = 9999;
// Raises a copy failure (common::Failure) with `description`.
[[noreturn]] void FailCopy(const QString &description);
// The description "<what> <path> : <system's text of code>" of a failure of a copy or a
// walk.
QString SystemFailureText(const QString &what, const QString &path, int code);
// Raises a copy failure described as SystemFailureText(what, path, code).
[[noreturn]] void FailCopyWithSystemText(const QString &what, const QString &path, int code);

} // namespace idlebackup
