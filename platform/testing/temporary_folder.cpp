#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <ftw.h>
#include <unistd.h>

namespace platform::testing {

namespace {

int removeEntry(const char *path, const struct stat *, int type, FTW *position)
{
    if (position->level == 0)
        return 0;
    if (type == FTW_DP)
        ::rmdir(path);
    else
        ::unlink(path);
    return 0;
}

} // namespace

void removeRawContents(const QString &folder)
{
    ::nftw(QFile::encodeName(folder).constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

TemporaryFolder::TemporaryFolder()
{
    EXPECT_TRUE(m_folder.isValid());
}

TemporaryFolder::~TemporaryFolder()
{
    // Test trees may hold names that are not valid UTF-8, which QTemporaryDir cannot remove.
    if (m_folder.isValid())
        removeRawContents(m_folder.path());
}

QString TemporaryFolder::path() const
{
    return m_folder.path();
}

QString TemporaryFolder::filePath(const QString &relative) const
{
    return m_folder.filePath(relative);
}

QString TemporaryFolder::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString path = filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    EXPECT_EQ(file.write(content), content.size());
    return path;
}

QString TemporaryFolder::makeFolder(const QString &relative) const
{
    const QString path = filePath(relative);
    EXPECT_TRUE(QDir().mkpath(path));
    return path;
}

QByteArray TemporaryFolder::readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString builtProgramsFolder()
{
    return QStringLiteral(SUITE_BIN_DIR);
}

QString sourceFolder()
{
    return QStringLiteral(SUITE_SOURCE_DIR);
}

} // namespace platform::testing
