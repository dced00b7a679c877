#pragma once

#include "common/mod_ftp.h"
#include "foldercompare/listing/compared_listing.h"
#include "foldercompare/listing/ftp_side.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

#include <sys/types.h>

namespace foldercompare::operations {

// What a file operation needs of the window that starts it: its flags, its status
// text, its progress window, its event loop and its gathering.
class OperationHost
{
public:
    virtual ~OperationHost() = default;

    // True once the user confirmed Esc in the window (AbortFlag).
    virtual bool abortRequested() const = 0;
    // True clears the abort flag, sets BusyFlag and shows "処理中(ESCで中止)" in status
    // panel 1; false clears all three.
    virtual void setBusy(bool busy) = 0;
    // The progress window: a run starts with `message`, shown after one second over the
    // window, which it disables; updates move the bar; the end closes it.
    virtual void progressStart(const QString &message) = 0;
    virtual void progressUpdate(double percent) = 0;
    virtual void progressEnd() = 0;
    // True once the user confirmed a cancel in the progress window.
    virtual bool progressCancelled() const = 0;
    // Hides the progress window around a question, and shows it again.
    virtual void progressVisible(bool visible) = 0;
    // Lets pending window events run (once per row, so that Esc acts).
    virtual void pumpEvents() = 0;
    // Gathers side `side` again and compares at once without asking.
    virtual void refreshSide(int side) = 0;
};

// The state of the two sides that the operations read; index 0 is folder 1 (old),
// index 1 folder 2 (new).
struct OperationSides
{
    // The path boxes as typed; "ftp://" at the start makes an FTP side.
    std::array<QString, 2> pathBox;
    // Roots of the last gathering: the folder or file itself, or for an FTP side its
    // mirror folder (joined with the address's last element when there is one).
    std::array<QString, 2> sideRoot;
    // The mirror folders of FTP sides.
    std::array<QString, 2> ftpCacheFolder;
    // File-name codes of the FTP sides ("SJIS", "EUC", "JIS", "UTF8").
    std::array<QString, 2> fileNameCode;
    // [PROXY] Server_FTP.
    QString proxy;
    // RccBakup: replaced and deleted local files go to the trash first.
    bool recyclerBackup = true;
    // Extensions whose files are always judged "BIN".
    QStringList binJdExt;
    // The most folder levels that a walk of a server tree enters (FolderNum).
    int folderNum = 999;
    // Each side as the comparison that listed the rows read it: a row acts on a local
    // entry only while it is still what the comparison showed (OperationFrame::asCompared).
    std::array<listing::ComparedListing, 2> compared;
};

// The grid texts of one selected row: the two date columns (or code names) and the
// relative path ("a/b.txt", "a/" for a folder, empty for the roots themselves).
struct OperationRow
{
    QString side1;
    QString side2;
    QString path;

    // The date column (or code name) of side `side`, 0 or 1.
    const QString &shown(int side) const { return side == 0 ? side1 : side2; }
};

// The path of the relative path `relative` of a row below `sideRoot` (below its parent
// folder when the root is a file), or the root itself for an empty relative path.
QString RowPath(const QString &sideRoot, const QString &relative);

// Remote folders of one run that were looked up for links, by remote path: true for a
// symbolic link.
using RemoteLinks = QHash<QString, bool>;

// Fails, naming the link, when a folder on the way from the FTP side's folder `root`
// (ending with "/") down to the remote path `remote` below it is a symbolic link on the
// server (listing::ReadFtpEntry, on the open connection; `known` keeps the answers for
// the run): a walk that writes or deletes there goes through no link it did not choose.
// What the server does not list ends the check; a folder that stays in doubt is thrown
// as common::Failure.
std::optional<QString> FtpLinkOnTheWay(const QString &root, const QString &remote, RemoteLinks &known);

// The words of one operation in its boxes.
struct OperationWords
{
    QString missingRoot;      // before a blank line and the missing root
    QString progressMessage;  // the progress window's message
    QString readOnlyLine;     // the read-only question's first line ...
    QString readOnlyQuestion; // ... and its question
    QString readOnlyHeading;  // heads the list of skipped read-only files
    QString errorHeading;     // heads the list of failed files
    QString completeText;     // when every row was done
    QString partialText;      // when some rows were done and others not
    QString noneText;         // when nothing was done
    QString verb;             // "コピー": names the done and the undone rows in the counts
    QString procedureName;    // names the operation in a failure report
};

// How a run ended, for the result box.
struct RunOutcome
{
    int readOnlyCount = 0;
    int errorCount = 0;
    bool aborted = false;
    // Rows that the walk did not reach after an abort, and rows whose work behind the
    // walk was dropped then.
    int rowsNotReached = 0;
    // Something on a side changed, also in a row that failed part way.
    bool sideChanged = false;
    // An entry was found changed since the comparison, or while its row was worked on:
    // the list no longer shows the sides as they are.
    bool listOutdated = false;

