#include "textcompare/engine/viewer_common.h"

#include "common/saved_error.h"
#include "platform/shell_services.h"
#include "platform/user_dialogs.h"

namespace textcompare {

int RecyclerDelete(const QString &path)
{
    QString reason;
    const int result = platform::RecyclerDelete(path, &reason);
    if (result != 0) {
        try {
            throw common::Failure(result, QStringLiteral("Linquell"), reason);
        } catch (...) {
            common::SaveErr();
        }
        platform::dialogs().messageBox(common::SystemErrorText(QStringLiteral("RecyclerDelete")),
                                       platform::MessageStyle::OkOnly, QString());
    }
    return result;
}

} // namespace textcompare
