#include "idlebackup/temporary_names.h"

#include "idlebackup/folder_walk.h"
#include "platform/byte_text.h"
#include "platform/file_handles.h"

#include <QByteArrayList>
#include <QCryptographicHash>

#include <atomic>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace idlebackup {

namespace {

const QByteArray Prefix = QByteArrayLiteral(".zelquin-");
const QByteArray Suffix = QByteArrayLiteral(".tmp");
constexpr qsizetype CheckDigits = 12;

// The run of an earlier version that `body` (".zelquin-<process id>-<counter>") names
// when `check` is its check (a SHA-256 digest of the body alone). Such a name tells no
// machine nor boot: it is taken for one of this boot, so that its run has ended once no
// process of its number is left, as the earlier version itself judged it.
std::optional<platform::RunMark> earlierVersionsRun(QByteArrayView body, QByteArrayView check)
{
    const QByteArrayView numbers = body.sliced(Prefix.size());
    const qsizetype dash = numbers.indexOf('-');
    if (dash < 0 || !platform::IsDecimalNumber(numbers.first(dash))
        || !platform::IsDecimalNumber(numbers.sliced(dash + 1))
        || check != QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex().left(CheckDigits))
        return std::nullopt;
    platform::RunMark run = platform::RunMark::ofThisProcess();
    run.process = numbers.first(dash).toLongLong();
    return run;
}

// The run that made the temporary file named `name`: one of this machine for a name
// that NewTemporaryName gives, or one of an earlier version (earlierVersionsRun);
// nullopt for every other name.
std::optional<platform::RunMark> runOf(QByteArrayView name)
{
    if (!name.startsWith(Prefix) || !name.endsWith(Suffix))
        return std::nullopt;
    const QByteArrayView withCheck = name.first(name.size() - Suffix.size());
    const qsizetype dash = withCheck.lastIndexOf('-');
    if (dash < Prefix.size() || withCheck.size() - dash - 1 != CheckDigits)
        return std::nullopt;
    const QByteArrayView body = withCheck.first(dash);
    const QByteArrayView check = withCheck.sliced(dash + 1);
    std::optional<platform::RunMark> run = platform::RunMark::fromNumbers(body.sliced(Prefix.size()));
    if (!run)
        return earlierVersionsRun(body, check);
    if (check != run->check(body, CheckDigits))
        return std::nullopt;
    return run;
}

} // namespace

QByteArray TemporaryName(const platform::RunMark &run, quint64 counter)
{
    const QByteArray body = Prefix + run.numbers(counter);
    return body + '-' + run.check(body, CheckDigits) + Suffix;
}

QByteArray NewTemporaryName()
{
    static std::atomic<quint64> counter{0};
    return TemporaryName(platform::RunMark::ofThisProcess(), counter++);
}

bool IsTemporaryName(QByteArrayView name)
{
    return runOf(name).has_value();
}

void RemoveStaleTemporaries(int folder)
{
    QByteArrayList stale;
    ForEachName(folder, [&](const char *name, unsigned char) {
        const std::optional<platform::RunMark> run = runOf(QByteArrayView(name));
        if (run && (run->isThisProcess() || run->hasEnded()) && platform::IsRegularFileAt(folder, name))
            stale.append(QByteArray(name));
    });
    for (const QByteArray &name : stale)
        ::unlinkat(folder, name.constData(), 0);
}

} // namespace idlebackup
