#pragma once

#include "foldercompare/listing/file_info_log.h"
#include "foldercompare/listing/gathering_facts.h"

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
// Copies share what they hold.
class ComparedListing
{
public:
    // A side that was not compared: it holds nothing, under no root.
    ComparedListing() = default;
    // `singleFile`: the root is a single file, whose listing holds its one record.
    ComparedListing(QString root, bool singleFile, QByteArray listing, std::optional<GatheringFacts> facts);

    // The side's root at the comparison (SideRoot then); empty when it was not compared.
    const QString &root() const;
    // The record of the relative path `relative` ("a/b.txt", "a/" for a folder), or for a
    // single-file root its one record whatever the path; nullopt where there is none.
    std::optional<FileInfoRecord> record(const QString &relative) const;
    // Whether an entry examined as `now` (links followed; nullptr when nothing is there)
    // is the entry held for `relative`, or where none is, for the same name as the other
    // kind ("a" for "a/", or the reverse): nothing where nothing is held; a regular file of
    // the held size and date (local time, whole seconds) where a file is; a folder where
    // a folder is.
    bool matches(const QString &relative, const struct stat *now) const;
    // False when the gathering read the folder `relativeFolder` ("" for the root, others
    // ending with "/") and it was another folder than the one examined as `now`; true
    // where the gathering has no identity of it.
    bool sameFolder(const QString &relativeFolder, const struct stat &now) const;

private:
    struct Data;
    std::shared_ptr<Data> m_data;
};

} // namespace foldercompare::listing
