#include "common/mod_ftp.h"

#include "common/code_backends.h"
#include "common/common_module.h"
#include "platform/atomic_file.h"
#include "platform/ftp_listing.h"
#include "platform/ftp_session.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

namespace common {

QString FileNameCode = QStringLiteral("SJIS");

namespace {

const QString Source = QStringLiteral("modFtp");
const QString NotConnectedText = QStringLiteral("It is not connected to the ftp server");
const QString CodeHint = QStringLiteral("\r\n\r\nもしかして?? ファイル名の漢字コード??  ");

struct ModuleState
{
    std::unique_ptr<platform::FtpSession> session = std::make_unique<platform::FtpSession>();
    QByteArray currentFolder; // absolute, in the bytes the server uses
    ErrorRecord savedErr;
    // The last failure may come from the code of a name: the server refused it, it could
    // not be sent, or the code has no form for one of its characters.
    bool codeMayMatter = false;
    // The last FtpPut changed what the server holds under its name (FtpPutChangedServer).
    bool putChangedServer = false;
};

ModuleState &module()
{
    static ModuleState state;
    return state;
}

// Keeps `record` as the module's last failure and throws it.
[[noreturn]] void raiseFtpRecord(const ErrorRecord &record)
{
    module().savedErr = record;
    throw Failure(record);
}

[[noreturn]] void raiseFtp(qint32 number, const QString &description, bool codeMayMatter = false)
{
    module().codeMayMatter = codeMayMatter;
    raiseFtpRecord(ErrorRecord{number, Source, description, {}, 0});
}

// Keeps the failure `outcome` as the module's last one.
void keepOutcome(const platform::FtpOutcome &outcome)
{
    ModuleState &state = module();
    state.codeMayMatter = false;
    if (outcome.kind == platform::FtpOutcome::Kind::LocalFile) {
        const bool inUse = outcome.code == EBUSY || outcome.code == ETXTBSY;
        state.savedErr = ErrorRecord{inUse ? LocalFileInUse : LocalFileFailure, Source, outcome.text, {}, 0};
        return;
    }
    QString description = outcome.text;
    if (!outcome.serverReply.isEmpty())
        description += QStringLiteral("\r\n") + FtpNameToString(outcome.serverReply);
    state.savedErr = ErrorRecord{outcome.code != 0 ? outcome.code : FtpNoNumber, Source, description, {}, 0};
    state.codeMayMatter = outcome.nameMayMatter;
}

[[noreturn]] void raiseOutcome(const platform::FtpOutcome &outcome)
{
    keepOutcome(outcome);
    throw Failure(module().savedErr);
}

void check(const platform::FtpOutcome &outcome)
{
    if (!outcome.ok())
        raiseOutcome(outcome);
}

void requireConnection()
{
    if (!module().session->isOpen())
        raiseFtp(FtpNoNumber, NotConnectedText);
}

// The charset of a file-name code: "EUC", "JIS" and "UTF8" have their own, any other
// code name is taken as Shift_JIS.
QString charsetOf(const QString &code)
{
    if (code == QStringLiteral("EUC"))
        return QStringLiteral("EUC-JP");
    if (code == QStringLiteral("JIS"))
        return QStringLiteral("ISO-2022-JP");
    if (code == QStringLiteral("UTF8"))
        return QStringLiteral("UTF-8");
    return QStringLiteral("Shift_JIS");
}

QString fileNameCharset()
{
    return charsetOf(FileNameCode);
}

ConvertedBytes encodeName(QStringView text)
{
    return AdoStringToBytes(fileNameCharset(), text);
}

// The name in FileNameCode; a name that the code cannot express is refused.
QByteArray remoteName(const QString &text)
{
    ConvertedBytes converted = encodeName(text);
    if (!converted.clean())
        raiseFtp(FtpNoNumber,
                 QStringLiteral("ファイル名の漢字コード(") + FileNameCode + QStringLiteral(")で表せない文字があります : ") + text,
                 true);
    return converted.bytes;
}

// `path` (bytes) taken from `base` unless absolute, with "." and ".." steps removed; the
// result begins with "/" and ends without one (except the root itself).
QByteArray resolvedFrom(const QByteArray &base, const QByteArray &path)
{
    const QByteArray full = path.startsWith('/') ? path : base + '/' + path;
    QList<QByteArray> steps;
    for (const QByteArray &step : full.split('/')) {
        if (step.isEmpty() || step == ".")
            continue;
        if (step == "..") {
            if (!steps.isEmpty())
                steps.removeLast();
            continue;
        }
        steps.append(step);
    }
    return '/' + steps.join('/');
}

QByteArray remotePath(const QString &text)
{
    return resolvedFrom(module().currentFolder, remoteName(text));
}

// The folder holding `path` and the last step of it.
std::pair<QByteArray, QByteArray> splitLast(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return {slash <= 0 ? QByteArray("/") : path.left(slash), path.mid(slash + 1)};
}

void sendCommand(const QByteArray &verb, const QString &path)
{
    requireConnection();
    check(module().session->command(verb + ' ' + remotePath(path)));
}

platform::FtpListing parsedListing(const platform::FtpFolderReply &reply)
{
    return reply.machineReadable ? platform::parseMlsdListing(reply.listing)
                                 : platform::parseFtpListing(reply.listing, QDate::currentDate());
}

// The entries that the server lists in `folder`. A folder that the server refuses to
// enter lists nothing; any other failure is raised.
platform::FtpListing listedEntries(const QByteArray &folder)
{
    platform::FtpFolderReply reply;
    const platform::FtpOutcome outcome = module().session->list(folder, reply);
    if (outcome.folderRefused)
        return {};
    check(outcome);
    return parsedListing(reply);
}

// True for a name of bytes that read the same in every file-name code.
bool isAsciiName(QByteArrayView name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return uchar(c) < 0x80 && c != '\x1b'; });
}

