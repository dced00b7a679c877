#include "common/dialogs/dialog_support.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "platform/flex_grid.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>
#include <QWidget>

#include <cmath>

namespace common::dialogs {

int pixels(int twips)
{
    return int(std::lround(double(twips) / platform::TwipsPerPixel));
}

void placeTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
}

void setClientTwips(QWidget *dialog, int width, int height)
{
    dialog->setFixedSize(pixels(width), pixels(height));
}

void WriteSetting(const QString &section, const QString &key, const QString &value, const QString &iniFile)
{
    if (!WriteIniValue(section, key, value, iniFile))
        throw Failure(75, QCoreApplication::applicationName(),
                      QStringLiteral("設定ファイルに書き込めません。 ") + iniFile + QStringLiteral(" [") + section
                          + QStringLiteral("] ") + key);
}

void ReportFailureDirectly(const QString &procedure)
{
    SaveErr();
    platform::dialogs().messageBox(SystemErrorText(procedure), platform::MessageStyle::OkOnly, QString());
}

} // namespace common::dialogs
