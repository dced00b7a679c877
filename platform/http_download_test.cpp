#include "platform/http_download.h"

#include "platform/testing/http_test_server.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>

#include <gtest/gtest.h>

namespace platform {
namespace {

using testing::HttpTestServer;
using testing::TemporaryFolder;

class HttpDownloadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_root.writeFile("a.txt", "first line\r\nsecond line\r\n");
        m_root.writeFile("big.bin", QByteArray(3 * 1024 * 1024 + 17, 'z'));
        ASSERT_TRUE(m_server.start());
    }

    HttpOutcome download(const QString &url, const QString &proxy = QString(), int stallSeconds = 5,
                         const TransferLimits &limits = {})
    {
        HttpRequest request;
        request.url = url;
        request.localPath = m_target;
        request.proxy = proxy;
        request.stallSeconds = stallSeconds;
        request.limits = limits;
        return downloadHttp(request);
    }

    TemporaryFolder m_root;
    TemporaryFolder m_work;
    HttpTestServer m_server{m_root.path()};
    QString m_target = m_work.writeFile("target.tmp", "old contents");
};

TEST_F(HttpDownloadTest, WholeBodiesReplaceTheTarget)
{
    const struct
    {
        const char *name;
        QString path;
        QByteArray body;
    } cases[] = {
        {"a file", "/a.txt", "first line\r\nsecond line\r\n"},
        {"a body of several buffers", "/big.bin", QByteArray(3 * 1024 * 1024 + 17, 'z')},
        {"three redirects", "/redirect/2/a.txt", "first line\r\nsecond line\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const HttpOutcome outcome = download(m_server.url(c.path));
        ASSERT_TRUE(outcome.ok()) << outcome.text.toStdString();
        EXPECT_EQ(outcome.bytes, c.body.size());
        EXPECT_EQ(TemporaryFolder::readFile(m_target), c.body);
    }
    EXPECT_EQ(QDir(m_work.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"target.tmp"});
}

TEST_F(HttpDownloadTest, FailuresLeaveTheTargetAsItWas)
{
    const struct
    {
        const char *name;
        QString url;
        HttpOutcome::Kind kind;
        int code;
        TransferLimits limits = {};
    } cases[] = {
        {"not found", m_server.url("/status/404"), HttpOutcome::Kind::Status, 404},
        {"server error", m_server.url("/status/500"), HttpOutcome::Kind::Status, 500},
        {"a missing file", m_server.url("/none.txt"), HttpOutcome::Kind::Status, 404},
        {"endless redirects", m_server.url("/loop"), HttpOutcome::Kind::Transfer, 47},
        {"a body cut short", m_server.url("/cut"), HttpOutcome::Kind::Transfer, 18},
        {"a chunked body cut short", m_server.url("/cut-chunked"), HttpOutcome::Kind::Transfer, 18},
        {"no answer", m_server.url("/stall-headers"), HttpOutcome::Kind::Transfer, 28},
        {"a body that stops", m_server.url("/stall-body"), HttpOutcome::Kind::Transfer, 28},
        {"no server", "http://127.0.0.1:1/a.txt", HttpOutcome::Kind::Transfer, 7},
        // The TLS handshake is tried, with a server that knows no TLS: the redirect is
        // followed.
        {"a redirect to https", m_server.url("/redirect-to/https://" + m_server.hostAndPort() + "/a.txt"),
         HttpOutcome::Kind::Transfer, 35},
        {"a body without end", m_server.url("/endless"), HttpOutcome::Kind::Transfer, 63, {0, 1 << 20}},
        {"a body that trickles past the deadline", m_server.url("/trickle"), HttpOutcome::Kind::Transfer, 28, {2, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const HttpOutcome outcome = download(c.url, QString(), 1, c.limits);
        EXPECT_EQ(outcome.kind, c.kind) << outcome.text.toStdString();
        EXPECT_EQ(outcome.code, c.code) << outcome.text.toStdString();
        EXPECT_FALSE(outcome.text.isEmpty());
        EXPECT_EQ(TemporaryFolder::readFile(m_target), "old contents");
    }
    EXPECT_EQ(QDir(m_work.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"target.tmp"});
}

TEST_F(HttpDownloadTest, ProxyAndStop)
{
    const HttpOutcome proxied = download("http://viewer.invalid/a.txt", m_server.hostAndPort());
    ASSERT_TRUE(proxied.ok()) << proxied.text.toStdString();
    EXPECT_EQ(TemporaryFolder::readFile(m_target), "first line\r\nsecond line\r\n");
    EXPECT_EQ(m_server.proxiedAddresses(), QStringList{"http://viewer.invalid/a.txt"});

    HttpRequest request;
    request.url = m_server.url("/stall-body");
    request.localPath = m_target;
    request.keepGoing = [] { return false; };
    EXPECT_EQ(downloadHttp(request).kind, HttpOutcome::Kind::Stopped);
}

} // namespace
} // namespace platform
