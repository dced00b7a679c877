#include "common/mod_ftp.h"

#include "common/code_backends.h"
#include "common/common_module.h"
#include "platform/testing/ftp_test_server.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace common {
namespace {

using platform::testing::FtpTestProxy;
using platform::testing::FtpTestServer;
using platform::testing::ScriptedDialogs;
using platform::testing::TemporaryFolder;

QByteArray sjis(const QString &text)
{
    return AdoEncodeSjis(text).bytes;
}

QByteArray euc(const QString &text)
{
    return AdoEncodeEuc(text).bytes;
}

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

const QString CodeHint = QStringLiteral("\r\n\r\nもしかして?? ファイル名の漢字コード??  ");
const QString NoSuchFolder = QStringLiteral("Quote command returned error\r\n550 No such file or directory.");

// The failure that `operation` throws; a test failure when it throws none.
ErrorRecord failureOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const Failure &failure) {
        EXPECT_EQ(FtpSavedErr().Number, failure.record().Number);
        EXPECT_EQ(FtpSavedErr().Description, failure.record().Description);
        return failure.record();
    }
    ADD_FAILURE() << "no failure";
    return {};
}

void expectRecord(const ErrorRecord &record, qint32 number, const QString &description)
{
    EXPECT_EQ(record.Number, number);
    EXPECT_EQ(record.Source, "modFtp");
    EXPECT_EQ(record.Description, description);
}

QStringList sorted(QStringList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

// A server tree with names in Shift-JIS, EUC-JP and UTF-8 bytes and nested folders.
class ModFtpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FtpDisconnect();
        const QString root = m_root.path();
        platform::testing::writeRawFile(root, "pub/readme.txt", "read me\r\n");
        platform::testing::writeRawFile(root, "pub/" + sjis("日本語") + '/' + sjis("資料.txt"), "sjis file");
        platform::testing::writeRawFile(root, "pub/" + euc("漢字.txt"), "euc file");
        platform::testing::writeRawFile(root, "pub/" + utf8("ユニコード.txt"), "utf-8 file");
        platform::testing::writeRawFile(root, "pub/deep/a/b/c.txt", "deep");
        ASSERT_TRUE(m_server.start());
    }

    void TearDown() override
    {
        FtpDisconnect();
        BatchMode = false;
        platform::testing::removeRawContents(m_root.path());
    }

    void connect(const QString &code = QStringLiteral("SJIS"))
    {
        FtpConnect(m_server.hostAndPort(), QStringLiteral("alice"), QStringLiteral("secret"), QString(), true, code);
    }

    QString serverPath(const QString &relative) const { return m_root.filePath(relative); }

    TemporaryFolder m_root;
    TemporaryFolder m_local;
    FtpTestServer m_server{m_root.path()};
    ScriptedDialogs m_dialogs;
};

TEST_F(ModFtpTest, EveryOperationNeedsAConnection)
{
    const QString local = m_local.filePath("x");
    const struct
    {
        const char *name;
        std::function<void()> operation;
    } operations[] = {
        {"FtpCd", [] { FtpCd("pub"); }},
        {"FtpPwd", [] { FtpPwd(); }},
        {"FtpMkDir", [] { FtpMkDir("new"); }},
        {"FtpMkDirChecked", [] { FtpMkDirChecked("new"); }},
        {"FtpRmDir", [] { FtpRmDir("pub"); }},
        {"FtpRemoveRemoteFolder", [] { FtpRemoveRemoteFolder(FtpRemotePath("pub")); }},
        {"FtpListNames", [] { FtpListNames("*"); }},
        {"FtpListDetails", [] { FtpListDetails("*"); }},
        {"FtpGet", [&] { FtpGet(local, "pub/readme.txt", true); }},
        {"FtpPut", [&] { FtpPut(local, "pub/readme.txt", true); }},
        {"FtpPutMakeDirs", [&] { FtpPutMakeDirs(local, "pub/x/readme.txt", true); }},
        {"FtpDelete", [] { FtpDelete("pub/readme.txt"); }},
        {"FtpDeleteChecked", [] { FtpDeleteChecked("pub/readme.txt"); }},
    };
    for (const auto &operation : operations) {
        SCOPED_TRACE(operation.name);
        expectRecord(failureOf(operation.operation), 9999, "It is not connected to the ftp server");
    }
    EXPECT_FALSE(FtpCd2("pub"));
    EXPECT_FALSE(FtpGet2(local, "pub/readme.txt", true));
    EXPECT_NO_THROW(FtpMkDirs("/a/b/"));
    EXPECT_NO_THROW(FtpDisconnect());
    EXPECT_FALSE(QFile::exists(serverPath("a")));
}

