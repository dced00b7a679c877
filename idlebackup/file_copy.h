#pragma once

#include <QByteArray>
#include <QString>

#include "common/saved_error.h"
#include "platform/descriptor.h"
#include "platform/file_copy.h"
#include "platform/file_handles.h"

#include <functional>
#include <memory>

namespace idlebackup {

// An item named within an open folder (`folder` a descriptor, `name` the bytes the disk
// holds), with the text that names it in messages.
struct FileAt
{
    int folder = -1;
    QByteArray name;
    QString display;
};

// The source of a copy as the walk that decided on it listed it: the item, whether a
// link in its place is followed (a link in the original leads to the file that is
// backed up; one in the backup is never read), and the file the walk saw there.
struct CopySource
{
    FileAt at;
    bool followsLink = true;
    platform::FileIdentity listed;
    // A source that changes while it is read still leaves a copy of what was read
    // (platform::CopySource::keepsChangedRead).
    bool keepsChangedRead = false;
};

// The failure of a copy whose source, which is not to be read through a link, is a link.
class CopySourceIsLink : public common::Failure
{
public:
    using common::Failure::Failure;
};

// The failure of a copy whose source is no longer the file that the walk listed: replaced
// after the walk or given an older time, or removed or replaced while it was read. The next pass
// decides on it again.
class CopySourceReplaced : public common::Failure
{
public:
    using common::Failure::Failure;
};

// The failure of a copy whose source changed while it was read, or was written to
// since the walk listed it: a file that is being written to.
class CopySourceChanging : public common::Failure
{
public:
    using common::Failure::Failure;
};

// The failure of a copy for want of space on its target's disk (ENOSPC, EDQUOT): the
// copies that wait to be placed may hold that space.
class CopyOutOfSpace : public common::Failure
{
public:
    using common::Failure::Failure;
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

// A copy written by WriteCopyAt: none where there is nothing to copy.
struct CopyWritten
{
    std::unique_ptr<platform::WrittenCopy> copy;
    // The copy holds what was read of a source that changed meanwhile.
    bool sourceChanged = false;
};

// Writes the copy of `source` for `target` through platform::WriteCopy (`folder` is the
// target's folder, open; `target.folder` is its descriptor), in steps of 102,400 bytes
// paced by `callbacks`, without ever putting the old copy at risk: the source must be the
// file the walk listed and must neither change (unless it keepsChangedRead) nor be
// replaced meanwhile. With `syncAlone` (a FUSE file system, which a sync of the whole
// file system does not reach, or one that the batch syncs keep no descriptor for) the
// copy is synced on its own; else the caller makes it durable (platform::DurableCopies)
// before it places it. The copy is put in place only over the target in the state
// `decided` that the copy was decided on.
//
// Returns no copy, doing nothing, when the target is the file the walk listed itself (one
// device and inode; a link in the target's place is not, and is replaced). Raises
// common::Failure for every failure, CopySourceIsLink when a link stands at a source
// that is not to be followed, CopySourceReplaced when the source is not the file the
// walk listed, CopySourceChanging when it was written to since the walk or while it was
// read (unless it keepsChangedRead), CopyOutOfSpace when the target's disk has no room; no temporary
// file then stays.
//
// This is the one step of the backup that writes file contents; the walks and the
// bookkeeping around it do not depend on how it does so.
CopyWritten WriteCopyAt(const CopySource &source, const FileAt &target,
                        const std::shared_ptr<const platform::Descriptor> &folder, const platform::TargetState &decided,
                        bool syncAlone, const CopyCallbacks &callbacks);

} // namespace idlebackup
