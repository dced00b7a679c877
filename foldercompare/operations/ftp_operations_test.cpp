#include "common/non_code_class.h"
#include "foldercompare/operations/code_change.h"
#include "foldercompare/operations/copy_delete.h"
#include "foldercompare/operations/local_files.h"
#include "foldercompare/listing/testing_host.h"
#include "foldercompare/operations/operations_test_fixture.h"
#include "platform/atomic_file.h"
#include "platform/testing/ftp_test_server.h"
#include "platform/testing/print_to.h"
#include "platform/testing/write_faults.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace foldercompare::operations {
namespace {

using platform::testing::FtpTestServer;
using platform::testing::TemporaryFolder;

// Side 1 is the folder "/pub/" of a test server; its mirror is the folder "cache" of
// the trees, filled by the tests as a gathering would have left it.
class FtpOperationsTest : public testing::OperationsTest
{
protected:
    void startServer(const QString &root)
    {
        m_server.emplace(root);
        ASSERT_TRUE(m_server->start());
    }
    OperationSides ftpSides(const QString &fileNameCode = QStringLiteral("UTF8")) const
    {
        OperationSides sides = localSides(true);
        sides.pathBox[1] = m_server->url(QStringLiteral("/pub/"));
        sides.ftpCacheFolder[1] = tree("cache");
        sides.sideRoot[1] = tree("cache");
        sides.fileNameCode[1] = fileNameCode;
        return sides;
    }
    // The file on both the server and in the mirror.
    void onBothSides(const QString &relative, const QByteArray &content) const
    {
        m_served.writeFile("pub/" + relative, content);
        file("cache/" + relative, content);
    }

