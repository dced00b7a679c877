#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <utility>
#include <vector>

namespace idlebackup {

// A file descriptor that closes itself.
class Descriptor
{
public:
    Descriptor() = default;
    explicit Descriptor(int descriptor)
        : m_descriptor(descriptor)
    {
    }
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept
        : m_descriptor(std::exchange(other.m_descriptor, -1))
    {
    }
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_descriptor = std::exchange(other.m_descriptor, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_descriptor; }
    bool isOpen() const { return m_descriptor >= 0; }
    void reset();

private:
    int m_descriptor = -1;
};

// Opens the folder `path` (an encoded absolute path; links on the way and at its end are
// followed, as the user's own paths are). -1 with errno on failure.
Descriptor OpenFolder(const QByteArray &path);
// Opens the folder `name` of the open folder `parent` without following a link at
// `name`: a link there fails with ELOOP (or ENOTDIR), so a walk never leaves its tree.
Descriptor OpenFolderAt(int parent, const QByteArray &name);

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
    qint64 modifiedSeconds = 0; // of the file a File entry leads to
    dev_t device = 0;           // of the entry itself; 0 where it was not examined
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

// Lists the open folder `folder`: every entry but "." and ".." and this program's
// temporary files, folders first, then in the byte order of the names. Returns 0, or the
// errno of the failure when the folder cannot be read to its end (the list is then not
// to be used).
int ListFolderAt(int folder, ListingDepth depth, std::vector<FolderEntry> &entries);

} // namespace idlebackup
