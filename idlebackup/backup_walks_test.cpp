#include "idlebackup/work_test_fixture.h"

#include "idlebackup/folder_walk.h"
#include "idlebackup/mount_table.h"
#include "common/saved_error.h"
#include "platform/atomic_file.h"
#include "platform/testing/deep_chain.h"
#include "platform/testing/unprivileged_scope.h"
#include "platform/testing/write_faults.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>

#include <fcntl.h>
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
    static void setModified(const QString &path, const timespec &time)
    {
        const timespec times[2] = {time, time};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }
    void backUp(const QString &original, const QString &destination, const MountTable &mounts = MountTable::current())
    {
        m_history.record(original, mounts);
        m_work.BackUpEntry(original, destination, m_history, mounts);
    }
    // The names in `folder` (encoded) as the disk holds them.
    static QByteArrayList rawNames(const QByteArray &folder)
    {
        QByteArrayList names;
        const Descriptor opened = OpenFolder(folder);
        std::vector<FolderEntry> entries;
        EXPECT_EQ(ListFolderAt(opened.get(), ListingDepth::KindsOnly, entries), 0) << folder.toStdString();
        for (const FolderEntry &entry : entries)
            names.append(entry.name);
        return names;
    }
    // The contents of the file at the encoded path `path`.
    static QByteArray readRaw(const QByteArray &path)
    {
        QByteArray content(4096, '\0');
        const int descriptor = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        content.resize(descriptor < 0 ? 0 : qMax(ssize_t(0), ::read(descriptor, content.data(), size_t(content.size()))));
        ::close(descriptor);
        return content;
    }
    QStringList trash() const { return treeOf(m_xdg.trashFiles(m_folder.path())); }

    MountHistory m_history;
};

