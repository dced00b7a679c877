#include "platform/ftp_session.h"

#include "platform/atomic_file.h"
#include "platform/curl_handles.h"
#include "platform/ftp_listing.h"

#include <QDir>
#include <QFile>

#include <curl/curl.h>

#include <cctype>
#include <climits>
#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Collects the server's replies as libcurl passes them to the header callback: every
// complete one in order, all its lines for a multi-line reply.
struct ReplyCapture
{
    QByteArray pending;
    QByteArray pendingCode; // "550" while a multi-line reply is open
    QByteArray last;
    QList<QByteArray> complete;

    void reset()
    {
        pending.clear();
        pendingCode.clear();
        last.clear();
        complete.clear();
    }

    void finish(const QByteArray &reply)
    {
        last = reply;
        complete.append(reply);
    }

    // The last complete reply with the reply code `code` ("211"), empty when none came.
    QByteArray lastWithCode(QByteArrayView code) const
    {
        for (auto reply = complete.crbegin(); reply != complete.crend(); ++reply) {
            if (reply->startsWith(code))
                return *reply;
        }
        return {};
    }

    static bool startsWithCode(QByteArrayView line)
    {
        return line.size() >= 4 && std::isdigit(uchar(line[0])) && std::isdigit(uchar(line[1]))
            && std::isdigit(uchar(line[2])) && (line[3] == ' ' || line[3] == '-');
    }

    void addLine(QByteArrayView line)
    {
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (pendingCode.isEmpty()) {
            if (!startsWithCode(line))
                return;
            if (line[3] == '-') {
                pendingCode = line.first(3).toByteArray();
                pending = line.toByteArray();
                return;
            }
            finish(line.toByteArray());
            return;
        }
        pending += "\r\n";
        pending += line;
        if (line.size() >= 4 && line.startsWith(pendingCode) && line[3] == ' ') {
            finish(pending);
            pending.clear();
            pendingCode.clear();
        }
    }

    static bool isRefusal(const QByteArray &reply) { return reply.size() >= 3 && reply[0] >= '4' && reply[0] <= '9'; }

    bool lastIsRefusal() const { return isRefusal(last); }

    // The first complete reply that refuses, empty when none did.
    QByteArray firstRefusal() const
    {
        for (const QByteArray &reply : complete) {
            if (isRefusal(reply))
                return reply;
        }
        return {};
    }
};

// True when the server offers MLSD, as its reply to FEAT tells with a line "MLST ...".
bool offersMachineListing(const QByteArray &featureReply)
{
    for (const QByteArray &line : featureReply.split('\n')) {
        const QByteArray feature = line.trimmed().toUpper();
        if (feature == "MLST" || feature.startsWith("MLST ") || feature == "MLSD")
            return true;
    }
    return false;
}

// The listing commands in the order they are tried.
enum class ListingCommand { Mlsd, ListAll, List };

const char *commandText(ListingCommand command)
{
    switch (command) {
    case ListingCommand::Mlsd:
        return "MLSD";
    case ListingCommand::ListAll:
        return "LIST -a";
    case ListingCommand::List:
        break;
    }
    return "LIST";
}

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    static_cast<ReplyCapture *>(user)->addLine(QByteArrayView(data, qsizetype(size * count)));
    return size * count;
}

size_t onListingData(char *data, size_t size, size_t count, void *user)
{
    auto *listing = static_cast<QByteArray *>(user);
    if (listing->size() + qint64(size * count) > MaxListingBytes)
        return 0;
    listing->append(data, qsizetype(size * count));
    return size * count;
}

size_t onUploadData(char *buffer, size_t size, size_t count, void *user)
{
    auto *source = static_cast<curl::LocalFile *>(user);
    for (;;) {
        const ssize_t result = ::read(source->descriptor, buffer, size * count);
        if (result >= 0)
            return size_t(result);
        if (errno != EINTR)
            break;
    }
    source->error = errno;
    return CURL_READFUNC_ABORT;
}

FtpOutcome localFailure(int error)
{
    FtpOutcome outcome;
    outcome.kind = FtpOutcome::Kind::LocalFile;
    outcome.code = error;
    outcome.text = QString::fromLocal8Bit(std::strerror(error));
    return outcome;
}

