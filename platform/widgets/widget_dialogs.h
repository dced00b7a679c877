#pragma once

#include "platform/user_dialogs.h"

namespace platform::widgets {

// The dialogs of the interactive programs: Qt message boxes and file, colour and folder
// dialogs, owned by the active window. It installs itself on construction and restores
// the silent dialogs when destroyed.
//
// Message boxes take the classic style value (buttons 0-5, plus icon 16, 32, 48 or 64,
// plus 256 or 512 to make the second or third button the default) and answer with the
// classic codes (1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No). CR LF, or a
// lone CR or LF, breaks the line; an empty title shows the application's name. Closing a
// box without a button gives the answer of its Cancel (or No) button.
//
// File-type indexes count from 0 in the order of the filter list.
class WidgetDialogs final : public UserDialogs
{
public:
    WidgetDialogs();
    ~WidgetDialogs() override;
    WidgetDialogs(const WidgetDialogs &) = delete;
    WidgetDialogs &operator=(const WidgetDialogs &) = delete;

    int messageBox(const QString &prompt, int style, const QString &title) override;
    std::optional<ChosenFile> openFile(const QString &title, const QString &initialPath,
                                       const QList<FileFilter> &filters, int initialFilter) override;
    std::optional<ChosenFile> saveFile(const QString &title, const QString &initialPath,
                                       const QList<FileFilter> &filters, int initialFilter) override;
    std::optional<quint32> chooseColor(quint32 initialColor) override;
    QString browseFolder(const QString &title, const QString &initialFolder) override;
};

} // namespace platform::widgets
