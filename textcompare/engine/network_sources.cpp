#include "textcompare/engine/network_sources.h"

#include "common/mod_ftp.h"
#include "platform/http_download.h"

#include <QFile>

namespace textcompare {

bool HttpGet(const QString &url, const QString &localFile, const QString &proxy, DownloadFailure &failure,
             const NetworkOptions &options)
{
    if (url.isEmpty()) {
        failure.reason = QStringLiteral("アドレスがありません");
        return false;
    }
    platform::HttpRequest request;
    request.url = url;
    request.localPath = localFile;
    request.newFileMode = platform::PrivateFileMode;
    request.proxy = proxy;
    request.stallSeconds = options.stallSeconds;
    request.keepGoing = options.keepGoing;
    request.limits = options.limits;
    const platform::HttpOutcome outcome = platform::downloadHttp(request);
    if (!outcome.ok()) {
        failure.reason =
            outcome.kind == platform::HttpOutcome::Kind::Stopped ? QStringLiteral("中止しました") : outcome.text;
        failure.localFile = outcome.kind == platform::HttpOutcome::Kind::LocalFile;
        return false;
    }
    if (outcome.bytes == 0) {
        QFile::remove(localFile);
        failure.reason = QStringLiteral("0 バイトでした");
        return false;
    }
    return true;
}

bool FtpGetUrl(const QString &url, const QString &localFile, const QString &proxy, bool passive,
               DownloadFailure &failure, const NetworkOptions &options)
{
    QString rest = url.mid(6);
    QString server;
    QString user;
    QString password;
    const qsizetype slash = rest.indexOf(u'/');
    if (slash >= 0) {
        server = rest.left(slash);
        rest = rest.mid(slash + 1);
        const qsizetype at = server.lastIndexOf(u'@');
        if (at >= 0) {
            const QString login = server.left(at);
            server = server.mid(at + 1);
            const qsizetype colon = login.indexOf(u':');
            if (colon >= 0) {
                user = login.left(colon);
                password = login.mid(colon + 1);
            }
        }
    }
    if (server.isEmpty()) {
        failure.reason = QStringLiteral("ホスト名の後に \"/\" とパスがありません");
        return false;
    }
    bool fetched = false;
    try {
        common::FtpConnect(server, user, password, proxy, passive, QStringLiteral("SJIS"), options.stallSeconds,
                           options.limits);
        fetched = FtpGetAnyCode(localFile, u'/' + rest, true);
    } catch (const common::Failure &) {
        fetched = false;
    }
    common::FtpDisconnect();
    if (!fetched) {
        const common::ErrorRecord &error = common::FtpSavedErr();
        failure.reason = error.Description;
        failure.localFile = common::IsLocalFileError(error);
    }
    return fetched;
}

bool FtpGetAnyCode(const QString &localFile, const QString &remotePath, bool binary)
{
    for (const QString &code : common::FtpCodeTrialOrder) {
        common::FileNameCode = code;
        if (common::FtpGet2(localFile, remotePath, binary, platform::PrivateFileMode))
            return true;
        if (!common::FtpCodeMayMatter())
            return false;
    }
    return false;
}

} // namespace textcompare