TEST_F(ModFtpTest, WrongPasswordLeavesTheModuleUnconnected)
{
    const ErrorRecord record = failureOf([&] {
        FtpConnect(m_server.hostAndPort(), "alice", "guess", QString(), true, "SJIS");
    });
    expectRecord(record, 67, "Login denied\r\n530 Authentication failed.");
    expectRecord(failureOf([] { FtpPwd(); }), 9999, "It is not connected to the ftp server");
}

TEST_F(ModFtpTest, ServerThatIsNotThereCannotBeReached)
{
    m_server.stop();
    expectRecord(failureOf([&] { connect(); }), 7, "Couldn't connect to server");
    expectRecord(failureOf([] { FtpPwd(); }), 9999, "It is not connected to the ftp server");
}

TEST_F(ModFtpTest, ConnectsThroughTheProxyAsUserAtServerOnOneConnection)
{
    FtpTestProxy proxy;
    ASSERT_TRUE(proxy.start());
    FtpConnect(m_server.hostAndPort(), "alice", "secret", proxy.hostAndPort(), true, "SJIS");
    FtpCd("pub");
    EXPECT_TRUE(FtpListNames("*").contains("readme.txt"));
    EXPECT_TRUE(FtpCd3("日本語"));
    EXPECT_TRUE(FtpGet3(m_local.filePath("s.txt"), "資料.txt", true));
    EXPECT_FALSE(FtpCd2("/nowhere"));
    EXPECT_EQ(FtpListNames("/pub/deep/*"), QStringList{"a/"});
    EXPECT_EQ(proxy.logins(), QStringList{"alice@" + m_server.hostAndPort()});
}

TEST_F(ModFtpTest, ConnectsInActiveMode)
{
    FtpConnect(m_server.hostAndPort(), "alice", "secret", QString(), false, "SJIS");
    EXPECT_EQ(FtpListNames("/pub/deep/a/b/*"), QStringList{"c.txt"});
    FtpGet(m_local.filePath("c.txt"), "/pub/deep/a/b/c.txt", true);
    EXPECT_EQ(TemporaryFolder::readFile(m_local.filePath("c.txt")), "deep");
}

TEST_F(ModFtpTest, KeepsTheCurrentFolder)
{
    connect();
    EXPECT_EQ(FtpPwd(), "/");
    const struct
    {
        const char *folder;
        const char *current;
    } steps[] = {
        {"pub", "/pub"},   {"deep/a", "/pub/deep/a"}, {"..", "/pub/deep"}, {"./a/b/", "/pub/deep/a/b"},
        {"/", "/"},        {"/pub/日本語", "/pub/日本語"}, {"../../..", "/"},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.folder);
        FtpCd(QString::fromUtf8(step.folder));
        EXPECT_EQ(FtpPwd(), QString::fromUtf8(step.current));
    }
    FtpCd("pub");
    expectRecord(failureOf([] { FtpCd("nope"); }), 21, NoSuchFolder);
    EXPECT_EQ(FtpPwd(), "/pub");
    expectRecord(failureOf([] { FtpCd("readme.txt"); }), 21,
                 "Quote command returned error\r\n550 Not a directory.");
}