bool isAsciiText(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80 && c != u'\x1b'; });
}

// The name decoded in `code`, when the bytes are valid there and encode back to
// themselves. Bytes that are valid UTF-8 beyond ASCII are taken as UTF-8 only: in the
// other codes they read as mistaken characters nearly always, while names in those codes
// are valid UTF-8 almost never.
std::optional<QString> decodedIn(const QString &code, QByteArrayView name)
{
    if (isAsciiName(name))
        return QString::fromLatin1(name);
    const QString charset = charsetOf(code);
    if (charset != QStringLiteral("UTF-8") && name.isValidUtf8())
        return std::nullopt;
    ConvertedText decoded = AdoBytesToString(charset, name);
    if (!decoded.clean())
        return std::nullopt;
    const ConvertedBytes encoded = AdoStringToBytes(charset, decoded.text);
    if (!encoded.clean() || encoded.bytes != name)
        return std::nullopt;
    return decoded.text;
}

// The code to read the names of `entries` in: FileNameCode when it decodes every one, else
// the first of FtpCodeTrialOrder that does, else the one that decodes most.
QString listingCode(const QList<platform::FtpListEntry> &entries)
{
    if (std::all_of(entries.cbegin(), entries.cend(),
                    [](const platform::FtpListEntry &entry) { return isAsciiName(entry.name); }))
        return FileNameCode;
    QStringList codes{FileNameCode};
    for (const QString &code : FtpCodeTrialOrder) {
        if (code != FileNameCode)
            codes.append(code);
    }
    QString best = FileNameCode;
    qsizetype bestCount = -1;
    for (const QString &code : codes) {
        const qsizetype count = std::count_if(entries.cbegin(), entries.cend(), [&code](const platform::FtpListEntry &entry) {
            return decodedIn(code, entry.name).has_value();
        });
        if (count == entries.size())
            return code;
        if (count > bestCount) {
            best = code;
            bestCount = count;
        }
    }
    return best;
}

// `text` for a message: each control character, NUL included, as "\xNN"; the empty text
// as "".
QString printable(QStringView text)
{
    if (text.isEmpty())
        return QStringLiteral("\"\"");
    QString result;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            result += QStringLiteral("\\x") + QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
        else
            result += c;
    }
    return result;
}

// A name as the server sent it, for a message: decoded by FileNameCode as a whole, or,
// when it does not decode, with each byte outside ASCII as "\xNN".
QString printableName(QByteArrayView name)
{
    const ConvertedText decoded = AdoBytesToString(fileNameCharset(), name);
    if (decoded.clean())
        return printable(decoded.text);
    QString text;
    for (const char byte : name) {
        if (uchar(byte) < 0x80)
            text += QChar(uchar(byte));
        else
            text += QStringLiteral("\\x") + QString::number(uchar(byte), 16).toUpper();
    }
    return printable(text);
}

