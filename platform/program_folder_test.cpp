#include "platform/program_folder.h"

#include "platform/lock_file.h"
#include "platform/testing/planted_entries.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using testing::TemporaryFolder;

// Runs each test without a session runtime folder, as a cron job or a root shell does,
// and puts the test program's own one back afterwards.
class RuntimeFolderTest : public ::testing::Test
{
protected:
    void SetUp() override { qunsetenv("XDG_RUNTIME_DIR"); }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", m_session); }

    // The folder that findRuntimeFolder(base) looks for.
    static QString privateFolderUnder(const QString &base)
    {
        return base + QStringLiteral("/dirgleam-suite-") + QString::number(::geteuid());
    }

    static mode_t modeOf(const QString &path)
    {
        struct stat info;
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
    }

    const QByteArray m_session = qgetenv("XDG_RUNTIME_DIR");
    TemporaryFolder m_folder;
};

// The usual name is taken when it is a private folder of ours; anything else there (made
// by someone else first) is left as it was, and a folder of ours under a name drawn by
// mkdtemp takes its place, found again by the next run.
TEST_F(RuntimeFolderTest, SharedFolderIsTakenOnlyWhenPrivateAndOurs)
{
    const auto makeFolder = [](mode_t mode) {
        return [mode](const QString &path) {
            ::mkdir(QFile::encodeName(path).constData(), 0700);
            ::chmod(QFile::encodeName(path).constData(), mode);
        };
    };
    const auto othersFolder = [](const QString &path) {
        const std::optional<testing::OtherUser> other = testing::otherUser();
        ::mkdir(QFile::encodeName(path).constData(), 0700);
        if (other)
            ::chown(QFile::encodeName(path).constData(), other->uid, other->gid);
    };
    const struct
    {
        const char *name;
        std::function<void(const QString &)> plant;
        bool usualName;
    } cases[] = {
        {"missing: made with mode 0700", [](const QString &) {}, true},
        {"ours with mode 0700", makeFolder(0700), true},
        {"writable by everyone", makeFolder(0777), false},
        {"writable by the group", makeFolder(0770), false},
        {"a symbolic link to a private folder of ours",
         [this](const QString &path) {
             const QString target = m_folder.makeFolder("link target");
             QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
             QFile::link(target, path);
         },
         false},
        {"a file", [](const QString &path) { QFile file(path); file.open(QIODevice::WriteOnly); }, false},
        {"another user's folder", othersFolder, ::geteuid() != 0},
    };
    // The umask must not loosen the folder made.
    const mode_t previousMask = ::umask(0);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString base = m_folder.makeFolder(QString::fromUtf8(c.name));
        const QString folder = privateFolderUnder(base);
        c.plant(folder);
        const mode_t planted = modeOf(folder);
        const RuntimeFolder found = findRuntimeFolder(base);
        EXPECT_EQ(found.refusal, QString());
        EXPECT_EQ(modeOf(found.path), S_IFDIR | 0700);
        if (c.usualName) {
            EXPECT_EQ(found.path, folder);
        } else {
            EXPECT_TRUE(found.path.startsWith(folder + "-")) << found.path.toStdString();
            EXPECT_EQ(modeOf(folder), planted) << "the planted entry is left as it was";
            EXPECT_EQ(findRuntimeFolder(base).path, found.path) << "found again";
        }
    }
    ::umask(previousMask);
    testing::skipWithoutOtherUser();
}

// A folder that nobody can make gives no lock folder, and the message names it.
TEST_F(RuntimeFolderTest, FolderThatCannotBeMadeIsRefused)
{
    const QString base = m_folder.filePath("missing");
    const RuntimeFolder found = findRuntimeFolder(base);
    EXPECT_EQ(found.path, QString());
    EXPECT_TRUE(found.refusal.contains(privateFolderUnder(base))) << found.refusal.toStdString();
}

