#pragma once

#include <QString>

namespace platform {

// Moves a file or a folder (with its contents) to the freedesktop trash. Returns 0 when
// the path went to the trash and is gone from its place; otherwise a non-zero code
// (2 when the path does not exist, 1 for any other failure) with the reason in
// `errorText` when given. Never deletes anything for good: where no trash can take the
// path, it stays where it is.
int RecyclerDelete(const QString &path, QString *errorText = nullptr);

// Asks the file manager (D-Bus org.freedesktop.FileManager1, ShowItemProperties) to show
// the properties of `path`. Returns a value above 32 when it accepted, 32 or less when no
// file manager answered (the caller then shows its own box).
int ShowFileProperties(const QString &path);

} // namespace platform