    // Rows that were skipped, refused, failed or not reached.
    int rowsNotDone() const { return readOnlyCount + errorCount + rowsNotReached; }
};

class OperationFrame;

// One file operation over the selected rows: its words, its sides and its work per row.
class FileOperation
{
public:
    virtual ~FileOperation() = default;

    virtual const OperationWords &words() const = 0;
    // The sides whose roots must exist, in the order they are checked.
    virtual QList<int> rootsToCheck() const = 0;
    // The sides whose FTP servers the rows use, in the order the run needs them; the run
    // connects to the first FTP side among them before the first row.
    virtual QList<int> remoteSides() const = 0;
    // The side gathered again when the user accepts the refresh.
    virtual int refreshSide() const = 0;
    // Works one row. Failures of its own files it lists through the frame and goes on;
    // a Failure it throws ends the run as unexpected.
    virtual void handleRow(OperationFrame &frame, const OperationRow &row) = 0;
    // Ends the work of the rows handed over, after the last one or an abort and before
    // the closing boxes (for work that runs behind the walk).
    virtual void finishRows(OperationFrame &) {}
    // The rows that were done whole.
    virtual int rowsDone() const = 0;
    // The text when every row was done.
    virtual QString completeText() const { return words().completeText; }
};

// The common course of the file operations: the roots checked, the busy state and the
// progress window, the FTP connections of FTP sides, the walk over the rows with a
// cancel check before each, one read-only question per run, the lists of skipped and
// failed paths (five each, then "．．．"), the closing boxes and the refresh question.
// The closing text is the complete text only when every row was done; when rows were
// skipped, refused, failed or not reached it counts the rows done and not done. The
// refresh is offered whenever a side changed or an entry was found changed since the
// comparison. Boxes go through common::ShowMsg.
class OperationFrame
{
public:
    // A list shows this many paths; the next addition shows "．．．".
    static constexpr int ListedPathsMax = 5;

    OperationFrame(OperationHost &host, OperationSides sides, QList<OperationRow> rows);

    // Runs `operation` over the rows. Returns false when a root was missing (nothing
    // was done), true otherwise.
    bool run(FileOperation &operation);

    const OperationSides &sides() const { return m_sides; }
    // Whether side `side` is an FTP side (its path box holds an ftp:// address).
    bool isFtpSide(int side) const;
    // Makes the connection the one to the server of the FTP side `side`. Each side logs in
    // once per run: the connection of the other side is held, logged in, for its next
    // row. Throws common::Failure when the login fails.
    void connectTo(int side);