// Refuses a transfer of `path` whose file name, the text after its last "/", cannot be
// one entry of a folder, in the text or in the bytes sent for it.
void requireFileName(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    if (!platform::isSinglePathElement(name) || !platform::isSinglePathElement(StringToFtpName(name)))
        raiseFtp(FtpNoNumber, QStringLiteral("ファイル名にできない名前です : ") + printable(path));
}

// True when the folder above `path` lists an entry of its name.
bool isListed(const QByteArray &path)
{
    requireConnection();
    const auto [folder, name] = splitLast(path);
    for (const platform::FtpListEntry &entry : listedEntries(folder).entries) {
        if (entry.name == name)
            return true;
    }
    return false;
}

// Whether the server enters `path` as a folder.
bool entersFolder(const QByteArray &path)
{
    const platform::FtpOutcome outcome = module().session->command("CWD " + path);
    if (outcome.ok())
        return true;
    if (outcome.kind != platform::FtpOutcome::Kind::Transfer || outcome.serverReply.isEmpty())
        raiseOutcome(outcome);
    return false;
}

// Sends `verb` ("DELE" or "RMD") for `path`. A refusal counts only when the entry is
// still there: a folder that can still be entered, or an entry its folder still lists.
void sendCheckedRemoval(const QByteArray &verb, const QByteArray &path)
{
    requireConnection();
    const platform::FtpOutcome outcome = module().session->command(verb + ' ' + path);
    if (outcome.ok())
        return;
    keepOutcome(outcome);
    const ErrorRecord removal = FtpSavedErr();
    if ((verb == "RMD" && entersFolder(path)) || isListed(path))
        raiseFtpRecord(removal);
}

// The failure of a stored file whose size on the server is not that of `localPath`.
platform::FtpOutcome checkStoredSize(const QString &localPath, const QByteArray &path)
{
    struct stat local = {};
    if (::stat(QFile::encodeName(localPath).constData(), &local) != 0)
        return {};
    platform::FtpFileFacts facts;
    const platform::FtpOutcome described = module().session->describe(path, facts);
    if (!described.ok() && described.serverReply.isEmpty())
        return described;
    if (facts.size < 0 || facts.size == qint64(local.st_size))
        return {};
    platform::FtpOutcome shorter;
    shorter.kind = platform::FtpOutcome::Kind::Transfer;
    shorter.text = QStringLiteral("サーバーに届いたファイルのサイズが違います (%1 / %2 バイト)")
                       .arg(facts.size)
                       .arg(qint64(local.st_size));
    return shorter;
}

// FtpPut's upload of `localPath` straight to `target`, for a server that renames
// nothing. A transfer that breaks is raised. Once the server took it, an existing file
// (`existed`) holds part of the upload: the failure says so and the server counts as
// changed. A file that the server did not have before is then deleted where the server
// allows, so that no part of it stays under the name. A link that the server has under
// the name is never written through: the upload fails instead.
void storeDirectly(const QString &localPath, const QByteArray &target, bool binary, bool existed)
{
    ModuleState &state = module();
    platform::FtpSession &session = *state.session;
    if (existed && FtpListedAsLink(target))
        raiseFtp(FtpNoNumber, QStringLiteral("リンクの先には書き込みません : ") + printableName(target));
    platform::FtpOutcome outcome = session.store(localPath, target, binary);
    const bool began = outcome.transferBegan;
    if (outcome.ok() && binary)
        outcome = checkStoredSize(localPath, target);
    if (outcome.ok())
        return;
    if (existed && began) {
        state.putChangedServer = true;
        outcome.text = QStringLiteral("サーバーのファイルが途中まで上書きされました : ") + outcome.text;
    } else if (!existed && !session.command("DELE " + target).ok() && began) {
        state.putChangedServer = true;
        outcome.text = QStringLiteral("途中までのファイルがサーバーに残りました : ") + outcome.text;
    }
    raiseOutcome(outcome);
}

// Whether the file `path` is gone from the server: it tells neither its size nor its
// time, and its folder does not list it. A listing that fails leaves it taken as there.
bool isGone(const QByteArray &path)
{
    platform::FtpFileFacts facts;
    const platform::FtpOutcome described = module().session->describe(path, facts);
    if (!described.ok() && described.serverReply.isEmpty())
        raiseOutcome(described);
    if (facts.size >= 0 || facts.time.isValid())
        return false;
    try {
        return !isListed(path);
    } catch (const Failure &) {
        return false;
    }
}

