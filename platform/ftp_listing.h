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
    QByteArray name;  // raw bytes, in the server's file-name code
    bool folder = false;
    QDateTime time;   // the listed clock reading as local time; seconds are 0 (listings show
                      // minutes), and a Unix entry older than half a year shows only its day
    qint64 size = 0;
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

// Parses the reply of LIST in the Unix style
//     drwxr-xr-x   2 owner group   4096 Jan 15 12:34 name
//     -rw-r--r--   1 owner group  12345 Jan 15  2020 name
// (the group may be missing) or the DOS style of Windows servers
//     01-15-20  12:34PM       <DIR>          name
//     01-15-2020  23:05              12345 name
// Lines may end in CR LF or LF. A Unix date without a year lies in today's year, or in the
// year before when that would put it more than one day after `today`. A link lists under
// its own name (the text before " -> "), as a file. Lines of neither style ("total 12", a
// server's error text) are skipped.
FtpListing parseFtpListing(QByteArrayView listing, const QDate &today);

} // namespace platform
