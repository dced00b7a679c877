#pragma once

#include "common/saved_error.h"
#include "platform/ftp_listing.h"
#include "platform/ftp_session.h"
#include "platform/network_timeouts.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

namespace common {

// modFtp: the programs' one FTP client, one connection at a time for the whole program.
// Remote names are sent and read in FileNameCode; the client keeps the current folder
// itself and sends absolute paths, so every operation reuses the login's connection.
//
// Every failure is thrown as a Failure with source "modFtp" and kept in FtpSavedErr():
// - not connected: 9999, "It is not connected to the ftp server";
// - the connection, the login or the server failed or refused: libcurl's result code
//   (7 no connection, 13 passive mode refused, 19 a listing or download refused, 21 a
//   command refused, 28 timed out, 67 login refused, 78 no such remote file, ...) with
//   libcurl's text, followed by CR LF and the server's reply when the server refused;
// - the local file could not be written or read: LocalFileInUse or LocalFileFailure with
//   the system's text;
// - a name with characters that FileNameCode cannot express: 9999 (the name is never
//   sent with "?" in their place, which could reach another file);
// - a download or upload whose file name (remote, or local for a download) cannot be one
//   entry of a folder (empty, ".", "..", a NUL, or "/" in the bytes for the server):
//   9999 "ファイル名にできない名前です : " and the path, before anything is sent or written.
//
// Names that a server lists are taken only when they can be one entry of a folder
// (platform::isSinglePathElement, as bytes and as decoded text); the others never reach
// a row, and the folder's own "." and ".." entries are left out.

inline constexpr qint32 FtpNoNumber = 9999;
inline constexpr qint32 LocalFileInUse = 32;
inline constexpr qint32 LocalFileFailure = 75;

// Code of remote file names: "SJIS", "EUC", "JIS" or "UTF8", compared exactly; any other
// text behaves as "SJIS". Set by every FtpConnect; FtpCd3 and FtpGet3 change it only for
// the duration of their trials; FtpCdInAnyCode and FtpReadFolder keep the code that worked.
extern QString FileNameCode;

// Seconds that connecting, a reply or a transfer may go without progress before it fails
// as timed out (28).
inline constexpr int FtpWaitSeconds = 30;

// The order in which FtpCd3 and FtpGet3 try the codes.
inline const QStringList FtpCodeTrialOrder = {QStringLiteral("SJIS"), QStringLiteral("EUC"), QStringLiteral("JIS"),
                                              QStringLiteral("UTF8")};

// The last failure of the module; kept until the next one.
const ErrorRecord &FtpSavedErr();
// Whether `record` tells of a local file that could not be written or read
// (LocalFileInUse, LocalFileFailure), not of the server or the connection.
inline bool IsLocalFileError(const ErrorRecord &record)
{
    return record.Number == LocalFileInUse || record.Number == LocalFileFailure;
}
// Whether the last failure may come from the code of a name: the server refused it, it
// could not be sent, or FileNameCode has no form for one of its characters. Only then may
// another code work.
bool FtpCodeMayMatter();

// Connects and logs in. `server` is a host with an optional ":" and port (leading digits;
// none or 0 means 21). With a `proxy` ("host:port") the client logs in at the proxy as
// user + "@" + server with the given password. On failure the module is not connected.
// Every operation of the connection fails after `stallSeconds` without progress, and as
// `limits` bound it.
void FtpConnect(const QString &server, const QString &user, const QString &password, const QString &proxy,
                bool passive, const QString &fileNameCode, int stallSeconds = platform::DefaultStallSeconds,
                const platform::TransferLimits &limits = {});
// Logs out; harmless when not connected; never fails.
void FtpDisconnect();

// A connection set aside, with its login, its current folder and its FileNameCode, while
// the module works on another one: a run over two servers keeps a login to each.
class FtpHeldConnection
{
public:
    FtpHeldConnection();
    ~FtpHeldConnection();
    FtpHeldConnection(const FtpHeldConnection &) = delete;
    FtpHeldConnection &operator=(const FtpHeldConnection &) = delete;

