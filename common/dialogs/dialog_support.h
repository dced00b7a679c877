#pragma once

#include <QString>

class QWidget;

namespace common::dialogs {

// Which program's copy of a dialog to build. The text difference viewer carries variants
// of some dialogs of the folder comparison program that differ in texts and entries.
enum class ProgramVariant { Dirgleam, Linquell };

// Layout in twips, as the windows' designs give it (15 twips to a pixel).
void placeTwips(QWidget *widget, int left, int top, int width, int height);
// Gives a dialog a fixed client area of the given size.
void setClientTwips(QWidget *dialog, int width, int height);

// Reports the failure being handled (call it in a catch block) as "システムエラー : " +
// procedure + CR LF + description in an OK-only box without a title, shown through the
// installed dialogs directly (not through ShowMsg: these dialogs never run unattended).
void ReportFailureDirectly(const QString &procedure);

} // namespace common::dialogs