TEST_F(WalkTest, CopyWalkCopiesWhatIsNotExcluded)
{
    m_settings.NoneStr = "~,";
    m_settings.NoneExt = "tmp,";
    for (const char *file : {"a.txt", "noext", "sub/b.txt", "~tmp.doc", "~old/c.txt", "x.tmp", "y.TMP", "RECYCLER/r.txt",
                             "Recycler2/r.txt", ".Trash-0/t.txt", "lost+found/l.txt", "deep/RECYCLER/d.txt", ".Trashy/u.txt"})
        m_folder.writeFile(QString("src/") + file, file);
    m_folder.makeFolder("src/empty");
    const QString destination = m_folder.makeFolder("~bak");
    backUp(m_folder.filePath("src"), destination);
    EXPECT_EQ(treeOf(destination + "/src"), (QStringList{".Trashy/", ".Trashy/u.txt", "a.txt", "deep/", "deep/RECYCLER/",
                                                         "deep/RECYCLER/d.txt", "empty/", "noext", "sub/", "sub/b.txt",
                                                         "y.TMP"}));
    EXPECT_EQ(read(destination + "/src/sub/b.txt"), "sub/b.txt");
    EXPECT_EQ(errors(), "");

    // Nothing changed: the second pass copies and creates nothing.
    m_grid.setTextMatrix(1, BakListColumn::Info, "");
    backUp(m_folder.filePath("src"), destination);
    EXPECT_EQ(status(), "");

    // A file changed within the second of its copy, to another size, is copied.
    setModified(m_folder.writeFile("src/a.txt", "a changed"), 1600000000);
    setModified(destination + "/src/a.txt", 1600000000);
    backUp(m_folder.filePath("src"), destination);
    EXPECT_EQ(read(destination + "/src/a.txt"), "a changed");
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

// A temporary name as earlier versions gave it, with its check right: it does not tell
// the machine that made it.
QString earlierVersionsName(qint64 process, int counter = 3)
{
    const QByteArray body = ".zelquin-" + QByteArray::number(process) + "-" + QByteArray::number(counter);
    return QString::fromLatin1(body + '-' + QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex().left(12) + ".tmp");
}

// A temporary name as the versions after those gave it, with its check made with the
// machine.
QString machineMarkedName(const platform::RunMark &run, quint64 counter)
{
    const QByteArray body = ".zelquin-" + run.numbers(counter);
    return QString::fromLatin1(body + '-' + run.check(body, 12) + ".tmp");
}

// A new name of a copy's temporary file beside "a.txt" as copies write it now.
QString copyTemporaryName(const platform::RunMark &run)
{
    return QString::fromUtf8(platform::temporaryFilePathFor("a.txt", run));
}

// In sync mode a file goes only over an older one, as far as both disks keep times (to
// the nanosecond here, two seconds on FAT, and on a network disk that shows a time in
// whole even seconds, which may be FAT behind it); where they cannot tell and the sizes
// differ, neither goes, and the pair is listed until the user settles it.
TEST_F(WalkTest, SyncNeverCopiesAnOlderFileOverANewerOne)
{
    enum Disk { Local, Fat, Network };
    struct Case
    {
        const char *name;
        Disk disk; // of the backup
        bool singleFile;
        timespec original;
        timespec edit; // of the backup's copy
        bool editGoesBack;
    };
    const Case cases[] = {
        {"edit 0.8 s newer", Local, false, {1600000000, 100000000}, {1600000000, 900000000}, true},
        {"edit 0.8 s newer, single file", Local, true, {1600000000, 100000000}, {1600000000, 900000000}, true},
        {"same time", Local, false, {1600000000, 100000000}, {1600000000, 100000000}, false},
        {"FAT, edit 1 s newer", Fat, false, {1600000000, 0}, {1600000001, 0}, false},
        {"FAT, edit 2 s newer", Fat, false, {1600000000, 0}, {1600000002, 0}, true},
        {"network, edit in an even second", Network, false, {1600000001, 300000000}, {1600000000, 0}, false},
    };
    platform::testing::FatFileSystem disk;
    // A share mounted on "net", as the mount table tells it.
    const QString share = m_folder.makeFolder("net");
    const MountTable withShare = MountTable::read(m_folder.writeFile(
        "mountinfo", platform::testing::TemporaryFolder::readFile("/proc/self/mountinfo") + "9999 1 0:999 / "
                         + QFile::encodeName(share) + " rw - cifs //server/share rw\n"));
    ASSERT_EQ(withShare.timeGrain(share), TimeGrain::Network);
    m_settings.SyncMode = 1;
    int index = 0;
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        if (test.disk == Fat && !disk.isMounted())
            continue; // a FAT file system through FUSE needs the superuser, mkfs.vfat and fusefat
        // Each case in folders of its own.
        const QString folder = QString("c%1").arg(++index);
        const QString backup = test.disk == Fat ? disk.path() : test.disk == Network ? share : m_folder.filePath("bak");
        const MountTable mounts = test.disk == Network ? withShare : MountTable::current();
        const QString original = m_folder.writeFile(folder + "/f.txt", "v1");
        setModified(original, test.original);
        const QString entry = test.singleFile ? original : m_folder.filePath(folder);
        const QString copy = backup + "/" + (test.singleFile ? "" : folder + "/") + "f.txt";
        backUp(entry, backup, mounts);
        ASSERT_EQ(read(copy), "v1");
        QFile edited(copy);
        ASSERT_TRUE(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
        edited.write("v2, longer");
        edited.close();
        setModified(copy, test.edit);
        m_grid.setTextMatrix(1, BakListColumn::Errors, "");
        backUp(entry, backup, mounts);
        EXPECT_EQ(read(copy), "v2, longer");
        EXPECT_EQ(read(original), test.editGoesBack ? "v2, longer" : "v1");
        if (test.editGoesBack) {
            EXPECT_EQ(errors(), "");
            continue;
        }
        EXPECT_EQ(errors(), original + "<->" + copy + "(両方変更)");

        // The user settles it by saving the original again: it goes to the backup, and the
        // item goes.
        setModified(original, {test.edit.tv_sec + 10, 0});
        backUp(entry, backup, mounts);
        EXPECT_EQ(read(copy), read(original));
        EXPECT_EQ(errors(), "");
    }
}

TEST_F(WalkTest, TemporariesOfRunningWritersAreLeftAlone)
{
    QProcess finished;
    finished.start("/bin/true");
    ASSERT_TRUE(finished.waitForStarted());
    const qint64 gone = finished.processId();
    ASSERT_TRUE(finished.waitForFinished());
    m_folder.writeFile("src/a.txt", "a");
    const auto run = [](qint64 process, const QByteArray &machine = {}, const QByteArray &boot = {}) {
        platform::RunMark mark = platform::RunMark::ofThisProcess();
        mark.process = process;
        if (!machine.isEmpty())
            mark.machine = machine;
        if (!boot.isEmpty())
            mark.boot = boot;
        return mark;
    };
    // Another boot of this machine: its runs have all ended, whatever process has their
    // numbers now.
    const QByteArray earlierBoot(8, run(0).boot.startsWith('a') ? 'b' : 'a');
    const QString earlierBootsCopy = copyTemporaryName(run(::getppid(), {}, earlierBoot));
    const QStringList live{m_folder.writeFile("bak/src/" + copyTemporaryName(run(::getppid())), "live"),
                           m_folder.writeFile("bak/src/" + machineMarkedName(run(::getppid()), 0), "live"),
                           m_folder.writeFile("bak/src/" + earlierVersionsName(::getppid()), "live")};
    // Those of runs that ended, in the form copies write now and in the forms of earlier
    // versions, are leftovers, also in the original, where the way back of sync mode
    // wrote them: never backed up, nor brought back.
    const QStringList stale{m_folder.writeFile("bak/src/" + copyTemporaryName(run(gone)), "stale"),
                            m_folder.writeFile("src/" + earlierBootsCopy, "stale"),
                            m_folder.writeFile("bak/src/" + machineMarkedName(run(gone), 0), "stale"),
                            m_folder.writeFile("bak/src/" + machineMarkedName(run(::getppid(), {}, earlierBoot), 1),
                                               "stale"),
                            m_folder.writeFile("bak/src/" + earlierVersionsName(gone), "stale"),
                            m_folder.writeFile("src/" + earlierVersionsName(gone, 4), "stale")};
    // Files of the user's that look like temporary files are backed up like any other
    // and never removed, also by the way back of sync mode: so are those of another
    // machine (a backup folder that two machines write into).
    const QStringList userFiles{QString(".a.txt.~%1-0.tmp").arg(gone), QString(".zelquin-%1-0-0123456789ab.tmp").arg(gone),
                                machineMarkedName(run(gone, "another machine"), 2)};
    for (const QString &name : userFiles)
        m_folder.writeFile("src/" + name, "user");
    m_settings.SyncMode = 1;
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    for (const QString &path : live)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    for (const QString &path : stale)
        EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_FALSE(QFileInfo::exists(m_folder.filePath("bak/src/" + earlierVersionsName(gone, 4))));
    EXPECT_FALSE(QFileInfo::exists(m_folder.filePath("bak/src/" + earlierBootsCopy)));
    for (const QString &name : userFiles) {
        EXPECT_EQ(read(m_folder.filePath("src/" + name)), "user") << name.toStdString();
        EXPECT_EQ(read(m_folder.filePath("bak/src/" + name)), "user") << name.toStdString();
    }
    EXPECT_EQ(errors(), "");
}


// The original goes away while the delete walk is under way, at the walk's first pump
// of events: renamed, or its disk unmounted lazily (as "umount -l" does).
TEST_F(WalkTest, DeleteWalkLooksUpOnlyBelowTheRootItChecked)
{
    struct Case
    {
        const char *name;
        bool unmount;
    };
    const Case cases[] = {{"renamed", false}, {"unmounted", true}};
    m_settings.BakDel = 1;
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        const QString original = m_folder.makeFolder(QString("src-") + test.name);
        platform::testing::SmallFileSystem disk(test.unmount ? original : QString());
        if (test.unmount && !disk.isMounted())
            GTEST_SKIP() << "mounting a file system needs the superuser";
        for (int file = 0; file < 100; ++file)
            m_folder.writeFile(QString("src-%1/f%2/file%3.txt").arg(test.name).arg(file % 10).arg(file), "x");
        const QString copyRoot = m_folder.filePath(QString("bak/src-") + test.name);
        backUp(original, m_folder.filePath("bak"));
        ASSERT_EQ(treeOf(copyRoot).size(), 110);

        bool struck = false;
        m_host.onPump = [&] {
            if (struck)
                return;
            struck = true;
            if (test.unmount)
                disk.unmount();
            else
                ASSERT_EQ(::rename(QFile::encodeName(original).constData(), QFile::encodeName(original + "-moved").constData()), 0);
        };
        m_work.DeleteFoldersAndFiles(original, copyRoot, "");
        m_host.onPump = nullptr;
        EXPECT_TRUE(struck);
        EXPECT_EQ(treeOf(copyRoot).size(), 110);
        EXPECT_EQ(trash(), QStringList());
    }
}

