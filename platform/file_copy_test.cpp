#include "platform/file_copy.h"

#include "platform/copy_writer_hooks.h"
#include "platform/descriptor.h"
#include "platform/folder_descent.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/write_faults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {
namespace {

using platform::testing::TemporaryFolder;

QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 index = 0; index < size; ++index)
        bytes[index] = char('a' + index % 23);
    return bytes;
}

Descriptor openFile(const QString &path, int flags)
{
    return Descriptor(::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0644));
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// Adds the copy of `source` to the file `target`, in its folder opened.
void addCopy(DurableCopies &copies, const QString &source, const QString &target, qint64 bytes)
{
    const QFileInfo entry(target);
    auto folder = std::make_shared<const Descriptor>(OpenFolder(QFile::encodeName(entry.path())));
    const QByteArray name = QFile::encodeName(entry.fileName());
    copies.add(source, folder, name, bytes, TargetState::at(folder->get(), name));
}

bool placed(DurableCopies::Copy &copy)
{
    return copy.place().outcome == Placement::Outcome::Placed;
}

// Within one file system and into another (/dev/shm, where copy_file_range and clones
// are refused with EXDEV and the bytes go through this process), in steps, with a stop
// after the first step.
TEST(FileCopy, ContentsReachAnotherFileSystemInSteps)
{
    TemporaryFolder folder;
    QTemporaryDir memory(QStringLiteral("/dev/shm/file-copy-test-XXXXXX"));
    constexpr qint64 Step = 100000;
    const struct
    {
        const char *name;
        QString folder;
        qint64 size;
        bool stop;
    } cases[] = {
        {"empty, same file system", folder.path(), 0, false},
        {"three steps, same file system", folder.path(), 250000, false},
        {"three steps, another file system", memory.path(), 250000, false},
        {"stopped after a step, another file system", memory.path(), 250000, true},
    };
    for (const auto &c : cases) {
        if (!memory.isValid() && c.folder != folder.path())
            continue; // no /dev/shm here
        SCOPED_TRACE(c.name);
        const QByteArray content = pattern(c.size);
        const QString source = folder.writeFile("source.bin", content);
        const QString target = c.folder + "/target.bin";
        QFile::remove(target);
        const Descriptor input = openFile(source, O_RDONLY);
        const Descriptor output = openFile(target, O_WRONLY | O_CREAT | O_EXCL);
        QList<qint64> steps;
        const ContentCopy copied = CopyFileContents(input.get(), output.get(), Step, [&](qint64 copiedBytes) {
            steps.append(copiedBytes);
            return !c.stop;
        });
        if (c.stop) {
            EXPECT_EQ(copied.error, ECANCELED);
            EXPECT_EQ(steps.size(), 1);
            continue;
        }
        EXPECT_EQ(copied.error, 0);
        EXPECT_EQ(copied.bytes, c.size);
        EXPECT_EQ(TemporaryFolder::readFile(target), content);
        // A clone is a single step.
        if (steps.size() > 1) {
            EXPECT_EQ(steps, (QList<qint64>{Step, 2 * Step, c.size}));
        } else if (c.size > 0) {
            EXPECT_EQ(steps, QList<qint64>{c.size});
        }
    }
}

// Copies come back in the order given; each leaves its target alone until it is put in
// place, and a failed or abandoned one leaves no temporary file.
TEST(DurableCopies, CopiesArePlacedInOrderAndFailuresKeepTheTargets)
{
    TemporaryFolder folder;
    const QString source = folder.writeFile("one/a.bin", pattern(300000));
    ::chmod(QFile::encodeName(source).constData(), 0640);
    const struct timespec times[2] = {{1000000000, 5}, {1234567890, 123456789}};
    ::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), times, 0);
    folder.makeFolder("one/folder");
    const QString target = folder.writeFile("two/a.bin", "old");
    const QString abandoned = folder.writeFile("two/b.bin", "old b");
    const QString missing = folder.filePath("two/c.bin");

    DurableCopies copies;
    addCopy(copies, source, target, 300000);
    addCopy(copies, folder.filePath("one/gone.bin"), missing, 0);
    addCopy(copies, folder.filePath("one/folder"), missing, 0);
    addCopy(copies, source, abandoned, 300000);
    std::unique_ptr<DurableCopies::Copy> copy = copies.takeOldest();
    EXPECT_EQ(copy->failure(), "");
    EXPECT_EQ(TemporaryFolder::readFile(target), "old") << "not in place before place()";
    EXPECT_TRUE(placed(*copy));
    EXPECT_EQ(TemporaryFolder::readFile(target), pattern(300000));
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(info.st_mtim.tv_sec, times[1].tv_sec);
    EXPECT_EQ(info.st_mtim.tv_nsec, times[1].tv_nsec);
    EXPECT_EQ(copies.takeOldest()->failure(), QString::fromLocal8Bit(std::strerror(ENOENT)));
    std::unique_ptr<DurableCopies::Copy> folderCopy = copies.takeOldest();
    EXPECT_EQ(folderCopy->failure(), QString::fromLocal8Bit(std::strerror(EINVAL)));
    EXPECT_EQ(folderCopy->place().reason, QString::fromLocal8Bit(std::strerror(EINVAL)));
    EXPECT_EQ(copies.takeOldest()->failure(), "");
    EXPECT_TRUE(copies.isEmpty());
    EXPECT_EQ(TemporaryFolder::readFile(abandoned), "old b");
    EXPECT_EQ(entries(folder.filePath("two")), (QStringList{"a.bin", "b.bin"}));
}

