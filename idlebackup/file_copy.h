#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace idlebackup {

// An item named within an open folder (`folder` a descriptor, `name` the bytes the disk
// holds), with the text that names it in messages.
struct FileAt
{
    int folder = -1;
    QByteArray name;
    QString display;
};

// What a file copy asks of its caller while it runs.
struct CopyCallbacks
{
    // False stops the copy between two steps (it then fails with "中止").
    std::function<bool()> going;
    // The pacing after each step (BreakeTime with 0, or 999 after a step was copied).
    std::function<void(qint16 code)> pause;
    // After each step copied, with the bytes copied so far.
    std::function<void(qint64 total)> progress;
};

// Copies the regular file `source` over the item `target` without ever putting the old
// copy at risk: the bytes go in steps of 102,400 (platform::CopyFileContents: a clone
// or a copy within the system where the file systems allow) to a new temporary file of
// this program (NewTemporaryName) in the target's folder, every count is checked, the source
// must not change or be replaced meanwhile, the file gets the source's permission bits
// (without set-user and set-group bits; a file system that cannot hold them still gets
// the data, as "cp -p" does) and times (to the nanosecond), is synced and closed, and only then is renamed
// over the target. A link at the target is replaced, never written through.
//
// Returns false, doing nothing, when the target is the source itself (one device and
// inode), true when the copy is in place. Raises common::Failure for every failure; the
// target is then as it was and no temporary file stays.
//
// This is the one step of the backup that writes file contents; the walks and the
// bookkeeping around it do not depend on how it does so.
bool CopyFileAt(const FileAt &source, const FileAt &target, const CopyCallbacks &callbacks);

} // namespace idlebackup
