#include "textcompare/engine/text_read.h"

#include "common/common_module.h"
#include "common/non_code_class.h"
#include "common/saved_error.h"
#include "common/settings_values.h"
#include "platform/own_file.h"
#include "platform/user_dialogs.h"
#include "textcompare/engine/document_read.h"
#include "textcompare/engine/network_sources.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace textcompare {

namespace {

const QString FileNotFound = QStringLiteral("ファイルが存在しません。　\r\n(注)UNICODEのファイル名は未対応です。ごめんなさい。　　\r\n\r\n");
const QString UrlNotFound = QStringLiteral("ＵＲＬが存在しません。　\r\n\r\n");
const QString DownloadTargetBlocked = QStringLiteral("ダウンロードしたファイルを置く一時ファイルを作成できません。　\r\n\r\n");
const QString NoCodeReads =
    QStringLiteral("どの文字コードでも読めないデータがあります。文字コードを選んでから比較してください。　\r\n\r\n");

constexpr qint32 ReadFailure = 75;
constexpr qsizetype BytesPerDumpLine = 32;
constexpr qint32 WorksheetColumns = 256;

// One side between loading and decoding: its outcome so far and, for a file with
// contents, its bytes.
struct LoadedSide
{
    SideText side;
    QByteArray bytes;
    bool hasBytes = false;
};

void notFound(LoadedSide &loaded, const QString &message, const TextReadContext &context)
{
    loaded.side.outcome = ReadOutcome::NotFound;
    loaded.side.message = message;
    if (context.blnMsg)
        platform::dialogs().messageBox(message, platform::MessageStyle::OkOnly | platform::MessageStyle::IconExclamation,
                                       QString());
}

// Records `description` as the failure of the read and reports it as a system error of
// `procedure`, whatever blnMsg says.
void failed(SideText &side, const QString &description, const QString &procedure = QStringLiteral("TextRead"))
{
    common::SaveErr(ReadFailure, QStringLiteral("Linquell"), description);
    side.text = CompactText();
    side.outcome = ReadOutcome::Failed;
    side.message = common::SystemErrorText(procedure);
    platform::dialogs().messageBox(side.message, platform::MessageStyle::OkOnly, QString());
}

// A download that failed: the side is a failure, told by `lead`, `named` and `reason`
// whatever blnMsg says, except when the user stopped it.
void downloadFailed(SideText &side, const QString &lead, const QString &named, const QString &reason,
                    const TextReadContext &context)
{
    side.outcome = ReadOutcome::Failed;
    side.message = lead + named + QStringLiteral("\r\n(") + reason + u')';
    if (!context.run.cancelRequested())
        platform::dialogs().messageBox(side.message,
                                       platform::MessageStyle::OkOnly | platform::MessageStyle::IconExclamation, QString());
}

// Downloads the address `path` into the side's temporary file; the file to read, or an
// empty text when the download failed.
QString downloaded(LoadedSide &loaded, const QString &path, int index, const TextReadContext &context)
{
    const QString &target = context.sources.tempFilePaths[size_t(index)];
    if (target.isEmpty()) {
        downloadFailed(loaded.side, UrlNotFound, common::PrintablePath(path), QStringLiteral("一時ファイルがありません"),
                       context);
        return QString();
    }
    // A failed download must not leave the previous one to be opened as this side. What
    // cannot be taken away from the name keeps the download from being put there.
    if (::unlink(QFile::encodeName(target).constData()) != 0 && errno != ENOENT) {
        downloadFailed(loaded.side, DownloadTargetBlocked, target, QString::fromLocal8Bit(std::strerror(errno)), context);
        return QString();
    }
    NetworkOptions options;
    options.stallSeconds = context.sources.stallSeconds;
    const DiffRunFlags run = context.run;
    options.keepGoing = [run] {
        run.runEvents();
        return !run.cancelRequested();
    };
    DownloadFailure failure;
    const bool fetched = path.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive)
                             ? FtpGetUrl(path, target, context.sources.serverFtp, true, failure, options)
                             : HttpGet(path, target, context.sources.serverHttp, failure, options);
    if (!fetched) {
        if (failure.localFile)
            downloadFailed(loaded.side, DownloadTargetBlocked, target, failure.reason, context);
        else
            downloadFailed(loaded.side, UrlNotFound, common::PrintablePath(path), failure.reason, context);
        return QString();
    }
    return target;
}

