#include "common/dialogs/dialog_support.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "platform/twips.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>
#include <QWidget>


namespace common::dialogs {

void placeTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(platform::twipsToPixels(left), platform::twipsToPixels(top), platform::twipsToPixels(width),
                        platform::twipsToPixels(height));
}

void setClientTwips(QWidget *dialog, int width, int height)
{
    dialog->setFixedSize(platform::twipsToPixels(width), platform::twipsToPixels(height));
}

void ReportFailureDirectly(const QString &procedure)
{
    SaveErr();
    platform::dialogs().messageBox(SystemErrorText(procedure), platform::MessageStyle::OkOnly, QString());
}

} // namespace common::dialogs
