#include "idlebackup/temporary_names.h"

#include "idlebackup/folder_walk.h"
#include "platform/file_handles.h"

#include <QByteArrayList>

#include <atomic>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace idlebackup {

namespace {

const QByteArray Prefix = QByteArrayLiteral(".zelquin-");
const QByteArray Suffix = QByteArrayLiteral(".tmp");
constexpr qsizetype CheckDigits = 12;

// The run of this machine that made the temporary file named `name`; nullopt for every
// name that NewTemporaryName does not give on this machine.
std::optional<platform::RunMark> runOf(QByteArrayView name)
{
    if (!name.startsWith(Prefix) || !name.endsWith(Suffix))
        return std::nullopt;
    const QByteArrayView withCheck = name.first(name.size() - Suffix.size());
    const qsizetype dash = withCheck.lastIndexOf('-');
    if (dash < Prefix.size() || withCheck.size() - dash - 1 != CheckDigits)
        return std::nullopt;
    const QByteArrayView body = withCheck.first(dash);
    std::optional<platform::RunMark> run = platform::RunMark::fromNumbers(body.sliced(Prefix.size()));
    if (!run || withCheck.sliced(dash + 1) != run->check(body, CheckDigits))
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
