#pragma once

#include "platform/network_timeouts.h"

#include <QString>

#include <functional>

namespace textcompare {

// How the downloads of the network sources run.
struct NetworkOptions
{
    // Seconds without progress after which a download fails.
    int stallSeconds = platform::DefaultStallSeconds;
    // Called now and then during an HTTP download; returning false stops it.
    std::function<bool()> keepGoing;
    // The deadline of a download and the most bytes it may bring.
    platform::TransferLimits limits = platform::SourceDownloadLimits;
};

// Why a download failed.
struct DownloadFailure
{
    // What went wrong, in the words of the server, libcurl or the system.
    QString reason;
    // The local file could not be written (a full disk, say): the address may be sound.
    bool localFile = false;
};

// Downloads "http://" `url` into `localFile` through `proxy` ("host:port"; empty: the
// environment's proxy variables). Redirects are followed; a status of 400 and above, a
// body cut short, a server that stalls and an empty body are failures. True when the
// whole body, at least one byte, is in localFile, a file for the user's eyes only (mode
// 0600); otherwise localFile is as it was and `failure` tells why.
bool HttpGet(const QString &url, const QString &localFile, const QString &proxy, DownloadFailure &failure,
             const NetworkOptions &options = {});

// Downloads "ftp://[user:password@]host[:port]/path" into `localFile` over the common FTP
// client: the login part before the host's last "@" is split at its first ":" (without
// one, neither user nor password is sent), the path after the host's "/" is the remote
// path from the root, and the file's name is tried in every file-name code. The
// connection goes through `proxy` when it is set and is closed at the end. True when the
// file was fetched; otherwise `failure` tells why.
bool FtpGetUrl(const QString &url, const QString &localFile, const QString &proxy, bool passive,
               DownloadFailure &failure, const NetworkOptions &options = {});

// Downloads `remotePath` over the open connection, trying the file-name codes "SJIS",
// "EUC", "JIS" and "UTF8" in turn; common::FileNameCode keeps the last one tried. True at
// the first success; the file is for the user's eyes only (mode 0600). A failure that no
// other code can mend (a timeout, a lost connection, a download past its bound, a local
// file that cannot be written) ends the trials.
bool FtpGetAnyCode(const QString &localFile, const QString &remotePath, bool binary);

} // namespace textcompare
