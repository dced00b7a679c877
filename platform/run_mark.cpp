#include "platform/run_mark.h"

#include "platform/byte_text.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace platform {

namespace {

constexpr qsizetype BootDigits = 8;

QByteArray firstLineOf(const char *path)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readLine(256).trimmed();
}

bool isHexDigits(QByteArrayView text)
{
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

// This machine and its boot, as read once.
RunMark machineAndBoot()
{
    RunMark run;
    // The machine id stays the same for the life of an installation; the host name stands
    // in for it where there is none (a bare container).
    run.machine = firstLineOf("/etc/machine-id");
    if (run.machine.isEmpty())
        run.machine = firstLineOf("/var/lib/dbus/machine-id");
    if (run.machine.isEmpty())
        run.machine = "host " + QSysInfo::machineHostName().toUtf8();
    // The boot id is a random UUID whose first group is eight hexadecimal digits.
    const QByteArray bootId = firstLineOf("/proc/sys/kernel/random/boot_id").toLower();
    run.boot = bootId.size() >= BootDigits && isHexDigits(bootId.first(BootDigits)) ? bootId.first(BootDigits)
                                                                                    : QByteArray(BootDigits, '0');
    return run;
}

} // namespace

RunMark RunMark::ofThisProcess()
{
    static const RunMark read = machineAndBoot();
    RunMark run = read;
    // A child forked from this process is another process of the same machine and boot.
    run.process = qint64(::getpid());
    return run;
}

std::optional<RunMark> RunMark::fromNumbers(QByteArrayView numbers)
{
    if (numbers.size() <= BootDigits || numbers[BootDigits] != '-' || !isHexDigits(numbers.first(BootDigits)))
        return std::nullopt;
    const QByteArrayView rest = numbers.sliced(BootDigits + 1);
    const qsizetype dash = rest.indexOf('-');
    if (dash < 0 || !IsDecimalNumber(rest.first(dash)) || !IsDecimalNumber(rest.sliced(dash + 1)))
        return std::nullopt;
    RunMark run;
    run.machine = ofThisProcess().machine;
    run.boot = numbers.first(BootDigits).toByteArray();
    run.process = rest.first(dash).toLongLong();
    return run;
}

QByteArray RunMark::numbers(quint64 counter) const
{
    return boot + '-' + QByteArray::number(process) + '-' + QByteArray::number(counter);
}

QByteArray RunMark::check(QByteArrayView body, qsizetype digits) const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(machine);
    hash.addData(QByteArrayView("\n"));
    hash.addData(body);
    return hash.result().toHex().left(digits);
}

bool RunMark::hasEnded() const
{
    if (boot != ofThisProcess().boot)
        return true;
    return process > 0 && ::kill(pid_t(process), 0) != 0 && errno == ESRCH;
}

bool RunMark::isThisProcess() const
{
    return boot == ofThisProcess().boot && process == qint64(::getpid());
}

} // namespace platform