FtpOutcome transferFailure(CURLcode code)
{
    FtpOutcome outcome;
    outcome.kind = FtpOutcome::Kind::Transfer;
    outcome.code = int(code);
    outcome.text = QString::fromUtf8(curl_easy_strerror(code));
    return outcome;
}

// A command line may not hold bytes that end it early or start another command.
bool isSafeCommandText(const QByteArray &text)
{
    return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

// The outcome of a command that the server refused with `reply`.
FtpOutcome commandRefusal(const QByteArray &reply)
{
    FtpOutcome outcome = transferFailure(CURLE_QUOTE_ERROR);
    outcome.serverReply = reply;
    outcome.nameMayMatter = true;
    return outcome;
}

// A temporary file beside `target`, unique to this process, named as every temporary
// file of ours is, so that a start-up recognises one that a killed download left.
QByteArray temporaryPathBeside(const QByteArray &target)
{
    return temporaryFilePathFor(target);
}

// `path` (absolute, normalised) with every symbolic link resolved: its nearest existing
// folder resolved by the system, followed by the steps that do not exist yet. Empty when
// the path cannot be examined.
std::optional<QByteArray> resolvedPath(const QByteArray &path)
{
    QByteArray existing = path;
    QByteArray missing;
    for (;;) {
        if (char *real = ::realpath(existing.constData(), nullptr)) {
            QByteArray result(real);
            std::free(real);
            return result == "/" ? '/' + missing : result + (missing.isEmpty() ? QByteArray() : '/' + missing);
        }
        if ((errno != ENOENT && errno != ENOTDIR) || existing == "/")
            return std::nullopt;
        const qsizetype slash = existing.lastIndexOf('/');
        const QByteArray step = existing.mid(slash + 1);
        missing = missing.isEmpty() ? step : step + '/' + missing;
        existing = slash <= 0 ? QByteArray("/") : existing.left(slash);
    }
}

} // namespace

bool staysInsideFolder(const QString &folder, QStringView relativePath)
{
    for (const QStringView step : relativePath.split(u'/')) {
        // A local name has at most NAME_MAX bytes, which a name of 90 Japanese characters
        // in UTF-8 already passes.
        if (!isSinglePathElement(step) || QFile::encodeName(step.toString()).size() > NAME_MAX)
            return false;
    }
    const QByteArray root = QFile::encodeName(QDir::cleanPath(QDir(folder).absolutePath()));
    const QByteArray target = (root == "/" ? QByteArray() : root) + '/' + QFile::encodeName(relativePath.toString());
    struct stat status = {};
    if (::lstat(target.constData(), &status) == 0 && S_ISLNK(status.st_mode))
        return false;
    const std::optional<QByteArray> resolvedRoot = resolvedPath(root);
    const qsizetype lastSlash = target.lastIndexOf('/');
    const QByteArray parent = lastSlash == 0 ? QByteArray("/") : target.left(lastSlash);
    const std::optional<QByteArray> resolvedParent = resolvedPath(parent);
    if (!resolvedRoot || !resolvedParent)
        return false;
    return *resolvedParent == *resolvedRoot || *resolvedRoot == "/"
        || resolvedParent->startsWith(*resolvedRoot + '/');
}

struct FtpSession::State
{
    // The multi handle holds the connection cache: it lives as long as the session.
    curl::MultiHandle multi;
    curl::EasyHandle easy;
    FtpLogin login;
    QByteArray baseUrl;
    QByteArray entryFolder = "/";
    ReplyCapture replies;
    bool open = false;
    // The first listing command to try in this session, for list() and for
    // listShowingLinks().
    ListingCommand listingCommand = ListingCommand::ListAll;
    ListingCommand linkListingCommand = ListingCommand::ListAll;
    bool refusesRenames = false;

    State()
    {
        curl::initializeOnce();
        renew();
    }

    // Fresh handles: the old ones log out and close their connection as they go.
    void renew()
    {
        easy.reset();
        multi.reset(curl_multi_init());
        easy.reset(curl_easy_init());
    }

