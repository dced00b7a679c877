#include "platform/testing/temporary_folder.h"
#include "platform/file_handles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace platform::testing {

namespace {

// Removes everything inside the open folder `folder`, each entry by its name in the
// folder, so that neither names nor the depth of the tree get in the way.
void removeContentsAt(int folder)
{
    const std::optional<std::vector<QByteArray>> names = NamesInFolder(folder);
    if (!names)
        return;
    for (const QByteArray &name : *names) {
        if (::unlinkat(folder, name.constData(), 0) == 0)
            continue;
        const int child = ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0)
            continue;
        removeContentsAt(child);
        ::close(child);
        ::unlinkat(folder, name.constData(), AT_REMOVEDIR);
    }
}

} // namespace

void removeRawContents(const QString &folder)
{
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    removeContentsAt(descriptor);
    ::close(descriptor);
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

void TemporaryFolder::saveFile(const QString &path, const QByteArray &content, bool asNewFile)
{
    QFile file(asNewFile ? path + QStringLiteral(".new") : path);
    ASSERT_TRUE(file.open(asNewFile ? QIODevice::WriteOnly : QIODevice::Append)) << path.toStdString();
    ASSERT_EQ(file.write(content), content.size());
    file.close();
    if (asNewFile) {
        ASSERT_EQ(::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()), 0);
    }
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
