#pragma once

#include "platform/lock_file.h"

#include <QString>

#include <optional>

namespace common {

// The instance number of a window and the lock that holds it. The lock is released when
// the object is destroyed or the process ends, so the number becomes free again.
struct InstanceSlot
{
    int number = 0;
    std::optional<platform::LockFile> lock;
};

// Number whose work folder is the hand-over folder between windows; never an instance.
inline constexpr int HandOverNumber = 999;

// Takes the lowest free instance number for windows of `programName` whose settings
// hold the name base `mutexBase`: 1 to 100 first, then 101, 102, ... (skipping 999), each
// held by its own lock so that no two windows ever share a number or a work folder.
InstanceSlot TakeInstanceNumber(const QString &programName, const QString &mutexBase);

// "001" to "999": the instance number as the work folder and the lock name spell it.
QString InstanceDigits(int number);

} // namespace common