    TemporaryFolder m_served;
    std::optional<FtpTestServer> m_server;
};

TEST_F(FtpOperationsTest, CopyUploadsEachFileAndThenWritesTheMirror)
{
    startServer(m_served.makeFolder("pub").chopped(4));
    m_trees.makeFolder("cache");
    QFile::setPermissions(file("one/a.txt", "alpha"), QFile::ReadOwner);
    file("one/sub/b.txt", "beta");
    file("one/한.txt", "no Shift-JIS name");
    m_trees.makeFolder("one/made");
    CopyOperation copy(0);
    run(copy, rows({"a.txt", "made/", "한.txt", "sub/b.txt"}), ftpSides(QStringLiteral("SJIS")));

    EXPECT_EQ(read(m_served.filePath("pub/a.txt")), "alpha");
    EXPECT_EQ(read(m_served.filePath("pub/sub/b.txt")), "beta");
    EXPECT_TRUE(QFileInfo(m_served.filePath("pub/made")).isDir());
    EXPECT_EQ(read(tree("cache/a.txt")), "alpha");
    EXPECT_TRUE(QFileInfo(tree("cache/a.txt")).permission(QFile::WriteOwner)) << "a mirror copy is never read-only";
    EXPECT_FALSE(QFileInfo::exists(tree("cache/한.txt"))) << "no mirror copy without the upload";
    EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n/pub/한.txt : "))) << m_errorList.toStdString();
    EXPECT_TRUE(m_readOnlyList.isEmpty());
    EXPECT_TRUE(trashed().isEmpty()) << "mirror copies are not the user's files";
    EXPECT_EQ(copy.filesCopied(), 2);
}

TEST_F(FtpOperationsTest, DeleteRemovesTheRemoteEntriesFirst)
{
    startServer(m_served.makeFolder("pub").chopped(4));
    onBothSides("a.txt", "a");
    onBothSides("tree/x.txt", "x");
    onBothSides("tree/in/y.txt", "y");
    onBothSides("dotted/.keep", "k");
    onBothSides("dotted/z.txt", "z");
    QFile::setPermissions(tree("cache/a.txt"), QFile::ReadOwner);
    DeleteOperation remove(1);
    run(remove, rows({"a.txt", "tree/", "dotted/"}), ftpSides());

    EXPECT_FALSE(QFileInfo::exists(m_served.filePath("pub/a.txt")));
    EXPECT_FALSE(QFileInfo::exists(m_served.filePath("pub/tree")));
    EXPECT_FALSE(QFileInfo::exists(m_served.filePath("pub/dotted/z.txt")));
    EXPECT_TRUE(QFileInfo::exists(m_served.filePath("pub/dotted/.keep")));
    EXPECT_FALSE(QFileInfo::exists(tree("cache/a.txt")));
    EXPECT_FALSE(QFileInfo::exists(tree("cache/tree")));
    EXPECT_TRUE(QFileInfo::exists(tree("cache/dotted/z.txt"))) << "a failed remote step keeps the mirror";
    EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n/pub/dotted/ : "))) << m_errorList.toStdString();
    EXPECT_TRUE(m_readOnlyList.isEmpty());
    EXPECT_TRUE(trashed().isEmpty());
    EXPECT_EQ(remove.rowsDeleted(), 2);
}

TEST_F(FtpOperationsTest, AFolderTheServerWillNotEnterIsNoDeletedRow)
{
    // The mirror holds a folder where the server now has a file: the server cannot enter it.
    startServer(m_served.makeFolder("pub").chopped(4));
    m_served.writeFile("pub/tree", "a file now");
    file("cache/tree/x.txt", "x");
    DeleteOperation remove(1);
    run(remove, rows({"tree/"}), ftpSides());

    EXPECT_EQ(read(m_served.filePath("pub/tree")), "a file now");
    EXPECT_TRUE(QFileInfo::exists(tree("cache/tree/x.txt"))) << "the mirror keeps what the server kept";
    EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n/pub/tree/ : "))) << m_errorList.toStdString();
    EXPECT_EQ(remove.rowsDeleted(), 0);
}

TEST_F(FtpOperationsTest, CodeChangeUploadsTheConvertedFileAndThenReplacesTheMirror)
{
    startServer(m_served.makeFolder("pub").chopped(4));
    common::NonCodeClass codes;
    onBothSides("s.txt", codes.VbUnicode_To_SJIS(u"日本語\r\n"));
    CodeChangeOperation convert(1, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"), tree("work/1.tmp"));
    m_trees.makeFolder("work");
    run(convert, rows({"s.txt"}), ftpSides());
    const QByteArray expected = codes.VbUnicode_To_UTF8(u"日本語\n", false);
    EXPECT_EQ(read(m_served.filePath("pub/s.txt")), expected);
    EXPECT_EQ(read(tree("cache/s.txt")), expected);
    EXPECT_EQ(convert.filesConverted(), 1);
    EXPECT_TRUE(m_errorList.isEmpty()) << m_errorList.toStdString();
}

// A server that refuses the upload, or drops the connection during the run: the row is
// listed under its remote path, its mirror copy stays as it was, and the run goes on.
TEST_F(FtpOperationsTest, ServerFaultsAreListedAndKeepTheMirror)
{
    for (const bool dropped : {false, true}) {
        SCOPED_TRACE(dropped ? "the server goes away during the run" : "the server refuses STOR");
        m_dialogs.clear();
        m_host = {};
        std::optional<platform::testing::SmallFileSystem> small;
        QString servedRoot = m_served.makeFolder(dropped ? "dropped" : "refused");
        QByteArray big = "short";
        if (!dropped) {
            // A full disk on the server's side, or a folder it may not write in.
            if (::geteuid() == 0) {
                small.emplace();
                ASSERT_TRUE(small->isMounted());
                servedRoot = small->path();
                big = QByteArray(2 << 20, 'b');
            }
        }
        QDir().mkpath(servedRoot + "/pub");
        QDir(tree("cache")).removeRecursively();
        for (const char *name : {"a.txt", "b.txt"}) {
            file(QStringLiteral("one/") + name, big);
            file(QStringLiteral("cache/") + name, "old");
        }
        if (!dropped && ::geteuid() != 0)
            ::chmod(QFile::encodeName(servedRoot + "/pub").constData(), 0555);
        startServer(servedRoot);
        if (dropped)
            m_host.onRow = [this](int row) {
                if (row == 1)
                    m_server->stop();
            };
        CopyOperation copy(0);
        run(copy, rows({"a.txt", "b.txt"}), ftpSides());
        m_server.reset();
        ::chmod(QFile::encodeName(servedRoot + "/pub").constData(), 0755);

        EXPECT_EQ(read(tree("cache/b.txt")), "old");
        EXPECT_TRUE(m_errorList.contains(QStringLiteral("\r\n/pub/b.txt : "))) << m_errorList.toStdString();
        EXPECT_EQ(m_errorList.count(QStringLiteral("\r\n")), dropped ? 1 : 2) << m_errorList.toStdString();
        EXPECT_EQ(copy.filesCopied(), dropped ? 1 : 0);
        EXPECT_EQ(read(tree("cache/a.txt")), dropped ? big : QByteArray("old"));
    }
}

// Copying from the FTP side takes the file the server holds now: a changed file comes as
// the server has it, a file deleted since the gathering fails its row, loses its stale
// mirror copy and leaves the local file as it was.
TEST_F(FtpOperationsTest, ACopyFromTheServerTakesWhatItHoldsNow)
{
    startServer(m_served.makeFolder("pub").chopped(4));
    onBothSides("a.txt", "mirrored");
    onBothSides("gone.txt", "mirrored");
    m_served.writeFile("pub/a.txt", "the server's now");
    QFile::remove(m_served.filePath("pub/gone.txt"));
    file("one/a.txt", "local");
    file("one/gone.txt", "local");
    const QString date = QStringLiteral(" 2020/01/01 00:00:00 ");
    CopyOperation copy(1);
    run(copy, {{date, date, "a.txt"}, {date, date, "gone.txt"}}, ftpSides());

    EXPECT_EQ(read(tree("one/a.txt")), "the server's now");
    EXPECT_EQ(read(tree("one/gone.txt")), "local");
    EXPECT_FALSE(QFileInfo::exists(tree("cache/gone.txt")));
    EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n/pub/gone.txt : 550 "))) << m_errorList.toStdString();
    EXPECT_EQ(lastPrompt(), QStringLiteral("一部のファイルがコピーされました。　\r\n"
                                           "コピーしたファイル（行）：1件　コピー出来なかったファイル（行）：1件　\r\n\r\n"
                                           "最新の状況を取得し一覧に反映しますか？"));
}

// A copy from one server to another logs in to each once for the whole run, however
// often the rows go from one to the other.
TEST_F(FtpOperationsTest, AnFtpToFtpCopyLogsInOncePerServer)
{
    startServer(m_served.makeFolder("pub").chopped(4));
    m_trees.makeFolder("cache");
    const QString sourceRoot = m_served.makeFolder("source");
    FtpTestServer source(sourceRoot);
    ASSERT_TRUE(source.start());
    OperationSides sides = ftpSides();
    sides.pathBox[0] = source.url(QStringLiteral("/pub/"));
    sides.ftpCacheFolder[0] = sides.sideRoot[0] = tree("cache0");
    sides.fileNameCode[0] = QStringLiteral("UTF8");
    const QString date = QStringLiteral(" 2020/01/01 00:00:00 ");
    const QStringList names{"a.txt", "b.txt", "c.txt"};
    QList<OperationRow> copied;
    for (const QString &name : names) {
        platform::testing::writeRawFile(sourceRoot, QFile::encodeName("pub/" + name), name.toUtf8());
        file("cache0/" + name, "mirrored");
        copied.append({date, QString(), name});
    }
    // The comparison logs in to each server once more, before the run.
    sides = compared(sides);
    CopyOperation copy(0);
    run(copy, copied, sides);

    for (const QString &name : names)
        EXPECT_EQ(read(m_served.filePath("pub/" + name)), name.toUtf8());
    EXPECT_EQ(copy.filesCopied(), 3);
    EXPECT_EQ(source.logins(), QStringList(2, m_server->user()));
    EXPECT_EQ(m_server->logins(), QStringList(2, m_server->user()));
}

// A name with a control byte, which no transfer can name, is no row of the list, but the
// commands of a delete name it as it is: a folder that holds one is deleted whole.
TEST_F(FtpOperationsTest, ANameNoTransferCanNameIsDeletedWithItsFolder)
{
    startServer(m_served.makeFolder("pub").chopped(4));
    onBothSides("tree/ok.txt", "ok");
    m_served.writeFile("pub/tree/ctl\x01.txt", "c");
    DeleteOperation remove(1);
    run(remove, rows({"tree/"}), ftpSides());
    EXPECT_FALSE(QFileInfo::exists(m_served.filePath("pub/tree")));
    EXPECT_FALSE(QFileInfo::exists(tree("cache/tree")));
    EXPECT_TRUE(m_errorList.isEmpty()) << m_errorList.toStdString();
    EXPECT_EQ(remove.rowsDeleted(), 1);
}

// An upload goes to a temporary name and replaces the file only when whole: a connection
// cut during the upload leaves the server's file and no fragment; a server that will not
// rename over a file gets the old one deleted only after the upload is whole.
TEST_F(FtpOperationsTest, AnUploadReplacesTheServersFileOnlyWhenWhole)
{
    const QByteArray content(1 << 20, 'n');
    for (const bool cut : {true, false}) {
        SCOPED_TRACE(cut ? "the connection breaks during the upload" : "the server refuses to rename over a file");
        m_dialogs.clear();
        const QString served = m_served.makeFolder(cut ? "cut" : "norename");
        QDir(tree("cache")).removeRecursively();
        m_server.emplace(served);
        if (cut)
            m_server->dropUploadsAfter(64 * 1024);
        else
            m_server->refuseRenameOverExisting();
        ASSERT_TRUE(m_server->start());
        platform::testing::writeRawFile(served, "pub/a.txt", "old");
        file("cache/a.txt", "old");
        file("one/a.txt", content);
        CopyOperation copy(0);
        run(copy, rows({"a.txt"}), ftpSides());

        EXPECT_TRUE(read(served + "/pub/a.txt") == (cut ? QByteArray("old") : content));
        EXPECT_EQ(platform::testing::rawNames(served + "/pub"), QList<QByteArray>{"a.txt"}) << "no temporary stays";
        EXPECT_TRUE(read(tree("cache/a.txt")) == (cut ? QByteArray("old") : content));
        EXPECT_EQ(m_errorList.startsWith(QStringLiteral("\r\n/pub/a.txt : ")), cut) << m_errorList.toStdString();
        EXPECT_EQ(copy.filesCopied(), cut ? 0 : 1);
    }
}

// A server that renames nothing (it refuses RNFR): a new file arrives under its own
// name and an existing one is written over, and the temporary goes where the server
// allows; an upload-only account, which may not delete either, keeps at most one. A
// transfer that breaks is listed, and a new file's part does not stay. A link under the
// name is not written through.
TEST_F(FtpOperationsTest, AServerThatRenamesNothingStillGetsTheFiles)
{
    const QByteArray big(1 << 20, 'b');
    for (const bool uploadOnly : {false, true}) {
        SCOPED_TRACE(uploadOnly ? "an upload-only account" : "a server that refuses RNFR");
        m_dialogs.clear();
        const QString served = m_served.makeFolder(uploadOnly ? "uploadonly" : "norenames");
        QDir(tree("cache")).removeRecursively();
        platform::testing::writeRawFile(served, "pub/old.txt", "old");
        platform::testing::writeRawFile(served, "pub/keep.txt", "keep");
        ASSERT_EQ(::symlink("keep.txt", QFile::encodeName(served + "/pub/lnk.txt").constData()), 0);
        file("cache/old.txt", "old");
        file("one/new.txt", "new");
        file("one/old.txt", "replaced");
        file("one/big.bin", big);
        file("one/lnk.txt", "through");
        m_server.emplace(served);
        m_server->refuse("RNFR");
        if (uploadOnly)
            m_server->refuse("DELE");
        else
            m_server->dropUploadsAfter(64 * 1024);
        ASSERT_TRUE(m_server->start());
        CopyOperation copy(0);
        run(copy,
            rows(uploadOnly ? QStringList{"new.txt", "old.txt", "lnk.txt"}
                            : QStringList{"new.txt", "old.txt", "big.bin", "lnk.txt"}),
            ftpSides());

        EXPECT_EQ(read(served + "/pub/new.txt"), "new");
        EXPECT_EQ(read(served + "/pub/old.txt"), "replaced");
        EXPECT_EQ(read(tree("cache/new.txt")), "new");
        EXPECT_EQ(read(tree("cache/old.txt")), "replaced");
        EXPECT_EQ(copy.filesCopied(), 2);
        EXPECT_EQ(read(served + "/pub/keep.txt"), "keep") << "a link on the server is not written through";
        const QString linkRefused = QStringLiteral("\r\n/pub/lnk.txt : リンクの先には書き込みません : /pub/lnk.txt");
        const QList<QByteArray> names = platform::testing::rawNames(served + "/pub");
        if (uploadOnly) {
            EXPECT_LE(names.size(), 5) << "at most one temporary stays";
            EXPECT_EQ(m_errorList, linkRefused);
        } else {
            EXPECT_EQ(names, (QList<QByteArray>{"keep.txt", "lnk.txt", "new.txt", "old.txt"}));
            EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n/pub/big.bin : "))) << m_errorList.toStdString();
            EXPECT_TRUE(m_errorList.endsWith(linkRefused)) << m_errorList.toStdString();
            EXPECT_FALSE(QFileInfo::exists(tree("cache/big.bin")));
        }
    }
}

// On a server that renames nothing an existing file is stored over directly: when that
// store breaks part way, the server keeps a fragment in place of its file. The row says
// so, and the side counts as changed, so that the refresh is offered.
TEST_F(FtpOperationsTest, AStoreOverTheServersFileThatBreaksIsToldAndOffersTheRefresh)
{
    const QByteArray content(1 << 20, 'n');
    const QString served = m_served.makeFolder("cut");
    platform::testing::writeRawFile(served, "pub/old.txt", "old");
    file("cache/old.txt", "old");
    file("one/old.txt", content);
    m_server.emplace(served);
    m_server->refuse("RNFR");
    m_server->dropUploadOfAfter(QStringLiteral("/pub/old.txt"), 64 * 1024);
    ASSERT_TRUE(m_server->start());
    CopyOperation copy(0);
    run(copy, rows({"old.txt"}), ftpSides());

    const QByteArray fragment = read(served + "/pub/old.txt");
    EXPECT_TRUE(fragment != "old" && fragment.size() < content.size()) << "the store was not cut part way";
    EXPECT_EQ(read(tree("cache/old.txt")), "old");
    EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n/pub/old.txt : サーバーのファイルが途中まで上書きされました : ")))
        << m_errorList.toStdString();
    EXPECT_EQ(lastPrompt(), QStringLiteral("一部のファイルがコピーされました。　\r\n"
                                           "コピーしたファイル（行）：0件　コピー出来なかったファイル（行）：1件　\r\n\r\n"
                                           "最新の状況を取得し一覧に反映しますか？"));
}

// A rename refused because its temporary vanished (another program swept it away) says
// nothing of the server: the upload goes again through a new temporary, once; a second
// one that vanishes fails the row. Later uploads still go through temporaries and
// renames, never straight over the server's files.
TEST_F(FtpOperationsTest, ATemporaryThatVanishesBeforeItsRenameLeavesRenamesInUse)
{
    const QString served = m_served.makeFolder("swept");
    for (const char *name : {"a.txt", "b.txt"}) {
        platform::testing::writeRawFile(served, QByteArray("pub/") + name, "old");
        file(QStringLiteral("cache/") + name, "old");
    }
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        file(QStringLiteral("one/") + name, QByteArray("new ") + name);
    m_server.emplace(served);
    m_server->vanishBeforeRename(3);
    m_server->recordCommands();
    ASSERT_TRUE(m_server->start());
    CopyOperation copy(0);
    run(copy, rows({"a.txt", "b.txt", "c.txt"}), ftpSides());

    const QStringList sent = m_server->commands();
    EXPECT_EQ(sent.filter(QRegularExpression("^STOR /pub/[abc]\\.txt$")), QStringList()) << sent.join(", ").toStdString();
    EXPECT_EQ(sent.filter(QRegularExpression("^STOR ")).size(), 5) << sent.join(", ").toStdString();
    EXPECT_EQ(read(served + "/pub/a.txt"), "old");
    EXPECT_EQ(read(served + "/pub/b.txt"), "new b.txt");
    EXPECT_EQ(read(served + "/pub/c.txt"), "new c.txt");
    EXPECT_EQ(platform::testing::rawNames(served + "/pub"), (QList<QByteArray>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_TRUE(m_errorList.startsWith(
        QStringLiteral("\r\n/pub/a.txt : アップロードした一時ファイルが名前を変える前にサーバーから消えました : /pub/.a.txt.~")))
        << m_errorList.toStdString();
    EXPECT_EQ(m_errorList.count(QStringLiteral("\r\n")), 1) << m_errorList.toStdString();
    EXPECT_EQ(copy.filesCopied(), 2);
}

// The folder that an FTP side names is where the check for links begins, with a final
// "/" in the address or without: that folder itself may be a link on the server, a
// link below it is still not followed.
TEST_F(FtpOperationsTest, TheFolderTheSideNamesMayBeALink)
{
    const QString served = m_served.makeFolder("linked");
    m_served.makeFolder("linked/real/sub");
    m_served.makeFolder("linked/other");
    for (const auto &[link, target] : {std::pair{"pub", "real"}, {"real/lnk", "../other"}})
        ASSERT_EQ(::symlink(target, QFile::encodeName(served + '/' + link).constData()), 0);
    m_trees.makeFolder("cache/pub/sub");
    m_trees.makeFolder("cache/pub/lnk");
    for (const char *name : {"a.txt", "sub/b.txt", "lnk/c.txt"})
        file(QStringLiteral("one/") + name, name);
    startServer(served);
    for (const QString &address : {QStringLiteral("/pub"), QStringLiteral("/pub/")}) {
        SCOPED_TRACE(address.toStdString());
        m_dialogs.clear();
        // The mirror holds the folder as the address names it: its last part, or itself.
        OperationSides sides = ftpSides();
        sides.pathBox[1] = m_server->url(address);
        sides.ftpCacheFolder[1] = address.endsWith(u'/') ? tree("cache/pub") : tree("cache");
        sides.sideRoot[1] = listing::FtpSideRoot(sides.ftpCacheFolder[1], sides.pathBox[1]);
        CopyOperation copy(0);
        run(copy, rows({"a.txt", "sub/b.txt", "lnk/c.txt"}), sides);

        EXPECT_EQ(read(served + "/real/a.txt"), "a.txt");
        EXPECT_EQ(read(served + "/real/sub/b.txt"), "sub/b.txt");
        EXPECT_FALSE(QFileInfo::exists(served + "/other/c.txt"));
        EXPECT_EQ(m_errorList, QStringLiteral("\r\n/pub/lnk/c.txt : リンクは辿りません : /pub/lnk"));
        EXPECT_EQ(copy.filesCopied(), 2);
        QFile::remove(served + "/real/a.txt");
    }
}

// Deleting a folder never enters a link: a link in it (one back to the folder too), or
// the row's folder when it is one, goes by its own name, and what it leads to stays; a
// row below a link is neither uploaded, converted nor deleted through it. The
// server lists a link with LIST as an "l" line and with MLSD as the folder it leads to;
// MLSD is checked with LIST, and where LIST cannot tell, nothing is entered or deleted.
TEST_F(FtpOperationsTest, DeletingAFolderRemovesItsLinksAndNeverWhatTheyLeadTo)
{
    enum class Listing { Mlsd, List, MlsdWithoutList };
    const std::pair<Listing, const char *> listings[] = {
        {Listing::Mlsd, "mlsd"}, {Listing::List, "list"}, {Listing::MlsdWithoutList, "unknown"}};
    for (const auto &[listing, name] : listings) {
        SCOPED_TRACE(name);
        m_dialogs.clear();
        const QString served = m_served.makeFolder(name);
        platform::testing::writeRawFile(served, "pub/keep/k.txt", "k");
        platform::testing::writeRawFile(served, "pub/old/a.txt", "a");
        for (const auto &[link, target] : {std::pair{"pub/old/lnk", "../keep"}, {"pub/old/loop", "."}, {"pub/alias", "keep"}})
            ASSERT_EQ(::symlink(target, QFile::encodeName(served + '/' + link).constData()), 0);
        QDir(tree("cache")).removeRecursively();
        for (const char *mirrored : {"keep/k.txt", "old/a.txt", "old/lnk/k.txt", "alias/k.txt"})
            file(QStringLiteral("cache/") + mirrored, "mirrored");
        m_server.emplace(served);
        m_server->recordCommands();
        if (listing == Listing::List)
            m_server->offerNoMlsd();
        if (listing == Listing::MlsdWithoutList) {
            m_server->refuse("LIST");
            m_server->refuse("LIST -a");
        }
        ASSERT_TRUE(m_server->start());
        file("one/alias/k.txt", "replaced");
        // The comparison reads what the links lead to, as a gathering does; the commands
        // of the runs come after it.
        const OperationSides sides = compared(ftpSides());
        const qsizetype gathering = m_server->commands().size();
        CopyOperation copy(0);
        run(copy, rows({"alias/k.txt"}), sides);
        EXPECT_EQ(copy.filesCopied(), 0);
        m_trees.makeFolder("work");
        CodeChangeOperation convert(1, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"), tree("work/1.tmp"));
        run(convert, rows({"alias/k.txt"}), sides);
        EXPECT_EQ(convert.filesConverted(), 0);
        DeleteOperation remove(1);
        run(remove, rows({"old/", "alias/k.txt", "alias/"}), sides);

        const QStringList sent = m_server->commands().mid(gathering);
        EXPECT_EQ(read(served + "/pub/keep/k.txt"), "k");
        EXPECT_EQ(sent.filter(QRegularExpression("/(lnk|loop|alias)/")), QStringList()) << sent.join(", ").toStdString();
        EXPECT_TRUE(QFileInfo::exists(tree("cache/keep/k.txt")));
        if (listing == Listing::MlsdWithoutList) {
            EXPECT_EQ(sent.filter(QRegularExpression("^(DELE|RMD) ")), QStringList()) << sent.join(", ").toStdString();
            EXPECT_TRUE(EntryExists(served + "/pub/old/lnk"));
            EXPECT_TRUE(EntryExists(served + "/pub/alias"));
            EXPECT_TRUE(QFileInfo::exists(tree("cache/old/a.txt")));
            EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n/pub/old/ : リンクかフォルダか分からないため中に入りません")))
                << m_errorList.toStdString();
            EXPECT_TRUE(m_errorList.contains(QStringLiteral("\r\n/pub/alias/ : "))) << m_errorList.toStdString();
            EXPECT_EQ(remove.rowsDeleted(), 0);
        } else {
            EXPECT_FALSE(EntryExists(served + "/pub/old"));
            EXPECT_FALSE(EntryExists(served + "/pub/alias"));
            EXPECT_FALSE(EntryExists(tree("cache/old")));
            EXPECT_FALSE(EntryExists(tree("cache/alias")));
            EXPECT_EQ(m_errorList, QStringLiteral("\r\n/pub/alias/k.txt : リンクは辿りません : /pub/alias"));
            EXPECT_EQ(remove.rowsDeleted(), 2);
        }
    }
}

// A link to a folder that an earlier row of the same run deleted leads nowhere: the
// server neither enters it nor, listing with MLSD, lists it. It is deleted by its name as
// any link is, and the folder's mirror copy with it.
TEST_F(FtpOperationsTest, ALinkWhoseFolderAnEarlierRowDeletedGoesByItsName)
{
    for (const bool mlsd : {true, false}) {
        SCOPED_TRACE(mlsd ? "mlsd" : "list");
        const QString served = m_served.makeFolder(mlsd ? "mlsd" : "list");
        platform::testing::writeRawFile(served, "pub/keep/k.txt", "k");
        ASSERT_EQ(::symlink("keep", QFile::encodeName(served + "/pub/alias").constData()), 0);
        QDir(tree("cache")).removeRecursively();
        for (const char *mirrored : {"keep/k.txt", "alias/k.txt"})
            file(QStringLiteral("cache/") + mirrored, "mirrored");
        m_server.emplace(served);
        if (!mlsd)
            m_server->offerNoMlsd();
        ASSERT_TRUE(m_server->start());
        DeleteOperation remove(1);
        run(remove, rows({"keep/", "alias/"}), ftpSides());
        EXPECT_EQ(m_errorList, QString());
        EXPECT_FALSE(EntryExists(served + "/pub/keep"));
        EXPECT_FALSE(EntryExists(served + "/pub/alias"));
        EXPECT_FALSE(EntryExists(tree("cache/alias")));
        EXPECT_EQ(remove.rowsDeleted(), 2);
    }
}

// An upload killed before it ended leaves its temporary file on the server: the next
// gathering does not list it and the next upload into its folder deletes it. Names of
// the user's that look like one (no check, a wrong check), and one of an earlier
// version, which does not tell the machine that made it, stay and are listed.
TEST_F(FtpOperationsTest, AKilledUploadLeavesNothingToFind)
{
    QProcess ended;
    ended.start(QStringLiteral("true"));
    ASSERT_TRUE(ended.waitForStarted());
    platform::RunMark gone = platform::RunMark::ofThisProcess();
    gone.process = ended.processId();
    ASSERT_TRUE(ended.waitForFinished());
    const QByteArray leftover = platform::temporaryFilePathFor("/pub/a.txt", gone).sliced(5);
    const QByteArray earlierBody = ".u.txt.~" + QByteArray::number(gone.process) + "-8";
    const QList<QByteArray> kept{
        ".u.txt.~" + QByteArray::number(gone.process) + "-7-0123abcd.tmp", ".u.txt.~" + QByteArray::number(gone.process) + "-7.tmp",
        earlierBody + '-' + QCryptographicHash::hash(earlierBody, QCryptographicHash::Sha256).toHex().left(8) + ".tmp"};
    startServer(m_served.makeFolder("pub").chopped(4));
    for (const QByteArray &name : kept + QList<QByteArray>{leftover})
        platform::testing::writeRawFile(m_served.path(), "pub/" + name, "part");

    m_trees.makeFolder("cache");
    listing::testing::RecordingHost host;
    listing::FtpGathering gathering{.host = host};
    QString address = m_server->url(QStringLiteral("/pub/"));
    std::vector<listing::GatheredEntry> records;
    ASSERT_TRUE(listing::GetFtpDate(address, tree("cache"), QStringLiteral("UTF8"), gathering, records));
    QList<QByteArray> listed;
    for (const listing::GatheredEntry &record : records)
        listed.append(record.path.toUtf8());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, kept);

    file("one/b.txt", "b");
    CopyOperation copy(0);
    run(copy, rows({"b.txt"}), ftpSides());
    EXPECT_EQ(platform::testing::rawNames(m_served.filePath("pub")), kept + QList<QByteArray>{"b.txt"});
}

// How a server lists its folders: MLSD to the second, or LIST alone, which gives times to
// the minute, or, for a file older than half a year, only the day.
enum class ServerListing { Mlsd, ListToTheMinute, ListToTheDay };

// A LIST of /pub that gives each file of `files` (name, contents) only the day.
QByteArray listToTheDay(const QList<std::pair<QByteArray, QByteArray>> &files)
{
    QByteArray listing;
    for (const auto &[name, contents] : files)
        listing += "-rw-r--r--   1 o g " + QByteArray::number(contents.size()) + " Jan 15  2020 " + name + "\r\n";
    return listing;
}

// A server file is written over, renamed over, converted or deleted only while it is
// the one the comparison listed, as exactly as the server's listing gives it: one that
// another program rewrote or made since is left as it is, its row listed and the refresh
// offered, and the other rows are done.
TEST_F(FtpOperationsTest, AServerFileChangedAfterTheComparisonIsLeftAlone)
{
    enum Operation { Copy, CopyWhereMade, Delete, Convert };
    const std::pair<ServerListing, const char *> listings[] = {{ServerListing::Mlsd, "MLSD"},
                                                               {ServerListing::ListToTheMinute, "LIST to the minute"},
                                                               {ServerListing::ListToTheDay, "LIST to the day"}};
    const struct
    {
        const char *name;
        Operation operation;
        const char *verb;
    } cases[] = {
        {"copy over a rewritten file", Copy, "コピー"},
        {"copy where a file was made", CopyWhereMade, "コピー"},
        {"delete of a rewritten file", Delete, "削除"},
        {"conversion of a rewritten file", Convert, "文字コード変換"},
    };
    const QByteArray rewritten = "rewritten by another program\r\n";
    for (const auto &[kind, kindName] : listings) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(kindName) + ", " + c.name);
            m_dialogs.clear();
            const QString served = m_served.makeFolder(QStringLiteral("%1-%2").arg(int(kind)).arg(int(c.operation)));
            QDir(tree("cache")).removeRecursively();
            const QString changed = c.operation == CopyWhereMade ? "c.txt" : "a.txt";
            QList<std::pair<QByteArray, QByteArray>> files{{"a.txt", "old\r\n"}, {"b.txt", "b\r\n"}};
            for (const auto &[name, contents] : files) {
                platform::testing::writeRawFile(served, "pub/" + name, contents);
                file("cache/" + QString::fromLatin1(name), contents);
            }
            const auto startServing = [&] {
                m_server.emplace(served);
                if (kind == ServerListing::ListToTheMinute)
                    m_server->offerNoMlsd();
                if (kind == ServerListing::ListToTheDay)
                    m_server->answerListWith(QStringLiteral("/pub"), listToTheDay(files));
                ASSERT_TRUE(m_server->start());
            };
            startServing();
            OperationSides sides = compared(ftpSides());
            // Another program writes on the server after the comparison.
            platform::testing::writeRawFile(served, "pub/" + changed.toLatin1(), rewritten);
            files.removeIf([&](const auto &listed) { return listed.first == changed.toLatin1(); });
            files.append({changed.toLatin1(), rewritten});
            startServing();
            sides.pathBox[1] = m_server->url(QStringLiteral("/pub/"));
            for (const char *name : {"a.txt", "b.txt", "c.txt"})
                file(QStringLiteral("one/") + name, "new\r\n");
            m_trees.makeFolder("work");
            std::unique_ptr<FileOperation> operation;
            if (c.operation == Delete)
                operation = std::make_unique<DeleteOperation>(1);
            else if (c.operation == Convert)
                operation = std::make_unique<CodeChangeOperation>(1, QString(), QStringLiteral("UTF8"),
                                                                  QStringLiteral("\n"), tree("work/1.tmp"));
            else
                operation = std::make_unique<CopyOperation>(0);
            run(*operation, rows({changed, "b.txt"}), sides);

            EXPECT_EQ(read(served + "/pub/" + changed), rewritten);
            EXPECT_EQ(m_errorList, QStringLiteral("\r\n/pub/") + changed + QStringLiteral(" : 比較の後に変更されたため、")
                                       + QString::fromUtf8(c.verb) + QStringLiteral("しませんでした"));
            EXPECT_EQ(operation->rowsDone(), 1) << "the other row is done";
            EXPECT_EQ(QFileInfo::exists(served + "/pub/b.txt"), c.operation != Delete);
            EXPECT_TRUE(lastPrompt().endsWith(QStringLiteral("最新の状況を取得し一覧に反映しますか？")));
        }
    }
}

// What a command of the program uploaded or deleted on a server is no change after the
// comparison to the next command on the same rows; a file deleted leaves nothing to
// convert.
TEST_F(FtpOperationsTest, TheProgramsOwnWritesOnAServerAreNoChangeToTheNextCommand)
{
    enum Operation { CopyToServer, ConvertOnServer, DeleteOnServer };
    const struct
    {
        const char *name;
        Operation first;
        Operation second;
        int secondDone;
    } cases[] = {
        {"copy, then copy", CopyToServer, CopyToServer, 2},
        {"conversion, then delete", ConvertOnServer, DeleteOnServer, 2},
        {"copy, then conversion", CopyToServer, ConvertOnServer, 2},
        {"delete, then conversion", DeleteOnServer, ConvertOnServer, 0},
    };
    for (const auto &[kind, kindName] : {std::pair{ServerListing::Mlsd, "MLSD"}, {ServerListing::ListToTheMinute, "LIST"}}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(kindName) + ", " + c.name);
            m_dialogs.clear();
            const QString served = m_served.makeFolder(QStringLiteral("%1-%2").arg(int(kind)).arg(int(c.first)));
            QDir(tree("cache")).removeRecursively();
            for (const char *name : {"a.txt", "sub/b.txt"}) {
                platform::testing::writeRawFile(served, QByteArray("pub/") + name, "old\r\n");
                file(QStringLiteral("cache/") + name, "old\r\n");
                file(QStringLiteral("one/") + name, "new contents\r\n");
            }
            m_server.emplace(served);
            if (kind == ServerListing::ListToTheMinute)
                m_server->offerNoMlsd();
            ASSERT_TRUE(m_server->start());
            const OperationSides sides = compared(ftpSides());
            m_trees.makeFolder("work");
            const auto operation = [&](Operation operationKind) -> std::unique_ptr<FileOperation> {
                switch (operationKind) {
                case CopyToServer:
                    return std::make_unique<CopyOperation>(0);
                case ConvertOnServer:
                    return std::make_unique<CodeChangeOperation>(1, QStringLiteral("SJIS"), QStringLiteral("UTF8"),
                                                                 QStringLiteral("\n"), tree("work/1.tmp"));
                case DeleteOnServer:
                    return std::make_unique<DeleteOperation>(1);
                }
                return nullptr;
            };
            const std::unique_ptr<FileOperation> first = operation(c.first);
            run(*first, rowsOnBoth({"a.txt", "sub/b.txt"}), sides);
            ASSERT_EQ(m_errorList, QString());
            const std::unique_ptr<FileOperation> second = operation(c.second);
            run(*second, rowsOnBoth({"a.txt", "sub/b.txt"}), sides);
            EXPECT_EQ(m_errorList, QString());
            EXPECT_EQ(second->rowsDone(), c.secondDone);
        }
    }
}

