#pragma once

#include <QString>

namespace textcompare {

// Creates the missing folders above `path` (level 1) or up to and including `path`
// itself (level 0), top-down. A folder that cannot be created is reported in an OK-only
// box as a system error of "CreateFolder" and false comes back; the caller then fails
// when it creates its file.
bool CreateFolder(const QString &path, int level);

} // namespace textcompare
