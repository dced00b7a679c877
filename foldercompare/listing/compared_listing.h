#pragma once

#include "foldercompare/listing/file_info_log.h"
#include "foldercompare/listing/gathering_facts.h"
#include "platform/file_handles.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

struct stat;

namespace foldercompare::listing {

// One side of a comparison as the merge read it: the root it was gathered from, its
// listing and, where they applied to that listing, the facts of its gathering. The file
// operations act on a row's entry only while it is still the entry that this holds for
// it, so that nothing saved or made after the comparison is overwritten or deleted.
// What the program itself wrote, re-dated, converted, placed or deleted there since is
// held as the program left it (note), so that only other programs' changes count; the
// list keeps showing the comparison until it is gathered again. Copies share what they
// hold, the program's own writes too.
class ComparedListing
{
public:
    // What is held for one relative path.
    struct Entry
    {
        bool folder = false;
        // "yyyy/mm/dd hh:mm:ss" in local time, and the size in bytes as decimal text;
        // the size is empty where the listing carries none (the line of a single file of
        // a server, or a server's listing without sizes).
        QByteArray date;
        QByteArray size;
        // A local file as its gathering, or the program's own write, saw it: compared in
        // place of the two texts, to the nanosecond.
        std::optional<platform::FileIdentity> identity;
    };

    // A side that was not compared: it holds nothing, under no root.
    ComparedListing() = default;
    // `singleFile`: the root is a single file, whose listing holds its one record.
    ComparedListing(QString root, bool singleFile, QByteArray listing, std::optional<GatheringFacts> facts);

    // The entry of a local file, folder or other entry examined as `info`.
    static Entry EntryOf(const struct stat &info);

    // The side's root at the comparison (SideRoot then); empty when it was not compared.
    const QString &root() const;
    // Whether an entry is held for the relative path `relative` ("a/b.txt", "a/" for a
    // folder; for a single-file root its one file whatever the path), or for the same
    // name as the other kind ("a" for "a/", or the reverse).
    bool holdsName(const QString &relative) const;
    // Whether an entry examined as `now` (links followed; nullptr when nothing is there)
    // is the entry held for `relative`, or where none is, for the same name as the other
    // kind, which another row of the comparison showed: nothing where nothing is held; a folder where a
    // folder is; else a regular file of the held identity (its size and modification time
    // to the nanosecond, and with `inodesKept` its device and inode), or where none is
    // held, of the held size and date (local time, whole seconds).
    bool matches(const QString &relative, const struct stat *now, bool inodesKept) const;
    // The same for an entry that a server lists now (`listed`; nullopt when it lists
    // none): a folder where a folder is held, else a file of the held date and size, each
    // as the listing gives it (a size that either side lacks is not compared).
    bool matchesListed(const QString &relative, const std::optional<Entry> &listed) const;
    // False when the gathering read the folder `relativeFolder` ("" for the root, others
    // ending with "/") and it was another folder than the one examined as `now`; true
    // where the gathering has no identity of it, or the program made it since.
    bool sameFolder(const QString &relativeFolder, const struct stat &now) const;
    // Whether the program noted since that nothing is left at `relative`: it deleted
    // what was there, or a folder above it.
    bool removedByProgram(const QString &relative) const;
    // Whether the gathering could not read the folder `relativeFolder` (ending with "/")
    // to its end, so that what it holds was never listed.
    bool unreadAtGathering(const QString &relativeFolder) const;

    // Holds from now on for `relative` what the program left there: `written`, or with
    // nullopt nothing, there nor below it. A folder that the program made where nothing
    // was held holds nothing of the listing below it.
    void note(const QString &relative, const std::optional<Entry> &written);
    // Takes over what the program left on the side as `earlier` holds it, where `earlier`
    // stands for the very same listing of the same root: the side was compared again
    // without being gathered again.
    void keepNotesOf(const ComparedListing &earlier);

private:
    struct Data;
    std::shared_ptr<Data> m_data;
};

} // namespace foldercompare::listing
