#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <ctime>
#include <optional>
#include <vector>

struct stat;

namespace platform {

// Raw file handles (POSIX file descriptors), opened and closed within one procedure.

// Modes of OpenFileHandle; any other value opens for reading.
namespace FileHandleMode {
// Write; the file is created, or emptied when it exists.
inline constexpr int Write = 1;
// Read and write; the file is opened, or created empty when missing.
inline constexpr int ReadWrite = 2;
// Read an existing file.
inline constexpr int Read = 0;
} // namespace FileHandleMode

// The system's text for the errno value `error`, except ELOOP, which the steps that look
// a name up without following a link (O_NOFOLLOW) meet where a link is: "リンクは辿りません",
// rather than the system's "Too many levels of symbolic links".
QString SystemErrorText(int error);

// Whether the entry `name` of the open folder `folder` is a regular file of its own (a
// link there is not looked through).
bool IsRegularFileAt(int folder, const char *name);

// Opens `path` in `mode`; returns the handle, or -1 when the file cannot be opened.
int OpenFileHandle(const QString &path, int mode);

// Closes `handle` and sets it to -1; does nothing when it is -1 already, so a second
// call closes nothing.
void CloseFileHandle(int &handle);

// The names in the open folder `folder`, "." and ".." left out, read through a
// descriptor of its own so that `folder` is left as it was; nullopt, with errno set, when
// the folder cannot be read.
std::optional<std::vector<QByteArray>> NamesInFolder(int folder);

// Reads up to `count` bytes into `bytes` from its first element (the array is made at
// least `count` long); returns the number read, 0 at the end of the file, or -1 when the
// read failed.
qint64 ReadFileBytes(int handle, QByteArray &bytes, qint64 count);

// Writes the first `count` bytes of `bytes`; returns the number written (fewer than
// `count` when the write failed part way), or -1 when nothing could be written.
qint64 WriteFileBytes(int handle, const QByteArray &bytes, qint64 count);

// Sets the last-access and last-write times of the open file from local dates, whole
// seconds. The file system keeps no creation time that could be set, so `creation` is
// not used. Failures are passed over.
void SetFileTimes(int handle, const QDateTime &creation, const QDateTime &access, const QDateTime &write);

// Gives the existing file `path` the local date `date` as access and write time: opens
// it for reading and writing (a missing file is not created), sets the times and closes
// it. False, with the system's reason in `errorText` when given, when the file cannot be
// opened (missing, a folder, no write permission) or its times cannot be set. The date
// is read back as SetFileTimestamp does.
bool SetFileDate(const QString &path, const QDateTime &date, QString *errorText = nullptr,
                 bool *leftChanged = nullptr);

// Gives the existing file `path` the time stamp `time` (seconds and nanoseconds since
// the epoch) as access and write time, as SetFileDate does, and reads it back: a file
// system that keeps another second than the one asked for (one that clamps dates beyond
// its range, or rounds to two seconds) makes it false, with the kept date in
// `errorText`, and gets the file's previous times back, so that the file is as it was.
// `leftChanged`, when given, tells whether a failure left the file with other times than
// before (the previous ones could not be put back). Nanoseconds that the file system
// does not keep are no failure.
bool SetFileTimestamp(const QString &path, const struct timespec &time, QString *errorText = nullptr,
                      bool *leftChanged = nullptr);

// SetFileTimestamp for the entry `name` of the open folder `folder`, looked up in that
// folder alone: a link there is not followed, and fails the call.
bool SetFileTimestampAt(int folder, const QByteArray &name, const struct timespec &time, QString *errorText = nullptr,
                        bool *leftChanged = nullptr);

// A file as the file system identifies it, with its size and modification time.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;

    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// The identity of the file whose status is `info`.
FileIdentity IdentityOf(const struct stat &info);

// Raises this process's soft limit of open files to its hard limit, so that work that
// holds many descriptors at once (copies into many folders) is bounded by what the
// system allows rather than by the desktop's low default. Called once at start; a
// failure leaves the limit as it was. The programs wait on descriptors through poll,
// never select, so descriptors above 1,023 are of use.
void RaiseOpenFileLimit();

} // namespace platform
