#pragma once

#include "foldercompare/listing/ftp_side.h"
#include "foldercompare/listing/gathering_facts.h"
#include "foldercompare/listing/work_host.h"

#include <QString>
#include <QStringList>

#include <exception>
#include <optional>
#include <vector>

namespace foldercompare::listing {

// How the gathering of one side ended.
struct GatherOutcome
{
    enum class Kind {
        // The listing file and its ".bak" copy were written completely.
        Written,
        // The user aborted; the listing file and its copy were not touched.
        Aborted,
        // The root could not be read (reported through the host), or an FTP side's server
        // could not be reached or its folder entered; nothing was written.
        RootUnreadable,
    };
    Kind kind = Kind::Written;
    // Records written.
    qint64 writtenCount = 0;
    // Relative paths left out because a listing cannot hold their names or because
    // they could not be examined (see WalkResult).
    QStringList excludedPaths;
    // Relative paths of symbolic links that lead nowhere, left out (a local side).
    QStringList linksLeadingNowhere;
    // What the walk saw, for the comparison that follows (a folder root only).
    std::optional<GatheringFacts> facts;
    // An FTP side: the file-name code its server's names were read in, which the side
    // keeps for the names it sends later (copies, deletes, downloads).
    QString fileNameCode;
};

// Gathers the local folder or file `text` into the listing file `listingPath`: walks it
// (TreeWalk with `folderNum`), sorts the records by CompareItem, and, unless the user
// aborted meanwhile, writes the listing and then its copy `listingPath` + ".bak", each
// through a temporary file that replaces the old one only once it is complete. Throws
// common::Failure when a file cannot be written; the old files then stay as they were.
GatherOutcome GatherLocalSide(const QString &text, const QString &listingPath, int folderNum, WorkHost &host);

// One local side for GatherLocalSides: the folder or file typed, and its listing file.
struct LocalSide
{
    QString text;
    QString listingPath;
};

// How one side of GatherLocalSides ended: its outcome, or the failure (common::Failure)
// that GatherLocalSide would have thrown for it, for the caller to raise in that side's
// turn.
struct LocalSideResult
{
    GatherOutcome outcome;
    std::exception_ptr failure;
};

// Gathers the local sides `sides` at once, each as GatherLocalSide does: one walk reads
// all of them on the same worker threads, and their listings are written side by side
// while the host keeps pumping events. An abort before the writing stops every side,
// and no listing is written; the writing, once begun, is completed. Returns one result
// per side, in the order given.
std::vector<LocalSideResult> GatherLocalSides(const std::vector<LocalSide> &sides, int folderNum, WorkHost &host);

// Gathers the FTP address `address` the same way: GetFtpDate mirrors it into
// `cacheFolder` with the side's file-name code and completes a folder address with "/";
// the records are sorted and written unless the user aborted meanwhile. Throws
// common::Failure for a failure of the walk (after disconnecting) or of the writing; the
// old files then stay as they were.
GatherOutcome GatherFtpSide(QString &address, const QString &listingPath, const QString &cacheFolder,
                            const QString &fileNameCode, FtpGathering &gathering);

} // namespace foldercompare::listing
