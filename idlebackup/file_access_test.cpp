#include "idlebackup/file_access.h"

#include "common/saved_error.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace idlebackup {
namespace {

using platform::testing::TemporaryFolder;

// The failure a step raises; number 0 when it raises none.
common::ErrorRecord raised(const std::function<void()> &step)
{
    try {
        step();
    } catch (const common::Failure &failure) {
        return failure.record();
    }
    return {};
}

TEST(FileAccess, RaisesNumberedFailures)
{
    TemporaryFolder folder;
    const QString first = folder.writeFile("first.txt", "1");
    const QString missing = folder.filePath("missing.txt");
    clsFileAccess file;
    EXPECT_FALSE(file.IsOpen());
    common::ErrorRecord error = raised([&] { file.FileName(); });
    EXPECT_EQ(error.Number, 45603);
    EXPECT_EQ(error.Description, "There is no open file.");
    EXPECT_EQ(error.Source, "Win32File Object");

    file.OpenFile(first, FileAccessMode::Read);
    error = raised([&] { file.OpenFile(missing, FileAccessMode::Read); });
    EXPECT_EQ(error.Number, 45601);
    EXPECT_EQ(error.Description, "The file '" + first + "' is already open.");
    EXPECT_EQ(file.FileName(), first);
    EXPECT_TRUE(file.CloseFile());
    EXPECT_TRUE(file.CloseFile());

    error = raised([&] { file.OpenFile(missing, FileAccessMode::Read); });
    EXPECT_EQ(error.Number, 45602);
    EXPECT_EQ(error.Description,
              "Error opening '" + missing + "'.\r\nError 2\r\n" + GetSystemErrorText(ENOENT));
    EXPECT_FALSE(file.IsOpen());
    error = raised([&] { file.OpenFile(first, FileAccessMode::CreateNew); });
    EXPECT_EQ(error.Number, 45602);
}

TEST(FileAccess, ModesTimesAndEndOfFile)
{
    TemporaryFolder folder;
    const QString existing = folder.writeFile("existing.txt", "old text");
    clsFileAccess file;
    file.OpenFile(existing, FileAccessMode::Write);
    file.CloseFile();
    EXPECT_EQ(QFileInfo(existing).size(), 0);
    const QString created = folder.filePath("created.txt");
    file.OpenFile(created, FileAccessMode::ReadWrite);
    EXPECT_EQ(file.WriteBytes("abcdef", 6), 6);
    const QDateTime moment = QDateTime::fromSecsSinceEpoch(1234567890);
    file.SetTimes(moment, moment, moment.addMSecs(750));
    QDateTime creation, access, write;
    file.GetTimes(creation, access, write);
    EXPECT_EQ(write, moment);
    qint32 high = 0;
    file.SeekAbsolute(high, 2);
    QByteArray bytes;
    EXPECT_EQ(file.ReadBytes(bytes, 100), 4);
    EXPECT_EQ(bytes.left(4), "cdef");
    EXPECT_EQ(file.ReadBytes(bytes, 100), 0);
    EXPECT_EQ(raised([&] { file.SeekRelative(-100); }).Number, 45604);
    file.CloseFile();

    // A failing read is told apart from the end of the file.
    file.OpenFile(folder.path(), FileAccessMode::Read);
    EXPECT_EQ(file.ReadBytes(bytes, 100), -1);
    EXPECT_EQ(file.lastError(), EISDIR);
}

} // namespace
} // namespace idlebackup
