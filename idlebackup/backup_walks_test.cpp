#include "idlebackup/work_test_fixture.h"

#include "idlebackup/mount_table.h"
#include "idlebackup/temporary_names.h"
#include "platform/testing/unprivileged_scope.h"
#include "platform/testing/write_faults.h"

#include <QDirIterator>
#include <QProcess>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace idlebackup {
namespace {

using testing::WorkFixture;

class WalkTest : public WorkFixture
{
public:
    // Every file and folder below `folder`, relative, folders ending in "/".
    static QStringList treeOf(const QString &folder)
    {
        QStringList items;
        QDirIterator walk(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                          QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QFileInfo info = walk.nextFileInfo();
            items.append(info.filePath().mid(folder.size() + 1) + (info.isDir() ? "/" : ""));
        }
        items.sort();
        return items;
    }
    static void setModified(const QString &path, time_t seconds)
    {
        const struct utimbuf times{seconds, seconds};
        ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
    }
    void backUp(const QString &original, const QString &destination)
    {
        m_history.record(original, MountTable::current());
        m_work.BackUpEntry(original, destination, m_history, MountTable::current());
    }

    MountHistory m_history;
};

TEST_F(WalkTest, CopyWalkCopiesWhatIsNotExcluded)
{
    m_settings.NoneStr = "~,";
    m_settings.NoneExt = "tmp,";
    for (const char *file : {"a.txt", "noext", "sub/b.txt", "~tmp.doc", "~old/c.txt", "x.tmp", "y.TMP", "RECYCLER/r.txt",
                             "Recycler2/r.txt", ".Trash-0/t.txt", "lost+found/l.txt", "deep/RECYCLER/d.txt"})
        m_folder.writeFile(QString("src/") + file, file);
    m_folder.makeFolder("src/empty");
    const QString destination = m_folder.makeFolder("~bak");
    backUp(m_folder.filePath("src"), destination);
    EXPECT_EQ(treeOf(destination + "/src"), (QStringList{"a.txt", "deep/", "deep/RECYCLER/", "deep/RECYCLER/d.txt",
                                                         "empty/", "noext", "sub/", "sub/b.txt", "y.TMP"}));
    EXPECT_EQ(read(destination + "/src/sub/b.txt"), "sub/b.txt");
    EXPECT_EQ(errors(), "");

    // Nothing changed: the second pass copies and creates nothing.
    m_grid.setTextMatrix(1, BakListColumn::Info, "");
    backUp(m_folder.filePath("src"), destination);
    EXPECT_EQ(status(), "");
}

TEST_F(WalkTest, SingleFileGoesUnderItsWholeNameIntoAFolderMadeForIt)
{
    const QString original = m_folder.writeFile("src/README", "text");
    backUp(original, m_folder.filePath("bak/new"));
    EXPECT_EQ(treeOf(m_folder.filePath("bak")), (QStringList{"new/", "new/README"}));
    EXPECT_EQ(errors(), "");
}

TEST_F(WalkTest, DeleteWalkRunsOnlyWhenTheOriginalCanBeTrusted)
{
    struct Case
    {
        const char *name;
        std::function<void(WalkTest &)> shapeOriginal;
        bool deletes;
        bool unprivileged = false; // the superuser reads every folder
    };
    const Case cases[] = {
        {"present", [](WalkTest &test) { test.m_folder.writeFile("src/keep.txt", "k"); }, true},
        {"empty", [](WalkTest &) {}, false},
        {"missing", [](WalkTest &test) { QDir(test.m_folder.filePath("src")).removeRecursively(); }, false},
        {"unreadable", [](WalkTest &test) {
             test.m_folder.writeFile("src/keep.txt", "k");
             ::chmod(QFile::encodeName(test.m_folder.filePath("src")).constData(), 0);
         }, false, true},
    };
    m_settings.BakDel = 1;
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        ::chmod(QFile::encodeName(m_folder.filePath("src")).constData(), 0755);
        QDir(m_folder.filePath("src")).removeRecursively();
        QDir(m_folder.filePath("bak")).removeRecursively();
        m_folder.makeFolder("src");
        m_folder.writeFile("bak/src/keep.txt", "k");
        m_folder.writeFile("bak/src/extra.txt", "e");
        m_folder.writeFile("bak/src/old/inner.txt", "i");
        m_history.record(m_folder.filePath("src"), MountTable::current());
        test.shapeOriginal(*this);
        if (test.unprivileged) {
            platform::testing::allowOthers(m_folder.path());
            platform::testing::UnprivilegedScope unprivileged;
            m_work.BackUpEntry(m_folder.filePath("src"), m_folder.filePath("bak"), m_history, MountTable::current());
        } else {
            m_work.BackUpEntry(m_folder.filePath("src"), m_folder.filePath("bak"), m_history, MountTable::current());
        }
        const QStringList expected = test.deletes ? QStringList{"keep.txt"}
                                                  : QStringList{"extra.txt", "keep.txt", "old/", "old/inner.txt"};
        EXPECT_EQ(treeOf(m_folder.filePath("bak/src")), expected);
    }
    ::chmod(QFile::encodeName(m_folder.filePath("src")).constData(), 0755);
}

