#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace platform::testing {

// A chain of `depth` folders, each named with `nameLength` characters, below the folder
// `root`, with files in its deepest folder: a tree whose paths are far longer than one
// system call takes. It is built and removed through folder descriptors, which is also
// the only way to reach it.
class DeepChain
{
public:
    DeepChain(const QString &root, int depth, int nameLength)
    {
        m_folders.push_back(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        EXPECT_GE(m_folders.back(), 0);
        for (int level = 0; level < depth; ++level) {
            const QByteArray name = QByteArray::number(level).rightJustified(3, '0').leftJustified(nameLength, 'x');
            EXPECT_EQ(mkdirat(m_folders.back(), name.constData(), 0755), 0);
            m_folders.push_back(openat(m_folders.back(), name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            EXPECT_GE(m_folders.back(), 0);
            m_names.push_back(name);
            m_relative += QString::fromUtf8(name) + u'/';
        }
    }
    ~DeepChain()
    {
        for (const QByteArray &file : m_files)
            unlinkat(m_folders.back(), file.constData(), 0);
        for (size_t level = m_names.size(); level > 0; --level) {
            ::close(m_folders[level]);
            unlinkat(m_folders[level - 1], m_names[level - 1].constData(), AT_REMOVEDIR);
        }
        ::close(m_folders.front());
    }
    DeepChain(const DeepChain &) = delete;
    DeepChain &operator=(const DeepChain &) = delete;

    // The deepest folder's path relative to the root, ending with "/".
    const QString &relative() const { return m_relative; }
    // The deepest folder, open.
    int deepest() const { return m_folders.back(); }

    // Writes the file `name` into the deepest folder with the modification time `modified`.
    void writeFile(const QByteArray &name, const QByteArray &content, qint64 modified)
    {
        const int file = openat(m_folders.back(), name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(file, 0);
        EXPECT_EQ(::write(file, content.constData(), size_t(content.size())), content.size());
        const struct timespec times[2] = {{modified, 0}, {modified, 0}};
        futimens(file, times);
        ::close(file);
        m_files.push_back(name);
    }

private:
    // The root's descriptor, then one per folder of the chain.
    std::vector<int> m_folders;
    std::vector<QByteArray> m_names;
    std::vector<QByteArray> m_files;
    QString m_relative;
};

} // namespace platform::testing
