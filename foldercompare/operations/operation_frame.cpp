#include "foldercompare/operations/operation_frame.h"

#include "common/common_module.h"
#include "common/mod_ftp.h"
#include "common/saved_error.h"
#include "foldercompare/listing/gathering_facts.h"
#include "foldercompare/listing/tree_walk.h"
#include "platform/atomic_file.h"
#include "platform/file_handles.h"
#include "platform/folder_descent.h"
#include "platform/user_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>

namespace foldercompare::operations {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString RefreshQuestion = QStringLiteral("最新の状況を取得し一覧に反映しますか？");
const QString MoreEntries = QStringLiteral("．．．");
const QString FtpPrefix = QStringLiteral("ftp://");

// The folder that holds the row entry `relative` ("a/b.txt", "a/b/"), ending with "/";
// empty for an entry of the root.
QString parentFolderOf(const QString &relative)
{
    const qsizetype slash = relative.lastIndexOf(u'/', relative.endsWith(u'/') ? -2 : -1);
    return relative.left(slash + 1);
}

// How many levels below the root the entry `relative` lies (1 for an entry of the root).
int levelOf(const QString &relative)
{
    return int(relative.chopped(relative.endsWith(u'/') ? 1 : 0).count(u'/')) + 1;
}

} // namespace

bool IsReadOnlyEntry(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && !(info.st_mode & S_IWUSR);
}

OperationFrame::OperationFrame(OperationHost &host, OperationSides sides, QList<OperationRow> rows)
    : m_host(host), m_sides(std::move(sides)), m_rows(std::move(rows))
{
}

bool OperationFrame::run(FileOperation &operation)
{
    const OperationWords &words = operation.words();
    m_words = &words;
    for (const int side : operation.rootsToCheck()) {
        const QString &root = m_sides.sideRoot[side];
        if (root.isEmpty() || !QFileInfo::exists(root)) {
            common::ShowMsg(words.missingRoot + CrLf + CrLf + common::PrintablePath(root));
            return false;
        }
    }
    m_host.setBusy(true);
    m_host.progressStart(words.progressMessage);
    try {
        for (const int side : operation.remoteSides()) {
            if (isFtpSide(side)) {
                connectTo(side);
                break;
            }
        }
        walk(operation);
        operation.finishRows(*this);
        noteServerUploads();
        close(operation);
    } catch (...) {
        common::SaveErr();
        failUnexpectedly(operation);
    }
    return true;
}

bool OperationFrame::isFtpSide(int side) const
{
    return m_sides.pathBox[side].startsWith(FtpPrefix);
}

void OperationFrame::connectTo(int side)
{
    if (m_connectedSide == side)
        return;
    // The connection in use waits for its side's next row, logged in.
    if (m_connectedSide >= 0)
        common::FtpSwapConnection(m_heldConnections[m_connectedSide]);
    m_connectedSide = -1;
    if (m_heldConnections[side].isOpen()) {
        common::FtpSwapConnection(m_heldConnections[side]);
        m_connectedSide = side;
        return;
    }
    const listing::FtpInfo info = listing::GetFtpInfo(m_sides.pathBox[side], m_sides.proxy);
    common::FtpConnect(info.host, info.user, info.password, info.proxy, info.passive == QStringLiteral("True"),
                       m_sides.fileNameCode[side]);
    m_connectedSide = side;
    common::FtpCd(QStringLiteral("/"));
}

void OperationFrame::disconnect()
{
    for (common::FtpHeldConnection &held : m_heldConnections)
        held.close();
    if (m_connectedSide < 0)
        return;
    common::FtpDisconnect();
    m_connectedSide = -1;
}

void OperationFrame::walk(FileOperation &operation)
{
    const qsizetype count = m_rows.size();
    for (qsizetype index = 0; index < count; ++index) {
        m_currentRow = index;
        m_host.progressUpdate(double(index) / double(count) * 100.0);
        if (m_host.progressCancelled() || m_host.abortRequested()) {
            m_outcome.aborted = true;
            m_outcome.rowsNotReached = int(count - index);
            break;
        }
        operation.handleRow(*this, m_rows.at(index));
        m_host.pumpEvents();
    }
}

QString OperationFrame::resultText(const FileOperation &operation) const
{
    const OperationWords &words = operation.words();
    const int done = operation.rowsDone();
    const int notDone = m_outcome.rowsNotDone();
    if (notDone == 0)
        return done > 0 ? operation.completeText() : m_outcome.sideChanged ? words.partialText : QString();
    const QString counts = words.verb + QStringLiteral("したファイル（行）：%1件　").arg(done) + words.verb
                           + QStringLiteral("出来なかったファイル（行）：%1件　").arg(notDone);
    return done > 0 || m_outcome.sideChanged ? words.partialText + CrLf + counts : counts;
}