    bool isOpen() const;
    // Logs out; harmless when not connected.
    void close();

private:
    friend void FtpSwapConnection(FtpHeldConnection &held);
    std::unique_ptr<platform::FtpSession> m_session;
    QByteArray m_currentFolder;
    QString m_fileNameCode;
};

// Exchanges the module's connection with `held`: the module goes on with the one held
// (not connected when it was not), and `held` keeps the module's until the next exchange.
void FtpSwapConnection(FtpHeldConnection &held);

// Folders. Paths are relative to the current folder unless they begin with "/".
void FtpCd(const QString &folder);
// FtpCd; false on any failure (kept in FtpSavedErr()).
bool FtpCd2(const QString &folder);
// FtpCd2 with the current code, then with the other codes of FtpCodeTrialOrder; the code
// goes back to the current one afterwards. Only a refusal by the server of a path that
// holds characters outside ASCII (the same bytes in every code otherwise) is tried in the
// other codes. When nothing works it throws 9999 "FtpCd3() ERROR!! <last description>  ",
// followed, when the codes were tried, by CR LF CR LF "もしかして?? ファイル名の漢字コード??  ".
bool FtpCd3(const QString &folder);
// FtpCd2 with the code trials of FtpCd3; the code that worked stays FileNameCode. False
// when none works, with the last failure kept in FtpSavedErr().
bool FtpCdInAnyCode(const QString &folder);
QString FtpPwd();
void FtpMkDir(const QString &folder);
// FtpMkDir; a failure counts only when the folder cannot be entered afterwards.
void FtpMkDirChecked(const QString &folder);
// Creates every missing folder level of `path` up to its last "/" (the text after it is
// never created); levels are taken from the current folder, which stays where it was.
// Never fails.
void FtpMkDirs(const QString &path);
void FtpRmDir(const QString &folder);

// Listings of the folder part of `pattern` (the current folder when it has none); the name
// part matches names with "*" and "?" (empty or "*": every entry). A folder that cannot be
// entered lists as empty. Entries come in the server's order.
// FtpListNames: the names, a folder's with "/" appended.
QStringList FtpListNames(const QString &pattern);
// FtpListDetails: rows of name (with "/" for a folder), TAB, the listed time as
// "yyyy/mm/dd hh:mm:ss", TAB, the size in bytes (64-bit).
QStringList FtpListDetails(const QString &pattern);
// FtpListDetails that also sets `refusedNames` to the folder's listed names that cannot
// be one entry of a folder, whatever the pattern: in the server's order, decoded for a
// message (control characters as "\xNN", the empty name as "").
QStringList FtpListDetails(const QString &pattern, QStringList &refusedNames);

// Downloads `remotePath` to `localPath` (binary: no line-end conversion). The download
// replaces `localPath` only when complete; a failed one leaves it as it was. A new file
// is made with `newFileMode` (less the umask).
void FtpGet(const QString &localPath, const QString &remotePath, bool binary,
            int newFileMode = platform::SharedFileMode);
// FtpGet; false on any failure (kept in FtpSavedErr()).
bool FtpGet2(const QString &localPath, const QString &remotePath, bool binary,
             int newFileMode = platform::SharedFileMode);
// FtpGet2 with the code trials of FtpCd3. When nothing works: a local file in use is told
// in a message box (never in a batch run) and gives false; anything else throws 9999
// "FtpGet3() ERROR!! <last description>  ", followed, when the codes were tried, by
// CR LF CR LF "もしかして?? ファイル名の漢字コード??  ".
bool FtpGet3(const QString &localPath, const QString &remotePath, bool binary);
// Uploads to a temporary name beside `remotePath` and renames it over `remotePath` only
// once the server holds all of it (in binary, its size is checked), so that a cut
// transfer never leaves part of a file under the name: the temporary is deleted and a
// file there stays as it was. A temporary that is gone when its rename is refused
// (another program swept it away) is uploaded again through a new one, once; a second
// one gone fails the upload. Where the server refuses to rename over an existing file,
// that file is deleted only then, and the whole upload renamed in its place. Where the
// server renames nothing (it refuses RNFR of a temporary that it still holds, or the
// rename after that deletion), the file is uploaded straight to `remotePath`, from then
// on in the session without a temporary, and the temporary is deleted where the server
// allows: a new file arrives under its name, an existing one is written over, and a
// transfer that breaks is raised (a new file's part deleted where the server allows).
// When a transfer straight over an existing file breaks once the server took it, the
// failure begins "サーバーのファイルが途中まで上書きされました : "; when a new file's part
// cannot be deleted, "途中までのファイルがサーバーに残りました : ".
void FtpPut(const QString &localPath, const QString &remotePath, bool binary);
// Whether the last FtpPut changed what the server holds under its name, also when it
// failed: the upload arrived, the old file was deleted for the rename, or part of the
// upload stays there. False after a failure that left the server's file as it was.
bool FtpPutChangedServer();
// FtpMkDirs of the folder part of `remotePath`, then FtpPut.
void FtpPutMakeDirs(const QString &localPath, const QString &remotePath, bool binary);
void FtpDelete(const QString &remotePath);
// FtpDelete; a failure counts only when the file is still listed.
void FtpDeleteChecked(const QString &remotePath);

// Operations on remote paths as the bytes the server uses, for a walk that sends back the
// names that the server listed. The paths are absolute.

// `path` (relative to the current folder unless it begins with "/") as the absolute path
// in the server's bytes; a name that FileNameCode cannot express is refused (9999).
QByteArray FtpRemotePath(const QString &path);
// Deletes the file `path`; a failure counts only when the file is still listed.
void FtpDeleteRemoteFile(const QByteArray &path);
// Removes the folder `path`; a failure counts only when it can still be entered or is
// still listed.
void FtpRemoveRemoteFolder(const QByteArray &path);

// One entry of a folder as FtpReadFolder reads it.
struct FtpFolderEntry
{
    QString name;          // decoded in the code that the listing was read in
    QByteArray remoteName; // as the server listed it
    bool folder = false;
    bool link = false;     // a symbolic link that the listing does not resolve
    QDateTime time;        // local time, as precise as the listing (platform::FtpListEntry)
    qint64 size = 0;
};

struct FtpFolder
{
    // The listing as the server sent it.
    QByteArray listing;
    // An MLSD listing, which may describe a symbolic link as what it leads to: its
    // folders may be links (FtpReadFolderShowingLinks tells).
    bool foldersMayBeLinks = false;
    QList<FtpFolderEntry> entries;
    // Listed names that no code decodes or that cannot be one entry of a folder, in the
    // server's order, made printable as FtpListDetails gives them.
    QStringList refusedNames;
};

// Deletes from the remote folder `folder` (not below it) the files of its listing `listed`
// (FtpReadFolder) whose names are the temporary names of uploads of ours killed before
// they ended (platform::isLeftoverTemporaryFileName). Failures are passed over.
void FtpRemoveLeftoverTemporaryFiles(const QByteArray &folder, const FtpFolder &listed);

// The current folder in the server's bytes.
QByteArray FtpRemoteFolder();
// Enters and lists `folder`. The names are decoded in FileNameCode when it decodes every
// one of them, else in the first of FtpCodeTrialOrder that does, else in the code that
// decodes most; that code stays FileNameCode. A code decodes a name when the bytes are
// valid in it and encode back to themselves; Shift-JIS, EUC and JIS do not decode names
// that are valid UTF-8 beyond ASCII. Any failure is raised, a folder that cannot be
// entered included. The current folder stays as it was.
FtpFolder FtpReadFolder(const QByteArray &folder);
// Lists `folder` with LIST, never with MLSD (platform::FtpSession::listShowingLinks), so
// that each symbolic link shows as one: the entries with their names in the server's
// bytes. FileNameCode and the current folder stay as they are. Any failure is raised.
platform::FtpListing FtpReadFolderShowingLinks(const QByteArray &folder);
// Whether the LIST of its folder shows `path` as a symbolic link: MLSD may describe a
// link as what it leads to, and leaves out one that leads nowhere. A LIST that fails is
// raised.
bool FtpListedAsLink(const QByteArray &path);
// Enters `folder` to see whether it is one: true when the server enters it, false when
// it refuses (the refusal kept in FtpSavedErr()). Other failures are raised. The current
// folder stays as it was.
bool FtpEnterFolder(const QByteArray &folder);
// The size and time that the server tells of the file `path`; unknown parts when it
// tells nothing. A lost connection is raised.
platform::FtpFileFacts FtpDescribeFile(const QByteArray &path);
// Downloads `path` to `localPath` in binary as FtpGet does. False when the server refused
// to send it (the refusal kept in FtpSavedErr()); any other failure is raised.
bool FtpGetFile(const QString &localPath, const QByteArray &path);

// `text` in FileNameCode; a character without a form there comes out as "?".
QByteArray StringToFtpName(QStringView text);
// The bytes before the first zero byte, decoded by FileNameCode and cut before a NUL.
QString FtpNameToString(QByteArrayView bytes);
// "yyyy/mm/dd hh:mm:ss" of a listed time, "0000/00/00 00:00:00" for an invalid one.
QString FileTimeToText(const QDateTime &time);
// Sets the last-write time of a local file (local time, whole seconds); the other times
// stay. Does nothing when the file cannot be reached.
void SetLocalFileTime(const QString &localPath, const QDateTime &time);

} // namespace common