    // Runs the prepared operation to its end.
    CURLcode run()
    {
        CURLM *queue = multi.get();
        CURL *handle = easy.get();
        curl_multi_add_handle(queue, handle);
        CURLcode result = CURLE_OK;
        int ready = 0;
        for (;;) {
            int running = 0;
            if (curl_multi_perform(queue, &running) != CURLM_OK) {
                result = CURLE_OUT_OF_MEMORY;
                break;
            }
            bool done = false;
            int queued = 0;
            while (const CURLMsg *message = curl_multi_info_read(queue, &queued)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == handle) {
                    result = message->data.result;
                    done = true;
                }
            }
            if (done || running == 0)
                break;
            // When the reply to EPSV or PASV is already waiting, this libcurl opens the
            // data connection only at its next wake-up and may sleep a whole second
            // before it. So after any activity it is driven once more at once, and
            // otherwise woken at least every millisecond.
            curl_multi_poll(queue, nullptr, 0, ready > 0 ? 0 : 1, &ready);
        }
        curl_multi_remove_handle(queue, handle);
        return result;
    }

    // Sets the options that every operation shares; the operation adds its own.
    void prepare(const QByteArray &url)
    {
        CURL *handle = easy.get();
        curl_easy_reset(handle);
        curl_easy_setopt(handle, CURLOPT_URL, url.constData());
        curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "ftp");
        if (!login.user.isEmpty()) {
            curl_easy_setopt(handle, CURLOPT_USERNAME, login.user.constData());
            curl_easy_setopt(handle, CURLOPT_PASSWORD, login.password.constData());
        }
        // Every path is absolute: libcurl sends it with the command and changes no folder.
        curl_easy_setopt(handle, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
        if (!login.passive)
            curl_easy_setopt(handle, CURLOPT_FTPPORT, "-");
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        const long stallSeconds = login.stallSeconds > 0 ? login.stallSeconds : DefaultStallSeconds;
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, stallSeconds);
        curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, stallSeconds);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, stallSeconds);
        curl_easy_setopt(handle, CURLOPT_TIMEOUT, long(login.limits.deadlineSeconds));
        curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
        curl_easy_setopt(handle, CURLOPT_HEADERDATA, &replies);
    }

    QByteArray fileUrl(const QByteArray &path) const
    {
        // "%2F" makes the path absolute; libcurl decodes the rest back to the same bytes.
        const QByteArray relative = path.startsWith('/') ? path.mid(1) : path;
        return baseUrl + "%2F" + relative.toPercentEncoding("/");
    }

    FtpOutcome perform()
    {
        replies.reset();
        const CURLcode code = run();
        if (code == CURLE_OK)
            return {};
        FtpOutcome outcome = transferFailure(code);
        if (replies.lastIsRefusal())
            outcome.serverReply = replies.last;
        outcome.nameMayMatter = !outcome.serverReply.isEmpty() || code == CURLE_URL_MALFORMAT;
        return outcome;
    }

    // Sends `lines` as commands after the login, each with "*": that lets libcurl accept a
    // refusal, which would otherwise make it drop the connection; the caller reads the
    // refusal from the captured replies instead.
    FtpOutcome runQuoted(const QList<QByteArray> &lines)
    {
        if (!std::all_of(lines.cbegin(), lines.cend(), isSafeCommandText))
            return transferFailure(CURLE_BAD_FUNCTION_ARGUMENT);
        curl::CommandList commands;
        for (const QByteArray &line : lines) {
            curl_slist *head = curl_slist_append(commands.get(), QByteArray('*' + line).constData());
            if (!commands)
                commands.reset(head);
        }
        prepare(baseUrl);
        curl_easy_setopt(easy.get(), CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy.get(), CURLOPT_QUOTE, commands.get());
        return perform();
    }

    // Enters `folder` and lists it with `command`.
    FtpOutcome listWith(ListingCommand command, const QByteArray &folder, FtpFolderReply &reply)
    {
        reply.listing.clear();
        reply.machineReadable = command == ListingCommand::Mlsd;
        // The listing command without an argument in the entered folder: servers differ
        // in how they read an argument (options, patterns), never in this.
        curl::CommandList commands(curl_slist_append(nullptr, QByteArray("CWD " + folder).constData()));
        prepare(baseUrl);
        curl_easy_setopt(easy.get(), CURLOPT_QUOTE, commands.get());
        curl_easy_setopt(easy.get(), CURLOPT_CUSTOMREQUEST, commandText(command));
        curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, onListingData);
        curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &reply.listing);
        FtpOutcome outcome = perform();
        outcome.folderRefused = outcome.code == CURLE_QUOTE_ERROR;
        if (outcome.code == CURLE_WRITE_ERROR)
            outcome.text = QStringLiteral("一覧が %1 バイトを超えました").arg(MaxListingBytes);
        return outcome;
    }

    // True when `outcome` is the server's refusal of the listing command itself, after it
    // entered the folder and opened the data connection.
    static bool refusesListingCommand(const FtpOutcome &outcome)
    {
        return outcome.code == CURLE_FTP_COULDNT_RETR_FILE && outcome.serverReply.startsWith('5');
    }

    // Lists `folder` with `first`, or with the commands after it where the server refuses
    // it (or lists nothing for "LIST -a"); the command that worked is tried first next time.
    FtpOutcome listStartingWith(ListingCommand &first, const QByteArray &folder, FtpFolderReply &reply)
    {
        if (!isSafeCommandText(folder))
            return transferFailure(CURLE_BAD_FUNCTION_ARGUMENT);
        const FtpOutcome outcome = listWith(first, folder, reply);
        const bool refused = refusesListingCommand(outcome);
        // A server that reads "-a" as a name may list nothing for it.
        const bool emptyAll = outcome.ok() && first == ListingCommand::ListAll && reply.listing.trimmed().isEmpty();
        if (first == ListingCommand::List || !(refused || emptyAll))
            return outcome;
        FtpFolderReply later;
        for (auto command = ListingCommand(int(first) + 1);; command = ListingCommand(int(command) + 1)) {
            const FtpOutcome next = listWith(command, folder, later);
            if (next.ok() && (!emptyAll || !later.listing.trimmed().isEmpty())) {
                first = command;
                reply = later;
                return next;
            }
            if (command == ListingCommand::List || !refusesListingCommand(next))
                return outcome;
        }
    }
};

