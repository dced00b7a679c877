#include "idlebackup/backup_list.h"

#include "idlebackup/mount_table.h"
#include "platform/byte_text.h"
#include "platform/flex_grid.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/write_faults.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace idlebackup {
namespace {

using platform::testing::TemporaryFolder;

class BackupListTest : public ::testing::Test
{
public:
    BackupListTest() { InitBackupListGrid(m_grid); }
    void setRow(int row, const QString &original, const QString &destination, const QString &mark = QString(),
                const QString &info = QString())
    {
        m_grid.setRowTexts(row, {original, destination, mark, info}, BakListColumn::Original);
    }
    QStringList judgement(int row) const
    {
        return {m_grid.textMatrix(row, BakListColumn::Judgement), m_grid.textMatrix(row, BakListColumn::Info)};
    }

    TemporaryFolder m_folder;
    platform::FlexGrid m_grid;
    MountHistory m_history;
};

TEST_F(BackupListTest, ListCheckJudgesEveryEntry)
{
    const QString source = m_folder.makeFolder("src");
    const QString backup = m_folder.makeFolder("bak");
    ASSERT_TRUE(QFile::link(source, m_folder.filePath("link")));
    // A folder whose name is not UTF-8, and a link to it.
    const QByteArray bytesSource = QFile::encodeName(m_folder.path()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(bytesSource.constData(), 0755), 0);
    ASSERT_EQ(::symlink("caf\xe9", QFile::encodeName(m_folder.filePath("bytesLink")).constData()), 0);
    struct Row
    {
        QString original;
        QString destination;
        QStringList backupMode;
        QStringList syncMode;
    };
    const QStringList ok{"OK", "COPY_(OK) 2024/01/01 00:00:00"};
    const QList<Row> rows = {
        {"", backup, {"NG", "オリジナル/コピー先指定無し"}, {"NG", "オリジナル/コピー先指定無し"}},
        {source, source + "/bak", {"NG", "オリジナル/コピー先一致"}, {"NG", "オリジナル/コピー先一致"}},
        {m_folder.filePath("link"), source + "/bak", {"NG", "オリジナル/コピー先一致"}, {"NG", "オリジナル/コピー先一致"}},
        {platform::TextOfBytes(bytesSource), m_folder.filePath("bytesLink/bak"), {"NG", "オリジナル/コピー先一致"},
         {"NG", "オリジナル/コピー先一致"}},
        {m_folder.filePath("missing"), backup, {"NG", "オリジナル無し"}, ok},
        {"relative/src", backup, {"NG", "ドライブ無"}, {"NG", "ドライブ無"}},
        {source, "bak", {"NG", "ドライブ無"}, {"NG", "ドライブ無"}},
        {source, backup + "/new", ok, ok},
        {"", "", {"", ""}, {"", ""}},
    };
    for (const bool sync : {false, true}) {
        SCOPED_TRACE(sync ? "sync mode" : "backup mode");
        for (int index = 0; index < rows.size(); ++index)
            setRow(index + 1, rows[index].original, rows[index].destination, "OK", ok[1]);
        const int result = ListCheck(m_grid, sync, m_history, MountTable::current());
        for (int index = 0; index < rows.size(); ++index)
            EXPECT_EQ(judgement(index + 1), sync ? rows[index].syncMode : rows[index].backupMode) << index + 1;
        EXPECT_EQ(result, sync ? 6 : 7);
    }

    // A row turning OK loses its NG reason; a list with nothing to check gives -1.
    setRow(1, source, backup, "NG", "ドライブ無");
    for (int row = 2; row <= BackupListEntries; ++row)
        setRow(row, "", "");
    EXPECT_EQ(ListCheck(m_grid, false, m_history, MountTable::current()), 0);
    EXPECT_EQ(judgement(1), (QStringList{"OK", ""}));
    setRow(1, "", backup);
    EXPECT_EQ(ListCheck(m_grid, false, m_history, MountTable::current()), -1);
    EXPECT_EQ(IconStateForCheck(-1, true), 1);
    EXPECT_EQ(IconStateForCheck(0, true), 2);
    EXPECT_EQ(IconStateForCheck(0, false), 1);
    EXPECT_EQ(IconStateForCheck(2, false), 3);
}

// On a disk that folds letter case (FAT), copy roots and entries are compared as the
// disk names folders: two entries whose copies go into one folder there are refused as
// on a disk that keeps case, while one that copies the very files of another's copy is
// not.
TEST_F(BackupListTest, CopyRootsOnFatAreComparedAsTheDiskNamesThem)
{
    platform::testing::FatFileSystem disk;
    if (!disk.isMounted())
        GTEST_SKIP() << "a FAT file system through FUSE needs the superuser, mkfs.vfat and fusefat";
    for (const char *folder : {"a/docs/Sub", "b/DOCS", "c/docs"})
        m_folder.makeFolder(folder);
    const QString fat = disk.path();
    const struct
    {
        QString original;
        QString destination;
        QStringList judgement;
    } rows[] = {
        {m_folder.filePath("a/docs"), fat + "/bak", {"OK", ""}},
        {m_folder.filePath("b/DOCS"), fat + "/bak", {"NG", "コピー先がNo.1と重複"}},
        {m_folder.filePath("c/docs"), fat + "/BAK", {"NG", "コピー先がNo.1と重複"}},
        {m_folder.filePath("a/docs/Sub"), fat + "/BAK/docs", {"OK", ""}},
        {fat + "/Data", fat + "/data/copies", {"NG", "オリジナル/コピー先一致"}},
    };
    for (int index = 0; index < int(std::size(rows)); ++index)
        setRow(index + 1, rows[index].original, rows[index].destination);
    ListCheck(m_grid, false, m_history, MountTable::current());
    for (int index = 0; index < int(std::size(rows)); ++index)
        EXPECT_EQ(judgement(index + 1), rows[index].judgement) << index + 1;
}

TEST_F(BackupListTest, FullAndDuplicatedListsLoadSaveAndShrink)
{
    QByteArray file = "[SETTING]\nOrgFolder3=/first\n";
    for (int entry = 1; entry <= 99; ++entry)
        file += QStringLiteral("OrgFolder%1=/o%1\nBakFolder%1=/b\n").arg(entry).toUtf8();
    file += "OrgFolder100=/beyond\n";
    const QString ini = m_folder.writeFile("z.ini", file);
    LoadBackupList(m_grid, ini);
    EXPECT_EQ(m_grid.textMatrix(3, BakListColumn::Original), "/first");
    EXPECT_EQ(m_grid.textMatrix(99, BakListColumn::Original), "/o99");
    EXPECT_EQ(FindFreeRow(m_grid).row, -1);

    RemoveBackupEntry(m_grid, 2);
    EXPECT_EQ(m_grid.rows(), 100);
    EXPECT_EQ(m_grid.textMatrix(2, BakListColumn::Original), "/first");
    EXPECT_EQ(m_grid.textMatrix(99, BakListColumn::Original), "");
    EXPECT_EQ(m_grid.textMatrix(99, BakListColumn::No), "99");
    const FreeRow free = FindFreeRow(m_grid);
    EXPECT_EQ(free.row, 99);
    EXPECT_EQ(free.original, "/o99");

    // The whole list is written at once or not at all: a disk that fills up part way
    // through leaves the stored list as it was.
    ASSERT_TRUE(SaveBackupList(m_grid, ini));
    const QByteArray before = TemporaryFolder::readFile(ini);
    for (int row = 1; row <= 99; ++row)
        m_grid.setTextMatrix(row, BakListColumn::Original, QStringLiteral("/longer/o%1").arg(row));
    {
        platform::testing::FileSizeLimit limit(before.size() + 100);
        EXPECT_FALSE(SaveBackupList(m_grid, ini));
    }
    EXPECT_EQ(TemporaryFolder::readFile(ini), before);
    ASSERT_TRUE(SaveBackupList(m_grid, ini));
    platform::FlexGrid reread;
    InitBackupListGrid(reread);
    LoadBackupList(reread, ini);
    for (int row = 1; row <= 99; ++row)
        EXPECT_EQ(reread.textMatrix(row, BakListColumn::Original), m_grid.textMatrix(row, BakListColumn::Original));
}

} // namespace
} // namespace idlebackup
