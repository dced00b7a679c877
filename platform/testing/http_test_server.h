#pragma once

#include "platform/testing/script_process.h"

#include <QString>
#include <QStringList>

namespace platform::testing {

// http_test_server.py on 127.0.0.1 with a port of its own choice, serving the files of
// `rootFolder` and the crafted answers that the script describes (status codes,
// redirects, stalls, bodies cut short), and acting as a proxy for absolute addresses.
class HttpTestServer : public ScriptProcess
{
public:
    explicit HttpTestServer(const QString &rootFolder);

    // "http://127.0.0.1:<port>" followed by `path` ("/a.txt").
    QString url(const QString &path) const;
    // The absolute addresses that the server was asked for as a proxy, in order.
    QStringList proxiedAddresses();
};

} // namespace platform::testing
