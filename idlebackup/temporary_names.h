#pragma once

#include "platform/run_mark.h"

#include <QByteArray>
#include <QByteArrayView>

namespace idlebackup {

// Names of the backup program's temporary files, which stand beside a copy while it is
// written: ".zelquin-<boot>-<process id>-<counter>-<check>.tmp" (platform::RunMark),
// where the check is twelve hexadecimal digits of a SHA-256 digest of the machine and the
// rest of the name. No name that a user gives a file, and none made on another machine
// (a backup folder that two machines write into), passes for one by chance, so the walks
// leave out, and the clean-up removes, only files that this program made on this machine
// (or that its earlier versions made, see IsTemporaryName).

// The temporary name that the run `run` gives its `counter`th temporary file.
QByteArray TemporaryName(const platform::RunMark &run, quint64 counter);
// A new temporary name of this process, unique within it.
QByteArray NewTemporaryName();

// Whether `name` (a name without folder) is one that NewTemporaryName gives on this
// machine, in any boot and process, or one that earlier versions gave their temporary
// files: ".zelquin-<process id>-<counter>-<check>.tmp", the check twelve hexadecimal
// digits of a SHA-256 digest of the rest of the name. The walks leave such files out.
bool IsTemporaryName(QByteArrayView name);

// Removes from the open folder `folder` the temporary files (regular files with a
// temporary name) whose run has ended (platform::RunMark::hasEnded), or is this process
// (whose copies remove their own before a walk looks again); one of an earlier version,
// whose name tells neither machine nor boot, once no process of its number is left.
// Failures are passed over.
void RemoveStaleTemporaries(int folder);

} // namespace idlebackup