    // RowPath of the row on `side`.
    QString rowPath(int side, const OperationRow &row) const { return RowPath(m_sides.sideRoot[side], row.path); }
    // The path whose file a copy, a date change or a code change writes for the row on
    // `side`: rowPath, except that the side's own file, when the user named a link to a
    // file as a local single-file side, is the file that the link leads to (the link
    // stays a link), as a folder side's root is followed as the user named it. Links
    // below a folder side are never followed.
    QString writtenPath(int side, const OperationRow &row) const;
    // The server path of a path below the mirror folder of the FTP side `side`
    // ("/pub/a/b.txt"); throws common::Failure for a path outside it.
    QString remotePath(int side, const QString &cachePath) const;
    // The server folder that the FTP side `side` stands for, ending with "/": the folder
    // that its address names, written with a final "/" or without, or the folder of the
    // file that it names. The check for links on the way to a row starts there: the
    // folder that the user chose is not checked itself.
    QString remoteSideFolder(int side) const;
    // Whether the entry of the row on `side`, which the list shows there, is gone from
    // `path`; it is then listed as failed.
    bool vanished(int side, const OperationRow &row, const QString &path);
    // The same for the file that a row changes itself (its date, its code): gone, it is
    // listed as changed after the comparison, unless this program deleted it since.
    bool goneSinceComparison(int side, const OperationRow &row, const QString &path);
    // Whether the entry `name` of the open folder `folder` (-1 when the folder is not
    // there), which the row stands for on the local side `side`, is still what the
    // comparison read for the row, or what this program left there since
    // (listing::ComparedListing): nothing where it listed nothing; else the file of the
    // listed identity, or a folder, in the folder that the gathering read there, and for a
    // folder, nothing below it made or changed since (files and folders that the
    // gathering left out, leftovers of killed writes and levels beyond FolderNum aside; a
    // folder that the gathering could not read counts as it found it). Links are followed
    // as the gathering followed them; one that leads nowhere is no entry listed. A side
    // whose root is not the one compared holds nothing. An FTP side's mirror is not
    // examined: true. What cannot be examined is no change: false, with the system's
    // reason and the path in `failure`.
    bool asCompared(int side, const OperationRow &row, int folder, const QByteArray &name,
                    QString *failure = nullptr) const;
    // asCompared; where it is false, `path` is listed under the row in hand: as changed
    // after the comparison, or with the reason why it could not be examined.
    bool checkAsCompared(int side, const OperationRow &row, int folder, const QByteArray &name, const QString &path);
    // Whether the server's entry at `remote`, which the row stands for on the FTP side
    // `side`, is still what the comparison listed for it, or what this program left there
    // since (listing::ComparedListing::matchesListed): the folder's present listing
    // (serverFolder) lists nothing where the comparison listed nothing, else a folder, or a
    // file of the listed date and size as precise as the listing gives them; a link there
    // goes by its name, whatever it leads to, while the name is listed. A side whose root
    // is not the one compared holds nothing. On the connection to that side; a failure of the server is thrown as
    // common::Failure.
    bool serverAsCompared(int side, const OperationRow &row, const QString &remote);
    // Whether nothing in the tree `tree` of a server folder, which the row (a folder)
    // stands for on the FTP side `side`, was made or changed since the comparison: each
    // file is the one listed, each folder and link is listed, as serverAsCompared tells.
    bool serverTreeAsCompared(int side, const OperationRow &row, const listing::FtpTreeFolder &tree) const;
    // The listing of the server folder `remoteFolder` (ending with "/") of the FTP side
    // `side`, read on its connection at the first call of the run; null when the server
    // does not enter the folder (nothing is there). A failure of the server is thrown.
    const common::FtpFolder *serverFolder(int side, const QString &remoteFolder);
    // Lists `path` under the row in hand as not acted on because its entry changed after
    // the comparison; the refresh is then offered whatever was done.
    void listChangedSinceComparison(const QString &path);
    // Lists `path` under the row `row` with `reason`, a change that another program made
    // while the row was worked on; the refresh is then offered whatever was done.
    void listChangedMeanwhile(qsizetype row, const QString &path, const QString &reason);

    // What the run left on a side becomes what the side's comparison holds for the
    // relative path `relative` of a row (listing::ComparedListing::note), so that a later
    // command takes it for the comparison's: the entry `name` of the open folder `folder`
    // of a local side as it is now (nothing when it is gone) ...
    void noteLocal(int side, const QString &relative, int folder, const QByteArray &name);
    // ... the folder `relativeFolder` (ending with "/") and the folders above it, after
    // some of them were made ...
    void noteFolders(int side, const QString &relativeFolder);
    // ... nothing, there or below, after a delete ...
    void noteRemoved(int side, const QString &relative);
    // ... and on an FTP side, after `bytes` bytes were uploaded to `remote`, the file that
    // the server lists there at the end of the run (one listing of each folder uploaded
    // into), while it is of that size.
    void noteUploaded(int side, const QString &relative, const QString &remote, qint64 bytes);

