#include "common/non_code_class.h"
#include "foldercompare/operations/code_change.h"
#include "foldercompare/operations/copy_delete.h"
#include "foldercompare/operations/operations_test_fixture.h"
#include "platform/testing/ftp_test_server.h"
#include "platform/testing/print_to.h"
#include "platform/testing/write_faults.h"

#include <QFileInfo>

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

} // namespace
} // namespace foldercompare::operations