enum class Renamed { Done, Refused, TemporaryGone };

// Renames the upload `temporary` over `target`. Only a refusal while the server still
// holds the temporary tells how the server renames: a refused RNFR then means that it
// renames nothing, which the session keeps. A temporary gone meanwhile (another
// program's sweep) tells nothing of the server. A connection that fails is raised, the
// temporary deleted where it can be.
Renamed renameUpload(const QByteArray &temporary, const QByteArray &target, platform::FtpOutcome &outcome)
{
    platform::FtpSession &session = *module().session;
    bool fromRefused = false;
    outcome = session.rename(temporary, target, &fromRefused);
    if (outcome.ok())
        return Renamed::Done;
    if (outcome.serverReply.isEmpty()) {
        session.command("DELE " + temporary);
        raiseOutcome(outcome);
    }
    if (isGone(temporary))
        return Renamed::TemporaryGone;
    if (fromRefused)
        session.noteRefusesRenames();
    return Renamed::Refused;
}

// FtpPut's upload of `localPath` to `target` through a temporary name beside it.
void storeReplacing(const QString &localPath, const QByteArray &target, bool binary)
{
    ModuleState &state = module();
    platform::FtpSession &session = *state.session;
    if (session.refusesRenames()) {
        storeDirectly(localPath, target, binary, isListed(target));
        return;
    }
    // A temporary that vanishes before its rename is sent again through a new one, once.
    QByteArray temporary;
    platform::FtpOutcome outcome;
    for (int attempt = 1;; ++attempt) {
        temporary = platform::temporaryFilePathFor(target);
        outcome = session.store(localPath, temporary, binary);
        if (outcome.ok() && binary)
            outcome = checkStoredSize(localPath, temporary);
        if (!outcome.ok()) {
            session.command("DELE " + temporary);
            raiseOutcome(outcome);
        }
        const Renamed renamed = renameUpload(temporary, target, outcome);
        if (renamed == Renamed::Done)
            return;
        if (renamed == Renamed::Refused)
            break;
        if (attempt == 2) {
            keepOutcome(outcome);
            raiseFtp(FtpNoNumber, QStringLiteral("アップロードした一時ファイルが名前を変える前にサーバーから消えました : ")
                                      + printableName(temporary) + QStringLiteral("\r\n") + FtpSavedErr().Description);
        }
    }
    bool existed = isListed(target);
    if (existed && !session.refusesRenames() && session.command("DELE " + target).ok()) {
        // A server that never renames over a file: the old file is gone only now that the
        // upload is whole under its temporary name.
        state.putChangedServer = true;
        if (renameUpload(temporary, target, outcome) == Renamed::Done)
            return;
        existed = false;
    }
    // The server will not rename the upload to its name: it goes there straight (and so
    // from then on in this session where the server refuses RNFR), and the temporary goes
    // where the server allows.
    session.command("DELE " + temporary);
    storeDirectly(localPath, target, binary, existed);
}

