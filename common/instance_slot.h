#pragma once

#include "platform/lock_file.h"

#include <QString>

#include <optional>

namespace common {

// The instance number of a window, its work folder and the lock that holds both. The lock
// is released when the object is destroyed or the process ends, so the number becomes
// free again.
struct InstanceSlot
{
    int number = 0;
    QString workFolder;
    std::optional<platform::LockFile> lock;
};

// Number whose work folder is the hand-over folder between windows; never an instance.
inline constexpr int HandOverNumber = 999;

// Takes the lowest free instance number for windows of `programName` that keep their
// work folders in `programFolder`: 1 to 100 first, then 101, 102, ... (skipping 999).
// Number n is held by the lock of its work folder `programFolder`/`programName`<n as
// three digits> itself, so that every process that could use the folder sees the claim,
// whatever runtime folder its session gave it; no two windows ever share a number or a
// work folder. A work folder that is not ours (another user's, a symbolic link) is never
// used: its number is passed over.
InstanceSlot TakeInstanceNumber(const QString &programFolder, const QString &programName);

// "001" to "999": the instance number as the work folder spells it.
QString InstanceDigits(int number);

} // namespace common
