#include "idlebackup/work_test_fixture.h"

#include "platform/testing/killed_child.h"
#include "platform/testing/unprivileged_scope.h"
#include "platform/testing/write_faults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace idlebackup {
namespace {

using testing::WorkFixture;

class CopyFileTest : public WorkFixture
{
public:
    // A source of `size` bytes (a repeating pattern) and an older backup "old" of it.
    void prepare(qint64 size)
    {
        QByteArray content(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            content[i] = char('a' + i % 23);
        QFile::remove(m_folder.filePath("src/file.bin"));
        QFile::remove(m_folder.filePath("bak/file.bin"));
        m_source = m_folder.writeFile("src/file.bin", content);
        m_backup = m_folder.writeFile("bak/file.bin", "old");
        const struct utimbuf older{1000000000, 1000000000};
        ::utime(QFile::encodeName(m_backup).constData(), &older);
        m_content = content;
    }
    QString item() const { return m_source + "->" + m_backup + "(COPY)"; }
    void expectOldBackupKept()
    {
        EXPECT_EQ(read(m_backup), "old");
        EXPECT_EQ(temporaries(m_folder.filePath("bak")), QStringList());
        EXPECT_EQ(errors(), item());
        EXPECT_FALSE(status().startsWith("COPY_(OK) "));
    }

    QString m_source;
    QString m_backup;
    QByteArray m_content;
};

TEST_F(CopyFileTest, CopiesContentPermissionsTimesAndProgress)
{
    struct Case
    {
        const char *name;
        qint64 size;
        QString progress; // what the status line ends with
    };
    const Case cases[] = {
        {"empty", 0, ""},
        {"one byte short of a step", 1023999, ""},
        {"exactly one step", 1024000, "(SIZE=1,000KByte)"},
        {"five steps", 5120000, "(SIZE=5,000KByte)"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        prepare(test.size);
        ASSERT_EQ(::chmod(QFile::encodeName(m_source).constData(), 0440), 0);
        const timespec times[2] = {{1000000000, 0}, {1234567890, 123456789}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(m_source).constData(), times, 0), 0);
        m_work.showMessage("コピー " + m_source);
        m_work.CopyFile(m_source, m_backup);
        EXPECT_EQ(read(m_backup), m_content);
        const QFileInfo copy(m_backup);
        EXPECT_EQ(copy.lastModified().toMSecsSinceEpoch(), 1234567890123);
        EXPECT_EQ(copy.permissions() & (QFile::ReadOwner | QFile::WriteOwner), QFile::ReadOwner);
        EXPECT_TRUE(status().startsWith("COPY_(OK) ")) << status().toStdString();
        EXPECT_EQ(m_work.messageText(), "コピー " + m_source + test.progress);
        EXPECT_EQ(errors(), "");
        ::chmod(QFile::encodeName(m_source).constData(), 0644);
    }
}

TEST_F(CopyFileTest, NeverCopiesAFileOntoItself)
{
    const QString source = m_folder.writeFile("src/a.txt", "data");
    const QString hardLink = m_folder.filePath("bak/hard.txt");
    const QString symbolicLink = m_folder.filePath("bak/soft.txt");
    m_folder.makeFolder("bak");
    ASSERT_EQ(::link(QFile::encodeName(source).constData(), QFile::encodeName(hardLink).constData()), 0);
    ASSERT_TRUE(QFile::link(source, symbolicLink));
    for (const QString &destination : {source, hardLink, symbolicLink}) {
        SCOPED_TRACE(destination.toStdString());
        m_work.CopyFile(source, destination);
        EXPECT_EQ(status(), "");
        EXPECT_EQ(read(source), "data");
    }
    EXPECT_EQ(QFileInfo(hardLink).size(), 4);
    EXPECT_TRUE(QFileInfo(symbolicLink).isSymLink());
    struct stat one, other;
    ASSERT_EQ(::stat(QFile::encodeName(source).constData(), &one), 0);
    ASSERT_EQ(::stat(QFile::encodeName(hardLink).constData(), &other), 0);
    EXPECT_EQ(one.st_ino, other.st_ino);
}

// Faults that strike while the copy is under way (at the first event pump once its
// temporary file exists) leave the old backup as it was and record the failure.
TEST_F(CopyFileTest, FaultsDuringTheCopyKeepTheOldBackup)
{
    struct Case
    {
        const char *name;
        std::function<void(CopyFileTest &)> strike;
    };
    const Case cases[] = {
        {"source shrinks", [](CopyFileTest &test) { ASSERT_TRUE(QFile::resize(test.m_source, 10)); }},
        {"source grows", [](CopyFileTest &test) {
             QFile file(test.m_source);
             ASSERT_TRUE(file.open(QIODevice::Append));
             file.write("more");
         }},
        {"source vanishes", [](CopyFileTest &test) { ASSERT_TRUE(QFile::remove(test.m_source)); }},
        {"source replaced", [](CopyFileTest &test) {
             const QString other = test.m_folder.writeFile("other.bin", QByteArray(test.m_content.size(), 'z'));
             ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(test.m_source).constData()), 0);
         }},
        {"run stopped", [](CopyFileTest &test) { test.m_flags.RunFlag = 0; }},
        {"window closes", [](CopyFileTest &test) { test.m_flags.CloseFlag = true; }},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        m_grid.setTextMatrix(1, BakListColumn::Errors, "");
        m_grid.setTextMatrix(1, BakListColumn::Info, "");
        m_flags = RunFlags{1, false};
        prepare(2 * 1024 * 1024);
        bool struck = false;
        m_host.onPump = [&] {
            if (!struck && !temporaries(m_folder.filePath("bak")).isEmpty()) {
                struck = true;
                test.strike(*this);
            }
        };
        m_work.CopyFile(m_source, m_backup);
        EXPECT_TRUE(struck);
        expectOldBackupKept();
    }
}

