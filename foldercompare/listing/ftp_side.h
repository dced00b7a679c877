#pragma once

#include "common/mod_ftp.h"
#include "foldercompare/listing/file_info_log.h"
#include "foldercompare/listing/work_host.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace foldercompare::listing {

// The parts of an ftp:// address (GetFtpInfo); the comments give each part's index in
// the eight texts that the file operations read.
struct FtpInfo
{
    QString host;       // 0: the host, with ":" and the port when the address carries one
    QString user;       // 1: empty when none
    QString password;   // 2: empty when none
    QString proxy;      // 3: the FTP proxy setting, empty for a direct connection
    QString passive;    // 4: always "True"
    QString path;       // 5: "/" followed by everything after the host
    QString folderPart; // 6: the path up to and including its last "/"
    QString fileName;   // 7: the path after its last "/", empty when it ends with "/"
};

// Splits an ftp:// address (its first six characters are taken as the prefix unseen).
// The credentials are the text before the host's last "@", split at their first ":";
// credentials without ":" give neither user nor password. An address without "/" after
// the prefix has no host, and all of it is the path.
FtpInfo GetFtpInfo(const QString &address, const QString &proxy);

// The text after the last occurrence of `separator`: all of `text` when it does not
// occur, empty when `text` ends with it.
QString GetLastPart(const QString &text, const QString &separator);

// The cached file's last-write time as "yyyy/MM/dd HH:mm:ss" and its size in bytes as
// decimal text; both empty when the file does not exist or cannot be read.
void GetCacheFileDate(const QString &localPath, QString &date, QString &size);

// What the FTP side of a gathering needs besides the address.
struct FtpGathering
{
    WorkHost &host;
    QString proxy = {}; // [PROXY] Server_FTP
    int folderNum = 999;
    // Waits the given milliseconds (the late-listing wait and the size check).
    std::function<void(int milliseconds)> wait = {};
    // Downloads each file at most this many times more when its copy keeps a size other
    // than the listed one; the entry then takes the last listed values.
    int sizeCheckRepeats = 3;
    // Filled by the gathering, for the exclusion message: relative paths left out because a
    // listing line cannot hold their names (a TAB in a name) or because their copy would
    // leave the cache folder (through a symbolic link in it) or because no transfer can name
    // them (a control byte in a name); and listed names that cannot be one entry of a
    // folder ("", ".", "..", a "/" or a NUL in them), each as the relative folder that
    // listed it followed by the name as received, made printable.
    // Nothing of these is written into the cache, and the gathering goes on without them.
    QStringList excludedPaths = {};
    // Filled by the gathering: files that the server refused to send, each as its relative
    // path, " : " and the server's reply. Their records carry the listed values; they have
    // no cached copy (an older one is removed), and the gathering goes on without them.
    QStringList refusedFiles = {};
    // Set when GetFtpDate returns false: why the side could not be gathered (the FTP
    // client's description of the failure).
    QString failure = {};
    // Seconds that connecting, a reply or a transfer may go without progress.
    int waitSeconds = common::FtpWaitSeconds;
};

// Gathers an FTP address into `records` (GetFtpDate): connects, mirrors the tree below
// the address into `cacheFolder` (downloading only files whose listed date or size
// differs from the cached copy), lists every entry, dot entries included (but not the
// temporary files that uploads of ours killed before they ended left there), and
// disconnects. The progress caption names the address with its password shown as "****".
// Names go back to the server as it listed them. A symbolic link that can be entered is a
// folder; any other is a file whose size and time the server tells (SIZE, MDTM) or,
// failing that, its size is the download's. A folder that lists the very same
// entries as one being walked above it (a link that leads back there) is listed with its
// own date and nothing below it. A single-file address
// is downloaded every time and gives one record of its name and listed time (`dateOnly`).
// A folder named without the trailing "/" gets it, also in `address`.
// Returns false, with the reason in `gathering.failure` and no records, when the server
// cannot be reached, refuses the login, or a folder of the address or below it cannot be
// entered or listed, or the server stops answering; true when the records were gathered
// (also after an abort, with what was walked by then). Throws common::Failure for any
// other failure (a cached copy that cannot be written), after disconnecting.
bool GetFtpDate(QString &address, const QString &cacheFolder, const QString &fileNameCode, FtpGathering &gathering,
                std::vector<GatheredEntry> &records);

// A remote folder tree as ReadFtpTree reads it, before anything in it is changed.
struct FtpTreeFolder
{
    QByteArray path; // absolute, in the server's bytes
    // The files and the symbolic links (`link`), whatever they lead to.
    QList<common::FtpFolderEntry> files;
    // The folders, each with its entry as its parent listed it.
    QList<std::pair<common::FtpFolderEntry, FtpTreeFolder>> folders;
};

// Reads the tree below the remote folder `path` on the open connection for a walk that
// changes it: a symbolic link is kept as a link and never entered, whatever it leads to;
// where the listing may describe a link as a folder (MLSD), the folder's LIST tells
// which entries are links, and a folder that stays in doubt is not entered but thrown as
// a common::Failure naming it. A folder that leads back to one above it is never
// entered, and at most `folderNum` levels are read. Entries for which `take` is false are
// neither kept nor entered. A loop or a tree deeper than `folderNum` is thrown as a
// common::Failure naming the folder, so that nothing is done below it; so is any failure
// of the server.
FtpTreeFolder ReadFtpTree(const QByteArray &path, int folderNum,
                          const std::function<bool(const common::FtpFolderEntry &)> &take);

// The entry of the remote `path` as its folder lists it, with a symbolic link told as
// ReadFtpTree tells one (thrown as it throws when it stays in doubt); nullopt when the
// folder does not list it.
std::optional<common::FtpFolderEntry> ReadFtpEntry(const QByteArray &path);

// The root of an FTP side for the row commands: the cache folder, joined by "/" with the
// last part of the address when that is not empty.
QString FtpSideRoot(const QString &cacheFolder, const QString &address);

} // namespace foldercompare::listing
