#include "platform/widgets/readme_page.h"

#include "platform/user_dialogs.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace platform::widgets {

QStringList DefaultReadmePlaces()
{
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/README.md"), QStringLiteral(SUITE_README_PATH)};
}

QString FindReadme(const QStringList &places)
{
    const auto found
        = std::find_if(places.cbegin(), places.cend(), [](const QString &place) { return QFileInfo(place).isFile(); });
    return found == places.cend() ? QString() : QFileInfo(*found).absoluteFilePath();
}

void ShowReadme(const QStringList &places)
{
    const QString readme = FindReadme(places);
    if (readme.isEmpty()) {
        dialogs().messageBox(QStringLiteral("説明書（README.md）が見つかりません。　"), MessageStyle::OkOnly, QString());
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(readme)))
        dialogs().messageBox(QStringLiteral("説明書を開くプログラムがありません。次のファイルをご覧ください。　\r\n\r\n")
                                 + readme,
                             MessageStyle::OkOnly, QString());
}

} // namespace platform::widgets
