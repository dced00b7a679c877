#include "platform/lock_file.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

namespace platform {
namespace {

QString uniqueName(const char *what)
{
    return QStringLiteral("test-%1-%2").arg(QCoreApplication::applicationPid()).arg(what);
}

TEST(LockFile, HeldLockRefusesSecondHolderUntilReleased)
{
    const QString name = uniqueName("held");
    std::optional<LockFile> first = LockFile::tryLock(name);
    ASSERT_TRUE(first);
    EXPECT_FALSE(LockFile::tryLock(name)) << "a second holder in the same process";
    first.reset();
    EXPECT_TRUE(LockFile::tryLock(name));
}

TEST(LockFile, WaitForAHeldLockEnds)
{
    const QString name = uniqueName("waited");
    std::optional<LockFile> held = LockFile::tryLock(name);
    ASSERT_TRUE(held);
    EXPECT_FALSE(LockFile::lock(name, std::chrono::milliseconds(30))) << "a holder that never lets go";
    held.reset();
    EXPECT_TRUE(LockFile::lock(name, std::chrono::milliseconds(30)));
}

TEST(LockFile, MovedLockStaysHeld)
{
    const QString name = uniqueName("moved");
    std::optional<LockFile> first = LockFile::tryLock(name);
    ASSERT_TRUE(first);
    LockFile moved = std::move(*first);
    first.reset();
    EXPECT_FALSE(LockFile::tryLock(name));
}

TEST(LockFile, NamesAreMadeSafeAndDistinct)
{
    EXPECT_TRUE(LockFile::pathFor("20261208193000001").endsWith("/20261208193000001.lock"));
    const QString slashed = LockFile::pathFor("../../etc/passwd");
    EXPECT_FALSE(slashed.contains("etc"));
    EXPECT_NE(LockFile::pathFor("a/b"), LockFile::pathFor("a:b"));
}

TEST(LockFile, AnotherProcessSeesTheLockAndGetsItAfterExit)
{
    const QString name = uniqueName("process");
    std::optional<LockFile> held = LockFile::tryLock(name);
    ASSERT_TRUE(held);

    auto childTry = [&]() {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LOCK_CHILD_NAME", name);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=LockFileChild.*"});
        EXPECT_TRUE(child.waitForFinished(30000));
        return child.exitCode();
    };
    EXPECT_NE(childTry(), 0) << "child must not get a held lock";
    held.reset();
    EXPECT_EQ(childTry(), 0) << "child gets the released lock";
}

// Runs only as a child of AnotherProcessSeesTheLockAndGetsItAfterExit.
TEST(LockFileChild, TryLock)
{
    const QString name = qEnvironmentVariable("LOCK_CHILD_NAME");
    if (name.isEmpty())
        GTEST_SKIP() << "child of AnotherProcessSeesTheLockAndGetsItAfterExit";
    ASSERT_TRUE(LockFile::tryLock(name));
}

} // namespace
} // namespace platform
