#pragma once

#include "foldercompare/listing/compared_listing.h"
#include "foldercompare/listing/gathering_facts.h"
#include "foldercompare/listing/result_rows.h"
#include "foldercompare/listing/work_host.h"

#include <QString>

#include <array>
#include <optional>

namespace platform {
class FlexGrid;
} // namespace platform

namespace foldercompare::listing {

// The content comparison that the merge asks when contents count (see ContentComparer).
class ContentCheck
{
public:
    virtual ~ContentCheck() = default;

    struct FileResult
    {
        bool differ = true;
        // Character-code names of the two files, empty where a file was not judged.
        QString code1;
        QString code2;
    };
    // Compares two files.
    virtual FileResult CheckFileUpd(const QString &path1, const QString &path2) = 0;
    // True when two folder trees differ in the contents of like-named files.
    virtual bool CheckFolderUpd(const QString &path1, const QString &path2) = 0;
    // The character-code name of one file.
    virtual QString GetFileCode(const QString &path) = 0;
};

// What the merge needs of the window besides the WorkHost services.
class CompareHost : public WorkHost
{
public:
    // Resets the result grid to its empty five-column form (GridInit).
    virtual void resetGrid() = 0;
};

// Everything one comparison reads from the window and the settings.
struct CompareRequest
{
    // Per side: it has information (a current listing), its listing file, its root, and
    // the text of its path box.
    std::array<bool, 2> hasInformation{};
    std::array<QString, 2> listingFile;
    std::array<QString, 2> sideRoot;
    std::array<QString, 2> pathText;
    // Per side: its entries come from a server's listing (an FTP side). Such a listing may
    // state only the minute, or only the day for older entries: a date of such a side whose
    // seconds are 0 is compared to the minute, one at 00:00:00 to the day. A file it lists
    // is there even when the mirror holds no copy (a file the server refused to send).
    std::array<bool, 2> fromServerListing{};
    // What the gathering of each side saw, when the window still has it. Listed files in
    // folders that cannot have changed since are taken as there without reading the
    // folders again; facts that do not match the listing file or the root are ignored.
    std::array<std::optional<GatheringFacts>, 2> gathered;
    // Include and exclude pattern texts (comma separated).
    QString includePatterns;
    QString excludePatterns;
    bool differencesOnly = false; // 差分のみ
    bool compareContents = false; // データ比較
    bool listSubfolders = true;   // サブフォルダ内を表示する
    bool updDateNone = false;     // a date difference is no difference
    bool newDateAsta = false;     // mark the newer date with "*"
    bool textCodeDsp = false;     // show character codes instead of dates
    StatusColors colors;
    // Most result rows written; the comparison stops when it is reached.
    int lineMax = 10000;
    // The relative path that was in the grid's top row, and whether the first differing
    // row is wanted instead.
    QString topRowPath;
    bool showFirstDiff = false;
};

struct CompareOutcome
{
    // Merge steps completed (one per relative path).
    int compareCount = 0;
    // Rows written with the status "変更", "追加" or "削除".
    int diffRowCount = 0;
    // The row limit stopped the comparison with entries left to compare; `limitMessage`
    // is the notice for the user.
    bool rowLimitReached = false;
    QString limitMessage;
    // ShowFirstDiff after the comparison: cleared when the list has rows.
    bool showFirstDiff = false;
    // Each side as the merge read it, for the file operations on the rows.
    std::array<ComparedListing, 2> compared;
};

// CompareFiles: merges the two sorted listing files into `grid` (reset through the host
// first), one row per relative path with running number, status, each side's date (or
// character code) and the path; colours each run of rows by status; fills `tips` with
// the two tooltip texts of every row (indexed by the row's row data, which is its grid
// row); and positions the grid. Entries pair only when their relative paths are equal
// exactly. Differences only drops every row without status, and the row's status, not
// its colour, decides what counts as a difference. The host's abort ends the merge with
// the rows built so far. Throws common::Failure for a listing that cannot be read or that
// a hand edit damaged; the rows built so far then stay.
CompareOutcome CompareListings(const CompareRequest &request, platform::FlexGrid &grid, RowTipTable &tips,
                               CompareHost &host, ContentCheck &content);

} // namespace foldercompare::listing
