#pragma once

#include "foldercompare/listing/file_info_log.h"
#include "foldercompare/listing/gathering_facts.h"
#include "foldercompare/listing/work_host.h"
#include "foldercompare/listing/worker_threads.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace foldercompare::listing {

// What a walk found below one side's root.
struct WalkResult
{
    // One entry per listed file and folder, in the listing's order unless needsSort.
    std::vector<GatheredEntry> entries;
    // Two folders of one parent differ only in letter case, so their contents are not
    // in order yet.
    bool needsSort = false;
    // Relative paths of entries that a listing cannot hold (names that are not valid
    // UTF-8 or that hold a TAB or a line break), and of entries that could not be
    // examined (an entry removed while its folder was read, one that may not be
    // examined); they and everything below them are left out, and the walk goes on.
    QStringList excludedPaths;
    // Relative paths of symbolic links that lead nowhere (what they name is not there,
    // or they lead round in a loop): left out as well, though their names are fine.
    QStringList linksLeadingNowhere;
    // The walk stopped because the user asked to abort; it holds nothing else.
    bool aborted = false;
    // The root itself could not be read (reported through the host); nothing is listed.
    bool rootUnreadable = false;
    // What the walk of a folder root saw (all but the listing's identity).
    GatheringFacts facts;
};

// The walk of a local side (GetFileDate). A folder root lists everything below it, each
// folder's entries in the listing's order (so the entries need no sort of their own), a
// folder at depth d (the root is 1) listing its children only while d <= folderNum. A
// folder's record carries the newest date of the records below it (its own date when
// nothing dated lies below), their total size and the number of entries below it at any
// depth. A file root lists the file alone under its name. Symbolic links are listed as
// what they point to; a link back to a folder being walked is listed with its own date
// and nothing below it, so a loop is never followed. Entries directly under the root
// whose names begin with RECYCLER or SYSTEM VOLUME INFORMATION (any letter case), and the
// trash and lost+found folders there, are left out with everything below them; so are the
// temporary files that our writes killed before they ended left anywhere
// (platform::isLeftoverTemporaryFileName). A folder that cannot be read is reported as a failure of "GetFileDate" and left out; the walk
// goes on. Every entry is opened and examined relative to its folder's descriptor, so
// the depth of a tree and the length of its paths set no limit.
//
// The folders are read on worker threads while the calling (window) thread pumps events,
// shows the folder being read in the caption and watches the abort flag; the records
// are then put together on the calling thread, in the listing's order, whatever order
// the threads read the folders in: the result, the excluded paths and the failures
// reported (in the order of the records they concern) are the same for any number of
// threads.
class TreeWalk
{
public:
    // `threadCount` threads read the folders.
    TreeWalk(WorkHost &host, int folderNum, int threadCount = WorkerThreads::DefaultThreadCount());

    // Walks the folder or file that `text` names, resolved by ResolveLocalRoot.
    WalkResult walk(const QString &text);

    // Walks the roots that `texts` name at once, their folders read by the same threads;
    // each result is what walk() gives for its root. Failures are reported root by root,
    // in the order of the texts. An abort stops every walk.
    std::vector<WalkResult> walk(const QStringList &texts);

    // The text shown in the caption while the walk is in the folder `relativeFolder`
    // (ending with "/", empty for the root) below `rootPrefix` (ending with "/").
    static QString ProgressCaption(const QString &rootPrefix, const QString &relativeFolder);

private:
    WorkHost &m_host;
    int m_folderNum;
    int m_threadCount;
};

// What a walked folder holds, local or FTP: the newest date below it, the total size and
// the number of entries at any depth.
struct FolderTotals
{
    bool dated = false;
    qint64 newest = 0;
    qint64 size = 0;
    qint64 count = 0;

    // Counts one child with the `childCount` entries below it; its date counts only when
    // `childDated`. The size (childSize is not negative) saturates at the largest qint64.
    void add(bool childDated, qint64 childDate, qint64 childSize, qint64 childCount);
};

// True for a text that a listing line can hold as a path: no TAB and no line break.
bool FitsListingLine(const QString &text);

// True for a file name (as read from the file system, and decoded) that a listing line
// can hold: it decodes and encodes back to the same bytes and FitsListingLine.
bool IsListableName(const QByteArray &raw, const QString &name);

// The root of a local side as gathering uses it: the absolute, clean path of the typed
// text, whether it names a file, and the folder whose path, followed by "/", is cut from
// every entry's path (the root itself, or a file root's parent folder).
struct LocalRoot
{
    QString absolutePath;
    QString rootPrefix; // ends with "/"
    bool isFile = false;
};
LocalRoot ResolveLocalRoot(const QString &text);

} // namespace foldercompare::listing
