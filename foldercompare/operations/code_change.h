#pragma once

#include "common/code_conversion.h"
#include "common/judge_code.h"
#include "foldercompare/operations/operation_frame.h"
#include "platform/descriptor.h"
#include "platform/descriptor_trash.h"
#include "platform/file_copy.h"

#include <QByteArray>
#include <QStringList>
#include <QThreadPool>

#include <deque>
#include <future>
#include <memory>

namespace foldercompare::operations {

// The code dialog's message for a conversion on side `side`.
QString CodeChangeMessage(int side);

// The code name of a file: "BIN" when the path ends with "." and an entry of
// `binJdExt` (any letter case), else the judge's answer for `bytes`, "BIN" among them.
QString JudgeFileCode(const QString &path, QByteArrayView bytes, const QStringList &binJdExt);
// The same as a list in the judge's order of preference (common::JudgeCodes): "BIN"
// alone, or the judged code first and the other text codes behind it.
QStringList JudgeFileCodes(const QString &path, QByteArrayView bytes, const QStringList &binJdExt);
// The same with the judge's word on whether the first code is in doubt (common::JudgeText).
common::CodeJudgement JudgeFileText(const QString &path, QByteArrayView bytes, const QStringList &binJdExt);

// The character code and line end of the file `path`, judged from its first 100000
// bytes: `code` becomes "BIN" for a folder, a missing, empty, unreadable or binary file
// (`lineEnd` then stays as it was); else the code name, and `lineEnd` CR when the text
// holds CR but no LF, LF when it holds LF but no CR, CR LF otherwise.
void GetFileCodeCrLf(const QString &path, const QStringList &binJdExt, QString &code, QString &lineEnd);

// The code and line end that the code dialog opens on: those of the first of `paths`
// that is a text file; both empty when none is.
std::pair<QString, QString> CodePreset(const QStringList &paths, const QStringList &binJdExt);

// One file's contents converted.
struct FileConversion
{
    bool ok = false;
    QByteArray bytes;
    // Why the file is refused (binary, not clean in the source code, a character that
    // the target code cannot express, unreadable); empty when it is passed over quietly
    // (missing, empty).
    QString refusal;
};

// Reads `source` whole, decodes it in `sourceCode` (judged per file when empty, and then
// read in the next code of the judge's preference when the judged one does not read every
// byte; a file judged "BIN" is refused whatever the code), makes every line end `lineEnd` (CR, LF or
// CR LF) and encodes it in `targetCode`, never with a byte-order mark. Code names are
// "SJIS", "JIS", "EUC", "UNICODE", "UTF7" and "UTF8"; any other is refused. A judged file
// is refused when its code is in doubt (two codes read it and neither reading is clearly
// text), and when it is read in `targetCode` and the conversion would leave its bytes as
// they are: nothing is done to it, and it does not count as converted.
FileConversion ConvertFileBytes(const QString &source, const QString &sourceCode, const QString &targetCode,
                                const QString &lineEnd, const QStringList &binJdExt);
// The same for the contents `bytes` of the file `source`, already read. With `deliver`
// given, the converted bytes go to it piece by piece as they are converted
// (common::ConvertCode), and `bytes` of the result stays empty; a refusal of `deliver`
// ends the conversion with `ok` false and no refusal of its own.
FileConversion ConvertBytes(const QString &source, const QByteArray &bytes, const QString &sourceCode,
                            const QString &targetCode, const QString &lineEnd, const QStringList &binJdExt,
                            const common::ConvertedPiece &deliver = {});

// ConvertFileBytes of `source`, written over `destination` through a temporary file
// beside it. False, with nothing written, when the conversion or the write failed.
bool ConvertFileCode(const QString &source, const QString &destination, const QString &sourceCode,
                     const QString &targetCode, const QString &lineEnd, const QStringList &binJdExt);

// CodeChange(p): rewrites the files of the selected rows on side p in the chosen code
// and line end. On an FTP side the converted file is uploaded from `temporaryFile` (a
// file of this window's own) first and then replaces the mirror copy. Local files are
// converted and written beside themselves on worker threads behind the walk, a few rows
// per processor and 32 MB ahead at most, so that files are converted while others wait
// for the disk; each is put in place (after the trash backup of the old file) and
// reaches the lists in row order. After a confirmed stop the conversions not yet in place are dropped, their files
// left as they were and their rows counted as not done. A local row that is a symbolic link, or lies below one, and
// an FTP row below a link on the server fail: nothing is written through a link. A local
// file is converted only while it is what the comparison showed
// (OperationFrame::asCompared), read in the state it was then decided on, and replaced
// only while it is still in that state (platform::WrittenCopy::place): a file saved
// meanwhile keeps what was saved, its row is listed and the refresh offered. A server's
// file is rewritten only while the server lists it as the comparison did
// (OperationFrame::serverAsCompared). A file gone since the comparison is listed as
// changed after it. What the conversion leaves is what the comparison holds from then on.
class CodeChangeOperation final : public FileOperation
{
public:
    CodeChangeOperation(int side, QString sourceCode, QString targetCode, QString lineEnd, QString temporaryFile);
    ~CodeChangeOperation() override;

