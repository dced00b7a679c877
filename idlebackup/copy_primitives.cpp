#include "idlebackup/backup_list.h"
#include "idlebackup/backup_work.h"
#include "idlebackup/copy_rules.h"
#include "idlebackup/file_access.h"
#include "idlebackup/file_copy.h"
#include "idlebackup/folder_walk.h"

#include "common/saved_error.h"
#include "platform/byte_text.h"
#include "platform/descriptor_trash.h"
#include "platform/file_copy.h"
#include "platform/flex_grid.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>

namespace idlebackup {

namespace {

// The step of a copy's progress text (ten copy steps).
constexpr qint64 ProgressStepBytes = 1024000;
// Longest failure list of an entry, in characters.
constexpr int ErrorListMaxLength = 256;
// The status line is redrawn at most this often.
constexpr qint64 StatusIntervalMs = 50;
// Copies are synced in batches of this many; twice as many wait at most.
constexpr int SyncBatch = 256;
constexpr int MaxWaitingCopies = 2 * SyncBatch;
// Beyond this many bytes in copies waiting, the oldest is waited for.
constexpr qint64 MaxWaitingBytes = qint64(256) << 20;
// After this many passes in a row whose copy of a file was dropped because the file
// changed while it was read, the next copy keeps what it read.
constexpr int ChangingDropsBeforeKept = 3;

// The reasons told beside the items of copies dropped or kept for what the file or its
// copy did meanwhile.
const QString SourceReplacedReason = QStringLiteral("調べた後にファイルが変更または置き換えられました。次回やり直します。");
const QString SourceChangingReason = QStringLiteral("コピー中もファイルが書き込まれていました。次回やり直します。");
const QString ChangingReadKeptReason
    = QStringLiteral("コピー中もファイルが書き込まれていました。読み込んだ内容を置き、次回もコピーします。");
const QString TargetSavedReason = QStringLiteral("待つ間にコピー先が保存されました。上書きせず、次回判定し直します。");

const QString ItemSeparator = QStringLiteral(",");

// Where `item` stands in the comma list `list` as a whole item, from `from` on; -1 when
// it does not.
qsizetype findItem(const QString &list, const QString &item, qsizetype from = 0)
{
    for (qsizetype at = list.indexOf(item, from); at >= 0; at = list.indexOf(item, at + 1)) {
        const qsizetype end = at + item.size();
        if ((at == 0 || list[at - 1] == u',') && (end == list.size() || list[end] == u','))
            return at;
    }
    return -1;
}

bool anythingAt(const QByteArray &path)
{
    struct stat info;
    return ::stat(path.constData(), &info) == 0 || ::lstat(path.constData(), &info) == 0;
}

} // namespace

QString FailureItem(const QString &path, const char16_t *kind)
{
    const QString kindText = QString::fromUtf16(kind);
    if (path.size() + kindText.size() <= ErrorListMaxLength)
        return path + kindText;
    // A short digest of the whole path comes before its end: two long paths with one end
    // (a folder of the original and the same folder in its backup) stay two items, so
    // the success of one never takes the other's failure off the list.
    const QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    const QString lead = u'[' + QString::fromLatin1(digest) + QStringLiteral("]…");
    return lead + path.right(ErrorListMaxLength - kindText.size() - lead.size()) + kindText;
}

// What names a copy waiting to be placed in the entry's records.
struct BackupWork::WaitingCopy
{
    QString item; // its failure item
    QString display; // its target
    bool sourceChanged = false; // holds what was read of a file that changed meanwhile
};

BackupWork::~BackupWork() = default;

BackupWork::BackupWork(platform::FlexGrid &bakList, const qint32 &currentEntry, BackupSettings &settings,
                       const RunFlags &flags, Pacer &pacer, Clock &clock, WorkHost &host)
    : m_bakList(bakList)
    , m_currentEntry(currentEntry)
    , m_settings(settings)
    , m_flags(flags)
    , m_pacer(pacer)
    , m_clock(clock)
    , m_host(host)
    , m_copies(std::make_unique<platform::DurableCopies>(MaxWaitingCopies, MaxWaitingBytes, SyncBatch))
{
}

void BackupWork::CopyFile(const QString &source, const QString &destination)
{
    // The copy takes the file that the source's path leads to now; a destination whose
    // path leads to that very file (a link to it) names the same file.
    struct stat seen{};
    struct stat existing;
    if (::stat(platform::BytesOfText(source).constData(), &seen) == 0
        && ::stat(platform::BytesOfText(destination).constData(), &existing) == 0 && existing.st_dev == seen.st_dev
        && existing.st_ino == seen.st_ino)
        return;
    copyFileOver(source, destination, platform::TargetState::at(AT_FDCWD, platform::BytesOfText(destination)),
                 platform::IdentityOf(seen), true);
}

void BackupWork::copyFileOver(const QString &source, const QString &destination, const platform::TargetState &decided,
                              const platform::FileIdentity &listed, bool followsLink)
{
    if (source == destination)
        return;
    const Descriptor sourceFolder = OpenFolder(platform::BytesOfText(ParentFolderOf(source)));
    const auto targetFolder
        = std::make_shared<const Descriptor>(OpenFolder(platform::BytesOfText(ParentFolderOf(destination))));
    copyFile(CopySource{FileAt{sourceFolder.get(), platform::BytesOfText(FileNameOf(source)), source}, followsLink,
                        listed},
             FileAt{targetFolder->get(), platform::BytesOfText(FileNameOf(destination)), destination}, targetFolder,
             decided);
    placeWrittenCopies(true);
}

void BackupWork::copyFile(const CopySource &listed, const FileAt &target,
                          const std::shared_ptr<const Descriptor> &targetFolder, const platform::TargetState &decided)
{
    const QString item = FailureItem(listed.at.display + QStringLiteral("->") + target.display, FailureKind::Copy);
    // A file that is written to all the time is never read whole: where it has no copy
    // yet, or its copies were dropped for it pass after pass, what was read is kept.
    CopySource source = listed;
    source.keepsChangedRead = (!decided.present && decided.unreadable == 0)
                              || m_changingDrops.value(item) >= ChangingDropsBeforeKept;
    // The streak of copies dropped because the file changed while it was read goes on
    // only with another such drop.
    const auto drop = [&](const QString &reason, bool changing) {
        common::SaveErr();
        if (changing)
            ++m_changingDrops[item];
        else
            m_changingDrops.remove(item);
        listFailure(item, reason);
        m_pacer.BreakeTime(0);
    };
    try {
        m_pacer.CpuIdleCheckAndWait();
        const QString kept = messageText();
        const CopyCallbacks callbacks{
            [this] { return m_flags.going(); },
            [this](qint16 code) { m_pacer.BreakeTime(code); },
            [this, &kept](qint64 total) {
                if (total % ProgressStepBytes == 0)
                    showItem(kept + QStringLiteral("(SIZE=") + CommaEdit(double(total / ProgressStepBytes))
                             + QStringLiteral(",000KByte)"));
            },
        };
        // The copies waiting hold their folders open: a folder beyond their bound waits
        // for the oldest to be placed.
        if (m_copies->full(0, targetFolder.get()))
            placeWrittenCopies(false, targetFolder.get());
        const bool syncAlone = !m_copies->syncsWith(targetFolder->get());
        CopyWritten written;
        try {
            written = WriteCopyAt(source, target, targetFolder, decided, syncAlone, callbacks);
        } catch (const CopyOutOfSpace &) {
            // The copies waiting to be placed may hold the space that this one needed
            // (a disk that is nearly full): once they are in place, it is tried again.
            if (m_copies->isEmpty() || !m_flags.going())
                throw;
            placeWrittenCopies(true);
            written = WriteCopyAt(source, target, targetFolder, decided, syncAlone, callbacks);
        }
        if (!written.copy)
            return;
        m_copies->addWritten(std::move(written.copy), syncAlone);
        m_waiting.push_back(WaitingCopy{item, target.display, written.sourceChanged});
        placeWrittenCopies(false);
    } catch (const CopySourceIsLink &) {
        common::SaveErr();
        SetFileErrMsg(FailureItem(source.at.display, FailureKind::FileLink), ErrorItemMode::Add);
        m_pacer.BreakeTime(0);
    } catch (const CopySourceReplaced &) {
        drop(SourceReplacedReason, false);
    } catch (const CopySourceChanging &) {
        drop(SourceChangingReason, true);
    } catch (...) {
        drop(QString(), false);
    }
}

void BackupWork::placeWrittenCopies(bool all, const Descriptor *nextFolder)
{
    while (!m_copies->isEmpty() && m_flags.going()
           && (all || m_copies->full(0, nextFolder) || m_copies->oldestReady())) {
        // The window stays responsive while the disk catches up.
        const std::unique_ptr<platform::DurableCopies::Copy> copy = m_copies->takeOldest([this] { m_host.pumpEvents(); });
        const WaitingCopy waiting = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_changingDrops.remove(waiting.item);
        QString reason;
        try {
            // After a stop nothing more is changed.
            if (!m_flags.going())
                FailCopy(QStringLiteral("中止"));
            // A failed sync may have lost any copy that waited for it.
            if (!copy->failure().isEmpty())
                FailCopyWithSystemText(QStringLiteral("書き込めません。"), waiting.display, copy->error());
            const platform::Placement placement = copy->place();
            if (placement.outcome == platform::Placement::Outcome::TargetChanged) {
                reason = TargetSavedReason;
                FailCopy(QStringLiteral("コピー中にコピー先が変更されました。 ") + waiting.display);
            }
            if (placement.outcome == platform::Placement::Outcome::Failed)
                FailCopyWithSystemText(QStringLiteral("書き込めません。"), waiting.display, placement.error);
            // Some file systems (FUSE FAT) give a file the time of its renaming: the copy
            // takes its times once more, or the next pass would take it for newer than
            // its source.
            if (placement.timesError != 0)
                FailCopyWithSystemText(QStringLiteral("日時を設定できません。"), waiting.display, placement.timesError);
            writeStatus(StatusTag::Copied);
            if (waiting.sourceChanged)
                listFailure(waiting.item, ChangingReadKeptReason);
            else
                SetFileErrMsg(waiting.item, ErrorItemMode::Remove);
        } catch (...) {
            common::SaveErr();
            listFailure(waiting.item, reason);
        }
    }
    // A copy that is not placed is not made: after a stop nothing more is changed.
    if (all && !m_copies->isEmpty()) {
        for (const WaitingCopy &waiting : m_waiting) {
            common::SaveErr(CopyFailureNumber, QCoreApplication::applicationName(), QStringLiteral("中止"));
            listFailure(waiting.item);
        }
        m_copies->discardAll();
        m_waiting.clear();
    }
    m_pacer.BreakeTime(0);
}

void BackupWork::CreateFolder(const QString &folder)
{
    const QString item = FailureItem(folder, FailureKind::MakeFolder);
    try {
        m_pacer.CpuIdleCheckAndWait();
        QList<QByteArray> levels;
        for (QString level = folder; !level.isEmpty(); level = ParentFolderOf(level)) {
            levels.append(platform::BytesOfText(level));
            if (level == u"/")
                break;
        }
        qsizetype existing = levels.size();
        for (qsizetype index = 0; index < levels.size(); ++index) {
            if (anythingAt(levels[index])) {
                existing = index;
                break;
            }
        }
        for (qsizetype index = existing - 1; index >= 0; --index) {
            if (::mkdir(levels[index].constData(), 0777) != 0) {
                if (errno == EEXIST)
                    continue;
                FailCopyWithSystemText(QStringLiteral("フォルダを作成できません。"),
                                       platform::TextOfBytes(levels[index]), errno);
            }
            writeStatus(StatusTag::FolderMade);
        }
        SetFileErrMsg(item, ErrorItemMode::Remove);
        m_pacer.BreakeTime(0);
    } catch (...) {
        common::SaveErr();
        SetFileErrMsg(item, ErrorItemMode::Add);
        m_pacer.BreakeTime(0);
    }
}

qint32 BackupWork::RecyclerDelete(const QString &FileName, bool msgf)
{
    const QString path = WithoutTrailingSlash(FileName);
    const Descriptor folder = OpenFolder(platform::BytesOfText(ParentFolderOf(path)));
    return recycle(folder.get(), platform::BytesOfText(FileNameOf(path)), platform::BytesOfText(path), msgf);
}

qint32 BackupWork::recycle(int folder, const QByteArray &name, const QByteArray &path, bool msgf)
{
    QString reason;
    const int result = platform::MoveToTrashAt(folder, name, path, &reason);
    if (msgf) {
        const QString item = FailureItem(DisplayPath(path), FailureKind::Delete);
        if (result == 0) {
            writeStatus(StatusTag::Deleted);
            SetFileErrMsg(item, ErrorItemMode::Remove);
        } else {
            common::SaveErr(result, QStringLiteral("RecyclerDelete"), reason);
            SetFileErrMsg(item, ErrorItemMode::Add);
        }
    }
    m_pacer.BreakeTime(0);
    return result;
}

void BackupWork::listFailure(const QString &item, const QString &reason)
{
    const QString told = reason.isEmpty() ? common::SavedErr().Description : reason;
    SetFileErrMsg(item, ErrorItemMode::Add);
    // A reason is kept only for an item that a row shows (the list is cut at its length
    // bound): only a success takes reasons away, and the tooltip looks at every one kept.
    const int row = currentRow();
    if (row >= 0 && findItem(m_bakList.textMatrix(row, BakListColumn::Errors), item) >= 0)
        m_reasons.insert(item, told);
}

QString BackupWork::failureReasons(int row) const
{
    if (row < m_bakList.fixedRows() || row >= m_bakList.rows())
        return QString();
    const QString list = m_bakList.textMatrix(row, BakListColumn::Errors);
    // In the order of the list.
    std::map<qsizetype, QString> reasons;
    for (auto reason = m_reasons.cbegin(); reason != m_reasons.cend(); ++reason) {
        const qsizetype at = findItem(list, reason.key());
        if (at >= 0)
            reasons.emplace(at, reason.key() + QStringLiteral("\n　") + reason.value());
    }
    QStringList lines;
    for (const auto &[at, text] : reasons)
        lines.append(text);
    return lines.join(u'\n');
}

void BackupWork::SetFileErrMsg(const QString &item, int mode)
{
    if (mode == ErrorItemMode::Remove) {
        m_reasons.remove(item);
        for (int row = m_bakList.fixedRows(); row < m_bakList.rows(); ++row) {
            QString list = m_bakList.textMatrix(row, BakListColumn::Errors);
            if (list.isEmpty())
                continue;
            bool changed = false;
            for (qsizetype at = findItem(list, item); at >= 0; at = findItem(list, item, at)) {
                const qsizetype end = at + item.size();
                if (end < list.size())
                    list.remove(at, item.size() + 1);
                else
                    list.remove(at > 0 ? at - 1 : at, item.size() + (at > 0 ? 1 : 0));
                changed = true;
            }
            if (changed)
                m_bakList.setTextMatrix(row, BakListColumn::Errors, list);
        }
        return;
    }
    const int row = currentRow();
    if (row < 0)
        return;
    QString list = m_bakList.textMatrix(row, BakListColumn::Errors);
    if (findItem(list, item) >= 0)
        return;
    if (!list.isEmpty())
        list += ItemSeparator;
    list += item;
    m_bakList.setTextMatrix(row, BakListColumn::Errors, list.left(ErrorListMaxLength));
}

QString BackupWork::messageText() const
{
    if (!m_messagePath.isNull()) {
        m_messageText += DisplayPath(m_messagePath);
        m_messagePath = QByteArray();
    }
    return m_messageText;
}

void BackupWork::showMessage(const QString &text)
{
    m_messageText = text;
    m_messagePath = QByteArray();
    flushMessage();
}

void BackupWork::flushMessage()
{
    m_host.setMessageText(messageText());
    m_messagePending = false;
    m_lastShown = m_clock.nowMs();
}

void BackupWork::writeStatus(const char16_t *tag)
{
    const int row = currentRow();
    if (row < 0)
        return;
    m_bakList.setTextMatrix(row, BakListColumn::Info,
                            QString::fromUtf16(tag)
                                + QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
}

void BackupWork::showItem(const QString &text)
{
    showItem(text, QByteArray());
}

void BackupWork::showItem(const QString &prefix, const QByteArray &path)
{
    m_messageText = prefix;
    m_messagePath = path;
    m_messagePending = true;
    if (m_clock.nowMs() - m_lastShown < StatusIntervalMs)
        return;
    flushMessage();
    m_host.pumpEvents();
}

int BackupWork::currentRow() const
{
    const int row = m_bakList.fixedRows() + m_currentEntry;
    return row >= m_bakList.fixedRows() && row < m_bakList.rows() ? row : -1;
}

} // namespace idlebackup