// "*" any run of characters, "?" one character, anything else itself.
bool wildcardMatch(QStringView pattern, QStringView name)
{
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starAt = -1;
    qsizetype starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            starName = n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

QStringList listRows(const QString &pattern, bool details, QStringList *refusedNames)
{
    requireConnection();
    const qsizetype slash = pattern.lastIndexOf(u'/');
    const QString namePattern = pattern.mid(slash + 1);
    const QByteArray folder = slash < 0 ? module().currentFolder : remotePath(pattern.left(slash + 1));
    // A folder that the server refuses to enter is a missing search path: no rows.
    const platform::FtpListing listing = listedEntries(folder);
    QStringList refused;
    for (const QByteArray &name : listing.refusedNames)
        refused.append(printableName(name));
    QStringList rows;
    for (const platform::FtpListEntry &entry : listing.entries) {
        const QString name = FtpNameToString(entry.name);
        // The bytes may be one name and still decode to none ("." behind a JIS escape).
        if (!platform::isSinglePathElement(name)) {
            refused.append(printableName(entry.name));
            continue;
        }
        if (!namePattern.isEmpty() && !wildcardMatch(namePattern, name))
            continue;
        QString row = entry.folder ? name + u'/' : name;
        if (details)
            row += u'\t' + FileTimeToText(entry.time) + u'\t' + QString::number(entry.size);
        rows.append(row);
    }
    if (refusedNames)
        *refusedNames = refused;
    return rows;
}

// How the attempts of tryEveryCode ended.
enum class Trials {
    Worked,
    Failed,             // the failure cannot come from the code; no other code was tried
    FailedInEveryCode,  // every code was tried
};

// Runs `attempt` with FileNameCode and, when it failed in a way that the code of `path`
// may explain, with the other codes in trial order. The code goes back to the one before
// unless `keepWorkingCode` and an attempt worked.
template<typename Attempt>
Trials tryEveryCode(const QString &path, bool keepWorkingCode, Attempt attempt)
{
    if (attempt())
        return Trials::Worked;
    if (isAsciiText(path) || !module().codeMayMatter)
        return Trials::Failed;
    const QString remembered = FileNameCode;
    for (const QString &code : FtpCodeTrialOrder) {
        if (code == remembered)
            continue;
        FileNameCode = code;
        if (attempt()) {
            if (!keepWorkingCode)
                FileNameCode = remembered;
            return Trials::Worked;
        }
    }
    FileNameCode = remembered;
    return Trials::FailedInEveryCode;
}

// The failure of FtpCd3 or FtpGet3 after `trials`.
[[noreturn]] void raiseTrialFailure(const QString &procedure, Trials trials)
{
    raiseFtp(FtpNoNumber, procedure + QStringLiteral("() ERROR!! <") + FtpSavedErr().Description + QStringLiteral(">  ")
                              + (trials == Trials::FailedInEveryCode ? CodeHint : QString()));
}

} // namespace

const ErrorRecord &FtpSavedErr()
{
    return module().savedErr;
}

bool FtpCodeMayMatter()
{
    return module().codeMayMatter;
}

void FtpConnect(const QString &server, const QString &user, const QString &password, const QString &proxy,
                bool passive, const QString &fileNameCode, int stallSeconds, const platform::TransferLimits &limits)
{
    FileNameCode = fileNameCode;
    ModuleState &state = module();
    QString host = server;
    QString login = user;
    if (!proxy.isEmpty()) {
        login = user + u'@' + server;
        host = proxy;
    }
    qint64 port = 0;
    const qsizetype colon = host.indexOf(u':');
    if (colon >= 0) {
        const QString rest = host.mid(colon + 1);
        qsizetype digits = 0;
        while (digits < rest.size() && digits < 9 && rest[digits].isDigit())
            ++digits;
        port = rest.left(digits).toLongLong();
        host = host.left(colon);
    }
    platform::FtpLogin target;
    target.host = host;
    target.port = port == 0 ? 21 : int(port);
    target.user = login.toUtf8();
    target.password = password.toUtf8();
    target.passive = passive;
    target.stallSeconds = stallSeconds;
    target.limits = limits;
    const platform::FtpOutcome outcome = state.session->open(target);
    if (!outcome.ok()) {
        FtpDisconnect();
        raiseOutcome(outcome);
    }
    state.currentFolder = resolvedFrom("/", state.session->entryFolder());
}

void FtpDisconnect()
{
    module().session->close();
    module().currentFolder.clear();
}

FtpHeldConnection::FtpHeldConnection()
    : m_session(std::make_unique<platform::FtpSession>())
{
}

FtpHeldConnection::~FtpHeldConnection() = default;

bool FtpHeldConnection::isOpen() const
{
    return m_session->isOpen();
}

void FtpHeldConnection::close()
{
    m_session->close();
    m_currentFolder.clear();
}

void FtpSwapConnection(FtpHeldConnection &held)
{
    ModuleState &state = module();
    std::swap(state.session, held.m_session);
    std::swap(state.currentFolder, held.m_currentFolder);
    std::swap(FileNameCode, held.m_fileNameCode);
}

void FtpCd(const QString &folder)
{
    requireConnection();
    const QByteArray target = remotePath(folder);
    check(module().session->command("CWD " + target));
    module().currentFolder = target;
}

bool FtpCd2(const QString &folder)
{
    try {
        FtpCd(folder);
        return true;
    } catch (const Failure &) {
        return false;
    }
}

bool FtpCd3(const QString &folder)
{
    const Trials trials = tryEveryCode(folder, false, [&] { return FtpCd2(folder); });
    if (trials == Trials::Worked)
        return true;
    raiseTrialFailure(QStringLiteral("FtpCd3"), trials);
}

