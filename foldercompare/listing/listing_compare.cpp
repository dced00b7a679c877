#include "foldercompare/listing/listing_compare.h"

#include "foldercompare/listing/compare_item.h"
#include "foldercompare/listing/file_info_log.h"
#include "foldercompare/listing/long_paths.h"
#include "foldercompare/listing/target_filter.h"
#include "foldercompare/listing/tree_walk.h"
#include "platform/flex_grid.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace foldercompare::listing {

namespace {

enum Status { Same = 0, DateOnly = 2, Changed = 11, OnlyIn2 = 12, OnlyIn1 = 13 };

// Merge steps between two refreshes of the grid on screen.
constexpr int RefreshSteps = 500;

bool isExistingFile(const QString &path)
{
    struct stat info;
    return StatPath(QFile::encodeName(path), info) == 0 && S_ISREG(info.st_mode);
}

// True for a count text that is 0 as a number (an empty text counts as 0).
bool isZero(QByteArrayView count)
{
    return std::all_of(count.begin(), count.end(), [](char c) { return c == '0'; });
}

// A size text above 0 as a number.
bool isPositive(QByteArrayView size)
{
    return !isZero(size);
}

// Tells whether a listed file is still a file on the disk. The listings run through each
// folder's entries together, so each folder is read once as a whole (names and types,
// without a status call per file) and kept while its entries are asked for.
class FileCheck
{
public:
    // `root` is the folder the relative paths start from; `facts`, when given, what its
    // gathering saw.
    void setRoot(const QString &root, const GatheringFacts *facts)
    {
        m_root = QFile::encodeName(root.endsWith(u'/') ? root : root + u'/');
        m_facts = facts;
    }

    bool isFile(QByteArrayView relative)
    {
        const qsizetype slash = relative.lastIndexOf('/');
        const QByteArrayView folder = relative.first(slash + 1);
        const QByteArrayView name = relative.sliced(slash + 1);
        for (size_t i = 0; i < m_folders.size(); ++i) {
            if (m_folders[i].relative == folder) {
                if (i != 0)
                    std::rotate(m_folders.begin(), m_folders.begin() + i, m_folders.begin() + i + 1);
                return contains(m_folders.front(), relative, name);
            }
        }
        if (m_folders.size() >= KeptFolders)
            m_folders.pop_back();
        m_folders.insert(m_folders.begin(), read(folder.toByteArray()));
        return contains(m_folders.front(), relative, name);
    }

private:
    static constexpr size_t KeptFolders = 32;

    // The regular files of one folder (links followed), their names sorted bytewise.
    struct Folder
    {
        QByteArray relative;
        // Unchanged since its gathering: every listed file is still there.
        bool unchanged = false;
        QByteArray names;
        std::vector<std::pair<qsizetype, qsizetype>> spans;

        QByteArrayView name(const std::pair<qsizetype, qsizetype> &span) const
        {
            return QByteArrayView(names).sliced(span.first, span.second);
        }
        bool contains(QByteArrayView wanted) const
        {
            const auto found = std::lower_bound(spans.begin(), spans.end(), wanted,
                                                [this](const auto &span, QByteArrayView key) { return name(span) < key; });
            return found != spans.end() && name(*found) == wanted;
        }
    };

    bool contains(const Folder &folder, QByteArrayView relative, QByteArrayView name) const
    {
        if (!folder.unchanged)
            return folder.contains(name);
        if (m_facts->linkedFiles.isEmpty() || !m_facts->linkedFiles.contains(relative.toByteArray()))
            return true;
        struct stat info;
        return StatPath(m_root + relative.toByteArray(), info) == 0 && S_ISREG(info.st_mode);
    }

    Folder read(const QByteArray &relative)
    {
        Folder folder{relative, false, {}, {}};
        if (m_facts && FolderUnchangedSince(*m_facts, relative, m_trustedDevices)) {
            folder.unchanged = true;
            return folder;
        }
        const int descriptor = OpenPath(m_root + relative, O_RDONLY | O_DIRECTORY);
        DIR *dir = descriptor >= 0 ? fdopendir(descriptor) : nullptr;
        if (!dir) {
            if (descriptor >= 0)
                close(descriptor);
            return folder;
        }
        while (const dirent *entry = readdir(dir)) {
            const unsigned char type = entry->d_type;
            if (type == DT_DIR)
                continue;
            if (type != DT_REG) {
                struct stat info;
                if (fstatat(dirfd(dir), entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode))
                    continue;
            }
            const qsizetype length = qsizetype(std::strlen(entry->d_name));
            folder.spans.emplace_back(folder.names.size(), length);
            folder.names.append(entry->d_name, length);
        }
        closedir(dir);
        std::sort(folder.spans.begin(), folder.spans.end(),
                  [&folder](const auto &a, const auto &b) { return folder.name(a) < folder.name(b); });
        return folder;
    }