TEST_F(WalkTest, DeleteWalkKeepsWhatItCannotCompare)
{
    m_folder.writeFile("src/keep.txt", "k");
    m_folder.writeFile("src/locked/f.txt", "f");
    m_folder.writeFile("bak/locked/f.txt", "f");
    m_folder.writeFile("bak/locked/g.txt", "g");
    for (const char *path : {"", "src", "bak", "bak/locked"})
        platform::testing::allowOthers(m_folder.filePath(path));
    for (const char *path : {"bak/locked/f.txt", "bak/locked/g.txt"})
        platform::testing::allowOthers(m_folder.filePath(path));
    ::chmod(QFile::encodeName(m_folder.filePath("src/locked")).constData(), 0);
    {
        platform::testing::UnprivilegedScope unprivileged;
        m_work.DeleteFoldersAndFiles(m_folder.filePath("src"), m_folder.filePath("bak"), "");
    }
    EXPECT_EQ(treeOf(m_folder.filePath("bak")), (QStringList{"locked/", "locked/f.txt", "locked/g.txt"}));
    // The folder that could not be read is listed, by the copy walk too.
    EXPECT_EQ(errors(), m_folder.filePath("src/locked(DIR)"));
    m_grid.setTextMatrix(1, BakListColumn::Errors, "");
    {
        platform::testing::UnprivilegedScope unprivileged;
        m_work.CopyFoldersAndFiles(m_folder.filePath("src"), m_folder.filePath("bak"), "");
    }
    ::chmod(QFile::encodeName(m_folder.filePath("src/locked")).constData(), 0755);
    EXPECT_TRUE(errors().split(',').contains(m_folder.filePath("src/locked(DIR)"))) << errors().toStdString();
}

TEST_F(WalkTest, UnmountedOriginalNeverEmptiesTheBackup)
{
    platform::testing::SmallFileSystem disk;
    if (!disk.isMounted())
        GTEST_SKIP() << "mounting a file system needs the superuser";
    const QString original = disk.path();
    QFile data(disk.filePath("data.txt"));
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    data.write("d");
    data.close();
    m_settings.BakDel = 1;
    const QString backup = m_folder.makeFolder("bak");
    backUp(original, backup);
    const QString copyRoot = backup + "/" + QFileInfo(original).fileName();
    ASSERT_EQ(treeOf(copyRoot), QStringList{"data.txt"});

    // The disk goes away; the folder it was mounted on holds a stray file of its own.
    ASSERT_EQ(::umount2(QFile::encodeName(original).constData(), MNT_DETACH), 0);
    QFile stray(original + "/stray.txt");
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();
    m_work.BackUpEntry(original, backup, m_history, MountTable::current());
    EXPECT_EQ(treeOf(copyRoot), (QStringList{"data.txt", "stray.txt"}));
    EXPECT_FALSE(m_history.driveMounted(original, MountTable::current()));
}

TEST_F(WalkTest, SyncCopiesTheNewestBothWaysOnlyIntoATrustedOriginal)
{
    m_settings.SyncMode = 1;
    m_settings.BakDel = 1;
    m_settings.NewOverWr = 1;
    setModified(m_folder.writeFile("src/a.txt", "old a"), 1000000000);
    m_folder.writeFile("src/b.txt", "b");
    setModified(m_folder.writeFile("bak/src/a.txt", "new a"), 1100000000);
    m_folder.writeFile("bak/src/c.txt", "c");
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    EXPECT_EQ(treeOf(m_folder.filePath("src")), (QStringList{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(read(m_folder.filePath("src/a.txt")), "new a");
    EXPECT_EQ(treeOf(m_folder.filePath("bak/src")), (QStringList{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(m_settings.NewOverWr, 0);

    // An emptied original is not filled from the copy, nor the copy emptied.
    QDir(m_folder.filePath("src")).removeRecursively();
    m_folder.makeFolder("src");
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    EXPECT_EQ(treeOf(m_folder.filePath("src")), QStringList());
    EXPECT_EQ(treeOf(m_folder.filePath("bak/src")), (QStringList{"a.txt", "b.txt", "c.txt"}));
}

TEST_F(WalkTest, TemporariesOfRunningWritersAreLeftAlone)
{
    QProcess finished;
    finished.start("/bin/true");
    ASSERT_TRUE(finished.waitForStarted());
    const qint64 gone = finished.processId();
    ASSERT_TRUE(finished.waitForFinished());
    m_folder.writeFile("src/a.txt", "a");
    const QString live = m_folder.writeFile("bak/src/" + TemporaryName(::getppid(), 0), "live");
    const QString stale = m_folder.writeFile("bak/src/" + TemporaryName(gone, 0), "stale");
    // Files of the user's that look like temporary files are backed up like any other
    // and never removed, also by the way back of sync mode.
    const QStringList userFiles{QString(".a.txt.~%1-0.tmp").arg(gone), QString(".zelquin-%1-0-0123456789ab.tmp").arg(gone)};
    for (const QString &name : userFiles)
        m_folder.writeFile("src/" + name, "user");
    m_settings.SyncMode = 1;
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    EXPECT_TRUE(QFileInfo::exists(live));
    EXPECT_FALSE(QFileInfo::exists(stale));
    for (const QString &name : userFiles) {
        EXPECT_EQ(read(m_folder.filePath("src/" + name)), "user") << name.toStdString();
        EXPECT_EQ(read(m_folder.filePath("bak/src/" + name)), "user") << name.toStdString();
    }
    EXPECT_EQ(errors(), "");
}

} // namespace
} // namespace idlebackup
