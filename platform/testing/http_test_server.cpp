#include "platform/testing/http_test_server.h"

namespace platform::testing {

HttpTestServer::HttpTestServer(const QString &rootFolder)
    : ScriptProcess(QStringLiteral("http_test_server.py"), {rootFolder})
{
}

QString HttpTestServer::url(const QString &path) const
{
    return QStringLiteral("http://") + hostAndPort() + path;
}

QStringList HttpTestServer::proxiedAddresses()
{
    QStringList addresses;
    for (const QString &line : outputLines())
        if (line.startsWith(QStringLiteral("PROXIED ")))
            addresses.append(line.mid(8));
    return addresses;
}

} // namespace platform::testing