void OperationFrame::close(FileOperation &operation)
{
    const OperationWords &words = operation.words();
    disconnect();
    m_host.progressEnd();
    if (!m_readOnlyList.isEmpty())
        common::ShowMsg(words.readOnlyHeading + CrLf + readOnlyList());
    if (!m_errorList.isEmpty())
        common::ShowMsg(words.errorHeading + CrLf + errorList());
    const QString result = resultText(operation);
    const bool done = operation.rowsDone() > 0 || m_outcome.sideChanged;
    const QString closing = done ? result : result.isEmpty() ? words.noneText : words.noneText + CrLf + result;
    if (done || m_outcome.listOutdated) {
        if (common::ShowMsg(closing + CrLf + CrLf + RefreshQuestion, platform::MessageStyle::YesNo)
            == platform::MessageAnswer::Yes)
            m_host.refreshSide(operation.refreshSide());
    } else {
        common::ShowMsg(closing);
    }
    m_host.setBusy(false);
}

void OperationFrame::failUnexpectedly(FileOperation &operation)
{
    m_host.setBusy(false);
    m_host.progressEnd();
    disconnect();
    common::ReportSavedErr(operation.words().procedureName);
}

QString RowPath(const QString &sideRoot, const QString &relative)
{
    if (relative.isEmpty())
        return sideRoot;
    QString base = QFileInfo(sideRoot).isDir() ? sideRoot : QFileInfo(sideRoot).path();
    if (base.endsWith(u'/'))
        base.chop(1);
    return base + u'/' + relative;
}

std::optional<QString> FtpLinkOnTheWay(const QString &root, const QString &remote, RemoteLinks &known)
{
    if (!root.endsWith(u'/') || !remote.startsWith(root))
        return std::nullopt;
    const QStringList names = remote.mid(root.size()).split(u'/', Qt::SkipEmptyParts);
    // The listings read here leave the code of the names the row is sent in as it was.
    const auto keepNameCode = qScopeGuard([code = common::FileNameCode] { common::FileNameCode = code; });
    QString reached = root;
    for (qsizetype index = 0; index + 1 < names.size(); ++index) {
        reached += names.at(index);
        auto link = known.constFind(reached);
        if (link == known.cend()) {
            const std::optional<common::FtpFolderEntry> entry = listing::ReadFtpEntry(common::FtpRemotePath(reached));
            if (!entry)
                return std::nullopt;
            link = known.insert(reached, entry->link);
        }
        if (*link)
            return QStringLiteral("リンクは辿りません : ") + reached;
        reached += u'/';
    }
    return std::nullopt;
}

QString OperationFrame::writtenPath(int side, const OperationRow &row) const
{
    const QString path = rowPath(side, row);
    const QString &root = m_sides.sideRoot[side];
    if (isFtpSide(side) || QFileInfo(root).isDir() || QDir::cleanPath(path) != QDir::cleanPath(root))
        return path;
    const QFileInfo named(path);
    const QString target = named.isSymLink() ? named.canonicalFilePath() : QString();
    return target.isEmpty() ? path : target;
}

QString OperationFrame::remotePath(int side, const QString &cachePath) const
{
    const QString &cacheFolder = m_sides.ftpCacheFolder[side];
    const QString folderPart = listing::GetFtpInfo(m_sides.pathBox[side], m_sides.proxy).folderPart;
    if (cachePath == cacheFolder)
        return folderPart;
    if (!cachePath.startsWith(cacheFolder + u'/'))
        throw common::Failure(common::FtpNoNumber, QStringLiteral("modFtp"),
                              QStringLiteral("FTPのキャッシュフォルダの外のパスです : ") + cachePath);
    return folderPart + cachePath.mid(cacheFolder.size() + 1);
}

QString OperationFrame::remoteSideFolder(int side) const
{
    const QString &root = m_sides.sideRoot[side];
    QString folder = remotePath(side, QFileInfo(root).isDir() ? root : m_sides.ftpCacheFolder[side]);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

bool OperationFrame::vanished(int side, const OperationRow &row, const QString &path)
{
    struct stat info;
    if (row.shown(side).isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) == 0)
        return false;
    listError(path, platform::SystemErrorText(errno));
    return true;
}

