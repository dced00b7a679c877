#include "common/dialogs/clipboard_drop_files.h"

#include "common/file_list_formats.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace common::dialogs {

void ClipboardDropFiles(const QStringList &paths)
{
    QGuiApplication::clipboard()->setMimeData(FileListMimeData(paths).release());
}

} // namespace common::dialogs
