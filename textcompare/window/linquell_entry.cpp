#include "textcompare/window/linquell_entry.h"

#include "common/saved_error.h"
#include "platform/user_dialogs.h"
#include "textcompare/window/frm_linquell.h"

#include <QApplication>
#include <QLineEdit>

#include <memory>

namespace textcompare {

namespace {

// The box of a failure that reached the entry: a message meant for the user (9999) alone,
// anything else as a system error of "Main".
void reportMainFailure()
{
    const common::ErrorRecord &failure = common::SavedErr();
    const QString text = failure.Number == 9999 ? failure.Description : common::SystemErrorText(QStringLiteral("Main"));
    platform::dialogs().messageBox(text, platform::MessageStyle::OkOnly, QString());
}

} // namespace

int Main(const ViewerCommandLine &commandLine)
{
    try {
        auto window = std::make_unique<Frm_Linquell>();
        for (int side = 0; side < 2; ++side)
            if (commandLine.paths[side])
                window->Txt_FilePath[side]->setText(*commandLine.paths[side]);
        window->show();
        const int status = QApplication::exec();
        window->Form_Unload();
        return status;
    } catch (...) {
        common::SaveErr();
        reportMainFailure();
        return 1;
    }
}

} // namespace textcompare