bool OperationFrame::goneSinceComparison(int side, const OperationRow &row, const QString &path)
{
    struct stat info;
    if (row.shown(side).isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) == 0)
        return false;
    // A file that this program deleted since is gone as the side's comparison holds it.
    const listing::ComparedListing &compared = m_sides.compared[side];
    if (compared.root() != m_sides.sideRoot[side] || !compared.removedByProgram(row.path))
        listChangedSinceComparison(path);
    return true;
}

bool OperationFrame::inodesKept(int folder, dev_t device) const
{
    const auto known = m_inodesKept.constFind(device);
    return known != m_inodesKept.cend() ? *known : *m_inodesKept.insert(device, listing::KeepsInodes(folder));
}

bool OperationFrame::inodesKept(int folder) const
{
    struct stat info;
    return ::fstat(folder, &info) == 0 && inodesKept(folder, info.st_dev);
}

bool OperationFrame::asCompared(int side, const OperationRow &row, int folder, const QByteArray &name,
                                QString *failure) const
{
    if (isFtpSide(side))
        return true;
    struct stat now;
    const bool there = folder >= 0 && ::fstatat(folder, name.constData(), &now, 0) == 0;
    if (!there) {
        // A link that leads nowhere is no entry that a comparison listed.
        struct stat link;
        if (folder >= 0 && ::fstatat(folder, name.constData(), &link, AT_SYMLINK_NOFOLLOW) == 0)
            return false;
    }
    const listing::ComparedListing &compared = m_sides.compared[side];
    if (compared.root() != m_sides.sideRoot[side])
        return !there;
    struct stat parent;
    const bool parentKnown = there && ::fstat(folder, &parent) == 0;
    if (!compared.matches(row.path, there ? &now : nullptr, parentKnown && inodesKept(folder, parent.st_dev)))
        return false;
    if (!there)
        return true;
    if (!parentKnown || !compared.sameFolder(parentFolderOf(row.path), parent))
        return false;
    struct stat entry;
    if (!S_ISDIR(now.st_mode) || ::fstatat(folder, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0
        || !S_ISDIR(entry.st_mode))
        return true;
    // A folder goes with everything below it: nothing there may be newer than the list.
    if (!compared.sameFolder(row.path, now))
        return false;
    const platform::Descriptor below = platform::OpenFolderAt(folder, name);
    if (!below.isOpen()) {
        if (failure)
            *failure = platform::SystemErrorText(errno) + QStringLiteral(" : ") + rowPath(side, row);
        return false;
    }
    return treeAsCompared(side, below.get(), row.path, failure);
}

bool OperationFrame::treeAsCompared(int side, int folder, const QString &relative, QString *failure) const
{
    const listing::ComparedListing &compared = m_sides.compared[side];
    const auto unexamined = [&](const QString &below) {
        if (failure)
            *failure = platform::SystemErrorText(errno) + QStringLiteral(" : ") + RowPath(m_sides.sideRoot[side], below);
        return false;
    };
    // What the gathering could not read it did not list: it counts as it found it.
    if (compared.unreadAtGathering(relative))
        return true;
    const std::optional<std::vector<QByteArray>> names = platform::NamesInFolder(folder);
    if (!names)
        return unexamined(relative);
    const bool kept = inodesKept(folder);
    for (const QByteArray &name : *names) {
        const QString decoded = QFile::decodeName(name);
        // What the gathering could not list, and what killed writes of ours left.
        if (!listing::IsListableName(name, decoded) || platform::isLeftoverTemporaryFileName(name))
            continue;
        QString child = relative + decoded;
        if (levelOf(child) > m_sides.folderNum)
            continue;
        struct stat now;
        if (::fstatat(folder, name.constData(), &now, 0) != 0 || !(S_ISDIR(now.st_mode) || S_ISREG(now.st_mode)))
            continue;
        if (S_ISREG(now.st_mode)) {
            if (!compared.matches(child, &now, kept))
                return false;
            continue;
        }
        child += u'/';
        if (compared.unreadAtGathering(child))
            continue;
        if (!compared.matches(child, &now, kept) || !compared.sameFolder(child, now))
            return false;
        // A link to a folder goes as the link; a folder with what it holds.
        const platform::Descriptor below = platform::OpenFolderAt(folder, name);
        if (!below.isOpen()) {
            if (errno == ENOTDIR)
                continue;
            return unexamined(child);
        }
        if (!treeAsCompared(side, below.get(), child, failure))
            return false;
    }
    return true;
}

bool OperationFrame::checkAsCompared(int side, const OperationRow &row, int folder, const QByteArray &name,
                                     const QString &path)
{
    QString failure;
    if (asCompared(side, row, folder, name, &failure))
        return true;
    if (failure.isEmpty())
        listChangedSinceComparison(path);
    else
        listError(path, failure);
    return false;
}

const common::FtpFolder *OperationFrame::serverFolder(int side, const QString &remoteFolder)
{
    auto known = m_serverFolders[side].constFind(remoteFolder);
    if (known == m_serverFolders[side].cend()) {
        connectTo(side);
        // The listing leaves the code that the row's names are sent in as it was.
        const auto keepNameCode = qScopeGuard([code = common::FileNameCode] { common::FileNameCode = code; });
        const QByteArray folder = common::FtpRemotePath(remoteFolder);
        std::optional<common::FtpFolder> listed;
        try {
            listed = common::FtpReadFolder(folder);
        } catch (const common::Failure &) {
            // A folder that is not there holds nothing; any other failure stands.
            if (common::FtpEnterFolder(folder))
                throw;
        }
        known = m_serverFolders[side].insert(remoteFolder, std::move(listed));
    }
    return known->has_value() ? &**known : nullptr;
}

namespace {

// The entry `listed` as a comparison holds one: its date and, where the listing tells
// it, its size.
listing::ComparedListing::Entry heldFormOf(const common::FtpFolderEntry &listed)
{
    listing::ComparedListing::Entry entry;
    entry.folder = listed.folder;
    if (listed.folder)
        return entry;
    entry.date = listing::FormatLocalDate(listed.time.toSecsSinceEpoch()).toLatin1();
    if (listed.size >= 0)
        entry.size = QByteArray::number(listed.size);
    return entry;
}

// The first entry named `name` of `folder`, as the gathering keeps the first.
const common::FtpFolderEntry *entryNamed(const common::FtpFolder *folder, const QString &name)
{
    if (!folder)
        return nullptr;
    for (const common::FtpFolderEntry &entry : folder->entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

} // namespace

bool OperationFrame::serverAsCompared(int side, const OperationRow &row, const QString &remote)
{
    const QString path = remote.endsWith(u'/') ? remote.chopped(1) : remote;
    const qsizetype slash = path.lastIndexOf(u'/');
    const common::FtpFolder *folder = serverFolder(side, path.left(slash + 1));
    const common::FtpFolderEntry *found = entryNamed(folder, path.mid(slash + 1));
    const listing::ComparedListing &compared = m_sides.compared[side];
    const bool heldThere = compared.root() == m_sides.sideRoot[side] && compared.holdsName(row.path);
    // A link goes by its name, whatever it leads to. MLSD leaves out one that leads
    // nowhere (an earlier row deleted its folder), which LIST still shows.
    if ((found && found->link)
        || (!found && heldThere && folder && folder->foldersMayBeLinks
            && common::FtpListedAsLink(common::FtpRemotePath(path))))
        return heldThere;
    const std::optional<listing::ComparedListing::Entry> listed = found ? std::optional(heldFormOf(*found)) : std::nullopt;
    if (compared.root() != m_sides.sideRoot[side])
        return !listed;
    return compared.matchesListed(row.path, listed);
}

bool OperationFrame::serverTreeAsCompared(int side, const OperationRow &row, const listing::FtpTreeFolder &tree) const
{
    const listing::ComparedListing &compared = m_sides.compared[side];
    if (compared.root() != m_sides.sideRoot[side])
        return false;
    const std::function<bool(const listing::FtpTreeFolder &, const QString &)> walk
        = [&](const listing::FtpTreeFolder &folder, const QString &relative) {
              for (const common::FtpFolderEntry &file : folder.files) {
                  // What the gathering does not list: uploads of ours killed before they
                  // ended, and names that no transfer can name.
                  if (!platform::isTransferableName(file.remoteName)
                      || (!file.link && platform::isLeftoverTemporaryFileName(file.remoteName)))
                      continue;
                  const QString child = relative + file.name;
                  // A link goes by its name, whatever it leads to: it must be listed.
                  if (file.link ? !compared.holdsName(child) : !compared.matchesListed(child, heldFormOf(file)))
                      return false;
              }
              for (const auto &[entry, below] : folder.folders) {
                  if (!platform::isTransferableName(entry.remoteName))
                      continue;
                  const QString child = relative + entry.name + u'/';
                  if (!compared.matchesListed(child, heldFormOf(entry)) || !walk(below, child))
                      return false;
              }
              return true;
          };
    return walk(tree, row.path);
}

void OperationFrame::noteLocal(int side, const QString &relative, int folder, const QByteArray &name)
{
    if (isFtpSide(side))
        return;
    struct stat now;
    if (::fstatat(folder, name.constData(), &now, 0) == 0)
        m_sides.compared[side].note(relative, listing::ComparedListing::EntryOf(now));
    else
        m_sides.compared[side].note(relative, std::nullopt);
}

void OperationFrame::noteFolders(int side, const QString &relativeFolder)
{
    listing::ComparedListing::Entry folder;
    folder.folder = true;
    for (qsizetype slash = relativeFolder.indexOf(u'/'); slash >= 0; slash = relativeFolder.indexOf(u'/', slash + 1))
        m_sides.compared[side].note(relativeFolder.left(slash + 1), folder);
}

void OperationFrame::noteRemoved(int side, const QString &relative)
{
    m_sides.compared[side].note(relative, std::nullopt);
}

void OperationFrame::noteUploaded(int side, const QString &relative, const QString &remote, qint64 bytes)
{
    const qsizetype slash = remote.lastIndexOf(u'/');
    m_uploads[side][remote.left(slash + 1)].append({relative, remote.mid(slash + 1), bytes});
}

void OperationFrame::noteServerUploads()
{
    for (int side = 0; side < 2; ++side) {
        for (auto folder = m_uploads[side].cbegin(); folder != m_uploads[side].cend(); ++folder) {
            try {
                // Listed again: the listing read before the uploads shows the files as they were.
                m_serverFolders[side].remove(folder.key());
                const common::FtpFolder *listed = serverFolder(side, folder.key());
                for (const Upload &upload : folder.value()) {
                    const common::FtpFolderEntry *found = entryNamed(listed, upload.name);
                    if (found && !found->folder && !found->link && (found->size < 0 || found->size == upload.bytes))
                        m_sides.compared[side].note(upload.relative, heldFormOf(*found));
                }
            } catch (const common::Failure &) {
                // A server that does not tell leaves the comparison as it was.
            }
        }
    }
}

void OperationFrame::listChangedSinceComparison(const QString &path)
{
    listChangedMeanwhile(m_currentRow, path,
                         QStringLiteral("比較の後に変更されたため、") + m_words->verb + QStringLiteral("しませんでした"));
}

void OperationFrame::listChangedMeanwhile(qsizetype row, const QString &path, const QString &reason)
{
    listRowError(row, path, reason);
    m_outcome.listOutdated = true;
}

bool OperationFrame::mayHandleReadOnly(const QString &path)
{
    if (m_readOnlyAnswer.isEmpty()) {
        m_readOnlyAnswer = QStringLiteral("F");
        m_host.progressVisible(false);
        if (common::ShowMsg(m_words->readOnlyLine + CrLf + CrLf + m_words->readOnlyQuestion,
                            platform::MessageStyle::YesNo)
            == platform::MessageAnswer::Yes)
            m_readOnlyAnswer = QStringLiteral("T");
        m_host.progressVisible(true);
    }
    if (m_readOnlyAnswer == QStringLiteral("T"))
        return true;
    m_readOnlyList.add(m_currentRow, common::PrintablePath(path));
    ++m_outcome.readOnlyCount;
    return false;
}

void OperationFrame::listError(const QString &path, const QString &reason)
{
    listRowError(m_currentRow, path, reason);
}

void OperationFrame::listRowError(qsizetype row, const QString &path, const QString &reason)
{
    QString entry = common::PrintablePath(path);
    if (!reason.isEmpty())
        entry += QStringLiteral(" : ") + platform::escapeControlCharacters(reason.simplified());
    m_errorList.add(row, entry);
    ++m_outcome.errorCount;
}

void OperationFrame::PathList::add(qsizetype row, const QString &entry)
{
    // Entries mostly come in the rows' order; one of an earlier row goes after the
    // entries of its own row and before those of later rows.
    const auto at = std::upper_bound(m_entries.begin(), m_entries.end(), row,
                                     [](qsizetype value, const auto &listed) { return value < listed.first; });
    m_entries.insert(at, {row, entry});
}

QString OperationFrame::PathList::text() const
{
    QString list;
    for (qsizetype index = 0; index < m_entries.size() && index < ListedPathsMax; ++index)
        list += CrLf + m_entries.at(index).second;
    if (m_entries.size() > ListedPathsMax)
        list += CrLf + MoreEntries;
    return list;
}

} // namespace foldercompare::operations