bool FtpCdInAnyCode(const QString &folder)
{
    return tryEveryCode(folder, true, [&] { return FtpCd2(folder); }) == Trials::Worked;
}

QString FtpPwd()
{
    requireConnection();
    return FtpNameToString(module().currentFolder);
}

void FtpMkDir(const QString &folder)
{
    sendCommand("MKD", folder);
}

void FtpMkDirChecked(const QString &folder)
{
    try {
        FtpMkDir(folder);
        return;
    } catch (const Failure &failure) {
        const ErrorRecord creation = failure.record();
        ModuleState &state = module();
        const QByteArray before = state.currentFolder;
        const bool entered = FtpCd2(folder);
        const bool exists = entered && state.currentFolder != before;
        state.currentFolder = before;
        if (!exists)
            raiseFtpRecord(creation);
    }
}

void FtpMkDirs(const QString &path)
{
    ModuleState &state = module();
    const QByteArray start = state.currentFolder;
    for (qsizetype slash = path.indexOf(u'/'); slash >= 0; slash = path.indexOf(u'/', slash + 1)) {
        const QString prefix = path.left(slash + 1);
        if (prefix == QStringLiteral("/"))
            continue;
        // Each level is taken from the starting folder, also for a relative path.
        state.currentFolder = start;
        if (FtpCd2(prefix) && state.currentFolder != start)
            continue;
        state.currentFolder = start;
        try {
            FtpMkDirChecked(prefix);
        } catch (const Failure &) {
            // A level that cannot be made leaves the upload after it to fail and report.
        }
    }
    state.currentFolder = start;
}

void FtpRmDir(const QString &folder)
{
    sendCommand("RMD", folder);
}

QStringList FtpListNames(const QString &pattern)
{
    return listRows(pattern, false, nullptr);
}

QStringList FtpListDetails(const QString &pattern)
{
    return listRows(pattern, true, nullptr);
}

QStringList FtpListDetails(const QString &pattern, QStringList &refusedNames)
{
    return listRows(pattern, true, &refusedNames);
}

void FtpGet(const QString &localPath, const QString &remotePath, bool binary, int newFileMode)
{
    requireConnection();
    requireFileName(remotePath);
    requireFileName(localPath);
    check(module().session->retrieve(common::remotePath(remotePath), localPath, binary, newFileMode));
}

bool FtpGet2(const QString &localPath, const QString &remotePath, bool binary, int newFileMode)
{
    try {
        FtpGet(localPath, remotePath, binary, newFileMode);
        return true;
    } catch (const Failure &) {
        return false;
    }
}

bool FtpGet3(const QString &localPath, const QString &remotePath, bool binary)
{
    // A name that is no file name in any code is not a question of the code.
    requireFileName(remotePath);
    requireFileName(localPath);
    const Trials trials = tryEveryCode(remotePath, false, [&] { return FtpGet2(localPath, remotePath, binary); });
    if (trials == Trials::Worked)
        return true;
    const ErrorRecord last = FtpSavedErr();
    if (last.Number == LocalFileInUse) {
        ShowMsg(last.Description + QStringLiteral("\r\n\r\n") + localPath, 0, QString());
        return false;
    }
    raiseTrialFailure(QStringLiteral("FtpGet3"), trials);
}

void FtpPut(const QString &localPath, const QString &remotePath, bool binary)
{
    module().putChangedServer = false;
    requireConnection();
    requireFileName(remotePath);
    storeReplacing(localPath, common::remotePath(remotePath), binary);
    module().putChangedServer = true;
}

bool FtpPutChangedServer()
{
    return module().putChangedServer;
}

void FtpPutMakeDirs(const QString &localPath, const QString &remotePath, bool binary)
{
    module().putChangedServer = false;
    requireFileName(remotePath);
    FtpMkDirs(remotePath.left(remotePath.lastIndexOf(u'/') + 1));
    FtpPut(localPath, remotePath, binary);
}

void FtpDelete(const QString &remotePath)
{
    sendCommand("DELE", remotePath);
}

void FtpDeleteChecked(const QString &remotePath)
{
    sendCheckedRemoval("DELE", common::remotePath(remotePath));
}

QByteArray FtpRemotePath(const QString &path)
{
    return remotePath(path);
}

void FtpDeleteRemoteFile(const QByteArray &path)
{
    sendCheckedRemoval("DELE", path);
}

