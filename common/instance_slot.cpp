#include "common/instance_slot.h"

namespace common {

QString InstanceDigits(int number)
{
    return QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
}

InstanceSlot TakeInstanceNumber(const QString &programFolder, const QString &programName)
{
    const QString base = programFolder + u'/' + programName;
    constexpr int lastTried = 9999;
    for (int number = 1; number <= lastTried; ++number) {
        if (number == HandOverNumber)
            continue;
        const QString workFolder = base + InstanceDigits(number);
        std::optional<platform::LockFile> lock = platform::LockFile::tryLockFolder(workFolder);
        if (lock)
            return InstanceSlot{number, workFolder, std::move(lock)};
    }
    return InstanceSlot{lastTried + 1, base + InstanceDigits(lastTried + 1), std::nullopt};
}

} // namespace common