// A disk mounted inside the original, and one that the file-system table lists there,
// are not trusted while they are not mounted: nothing below them is deleted, and the
// entry says so.
TEST_F(WalkTest, NestedMountPointsAreNotTrustedWhileUnmounted)
{
    struct Case
    {
        const char *name;
        bool listedInFstab; // else mounted at the first pass and remembered
    };
    const Case cases[] = {{"listed", true}, {"remembered", false}};
    m_settings.BakDel = 1;
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        const QString original = m_folder.makeFolder(QString("src-") + test.name);
        const QString nested = m_folder.makeFolder(QString("src-") + test.name + "/nested");
        m_folder.writeFile(QString("src-") + test.name + "/keep.txt", "k");
        MountHistory history;
        const QString copied = m_folder.filePath(QString("bak/src-") + test.name + "/nested/data.txt");
        if (test.listedInFstab) {
            const QString fstab = m_folder.writeFile("fstab", "# disks\n/dev/sdb1 " + nested.toUtf8() + " vfat noauto 0 0\n");
            history.setListedMountPoints(ListedMountPoints(fstab));
            m_folder.writeFile(QString("bak/src-") + test.name + "/nested/data.txt", "d");
        } else {
            platform::testing::SmallFileSystem disk(nested);
            if (!disk.isMounted())
                GTEST_SKIP() << "mounting a file system needs the superuser";
            m_folder.writeFile(QString("src-") + test.name + "/nested/data.txt", "d");
            history.record(original, MountTable::current());
            m_work.BackUpEntry(original, m_folder.filePath("bak"), history, MountTable::current());
            ASSERT_TRUE(QFileInfo::exists(copied));
        }
        m_grid.setTextMatrix(1, BakListColumn::Errors, "");
        m_work.BackUpEntry(original, m_folder.filePath("bak"), history, MountTable::current());
        EXPECT_TRUE(QFileInfo::exists(copied));
        EXPECT_EQ(errors(), nested + "(ドライブ無)");
    }
}

