#include "textcompare/editing/create_folder.h"

#include "common/saved_error.h"
#include "platform/user_dialogs.h"

#include <QDir>
#include <QFileInfo>

namespace textcompare {

namespace {

constexpr qint32 FileWriteFailure = 75;

} // namespace

bool CreateFolder(const QString &path, int level)
{
    const QString folder = level >= 1 ? QFileInfo(path).absolutePath() : QFileInfo(path).absoluteFilePath();
    if (QFileInfo(folder).isDir() || QDir().mkpath(folder))
        return true;
    try {
        throw common::Failure(FileWriteFailure, QStringLiteral("Linquell"),
                              QStringLiteral("フォルダを作成できません。 ") + folder);
    } catch (...) {
        common::SaveErr();
    }
    platform::dialogs().messageBox(common::SystemErrorText(QStringLiteral("CreateFolder")),
                                   platform::MessageStyle::OkOnly, QString());
    return false;
}

} // namespace textcompare
