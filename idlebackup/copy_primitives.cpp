#include "idlebackup/backup_list.h"
#include "idlebackup/backup_work.h"
#include "idlebackup/copy_rules.h"
#include "idlebackup/file_access.h"

#include "common/saved_error.h"
#include "platform/atomic_file.h"
#include "platform/flex_grid.h"
#include "platform/shell_services.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace idlebackup {

namespace {

// One buffer of a copy, and the step of its progress text (ten buffers).
constexpr qint64 CopyBufferBytes = 102400;
constexpr qint64 ProgressStepBytes = 1024000;
// Longest failure list of an entry, in characters.
constexpr int ErrorListMaxLength = 256;
// The status line is redrawn at most this often.
constexpr qint64 StatusIntervalMs = 50;
constexpr qint32 CopyFailureNumber = 9999;

const QString ItemSeparator = QStringLiteral(",");

[[noreturn]] void fail(const QString &description)
{
    throw common::Failure(CopyFailureNumber, QCoreApplication::applicationName(), description);
}

[[noreturn]] void failWithSystemText(const QString &what, const QString &path, int code)
{
    fail(what + QStringLiteral(" ") + path + QStringLiteral(" : ") + GetSystemErrorText(code));
}

bool sameTime(const timespec &one, const timespec &other)
{
    return one.tv_sec == other.tv_sec && one.tv_nsec == other.tv_nsec;
}

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

// A process that made a temporary file is gone, or is this one (whose copies clean up
// after themselves before the walk looks again).
bool isStale(qint64 process)
{
    if (process == qint64(::getpid()))
        return true;
    return process > 0 && ::kill(pid_t(process), 0) != 0 && errno == ESRCH;
}

} // namespace

BackupWork::BackupWork(platform::FlexGrid &bakList, const qint32 &currentEntry, BackupSettings &settings,
                       const RunFlags &flags, Pacer &pacer, Clock &clock, WorkHost &host)
    : m_bakList(bakList)
    , m_currentEntry(currentEntry)
    , m_settings(settings)
    , m_flags(flags)
    , m_pacer(pacer)
    , m_clock(clock)
    , m_host(host)
{
}

