#include "common/dialogs/export_file_choice.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace common::dialogs {

const platform::FileFilter AllFiles{QStringLiteral("全てのﾌｧｲﾙ(*.*)"), {QStringLiteral("*.*")}};
const platform::FileFilter HtmlFiles{QStringLiteral("HTMLﾌｧｲﾙ(*.html)"), {QStringLiteral("*.html")}};
const platform::FileFilter CsvFiles{QStringLiteral("CSVﾌｧｲﾙ(*.csv)"), {QStringLiteral("*.csv")}};
const platform::FileFilter TextFiles{QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)"), {QStringLiteral("*.txt")}};
const platform::FileFilter XlsFiles{QStringLiteral("EXCELﾌｧｲﾙ(*.xls)"), {QStringLiteral("*.xls")}};
const platform::FileFilter XlsxFiles{QStringLiteral("EXCELﾌｧｲﾙ(*.xlsx)"), {QStringLiteral("*.xlsx")}};

std::optional<QString> ChooseExportFile(const QString &title, const QString &defaultName,
                                        const QList<platform::FileFilter> &filters, int initialFilter)
{
    const std::optional<platform::ChosenFile> chosen
        = platform::dialogs().saveFile(title, defaultName, filters, initialFilter);
    QCoreApplication::processEvents();
    if (!chosen)
        return std::nullopt;
    return chosen->path;
}

void OpenExportedFile(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

} // namespace common::dialogs
