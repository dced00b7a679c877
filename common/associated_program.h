#pragma once

#include <QString>

namespace common {

// Full path of the program that the desktop opens files of `extension` with (with or
// without a leading point: "txt"), the start of a command line; "" when there is none.
// The extension gives the MIME type; its default application comes from the
// freedesktop mimeapps.list files (user first, then system), then the older
// defaults.list and the mimeinfo.cache lists; the program is the first word of the
// application's Exec line, looked up on the PATH when it is not absolute.
QString GetAssociatedExe(const QString &extension);

} // namespace common