// The text after the last "." of the path's last element; "" when there is none.
QString extensionOf(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

// While list 0 is on automatic, a path box (either one) that ends in an extension of the
// binary list puts both lists on "BIN".
void applyBinaryExtensions(TextSides &sides, const QStringList &binJdExt)
{
    if (sides.codeList[0] != FileCodeIndex::Auto)
        return;
    for (const QString &extension : binJdExt) {
        const QString ending = u'.' + extension.toLower();
        for (const QString &path : sides.paths) {
            if (path.right(ending.size()).toLower() == ending) {
                sides.codeList = {FileCodeIndex::Bin, FileCodeIndex::Bin};
                return;
            }
        }
    }
}

// A Word or Excel document: ".doc" and ".xls" always, ".docx" and ".xlsx" while this
// side's list is on automatic and the other's is not on "BIN".
bool isDocument(const TextSides &sides, int index, const QString &path)
{
    const QString extension = extensionOf(path).toLower();
    if (extension == u"doc" || extension == u"xls")
        return true;
    return (extension == u"docx" || extension == u"xlsx") && sides.codeList[size_t(index)] == FileCodeIndex::Auto
           && sides.codeList[size_t(1 - index)] != FileCodeIndex::Bin;
}

// Reads a Word or Excel document whole, or fails the side. The side's list goes to
// automatic either way.
void readDocument(LoadedSide &loaded, TextSides &sides, int index, const QString &source,
                  const TextReadContext &context)
{
    const QString &path = sides.paths[size_t(index)];
    const QString extension = extensionOf(path).toLower();
    const bool word = extension.startsWith(u"doc");
    QString text;
    QString description;
    // The .docx and .xlsx readers ask whether to go on every few units of work, so their
    // questions are paced; the .doc and .xls reads wait for a child process and ask every
    // tenth of a second, so each of their questions lets events run.
    const bool childRead = extension == u"doc" || extension == u"xls";
    EventPump pump(context.run);
    const auto keepGoing = [&pump, childRead, run = context.run] {
        if (childRead)
            run.runEvents();
        else
            pump.tick();
        return !run.cancelRequested();
    };
    const bool read = word ? RdWordValue(source, text, description, keepGoing)
                           : RdExcelValue(source, context.sources.sheetNo[size_t(index)], QStringLiteral("A1"),
                                          std::max(common::LeadingInteger(context.sources.maxLine, 0), 0),
                                          WorksheetColumns, text, description, keepGoing);
    sides.readCodeIndex[size_t(index)] = FileCodeIndex::Auto;
    sides.codeList[size_t(index)] = FileCodeIndex::Auto;
    // A read that the user stopped is no failure to tell.
    if (!read && context.run.cancelRequested()) {
        loaded.side.outcome = ReadOutcome::Failed;
        loaded.side.message = description;
        return;
    }
    if (!read) {
        failed(loaded.side, description + QStringLiteral("\r\n") + common::PrintablePath(path),
               word ? QStringLiteral("RdWordValue") : QStringLiteral("RdExcelValue"));
        return;
    }
    loaded.side.outcome = ReadOutcome::Read;
    loaded.side.text = CompactText::narrowed(text);
    loaded.side.document = true;
}

LoadedSide loadSide(TextSides &sides, int index, const TextReadContext &context)
{
    LoadedSide loaded;
    const QString path = sides.paths[size_t(index)];
    if (path.isEmpty())
        return loaded;
    context.run.runEvents();
    const QString scheme = path.left(7).toLower();
    QString source = path;
    if (scheme.startsWith(u"ftp://") || scheme.startsWith(u"http://")) {
        source = downloaded(loaded, path, index, context);
        if (source.isEmpty())
            return loaded;
    } else {
        const QFileInfo info(path);
        if (!info.exists() || info.isDir()) {
            notFound(loaded, FileNotFound + common::PrintablePath(path), context);
            return loaded;
        }
    }
    context.run.runEvents();
    applyBinaryExtensions(sides, context.binJdExt);
    if (isDocument(sides, index, path)) {
        readDocument(loaded, sides, index, source, context);
        return loaded;
    }
    // The download is read as a file of the user's own that nobody else may have put
    // there; the user's own choice of file is read wherever it lies.
    const bool isDownload = source != path;
    const platform::OwnFile download = isDownload ? platform::openOwnFile(source) : platform::OwnFile();
    QFile file(source);
    const bool opened = isDownload ? download.descriptor.isOpen()
                                         && file.open(download.descriptor.get(), QIODevice::ReadOnly,
                                                      QFileDevice::DontCloseHandle)
                                   : file.open(QIODevice::ReadOnly);
    if (!opened) {
        const QString reason = download.problem.isEmpty() ? file.errorString() : download.problem;
        failed(loaded.side, QStringLiteral("ファイルを開けません。 ") + common::PrintablePath(source)
                                + QStringLiteral(" (") + reason + u')');
        return loaded;
    }
    loaded.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        failed(loaded.side, QStringLiteral("ファイルを読めません。 ") + common::PrintablePath(path) + QStringLiteral(" (")
                                + file.errorString() + u')');
        return loaded;
    }
    loaded.side.outcome = ReadOutcome::Read;
    loaded.hasBytes = !loaded.bytes.isEmpty();
    if (!isDownload)
        loaded.side.stamp = {path, file.size(), file.fileTime(QFileDevice::FileModificationTime)};
    return loaded;
}

