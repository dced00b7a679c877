#include "platform/testing/write_faults.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace platform::testing {

SmallFileSystem::SmallFileSystem(const QString &mountPoint)
    : m_path(mountPoint.isEmpty() ? m_ownFolder.path() : mountPoint)
{
    if (::geteuid() != 0)
        return;
    m_mounted = ::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", 0, "size=1m,mode=0755") == 0;
}

SmallFileSystem::~SmallFileSystem()
{
    unmount();
}

void SmallFileSystem::unmount()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    m_mounted = false;
}

BindMount::BindMount(const QString &source, const QString &mountPoint)
    : m_mountPoint(mountPoint)
{
    if (::geteuid() != 0)
        return;
    m_mounted = ::mount(QFile::encodeName(source).constData(), QFile::encodeName(mountPoint).constData(), nullptr,
                        MS_BIND, nullptr)
                == 0;
}

BindMount::~BindMount()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_mountPoint).constData(), MNT_DETACH);
}

FatFileSystem::FatFileSystem()
{
    const QStringList systemFolders{QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin")};
    const QString makeFat = QStandardPaths::findExecutable(QStringLiteral("mkfs.vfat"), systemFolders);
    const QString fuseFat = QStandardPaths::findExecutable(QStringLiteral("fusefat"), systemFolders);
    if (::geteuid() != 0 || makeFat.isEmpty() || fuseFat.isEmpty())
        return;
    const QString image = m_folder.filePath(QStringLiteral("fat.img"));
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(8 * 1024 * 1024))
        return;
    file.close();
    m_folder.makeFolder(QStringLiteral("mounted"));
    const auto run = [](const QString &program, const QStringList &arguments) {
        QProcess process;
        // The FUSE server stays behind as a daemon: it must not write into a pipe of ours.
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(program, arguments);
        return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    };
    if (!run(makeFat, {image}) || !run(fuseFat, {QStringLiteral("-o"), QStringLiteral("rw+"), image, path()}))
        return;
    struct stat mounted;
    struct stat folder;
    m_mounted = ::stat(QFile::encodeName(path()).constData(), &mounted) == 0
                && ::stat(QFile::encodeName(m_folder.path()).constData(), &folder) == 0
                && mounted.st_dev != folder.st_dev;
}

FatFileSystem::~FatFileSystem()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(path()).constData(), MNT_DETACH);
}

void SmallFileSystem::fill() const
{
    const int descriptor = ::open(QFile::encodeName(filePath("filler")).constData(),
                                  O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(descriptor, 0);
    const QByteArray block(4096, 'f');
    while (::write(descriptor, block.constData(), size_t(block.size())) > 0) {
    }
    ::close(descriptor);
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    EXPECT_EQ(::getrlimit(RLIMIT_FSIZE, &m_saved), 0);
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lowered = m_saved;
    lowered.rlim_cur = rlim_t(bytes);
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
}

FileSizeLimit::~FileSizeLimit()
{
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &m_saved), 0);
    std::signal(SIGXFSZ, m_savedHandler);
}

OpenFileLimit::OpenFileLimit(int descriptors)
{
    EXPECT_EQ(::getrlimit(RLIMIT_NOFILE, &m_saved), 0);
    struct rlimit lowered = m_saved;
    lowered.rlim_cur = rlim_t(descriptors);
    EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
}

OpenFileLimit::~OpenFileLimit()
{
    EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &m_saved), 0);
}

int OpenFileLimit::lowestFree()
{
    const int descriptor = ::fcntl(0, F_DUPFD_CLOEXEC, 0);
    ::close(descriptor);
    return descriptor;
}

FifoReader::FifoReader(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int readingEnd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(readingEnd, 0) << path.toStdString();
    if (readingEnd < 0)
        return;
    m_writingEnd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    EXPECT_GE(m_writingEnd, 0) << path.toStdString();
    ::fcntl(readingEnd, F_SETFL, 0);
    m_reader = std::thread([this, readingEnd] {
        QFile end;
        if (end.open(readingEnd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            m_read = end.readAll();
    });
}

FifoReader::~FifoReader()
{
    finish();
}

QByteArray FifoReader::finish()
{
    if (m_writingEnd >= 0)
        ::close(std::exchange(m_writingEnd, -1));
    if (m_reader.joinable())
        m_reader.join();
    return m_read;
}

} // namespace platform::testing
