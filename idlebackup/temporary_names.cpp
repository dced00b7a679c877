#include "idlebackup/temporary_names.h"

#include "idlebackup/copy_rules.h"
#include "idlebackup/folder_walk.h"

#include <QByteArrayList>
#include <QCryptographicHash>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace idlebackup {

namespace {

const QByteArray Prefix = QByteArrayLiteral(".zelquin-");
const QByteArray Suffix = QByteArrayLiteral(".tmp");
constexpr qsizetype CheckDigits = 12;

QByteArray checkOf(QByteArrayView body)
{
    return QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex().left(CheckDigits);
}

// A process that made a temporary file is gone, or is this one.
bool isStale(qint64 process)
{
    if (process == qint64(::getpid()))
        return true;
    return process > 0 && ::kill(pid_t(process), 0) != 0 && errno == ESRCH;
}

} // namespace

QByteArray TemporaryName(qint64 process, quint64 counter)
{
    const QByteArray body = Prefix + QByteArray::number(process) + '-' + QByteArray::number(counter);
    return body + '-' + checkOf(body) + Suffix;
}

QByteArray NewTemporaryName()
{
    static std::atomic<quint64> counter{0};
    return TemporaryName(qint64(::getpid()), counter++);
}

std::optional<qint64> TemporaryNameProcess(QByteArrayView name)
{
    if (!name.startsWith(Prefix) || !name.endsWith(Suffix))
        return std::nullopt;
    const QByteArrayView withCheck = name.first(name.size() - Suffix.size());
    const qsizetype dash = withCheck.lastIndexOf('-');
    if (dash < Prefix.size() || withCheck.size() - dash - 1 != CheckDigits)
        return std::nullopt;
    const QByteArrayView body = withCheck.first(dash);
    const QByteArrayView numbers = body.sliced(Prefix.size());
    const qsizetype separator = numbers.indexOf('-');
    if (separator < 0 || !IsDecimalNumber(numbers.first(separator)) || !IsDecimalNumber(numbers.sliced(separator + 1)))
        return std::nullopt;
    if (withCheck.sliced(dash + 1) != checkOf(body))
        return std::nullopt;
    return numbers.first(separator).toLongLong();
}

void RemoveStaleTemporaries(int folder)
{
    QByteArrayList stale;
    ForEachName(folder, [&](const char *name, unsigned char) {
        const std::optional<qint64> process = TemporaryNameProcess(QByteArrayView(name));
        struct stat info;
        if (process && isStale(*process) && ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(info.st_mode))
            stale.append(QByteArray(name));
    });
    for (const QByteArray &name : stale)
        ::unlinkat(folder, name.constData(), 0);
}

} // namespace idlebackup