// The codes to read a side in: the code list's entry, or when it is on automatic the codes
// judged from the bytes in the judge's order of preference ("BIN" alone when judged so).
QList<int> codesFor(const TextSides &sides, int index, const QByteArray &bytes)
{
    const int listed = sides.codeList[size_t(index)];
    if (listed != FileCodeIndex::Auto)
        return {listed};
    QList<int> codes;
    for (const QString &name : common::NonCodeClass::GetCodeNames(bytes, true))
        codes.append(int(FileCodeNames().indexOf(name)));
    return codes;
}

// Whether `bytes` read in `code` give the characters of the same values: every byte lies
// below 0x80 and the code reads such bytes as themselves (JIS until an escape sequence
// switches the character set).
bool readAsThemselves(int code, QByteArrayView bytes)
{
    switch (code) {
    case FileCodeIndex::Sjis:
    case FileCodeIndex::Euc:
    case FileCodeIndex::Utf8:
        return IsAscii(bytes);
    case FileCodeIndex::Jis:
        return IsAscii(bytes) && !bytes.contains('\x1b');
    default:
        return false;
    }
}

// The side's bytes that no code reads: the user is asked to choose one. The list stays on
// automatic.
void noCodeReads(SideText &side, const QString &path)
{
    side.text = CompactText();
    side.outcome = ReadOutcome::Failed;
    side.message = NoCodeReads + common::PrintablePath(path);
    platform::dialogs().messageBox(side.message, platform::MessageStyle::OkOnly | platform::MessageStyle::IconExclamation,
                                   QString());
}

// Decodes the loaded bytes in the first of `codes` that reads all of them, records that
// code for the side and sets its list to it: a file whose judged code does not read it
// is read in the next code that does. The bytes are let go once decoded.
void decodeSide(LoadedSide &loaded, const QList<int> &codes, TextSides &sides, int index, const TextReadContext &context)
{
    SideText &side = loaded.side;
    const QString &path = sides.paths[size_t(index)];
    const QByteArray bytes = std::exchange(loaded.bytes, QByteArray());
    const auto record = [&sides, index](int code) {
        sides.readCodeIndex[size_t(index)] = code;
        sides.codeList[size_t(index)] = code;
    };
    if (codes.constFirst() == FileCodeIndex::Bin) {
        record(FileCodeIndex::Bin);
        side.text = BIN_To_VbUnicode(bytes, context.run);
        return;
    }
    // A code that reads the bytes as themselves needs no decoding, nor do the codes
    // behind it.
    const auto asThemselves =
        std::find_if(codes.cbegin(), codes.cend(), [&bytes](int code) { return readAsThemselves(code, bytes); });
    QStringList decoded;
    for (auto code = codes.cbegin(); code != asThemselves; ++code)
        decoded.append(FileCodeNames().value(*code));
    common::NonCodeClass converter;
    QString code;
    const QString text = converter.ToVbUnicodeFirstClean(decoded, bytes, code);
    if (!code.isEmpty()) {
        record(int(FileCodeNames().indexOf(code)));
        side.text = text;
        return;
    }
    if (asThemselves != codes.cend()) {
        record(*asThemselves);
        side.text = CompactText::fromLatin1(bytes);
        return;
    }
    // A text with undecodable bytes is not shown as if it were the file: two files that
    // differ only there would compare equal.
    if (sides.codeList[size_t(index)] == FileCodeIndex::Auto) {
        noCodeReads(side, path);
        return;
    }
    record(codes.constFirst());
    failed(side, QStringLiteral("%1 として読めないデータがあります。 ").arg(FileCodeNames()[codes.constFirst()])
                     + common::PrintablePath(path));
}

} // namespace

