#pragma once

#include "platform/atomic_file.h"
#include "platform/network_timeouts.h"

#include <QString>

#include <functional>

namespace platform {

// One HTTP download.
struct HttpRequest
{
    // "http://host[:port]/path"; redirects may lead on to http:// or https:// addresses.
    QString url;
    // The file that receives the body. It is replaced only by a whole body; a failed
    // download leaves it as it was.
    QString localPath;
    // Mode of the new file (less the umask).
    int newFileMode = SharedFileMode;
    // "host:port" of the proxy to use; empty: the environment's proxy variables
    // (http_proxy, https_proxy, all_proxy, no_proxy), and none when they are unset.
    QString proxy;
    int stallSeconds = DefaultStallSeconds;
    // Redirects followed before the download counts as failed.
    int maxRedirects = 5;
    // The deadline of the whole download and the most bytes of its body.
    TransferLimits limits;
    // Called now and then while the download runs; returning false stops it (a failure).
    std::function<bool()> keepGoing;
};

// How a download ended.
struct HttpOutcome
{
    enum class Kind {
        Done,      // the whole body is in the file
        Transfer,  // no connection, no answer in time, a cut body, too many redirects,
                   // a body past its bound (CURLE_FILESIZE_EXCEEDED), the deadline passed
        Status,    // the server answered with a status of 400 or above
        LocalFile, // the file could not be written
        Stopped,   // keepGoing returned false
    };
    Kind kind = Kind::Done;
    // Transfer: libcurl's result code; Status: the HTTP status; LocalFile: errno.
    int code = 0;
    // What went wrong, in libcurl's or the system's words ("HTTP 404" for a status).
    QString text;
    // Bytes of the body written.
    qint64 bytes = 0;
    bool ok() const { return kind == Kind::Done; }
};

// Downloads `request.url` into `request.localPath` over libcurl: the body goes to a
// temporary file beside it, which replaces localPath only when the transfer completed
// with a status below 400 and a body as long as announced. Blocks until it ends.
HttpOutcome downloadHttp(const HttpRequest &request);

} // namespace platform
