#include "platform/atomic_file.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/write_faults.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {
namespace {

using platform::testing::FileSizeLimit;
using platform::testing::SmallFileSystem;
using platform::testing::TemporaryFolder;

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void putFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct stat statusOf(const QString &path)
{
    struct stat info = {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

TEST(AtomicFile, FailedWritesKeepTheOldFileAndLeaveNoTemporaryFile)
{
    TemporaryFolder folder;
    SmallFileSystem small;
    const QByteArray old("the old contents");
    const struct
    {
        const char *name;
        bool run;
        QString folder;
        qint64 sizeLimit; // 0: none
        bool fill;
        QStringList entriesAfter;
    } cases[] = {
        {"write beyond the file size limit", true, folder.path(), 4096, false, {"target.txt"}},
        {"full file system", small.isMounted(), small.path(), 0, true, {"filler", "target.txt"}},
    };
    for (const auto &c : cases) {
        if (!c.run)
            continue;
        SCOPED_TRACE(c.name);
        const QString target = QDir(c.folder).filePath("target.txt");
        putFile(target, old);
        if (c.fill)
            small.fill();
        std::optional<QString> error;
        {
            std::optional<FileSizeLimit> limit;
            if (c.sizeLimit > 0)
                limit.emplace(c.sizeLimit);
            error = writeWholeFile(target, QByteArray(256 * 1024, 'n'));
        }
        ASSERT_TRUE(error.has_value());
        EXPECT_FALSE(error->isEmpty());
        EXPECT_EQ(TemporaryFolder::readFile(target), old);
        EXPECT_EQ(entries(c.folder), c.entriesAfter);
    }
}

TEST(AtomicFile, ReplacementKeepsModeAndOwnerAndFollowsLinks)
{
    TemporaryFolder folder;
    const QString kept = folder.writeFile("kept.txt", "old");
    ::chmod(QFile::encodeName(kept).constData(), 0640);
    const QString owned = folder.writeFile("owned.txt", "old");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(QFile::encodeName(owned).constData(), 65534, 65534), 0);
    }
    const QString real = folder.writeFile("real.txt", "old");
    const QString link = folder.filePath("link.txt");
    ASSERT_TRUE(QFile::link("real.txt", link));

    EXPECT_EQ(writeWholeFile(kept, "new"), std::nullopt);
    EXPECT_EQ(statusOf(kept).st_mode & 07777, 0640u);
    EXPECT_EQ(writeWholeFile(owned, "new"), std::nullopt);
    if (root) {
        EXPECT_EQ(statusOf(owned).st_uid, 65534u);
    }
    EXPECT_EQ(writeWholeFile(link, "new"), std::nullopt);
    EXPECT_TRUE(S_ISLNK(statusOf(link).st_mode));
    EXPECT_EQ(TemporaryFolder::readFile(real), "new");
    EXPECT_EQ(writeWholeFile(folder.filePath("private.ini"), "new", PrivateFileMode), std::nullopt);
    EXPECT_EQ(statusOf(folder.filePath("private.ini")).st_mode & 0777, 0600u);
    EXPECT_EQ(entries(folder.path()), (QStringList{"kept.txt", "link.txt", "owned.txt", "private.ini", "real.txt"}));
}

// A file written in an open folder goes to that folder, also after the folder was
// renamed and a link put in its place, keeps its old mode there, and a link at its name
// is refused: nothing is written through a link.
TEST(AtomicFile, AFileInAnOpenFolderIsWrittenThereAndFollowsNoLink)
{
    TemporaryFolder folder;
    const QString old = folder.writeFile("sub/old.txt", "old");
    ::chmod(QFile::encodeName(old).constData(), 0640);
    const QString elsewhere = folder.writeFile("elsewhere/old.txt", "elsewhere");
    ASSERT_TRUE(QFile::link(elsewhere, folder.filePath("sub/link.txt")));
    auto opened = std::make_shared<const Descriptor>(
        ::open(QFile::encodeName(folder.filePath("sub")).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(opened->isOpen());
    ASSERT_EQ(::rename(QFile::encodeName(folder.filePath("sub")).constData(),
                       QFile::encodeName(folder.filePath("moved")).constData()), 0);
    ASSERT_TRUE(QFile::link(folder.filePath("elsewhere"), folder.filePath("sub")));

    for (const char *name : {"old.txt", "new.txt"}) {
        AtomicFile file(opened, name);
        EXPECT_TRUE(file.open() && file.write("new") && file.commit()) << name;
    }
    AtomicFile link(opened, "link.txt");
    EXPECT_FALSE(link.open());
    EXPECT_EQ(link.error(), ELOOP);

    EXPECT_EQ(TemporaryFolder::readFile(folder.filePath("moved/old.txt")), "new");
    EXPECT_EQ(statusOf(folder.filePath("moved/old.txt")).st_mode & 07777, 0640u);
    EXPECT_EQ(TemporaryFolder::readFile(folder.filePath("moved/new.txt")), "new");
    EXPECT_EQ(entries(folder.filePath("moved")), (QStringList{"link.txt", "new.txt", "old.txt"}));
    EXPECT_EQ(TemporaryFolder::readFile(elsewhere), "elsewhere");
    EXPECT_EQ(entries(folder.filePath("elsewhere")), QStringList{"old.txt"});
}

// Points the standard output at `descriptor` while `write` runs.
void withStandardOutput(int descriptor, const std::function<void()> &write)
{
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(descriptor, STDOUT_FILENO);
    write();
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
}

TEST(AtomicFile, NonRegularTargetsAreWrittenIntoDirectly)
{
    TemporaryFolder folder;

    const QString fifo = folder.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    platform::testing::FifoReader reader(fifo);
    EXPECT_EQ(writeWholeFile(fifo, "through the FIFO"), std::nullopt);
    EXPECT_EQ(reader.finish(), "through the FIFO");
    EXPECT_TRUE(S_ISFIFO(statusOf(fifo).st_mode));

    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    withStandardOutput(pipeEnds[1], [] { EXPECT_EQ(writeWholeFile("/dev/stdout", "to a pipe"), std::nullopt); });
    ::close(pipeEnds[1]);
    QFile pipeEnd;
    ASSERT_TRUE(pipeEnd.open(pipeEnds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    EXPECT_EQ(pipeEnd.readAll(), "to a pipe");

    const QString redirected = folder.writeFile("redirected.txt", "a longer earlier text");
    const ino_t inode = statusOf(redirected).st_ino;
    const int file = ::open(QFile::encodeName(redirected).constData(), O_WRONLY | O_CLOEXEC);
    withStandardOutput(file, [] { EXPECT_EQ(writeWholeFile("/dev/stdout", "to a file"), std::nullopt); });
    ::close(file);
    EXPECT_EQ(TemporaryFolder::readFile(redirected), "to a file");
    EXPECT_EQ(statusOf(redirected).st_ino, inode);

    const QString device = folder.filePath("null-device");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_EQ(writeWholeFile(device, "into the device"), std::nullopt);
        EXPECT_TRUE(S_ISCHR(statusOf(device).st_mode));
        EXPECT_EQ(statusOf(device).st_rdev, makedev(1, 3));
    }
    for (const QString &name : entries(folder.path()))
        EXPECT_FALSE(name.startsWith(u'.')) << "a temporary file stayed: " << name.toStdString();
}

TEST(AtomicFile, StaleTemporaryFilesAreRecognisedAndRemoved)
{
    TemporaryFolder folder;
    const QString work = folder.makeFolder("work");
    const QString longName(255, u'l');
    const auto temporaryFor = [](const QString &target) {
        return QFile::decodeName(temporaryFilePathFor(QFile::encodeName(target)));
    };
    const QStringList stale{
        temporaryFor(work + "/0.log"),
        temporaryFor(work + "/0.ftp/sub/" + longName),
        work + "/0.ftp/.~ftp4242-7.part",
        work + "/0.log.tmp4711",
    };
    const QStringList kept{
        work + "/0.log",
        work + "/0.ftp/sub/" + longName,
        work + "/0.ftp/data.tmp12",
        work + "/0.ftp/.hidden",
        work + "/0.ftp/sub/plain.~12-3.tmp",
        work + "/0.ftp/sub/.x.~12-3.tmpx",
        work + "/0.ftp/.~ftpx-1.part",
        folder.filePath("outside/.x.~12-3.tmp"),
    };
    for (const QString &path : stale + kept)
        putFile(path, "x");
    ASSERT_TRUE(QFile::link(folder.filePath("outside"), work + "/0.ftp/link"));

    removeStaleTemporaryFiles(work);
    for (const QString &path : stale)
        EXPECT_FALSE(QFile::exists(path)) << path.toStdString();
    for (const QString &path : kept)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
}

} // namespace
} // namespace platform
