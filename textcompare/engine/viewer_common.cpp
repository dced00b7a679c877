#include "textcompare/engine/viewer_common.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "platform/shell_services.h"

namespace textcompare {

int RecyclerDelete(const QString &path)
{
    QString reason;
    const int result = platform::RecyclerDelete(path, &reason);
    if (result != 0) {
        common::SaveErr(result, QStringLiteral("Linquell"), reason);
        common::ShowSavedErr(QStringLiteral("RecyclerDelete"));
    }
    return result;
}

} // namespace textcompare
