#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace platform::testing {

// http_test_server.py on 127.0.0.1 with a port of its own choice, serving the files of
// `rootFolder` and the crafted answers that the script describes (status codes,
// redirects, stalls, bodies cut short), and acting as a proxy for absolute addresses.
// start() launches it and waits until it listens; the destructor ends it.
class HttpTestServer
{
public:
    explicit HttpTestServer(const QString &rootFolder);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer &) = delete;
    HttpTestServer &operator=(const HttpTestServer &) = delete;

    // True once the server listens; on failure the reason is reported to GoogleTest.
    bool start();

    quint16 port() const { return m_port; }
    // "127.0.0.1:<port>".
    QString hostAndPort() const;
    // "http://127.0.0.1:<port>" followed by `path` ("/a.txt").
    QString url(const QString &path) const;
    // The absolute addresses that the server was asked for as a proxy, in order.
    QStringList proxiedAddresses();

private:
    void readOutput();

    QString m_rootFolder;
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
    quint16 m_port = 0;
};

} // namespace platform::testing
