#pragma once

#include "platform/testing/temporary_folder.h"

#include <QString>

#include <sys/resource.h>

#include <thread>

namespace platform::testing {

// A file system of 1 MiB (tmpfs) mounted for one test on a fresh folder and unmounted at
// its end, so that writes into it run out of space for real. Only the superuser can
// mount it; elsewhere isMounted() is false and the test skips what needs it.
class SmallFileSystem
{
public:
    SmallFileSystem();
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_mountPoint.path(); }
    QString filePath(const QString &relative) const { return m_mountPoint.filePath(relative); }
    // Takes up every free block with the file "filler", so that the next write that needs
    // a block fails with ENOSPC.
    void fill() const;

private:
    TemporaryFolder m_mountPoint;
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