FtpSession::FtpSession()
    : m_state(std::make_unique<State>())
{
}

FtpSession::~FtpSession() = default;

FtpOutcome FtpSession::open(const FtpLogin &login)
{
    close();
    State &state = *m_state;
    state.login = login;
    state.baseUrl = "ftp://" + login.host.toUtf8() + ':' + QByteArray::number(login.port) + '/';
    state.prepare(state.baseUrl);
    curl_easy_setopt(state.easy.get(), CURLOPT_NOBODY, 1L);
    // "*": a server that knows no FEAT offers no extensions; the login stands.
    curl::CommandList features(curl_slist_append(nullptr, "*FEAT"));
    curl_easy_setopt(state.easy.get(), CURLOPT_QUOTE, features.get());
    const FtpOutcome outcome = state.perform();
    if (!outcome.ok()) {
        close();
        return outcome;
    }
    char *entry = nullptr;
    curl_easy_getinfo(state.easy.get(), CURLINFO_FTP_ENTRY_PATH, &entry);
    state.entryFolder = entry && *entry ? QByteArray(entry) : QByteArray("/");
    state.listingCommand = offersMachineListing(state.replies.lastWithCode("211")) ? ListingCommand::Mlsd
                                                                                    : ListingCommand::ListAll;
    state.linkListingCommand = ListingCommand::ListAll;
    state.refusesRenames = false;
    state.open = true;
    return outcome;
}

void FtpSession::close()
{
    State &state = *m_state;
    state.renew();
    state.open = false;
    state.entryFolder = "/";
}

bool FtpSession::isOpen() const
{
    return m_state->open;
}

QByteArray FtpSession::entryFolder() const
{
    return m_state->entryFolder;
}

FtpOutcome FtpSession::command(const QByteArray &line)
{
    State &state = *m_state;
    FtpOutcome outcome = state.runQuoted({line});
    if (outcome.ok() && state.replies.lastIsRefusal())
        outcome = commandRefusal(state.replies.last);
    return outcome;
}

FtpOutcome FtpSession::rename(const QByteArray &from, const QByteArray &to, bool *fromRefused)
{
    State &state = *m_state;
    if (fromRefused)
        *fromRefused = false;
    // An RNTO after a refused RNFR is refused as well and renames nothing.
    FtpOutcome outcome = state.runQuoted({"RNFR " + from, "RNTO " + to});
    if (outcome.ok()) {
        const QByteArray refusal = state.replies.firstRefusal();
        if (!refusal.isEmpty()) {
            // RNFR answers 350 where the server would rename the file.
            if (fromRefused)
                *fromRefused = state.replies.lastWithCode("350").isEmpty();
            outcome = commandRefusal(refusal);
        }
    }
    return outcome;
}

