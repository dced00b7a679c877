#include "common/browse_for_folder.h"

#include "platform/user_dialogs.h"

namespace common {

QString BrowseForFolder(const QString &title, const QString &initialPath, BrowseCancel onCancel)
{
    const QString chosen = platform::dialogs().browseFolder(title, initialPath);
    if (chosen.isEmpty() && onCancel == BrowseCancel::KeepInitial)
        return initialPath;
    return chosen;
}

} // namespace common
