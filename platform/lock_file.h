#pragma once

#include <QString>

#include <chrono>
#include <optional>

namespace platform {

// A lock file, in the user's runtime folder or in a folder that it claims, held with
// flock() for as long as the object lives. The kernel drops the lock when the process ends, however it ends, so a lock
// left by a crashed process never blocks anyone.
class LockFile
{
public:
    // Takes the lock named `name` when nobody holds it; nullopt when another process (or
    // another LockFile of this process) holds it, or the lock file cannot be opened or is
    // none of ours (a link, a FIFO, a file that another user owns or may write to).
    static std::optional<LockFile> tryLock(const QString &name);

    // Waits until the lock named `name` is free and takes it, but no longer than
    // `patience`: nullopt when the lock is still held then (by a process that hangs, or
    // one that means harm), or the lock file cannot be opened. Our own holders keep a
    // lock for milliseconds.
    static std::optional<LockFile> lock(const QString &name,
                                        std::chrono::milliseconds patience = std::chrono::seconds(10));

    // Takes the lock of the folder `folder` itself, a lock file inside it, so that every
    // process that could use the folder sees the lock, whatever runtime folder it has.
    // The folder is made (mode 0700) when missing. nullopt when another process holds the
    // lock, or the folder is none of ours: a symbolic link, no folder, owned by another
    // user (root and a user sharing one program folder never share a folder of it), or
    // its lock file is none of ours as tryLock() tells. A folder of ours that gives group
    // or others any right is made 0700 first, as a new one is.
    static std::optional<LockFile> tryLockFolder(const QString &folder);

    LockFile(LockFile &&other) noexcept;
    LockFile &operator=(LockFile &&other) noexcept;
    LockFile(const LockFile &) = delete;
    LockFile &operator=(const LockFile &) = delete;
    ~LockFile();

    // Full path of the lock file for `name` (names are made safe for the file system);
    // empty when there is no runtime folder fit for lock files (see findRuntimeFolder).
    static QString pathFor(const QString &name);

private:
    explicit LockFile(int descriptor);
    static std::optional<LockFile> acquire(const QString &name, std::chrono::milliseconds patience);
    void release();

    int m_descriptor = -1;
};

} // namespace platform
