#include "platform/http_download.h"

#include "platform/atomic_file.h"
#include "platform/curl_handles.h"

#include <QFile>

#include <curl/curl.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// Large reads keep the number of calls per megabyte low; curl's own tool reads 100 KiB.
constexpr long ReceiveBufferBytes = 512 * 1024;

// The file the body goes to, and whether the caller stopped the transfer.
struct Receiver
{
    curl::LocalFile file;
    const std::function<bool()> *keepGoing = nullptr;
    bool stopped = false;
};

int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto *receiver = static_cast<Receiver *>(user);
    if ((*receiver->keepGoing)())
        return 0;
    receiver->stopped = true;
    return 1;
}

HttpOutcome failure(HttpOutcome::Kind kind, int code, const QString &text)
{
    HttpOutcome outcome;
    outcome.kind = kind;
    outcome.code = code;
    outcome.text = text;
    return outcome;
}

HttpOutcome localFailure(int error)
{
    return failure(HttpOutcome::Kind::LocalFile, error, QString::fromLocal8Bit(std::strerror(error)));
}

// Runs the prepared transfer and tells how it ended.
HttpOutcome perform(CURL *handle, const Receiver &receiver)
{
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode code = curl_easy_perform(handle);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (receiver.stopped)
        return failure(HttpOutcome::Kind::Stopped, int(code), QString::fromUtf8(curl_easy_strerror(code)));
    if (receiver.file.error != 0)
        return localFailure(receiver.file.error);
    if (receiver.file.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
        return failure(HttpOutcome::Kind::Transfer, int(CURLE_FILESIZE_EXCEEDED),
                       curl::tooLargeText(receiver.file.maxBytes));
    if (status >= 400)
        return failure(HttpOutcome::Kind::Status, int(status), QStringLiteral("HTTP %1").arg(status));
    if (code != CURLE_OK) {
        const QString text = errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl_easy_strerror(code));
        return failure(HttpOutcome::Kind::Transfer, int(code), text);
    }
    HttpOutcome done;
    done.bytes = receiver.file.bytes;
    return done;
}

} // namespace

HttpOutcome downloadHttp(const HttpRequest &request)
{
    curl::initializeOnce();

    const QByteArray target = QFile::encodeName(request.localPath);
    const QByteArray temporary = temporaryFilePathFor(target);
    curl::FileDescriptor file(
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, request.newFileMode));
    if (file.get() < 0)
        return localFailure(errno);

    curl::EasyHandle easy(curl_easy_init());
    if (!easy) {
        ::unlink(temporary.constData());
        return failure(HttpOutcome::Kind::Transfer, int(CURLE_FAILED_INIT), QStringLiteral("libcurl"));
    }
    CURL *handle = easy.get();
    const QByteArray url = request.url.toUtf8();
    const QByteArray proxy = request.proxy.toUtf8();
    const long stallSeconds = request.stallSeconds > 0 ? request.stallSeconds : DefaultStallSeconds;
    Receiver receiver;
    receiver.file.descriptor = file.get();
    receiver.file.maxBytes = request.limits.downloadBytes;
    receiver.keepGoing = &request.keepGoing;

    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    // A transfer may use only what a redirect may lead to: https too.
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, long(request.maxRedirects));
    // A status of 400 and above ends the transfer before its body (an error page) is
    // taken for the file.
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, "Linquell");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, stallSeconds);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, stallSeconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, long(request.limits.deadlineSeconds));
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(request.limits.downloadBytes));
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, ReceiveBufferBytes);
    if (!proxy.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_PROXY, proxy.constData());
        // A chosen proxy serves every host, whatever no_proxy says.
        curl_easy_setopt(handle, CURLOPT_NOPROXY, "");
    }
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, curl::writeToLocalFile);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &receiver.file);
    if (request.keepGoing) {
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &receiver);
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    }

    HttpOutcome outcome = perform(handle, receiver);
    const int closeError = file.closeNow();
    if (outcome.ok() && closeError != 0)
        outcome = localFailure(closeError);
    if (outcome.ok() && ::rename(temporary.constData(), target.constData()) != 0)
        outcome = localFailure(errno);
    if (!outcome.ok())
        ::unlink(temporary.constData());
    return outcome;
}

} // namespace platform
