#include "platform/ftp_session.h"

#include "platform/ftp_listing.h"
#include "platform/testing/ftp_test_server.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <unistd.h>

namespace platform {
namespace {

using testing::FtpTestProxy;
using testing::FtpTestServer;
using testing::TemporaryFolder;

const QByteArray SjisName = "\x93\xfa\x96\x7b\x8c\xea.txt"; // 日本語.txt in Shift-JIS

QByteArray randomBytes(qsizetype count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

class FtpSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testing::writeRawFile(m_root.path(), "a.txt", "hello\r\nworld\n");
        testing::writeRawFile(m_root.path(), "sub/" + SjisName, "sjis");
        testing::writeRawFile(m_root.path(), "large.bin", m_large);
        ASSERT_TRUE(m_server.start());
    }
    void TearDown() override { testing::removeRawContents(m_root.path()); }

    FtpLogin login() const
    {
        FtpLogin login;
        login.host = QStringLiteral("127.0.0.1");
        login.port = m_server.port();
        login.user = "alice";
        login.password = "secret";
        return login;
    }

    void openSession()
    {
        const FtpOutcome outcome = m_session.open(login());
        ASSERT_TRUE(outcome.ok()) << outcome.text.toStdString();
    }

    QList<QByteArray> namesIn(const QByteArray &folder)
    {
        FtpFolderReply reply;
        const FtpOutcome outcome = m_session.list(folder, reply);
        EXPECT_TRUE(outcome.ok()) << outcome.text.toStdString();
        const FtpListing listing = reply.machineReadable ? parseMlsdListing(reply.listing)
                                                         : parseFtpListing(reply.listing, QDate::currentDate());
        QList<QByteArray> names;
        for (const FtpListEntry &entry : listing.entries)
            names.append(entry.name + (entry.folder ? "/" : ""));
        std::sort(names.begin(), names.end());
        return names;
    }