void BackupWork::CopyFile(const QString &source, const QString &destination)
{
    if (source == destination)
        return;
    const QString item = source + QStringLiteral("->") + destination + QStringLiteral("(COPY)");
    clsFileAccess input;
    clsFileAccess output;
    QByteArray temporary;
    try {
        m_pacer.CpuIdleCheckAndWait();
        const QString kept = m_messageText;
        input.OpenFile(source, FileAccessMode::Read);
        struct stat before;
        if (::fstat(input.FileHandle(), &before) != 0)
            failWithSystemText(QStringLiteral("読み込めません。"), source, errno);
        if (!S_ISREG(before.st_mode))
            fail(QStringLiteral("通常のファイルではありません。 ") + source);
        const QByteArray target = QFile::encodeName(destination);
        struct stat existing;
        if (::stat(target.constData(), &existing) == 0 && existing.st_dev == before.st_dev
            && existing.st_ino == before.st_ino)
            return;
        temporary = platform::temporaryFilePathFor(target);
        output.OpenFile(QFile::decodeName(temporary), FileAccessMode::CreateNew);
        QDateTime created;
        QDateTime accessed;
        QDateTime written;
        input.GetTimes(created, accessed, written);
        m_pacer.BreakeTime(0);

        QByteArray buffer(CopyBufferBytes, Qt::Uninitialized);
        qint64 total = 0;
        for (;;) {
            if (!m_flags.going())
                fail(QStringLiteral("中止"));
            const qint64 count = input.ReadBytes(buffer, CopyBufferBytes);
            if (count < 0)
                failWithSystemText(QStringLiteral("読み込めません。"), source, input.lastError());
            total += count;
            m_pacer.BreakeTime(0);
            if (count == 0)
                break;
            if (output.WriteBytes(buffer, count) != count)
                failWithSystemText(QStringLiteral("書き込めません。"), destination, output.lastError());
            if (total % ProgressStepBytes == 0)
                showItem(kept + QStringLiteral("(SIZE=") + CommaEdit(double(total / ProgressStepBytes))
                         + QStringLiteral(",000KByte)"));
            m_pacer.BreakeTime(999);
        }

        // A source that changed while it was read gives no copy: the next pass takes it.
        struct stat after;
        if (::fstat(input.FileHandle(), &after) != 0 || after.st_size != before.st_size || after.st_size != total
            || !sameTime(after.st_mtim, before.st_mtim))
            fail(QStringLiteral("コピー中にファイルが変更されました。 ") + source);
        m_pacer.BreakeTime(0);
        output.SetAttributes(input.GetAttributes());
        m_pacer.BreakeTime(0);
        output.SetTimes(created, accessed, written);
        m_pacer.BreakeTime(0);
        input.CloseFile();
        m_pacer.BreakeTime(0);
        struct stat copied;
        if (!output.Flush() || ::fstat(output.FileHandle(), &copied) != 0 || copied.st_size != total)
            failWithSystemText(QStringLiteral("書き込めません。"), destination, output.lastError());
        if (!output.CloseFile())
            failWithSystemText(QStringLiteral("書き込めません。"), destination, output.lastError());
        struct stat still;
        if (::stat(QFile::encodeName(source).constData(), &still) != 0 || still.st_dev != before.st_dev
            || still.st_ino != before.st_ino)
            fail(QStringLiteral("コピー中にファイルが削除または置き換えられました。 ") + source);
        if (::rename(temporary.constData(), target.constData()) != 0)
            failWithSystemText(QStringLiteral("書き込めません。"), destination, errno);
        temporary.clear();

        writeStatus(StatusTag::Copied);
        SetFileErrMsg(item, ErrorItemMode::Remove);
        m_pacer.BreakeTime(0);
    } catch (...) {
        common::SaveErr();
        SetFileErrMsg(item, ErrorItemMode::Add);
        input.CloseFile();
        output.CloseFile();
        if (!temporary.isEmpty())
            ::unlink(temporary.constData());
        m_pacer.BreakeTime(0);
    }
}

void BackupWork::CreateFolder(const QString &folder)
{
    const QString item = folder + QStringLiteral("(MKDIR)");
    try {
        m_pacer.CpuIdleCheckAndWait();
        QList<QByteArray> levels;
        for (QString level = folder; !level.isEmpty(); level = ParentFolderOf(level)) {
            levels.append(QFile::encodeName(level));
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
                failWithSystemText(QStringLiteral("フォルダを作成できません。"), QFile::decodeName(levels[index]),
                                   errno);
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
    QString reason;
    const int result = platform::RecyclerDelete(FileName, &reason);
    if (msgf) {
        const QString item = FileName + QStringLiteral("(DEL)");
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

void BackupWork::showMessage(const QString &text)
{
    m_messageText = text;
    flushMessage();
}

void BackupWork::flushMessage()
{
    m_host.setMessageText(m_messageText);
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
    m_messageText = text;
    m_messagePending = true;
    if (m_clock.nowMs() - m_lastShown < StatusIntervalMs)
        return;
    flushMessage();
    m_host.pumpEvents();
}

void BackupWork::removeStaleCopies(const QString &folder)
{
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    DIR *const entries = ::fdopendir(descriptor);
    if (!entries) {
        ::close(descriptor);
        return;
    }
    QList<QByteArray> stale;
    while (const dirent *entry = ::readdir(entries)) {
        const std::optional<qint64> process = platform::temporaryFileProcess(QByteArrayView(entry->d_name));
        struct stat info;
        if (process && isStale(*process) && ::fstatat(descriptor, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(info.st_mode))
            stale.append(QByteArray(entry->d_name));
    }
    for (const QByteArray &name : stale)
        ::unlinkat(descriptor, name.constData(), 0);
    ::closedir(entries);
}

int BackupWork::currentRow() const
{
    const int row = m_bakList.fixedRows() + m_currentEntry;
    return row >= m_bakList.fixedRows() && row < m_bakList.rows() ? row : -1;
}

} // namespace idlebackup