FileStamp FileStamp::of(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    return {path, info.size(), info.lastModified()};
}

const QStringList &FileCodeNames()
{
    static const QStringList names{QStringLiteral("-------"), QStringLiteral("SJIS"),    QStringLiteral("JIS"),
                                   QStringLiteral("EUC"),     QStringLiteral("UNICODE"), QStringLiteral("UTF7"),
                                   QStringLiteral("UTF8"),    QStringLiteral("BIN")};
    return names;
}

SideText TextRead(TextSides &sides, int index, const TextReadContext &context)
{
    LoadedSide loaded = loadSide(sides, index, context);
    if (loaded.hasBytes) {
        decodeSide(loaded, codesFor(sides, index, loaded.bytes), sides, index, context);
        if (sides.codeList[size_t(index)] == FileCodeIndex::Bin && sides.codeList[size_t(1 - index)] == FileCodeIndex::Auto)
            sides.codeList[size_t(1 - index)] = FileCodeIndex::Bin;
    }
    if (loaded.side.outcome != ReadOutcome::NoPath)
        context.run.runEvents();
    return loaded.side;
}

std::array<SideText, 2> ReadBothTexts(TextSides &sides, const TextReadContext &context)
{
    std::array<LoadedSide, 2> loaded;
    for (int index = 0; index < 2; ++index)
        if (!context.run.cancelRequested())
            loaded[size_t(index)] = loadSide(sides, index, context);

    std::array<QList<int>, 2> codes;
    bool dump = sides.codeList[0] == FileCodeIndex::Bin || sides.codeList[1] == FileCodeIndex::Bin;
    for (int index = 0; index < 2; ++index) {
        if (loaded[size_t(index)].hasBytes) {
            codes[size_t(index)] = codesFor(sides, index, loaded[size_t(index)].bytes);
            dump = dump || codes[size_t(index)].constFirst() == FileCodeIndex::Bin;
        }
    }
    if (dump)
        sides.codeList = {FileCodeIndex::Bin, FileCodeIndex::Bin};
    for (int index = 0; index < 2; ++index)
        if (loaded[size_t(index)].hasBytes)
            decodeSide(loaded[size_t(index)], dump ? QList<int>{FileCodeIndex::Bin} : codes[size_t(index)], sides, index,
                       context);
    context.run.runEvents();
    return {loaded[0].side, loaded[1].side};
}

CompactText BIN_To_VbUnicode(QByteArrayView bytes, const DiffRunFlags &run)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    QByteArray dump;
    dump.reserve(66 * (bytes.size() / BytesPerDumpLine) + 2 * (bytes.size() % BytesPerDumpLine));
    EventPump pump(run);
    for (qsizetype start = 0; start < bytes.size(); start += BytesPerDumpLine) {
        if (pump.cancelRequested())
            break;
        pump.markProgress();
        const qsizetype end = std::min(start + BytesPerDumpLine, bytes.size());
        for (qsizetype at = start; at < end; ++at) {
            const auto byte = quint8(bytes[at]);
            dump.append(Digits[byte >> 4]);
            dump.append(Digits[byte & 0x0F]);
        }
        if (end - start == BytesPerDumpLine)
            dump.append("\r\n");
        pump.tick();
    }
    return CompactText::fromLatin1(dump);
}

} // namespace textcompare
