#include "foldercompare/listing/folder_services.h"

#include "foldercompare/listing/testing_host.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

namespace foldercompare::listing {
namespace {

using platform::testing::ScriptedDialogs;
using platform::testing::TemporaryFolder;

class FolderServicesTest : public ::testing::Test
{
protected:
    TemporaryFolder m_folder;
    ScriptedDialogs m_dialogs;
};

TEST_F(FolderServicesTest, CreateFolderMakesTheMissingLevelsDownToTheLevel)
{
    bool created = true;
    const QString deep = m_folder.filePath("a/b/c");
    EXPECT_TRUE(CreateFolder(deep, 1, created));
    EXPECT_TRUE(created);
    EXPECT_TRUE(QFileInfo(m_folder.filePath("a/b")).isDir());
    EXPECT_FALSE(QFileInfo::exists(deep)) << "level 1 stops above the path";

    EXPECT_TRUE(CreateFolder(deep, 0, created));
    EXPECT_TRUE(created);
    EXPECT_TRUE(QFileInfo(deep).isDir());

    EXPECT_TRUE(CreateFolder(deep, 0, created));
    EXPECT_FALSE(created) << "an existing path creates nothing";
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(FolderServicesTest, CreateFolderReportsAFileInTheWay)
{
    m_folder.writeFile("a/file", "x");
    bool created = true;
    EXPECT_FALSE(CreateFolder(m_folder.filePath("a/file/sub"), 0, created));
    EXPECT_FALSE(created);
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("システムエラー : CreateFolder\r\n"));
}

TEST_F(FolderServicesTest, DeleteFolderIfExistsNeverFollowsLinksAndKeepsReadOnlyFiles)
{
    const QString outside = m_folder.writeFile("outside/keep.txt", "keep");
    m_folder.writeFile("cache/sub/a.txt", "a");
    const QString readOnly = m_folder.writeFile("cache/ro/locked.txt", "ro");
    QFile::setPermissions(readOnly, QFile::ReadOwner);
    ASSERT_EQ(symlink(m_folder.filePath("outside").toUtf8().constData(),
                      m_folder.filePath("cache/link").toUtf8().constData()),
              0);

    DeleteFolderIfExists(m_folder.filePath("cache"));
    EXPECT_TRUE(QFileInfo::exists(outside)) << "a link is removed as a link";
    EXPECT_FALSE(QFileInfo::exists(m_folder.filePath("cache/sub")));
    EXPECT_FALSE(QFileInfo(m_folder.filePath("cache/link")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(readOnly)) << "read-only files are not forced";

    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner);
    DeleteFolderIfExists(m_folder.filePath("cache"));
    EXPECT_FALSE(QFileInfo::exists(m_folder.filePath("cache")));
    DeleteFolderIfExists(m_folder.filePath("cache"));
}

TEST_F(FolderServicesTest, CopyFolderContentsReplacesFilesAndKeepsDates)
{
    const QString source = m_folder.writeFile("from/sub/a.txt", "new");
    testing::setModified(source, 1577934245);
    m_folder.writeFile("from/b.txt", "b");
    ASSERT_EQ(symlink("..", m_folder.filePath("from/sub/loop").toUtf8().constData()), 0);
    m_folder.writeFile("to/sub/a.txt", "old content");
    m_folder.writeFile("to/other.txt", "stays");

    EXPECT_TRUE(CopyFolderContents(m_folder.filePath("from"), m_folder.filePath("to")));
    EXPECT_EQ(TemporaryFolder::readFile(m_folder.filePath("to/sub/a.txt")), "new");
    EXPECT_EQ(QFileInfo(m_folder.filePath("to/sub/a.txt")).lastModified().toSecsSinceEpoch(), 1577934245);
    EXPECT_EQ(TemporaryFolder::readFile(m_folder.filePath("to/b.txt")), "b");
    EXPECT_EQ(TemporaryFolder::readFile(m_folder.filePath("to/other.txt")), "stays");
    EXPECT_FALSE(QFileInfo::exists(m_folder.filePath("to/sub/loop/sub")));
    EXPECT_EQ(QDir(m_folder.filePath("to/sub")).entryList(QDir::Files), QStringList{"a.txt"}) << "no temporary left";
}

} // namespace
} // namespace foldercompare::listing