TEST_F(RuntimeFolderTest, SessionFolderIsUsedOnlyWhenPrivate)
{
    const QString session = m_folder.makeFolder("session");
    const QString base = m_folder.makeFolder("shared");
    QFile::setPermissions(session, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(session));
    EXPECT_EQ(findRuntimeFolder(base).path, session);
    ::chmod(QFile::encodeName(session).constData(), 0777);
    EXPECT_EQ(findRuntimeFolder(base).path, privateFolderUnder(base)) << "a session folder open to all is passed over";
}

TEST_F(RuntimeFolderTest, PlantedSharedFolderStopsNoLocks)
{
    const QString base = m_folder.makeFolder("shared");
    const QString folder = privateFolderUnder(base);
    ASSERT_EQ(::mkdir(QFile::encodeName(folder).constData(), 0700), 0);
    ::chmod(QFile::encodeName(folder).constData(), 0777);
    const QByteArray savedTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(base));
    const QString drawn = findRuntimeFolder(base).path;
    EXPECT_EQ(LockFile::pathFor("planted"), drawn + "/planted.lock");
    EXPECT_TRUE(LockFile::tryLock("planted"));
    EXPECT_FALSE(QFile::exists(folder + "/planted.lock"));
    EXPECT_EQ(provideRuntimeFolder(), QString());
    EXPECT_EQ(qEnvironmentVariable("XDG_RUNTIME_DIR"), drawn) << "the drawn folder is handed to Qt";
    if (savedTemporary.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTemporary);
}

// The executables' folder holds the settings and work folders only when it is the user's
// own and nobody else may write to it; else they go into a folder of the user's data
// that is his alone.
TEST(ProgramFolder, OnlyAFolderOfTheUsersOwnThatNobodyElseMayWriteServes)
{
    const TemporaryFolder home;
    const std::optional<testing::OtherUser> other = testing::otherUser();
    const struct
    {
        const char *name;
        mode_t mode;
        bool othersGroup;
        bool othersFolder;
        bool serves;
    } cases[] = {
        {"ours", 0755, false, false, true},
        {"ours, writable by everyone and sticky", 01777, false, false, false},
        {"ours, writable by our private group", 0775, false, false, true},
        {"ours, writable by a group of others", 0775, true, false, false},
        {"another user's", 0755, false, true, false},
    };
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    const QString dataFolder = home.filePath("data/dirgleam-suite");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if ((c.othersGroup || c.othersFolder) && !other)
            continue;
        const QByteArray folder = QFile::encodeName(home.makeFolder(QString::fromUtf8(c.name)));
        ASSERT_EQ(::chmod(folder.constData(), c.mode), 0);
        if (c.othersGroup || c.othersFolder) {
            ASSERT_EQ(::chown(folder.constData(), c.othersFolder ? other->uid : ::geteuid(), other->gid), 0);
        }
        EXPECT_EQ(programFolderFor(QFile::decodeName(folder)), c.serves ? QFile::decodeName(folder) : dataFolder);
    }
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(dataFolder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    // A data folder that an earlier version made readable by all is closed to others.
    ASSERT_EQ(::chmod(QFile::encodeName(dataFolder).constData(), 0755), 0);
    EXPECT_EQ(programFolderFor(home.filePath("missing")), dataFolder);
    ASSERT_EQ(::stat(QFile::encodeName(dataFolder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    // A data folder of another user's (a shared XDG_DATA_HOME, or one a run as root left)
    // is not used: a folder of the user's own beside it serves, the same one every time.
    if (other) {
        ASSERT_EQ(::chown(QFile::encodeName(dataFolder).constData(), other->uid, other->gid), 0);
        const QString drawn = programFolderFor(home.filePath("missing"));
        EXPECT_TRUE(drawn.startsWith(dataFolder + u'-')) << drawn.toStdString();
        ASSERT_EQ(::lstat(QFile::encodeName(drawn).constData(), &info), 0);
        EXPECT_EQ(info.st_uid, ::geteuid());
        EXPECT_EQ(info.st_mode & 07777, 0700u);
        EXPECT_EQ(programFolderFor(home.filePath("missing")), drawn);
    }
    if (savedDataHome.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", savedDataHome);
    testing::skipWithoutOtherUser();
}

} // namespace
} // namespace platform
