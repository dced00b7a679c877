#pragma once

#include <QString>

#include <optional>

namespace foldercompare::listing {

// Creates the missing folders of `path` from the top down, stopping at the element
// `level` steps above the path (0: the path itself, 1: only the folders above it).
// `created` tells whether any folder was made. A folder that cannot be made is
// reported as a failure of "CreateFolder" through the message-box wrapper; `created`
// then tells whether a folder was made before it. Returns false on that failure.
bool CreateFolder(const QString &path, int level, bool &created);

// CreateFolder without the report: the system's reason and the folder that could not be
// made, or nullopt when every level is there.
std::optional<QString> MakeFolders(const QString &path, int level, bool &created);

// Deletes `folder` with its contents when it exists. Symbolic links inside are removed
// as links, never followed; read-only files (no write permission for the owner) are not
// forced and stay, with the folders that hold them. Failures are passed over silently.
void DeleteFolderIfExists(const QString &folder);

// Copies the contents of the folder `source` into the folder `target` (created when
// missing), subfolders included, replacing files of the same name; each file is written
// under a temporary name and renamed over the old one only when complete, and keeps the
// source's modification time. Symbolic links are copied as what they point to, but a
// link to a folder being copied is not followed. Returns false when anything could not
// be copied; the rest is copied all the same.
bool CopyFolderContents(const QString &source, const QString &target);

} // namespace foldercompare::listing
