#pragma once

#include <QByteArray>

#include <functional>

namespace platform {

// Seams of the copy writer (createTemporaryFileBeside, WrittenCopy::place) through which
// tests bring in what only some file systems or other programs bring: a file system that
// makes no unnamed file or takes no flag of renameat2, and another program that acts on
// a target at the moment a copy takes its name. None is set outside tests. The writer's
// threads read them without a lock: they are set while no copy is under way.
struct CopyWriterHooks
{
    // Temporary files cannot be made unnamed (O_TMPFILE is refused).
    bool refuseUnnamedFiles = false;
    // renameat2 refuses RENAME_NOREPLACE and RENAME_EXCHANGE (EINVAL).
    bool refuseRenameFlags = false;
    // Runs just before a copy takes the name `target` in the open folder `folder`, after
    // the last look at the target and its trash backup.
    std::function<void(int folder, const QByteArray &target)> beforeRename;
};

// The hooks in force: none until setCopyWriterHooks.
const CopyWriterHooks &copyWriterHooks();
// Puts `hooks` in force; CopyWriterHooks() takes them all away again.
void setCopyWriterHooks(const CopyWriterHooks &hooks);

} // namespace platform