    const OperationWords &words() const override { return m_words; }
    QList<int> rootsToCheck() const override { return {m_side}; }
    QList<int> remoteSides() const override { return {m_side}; }
    int refreshSide() const override { return m_side; }
    void handleRow(OperationFrame &frame, const OperationRow &row) override;
    void finishRows(OperationFrame &frame) override;
    int rowsDone() const override { return m_filesConverted; }

    int filesConverted() const { return m_filesConverted; }

    // How the conversion of one local file ended: its new contents written and on the
    // disk beside it, not yet in place, or the reason they were not (empty when the file
    // was passed over quietly), or the file was not in the state it was decided on when
    // it was read.
    struct FileOutcome
    {
        std::unique_ptr<platform::WrittenCopy> written;
        // The file as it was read, held open until the new contents replace it: the
        // system then frees its blocks when a worker closes it, not in the rename on the
        // walk's thread.
        std::shared_ptr<platform::Descriptor> old;
        // The trash record of the file, written ahead when the trash backup is on.
        std::unique_ptr<platform::TrashRecord> trashRecord;
        QString failure;
        bool changed = false;
    };

private:
    struct PendingFile
    {
        qsizetype row = 0;
        // The row's relative path, and the file's path.
        QString relative;
        QString path;
        // The file's folder, opened from the side's root down through no link, and the
        // file's name in it: the new contents are written, put in place and the old
        // ones moved to the trash there.
        std::shared_ptr<const platform::Descriptor> folder;
        QByteArray name;
        // The file was read-only and made writable for the change.
        bool readOnly = false;
        // The file as the change was decided on (after it was made writable).
        platform::TargetState decided;
        std::future<FileOutcome> outcome;
    };
    // Whether another file of `bytes` bytes would exceed the conversions in hand: the
    // oldest is then put in place first.
    bool full(qint64 bytes) const;
    void convertMirrorCopy(OperationFrame &frame, const OperationRow &row, const QString &path);
    void collectOldest(OperationFrame &frame);

    int m_side;
    QString m_sourceCode;
    QString m_targetCode;
    QString m_lineEnd;
    QString m_temporaryFile;
    OperationWords m_words;
    int m_filesConverted = 0;
    std::deque<PendingFile> m_pending;
    // The bytes of the files in m_pending as they were decided on.
    qint64 m_pendingBytes = 0;
    RemoteLinks m_remoteLinks;
    // The conversions' threads; each waits for its file to reach the disk a good part
    // of its time. Destroyed first: it waits for the work under way.
    QThreadPool m_workers;
};

} // namespace foldercompare::operations
