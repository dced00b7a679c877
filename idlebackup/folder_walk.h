#pragma once

#include "platform/descriptor.h"
#include "platform/file_handles.h"
#include "platform/folder_descent.h"

#include <QByteArray>
#include <QByteArrayView>

#include <ctime>
#include <sys/types.h>

#include <vector>

namespace idlebackup {

using platform::Descriptor;
using platform::OpenFolder;
using platform::OpenFolderAt;

// What a walk sees of an entry of a folder.
enum class EntryKind {
    File,       // a regular file, or a link that leads to one
    Folder,     // a real folder
    FolderLink, // a link that leads to a folder
    Other,      // anything else: special files, links that lead nowhere or elsewhere
};

struct FolderEntry
{
    QByteArray name;
    EntryKind kind = EntryKind::Other;
    timespec modified{}; // of the file a File entry leads to
    // The file a File entry leads to (Examined): its device, inode, size and time, which
    // the copy checks once it has opened the file.
    platform::FileIdentity file;
    dev_t device = 0; // of the entry itself; 0 where it was not examined
};

// Which entries of a folder a walk lists and how closely it looks at them.
enum class ListingDepth {
    // Every entry with its kind, time and device (the side that a walk copies from).
    Examined,
    // Every entry, told apart only as a real folder (Folder), a regular file (File, no
    // link) or anything else (Other), without examining each where the folder's own
    // listing tells (both sides of a delete walk).
    KindsOnly,
};

// Lists the open folder `folder`: every entry but "." and ".." and the temporary files
// of copies (platform::isTemporaryFileNameOfThisMachine), folders first, then in the
// byte order of the names. Returns 0, or the errno of the failure when the folder cannot
// be read to its end (the list is then not to be used).
int ListFolderAt(int folder, ListingDepth depth, std::vector<FolderEntry> &entries);

} // namespace idlebackup
