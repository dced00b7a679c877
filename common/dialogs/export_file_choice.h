#pragma once

#include "platform/user_dialogs.h"

#include <QList>
#include <QString>

#include <optional>

namespace common::dialogs {

// The file types the export commands of both windows offer.
extern const platform::FileFilter AllFiles;
extern const platform::FileFilter HtmlFiles;
extern const platform::FileFilter CsvFiles;
extern const platform::FileFilter TextFiles;
extern const platform::FileFilter XlsFiles;
extern const platform::FileFilter XlsxFiles;

// The save dialog of an export, starting at `defaultName` ("FoldDiff", "FileDiff"); the
// chosen path, or nothing when the user cancelled. Pending window events run once after
// it.
std::optional<QString> ChooseExportFile(const QString &title, const QString &defaultName,
                                        const QList<platform::FileFilter> &filters, int initialFilter = 0);

// Opens a written page or workbook in the program the desktop uses for it.
void OpenExportedFile(const QString &path);

} // namespace common::dialogs