    QByteArray m_root;
    const GatheringFacts *m_facts = nullptr;
    QHash<dev_t, bool> m_trustedDevices;
    std::vector<Folder> m_folders;
};

// How many leading characters of the date text "yyyy/mm/dd hh:mm:ss" state something:
// all of them, or for a date of a server's listing 16 (to the minute) when its seconds
// are 0 and 10 (the day) when its time is 00:00:00.
qsizetype statedLength(QByteArrayView date, bool listed)
{
    constexpr qsizetype Minute = 16;
    constexpr qsizetype Day = 10;
    if (!listed || date.size() != 19)
        return date.size();
    if (date.endsWith(" 00:00:00"))
        return Day;
    return date.endsWith(":00") ? Minute : date.size();
}

QString joinPath(const QString &root, const QString &relative)
{
    return root.endsWith(u'/') ? root + relative : root + u'/' + relative;
}

// One side of the merge: its listing and the record in hand.
struct Side
{
    std::optional<FileInfoLogReader> reader;
    std::optional<FileInfoRecord> current;
    bool nonFolder = false;
    QString root;
    FileCheck files;
};

// The records one row shows, side 1 and side 2.
using RowRecords = std::array<std::optional<FileInfoRecord>, 2>;

class Merge
{
public:
    Merge(const CompareRequest &request, platform::FlexGrid &grid, RowTipTable &tips, CompareHost &host,
          ContentCheck &content)
        : m_request(request)
        , m_grid(grid)
        , m_tips(tips)
        , m_host(host)
        , m_content(content)
        , m_filter(request.includePatterns, request.excludePatterns, request.listSubfolders)
        , m_filterAll(request.includePatterns.isEmpty() && request.excludePatterns.isEmpty())
        , m_bothInformed(request.hasInformation[0] && request.hasInformation[1])
        , m_sameFolder(request.pathText[0] == request.pathText[1])
        , m_contents(request.compareContents && !m_sameFolder)
        , m_limit(std::max(request.lineMax, 1))
        , m_run(grid, ColourRun::SkipUncoloured)
    {
    }

    CompareOutcome run();

private:
    bool accepted(QByteArrayView path) const;
    void refill(Side &side);
    // Decides the status of the next row, consumes the records it names and fills
    // `row` with the records it shows.
    int decide(RowRecords &row, QByteArrayView &rowPath);
    int filePairStatus(const RowRecords &row, ContentCheck::FileResult &codes);
    int folderPairStatus(const FileInfoRecord &a, const FileInfoRecord &b);
    int dateStatus(QByteArrayView dateA, QByteArrayView dateB) const;
    // The two dates are the same as far as both state them.
    bool sameDate(QByteArrayView dateA, QByteArrayView dateB) const;
    QString fullPath(int side, QByteArrayView relative) const;
    bool fileExists(int side, QByteArrayView relative);
    void writeRow(int gridRow, int status, const RowRecords &row, QByteArrayView rowPath,
                  const ContentCheck::FileResult &codes);
    const QString &statusText(int status) const;

    const CompareRequest &m_request;
    platform::FlexGrid &m_grid;
    RowTipTable &m_tips;
    CompareHost &m_host;
    ContentCheck &m_content;
    TargetFilter m_filter;
    const bool m_filterAll;
    const bool m_bothInformed;
    const bool m_sameFolder;
    const bool m_contents;
    const int m_limit;
    std::array<Side, 2> m_sides;
    // The path accepted last, a view into its listing, which the merge holds whole.
    QByteArrayView m_lastAccepted;
    CaptionThrottle m_caption;
    quint32 m_accepted = 0;

