#pragma once

#include "platform/testing/temporary_folder.h"

#include <QString>

#include <sys/resource.h>

#include <thread>

namespace platform::testing {

// A file system of 1 MiB (tmpfs) mounted for one test on a fresh folder (or on the
// existing folder `mountPoint`) and unmounted at its end, so that writes into it run out
// of space for real and disks can go away under a program. Only the superuser can mount
// it; elsewhere isMounted() is false and the test skips what needs it.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(const QString &mountPoint = QString());
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_path; }
    QString filePath(const QString &relative) const { return m_path + u'/' + relative; }
    // Takes up every free block with the file "filler", so that the next write that needs
    // a block fails with ENOSPC.
    void fill() const;
    // Unmounts it now, lazily as "umount -l" does: what is open in it stays usable.
    void unmount();

private:
    TemporaryFolder m_ownFolder;
    QString m_path;
    bool m_mounted = false;
};

// A FAT file system in an image of 8 MiB made by mkfs.vfat and mounted through FUSE by
// fusefat for one test, as a FAT backup disk that the kernel cannot mount itself is
// reached: times to two seconds, no permission bits. Only the superuser with both tools
// mounts it; elsewhere isMounted() is false and the test skips what needs it.
class FatFileSystem
{
public:
    FatFileSystem();
    ~FatFileSystem();
    FatFileSystem(const FatFileSystem &) = delete;
    FatFileSystem &operator=(const FatFileSystem &) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_folder.filePath(QStringLiteral("mounted")); }

private:
    TemporaryFolder m_folder;
    bool m_mounted = false;
};

// The folder `source` mounted once more on the existing folder `mountPoint` (a bind
// mount) for one test and unmounted at its end: the same file system under a mount of
// its own, which a rename or a link from or to the other mounts refuses (EXDEV). Only the
// superuser can mount it; elsewhere isMounted() is false and the test skips what needs it.
class BindMount
{
public:
    BindMount(const QString &source, const QString &mountPoint);
    ~BindMount();
    BindMount(const BindMount &) = delete;
    BindMount &operator=(const BindMount &) = delete;

    bool isMounted() const { return m_mounted; }

private:
    QString m_mountPoint;
    bool m_mounted = false;
};

// While alive, a write of this process (and of the processes it starts) that would make
// a file longer than `bytes` writes only up to that length and then fails with EFBIG,
// as on a disk that fills up part way: the soft RLIMIT_FSIZE is lowered and SIGXFSZ
// ignored. Any user may do this; both are restored at the end.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct rlimit m_saved = {};
    void (*m_savedHandler)(int) = nullptr;
};

// While alive, this process may open descriptors below `descriptors` only, as on a
// desktop whose default limit is low: the soft RLIMIT_NOFILE is lowered, and restored at
// the end. The default is the lowest descriptor free now: nothing more opens at all.
class OpenFileLimit
{
public:
    explicit OpenFileLimit(int descriptors = lowestFree());
    ~OpenFileLimit();
    OpenFileLimit(const OpenFileLimit &) = delete;
    OpenFileLimit &operator=(const OpenFileLimit &) = delete;

    static int lowestFree();

private:
    struct rlimit m_saved = {};
};

// Reads everything that is written into the FIFO `path` while it is alive. It holds a
// writing end of its own until finish(), so the reader never waits for a writer that
// failed before it opened the FIFO, and never sees its end before finish().
class FifoReader
{
public:
    explicit FifoReader(const QString &path);
    ~FifoReader();
    FifoReader(const FifoReader &) = delete;
    FifoReader &operator=(const FifoReader &) = delete;

    // Closes the own writing end and returns what the others wrote.
    QByteArray finish();

private:
    int m_writingEnd = -1;
    std::thread m_reader;
    QByteArray m_read;
};

} // namespace platform::testing
