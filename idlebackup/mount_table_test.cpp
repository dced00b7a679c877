#include "idlebackup/mount_table.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace idlebackup
