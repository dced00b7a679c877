#pragma once

#include "platform/file_handles.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace foldercompare::listing {

// One line of a listing file: relative path (folders end with "/"), date
// "yyyy/mm/dd hh:mm:ss" in local time, size in bytes and the number of entries below a
// folder ("0" for a file), as UTF-8 texts. The line of a single FTP file carries only the
// path and the date; its size and count are empty. The fields are views into the
// listing as its reader holds it.
struct FileInfoRecord
{
    QByteArrayView path;
    QByteArrayView date;
    QByteArrayView size;
    QByteArrayView count;

    bool isFolder() const { return path.endsWith('/'); }
    QString pathText() const { return QString::fromUtf8(path); }
};

// An entry found by a walk, before it is written: its relative path, its date in
// seconds since the epoch, its size and its entry count.
struct GatheredEntry
{
    QString path;
    qint64 modified = 0;
    qint64 size = 0;
    qint64 count = 0;
    // A single FTP file: its line carries only the path and the date.
    bool dateOnly = false;
    // A local file as the walk saw it, to the nanosecond; zero for folders and FTP entries.
    platform::FileIdentity identity = {};
};

// "yyyy/mm/dd hh:mm:ss" of a time in seconds since the epoch, in local time.
QString FormatLocalDate(qint64 secondsSinceEpoch);

// The bytes of a listing file: one UTF-8 line per entry, fields separated by TAB (only
// the path and the date for a `dateOnly` entry), each line ending in CR LF, in the order
// given.
QByteArray FormatFileInfoLog(const std::vector<GatheredEntry> &entries);

// Sorts entries by their relative paths as CompareItem orders them.
void SortEntries(std::vector<GatheredEntry> &entries);

// Writes `bytes` to `path` through a temporary file of this process in the same folder
// (platform::writeWholeFile) that replaces the target only when every byte was written,
// synced and closed; on failure the target is left as it was, the temporary file is
// removed and the description of the failure is returned.
std::optional<QString> WriteFileAtomically(const QString &path, const QByteArray &bytes);

// Reads a listing file one record at a time. Lines may end in CR LF or LF; blank lines
// are passed over. A line is split at TAB into four fields (missing fields are empty,
// further fields are dropped). The whole file is held while the reader lives, and the
// records it hands out stay valid as long.
class FileInfoLogReader
{
public:
    // A missing file reads as an empty listing. Throws common::Failure when the file
    // exists but cannot be read or is not the user's own (platform::readOwnFile).
    explicit FileInfoLogReader(const QString &path);
    // Reads the listing `bytes`, named `path` in the failures.
    FileInfoLogReader(const QString &path, QByteArray bytes);

    // The whole listing as read.
    const QByteArray &bytes() const { return m_bytes; }

    // The next record, or nullopt at the end. Throws common::Failure (type mismatch,
    // number 13) for a record that a hand edit or a cut broke: a date not of the form
    // "yyyy/mm/dd hh:mm:ss", a size or count that is not a whole number, or a path that
    // does not sort after the previous one, so that a damaged listing never pairs or
    // counts entries wrongly.
    std::optional<FileInfoRecord> next();

private:
    [[noreturn]] void damaged(const QString &what) const;

    QString m_path;
    QByteArray m_bytes;
    qsizetype m_position = 0;
    qint64 m_lineNumber = 0;
    QByteArrayView m_previousPath;
    bool m_started = false;
};

} // namespace foldercompare::listing
