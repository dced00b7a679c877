#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace idlebackup {

// Names of the backup program's temporary files, which stand beside a copy while it is
// written: ".zelquin-<process id>-<counter>-<check>.tmp", where the check is twelve
// hexadecimal digits of a SHA-256 digest of the rest of the name. No name that a user
// gives a file passes for one by chance, so the walks leave out, and the clean-up
// removes, only files that this program made.

// The temporary name that process `process` gives its `counter`th temporary file.
QByteArray TemporaryName(qint64 process, quint64 counter);
// A new temporary name of this process, unique within it.
QByteArray NewTemporaryName();

// The id of the process that made the temporary file named `name` (a name without
// folder); nullopt for every name that NewTemporaryName does not give.
std::optional<qint64> TemporaryNameProcess(QByteArrayView name);

// Removes from the open folder `folder` the temporary files (regular files with a
// temporary name) whose process has ended, or is this one (whose copies remove their
// own before a walk looks again). Failures are passed over.
void RemoveStaleTemporaries(int folder);

} // namespace idlebackup