TEST_F(ModFtpTest, CodeTrialsReachNamesInEveryCodeAndKeepTheSidesCode)
{
    const struct
    {
        const char *code;
        const char *remote;
        QByteArray content;
    } cases[] = {
        {"UTF8", "/pub/漢字.txt", "euc file"},         {"UTF8", "/pub/日本語/資料.txt", "sjis file"},
        {"SJIS", "/pub/ユニコード.txt", "utf-8 file"}, {"EUC", "/pub/日本語/資料.txt", "sjis file"},
        {"JIS", "/pub/漢字.txt", "euc file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.code) + " " + c.remote);
        connect(c.code);
        const QString local = m_local.filePath("got.txt");
        QFile::remove(local);
        EXPECT_FALSE(FtpGet2(local, QString::fromUtf8(c.remote), true));
        EXPECT_TRUE(FtpGet3(local, QString::fromUtf8(c.remote), true));
        EXPECT_EQ(TemporaryFolder::readFile(local), c.content);
        EXPECT_EQ(FileNameCode, c.code);
        FtpDisconnect();
    }

    connect("UTF8");
    FtpCd("pub");
    EXPECT_TRUE(FtpCd3("日本語"));
    EXPECT_EQ(FileNameCode, "UTF8");
    FileNameCode = "SJIS";
    EXPECT_EQ(FtpPwd(), "/pub/日本語");
    EXPECT_EQ(FtpListNames("*"), QStringList{"資料.txt"});
}

TEST_F(ModFtpTest, CodeTrialsAndTheirHintOnlyWhereTheCodeMayBeTheCause)
{
    m_server.recordCommands();
    ASSERT_TRUE(m_server.start());
    connect("EUC");
    FtpCd("pub");
    const QString kept = m_local.writeFile("kept.txt", "previous");
    const QString nowhere = m_local.filePath("no/such/folder.txt");
    const QString notFound = QStringLiteral("Remote file not found\r\n550 No such file or directory.");
    const struct
    {
        const char *name;
        std::function<void()> operation;
        QString description;
        int attempts; // commands sent for the name
        const char *verb;
    } cases[] = {
        {"a folder of ASCII is the same in every code", [] { FtpCd3("nope"); }, "FtpCd3() ERROR!! <" + NoSuchFolder + ">  ",
         1, "CWD"},
        {"a refused folder of other characters", [] { FtpCd3("無い"); }, "FtpCd3() ERROR!! <" + NoSuchFolder + ">  " + CodeHint,
         4, "CWD"},
        {"a file of ASCII", [&] { FtpGet3(kept, "nope.txt", true); }, "FtpGet3() ERROR!! <" + notFound + ">  ", 1, "RETR"},
        {"a refused file of other characters", [&] { FtpGet3(kept, "無い.txt", true); },
         "FtpGet3() ERROR!! <" + notFound + ">  " + CodeHint, 3, "RETR"}, // no URL carries the escapes of JIS
        {"a local file that cannot be written", [&] { FtpGet3(nowhere, "日本語/資料.txt", true); },
         "FtpGet3() ERROR!! <No such file or directory>  ", 0, "RETR"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = m_server.commands().size();
        expectRecord(failureOf(c.operation), 9999, c.description);
        const QStringList sent = m_server.commands().mid(before);
        EXPECT_EQ(sent.filter(QString::fromLatin1(c.verb) + u' ').size(), c.attempts) << sent.join('\n').toStdString();
        EXPECT_EQ(FileNameCode, "EUC");
        EXPECT_EQ(FtpPwd(), "/pub");
    }
    EXPECT_EQ(TemporaryFolder::readFile(kept), "previous");
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(ModFtpTest, ListsDetailsWithListedTimesAndFullSizes)
{
    const QDateTime recent = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 2 * 86400 + 33);
    const QDateTime old(QDate(2019, 3, 5), QTime(10, 20, 30));
    QFile huge(serverPath("pub/huge.img"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(5LL * 1024 * 1024 * 1024));
    huge.close();
    platform::testing::setRawFileTime(m_root.path(), "pub/readme.txt", recent);
    platform::testing::setRawFileTime(m_root.path(), "pub/huge.img", old);
    platform::testing::setRawFileTime(m_root.path(), "pub/deep", old);
    platform::testing::writeRawFile(m_root.path(), "pub/.hidden", "h");
    platform::testing::setRawFileTime(m_root.path(), "pub/.hidden", old);
    const QString deepSize = QString::number(QFileInfo(serverPath("pub/deep")).size());

    const struct
    {
        const char *name;
        bool mlsd;
        QString recentTime;
        QString oldTime;
    } cases[] = {
        {"MLSD: to the second", true, recent.toString("yyyy/MM/dd HH:mm:ss"), "2019/03/05 10:20:30"},
        {"LIST: minutes, the day for old entries", false, recent.toString("yyyy/MM/dd HH:mm") + ":00",
         "2019/03/05 00:00:00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_server.hideDotFilesFromPlainList();
        if (!c.mlsd)
            m_server.offerNoMlsd();
        ASSERT_TRUE(m_server.start());
        connect();
        FtpCd("pub");
        const QStringList rows = FtpListDetails("*");
        EXPECT_TRUE(rows.contains("readme.txt\t" + c.recentTime + "\t9")) << rows.join('\n').toStdString();
        EXPECT_TRUE(rows.contains("huge.img\t" + c.oldTime + "\t5368709120")) << rows.join('\n').toStdString();
        EXPECT_TRUE(rows.contains("deep/\t" + c.oldTime + "\t" + deepSize)) << rows.join('\n').toStdString();
        EXPECT_TRUE(rows.contains(".hidden\t" + c.oldTime + "\t1")) << rows.join('\n').toStdString();
        EXPECT_EQ(rows.size(), 7);
        FtpDisconnect();
    }
}

TEST_F(ModFtpTest, ListsNamesByPattern)
{
    connect();
    FtpCd("pub");
    const struct
    {
        const char *pattern;
        QStringList names;
    } cases[] = {
        {"re*.txt", {"readme.txt"}},
        {"rea??e.*", {"readme.txt"}},
        {"*.TXT", {}},
        {"readme.txt", {"readme.txt"}},
        {"*語", {"日本語/"}},
        {"nothing", {}},
        {"deep/*", {"a/"}},
        {"deep/", {"a/"}},
        {"/pub/deep/a/b/c.txt", {"c.txt"}},
        {"missing/*", {}},
        {"readme.txt/*", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(sorted(FtpListNames(QString::fromUtf8(c.pattern))), c.names);
    }
    EXPECT_EQ(FtpPwd(), "/pub");
}

TEST_F(ModFtpTest, CreatesFolderLevelsAndUploadsInTheSidesCode)
{
    connect("EUC");
    FtpCd("/pub");
    FtpMkDirs("/pub/new/a/b/c");
    EXPECT_TRUE(QFileInfo(serverPath("pub/new/a/b")).isDir());
    EXPECT_FALSE(QFile::exists(serverPath("pub/new/a/b/c")));
    FtpMkDirs("rel/x/y");
    EXPECT_TRUE(QFileInfo(serverPath("pub/rel/x")).isDir());
    EXPECT_FALSE(QFile::exists(serverPath("pub/rel/x/y")));
    EXPECT_FALSE(QFile::exists(serverPath("pub/rel/rel")));
    EXPECT_EQ(FtpPwd(), "/pub");

    const QString local = m_local.writeFile("up.txt", "uploaded");
    FtpPutMakeDirs(local, "up/日本/資料.txt", true);
    const QString folder = serverPath("pub/up");
    EXPECT_EQ(platform::testing::rawNames(folder), QList<QByteArray>{euc("日本")});
    FtpGet(m_local.filePath("back.txt"), "up/日本/資料.txt", true);
    EXPECT_EQ(TemporaryFolder::readFile(m_local.filePath("back.txt")), "uploaded");

    expectRecord(failureOf([&] { FtpPut(m_local.filePath("none.txt"), "none.txt", true); }), 75,
                 "No such file or directory");
}

TEST_F(ModFtpTest, CheckedVariantsLookAtWhatIsReallyThere)
{
    connect();
    FtpCd("pub");
    EXPECT_NO_THROW(FtpMkDirChecked("deep"));
    expectRecord(failureOf([] { FtpMkDir("deep"); }), 21, "Quote command returned error\r\n550 File exists.");
    expectRecord(failureOf([] { FtpMkDirChecked("readme.txt/x"); }), 21,
                 "Quote command returned error\r\n550 Not a directory.");

    expectRecord(failureOf([] { FtpRmDir("gone"); }), 21, NoSuchFolder);
    EXPECT_NO_THROW(FtpRemoveRemoteFolder(FtpRemotePath("gone")));
    expectRecord(failureOf([] { FtpRemoveRemoteFolder(FtpRemotePath("deep")); }), 21,
                 "Quote command returned error\r\n550 Directory not empty.");
    EXPECT_TRUE(QFileInfo(serverPath("pub/deep")).isDir());

    expectRecord(failureOf([] { FtpDelete("vanished.txt"); }), 21, NoSuchFolder);
    EXPECT_NO_THROW(FtpDeleteChecked("vanished.txt"));
    expectRecord(failureOf([] { FtpDeleteChecked("deep"); }), 21,
                 "Quote command returned error\r\n550 Is a directory.");
    EXPECT_NO_THROW(FtpDeleteChecked("readme.txt"));
    EXPECT_FALSE(QFile::exists(serverPath("pub/readme.txt")));
    EXPECT_EQ(FtpPwd(), "/pub");
}

TEST_F(ModFtpTest, ServerGoneInTheMiddleFailsEveryLaterCall)
{
    connect();
    FtpCd("pub");
    m_server.stop();
    expectRecord(failureOf([] { FtpListDetails("*"); }), 7, "Couldn't connect to server");
    EXPECT_FALSE(FtpGet2(m_local.filePath("r.txt"), "readme.txt", true));
    expectRecord(FtpSavedErr(), 7, "Couldn't connect to server");
    expectRecord(failureOf([] { FtpCd3("deep"); }), 9999, "FtpCd3() ERROR!! <Couldn't connect to server>  ");
    EXPECT_FALSE(QFile::exists(m_local.filePath("r.txt")));
}

TEST_F(ModFtpTest, NamesWithoutAFormInTheCodeAreNeverSent)
{
    platform::testing::writeRawFile(m_root.path(), "pub/?.txt", "question mark");
    connect();
    FtpCd("pub");
    const QString local = m_local.filePath("snow.txt");
    expectRecord(failureOf([&] { FtpGet(local, "☃.txt", true); }), 9999,
                 "ファイル名の漢字コード(SJIS)で表せない文字があります : ☃.txt");
    EXPECT_FALSE(QFile::exists(local));
    expectRecord(failureOf([] { FtpDeleteChecked("☃.txt"); }), 9999,
                 "ファイル名の漢字コード(SJIS)で表せない文字があります : ☃.txt");
    EXPECT_TRUE(QFile::exists(serverPath("pub/?.txt")));
}

TEST_F(ModFtpTest, NamesThatAreNoFileNameReachNeitherARowNorATransfer)
{
    // In JIS, an escape to ASCII before ".." is a name of its own in bytes, but ".." in text.
    m_server.answerListWith("/pub", "-rw-r--r--   1 o g 1 Jan 15  2020 \x1b(B..\r\n"
                                    "-rw-r--r--   1 o g 2 Jan 15  2020 ok\r\n");
    ASSERT_TRUE(m_server.start());
    connect("JIS");
    FtpCd("pub");
    QStringList refused;
    EXPECT_EQ(FtpListDetails("*", refused), QStringList{"ok\t2020/01/15 00:00:00\t2"});
    EXPECT_EQ(refused, QStringList{".."});
    EXPECT_EQ(FtpListNames("*"), QStringList{"ok"});

    const QString local = m_local.writeFile("up.txt", "up");
    const QString target = m_local.filePath("x");
    const struct
    {
        const char *name;
        std::function<void()> operation;
        QString shown;
    } cases[] = {
        {"download of ..", [&] { FtpGet(target, "..", true); }, ".."},
        {"download of a folder path", [&] { FtpGet3(target, "deep/", true); }, "deep/"},
        {"download of a name with a NUL", [&] { FtpGet(target, QString::fromUtf8("a\0b", 3), true); }, "a\\x00b"},
        {"download onto ..", [&] { FtpGet(m_local.filePath(".."), "readme.txt", true); }, m_local.filePath("..")},
        {"upload as .", [&] { FtpPut(local, "deep/.", true); }, "deep/."},
        {"upload with folders as ..", [&] { FtpPutMakeDirs(local, "new/..", true); }, "new/.."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        expectRecord(failureOf(c.operation), 9999, "ファイル名にできない名前です : " + c.shown);
    }
    EXPECT_FALSE(FtpGet2(target, "..", true));
    EXPECT_FALSE(QFile::exists(serverPath("pub/new")));
    EXPECT_EQ(platform::testing::rawNames(m_local.path()), QList<QByteArray>{"up.txt"});
}

TEST(ModFtpNames, ConvertsNamesByTheCode)
{
    const struct
    {
        const char *code;
        QByteArray bytes;
    } cases[] = {
        {"SJIS", sjis("日本語ｶﾅ")},
        {"EUC", euc("日本語ｶﾅ")},
        {"JIS", AdoEncodeJis(QStringLiteral("日本語ｶﾅ")).bytes},
        {"UTF8", utf8("日本語ｶﾅ")},
        {"", sjis("日本語ｶﾅ")},
        {"utf8", sjis("日本語ｶﾅ")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        FileNameCode = QString::fromUtf8(c.code);
        EXPECT_EQ(StringToFtpName(QStringLiteral("日本語ｶﾅ")), c.bytes);
        EXPECT_EQ(FtpNameToString(c.bytes), "日本語ｶﾅ");
        EXPECT_EQ(FtpNameToString(c.bytes + QByteArray("\0tail", 5)), "日本語ｶﾅ");
    }
    FileNameCode = "SJIS";
}

TEST(ModFtpTimes, WritesListedTimesAndStampsLocalFiles)
{
    EXPECT_EQ(FileTimeToText(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5))), "2024/01/02 03:04:05");
    EXPECT_EQ(FileTimeToText(QDateTime()), "0000/00/00 00:00:00");

    TemporaryFolder folder;
    const QString file = folder.writeFile("f.txt", "x");
    const QDateTime stamp(QDate(2021, 7, 8), QTime(9, 10, 0));
    SetLocalFileTime(file, stamp);
    EXPECT_EQ(QFileInfo(file).lastModified(), stamp);
    SetLocalFileTime(folder.filePath("missing.txt"), stamp);
    EXPECT_FALSE(QFile::exists(folder.filePath("missing.txt")));
}

} // namespace
} // namespace common
