#pragma once

#include <QString>

namespace textcompare {

// Sends one file to the trash for the viewer (its backup of a compared file before the
// first change). Returns 0 when the file went to the trash; otherwise the failure is
// reported at once as "システムエラー : RecyclerDelete" with the reason, in a box (on
// standard error when no window is up), and the result is non-zero. The file is never
// deleted for good.
int RecyclerDelete(const QString &path);

} // namespace textcompare
