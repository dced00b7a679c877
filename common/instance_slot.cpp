#include "common/instance_slot.h"

namespace common {

QString InstanceDigits(int number)
{
    return QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
}

InstanceSlot TakeInstanceNumber(const QString &programName, const QString &mutexBase)
{
    constexpr int lastTried = 9999;
    for (int number = 1; number <= lastTried; ++number) {
        if (number == HandOverNumber)
            continue;
        std::optional<platform::LockFile> lock
            = platform::LockFile::tryLock(programName + u'-' + mutexBase + InstanceDigits(number));
        if (lock)
            return InstanceSlot{number, std::move(lock)};
    }
    return InstanceSlot{lastTried + 1, std::nullopt};
}

} // namespace common