void FtpRemoveRemoteFolder(const QByteArray &path)
{
    sendCheckedRemoval("RMD", path);
}

void FtpRemoveLeftoverTemporaryFiles(const QByteArray &folder, const FtpFolder &listed)
{
    requireConnection();
    const QByteArray separator = folder.endsWith('/') ? QByteArray() : QByteArray("/");
    for (const FtpFolderEntry &entry : listed.entries)
        if (!entry.folder && !entry.link && platform::isLeftoverTemporaryFileName(entry.remoteName))
            module().session->command("DELE " + folder + separator + entry.remoteName);
}

QByteArray FtpRemoteFolder()
{
    requireConnection();
    return module().currentFolder;
}

FtpFolder FtpReadFolder(const QByteArray &folder)
{
    requireConnection();
    platform::FtpFolderReply reply;
    check(module().session->list(folder, reply));
    const platform::FtpListing listing = parsedListing(reply);
    FileNameCode = listingCode(listing.entries);
    FtpFolder result;
    result.listing = reply.listing;
    result.foldersMayBeLinks = reply.machineReadable;
    for (const QByteArray &name : listing.refusedNames)
        result.refusedNames.append(printableName(name));
    for (const platform::FtpListEntry &listed : listing.entries) {
        const std::optional<QString> name = decodedIn(FileNameCode, listed.name);
        // The bytes may be one name and still decode to none ("." behind a JIS escape).
        if (!name || !platform::isSinglePathElement(*name)) {
            result.refusedNames.append(printableName(listed.name));
            continue;
        }
        result.entries.append(
            {*name, listed.name, listed.folder, listed.link, listed.time, listed.size});
    }
    return result;
}

platform::FtpListing FtpReadFolderShowingLinks(const QByteArray &folder)
{
    requireConnection();
    platform::FtpFolderReply reply;
    check(module().session->listShowingLinks(folder, reply));
    return parsedListing(reply);
}

bool FtpListedAsLink(const QByteArray &path)
{
    const auto [folder, name] = splitLast(path);
    for (const platform::FtpListEntry &entry : FtpReadFolderShowingLinks(folder).entries) {
        if (entry.name == name)
            return entry.link;
    }
    return false;
}

bool FtpEnterFolder(const QByteArray &folder)
{
    requireConnection();
    const platform::FtpOutcome outcome = module().session->command("CWD " + folder);
    if (outcome.ok())
        return true;
    if (outcome.kind != platform::FtpOutcome::Kind::Transfer || outcome.serverReply.isEmpty())
        raiseOutcome(outcome);
    keepOutcome(outcome);
    return false;
}

platform::FtpFileFacts FtpDescribeFile(const QByteArray &path)
{
    requireConnection();
    platform::FtpFileFacts facts;
    const platform::FtpOutcome outcome = module().session->describe(path, facts);
    if (outcome.kind == platform::FtpOutcome::Kind::Transfer && outcome.serverReply.isEmpty())
        raiseOutcome(outcome);
    return facts;
}

bool FtpGetFile(const QString &localPath, const QByteArray &path)
{
    requireConnection();
    requireFileName(localPath);
    if (!platform::isSinglePathElement(QByteArrayView(path).sliced(path.lastIndexOf('/') + 1)))
        raiseFtp(FtpNoNumber, QStringLiteral("ファイル名にできない名前です : ") + printableName(path));
    const platform::FtpOutcome outcome = module().session->retrieve(path, localPath, true);
    if (outcome.ok())
        return true;
    if (outcome.kind != platform::FtpOutcome::Kind::Transfer || outcome.serverReply.isEmpty())
        raiseOutcome(outcome);
    keepOutcome(outcome);
    return false;
}

QByteArray StringToFtpName(QStringView text)
{
    return encodeName(text).bytes;
}

QString FtpNameToString(QByteArrayView bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes = bytes.first(zero);
    QString text = AdoBytesToString(fileNameCharset(), bytes).text;
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

QString FileTimeToText(const QDateTime &time)
{
    if (!time.isValid())
        return QStringLiteral("0000/00/00 00:00:00");
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

void SetLocalFileTime(const QString &localPath, const QDateTime &time)
{
    if (!time.isValid())
        return;
    timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(time.toSecsSinceEpoch());
    ::utimensat(AT_FDCWD, QFile::encodeName(localPath).constData(), times, 0);
}

} // namespace common