// Names are the disk's bytes from the walk to the copy and the trash (Latin-1,
// Shift-JIS, stray bytes); the status line and the failure items show them escaped.
TEST_F(WalkTest, NamesAreBytesFromTheWalkToTheCopy)
{
    const QByteArray folder = "caf\xe9";
    const QByteArray file = "\x83\x65\x83\x58\x83\x67.txt";
    const QByteArray stray = "x\xff\x01.txt";
    const QByteArray source = QFile::encodeName(m_folder.makeFolder("src"));
    ASSERT_EQ(::mkdir(source + "/" + folder, 0755), 0);
    for (const QByteArray &path : {folder + "/" + file, stray}) {
        const int descriptor = ::open(source + "/" + path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(descriptor, 0);
        ASSERT_EQ(::write(descriptor, path.constData(), size_t(path.size())), path.size());
        ::close(descriptor);
    }
    // A file of an old backup stands where the folder's copy goes.
    const QByteArray copyRoot = QFile::encodeName(m_folder.makeFolder("bak/src"));
    ::close(::open(copyRoot + "/" + folder, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    m_settings.BakDel = 1;
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    const QString shownFolder = m_folder.filePath("bak/src/caf\\xE9");
    EXPECT_EQ(errors(), shownFolder + "(MKDIR)");
    const QByteArray trashFiles = QFile::encodeName(m_xdg.trashFiles(m_folder.path()));
    EXPECT_EQ(rawNames(trashFiles), QByteArrayList{folder});
    EXPECT_TRUE(readRaw(trashFiles + "/../info/" + folder + ".trashinfo")
                    .contains("\nPath=" + (copyRoot + "/" + folder).toPercentEncoding("/") + "\n"));

    m_grid.setTextMatrix(1, BakListColumn::Errors, "");
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(rawNames(copyRoot), (QByteArrayList{folder, stray}));
    EXPECT_EQ(rawNames(copyRoot + "/" + folder), QByteArrayList{file});
    EXPECT_EQ(readRaw(copyRoot + "/" + folder + "/" + file), folder + "/" + file);
    EXPECT_EQ(rawNames(trashFiles), QByteArrayList{folder});
    EXPECT_TRUE(m_host.messages.contains(m_folder.filePath("src/x\\xFF\\x01.txt"))) << m_host.messages.join('\n').toStdString();
}

// A link inside the backup is never written through: a link in a copy's place is
// replaced by the copy, also one that leads to the original itself, which holds no
// backup of it. A link to a folder in the original is listed as passed over.
TEST_F(WalkTest, LinksAreNeverFollowedOutOfATree)
{
    m_folder.writeFile("src/sub/a.txt", "a");
    m_folder.writeFile("elsewhere/x.txt", "x");
    const QString outside = m_folder.makeFolder("outside");
    m_folder.makeFolder("bak/src");
    ASSERT_TRUE(QFile::link(outside, m_folder.filePath("bak/src/sub")));
    ASSERT_TRUE(QFile::link(m_folder.filePath("elsewhere"), m_folder.filePath("src/linked")));
    ASSERT_TRUE(QFile::link(m_folder.writeFile("src/self.txt", "self"), m_folder.filePath("bak/src/self.txt")));
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    EXPECT_EQ(treeOf(outside), QStringList());
    EXPECT_FALSE(QFileInfo(m_folder.filePath("bak/src/self.txt")).isSymLink());
    EXPECT_EQ(read(m_folder.filePath("bak/src/self.txt")), "self");
    EXPECT_EQ(errors(), m_folder.filePath("bak/src/sub(MKDIR)") + "," + m_folder.filePath("src/linked(LINK)"));

    // The folder made for the entry is a level of the walk too, with 削除 on; the
    // destination that the user chose may be a link.
    m_settings.BakDel = 1;
    m_grid.setTextMatrix(1, BakListColumn::Errors, "");
    m_folder.writeFile("other/victim.txt", "v");
    ASSERT_TRUE(QFile::link(m_folder.filePath("other"), m_folder.makeFolder("bak2") + "/src"));
    backUp(m_folder.filePath("src"), m_folder.filePath("bak2"));
    EXPECT_EQ(treeOf(m_folder.filePath("other")), QStringList{"victim.txt"});
    EXPECT_EQ(trash(), QStringList());
    EXPECT_EQ(errors(), m_folder.filePath("bak2/src(MKDIR)") + "," + m_folder.filePath("src/linked(LINK)"));
    ASSERT_TRUE(QFile::link(m_folder.makeFolder("real"), m_folder.filePath("chosen")));
    backUp(m_folder.filePath("src"), m_folder.filePath("chosen"));
    EXPECT_EQ(treeOf(m_folder.filePath("real")), (QStringList{"src/", "src/self.txt", "src/sub/", "src/sub/a.txt"}));

    // An original named "." or ".." gives no level that leads back up out of the
    // destination: nothing is written or trashed beside the folder for the entry.
    m_folder.writeFile("bak3/other entry/kept.txt", "k");
    m_folder.makeFolder("bak3/inner");
    for (const char *original : {"src/sub/..", "src/."}) {
        SCOPED_TRACE(original);
        m_grid.setTextMatrix(1, BakListColumn::Errors, "");
        backUp(m_folder.filePath(original), m_folder.filePath("bak3/inner"));
        EXPECT_EQ(treeOf(m_folder.filePath("bak3")), (QStringList{"inner/", "other entry/", "other entry/kept.txt"}));
        EXPECT_EQ(trash(), QStringList());
        EXPECT_TRUE(errors().startsWith(m_folder.filePath("bak3/inner/") + QString(original).section('/', -1)
                                        + "(MKDIR)"))
            << errors().toStdString();
    }
}

// Sync mode reads no link in the backup and replaces none in the original: a link planted
// in the backup is listed and left alone, also as the copy of a single-file entry (in
// backup mode as well), and a link in the original is backed up as the file it leads to
// and stays a link, also when the backup's copy of it is newer.
TEST_F(WalkTest, SyncLeavesLinksAlone)
{
    m_settings.SyncMode = 1;
    const QString outside = m_folder.writeFile("outside/secret.txt", "secret");
    setModified(outside, 1700000000);
    const QString one = m_folder.writeFile("src/one.txt", "one");
    setModified(one, 1600000000);
    const QString led = m_folder.writeFile("elsewhere/led.txt", "led");
    setModified(led, 1600000000);
    ASSERT_TRUE(QFile::link(led, m_folder.filePath("src/linked.txt")));
    m_folder.makeFolder("bak/src");
    ASSERT_TRUE(QFile::link(outside, m_folder.filePath("bak/src/planted.txt")));
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    EXPECT_EQ(treeOf(m_folder.filePath("src")), (QStringList{"linked.txt", "one.txt"}));
    EXPECT_EQ(QFileInfo(m_folder.filePath("src/linked.txt")).symLinkTarget(), led);
    EXPECT_EQ(read(m_folder.filePath("bak/src/linked.txt")), "led");
    EXPECT_EQ(QFileInfo(m_folder.filePath("bak/src/planted.txt")).symLinkTarget(), outside);
    EXPECT_EQ(errors(), m_folder.filePath("bak/src/planted.txt(LINK)"));

    m_grid.setTextMatrix(1, BakListColumn::Errors, "");
    setModified(m_folder.writeFile("bak/src/linked.txt", "edited"), 1650000000);
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    EXPECT_EQ(QFileInfo(m_folder.filePath("src/linked.txt")).symLinkTarget(), led);
    EXPECT_EQ(read(led), "led");
    EXPECT_EQ(errors(),
              m_folder.filePath("src/linked.txt(LINK)") + "," + m_folder.filePath("bak/src/planted.txt(LINK)"));

    // Backup mode, too, judges no link planted as the copy of a single-file entry.
    m_folder.makeFolder("single");
    ASSERT_TRUE(QFile::link(outside, m_folder.filePath("single/one.txt")));
    for (const int mode : {1, 0}) {
        SCOPED_TRACE(mode == 1 ? "sync mode" : "backup mode");
        m_settings.SyncMode = mode;
        m_grid.setTextMatrix(1, BakListColumn::Errors, "");
        backUp(one, m_folder.filePath("single"));
        EXPECT_EQ(read(one), "one");
        EXPECT_EQ(QFileInfo(m_folder.filePath("single/one.txt")).symLinkTarget(), outside);
        EXPECT_EQ(errors(), m_folder.filePath("single/one.txt(LINK)"));
    }
}

// Another file or a link is put in the place of the file that the walk listed, once the
// status line shows its copy starting: nothing is read from what came in its place,
// nothing is copied, and the file is listed; a link in the backup as path(LINK).
TEST_F(WalkTest, AFileSwappedInAfterTheWalkIsNeverCopied)
{
    const struct
    {
        const char *name;
        bool sync;
        bool fromBackup; // the copy goes from the backup to the original
        bool link;       // else another file
    } cases[] = {
        {"sync, a link in the backup", true, true, true},
        {"sync, another file in the backup", true, true, false},
        {"sync, another file in the original", true, false, false},
        {"backup, another file in the original", false, false, false},
    };
    const QString secret = m_folder.writeFile("outside/secret.txt", "secret");
    int index = 0;
    for (const auto &test : cases) {
        SCOPED_TRACE(test.name);
        m_settings.SyncMode = test.sync ? 1 : 0;
        m_grid.setTextMatrix(1, BakListColumn::Errors, "");
        const QString folder = QString("case%1").arg(++index);
        const QString original = m_folder.filePath(folder + "/src/f.txt");
        const QString copy = m_folder.filePath(folder + "/bak/src/f.txt");
        const QString source = test.fromBackup ? copy : original;
        const QString target = test.fromBackup ? original : copy;
        setModified(m_folder.writeFile(target.mid(m_folder.path().size() + 1), "old"), 1600000000);
        setModified(m_folder.writeFile(source.mid(m_folder.path().size() + 1), "listed"), 1700000000);
        const QString swapped = m_folder.filePath(folder + "/swapped");
        if (test.link)
            ASSERT_TRUE(QFile::link(secret, swapped));
        else
            m_folder.writeFile(folder + "/swapped", "swapped");
        bool struck = false;
        m_host.onPump = [&] {
            if (!struck && m_host.messages.value(m_host.messages.size() - 1) == "コピー " + source) {
                struck = true;
                ASSERT_EQ(::rename(QFile::encodeName(swapped).constData(), QFile::encodeName(source).constData()), 0);
            }
        };
        backUp(m_folder.filePath(folder + "/src"), m_folder.filePath(folder + "/bak"));
        m_host.onPump = nullptr;
        ASSERT_TRUE(struck);
        EXPECT_EQ(read(target), "old");
        EXPECT_EQ(errors(), test.link ? source + "(LINK)" : source + "->" + target + "(COPY)");
        EXPECT_EQ(m_work.failureReasons(1),
                  test.link ? QString() : errors() + "\n　調べた後にファイルが変更または置き換えられました。次回やり直します。");
        EXPECT_EQ(temporaries(QFileInfo(target).path()), QStringList());
    }
}

// Paths longer than the system takes in one call are backed up, and a failure on such a
// path keeps its kind in the entry's list.
TEST_F(WalkTest, PathsLongerThanTheSystemTakesAreBackedUp)
{
    m_folder.makeFolder("src");
    platform::testing::DeepChain original(m_folder.filePath("src"), 20, 250);
    original.writeFile("deep.txt", "deep", 1600000000);
    ASSERT_GT(original.relative().size(), 4096);
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    EXPECT_EQ(errors(), "");
    const Descriptor copyRoot = OpenFolder(QFile::encodeName(m_folder.filePath("bak/src")));
    Descriptor folder(::dup(copyRoot.get()));
    for (const QString &name : original.relative().split('/', Qt::SkipEmptyParts))
        folder = OpenFolderAt(folder.get(), name.toUtf8());
    std::vector<FolderEntry> entries;
    ASSERT_EQ(ListFolderAt(folder.get(), ListingDepth::Examined, entries), 0);
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].name, "deep.txt");
    EXPECT_EQ(entries[0].modified.tv_sec, 1600000000);

    // A file of the backup stands where a new deep folder's copy goes.
    ASSERT_EQ(::mkdirat(original.deepest(), "new", 0755), 0);
    ::close(::openat(original.deepest(), "new/n.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ::close(::openat(folder.get(), "new", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    EXPECT_TRUE(errors().endsWith("/new(MKDIR)")) << errors().toStdString();
    EXPECT_LE(errors().size(), 256);
    ::unlinkat(original.deepest(), "new/n.txt", 0);
    ::unlinkat(original.deepest(), "new", AT_REMOVEDIR);
}

// Copies are placed in batches, once on the disk, and the pass leaves no descriptor open
// in the backup, which would keep its disk from being unmounted. A copy that fails for
// another reason than space leaves the others waiting for one sync together. On a disk that is nearly
// full, where the old backups leave room for one new copy at a time, every copy is still
// made, none half, and a run stopped while copies wait for the disk places none of them.
TEST_F(WalkTest, CopiesWaitingForTheDiskKeepEveryPromise)
{
    for (const char *name : {"a1", "a2", "a3", "b", "c"})
        m_folder.writeFile(QString("gone/") + name, "x");
    const QString goneRoot = m_folder.filePath("bak/gone");
    qsizetype waitingWhenCIsCopied = -1;
    m_host.onPump = [&] {
        // The file "b" vanishes once it is listed and the copies before it are written.
        if (temporaries(goneRoot).size() == 3)
            QFile::remove(m_folder.filePath("gone/b"));
        if (waitingWhenCIsCopied < 0 && m_host.messages.value(m_host.messages.size() - 1).endsWith("/gone/c"))
            waitingWhenCIsCopied = temporaries(goneRoot).size();
    };
    backUp(m_folder.filePath("gone"), m_folder.filePath("bak"));
    m_host.onPump = nullptr;
    EXPECT_EQ(waitingWhenCIsCopied, 3);
    EXPECT_EQ(treeOf(goneRoot), (QStringList{"a1", "a2", "a3", "c"}));
    EXPECT_EQ(errors(), m_folder.filePath("gone/b") + "->" + goneRoot + "/b(COPY)");
    const QFileInfoList descriptors = QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System);
    for (const QFileInfo &descriptor : descriptors)
        EXPECT_FALSE((descriptor.symLinkTarget() + "/").startsWith(m_folder.filePath("bak/")))
            << descriptor.symLinkTarget().toStdString();
    m_grid.setTextMatrix(1, BakListColumn::Errors, "");

    platform::testing::SmallFileSystem disk;
    if (!disk.isMounted())
        GTEST_SKIP() << "mounting a small file system needs the superuser";
    constexpr int Files = 5;
    constexpr qsizetype Bytes = 150 * 1024;
    const QString copyRoot = disk.filePath("src");
    ASSERT_TRUE(QDir().mkpath(copyRoot));
    for (int file = 0; file < Files; ++file) {
        const QString name = QString("/f%1.bin").arg(file);
        setModified(m_folder.writeFile("src" + name, QByteArray(Bytes, 'n')), 1600000000);
        QFile old(copyRoot + name);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        ASSERT_EQ(old.write(QByteArray(Bytes, 'o')), Bytes);
        old.close();
        setModified(copyRoot + name, 1500000000);
    }
    // Each file's letter when it is whole, else "?".
    const auto contents = [&] {
        QByteArray letters;
        for (int file = 0; file < Files; ++file) {
            const QByteArray content = read(copyRoot + QString("/f%1.bin").arg(file));
            const bool whole = !content.isEmpty() && content == QByteArray(Bytes, content[0]);
            letters += whole ? content.left(1) : QByteArray("?");
        }
        return letters;
    };

    // A stop while a copy waits and the next is written.
    const QString otherRoot = m_folder.filePath("bak/src");
    m_host.onPump = [&] {
        if (temporaries(otherRoot).size() >= 2)
            m_flags.RunFlag = 0;
    };
    backUp(m_folder.filePath("src"), m_folder.filePath("bak"));
    m_host.onPump = nullptr;
    EXPECT_EQ(m_flags.RunFlag, 0);
    EXPECT_EQ(treeOf(otherRoot), QStringList());

    m_flags.RunFlag = 1;
    m_grid.setTextMatrix(1, BakListColumn::Errors, "");
    backUp(m_folder.filePath("src"), disk.path());
    EXPECT_EQ(contents(), "nnnnn");
    EXPECT_EQ(temporaries(copyRoot), QStringList());
    EXPECT_EQ(errors(), "");
}

// A copy waiting to be put in place leaves alone a target that the user changed or made
// meanwhile, a copy in backup mode as an original on the way back in sync mode: what the
// user saved stays, the pair is listed as a failed copy that says why, and no temporary
// file stays; the next pass decides again.
TEST_F(WalkTest, ATargetChangedWhileItsCopyWaitsIsLeftAlone)
{
    const struct
    {
        const char *name;
        bool sync;
        const char *oldTarget; // null: none at the start
        bool asNewFile;
        const char *saved;
    } cases[] = {
        {"a backup saved in place", false, "old", false, "old saved"},
        {"a backup made meanwhile", false, nullptr, true, " saved"},
        {"an original saved on the way back", true, "old", true, " saved"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_settings.SyncMode = c.sync ? 1 : 0;
        m_grid.setTextMatrix(1, BakListColumn::Errors, "");
        const QString original = m_folder.makeFolder(QString("src-%1").arg(c.name));
        const QString backup = m_folder.makeFolder(QString("bak-%1").arg(c.name));
        const QString copyRoot = backup + "/" + QFileInfo(original).fileName();
        // The file the waiting copy replaces, and the one it copies.
        const QString target = (c.sync ? original : copyRoot) + "/a.txt";
        const QString source = (c.sync ? copyRoot : original) + "/a.txt";
        for (const QString &folder : {original, copyRoot})
            setModified(m_folder.writeFile(folder.mid(m_folder.path().size() + 1) + "/b.txt", "b"), 1600000000);
        setModified(m_folder.writeFile(source.mid(m_folder.path().size() + 1), "copied"), 1600000000);
        if (c.oldTarget)
            setModified(m_folder.writeFile(target.mid(m_folder.path().size() + 1), c.oldTarget), 1500000000);
        bool changed = false;
        m_host.onPump = [&] {
            if (!changed && temporaries(QFileInfo(target).path()).size() == 1) {
                changed = true;
                platform::testing::TemporaryFolder::saveFile(target, " saved", c.asNewFile);
            }
        };
        backUp(original, backup);
        m_host.onPump = nullptr;
        ASSERT_TRUE(changed) << "the copy waited to be placed";
        EXPECT_EQ(read(target), c.saved);
        EXPECT_EQ(errors(), source + "->" + target + "(COPY)");
        EXPECT_EQ(m_work.failureReasons(1), errors() + "\n　待つ間にコピー先が保存されました。上書きせず、次回判定し直します。");
        EXPECT_EQ(common::SavedErr().Description, "コピー中にコピー先が変更されました。 " + target);
        EXPECT_EQ(temporaries(QFileInfo(target).path()), QStringList());
    }
}

// A backup on FAT keeps times to two seconds (rounded down), and through FUSE it takes
// no permission bits: the data still goes there, a second pass copies nothing again, and
// a later pass replaces a copy whose original is newer.
TEST_F(WalkTest, FatBackupDisksTakeTheDataAndKeepTheTwoSecondWindow)
{
    platform::testing::FatFileSystem disk;
    if (!disk.isMounted())
        GTEST_SKIP() << "a FAT file system through FUSE needs the superuser, mkfs.vfat and fusefat";
    for (int file = 0; file < 3; ++file)
        setModified(m_folder.writeFile(QString("src/f%1.txt").arg(file), "odd"), 1600000001 + 2 * file);
    backUp(m_folder.filePath("src"), disk.path());
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(treeOf(disk.path() + "/src"), (QStringList{"f0.txt", "f1.txt", "f2.txt"}));
    EXPECT_EQ(read(disk.path() + "/src/f2.txt"), "odd");
    EXPECT_EQ(QFileInfo(disk.path() + "/src/f2.txt").lastModified().toSecsSinceEpoch(), 1600000004);
    m_grid.setTextMatrix(1, BakListColumn::Info, "");
    backUp(m_folder.filePath("src"), disk.path());
    EXPECT_EQ(status(), "");

    // A newer original replaces its copy there: the copy reads the same until it is placed.
    setModified(m_folder.writeFile("src/f0.txt", "newer"), 1700000000);
    backUp(m_folder.filePath("src"), disk.path());
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(read(disk.path() + "/src/f0.txt"), "newer");
}

// A backup disk that folds letter case (FAT) holds one item of names that differ in letter
// case only: the original's second such name is listed, not merged into the first one's
// copy. And a backup name there that folds onto an original's name is that original's
// backup: an original renamed in letter case only is neither brought back under its old
// name by sync mode nor has its backup trashed by 削除.
TEST_F(WalkTest, FatBackupsPairNamesAsTheDiskFoldsThem)
{
    platform::testing::FatFileSystem disk;
    if (!disk.isMounted())
        GTEST_SKIP() << "a FAT file system through FUSE needs the superuser, mkfs.vfat and fusefat";
    m_folder.writeFile("twins/A.txt", "upper");
    m_folder.writeFile("twins/a.txt", "lower");
    for (int pass = 0; pass < 2; ++pass) {
        backUp(m_folder.filePath("twins"), disk.path());
        EXPECT_EQ(treeOf(disk.path() + "/twins"), QStringList{"A.txt"});
        EXPECT_EQ(read(disk.path() + "/twins/A.txt"), "upper");
        EXPECT_EQ(errors(), m_folder.filePath("twins/a.txt") + "->" + disk.path() + "/twins/a.txt(COPY)");
        EXPECT_EQ(m_work.failureReasons(1),
                  errors() + "\n　名前が別のファイルのバックアップ A.txt と重なります。コピー先は大文字と小文字を区別しません。");
    }

    m_settings.BakDel = 1;
    for (const int mode : {1, 0}) {
        SCOPED_TRACE(mode == 1 ? "sync mode" : "backup mode");
        m_settings.SyncMode = mode;
        m_grid.setTextMatrix(1, BakListColumn::Errors, "");
        const QString folder = QString("renamed%1").arg(mode);
        m_folder.writeFile(folder + "/Report.txt", "report");
        m_folder.writeFile(folder + "/Docs/notes.txt", "notes");
        backUp(m_folder.filePath(folder), disk.path());
        for (const char *name : {"Report.txt", "Docs"})
            ASSERT_TRUE(QFile::rename(m_folder.filePath(folder + "/" + name),
                                      m_folder.filePath(folder + "/" + QString(name).toLower())));
        backUp(m_folder.filePath(folder), disk.path());
        EXPECT_EQ(treeOf(m_folder.filePath(folder)), (QStringList{"docs/", "docs/notes.txt", "report.txt"}));
        EXPECT_EQ(treeOf(disk.path() + "/" + folder), (QStringList{"Docs/", "Docs/notes.txt", "Report.txt"}));
        EXPECT_EQ(trash(), QStringList());
        EXPECT_EQ(errors(), "");
    }

    // An original on such a disk renamed in letter case only stays paired in sync mode
    // with the backup of its present name, whose edit goes back to it; the backup under
    // the old name is listed.
    m_settings.SyncMode = 1;
    m_grid.setTextMatrix(1, BakListColumn::Errors, "");
    const QString renamed = disk.path() + "/moved/report.txt";
    ASSERT_TRUE(QDir().mkpath(disk.path() + "/moved"));
    platform::testing::TemporaryFolder::saveFile(renamed, "present", true);
    setModified(renamed, 1600000100);
    setModified(m_folder.writeFile("fatsrc/moved/Report.txt", "old name"), 1600000000);
    setModified(m_folder.writeFile("fatsrc/moved/report.txt", "edited"), 1600000200);
    backUp(disk.path() + "/moved", m_folder.filePath("fatsrc"));
    EXPECT_EQ(read(renamed), "edited");
    EXPECT_EQ(errors(), m_folder.filePath("fatsrc/moved/Report.txt") + "->" + disk.path() + "/moved/Report.txt(COPY)");
}

// A file that is written to between the walk and its copy, and while it is read, is not
// placed over its backup as a whole copy, yet it gets one: where it has none yet, and
// after its copy was dropped so on three passes in a row, what was read is placed, with
// the time the file had when it was opened, so that the next pass copies it again; the
// file is listed, saying why.
TEST_F(WalkTest, AFileAlwaysBeingWrittenStillGetsABackup)
{
    // Every pause of the copy lets events run.
    m_clock.m_step = 1000;
    for (const int mode : {0, 1}) {
        SCOPED_TRACE(mode == 1 ? "sync mode" : "backup mode");
        m_settings.SyncMode = mode;
        m_grid.setTextMatrix(1, BakListColumn::Errors, "");
        const QString folder = m_folder.makeFolder(QString("mode%1").arg(mode));
        const QString log = m_folder.writeFile(QString("mode%1/src/log.txt").arg(mode), "line 0\n");
        setModified(log, 1600000000);
        const QString copy = folder + "/bak/src/log.txt";
        const QString item = log + "->" + copy + "(COPY)";
        // The writer adds a line, ten seconds on, whenever the copy of the log starts or
        // is being written.
        int lines = 0;
        m_host.onPump = [&] {
            if (m_host.messages.value(m_host.messages.size() - 1) != "コピー " + log
                && temporaries(QFileInfo(copy).path()).isEmpty())
                return;
            platform::testing::TemporaryFolder::saveFile(log, QString("line %1\n").arg(++lines).toUtf8(), false);
            setModified(log, 1600000000 + 10 * lines);
        };
        const auto pass = [&](const QString &reason) {
            const int linesBefore = lines;
            backUp(folder + "/src", folder + "/bak");
            EXPECT_GT(lines, linesBefore) << "the log was written while its copy was";
            EXPECT_EQ(errors(), item);
            EXPECT_EQ(m_work.failureReasons(1), item + "\n　コピー中もファイルが書き込まれていました。" + reason);
        };
        // The copy placed holds the lines the log had at the open, with the time of the last.
        const auto placedAsOpened = [&] {
            EXPECT_TRUE(read(log).startsWith(read(copy)));
            EXPECT_EQ(QFileInfo(copy).lastModified().toSecsSinceEpoch(), 1600000000 + 10 * (read(copy).count('\n') - 1));
            EXPECT_LT(QFileInfo(copy).lastModified(), QFileInfo(log).lastModified());
        };
        const QString kept = "読み込んだ内容を置き、次回もコピーします。";
        pass(kept);
        placedAsOpened();
        const QByteArray first = read(copy);
        for (int dropped = 0; dropped < 3; ++dropped) {
            pass("次回やり直します。");
            EXPECT_EQ(read(copy), first);
        }
        pass(kept);
        placedAsOpened();
        EXPECT_GT(read(copy).size(), first.size());

        // Once the writer rests, the next pass copies the file whole.
        m_host.onPump = nullptr;
        backUp(folder + "/src", folder + "/bak");
        EXPECT_EQ(read(copy), read(log));
        EXPECT_EQ(errors(), "");
        EXPECT_EQ(m_work.failureReasons(1), "");
    }
}

// On a disk that folds letter case, a backup under a name that differs from an
// original's in case only was made from another file, unless the two agree in size and
// time (a rename in case only): sync mode copies neither over the other and lists the
// pair, saying which backup holds the name, until the user settles it; so for the backup
// of a single-file entry.
TEST_F(WalkTest, FatSyncNeverCopiesAnotherFilesBackupOverAnOriginal)
{
    platform::testing::FatFileSystem disk;
    if (!disk.isMounted())
        GTEST_SKIP() << "a FAT file system through FUSE needs the superuser, mkfs.vfat and fusefat";
    m_settings.SyncMode = 1;
    const QString upper = m_folder.writeFile("twins/A.txt", "UPPER file A v1");
    setModified(upper, 1600000000);
    const QString lower = m_folder.writeFile("twins/a.txt", "lower file a, only copy v1");
    setModified(lower, 1600003600);
    const QString held = disk.path() + "/twins/A.txt";
    backUp(m_folder.filePath("twins"), disk.path());
    setModified(m_folder.writeFile("twins/A.txt", "UPPER file A v2 edited"), 1600007200);
    backUp(m_folder.filePath("twins"), disk.path());
    ASSERT_EQ(read(held), "UPPER file A v2 edited");

    ASSERT_TRUE(QFile::remove(upper));
    m_grid.setTextMatrix(1, BakListColumn::Errors, "");
    backUp(m_folder.filePath("twins"), disk.path());
    EXPECT_EQ(treeOf(m_folder.filePath("twins")), QStringList{"a.txt"});
    EXPECT_EQ(read(lower), "lower file a, only copy v1");
    EXPECT_EQ(treeOf(disk.path() + "/twins"), QStringList{"A.txt"});
    EXPECT_EQ(read(held), "UPPER file A v2 edited");
    const QString pair = lower + "<->" + disk.path() + "/twins/a.txt(両方変更)";
    EXPECT_EQ(errors(), pair);
    EXPECT_EQ(m_work.failureReasons(1),
              pair + "\n　名前が別のファイルのバックアップ A.txt と重なります。コピー先は大文字と小文字を区別しません。");

    // The user settles it by removing the other file's backup: the file goes there under
    // its own name, and the pair's item goes.
    ASSERT_TRUE(QFile::remove(held));
    backUp(m_folder.filePath("twins"), disk.path());
    EXPECT_EQ(treeOf(disk.path() + "/twins"), QStringList{"a.txt"});
    EXPECT_EQ(read(disk.path() + "/twins/a.txt"), "lower file a, only copy v1");
    EXPECT_EQ(errors(), "");

    // A single-file entry is no different, and backup mode lists it as the file it keeps
    // without a backup.
    ASSERT_TRUE(QDir().mkpath(disk.path() + "/single"));
    const QString otherBackup = disk.path() + "/single/A.txt";
    platform::testing::TemporaryFolder::saveFile(otherBackup, "UPPER file A v2 edited", true);
    setModified(otherBackup, 1600007200);
    for (const int mode : {1, 0}) {
        SCOPED_TRACE(mode == 1 ? "sync mode" : "backup mode");
        m_settings.SyncMode = mode;
        m_grid.setTextMatrix(1, BakListColumn::Errors, "");
        backUp(lower, disk.path() + "/single");
        EXPECT_EQ(read(lower), "lower file a, only copy v1");
        EXPECT_EQ(read(otherBackup), "UPPER file A v2 edited");
        const QString item = lower + (mode == 1 ? "<->" : "->") + disk.path() + "/single/a.txt"
                             + (mode == 1 ? "(両方変更)" : "(COPY)");
        EXPECT_EQ(m_work.failureReasons(1),
                  item + "\n　名前が別のファイルのバックアップ A.txt と重なります。コピー先は大文字と小文字を区別しません。");
    }
}

// In backup mode such a backup of another file neither is replaced by the original whose
// name it holds nor passes for its copy: without 削除 the original is listed, saying which
// backup holds its name; with 削除 that backup, whose own original is gone, goes to the
// trash (also where the original is excluded) and the original is backed up under its
// own name.
TEST_F(WalkTest, FatBackupModeLeavesNoOriginalSilentlyWithoutABackup)
{
    platform::testing::FatFileSystem disk;
    if (!disk.isMounted())
        GTEST_SKIP() << "a FAT file system through FUSE needs the superuser, mkfs.vfat and fusefat";
    const QString upper = m_folder.writeFile("twins/A.txt", "UPPER file A");
    setModified(upper, 1600007200);
    const QString lower = m_folder.writeFile("twins/a.txt", "lower file a");
    setModified(lower, 1600003600);
    m_folder.writeFile("twins/X.txt", "X");
    backUp(m_folder.filePath("twins"), disk.path());
    const QString item = lower + "->" + disk.path() + "/twins/a.txt(COPY)";
    const QString reason = "\n　名前が別のファイルのバックアップ A.txt と重なります。コピー先は大文字と小文字を区別しません。";
    EXPECT_EQ(errors(), item);
    EXPECT_EQ(m_work.failureReasons(1), item + reason);

    ASSERT_TRUE(QFile::remove(upper));
    ASSERT_TRUE(QFile::remove(m_folder.filePath("twins/X.txt")));
    m_folder.writeFile("twins/x.txt", "another x");
    m_settings.NoneStr = "x";
    m_grid.setTextMatrix(1, BakListColumn::Errors, "");
    backUp(m_folder.filePath("twins"), disk.path());
    EXPECT_EQ(treeOf(disk.path() + "/twins"), (QStringList{"A.txt", "X.txt"}));
    EXPECT_EQ(read(disk.path() + "/twins/A.txt"), "UPPER file A");
    EXPECT_EQ(errors(), item);
    EXPECT_EQ(m_work.failureReasons(1), item + reason);

    m_settings.BakDel = 1;
    backUp(m_folder.filePath("twins"), disk.path());
    EXPECT_EQ(treeOf(disk.path() + "/twins"), QStringList{"a.txt"});
    EXPECT_EQ(read(disk.path() + "/twins/a.txt"), "lower file a");
    EXPECT_EQ(treeOf(disk.path() + QString("/.Trash-%1/files").arg(::getuid())), (QStringList{"A.txt", "X.txt"}));
    EXPECT_EQ(errors(), "");
}

} // namespace
} // namespace idlebackup