    // The read-only question, asked at the first read-only target of the run; its
    // answer holds for the rest. True when `path` may be handled; false when it is
    // skipped (listed in the read-only list).
    bool mayHandleReadOnly(const QString &path);
    // Lists `path` as failed, with the reason when one is given, under the row in hand.
    void listError(const QString &path, const QString &reason = QString());
    // The same for the row `row` (its index among the rows): work that ends behind the
    // walk lists its failures under the row they belong to, so that the lists keep the
    // rows' order.
    void listRowError(qsizetype row, const QString &path, const QString &reason = QString());
    // The index of the row in hand.
    qsizetype currentRow() const { return m_currentRow; }
    // Counts rows whose work behind the walk the abort dropped as not done.
    void countRowsNotReached(int rows) { m_outcome.rowsNotReached += rows; }
    // Notes that a side changed (for the refresh question).
    void noteSideChanged() { m_outcome.sideChanged = true; }

    // The lists as the closing boxes show them (each entry CR LF and a path), in the
    // order of the rows.
    QString readOnlyList() const { return m_readOnlyList.text(); }
    QString errorList() const { return m_errorList.text(); }
    const RunOutcome &outcome() const { return m_outcome; }

private:
    void walk(FileOperation &operation);
    // Whether nothing below the open folder `folder` (the row folder `relative`) of the
    // local side `side` was made or changed since the comparison, as asCompared tells.
    bool treeAsCompared(int side, int folder, const QString &relative, QString *failure) const;
    // Whether the file system of the open folder `folder`, on the device `device`, keeps
    // its files' inodes (listing::KeepsInodes), asked once per device.
    bool inodesKept(int folder, dev_t device) const;
    bool inodesKept(int folder) const;
    // Takes into the comparisons what the server lists for the files uploaded this run.
    void noteServerUploads();
    void close(FileOperation &operation);
    void failUnexpectedly(FileOperation &operation);
    void disconnect();
    QString resultText(const FileOperation &operation) const;

    // The entries of a list by the index of their rows.
    class PathList
    {
    public:
        void add(qsizetype row, const QString &entry);
        // The first ListedPathsMax entries, then "．．．" when there are more.
        QString text() const;
        bool isEmpty() const { return m_entries.isEmpty(); }

    private:
        QList<std::pair<qsizetype, QString>> m_entries;
    };

    OperationHost &m_host;
    OperationSides m_sides;
    QList<OperationRow> m_rows;
    // The side whose server the module's connection is logged in to; -1 for none.
    int m_connectedSide = -1;
    // The connections of the sides while the module works on the other side's.
    std::array<common::FtpHeldConnection, 2> m_heldConnections;
    // The server folders listed this run, per side (nullopt: not entered).
    std::array<QHash<QString, std::optional<common::FtpFolder>>, 2> m_serverFolders;
    // A file uploaded this run: its relative path, its name in its server folder and its
    // bytes.
    struct Upload
    {
        QString relative;
        QString name;
        qint64 bytes = 0;
    };
    // The files uploaded this run, per side and server folder.
    std::array<QHash<QString, QList<Upload>>, 2> m_uploads;
    // inodesKept's answers by device.
    mutable QHash<dev_t, bool> m_inodesKept;
    const OperationWords *m_words = nullptr;
    qsizetype m_currentRow = 0;
    QString m_readOnlyAnswer;
    PathList m_readOnlyList;
    PathList m_errorList;
    RunOutcome m_outcome;
};

// Whether the owner lacks write permission on the file or folder at `path` (the
// read-only attribute); false when nothing is there.
bool IsReadOnlyEntry(const QString &path);

} // namespace foldercompare::operations
