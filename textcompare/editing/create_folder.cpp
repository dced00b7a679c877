#include "textcompare/editing/create_folder.h"

#include "common/common_module.h"
#include "common/saved_error.h"

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
    common::SaveErr(FileWriteFailure, QStringLiteral("Linquell"),
                    QStringLiteral("フォルダを作成できません。 ") + folder);
    common::ShowSavedErr(QStringLiteral("CreateFolder"));
    return false;
}

} // namespace textcompare