// On a file system that is nearly full, copies under way together can take the space
// that one of them needs until the copy before it is in place and has freed the old
// file's: that copy is made again alone, so the same copies succeed as one at a time.
TEST(DurableCopies, ANearlyFullDiskFailsOnlyWhatOneCopyAtATimeWould)
{
    platform::testing::SmallFileSystem small;
    if (!small.isMounted())
        GTEST_SKIP() << "mounting a small file system needs the superuser";
    TemporaryFolder folder;
    const QString smallSource = folder.writeFile("small.bin", pattern(100 * 1024));
    const QString largeSource = folder.writeFile("large.bin", pattern(500 * 1024));
    QFile old(small.filePath("a.bin"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write(pattern(500 * 1024)) == 500 * 1024);
    old.close();

    DurableCopies copies;
    addCopy(copies, smallSource, small.filePath("a.bin"), 100 * 1024);
    addCopy(copies, largeSource, small.filePath("b.bin"), 500 * 1024);
    for (const char *name : {"a.bin", "b.bin"}) {
        SCOPED_TRACE(name);
        std::unique_ptr<DurableCopies::Copy> copy = copies.takeOldest();
        EXPECT_EQ(copy->failure(), "");
        EXPECT_TRUE(placed(*copy));
    }
    EXPECT_EQ(QFileInfo(small.filePath("a.bin")).size(), 100 * 1024);
    EXPECT_EQ(QFileInfo(small.filePath("b.bin")).size(), 500 * 1024);
    EXPECT_EQ(entries(small.path()), (QStringList{"a.bin", "b.bin"}));
}

// Writes the copy of `source` beside `target` in its folder, decided on the target as it
// is now, synced on its own.
std::unique_ptr<WrittenCopy> writtenCopy(const QString &source, const QString &target)
{
    const QFileInfo entry(target);
    auto folder = std::make_shared<const Descriptor>(OpenFolder(QFile::encodeName(entry.path())));
    const QByteArray name = QFile::encodeName(entry.fileName());
    CopyWrite write = WriteCopy(CopySource{AT_FDCWD, QFile::encodeName(source), true, std::nullopt}, folder, name,
                                TargetState::at(folder->get(), name), true, std::numeric_limits<qint64>::max());
    EXPECT_EQ(write.failure, CopyWrite::Failure::None);
    return std::move(write.written);
}

// The hooks of the copy writer for one test, taken away at its end.
class HookedCopyWriter : public ::testing::Test
{
protected:
    void TearDown() override { setCopyWriterHooks({}); }
};

// A copy takes its target's name whatever the file system offers: temporary files made
// unnamed or under their names, a target taken by exchange or where none was only while
// none is, or both by a plain rename; it keeps its times, and no temporary stays.
TEST_F(HookedCopyWriter, ACopyTakesItsNameWhateverTheFileSystemOffers)
{
    TemporaryFolder folder;
    const QString source = folder.writeFile("source.bin", pattern(70000));
    const struct timespec times[2] = {{1000000000, 5}, {1234567890, 123456789}};
    ::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), times, 0);
    for (const bool unnamed : {true, false}) {
        for (const bool flags : {true, false}) {
            for (const bool existing : {true, false}) {
                SCOPED_TRACE(std::string(unnamed ? "unnamed temporaries" : "named temporaries")
                             + (flags ? ", renameat2 flags" : ", plain renames")
                             + (existing ? ", over a file" : ", where none was"));
                CopyWriterHooks hooks;
                hooks.refuseUnnamedFiles = !unnamed;
                hooks.refuseRenameFlags = !flags;
                setCopyWriterHooks(hooks);
                const QString target = folder.filePath("target/a.bin");
                QDir(folder.filePath("target")).removeRecursively();
                folder.makeFolder("target");
                if (existing)
                    folder.writeFile("target/a.bin", "old");
                const std::unique_ptr<WrittenCopy> copy = writtenCopy(source, target);
                ASSERT_TRUE(copy);
                EXPECT_EQ(copy->place().outcome, Placement::Outcome::Placed);
                EXPECT_EQ(TemporaryFolder::readFile(target), pattern(70000));
                struct stat info;
                ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
                EXPECT_EQ(info.st_mtim.tv_nsec, times[1].tv_nsec);
                EXPECT_EQ(entries(folder.filePath("target")), QStringList{"a.bin"});
            }
        }
    }
}