// The check of a copy to a server reads each server folder once: a copy of 1,000 files
// in 20 folders lists each folder at most once more than before the check (when it was
// listed once for the temporaries of killed uploads and its parent twice for links), the
// listing that tells the comparison what the uploads left there.
TEST_F(FtpOperationsTest, ACopyToAServerListsEachFolderOnceMore)
{
    constexpr int Folders = 20;
    constexpr int FilesPerFolder = 50;
    startServer(m_served.makeFolder("pub").chopped(4));
    m_server.emplace(m_served.path());
    m_server->recordCommands();
    ASSERT_TRUE(m_server->start());
    m_trees.makeFolder("cache");
    QStringList names;
    for (int folder = 0; folder < Folders; ++folder) {
        m_served.makeFolder(QStringLiteral("pub/d%1").arg(folder));
        for (int index = 0; index < FilesPerFolder; ++index) {
            names.append(QStringLiteral("d%1/f%2.txt").arg(folder).arg(index));
            file("one/" + names.last(), names.last().toUtf8());
        }
    }
    const OperationSides sides = compared(ftpSides());
    const qsizetype gathering = m_server->commands().size();
    CopyOperation copy(0);
    run(copy, rows(names), sides);

    EXPECT_EQ(copy.filesCopied(), Folders * FilesPerFolder);
    const QStringList listings = m_server->commands().mid(gathering).filter(QRegularExpression("^(MLSD|LIST|NLST)"));
    EXPECT_LE(listings.size(), (3 + 1) * Folders);
}

// A folder that keeps a dot entry fails after its other files went, and the changed side
// is offered for a refresh.
TEST_F(FtpOperationsTest, AFolderThatKeepsADotEntryOffersTheRefreshAfterAChange)
{
    startServer(m_served.makeFolder("pub").chopped(4));
    onBothSides("dotted/.keep", "k");
    onBothSides("dotted/z.txt", "z");
    DeleteOperation dotted(1);
    run(dotted, rows({"dotted/"}), ftpSides());
    EXPECT_FALSE(QFileInfo::exists(m_served.filePath("pub/dotted/z.txt")));
    EXPECT_EQ(lastPrompt(), QStringLiteral("一部のファイルが削除されました。　\r\n"
                                           "削除したファイル（行）：0件　削除出来なかったファイル（行）：1件　\r\n\r\n"
                                           "最新の状況を取得し一覧に反映しますか？"));
}

} // namespace
} // namespace foldercompare::operations
