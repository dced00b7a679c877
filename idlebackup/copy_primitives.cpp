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
#include <QDateTime>

#include <cerrno>
#include <fcntl.h>
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
constexpr quint64 SyncBatch = 256;
constexpr std::size_t MaxWaitingCopies = 2 * SyncBatch;
// Beyond this many bytes in copies waiting, the oldest is waited for.
constexpr qint64 MaxWaitingBytes = qint64(256) << 20;

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
    return QStringLiteral("…") + path.right(ErrorListMaxLength - kindText.size() - 1) + kindText;
}

// A copy written and closed, waiting for a sync that covers it (its number) before it is
// placed; a copy on FUSE, synced on its own, needs none (0).
struct BackupWork::WaitingCopy
{
    std::unique_ptr<WrittenCopy> copy;
    quint64 number = 0;
    QString item; // its failure item
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
    , m_syncs(std::make_unique<platform::BatchSync>(SyncBatch))
{
}

void BackupWork::CopyFile(const QString &source, const QString &destination)
{
    if (source == destination)
        return;
    const Descriptor sourceFolder = OpenFolder(platform::BytesOfText(ParentFolderOf(source)));
    const auto targetFolder
        = std::make_shared<const Descriptor>(OpenFolder(platform::BytesOfText(ParentFolderOf(destination))));
    struct stat info{};
    ::fstat(targetFolder->get(), &info);
    copyFile(FileAt{sourceFolder.get(), platform::BytesOfText(FileNameOf(source)), source},
             FileAt{targetFolder->get(), platform::BytesOfText(FileNameOf(destination)), destination}, targetFolder,
             info.st_dev, !platform::BatchSync::wholeFileSystemSyncs(targetFolder->get()));
    placeWrittenCopies(true);
}

void BackupWork::copyFile(const FileAt &source, const FileAt &target,
                          const std::shared_ptr<const Descriptor> &targetFolder, dev_t device, bool onFuse)
{
    const QString item = FailureItem(source.display + QStringLiteral("->") + target.display, FailureKind::Copy);
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
        if (!onFuse)
            m_syncs->note(device, [&] { return Descriptor(::fcntl(targetFolder->get(), F_DUPFD_CLOEXEC, 0)); });
        std::unique_ptr<WrittenCopy> written;
        try {
            written = WriteCopyAt(source, target, targetFolder, onFuse, callbacks);
        } catch (const CopyOutOfSpace &) {
            // The copies waiting to be placed may hold the space that this one needed
            // (a disk that is nearly full): once they are in place, it is tried again.
            if (m_written.empty() || !m_flags.going())
                throw;
            placeWrittenCopies(true);
            written = WriteCopyAt(source, target, targetFolder, onFuse, callbacks);
        }
        if (!written)
            return;
        m_writtenBytes += written->bytes();
        m_written.push_back(WaitingCopy{std::move(written), onFuse ? 0 : m_syncs->count(), item});
        placeWrittenCopies(false);
    } catch (...) {
        common::SaveErr();
        SetFileErrMsg(item, ErrorItemMode::Add);
        m_pacer.BreakeTime(0);
    }
}

void BackupWork::placeWrittenCopies(bool all)
{
    int error = m_syncs->keepSyncing();
    std::size_t placed = 0;
    for (; placed < m_written.size() && error == 0; ++placed) {
        WaitingCopy &oldest = m_written[placed];
        if (!m_syncs->durable(oldest.number)) {
            if (!all && m_written.size() - placed < MaxWaitingCopies && m_writtenBytes <= MaxWaitingBytes)
                break;
            // The window stays responsive while the disk catches up.
            error = m_syncs->waitUntilDurable(oldest.number, [this] { m_host.pumpEvents(); });
            if (error != 0)
                break;
        }
        if (!m_flags.going())
            break;
        m_writtenBytes -= oldest.copy->bytes();
        try {
            oldest.copy->place();
            writeStatus(StatusTag::Copied);
            SetFileErrMsg(oldest.item, ErrorItemMode::Remove);
        } catch (...) {
            common::SaveErr();
            SetFileErrMsg(oldest.item, ErrorItemMode::Add);
        }
    }
    // A copy that is not placed is not made: a failed sync may have lost any of them,
    // and after a stop nothing more is changed.
    if (error != 0 || (all && placed < m_written.size())) {
        for (std::size_t index = placed; index < m_written.size(); ++index) {
            const FileAt &target = m_written[index].copy->target();
            common::SaveErr(CopyFailureNumber, QCoreApplication::applicationName(),
                            error != 0 ? SystemFailureText(QStringLiteral("書き込めません。"), target.display, error)
                                       : QStringLiteral("中止"));
            SetFileErrMsg(m_written[index].item, ErrorItemMode::Add);
        }
        placed = m_written.size();
        m_writtenBytes = 0;
    }
    m_written.erase(m_written.begin(), m_written.begin() + qsizetype(placed));
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

void BackupWork::SetFileErrMsg(const QString &item, int mode)
{
    if (mode == ErrorItemMode::Remove) {
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
