#pragma once

#include "platform/atomic_file.h"
#include "platform/network_timeouts.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringView>

#include <memory>

namespace platform {

// Where and as whom an FTP session logs in. User and password go to the server as their
// bytes; an empty user logs in anonymously.
struct FtpLogin
{
    QString host;
    int port = 21;
    QByteArray user;
    QByteArray password;
    bool passive = true;
    // Seconds without progress after which a connection, a reply or a transfer fails.
    int stallSeconds = DefaultStallSeconds;
    // The deadline of every operation and the most bytes of a download.
    TransferLimits limits;
};

// How one FTP operation ended.
struct FtpOutcome
{
    enum class Kind {
        Done,      // the operation succeeded
        Transfer,  // the connection, the login or the server refused or failed
        LocalFile, // the local file could not be read or written
    };
    Kind kind = Kind::Done;
    int code = 0;           // Transfer: libcurl's result code; LocalFile: the errno value
    QString text;           // libcurl's text for the code, or the system's text for errno
    QByteArray serverReply; // the server's last reply during the operation when it was a
                            // refusal (reply code 400 and above), else empty
    bool folderRefused = false; // Transfer: the server refused to enter the folder of a
                                // listing
    bool nameMayMatter = false; // Transfer: the server refused, or the path could not be
                                // sent; other bytes for the same name might have worked
    bool transferBegan = false; // store(): the server took the upload (it answered 125 or
                                // 150) and so opened its file, which a failure may leave
                                // holding part of the upload
    bool ok() const { return kind == Kind::Done; }
};

// A folder listing as the server sent it.
struct FtpFolderReply
{
    QByteArray listing;
    // True for the reply of MLSD (platform::parseMlsdListing), false for LIST
    // (platform::parseFtpListing).
    bool machineReadable = false;
};

// What the server tells of one file; each part may be unknown.
struct FtpFileFacts
{
    qint64 size = -1; // SIZE; -1 when unknown
    QDateTime time;   // MDTM, as local time; invalid when unknown
};

// One FTP session over libcurl: one easy handle, so that every operation reuses the
// control connection of the login (libcurl logs in again by itself when the server has
// dropped it). Remote paths are absolute and given as the bytes that the server uses for
// names; the session never relies on the server's current folder between operations and
// never changes folders on its own. Sizes are 64-bit. Not thread-safe; operations block.
class FtpSession
{
public:
    FtpSession();
    ~FtpSession();
    FtpSession(const FtpSession &) = delete;
    FtpSession &operator=(const FtpSession &) = delete;

    // Connects and logs in. On failure the session stays closed.
    FtpOutcome open(const FtpLogin &login);
    // Logs out and closes the connection; harmless when closed.
    void close();
    bool isOpen() const;

    // The folder in which the login put the session (the server's reply to PWD), "/"
    // when the server named none.
    QByteArray entryFolder() const;

    // Sends one command without a transfer ("CWD /a", "MKD /a/b", "DELE /a/x"). A reply of
    // 400 or above is a failure.
    FtpOutcome command(const QByteArray &line);

    // Enters `folder` and lists it: with MLSD where the server offers it, else with
    // "LIST -a", so that names beginning with "." come too, else with LIST. A listing
    // command that the server refuses, or a "LIST -a" that gives nothing, where the next
    // one lists the folder is not used again in this session. On failure the outcome is
    // the first command's. A listing longer than MaxListingBytes fails (CURLE_WRITE_ERROR,
    // with a text that tells the bound).
    FtpOutcome list(const QByteArray &folder, FtpFolderReply &reply);

    // Lists `folder` as list() does, but never with MLSD: the lines of "LIST -a" or LIST
    // show a symbolic link as one ("l"), where MLSD may describe it as what it leads to.
    FtpOutcome listShowingLinks(const QByteArray &folder, FtpFolderReply &reply);

    // Asks for the size and the time of the file `path`; what the server does not tell
    // stays unknown.
    FtpOutcome describe(const QByteArray &path, FtpFileFacts &facts);

    // Downloads `path` into `localPath`. The bytes go to a temporary file beside it, which
    // replaces `localPath` only when the transfer is complete; on failure `localPath` is
    // as it was. A file longer than the login's download bound fails
    // (CURLE_FILESIZE_EXCEEDED). A new file is made with `newFileMode` (less the umask).
    FtpOutcome retrieve(const QByteArray &path, const QString &localPath, bool binary,
                        int newFileMode = SharedFileMode);

    // Uploads `localPath` to `path`, replacing a file there.
    FtpOutcome store(const QString &localPath, const QByteArray &path, bool binary);

    // Renames `from` to `to` with RNFR and RNTO on one connection. A refusal of either is
    // a failure with the first refusing reply; `fromRefused`, when given, tells whether it
    // was RNFR's (the server did not answer it with 350). Whether an existing `to` is
    // replaced is the server's choice; some refuse.
    FtpOutcome rename(const QByteArray &from, const QByteArray &to, bool *fromRefused = nullptr);
    // True once noteRefusesRenames() was called in this session.
    bool refusesRenames() const;
    // Notes that the server renames nothing in this session (an account that may only
    // upload): it refused RNFR of a file that it still holds.
    void noteRefusesRenames();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// True when the file or folder `relativePath` ("a/b/name", no "/" at either end) below
// `folder` can be created or replaced without reaching outside `folder`: every step of it
// is one name (isSinglePathElement) that a local name can hold (at most NAME_MAX bytes),
// so that the joined path is below `folder` once normalised; its nearest existing folder,
// resolved through symbolic links, lies within `folder` resolved the same way; and the
// path itself is not a symbolic link. A local copy of remote entries checks each path
// with this before it writes there.
bool staysInsideFolder(const QString &folder, QStringView relativePath);

} // namespace platform