    // The open run of rows of one colour; the grid was reset, so colour 0 needs no paint.
    ColourRun m_run;
    int m_targetRow = 0;
    bool m_firstDiffSeen = false;
    int m_diffRows = 0;
};

bool Merge::accepted(QByteArrayView path) const
{
    if (!m_filterAll)
        return m_filter.CheckTarget(QString::fromUtf8(path));
    if (m_request.listSubfolders)
        return true;
    const qsizetype slash = path.indexOf('/');
    return slash < 0 || slash == path.size() - 1;
}

void Merge::refill(Side &side)
{
    if (!side.reader || side.current)
        return;
    while (std::optional<FileInfoRecord> record = side.reader->next()) {
        if (!accepted(record->path))
            continue;
        if (record->path != m_lastAccepted) {
            // The clock is read for the caption only every few records.
            if ((m_accepted++ & 63) == 0 && m_caption.due()) {
                const bool more = !m_request.listSubfolders && record->isFolder();
                m_host.showProgress(QStringLiteral("比較中 .../") + record->pathText()
                                    + (more ? QStringLiteral("...") : QString()));
            }
            m_lastAccepted = record->path;
            m_host.pumpEvents();
        }
        side.current = record;
        return;
    }
}

QString Merge::fullPath(int side, QByteArrayView relative) const
{
    return m_sides[side].nonFolder ? m_sides[side].root : joinPath(m_sides[side].root, QString::fromUtf8(relative));
}

bool Merge::fileExists(int side, QByteArrayView relative)
{
    if (m_request.fromServerListing[size_t(side)])
        return true;
    return m_sides[side].nonFolder ? isExistingFile(m_sides[side].root) : m_sides[side].files.isFile(relative);
}

bool Merge::sameDate(QByteArrayView dateA, QByteArrayView dateB) const
{
    if (dateA.size() != dateB.size())
        return false;
    const qsizetype stated =
        std::min(statedLength(dateA, m_request.fromServerListing[0]), statedLength(dateB, m_request.fromServerListing[1]));
    return dateA.first(stated) == dateB.first(stated);
}

int Merge::dateStatus(QByteArrayView dateA, QByteArrayView dateB) const
{
    if (sameDate(dateA, dateB))
        return Same;
    return m_request.updDateNone ? Same : DateOnly;
}

int Merge::filePairStatus(const RowRecords &row, ContentCheck::FileResult &codes)
{
    if (!fileExists(0, row[0]->path))
        return OnlyIn2;
    if (!fileExists(1, row[1]->path))
        return OnlyIn1;
    if (!m_contents)
        return row[0]->size != row[1]->size ? Changed : dateStatus(row[0]->date, row[1]->date);
    codes = m_content.CheckFileUpd(fullPath(0, row[0]->path), fullPath(1, row[1]->path));
    return codes.differ ? Changed : dateStatus(row[0]->date, row[1]->date);
}

int Merge::folderPairStatus(const FileInfoRecord &a, const FileInfoRecord &b)
{
    if (isZero(a.count) && isZero(b.count))
        return Same;
    if (m_request.listSubfolders)
        return Same;
    if (a.count != b.count)
        return Changed;
    if (!m_contents)
        return a.size != b.size ? Changed : dateStatus(a.date, b.date);
    if (m_content.CheckFolderUpd(fullPath(0, a.path), fullPath(1, b.path)))
        return Changed;
    if (!sameDate(a.date, b.date) && isPositive(a.size) && isPositive(b.size))
        return dateStatus(a.date, b.date);
    return Same;
}

int Merge::decide(RowRecords &row, QByteArrayView &rowPath)
{
    std::optional<FileInfoRecord> &a = m_sides[0].current;
    std::optional<FileInfoRecord> &b = m_sides[1].current;
    int status = Same;
    if (!a) {
        status = OnlyIn2;
        row[1] = std::exchange(b, std::nullopt);
        rowPath = row[1]->path;
    } else if (!b) {
        status = OnlyIn1;
        row[0] = std::exchange(a, std::nullopt);
        rowPath = row[0]->path;
    } else {
        const bool singleFiles = m_sides[0].nonFolder && m_sides[1].nonFolder;
        const int order = singleFiles ? 0 : CompareItemUtf8(a->path, b->path);
        if (order < 0) {
            status = OnlyIn1;
            row[0] = std::exchange(a, std::nullopt);
            rowPath = row[0]->path;
        } else if (order > 0) {
            status = OnlyIn2;
            row[1] = std::exchange(b, std::nullopt);
            rowPath = row[1]->path;
        } else {
            row[0] = std::exchange(a, std::nullopt);
            row[1] = std::exchange(b, std::nullopt);
            if (singleFiles)
                rowPath = {};
            else
                rowPath = row[0]->path;
        }
    }
    return status;
}

const QString &Merge::statusText(int status) const
{
    static const QString none;
    switch (status) {
    case DateOnly:
        return StatusText::Date;
    case Changed:
        return StatusText::Changed;
    case OnlyIn2:
        return m_request.hasInformation[0] ? StatusText::Added : none;
    case OnlyIn1:
        return m_request.hasInformation[1] ? StatusText::Deleted : none;
    default:
        return none;
    }
}

void Merge::writeRow(int gridRow, int status, const RowRecords &row, QByteArrayView rowPathBytes,
                     const ContentCheck::FileResult &codes)
{
    const QString rowPath = QString::fromUtf8(rowPathBytes);
    if (m_tips.size() <= gridRow)
        m_tips.resize(gridRow + 1);
    std::array<QString, 2> values;
    for (int side = 0; side < 2; ++side) {
        if (!row[side]) {
            m_tips[gridRow][side].clear();
            continue;
        }
        values[side] = QString::fromUtf8(row[side]->date);
        m_tips[gridRow][side] = QString::number(side + 1) + QStringLiteral(". ") + values[side] + QStringLiteral(" (")
                                + QString::fromUtf8(row[side]->size) + QStringLiteral("byte) ") + rowPath;
    }
    const bool fileRow = !rowPath.endsWith(u'/');
    if (m_request.textCodeDsp && m_request.compareContents) {
        for (int side = 0; side < 2; ++side) {
            if (!row[side])
                continue;
            if (!fileRow) {
                values[side] = QStringLiteral("----");
                continue;
            }
            const QString &judged = side == 0 ? codes.code1 : codes.code2;
            values[side] = !judged.isEmpty() ? judged : m_content.GetFileCode(fullPath(side, row[side]->path));
        }
    } else if (m_request.newDateAsta) {
        if (fileRow && row[0] && row[1] && !sameDate(row[0]->date, row[1]->date)) {
            const int newer = values[0] > values[1] ? 0 : 1;
            values[newer] = u' ' + values[newer] + u'*';
            values[1 - newer] = u' ' + values[1 - newer] + u' ';
        }
        for (QString &value : values)
            if (!value.isEmpty() && !value.startsWith(u' '))
                value = u' ' + value + u' ';
    }

    const QString &text = statusText(status);
    m_grid.setRowData(gridRow, gridRow);
    m_grid.setRowTexts(gridRow, {QString::number(gridRow - m_grid.fixedRows() + 1), text, values[0], values[1], rowPath});

    m_run.add(gridRow, m_request.colors.forStatus(text));

    if (IsDifferenceStatus(text)) {
        if (m_request.showFirstDiff && !m_firstDiffSeen) {
            m_targetRow = gridRow;
            m_firstDiffSeen = true;
        }
        ++m_diffRows;
    }
    if (!m_request.showFirstDiff && !m_request.topRowPath.isEmpty() && rowPath == m_request.topRowPath)
        m_targetRow = gridRow;
}

CompareOutcome Merge::run()
{
    CompareOutcome outcome;
    outcome.showFirstDiff = m_request.showFirstDiff;
    for (int side = 0; side < 2; ++side) {
        m_sides[side].root = m_request.sideRoot[side];
        m_sides[side].nonFolder = !QFileInfo(m_request.sideRoot[side]).isDir();
        const std::optional<GatheringFacts> &facts = m_request.gathered[side];
        // Facts of a single file's gathering tell its identity; only a folder's tell its folders.
        const bool factsApply = facts && facts->root == ResolveLocalRoot(m_request.sideRoot[side]).absolutePath
                                && IdentityOf(m_request.listingFile[side]) == facts->listing;
        m_sides[side].files.setRoot(m_request.sideRoot[side], factsApply && !m_sides[side].nonFolder ? &*facts : nullptr);
        if (m_request.hasInformation[side])
            m_sides[side].reader.emplace(m_request.listingFile[side]);
        outcome.compared[side] = ComparedListing(m_request.sideRoot[side], m_sides[side].nonFolder,
                                                 m_sides[side].reader ? m_sides[side].reader->bytes() : QByteArray(),
                                                 factsApply ? facts : std::nullopt);
    }

    const int rememberedRow = m_grid.row();
    const int rememberedCol = m_grid.col();
    m_grid.setRedraw(false);
    m_host.resetGrid();
    const int fixedRows = m_grid.fixedRows();
    m_targetRow = fixedRows;
    m_tips = RowTipTable(1);

    int written = 0;
    int steps = 0;
    int sinceRefresh = 0;
    while (!m_host.abortRequested()) {
        refill(m_sides[0]);
        refill(m_sides[1]);
        if (!m_sides[0].current && !m_sides[1].current)
            break;

        RowRecords row;
        QByteArrayView rowPath;
        int status = decide(row, rowPath);
        ContentCheck::FileResult codes{false, {}, {}};
        if (row[0] && row[1])
            status = row[0]->isFolder() ? folderPairStatus(*row[0], *row[1]) : filePairStatus(row, codes);
        if ((m_sides[0].nonFolder && !row[0]) || (m_sides[1].nonFolder && !row[1]))
            status = Same;
        ++steps;

        const bool dropped = m_request.differencesOnly && m_bothInformed && statusText(status).isEmpty();
        if (!dropped) {
            ++written;
            const int gridRow = fixedRows + written - 1;
            m_grid.setRows(fixedRows + written);
            writeRow(gridRow, status, row, rowPath, codes);
            if (written >= m_limit) {
                // The limit stops the comparison only when something is left to compare.
                refill(m_sides[0]);
                refill(m_sides[1]);
                if (!m_sides[0].current && !m_sides[1].current)
                    break;
                outcome.rowLimitReached = true;
                const QString limit = QString::number(m_request.lineMax);
                if (!m_bothInformed)
                    outcome.limitMessage = limit + QStringLiteral("行だけ表示し中止しました。ごめんなさい。　");
                else if (m_request.differencesOnly)
                    outcome.limitMessage = limit + QStringLiteral("行だけ表示し比較を中止しました。ごめんなさい。　");
                else
                    outcome.limitMessage = limit + QStringLiteral("行だけ表示し比較を中止しました。ごめんなさい。　\r\n")
                                           + QStringLiteral("差分のみにすると全ての比較が出来るかもしれません。　");
                break;
            }
        }
        if (++sinceRefresh >= RefreshSteps) {
            sinceRefresh = 0;
            m_run.paint();
            m_grid.setCurrentCell(m_grid.row(), m_grid.col());
            m_grid.setRedraw(true);
            m_host.pumpEvents();
            m_grid.setRedraw(false);
        }
    }

    m_run.paint();
    m_grid.setCurrentCell(m_grid.row(), m_grid.col());
    outcome.compareCount = steps;
    outcome.diffRowCount = m_diffRows;
    m_grid.setRedraw(true);
    m_grid.setRows(fixedRows + std::max(written, 1));

    const int row = std::min(rememberedRow, m_grid.rows() - 1);
    if (!m_grid.textMatrix(fixedRows, ResultColumn::Number).isEmpty()) {
        if (!m_grid.rowIsVisible(m_targetRow))
            m_grid.setTopRow(m_targetRow);
        m_grid.setRow(m_targetRow);
        m_grid.setCol(ResultColumn::Status);
        if (!m_request.showFirstDiff) {
            if (row >= fixedRows && row < m_grid.rows())
                m_grid.setRow(row);
            if (rememberedCol >= m_grid.fixedCols() && rememberedCol < m_grid.cols())
                m_grid.setCol(rememberedCol);
        }
        outcome.showFirstDiff = false;
    } else {
        m_grid.setCurrentCell(fixedRows, m_grid.fixedCols());
    }
    return outcome;
}

} // namespace

CompareOutcome CompareListings(const CompareRequest &request, platform::FlexGrid &grid, RowTipTable &tips,
                               CompareHost &host, ContentCheck &content)
{
    Merge merge(request, grid, tips, host, content);
    return merge.run();
}

} // namespace foldercompare::listing
