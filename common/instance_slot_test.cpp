#include "common/instance_slot.h"

#include "platform/testing/planted_entries.h"
#include "platform/testing/temporary_folder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace common {
namespace {

using platform::testing::TemporaryFolder;

// Starts a child process that takes an instance number in the program folder `folder`,
// prints it and holds it until its standard input closes.
class InstanceHolder
{
public:
    explicit InstanceHolder(const QString &folder)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("INSTANCE_CHILD_FOLDER", folder);
        m_process.setProcessEnvironment(environment);
        m_process.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=InstanceSlotChild.*"});
        EXPECT_TRUE(m_process.waitForStarted());
        while (m_number == 0) {
            if (!m_process.canReadLine() && !m_process.waitForReadyRead(10000))
                break;
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("INSTANCE="))
                m_number = line.mid(9).toInt();
        }
    }
    ~InstanceHolder() { end(); }

    int number() const { return m_number; }
    void end()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
    int m_number = 0;
};

TEST(InstanceSlot, NumbersComeBackWhenAProcessEnds)
{
    const TemporaryFolder folder;
    auto first = std::make_unique<InstanceHolder>(folder.path());
    EXPECT_EQ(first->number(), 1);
    InstanceHolder second(folder.path());
    EXPECT_EQ(second.number(), 2);
    first->end();
    InstanceHolder third(folder.path());
    EXPECT_EQ(third.number(), 1) << "the number of an ended window is free again";
}

TEST(InstanceSlot, AWorkFolderThatIsNotOursIsPassedOver)
{
    const TemporaryFolder folder;
    const QString elsewhere = folder.makeFolder("elsewhere");
    ASSERT_TRUE(QFile::link(elsewhere, folder.filePath("Dirgleam001")));
    InstanceSlot slot = TakeInstanceNumber(folder.path(), "Dirgleam");
    EXPECT_EQ(slot.number, 2) << "a symbolic link is no work folder";
    EXPECT_EQ(slot.workFolder, folder.filePath("Dirgleam002"));
    EXPECT_EQ(QFileInfo(slot.workFolder).permissions() & (QFile::WriteGroup | QFile::WriteOther), 0);
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can give a folder to another user";
    const QString others = folder.makeFolder("Linquell001");
    ASSERT_EQ(::chown(QFile::encodeName(others).constData(), 65534, 65534), 0);
    EXPECT_EQ(TakeInstanceNumber(folder.path(), "Linquell").number, 2) << "another user's work folder";
    EXPECT_FALSE(QFileInfo::exists(others + "/.instance.lock")) << "nothing is put into it";
}

// A lock file that someone put into a work folder before it was made private is none of
// ours: its number is passed over and the entry is left as it was, and a FIFO holds
// nothing up.
TEST(InstanceSlot, APlantedLockFileIsNeverTaken)
{
    using platform::testing::Planted;
    const TemporaryFolder folder;
    const struct
    {
        const char *program;
        Planted kind;
    } cases[] = {{"OthersFile", Planted::OthersFile},
                 {"Link", Planted::Link},
                 {"Fifo", Planted::Fifo},
                 {"WritableByOthers", Planted::WritableByOthers}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.program);
        const QString lock = folder.makeFolder(QString(c.program) + "001") + "/.instance.lock";
        if (!platform::testing::plant(c.kind, lock, "planted"))
            continue;
        const QByteArray planted = platform::testing::entryState(lock);
        platform::testing::FifoWatch watch(lock);
        EXPECT_EQ(TakeInstanceNumber(folder.path(), c.program).number, 2);
        EXPECT_FALSE(watch.heldUp());
        EXPECT_EQ(platform::testing::entryState(lock), planted);
    }
    platform::testing::skipWithoutOtherUser();
}

TEST(InstanceSlot, AWorkFolderIsPrivateWhetherNewOrFoundThere)
{
    const TemporaryFolder folder;
    const struct
    {
        const char *program;
        mode_t found; // 0: no folder there yet
    } cases[] = {{"New", 0}, {"Open", 0777}, {"Readable", 0755}, {"Private", 0700}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.program);
        const QString workFolder = folder.filePath(QString(c.program) + "001");
        if (c.found != 0) {
            folder.makeFolder(QString(c.program) + "001");
            ASSERT_EQ(::chmod(QFile::encodeName(workFolder).constData(), c.found), 0);
        }
        const InstanceSlot slot = TakeInstanceNumber(folder.path(), c.program);
        EXPECT_EQ(slot.workFolder, workFolder);
        struct stat info = {};
        ASSERT_EQ(::stat(QFile::encodeName(workFolder).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0700u);
    }
}

TEST(InstanceSlot, ProgramsAndFoldersCountApart)
{
    const TemporaryFolder folder;
    const TemporaryFolder otherFolder;
    InstanceSlot dirgleam = TakeInstanceNumber(folder.path(), "Dirgleam");
    InstanceSlot linquell = TakeInstanceNumber(folder.path(), "Linquell");
    InstanceSlot other = TakeInstanceNumber(otherFolder.path(), "Dirgleam");
    EXPECT_EQ(dirgleam.number, 1);
    EXPECT_EQ(linquell.number, 1);
    EXPECT_EQ(other.number, 1);
    EXPECT_EQ(linquell.workFolder, folder.filePath("Linquell001"));
    EXPECT_TRUE(QFileInfo(linquell.workFolder).isDir());
}

TEST(InstanceSlot, PastTheLimitEveryWindowStillGetsItsOwnNumber)
{
    const TemporaryFolder folder;
    std::vector<InstanceSlot> held;
    for (int i = 1; i <= 100; ++i)
        held.push_back(TakeInstanceNumber(folder.path(), "Dirgleam"));
    EXPECT_EQ(held.back().number, 100);
    InstanceSlot extra1 = TakeInstanceNumber(folder.path(), "Dirgleam");
    InstanceSlot extra2 = TakeInstanceNumber(folder.path(), "Dirgleam");
    EXPECT_EQ(extra1.number, 101);
    EXPECT_TRUE(extra1.lock.has_value());
    EXPECT_EQ(extra2.number, 102);
    EXPECT_EQ(InstanceDigits(7), "007");
    EXPECT_EQ(InstanceDigits(101), "101");
}

TEST(InstanceSlot, HandOverNumberIsNeverTaken)
{
    const TemporaryFolder folder;
    std::vector<InstanceSlot> held;
    for (int i = 1; i < HandOverNumber; ++i)
        held.push_back(TakeInstanceNumber(folder.path(), "Dirgleam"));
    EXPECT_EQ(held.back().number, HandOverNumber - 1);
    EXPECT_EQ(TakeInstanceNumber(folder.path(), "Dirgleam").number, HandOverNumber + 1);
}

// Runs only as a child of the tests above.
TEST(InstanceSlotChild, HoldNumber)
{
    const QString folder = qEnvironmentVariable("INSTANCE_CHILD_FOLDER");
    if (folder.isEmpty())
        GTEST_SKIP();
    InstanceSlot slot = TakeInstanceNumber(folder, "Dirgleam");
    std::printf("INSTANCE=%d\n", slot.number);
    std::fflush(stdout);
    char buffer[16];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
}

} // namespace
} // namespace common
