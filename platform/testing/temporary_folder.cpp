#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace platform::testing {

TemporaryFolder::TemporaryFolder()
{
    EXPECT_TRUE(m_folder.isValid());
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
