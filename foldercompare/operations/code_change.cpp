#include "foldercompare/operations/code_change.h"

#include "common/code_conversion.h"
#include "common/judge_code.h"
#include "common/mod_ftp.h"
#include "common/non_code_class.h"
#include "foldercompare/operations/local_files.h"
#include "platform/atomic_file.h"
#include "platform/file_handles.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare::operations {

namespace {

const QString Bin = QStringLiteral("BIN");
constexpr qint64 JudgeSampleBytes = 100000;
// The conversions' threads per processor: most of a file's time is spent waiting for its
// sync, and syncs issued together share the disk's work: the more are under way, the
// fewer times the disk is asked to flush its cache.
constexpr int WorkersPerProcessor = 8;
// The bytes of the files in hand beyond the first (their texts take several times that).
constexpr qint64 InFlightBytes = qint64(32) << 20;
const QString ChangedMeanwhile = QStringLiteral("文字コード変換の開始後に別のプログラムがファイルを変更したため、書き換えませんでし"
                                                "た（その間に保存された可能性があります）");

const QStringList &codeNames()
{
    static const QStringList names{QStringLiteral("SJIS"),    QStringLiteral("JIS"),  QStringLiteral("EUC"),
                                   QStringLiteral("UNICODE"), QStringLiteral("UTF7"), QStringLiteral("UTF8")};
    return names;
}

// Whether `path` ends with "." and an entry of `binJdExt`, in any letter case: such a
// file is judged "BIN" without looking at its bytes.
bool hasBinaryExtension(const QString &path, const QStringList &binJdExt)
{
    const QString lowered = path.toLower();
    return std::any_of(binJdExt.cbegin(), binJdExt.cend(),
                       [&lowered](const QString &extension) { return lowered.endsWith(u'.' + extension.toLower()); });
}

} // namespace

QString CodeChangeMessage(int side)
{
    return (side == 0 ? QStringLiteral("フォルダ１（旧）側の選択したファイル(行)の文字コードを変換します。")
                      : QStringLiteral("フォルダ２（新）側の選択したファイル(行)の文字コードを変換します。"))
           + QStringLiteral("\r\n変換前後の文字コードを指定してください。(フォルダは変換しません)");
}

QString JudgeFileCode(const QString &path, QByteArrayView bytes, const QStringList &binJdExt)
{
    return JudgeFileCodes(path, bytes, binJdExt).constFirst();
}

QStringList JudgeFileCodes(const QString &path, QByteArrayView bytes, const QStringList &binJdExt)
{
    return hasBinaryExtension(path, binJdExt) ? QStringList{Bin} : common::JudgeCodes(bytes, true);
}

common::CodeJudgement JudgeFileText(const QString &path, QByteArrayView bytes, const QStringList &binJdExt)
{
    return hasBinaryExtension(path, binJdExt) ? common::CodeJudgement{{Bin}, {}} : common::JudgeText(bytes, true);
}

