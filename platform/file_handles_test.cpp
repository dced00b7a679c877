#include "platform/file_handles.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/write_faults.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace platform {
namespace {

using testing::TemporaryFolder;

class FileHandlesTest : public ::testing::Test
{
protected:
    TemporaryFolder m_folder;
};

TEST_F(FileHandlesTest, ModesCreateEmptyOrOpen)
{
    const QString path = m_folder.writeFile("a.bin", "0123456789");
    int handle = OpenFileHandle(path, FileHandleMode::ReadWrite);
    ASSERT_NE(handle, -1);
    CloseFileHandle(handle);
    EXPECT_EQ(TemporaryFolder::readFile(path), "0123456789") << "read and write keeps the contents";

    handle = OpenFileHandle(path, FileHandleMode::Write);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(WriteFileBytes(handle, "abcdef", 3), 3);
    CloseFileHandle(handle);
    EXPECT_EQ(TemporaryFolder::readFile(path), "abc") << "write empties the file first";

    EXPECT_EQ(OpenFileHandle(m_folder.filePath("missing"), FileHandleMode::Read), -1);
    EXPECT_EQ(OpenFileHandle(m_folder.filePath("missing"), 7), -1) << "any other mode reads an existing file";
    handle = OpenFileHandle(m_folder.filePath("made"), FileHandleMode::ReadWrite);
    EXPECT_NE(handle, -1);
    CloseFileHandle(handle);
    EXPECT_TRUE(QFileInfo(m_folder.filePath("made")).isFile());
}

TEST_F(FileHandlesTest, ReadsInCountsAndClosesOnce)
{
    const QString path = m_folder.writeFile("a.bin", "0123456789");
    int handle = OpenFileHandle(path, FileHandleMode::Read);
    QByteArray bytes;
    EXPECT_EQ(ReadFileBytes(handle, bytes, 4), 4);
    EXPECT_EQ(bytes.left(4), "0123");
    EXPECT_EQ(ReadFileBytes(handle, bytes, 100), 6);
    EXPECT_EQ(bytes.left(6), "456789");
    EXPECT_EQ(ReadFileBytes(handle, bytes, 100), 0) << "0 at the end of the file";
    EXPECT_EQ(WriteFileBytes(handle, "x", 1), -1) << "a read handle cannot write";

    const int copy = handle;
    CloseFileHandle(handle);
    EXPECT_EQ(handle, -1);
    const int other = OpenFileHandle(path, FileHandleMode::Read);
    EXPECT_EQ(other, copy) << "the number was freed by the first close";
    CloseFileHandle(handle);
    QByteArray still;
    EXPECT_EQ(ReadFileBytes(other, still, 2), 2) << "the second close closed nothing";
    int otherHandle = other;
    CloseFileHandle(otherHandle);
}

TEST_F(FileHandlesTest, AFailedReadIsNotAnEnd)
{
    const QString path = m_folder.writeFile("a.bin", "0123");
    int handle = OpenFileHandle(path, FileHandleMode::Write);
    QByteArray bytes;
    EXPECT_EQ(ReadFileBytes(handle, bytes, 4), -1);
    CloseFileHandle(handle);
}

TEST_F(FileHandlesTest, SetFileDateGivesTheLocalDate)
{
    const QDateTime date(QDate(2019, 6, 30), QTime(12, 34, 56));
    const QString path = m_folder.writeFile("a.txt", "x");
    EXPECT_TRUE(SetFileDate(path, date));
    EXPECT_EQ(QFileInfo(path).lastModified(), date);
    EXPECT_EQ(QFileInfo(path).lastRead(), date);
    EXPECT_EQ(TemporaryFolder::readFile(path), "x");

    const QString missing = m_folder.filePath("missing.txt");
    QString reason;
    EXPECT_FALSE(SetFileDate(missing, date, &reason)) << "a missing file is not created";
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_FALSE(reason.isEmpty());

    EXPECT_FALSE(SetFileDate(m_folder.makeFolder("sub"), date));
}

TEST_F(FileHandlesTest, TheLimitOfOpenFilesIsRaisedToTheHardLimit)
{
    struct rlimit before;
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    const testing::OpenFileLimit lowered(64);
    RaiseOpenFileLimit();
    struct rlimit after;
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &after), 0);
    EXPECT_EQ(after.rlim_cur, before.rlim_max);
}

} // namespace
} // namespace platform
