#include "platform/program_folder.h"

#include "platform/lock_file.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>

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

TEST_F(RuntimeFolderTest, SharedFolderIsTakenOnlyWhenPrivateAndOurs)
{
    const auto makeFolder = [](mode_t mode) {
        return [mode](const QString &path) {
            ::mkdir(QFile::encodeName(path).constData(), 0700);
            ::chmod(QFile::encodeName(path).constData(), mode);
        };
    };
    const struct
    {
        const char *name;
        std::function<void(const QString &)> plant;
        const char *problem; // empty when the folder is taken
    } cases[] = {
        {"missing: made with mode 0700", [](const QString &) {}, ""},
        {"ours with mode 0700", makeFolder(0700), ""},
        {"writable by everyone", makeFolder(0777), "他のユーザーも書き込めます"},
        {"writable by the group", makeFolder(0770), "他のユーザーも書き込めます"},
        {"a symbolic link to a private folder of ours",
         [this](const QString &path) {
             const QString target = m_folder.makeFolder("link target");
             QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
             QFile::link(target, path);
         },
         "シンボリックリンクです"},
        {"a file", [](const QString &path) { QFile file(path); file.open(QIODevice::WriteOnly); }, "フォルダではありません"},
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
        if (*c.problem == '\0') {
            EXPECT_EQ(found.path, folder);
            EXPECT_EQ(found.refusal, QString());
            EXPECT_EQ(modeOf(folder), S_IFDIR | 0700);
        } else {
            EXPECT_EQ(found.path, QString());
            EXPECT_TRUE(found.refusal.contains(folder)) << found.refusal.toStdString();
            EXPECT_TRUE(found.refusal.contains(QString::fromUtf8(c.problem))) << found.refusal.toStdString();
            EXPECT_EQ(modeOf(folder), planted) << "a refused folder is left as it was";
        }
    }
    ::umask(previousMask);
}

TEST_F(RuntimeFolderTest, FolderOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    const QString base = m_folder.path();
    const QString folder = privateFolderUnder(base);
    ASSERT_EQ(::mkdir(QFile::encodeName(folder).constData(), 0700), 0);
    ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
    const RuntimeFolder found = findRuntimeFolder(base);
    EXPECT_EQ(found.path, QString());
    EXPECT_TRUE(found.refusal.contains(folder) && found.refusal.contains("他のユーザーが所有しています")) << found.refusal.toStdString();
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

TEST_F(RuntimeFolderTest, PlantedSharedFolderGivesNoLocks)
{
    const QString base = m_folder.makeFolder("shared");
    const QString folder = privateFolderUnder(base);
    ASSERT_EQ(::mkdir(QFile::encodeName(folder).constData(), 0700), 0);
    ::chmod(QFile::encodeName(folder).constData(), 0777);
    const QByteArray savedTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(base));
    EXPECT_EQ(LockFile::pathFor("planted"), QString());
    EXPECT_FALSE(LockFile::tryLock("planted"));
    EXPECT_FALSE(LockFile::lock("planted", std::chrono::milliseconds(0)));
    EXPECT_FALSE(QFile::exists(folder + "/planted.lock"));
    EXPECT_EQ(provideRuntimeFolder(), findRuntimeFolder(base).refusal);
    EXPECT_TRUE(qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) << "the planted folder is not handed to Qt";
    if (savedTemporary.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTemporary);
}

} // namespace
} // namespace platform