    const QByteArray m_large = randomBytes(3 * 1024 * 1024 + 17);
    TemporaryFolder m_root;
    TemporaryFolder m_local;
    FtpTestServer m_server{m_root.path()};
    FtpSession m_session;
};

TEST_F(FtpSessionTest, LogsInAtTheServersStartFolder)
{
    openSession();
    EXPECT_TRUE(m_session.isOpen());
    EXPECT_EQ(m_session.entryFolder(), "/");
    m_session.close();
    EXPECT_FALSE(m_session.isOpen());
}

TEST_F(FtpSessionTest, WrongPasswordIsRefusedWithTheServersReply)
{
    FtpLogin wrong = login();
    wrong.password = "guess";
    const FtpOutcome outcome = m_session.open(wrong);
    EXPECT_EQ(outcome.kind, FtpOutcome::Kind::Transfer);
    EXPECT_EQ(outcome.code, 67);
    EXPECT_EQ(outcome.text, "Login denied");
    EXPECT_EQ(outcome.serverReply, "530 Authentication failed.");
    EXPECT_FALSE(m_session.isOpen());
}

TEST_F(FtpSessionTest, ListsNamesAsTheServersBytes)
{
    openSession();
    EXPECT_EQ(namesIn("/"), (QList<QByteArray>{"a.txt", "large.bin", "sub/"}));
    EXPECT_EQ(namesIn("/sub"), QList<QByteArray>{SjisName});
}

TEST_F(FtpSessionTest, RetrievesFilesByteForByte)
{
    openSession();
    const QString small = m_local.filePath("a.txt");
    const QString large = m_local.filePath("large.bin");
    const QString sjis = m_local.filePath("sjis.txt");
    ASSERT_TRUE(m_session.retrieve("/a.txt", small, true).ok());
    ASSERT_TRUE(m_session.retrieve("/large.bin", large, true).ok());
    ASSERT_TRUE(m_session.retrieve("/sub/" + SjisName, sjis, true).ok());
    EXPECT_EQ(TemporaryFolder::readFile(small), "hello\r\nworld\n");
    EXPECT_EQ(TemporaryFolder::readFile(large), m_large);
    EXPECT_EQ(TemporaryFolder::readFile(sjis), "sjis");
    EXPECT_EQ(QDir(m_local.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(FtpSessionTest, FailedRetrieveKeepsThePreviousCopy)
{
    openSession();
    const QString copy = m_local.writeFile("kept.txt", "previous");
    const FtpOutcome outcome = m_session.retrieve("/missing.txt", copy, true);
    EXPECT_EQ(outcome.kind, FtpOutcome::Kind::Transfer);
    EXPECT_EQ(outcome.code, 78);
    EXPECT_TRUE(outcome.serverReply.startsWith("550 ")) << outcome.serverReply.toStdString();
    EXPECT_EQ(TemporaryFolder::readFile(copy), "previous");
    EXPECT_EQ(QDir(m_local.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.txt"});
}

TEST_F(FtpSessionTest, RetrieveIntoAMissingLocalFolderIsALocalFailure)
{
    openSession();
    const FtpOutcome outcome = m_session.retrieve("/a.txt", m_local.filePath("no/such/a.txt"), true);
    EXPECT_EQ(outcome.kind, FtpOutcome::Kind::LocalFile);
    EXPECT_EQ(outcome.code, ENOENT);
    EXPECT_EQ(outcome.text, "No such file or directory");
}

TEST_F(FtpSessionTest, StoresReplacesAndDeletes)
{
    openSession();
    const QString source = m_local.writeFile("up.bin", m_large.left(100000));
    ASSERT_TRUE(m_session.command("MKD /up").ok());
    ASSERT_TRUE(m_session.store(source, "/up/" + SjisName, true).ok());
    EXPECT_EQ(testing::rawNames(m_root.filePath("up")), QList<QByteArray>{SjisName});

    const QString shorter = m_local.writeFile("short.bin", "short");
    ASSERT_TRUE(m_session.store(shorter, "/up/" + SjisName, true).ok());
    const QString back = m_local.filePath("back.bin");
    ASSERT_TRUE(m_session.retrieve("/up/" + SjisName, back, true).ok());
    EXPECT_EQ(TemporaryFolder::readFile(back), "short");

    EXPECT_TRUE(m_session.command("DELE /up/" + SjisName).ok());
    EXPECT_TRUE(m_session.command("RMD /up").ok());
    EXPECT_FALSE(QFile::exists(m_root.filePath("up")));
}

TEST_F(FtpSessionTest, RefusedCommandCarriesTheReply)
{
    openSession();
    const FtpOutcome outcome = m_session.command("CWD /nowhere");
    EXPECT_EQ(outcome.kind, FtpOutcome::Kind::Transfer);
    EXPECT_EQ(outcome.code, 21);
    EXPECT_EQ(outcome.text, "Quote command returned error");
    EXPECT_TRUE(outcome.serverReply.startsWith("550 ")) << outcome.serverReply.toStdString();
    EXPECT_TRUE(m_session.command("CWD /sub").ok());
}

TEST_F(FtpSessionTest, CommandTextCannotCarryASecondCommand)
{
    openSession();
    EXPECT_FALSE(m_session.command("CWD /\r\nDELE /a.txt").ok());
    FtpFolderReply reply;
    EXPECT_FALSE(m_session.list("/\nDELE /a.txt", reply).ok());
    EXPECT_TRUE(QFile::exists(m_root.filePath("a.txt")));
}

TEST_F(FtpSessionTest, ActiveModeTransfersToo)
{
    FtpLogin active = login();
    active.passive = false;
    ASSERT_TRUE(m_session.open(active).ok());
    EXPECT_EQ(namesIn("/sub"), QList<QByteArray>{SjisName});
    const QString copy = m_local.filePath("a.txt");
    ASSERT_TRUE(m_session.retrieve("/a.txt", copy, true).ok());
    EXPECT_EQ(TemporaryFolder::readFile(copy), "hello\r\nworld\n");
}

TEST_F(FtpSessionTest, EveryOperationReusesTheLoginsConnection)
{
    FtpTestProxy proxy;
    ASSERT_TRUE(proxy.start());
    FtpLogin throughProxy = login();
    throughProxy.port = proxy.port();
    throughProxy.user = "alice@" + m_server.hostAndPort().toUtf8();
    ASSERT_TRUE(m_session.open(throughProxy).ok());
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(namesIn("/sub"), QList<QByteArray>{SjisName});
        EXPECT_TRUE(m_session.command("CWD /sub").ok());
        EXPECT_TRUE(m_session.retrieve("/a.txt", m_local.filePath("a.txt"), true).ok());
    }
    EXPECT_FALSE(m_session.command("CWD /nowhere").ok());
    EXPECT_FALSE(m_session.retrieve("/nothing.txt", m_local.filePath("nothing.txt"), true).ok());
    EXPECT_TRUE(m_session.command("CWD /").ok());
    EXPECT_EQ(namesIn("/sub"), QList<QByteArray>{SjisName});
    EXPECT_EQ(proxy.logins(), QStringList{"alice@" + m_server.hostAndPort()});
}

TEST_F(FtpSessionTest, ServerGoneFailsEachOperation)
{
    openSession();
    m_server.stop();
    const QString copy = m_local.writeFile("a.txt", "previous");
    const FtpOutcome outcome = m_session.retrieve("/a.txt", copy, true);
    EXPECT_EQ(outcome.kind, FtpOutcome::Kind::Transfer);
    EXPECT_EQ(outcome.code, 7);
    EXPECT_EQ(outcome.text, "Couldn't connect to server");
    EXPECT_TRUE(outcome.serverReply.isEmpty());
    EXPECT_EQ(TemporaryFolder::readFile(copy), "previous");
    FtpFolderReply reply;
    EXPECT_EQ(m_session.list("/", reply).code, 7);
}

// A server that lists without end fails the listing at its bound, with a text that tells
// so, instead of taking the memory; the session goes on.
TEST_F(FtpSessionTest, AListingWithoutEndFailsAtItsBound)
{
    m_server.listWithoutEnd("/sub");
    ASSERT_TRUE(m_server.start());
    openSession();
    FtpFolderReply reply;
    const FtpOutcome outcome = m_session.list("/sub", reply);
    EXPECT_EQ(outcome.kind, FtpOutcome::Kind::Transfer);
    EXPECT_EQ(outcome.text, QStringLiteral("一覧が %1 バイトを超えました").arg(MaxListingBytes));
    EXPECT_LE(reply.listing.size(), MaxListingBytes);
    EXPECT_EQ(namesIn("/"), (QList<QByteArray>{"a.txt", "large.bin", "sub/"}));
}

TEST(FtpLocalCopy, WritesStayInsideTheFolder)
{
    TemporaryFolder base;
    const QString cache = base.makeFolder("cache");
    base.makeFolder("cache/sub");
    base.makeFolder("outside");
    base.writeFile("outside/f", "user's");
    const auto link = [&](const QString &target, const QString &at) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(base.filePath(at)).constData()),
                  0);
    };
    link(base.filePath("outside"), "cache/out");
    link(base.filePath("outside/f"), "cache/file-link");
    link(base.filePath("cache/sub"), "cache/inner");
    link(cache, "alias");
    const struct
    {
        const char *folder; // below the base
        const char *relative;
        bool inside;
    } cases[] = {
        {"cache", "a.txt", true},         {"cache", "sub/a.txt", true},    {"cache", "new/deeper/a.txt", true},
        {"cache", "sub", true},           {"cache", "inner/a.txt", true},  {"alias", "sub/a.txt", true},
        {"cache", "../x", false},         {"cache", "sub/../../x", false}, {"cache", "", false},
        {"cache", "./a", false},          {"cache", "a//b", false},        {"cache", "/a", false},
        {"cache", "out/x", false},        {"cache", "out/new/x", false},   {"cache", "out", false},
        {"cache", "file-link", false},    {"cache", "inner", false},       {"alias", "out/x", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " + " + c.relative);
        EXPECT_EQ(staysInsideFolder(base.filePath(c.folder), QString::fromUtf8(c.relative)), c.inside);
    }
    EXPECT_FALSE(staysInsideFolder(cache, QStringLiteral("sub/") + QString(90, QChar(u'長'))))
        << "a step longer than a local name can be";
}

} // namespace
} // namespace platform