bool FtpSession::refusesRenames() const
{
    return m_state->refusesRenames;
}

void FtpSession::noteRefusesRenames()
{
    m_state->refusesRenames = true;
}

FtpOutcome FtpSession::list(const QByteArray &folder, FtpFolderReply &reply)
{
    return m_state->listStartingWith(m_state->listingCommand, folder, reply);
}

FtpOutcome FtpSession::listShowingLinks(const QByteArray &folder, FtpFolderReply &reply)
{
    return m_state->listStartingWith(m_state->linkListingCommand, folder, reply);
}

FtpOutcome FtpSession::describe(const QByteArray &path, FtpFileFacts &facts)
{
    State &state = *m_state;
    facts = {};
    state.prepare(state.fileUrl(path));
    CURL *handle = state.easy.get();
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(handle, CURLOPT_FILETIME, 1L);
    // libcurl hands the facts over as header lines in the data too; they are read below.
    QByteArray headerLines;
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onListingData);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &headerLines);
    const FtpOutcome outcome = state.perform();
    if (!outcome.ok())
        return outcome;
    curl_off_t size = -1;
    if (curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) == CURLE_OK && size >= 0)
        facts.size = qint64(size);
    curl_off_t time = -1;
    if (curl_easy_getinfo(handle, CURLINFO_FILETIME_T, &time) == CURLE_OK && time >= 0)
        facts.time = QDateTime::fromSecsSinceEpoch(qint64(time));
    return outcome;
}

FtpOutcome FtpSession::retrieve(const QByteArray &path, const QString &localPath, bool binary, int newFileMode)
{
    State &state = *m_state;
    const QByteArray target = QFile::encodeName(localPath);
    const QByteArray temporary = temporaryPathBeside(target);
    curl::FileDescriptor file(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newFileMode));
    if (file.get() < 0)
        return localFailure(errno);

    curl::LocalFile local;
    local.descriptor = file.get();
    local.maxBytes = state.login.limits.downloadBytes;
    state.prepare(state.fileUrl(path));
    CURL *handle = state.easy.get();
    curl_easy_setopt(handle, CURLOPT_TRANSFERTEXT, binary ? 0L : 1L);
    // The reply to RETR and the transfer's end reply tell whether the file came whole;
    // asking for the size first would cost one more round trip per file.
    curl_easy_setopt(handle, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, curl::writeToLocalFile);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &local);
    FtpOutcome outcome = state.perform();

    const int closeError = file.closeNow();
    if (outcome.ok() && closeError != 0)
        outcome = localFailure(closeError);
    if (!outcome.ok() && local.error != 0)
        outcome = localFailure(local.error);
    if (local.tooLarge) {
        outcome = transferFailure(CURLE_FILESIZE_EXCEEDED);
        outcome.text = curl::tooLargeText(local.maxBytes);
    }
    if (outcome.ok() && ::rename(temporary.constData(), target.constData()) != 0)
        outcome = localFailure(errno);
    if (!outcome.ok())
        ::unlink(temporary.constData());
    return outcome;
}

FtpOutcome FtpSession::store(const QString &localPath, const QByteArray &path, bool binary)
{
    State &state = *m_state;
    curl::FileDescriptor file(::open(QFile::encodeName(localPath).constData(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return localFailure(errno);
    struct stat status = {};
    if (::fstat(file.get(), &status) != 0)
        return localFailure(errno);
    if (S_ISDIR(status.st_mode))
        return localFailure(EISDIR);

    curl::LocalFile local;
    local.descriptor = file.get();
    state.prepare(state.fileUrl(path));
    CURL *handle = state.easy.get();
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_TRANSFERTEXT, binary ? 0L : 1L);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, curl_off_t(status.st_size));
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, onUploadData);
    curl_easy_setopt(handle, CURLOPT_READDATA, &local);
    FtpOutcome outcome = state.perform();
    if (!outcome.ok() && local.error != 0)
        outcome = localFailure(local.error);
    outcome.transferBegan = !state.replies.lastWithCode("150").isEmpty() || !state.replies.lastWithCode("125").isEmpty();
    return outcome;
}

} // namespace platform
