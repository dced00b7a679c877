#include "idlebackup/mount_table.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/write_faults.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace idlebackup {
namespace {

using platform::testing::TemporaryFolder;

TEST(MountTable, DrivesAndTheirHistory)
{
    EXPECT_TRUE(MountTable::current().isMountPoint("/"));
    TemporaryFolder folder;
    const QString disk = folder.makeFolder("disk");
    const MountTable mounted = MountTable::of({disk});
    const MountTable unmounted = MountTable::of({});
    EXPECT_EQ(mounted.mountPointHolding(disk + "/data/not yet"), disk);
    EXPECT_EQ(mounted.mountPointHolding(folder.filePath("elsewhere")), "/");
    EXPECT_EQ(mounted.mountPointHolding("relative/path"), "");
    EXPECT_FALSE(mounted.isFat(disk));

    MountHistory history;
    const QString data = disk + "/data";
    EXPECT_TRUE(history.driveMounted(data, unmounted));
    history.record(data, mounted);
    EXPECT_TRUE(history.driveMounted(data + "/", mounted));
    history.record(data, unmounted);
    EXPECT_FALSE(history.driveMounted(data, unmounted));
    EXPECT_FALSE(history.driveMounted("relative/path", mounted));
}

// The server of a FUSE file system that this test mounted: the process whose arguments
// name the mount point; 0 when there is none.
pid_t fuseServerOf(const QString &mountPoint)
{
    const QByteArray wanted = QFile::encodeName(mountPoint);
    for (const QString &process : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile arguments(QStringLiteral("/proc/%1/cmdline").arg(process));
        if (process.toInt() > 0 && arguments.open(QIODevice::ReadOnly)
            && arguments.readAll().split('\0').contains(wanted))
            return pid_t(process.toInt());
    }
    return 0;
}

// A FUSE file system whose server died fails every look-up with ENOTCONN: its drive is
// away.
TEST(MountTable, AFileSystemThatNoLongerAnswersIsNoDrive)
{
    platform::testing::FatFileSystem disk;
    if (!disk.isMounted())
        GTEST_SKIP() << "a FAT file system through FUSE needs the superuser, mkfs.vfat and fusefat";
    MountHistory history;
    EXPECT_TRUE(history.driveMounted(disk.path() + "/data", MountTable::current()));
    const pid_t server = fuseServerOf(disk.path());
    ASSERT_GT(server, 0);
    ASSERT_EQ(::kill(server, SIGKILL), 0);
    for (int wait = 0; wait < 250 && ::kill(server, 0) == 0; ++wait)
        QThread::msleep(20);
    EXPECT_FALSE(history.driveMounted(disk.path() + "/data", MountTable::current()));
    EXPECT_FALSE(history.driveMounted(disk.path(), MountTable::current()));
}

TEST(MountTable, FatTypesAndDrivesRememberedAcrossRuns)
{
    TemporaryFolder folder;
    const QString fuseFat = folder.makeFolder("fat disk");
    const QString kernelFat = folder.makeFolder("vfat");
    const QString other = folder.makeFolder("ext");
    const QByteArray escapedFuseFat = QFile::encodeName(fuseFat).replace(" ", "\\040");
    const MountTable table = MountTable::read(folder.writeFile(
        "mountinfo", "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                     "45 22 0:40 / " + escapedFuseFat + " rw,nosuid shared:7 - fuse.fusefat fusefat rw,user_id=0\n"
                     "46 22 8:17 / " + QFile::encodeName(kernelFat) + " rw - vfat /dev/sdb1 rw\n"
                     "47 22 8:33 / " + QFile::encodeName(other) + " rw - ext4 /dev/sdc1 rw\n"));
    EXPECT_TRUE(table.isFat(fuseFat + "/bak/not yet"));
    EXPECT_TRUE(table.isFat(kernelFat));
    EXPECT_FALSE(table.isFat(other));
    EXPECT_FALSE(table.isFat(folder.path()));

    // A drive seen once is remembered by the next run; the table of file systems lists
    // drives too.
    const QString state = MountStatePath(folder.filePath("Zelquin.ini"));
    EXPECT_EQ(state, folder.filePath("Zelquin.mounts"));
    MountHistory first;
    first.record(fuseFat + "/data", table);
    EXPECT_TRUE(first.takeChanged());
    ASSERT_TRUE(first.save(state));
    MountHistory second;
    second.load(state);
    const MountTable unmounted = MountTable::of({});
    EXPECT_FALSE(second.driveMounted(fuseFat + "/data", unmounted));
    EXPECT_TRUE(second.driveMounted(fuseFat + "/data", table));
    EXPECT_TRUE(second.driveMounted(other + "/data", unmounted));
    second.setListedMountPoints(ListedMountPoints(
        folder.writeFile("fstab", "# disks\nUUID=1 /  ext4 defaults 0 1\n/dev/sdc1\t" + QFile::encodeName(other)
                                      + "\text4 noauto 0 2\nnone swap swap sw 0 0\n")));
    EXPECT_FALSE(second.driveMounted(other + "/data", unmounted));
    EXPECT_TRUE(second.driveMounted("/", unmounted));
}

} // namespace
} // namespace idlebackup
