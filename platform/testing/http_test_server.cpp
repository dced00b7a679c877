#include "platform/testing/http_test_server.h"

#include "platform/testing/temporary_folder.h"

#include <QDeadlineTimer>

#include <gtest/gtest.h>

namespace platform::testing {

namespace {

constexpr int StartMilliseconds = 20000;

} // namespace

HttpTestServer::HttpTestServer(const QString &rootFolder)
    : m_rootFolder(rootFolder)
{
}

HttpTestServer::~HttpTestServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool HttpTestServer::start()
{
    const QString script = sourceFolder() + QStringLiteral("/platform/testing/http_test_server.py");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"), {script, m_rootFolder});
    const QDeadlineTimer deadline(StartMilliseconds);
    while (m_port == 0 && !deadline.hasExpired() && m_process.waitForReadyRead(int(deadline.remainingTime()))) {
        readOutput();
        if (!m_lines.isEmpty() && m_lines.first().startsWith(QStringLiteral("READY ")))
            m_port = quint16(m_lines.takeFirst().mid(6).toUInt());
    }
    if (m_port == 0)
        ADD_FAILURE() << "the HTTP test server did not start: " << m_process.errorString().toStdString();
    return m_port != 0;
}

QString HttpTestServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_port);
}

QString HttpTestServer::url(const QString &path) const
{
    return QStringLiteral("http://") + hostAndPort() + path;
}

QStringList HttpTestServer::proxiedAddresses()
{
    while (m_process.waitForReadyRead(200))
        readOutput();
    readOutput();
    QStringList addresses;
    for (const QString &line : m_lines)
        if (line.startsWith(QStringLiteral("PROXIED ")))
            addresses.append(line.mid(8));
    return addresses;
}

void HttpTestServer::readOutput()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        m_lines.append(QString::fromUtf8(m_pending.left(end)));
        m_pending.remove(0, end + 1);
    }
}

} // namespace platform::testing
