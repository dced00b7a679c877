#include "common/associated_program.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace common {
namespace {

using platform::testing::TemporaryFolder;

// Points every XDG folder at a fresh tree, so that nothing of the machine's own desktop
// settings counts.
class AssociatedProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        set("XDG_CONFIG_HOME", m_folder.makeFolder("config"));
        set("XDG_CONFIG_DIRS", m_folder.makeFolder("etc"));
        set("XDG_DATA_HOME", m_folder.makeFolder("home"));
        set("XDG_DATA_DIRS", m_folder.makeFolder("system"));
        // The MIME database itself stays the machine's.
        QFile::link(QStringLiteral("/usr/share/mime"), m_folder.filePath("system/mime"));
        set("PATH", m_folder.makeFolder("bin"));
    }
    void TearDown() override
    {
        for (const auto &[name, value] : m_saved) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    void set(const char *name, const QString &value)
    {
        m_saved.append({name, qgetenv(name)});
        qputenv(name, value.toUtf8());
    }
    void desktopFile(const QString &folder, const QString &id, const QByteArray &exec)
    {
        m_folder.writeFile(folder + "/applications/" + id, "[Desktop Entry]\nType=Application\nExec=" + exec + "\n");
    }
    QString executable(const QString &name)
    {
        const QString path = m_folder.writeFile("bin/" + name, "#!/bin/sh\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        return path;
    }

    TemporaryFolder m_folder;
    QList<std::pair<const char *, QByteArray>> m_saved;
};

TEST_F(AssociatedProgramTest, NoAssociationGivesAnEmptyPath)
{
    EXPECT_EQ(GetAssociatedExe("txt"), "");
}

TEST_F(AssociatedProgramTest, UserDefaultWinsOverTheSystemLists)
{
    desktopFile("system", "mousepad.desktop", "mousepad %F");
    desktopFile("home", "my-gedit.desktop", "\"/opt/my tools/gedit\" --new-window %U");
    m_folder.writeFile("system/applications/mimeinfo.cache", "[MIME Cache]\ntext/plain=mousepad.desktop;\n");
    executable("mousepad");
    EXPECT_EQ(GetAssociatedExe("txt"), m_folder.filePath("bin/mousepad")) << "the cache when nothing else names one";

    m_folder.writeFile("config/mimeapps.list",
                       "[Added Associations]\ntext/plain=mousepad.desktop;\n"
                       "[Default Applications]\ntext/plain=missing.desktop;my-gedit.desktop;\n");
    EXPECT_EQ(GetAssociatedExe(".txt"), "/opt/my tools/gedit") << "a missing desktop file is passed over";
}

TEST_F(AssociatedProgramTest, SystemDefaultsListAndUnknownExtensions)
{
    desktopFile("system", "kate.desktop", "kate -b %U");
    executable("kate");
    m_folder.writeFile("system/applications/defaults.list", "[Default Applications]\ntext/plain=kate.desktop\n");
    EXPECT_EQ(GetAssociatedExe("txt"), m_folder.filePath("bin/kate"));
    EXPECT_EQ(GetAssociatedExe("no-such-extension"), "");
}

} // namespace
} // namespace common
