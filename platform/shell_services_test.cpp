#include "platform/shell_services.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/unprivileged_scope.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <gtest/gtest.h>

namespace platform {
namespace {

using testing::TemporaryFolder;

// Points the XDG folders, the home trash's among them, at a temporary folder.
class XdgFolders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *name : Names)
            m_saved.append(qgetenv(name));
        qputenv("XDG_CONFIG_HOME", m_folder.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", m_folder.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_DIRS", m_folder.filePath("etc").toUtf8());
        qputenv("XDG_DATA_DIRS", m_folder.filePath("system").toUtf8());
        qunsetenv("XDG_CURRENT_DESKTOP");
    }
    void TearDown() override
    {
        for (int i = 0; i < 5; ++i) {
            if (m_saved[i].isNull())
                qunsetenv(Names[i]);
            else
                qputenv(Names[i], m_saved[i]);
        }
    }

    static constexpr const char *Names[5] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS",
                                             "XDG_CURRENT_DESKTOP"};
    TemporaryFolder m_folder;
    QList<QByteArray> m_saved;
};

TEST_F(XdgFolders, RecyclerDeleteMovesToTheTrash)
{
    const QString file = m_folder.writeFile("work/a file.txt", "x");
    m_folder.writeFile("work/folder/inner.txt", "y");
    EXPECT_EQ(RecyclerDelete(file), 0);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(RecyclerDelete(m_folder.filePath("work/folder")), 0);
    EXPECT_FALSE(QFileInfo::exists(m_folder.filePath("work/folder")));
    const QStringList trashed = QDir(m_folder.filePath("data/Trash/files")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    EXPECT_EQ(trashed.size(), 2);
    QString error;
    EXPECT_EQ(RecyclerDelete(file, &error), 2);
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(XdgFolders, RecyclerDeleteThatCannotTrashKeepsThePath)
{
    testing::allowOthers(m_folder.path());
    const QString folder = m_folder.makeFolder("work");
    QFile::setPermissions(folder, QFile::Permissions(0x7777));
    const QString file = m_folder.writeFile("work/keep.txt", "x");
    testing::allowOthers(file);
    // A data folder nobody may write to, the owner included, leaves no home trash to be
    // had, whether the test runs as root (then as "nobody") or as a user.
    const QString data = m_folder.makeFolder("data");
    QFile::setPermissions(data, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                    | QFile::ReadOther | QFile::ExeOther);
    // With no trash folder to be had, a move into the working folder must not count.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    QString error;
    int result = 0;
    {
        testing::UnprivilegedScope unprivileged;
        result = RecyclerDelete(file, &error);
    }
    QDir::setCurrent(previous);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(QFileInfo::exists(file)) << "never deleted for good";
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"keep.txt"})
        << "nothing of the move is left in the working folder";
    EXPECT_FALSE(error.isEmpty());
}

// A file manager on a private session bus that records what it is asked to show.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    void ShowItemProperties(const QStringList &uris, const QString &) { shown += uris; }
};

TEST(ShowFileProperties, AsksTheFileManagerOnTheSessionBus)
{
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    // The bus's socket lives in the test's own folder, so nothing is left behind in /tmp.
    TemporaryFolder folder;
    QProcess bus;
    bus.start(daemon, {"--session", "--nofork", "--print-address", "--address=unix:path=" + folder.filePath("bus")});
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    const QString path = folder.writeFile("shown.txt", "x");
    EXPECT_LE(ShowFileProperties(path), 32) << "no file manager answers yet";

    FakeFileManager manager;
    QDBusConnection connection = QDBusConnection::sessionBus();
    ASSERT_TRUE(connection.registerObject("/org/freedesktop/FileManager1", &manager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(connection.registerService("org.freedesktop.FileManager1"));
    EXPECT_GT(ShowFileProperties(path), 32);
    EXPECT_EQ(manager.shown, QStringList{QUrl::fromLocalFile(path).toString()});

    connection.unregisterService("org.freedesktop.FileManager1");
    bus.kill();
    bus.waitForFinished();
}

} // namespace
} // namespace platform

#include "shell_services_test.moc"