TEST_F(CopyFileTest, FullDiskKeepsTheOldBackup)
{
    prepare(3 * 1024 * 1024);
    {
        platform::testing::FileSizeLimit limit(1024 * 1024);
        m_work.CopyFile(m_source, m_backup);
    }
    expectOldBackupKept();

    platform::testing::SmallFileSystem small;
    if (!small.isMounted())
        GTEST_SKIP() << "mounting a small file system needs the superuser";
    m_grid.setTextMatrix(1, BakListColumn::Errors, "");
    m_backup = small.filePath("file.bin");
    QFile old(m_backup);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    m_work.CopyFile(m_source, m_backup);
    EXPECT_EQ(read(m_backup), "old");
    EXPECT_EQ(temporaries(small.path()), QStringList());
    EXPECT_EQ(errors(), item());
}

TEST_F(CopyFileTest, UnreadableSourceLeavesTheDestinationAlone)
{
    prepare(1000);
    platform::testing::allowOthers(m_folder.path());
    platform::testing::allowOthers(m_folder.filePath("src"));
    // Everyone may write the backup's folder and the trash, so that nothing but the
    // copy's own rules keeps the old backup where it is.
    for (const QString &folder : {m_folder.filePath("bak"), m_folder.makeFolder("data")})
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_source).constData(), 0), 0);
    {
        platform::testing::UnprivilegedScope unprivileged;
        m_work.CopyFile(m_source, m_backup);
    }
    expectOldBackupKept();
}

// Runs only as a child of KilledCopyLeavesTheOldBackupAndTheNextPassCleansUp: copies
// until the parent kills it in the middle.
class CopyFileChild : public CopyFileTest
{
};

TEST_F(CopyFileChild, CopiesUntilKilled)
{
    const QString folder = platform::testing::KilledChildFolder();
    if (folder.isEmpty())
        GTEST_SKIP() << "child of KilledCopyLeavesTheOldBackupAndTheNextPassCleansUp";
    m_host.onPump = [&] {
        if (!temporaries(folder + "/bak").isEmpty())
            platform::testing::HoldUntilKilled(folder);
    };
    m_work.CopyFile(folder + "/src/file.bin", folder + "/bak/file.bin");
}