void GetFileCodeCrLf(const QString &path, const QStringList &binJdExt, QString &code, QString &lineEnd)
{
    code = Bin;
    QFile file(path);
    if (path.endsWith(u'/') || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.read(JudgeSampleBytes);
    if (bytes.isEmpty())
        return;
    code = JudgeFileCode(path, bytes, binJdExt);
    if (code == Bin)
        return;
    common::NonCodeClass codes;
    const QString text = codes.ToVbUnicode(code, bytes);
    const bool cr = text.contains(u'\r');
    const bool lf = text.contains(u'\n');
    lineEnd = cr && !lf ? QStringLiteral("\r") : lf && !cr ? QStringLiteral("\n") : QStringLiteral("\r\n");
}

std::pair<QString, QString> CodePreset(const QStringList &paths, const QStringList &binJdExt)
{
    for (const QString &path : paths) {
        QString code;
        QString lineEnd;
        GetFileCodeCrLf(path, binJdExt, code, lineEnd);
        if (!code.isEmpty() && code != Bin)
            return {code, lineEnd};
    }
    return {};
}

FileConversion ConvertFileBytes(const QString &source, const QString &sourceCode, const QString &targetCode,
                                const QString &lineEnd, const QStringList &binJdExt)
{
    FileConversion result;
    // No wait on a FIFO in the file's place: it is opened, and refused as no regular file.
    const platform::Descriptor opened(::open(QFile::encodeName(source).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (!opened.isOpen() || ::fstat(opened.get(), &info) != 0) {
        if (errno != ENOENT)
            result.refusal = platform::SystemErrorText(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.refusal = QStringLiteral("通常のファイルではないため変換しません");
        return result;
    }
    QFile file;
    if (!file.open(opened.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        result.refusal = file.errorString();
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.refusal = file.errorString();
        return result;
    }
    return ConvertBytes(source, bytes, sourceCode, targetCode, lineEnd, binJdExt);
}

FileConversion ConvertBytes(const QString &source, const QByteArray &bytes, const QString &sourceCode,
                            const QString &targetCode, const QString &lineEnd, const QStringList &binJdExt,
                            const common::ConvertedPiece &deliver)
{
    FileConversion result;
    if (bytes.isEmpty())
        return result;
    // Judged from the whole text: UTF-8 text behind the first block still makes it UTF-8.
    const common::CodeJudgement judgement = JudgeFileText(source, bytes, binJdExt);
    const QStringList &judged = judgement.codes;
    if (judged.constFirst() == Bin) {
        result.refusal = QStringLiteral("バイナリファイルと判定されたため変換しません");
        return result;
    }
    // A guess is no ground for rewriting a file.
    if (sourceCode.isEmpty() && judgement.inDoubt()) {
        result.refusal = QStringLiteral("文字コードを判別できないため変換しません（") + judgement.codesInDoubt.join(u'と')
                         + QStringLiteral("のどちらでも読めます）");
        return result;
    }
    // A judged file is read in the judged code, or in the next code of the judge's
    // preference when that one does not read every byte.
    const QStringList sourceCodes = sourceCode.isEmpty() ? judged : QStringList{sourceCode};
    if (!codeNames().contains(sourceCodes.constFirst()) || !codeNames().contains(targetCode)) {
        result.refusal = QStringLiteral("変換できない文字コードです : ")
                         + (codeNames().contains(sourceCodes.constFirst()) ? targetCode : sourceCodes.constFirst());
        return result;
    }
    // Whether the converted bytes are those of the file, as far as they went.
    bool unchanged = true;
    qsizetype convertedSize = 0;
    bool delivered = true;
    // A file judged to be in the target code may be left as it is: while the converted
    // bytes are the file's, they are held back rather than written, and `heldBack` of
    // them wait.
    const bool mayBeLeft = sourceCode.isEmpty() && judged.constFirst() == targetCode;
    qsizetype heldBack = 0;
    const auto deliverHeldBack = [&] {
        delivered = heldBack == 0 || deliver(QByteArrayView(bytes).first(heldBack), 0);
        heldBack = 0;
        return delivered;
    };
    const common::ConvertedPiece comparedPiece = [&](QByteArrayView piece, qsizetype offset) {
        if (offset == 0)
            heldBack = 0;
        unchanged = (offset == 0 || unchanged) && QByteArrayView(bytes).sliced(std::min(offset, bytes.size())).startsWith(piece);
        convertedSize = offset + piece.size();
        if (mayBeLeft && unchanged) {
            heldBack = convertedSize;
            return true;
        }
        delivered = deliverHeldBack() && deliver(piece, offset);
        return delivered;
    };
    const common::CodeConversion conversion =
        common::ConvertCode(sourceCodes, bytes, targetCode, lineEnd, deliver ? comparedPiece : common::ConvertedPiece());
    if (!delivered)
        return result;
    if (!deliver) {
        unchanged = conversion.bytes == bytes;
        convertedSize = bytes.size();
    }
    const QString &code = conversion.code;
    if (code.isEmpty()) {
        result.refusal = sourceCode.isEmpty()
                             ? QStringLiteral("どの文字コードでも読めないデータがあります")
                             : QStringLiteral("変換前の文字コード(") + sourceCode + QStringLiteral(")で読めないデータがあります");
        return result;
    }
    if (!conversion.encoded) {
        result.refusal = QStringLiteral("変換後の文字コード(") + targetCode + QStringLiteral(")で表せない文字があります");
        return result;
    }
    if (sourceCode.isEmpty() && code == targetCode && unchanged && convertedSize == bytes.size()) {
        result.refusal = QStringLiteral("変換後と同じ文字コード(") + targetCode + QStringLiteral(")と改行コードです");
        return result;
    }
    if (!deliverHeldBack())
        return result;
    result.bytes = conversion.bytes;
    result.ok = true;
    return result;
}

bool ConvertFileCode(const QString &source, const QString &destination, const QString &sourceCode,
                     const QString &targetCode, const QString &lineEnd, const QStringList &binJdExt)
{
    const FileConversion conversion = ConvertFileBytes(source, sourceCode, targetCode, lineEnd, binJdExt);
    return conversion.ok && !ReplaceFileContents(destination, conversion.bytes);
}

CodeChangeOperation::CodeChangeOperation(int side, QString sourceCode, QString targetCode, QString lineEnd,
                                         QString temporaryFile)
    : m_side(side)
    , m_sourceCode(std::move(sourceCode))
    , m_targetCode(std::move(targetCode))
    , m_lineEnd(std::move(lineEnd))
    , m_temporaryFile(std::move(temporaryFile))
{
    m_words.missingRoot = QStringLiteral("フォルダまたはファイルが存在しません。　");
    m_words.progressMessage = QStringLiteral("文字コード変換中です");
    m_words.readOnlyLine = QStringLiteral("読み取り専用のファイルがあります。　");
    m_words.readOnlyQuestion = QStringLiteral("読み取り専用のファイルも文字コード変換しますか？  ");
    m_words.readOnlyHeading = QStringLiteral("読み取り専用のため文字コード変換出来ないファイルがありました。　");
    m_words.errorHeading = QStringLiteral("エラーが発生したため文字コード変換出来ないファイルがありました。　");
    m_words.completeText = QStringLiteral("文字コード変換が完了しました。　");
    m_words.partialText = QStringLiteral("一部のファイルが文字コード変換されました。　");
    m_words.noneText = QStringLiteral("文字コード変換したファイルはありません。　");
    m_words.verb = QStringLiteral("文字コード変換");
    m_words.procedureName = QStringLiteral("CodeChange");
    m_workers.setMaxThreadCount(WorkersPerProcessor * std::max(1, QThread::idealThreadCount()));
}

CodeChangeOperation::~CodeChangeOperation()
{
    for (PendingFile &file : m_pending)
        file.outcome.wait();
}

namespace {

// Reads the whole file `name` of the open folder `folder` while it is in the state
// `decided`, keeping it open (`outcome.old`); nullopt when it is not (`outcome.changed`)
// or cannot be read (`outcome.failure`).
std::optional<QByteArray> readAsDecided(int folder, const QByteArray &name, const platform::TargetState &decided,
                                        CodeChangeOperation::FileOutcome &outcome)
{
    // No wait on a FIFO put in the file's place: it is opened, and is not the file decided on.
    outcome.old = std::make_shared<platform::Descriptor>(
        ::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const platform::Descriptor &input = *outcome.old;
    struct stat before;
    if (!input.isOpen() || ::fstat(input.get(), &before) != 0) {
        if (errno == ENOENT || errno == ELOOP)
            outcome.changed = true;
        else
            outcome.failure = platform::SystemErrorText(errno);
        return std::nullopt;
    }
    if (!S_ISREG(before.st_mode) || !platform::TargetState::of(before).sameAs(decided)) {
        outcome.changed = true;
        return std::nullopt;
    }
    QFile file;
    if (!file.open(input.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        outcome.failure = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        outcome.failure = file.errorString();
        return std::nullopt;
    }
    // A write while it was read leaves its mark on the change time.
    struct stat after;
    if (::fstat(input.get(), &after) != 0 || !platform::TargetState::of(after).sameAs(decided)) {
        outcome.changed = true;
        return std::nullopt;
    }
    return bytes;
}

// The new contents of the file `name` of the open folder `folder`, written beside it
// piece by piece as they are converted, each piece sent on to the disk at once, so that
// the disk writes while the rest is converted.
class BesideWriter
{
public:
    BesideWriter(std::shared_ptr<const platform::Descriptor> folder, QByteArray name)
        : m_folder(std::move(folder)), m_name(std::move(name))
    {
    }

    // Writes `piece` at `offset` of the new contents; 0 starts them anew.
    bool write(QByteArrayView piece, qsizetype offset)
    {
        if (offset == 0 || !m_file) {
            m_file.emplace(m_folder, m_name);
            if (!m_file->open())
                return false;
        }
        if (!m_file->write(piece))
            return false;
        m_file->startWriteback();
        return true;
    }

    QString errorString() const { return m_file ? m_file->errorString() : QString(); }

    // Syncs the new contents and makes them a copy waiting to replace the file while it
    // is in the state `decided`.
    void finish(const platform::TargetState &decided, CodeChangeOperation::FileOutcome &outcome)
    {
        if (!m_file || !m_file->finish()) {
            outcome.failure = errorString();
            return;
        }
        const QByteArray temporary = m_file->takeFinishedTemporary();
        struct stat written;
        if (::fstatat(m_folder->get(), temporary.constData(), &written, AT_SYMLINK_NOFOLLOW) != 0) {
            outcome.failure = platform::SystemErrorText(errno);
            ::unlinkat(m_folder->get(), temporary.constData(), 0);
            return;
        }
        const struct timespec times[2] = {written.st_atim, written.st_mtim};
        outcome.written = std::make_unique<platform::WrittenCopy>(m_folder, temporary, m_name, times, decided);
    }

private:
    std::shared_ptr<const platform::Descriptor> m_folder;
    QByteArray m_name;
    std::optional<platform::AtomicFile> m_file;
};

} // namespace

void CodeChangeOperation::handleRow(OperationFrame &frame, const OperationRow &row)
{
    const QString path = frame.writtenPath(m_side, row);
    if (path.endsWith(u'/') || QFileInfo(path).isDir() || frame.goneSinceComparison(m_side, row, path))
        return;
    if (frame.isFtpSide(m_side)) {
        convertMirrorCopy(frame, row, path);
        return;
    }
    if (const StepResult link = LinkOnTheWay(frame.sides().sideRoot[m_side], path, true)) {
        frame.listError(path, *link);
        return;
    }
    // The file is looked up from the side's root down, and every change made in the
    // folder reached: a link put in place of a folder on the way since (while the
    // read-only question was open) fails the row when it is put in place.
    platform::Descriptor opened;
    QByteArray name;
    if (const StepResult link = OpenEntryFolder(frame.sides().sideRoot[m_side], path, opened, name)) {
        frame.listError(path, *link);
        return;
    }
    if (!opened.isOpen()) {
        frame.listError(path, platform::SystemErrorText(errno));
        return;
    }
    auto folder = std::make_shared<const platform::Descriptor>(std::move(opened));
    // The file as the conversion is decided on: it is read in this state and replaced
    // only while it is still in it.
    const std::optional<DecidedTarget> decided = DecideTarget(frame, m_side, row, folder->get(), name, path, true);
    // Nothing there, as the list shows: nothing to convert.
    if (!decided || !decided->state.present)
        return;
    const qint64 bytes = decided->state.identity.size;
    while (full(bytes))
        collectOldest(frame);
    auto job = std::make_shared<std::packaged_task<FileOutcome()>>(
        [path, folder, name, decided = decided->state, sourceCode = m_sourceCode, targetCode = m_targetCode,
         lineEnd = m_lineEnd, binJdExt = frame.sides().binJdExt, trash = frame.sides().recyclerBackup] {
            FileOutcome outcome;
            const std::optional<QByteArray> bytes = readAsDecided(folder->get(), name, decided, outcome);
            if (!bytes)
                return outcome;
            BesideWriter writer(folder, name);
            const FileConversion conversion
                = ConvertBytes(path, *bytes, sourceCode, targetCode, lineEnd, binJdExt,
                               [&writer](QByteArrayView piece, qsizetype offset) { return writer.write(piece, offset); });
            if (!conversion.ok)
                outcome.failure = conversion.refusal.isEmpty() ? writer.errorString() : conversion.refusal;
            else
                writer.finish(decided, outcome);
            // Made here, beside the other files' conversions, rather than one after the
            // other as the files are put in place.
            if (outcome.written && trash)
                outcome.trashRecord = platform::TrashRecord::prepare(folder->get(), name, QFile::encodeName(path));
            return outcome;
        });
    m_pending.push_back(
        {frame.currentRow(), row.path, path, folder, name, decided->madeWritable, decided->state, job->get_future()});
    m_pendingBytes += bytes;
    m_workers.start([job] { (*job)(); });
}

bool CodeChangeOperation::full(qint64 bytes) const
{
    return !m_pending.empty()
           && (m_pending.size() >= size_t(m_workers.maxThreadCount()) || m_pendingBytes + bytes > InFlightBytes);
}

void CodeChangeOperation::collectOldest(OperationFrame &frame)
{
    PendingFile file = std::move(m_pending.front());
    m_pending.pop_front();
    m_pendingBytes -= file.decided.identity.size;
    FileOutcome outcome = file.outcome.get();
    bool changed = outcome.changed;
    StepResult failure = changed ? StepResult(ChangedMeanwhile) : std::nullopt;
    if (!outcome.written) {
        if (!outcome.failure.isEmpty())
            failure = outcome.failure;
    } else {
        // A link put in place of the file or of a folder above it since the row was
        // decided on is not written through.
        failure = LinkOnTheWay(frame.sides().sideRoot[m_side], file.path, true);
        BeforeReplace backup;
        if (frame.sides().recyclerBackup)
            backup = [&file, &outcome](const ReplacementReady &replacementReady) {
                // The trash keeps the old file as it was, read-only included.
                if (file.readOnly)
                    SetReadOnlyAt(file.folder->get(), file.name, 1);
                return TrashBackupBeforeReplace(file.folder->get(), file.name, file.path, replacementReady,
                                                outcome.trashRecord.get());
            };
        const platform::Placement placement = failure ? platform::Placement() : outcome.written->place(backup);
        changed = !failure && placement.outcome == platform::Placement::Outcome::TargetChanged;
        if (changed)
            failure = ChangedMeanwhile;
        else if (!failure && placement.outcome == platform::Placement::Outcome::Failed)
            failure = placement.reason;
    }
    if (!failure && outcome.written) {
        // The replaced file is freed on a worker thread.
        m_workers.start([old = std::move(outcome.old)] { old->reset(); });
        ++m_filesConverted;
        frame.noteLocal(m_side, file.relative, file.folder->get(), file.name);
        // The new contents keep the file read-only.
        if (file.readOnly)
            SetReadOnlyAt(file.folder->get(), file.name, 1);
    } else if (file.readOnly) {
        RestoreReadOnly(file.folder->get(), file.name, file.decided);
    }
    if (failure && changed)
        frame.listChangedMeanwhile(file.row, file.path, *failure);
    else if (failure)
        frame.listRowError(file.row, file.path, *failure);
}

void CodeChangeOperation::finishRows(OperationFrame &frame)
{
    // After a confirmed stop the files get nothing more: the conversions in hand are
    // dropped (their temporary files go with them) and their rows are not done.
    if (frame.outcome().aborted) {
        for (PendingFile &file : m_pending) {
            file.outcome.wait();
            if (file.readOnly)
                RestoreReadOnly(file.folder->get(), file.name, file.decided);
        }
        frame.countRowsNotReached(int(m_pending.size()));
        m_pending.clear();
        m_pendingBytes = 0;
        return;
    }
    while (!m_pending.empty())
        collectOldest(frame);
}

void CodeChangeOperation::convertMirrorCopy(OperationFrame &frame, const OperationRow &row, const QString &path)
{
    const FileConversion conversion
        = ConvertFileBytes(path, m_sourceCode, m_targetCode, m_lineEnd, frame.sides().binJdExt);
    if (!conversion.ok) {
        if (!conversion.refusal.isEmpty())
            frame.listError(path, conversion.refusal);
        return;
    }
    // The mirror copy is no file of the user's: the server gets the new contents first,
    // and no question or trash applies to the copy.
    QString remote;
    bool uploading = false;
    try {
        remote = frame.remotePath(m_side, path);
        if (const std::optional<QString> link
            = FtpLinkOnTheWay(frame.remoteSideFolder(m_side), remote, m_remoteLinks))
            throw common::Failure(common::FtpNoNumber, QStringLiteral("modFtp"), *link);
        // The server's file is rewritten only while it is the one the comparison listed.
        if (!frame.serverAsCompared(m_side, row, remote)) {
            frame.listChangedSinceComparison(remote);
            return;
        }
        if (const StepResult failure = ReplaceFileContents(m_temporaryFile, conversion.bytes))
            throw common::Failure(common::LocalFileFailure, QStringLiteral("CodeChange"), *failure);
        uploading = true;
        common::FtpPutMakeDirs(m_temporaryFile, remote, true);
        frame.noteSideChanged();
        frame.noteUploaded(m_side, row.path, remote, conversion.bytes.size());
    } catch (const common::Failure &failure) {
        // An upload that broke part way may still have changed the server's file.
        if (uploading && common::FtpPutChangedServer())
            frame.noteSideChanged();
        frame.listError(remote.isEmpty() ? path : remote, failure.record().Description);
        return;
    }
    if (IsReadOnlyEntry(path))
        SetReadOnly(path, -1);
    if (const StepResult failure = ReplaceFileContents(path, conversion.bytes))
        frame.listError(path, *failure);
    else
        ++m_filesConverted;
}

} // namespace foldercompare::operations