// Another program at the moment a copy takes its target's name: a file saved over the
// target, in place or as a new file, goes back to its name and the copy is dropped; so
// is a file made where none was; a temporary file swept away fails the placing, saying
// so. The target is then as the other program left it, and no temporary stays once the
// copy is dropped.
TEST_F(HookedCopyWriter, AnotherProgramAtThePlacementKeepsWhatItDid)
{
    TemporaryFolder folder;
    const QString source = folder.writeFile("source.bin", "the copy");
    enum class Act { SaveInPlace, SaveAsNewFile, MakeWhereNoneWas, SweepTheTemporary };
    const struct
    {
        const char *name;
        Act act;
        Placement::Outcome outcome;
        const char *left;
    } cases[] = {
        {"saved in place", Act::SaveInPlace, Placement::Outcome::TargetChanged, "old saved"},
        {"saved as a new file", Act::SaveAsNewFile, Placement::Outcome::TargetChanged, " saved"},
        {"made where none was", Act::MakeWhereNoneWas, Placement::Outcome::TargetChanged, " saved"},
        {"the temporary swept away", Act::SweepTheTemporary, Placement::Outcome::Failed, "old"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = folder.filePath("target/a.bin");
        QDir(folder.filePath("target")).removeRecursively();
        folder.makeFolder("target");
        if (c.act != Act::MakeWhereNoneWas)
            folder.writeFile("target/a.bin", "old");
        std::unique_ptr<WrittenCopy> copy = writtenCopy(source, target);
        ASSERT_TRUE(copy);
        CopyWriterHooks hooks;
        hooks.beforeRename = [&](int, const QByteArray &) {
            if (c.act == Act::SweepTheTemporary) {
                for (const QString &name : entries(folder.filePath("target")))
                    if (name != "a.bin")
                        QFile::remove(folder.filePath("target/" + name));
                return;
            }
            TemporaryFolder::saveFile(target, " saved", c.act != Act::SaveInPlace);
        };
        setCopyWriterHooks(hooks);
        const Placement placement = copy->place();
        setCopyWriterHooks({});
        copy.reset();
        EXPECT_EQ(placement.outcome, c.outcome);
        if (c.act == Act::SweepTheTemporary) {
            EXPECT_EQ(placement.reason, QStringLiteral("新しい内容の一時ファイルが名前を変える前に消えました"));
        }
        EXPECT_EQ(TemporaryFolder::readFile(target), c.left);
        EXPECT_EQ(entries(folder.filePath("target")), QStringList{"a.bin"});
    }
}

// A file system whose descriptor for the syncs cannot be opened (none is left) is not
// kept for them: the syncs of the others still succeed, and the next writer there gives
// it a descriptor.
TEST(BatchSync, ADescriptorThatCouldNotBeOpenedIsNeverKept)
{
    TemporaryFolder folder;
    const Descriptor opened = OpenFolder(QFile::encodeName(folder.path()));
    struct stat info;
    ASSERT_EQ(::fstat(opened.get(), &info), 0);
    const auto openAnother = [&opened] { return Descriptor(::fcntl(opened.get(), F_DUPFD_CLOEXEC, 0)); };
    BatchSync syncs(1);
    {
        const platform::testing::OpenFileLimit noneLeft;
        EXPECT_FALSE(syncs.note(info.st_dev, openAnother));
    }
    EXPECT_EQ(syncs.waitUntilDurable(syncs.count()), 0);
    EXPECT_TRUE(syncs.note(info.st_dev, openAnother));
    EXPECT_EQ(syncs.waitUntilDurable(syncs.count()), 0);
}

} // namespace
} // namespace platform