TEST_F(CopyFileTest, KilledCopyLeavesTheOldBackupAndTheNextPassCleansUp)
{
    prepare(4 * 1024 * 1024);
    ASSERT_NE(platform::testing::KillChildOnceMarked(QStringLiteral("CopyFileChild.*"), m_folder.path()), 0)
        << "the child never began its copy";

    EXPECT_EQ(read(m_backup), "old");
    EXPECT_EQ(temporaries(m_folder.filePath("bak")).size(), 1);
    m_work.CopyFoldersAndFiles(m_folder.filePath("src"), m_folder.filePath("bak"), "");
    EXPECT_EQ(temporaries(m_folder.filePath("bak")), QStringList());
    EXPECT_EQ(read(m_backup), m_content);
}

TEST_F(WorkFixture, FailureListsKeepWholeItems)
{
    struct Step
    {
        int entry;
        int mode;
        QString item;
    };
    struct Case
    {
        const char *name;
        QList<Step> steps;
        QStringList lists; // columns 5 of entries 0 and 1 afterwards
    };
    const QString longItem = QString(200, u'x') + "(COPY)";
    // A folder of the original and its backup, too long for a whole item, share their end.
    const QString deep = "/" + QString(300, u'd') + "/locked";
    const QString originalItem = FailureItem("/home/src" + deep, FailureKind::Folder);
    const Case cases[] = {
        {"add and remove", {{0, 0, "a(DEL)"}, {0, 0, "b(DEL)"}, {0, 0, "c(DEL)"}, {0, 1, "b(DEL)"}}, {"a(DEL),c(DEL)", ""}},
        {"added once", {{0, 0, "a(DEL)"}, {0, 0, "a(DEL)"}}, {"a(DEL)", ""}},
        {"item with a comma", {{0, 0, "x,y->z(COPY)"}, {0, 0, "b(DEL)"}, {0, 1, "x,y->z(COPY)"}}, {"b(DEL)", ""}},
        {"removed from every entry", {{0, 0, "a(DEL)"}, {1, 0, "b(DEL)"}, {1, 0, "a(DEL)"}, {1, 1, "a(DEL)"}},
         {"", "b(DEL)"}},
        {"cut at 256", {{0, 0, longItem}, {0, 0, longItem + "2"}}, {(longItem + "," + longItem + "2").left(256), ""}},
        {"long items of two paths with one end",
         {{0, 0, originalItem}, {0, 1, FailureItem("/media/bak/src" + deep, FailureKind::Folder)}},
         {originalItem, ""}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        for (int entry = 0; entry < 2; ++entry)
            m_grid.setTextMatrix(entry + 1, BakListColumn::Errors, "");
        for (const Step &step : test.steps) {
            m_currentEntry = step.entry;
            m_work.SetFileErrMsg(step.item, step.mode);
        }
        EXPECT_EQ((QStringList{errors(0), errors(1)}), test.lists);
    }
}

TEST_F(WorkFixture, RecyclerDeleteTellsSuccessFromFailure)
{
    const QString file = m_folder.writeFile("bak/gone.txt", "x");
    EXPECT_EQ(m_work.RecyclerDelete(file, true), 0);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_TRUE(status().startsWith("DEL__(OK) "));
    EXPECT_TRUE(QFileInfo::exists(m_xdg.trashFiles(m_folder.path()) + "/gone.txt"));

    m_grid.setTextMatrix(1, BakListColumn::Info, "");
    EXPECT_NE(m_work.RecyclerDelete(file, true), 0);
    EXPECT_EQ(status(), "");
    EXPECT_EQ(errors(), file + "(DEL)");
}

TEST_F(WorkFixture, CreateFolderMakesEveryMissingLevel)
{
    const QString deep = m_folder.filePath("a/b/c");
    m_work.CreateFolder(deep);
    EXPECT_TRUE(QFileInfo(deep).isDir());
    EXPECT_TRUE(status().startsWith("MKDIR(OK) "));

    m_grid.setTextMatrix(1, BakListColumn::Info, "");
    m_work.CreateFolder(deep);
    EXPECT_EQ(status(), "");

    const QString blocked = m_folder.writeFile("file", "x") + "/sub";
    m_work.CreateFolder(blocked);
    EXPECT_EQ(errors(), blocked + "(MKDIR)");
}

} // namespace
} // namespace idlebackup
