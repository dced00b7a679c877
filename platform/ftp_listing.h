#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QStringView>

namespace platform {

// One entry of a folder listing as the server sent it.
struct FtpListEntry
{
    QByteArray name;        // raw bytes, in the server's file-name code
    bool folder = false;
    bool link = false;      // a symbolic link whose target the listing does not describe;
                            // its size and time are the link's own, `folder` is false
    QDateTime time;         // local time; from MLSD to the second, from LIST to the minute
                            // (seconds 0), and for a Unix entry older than half a year only
                            // to the day (at 00:00)
    qint64 size = 0;        // -1 when the listing gives a negative size: unknown
};

// A listing as parsed: the entries in the server's order, and, as received, the names of
// the entries that cannot be one entry of a folder (isSinglePathElement), which are left
// out of `entries`. The entries "." and ".." that some servers list as folders (the folder
// itself and its parent) are in neither list.
struct FtpListing
{
    QList<FtpListEntry> entries;
    QList<QByteArray> refusedNames;
};

// True when `name`, received from a server, can name one entry of a folder here and in a
// local copy: it is not empty, not "." or "..", and holds neither "/" nor a NUL. A
// backslash is an ordinary character, as it is in a Linux file name. Every name that a
// listing delivers and every name that a transfer writes or sends passes this check.
bool isSinglePathElement(QByteArrayView name);
bool isSinglePathElement(QStringView name);

// True when a transfer can name `name`, received from a server: it holds no control byte
// below 0x20 (ESC, 0x01, ...), which libcurl refuses in the path of a download, an upload
// or a file's facts. Commands (CWD, DELE, RMD, RNFR) send such a name as it is.
bool isTransferableName(QByteArrayView name);

// Parses the reply of LIST in the Unix style
//     drwxr-xr-x   2 owner group   4096 Jan 15 12:34 name
//     -rw-r--r--   1 owner group  12345 Jan 15  2020 name
// (the group may be missing) or the DOS style of Windows servers
//     01-15-20  12:34PM       <DIR>          name
//     01-15-2020  23:05              12345 name
// Lines may end in CR LF or LF. A Unix date without a year lies in today's year, or in the
// year before when that would put it more than one day after `today`. A link lists under
// its own name (the text before " -> ") as a link. A negative size lists as unknown (-1).
// Lines of neither style ("total 12", a server's error text) are skipped.
FtpListing parseFtpListing(QByteArrayView listing, const QDate &today);

// Parses the reply of MLSD: one entry a line, facts and a name,
//     type=file;size=12345;modify=20200115123456;perm=r; name
// The facts are read without regard to case; "type" is "file", "dir", or "OS.unix=slink:..."
// or "OS.unix=symlink" for a link; "cdir" and "pdir" (the folder and its parent) are left
// out, as are lines without "; " or of another type. "modify" is UTC, to the second, with
// optional fractions, and is given as local time; a missing or bad one leaves `time`
// invalid. A missing size counts 0, a negative one is unknown (-1).
FtpListing parseMlsdListing(QByteArrayView listing);

} // namespace platform
