#include "common/command_line.h"
#include "common/common_module.h"
#include "common/ftp_password_handover.h"
#include "common/saved_error.h"
#include "common/startup_check.h"
#include "foldercompare/window/frm_main.h"
#include "platform/file_handles.h"
#include "platform/process_memory.h"
#include "platform/program_folder.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/qt_translation.h"
#include "platform/widgets/widget_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>

#include <memory>
#include <optional>

// Entry of the folder comparison program: reads the command line, fills the path boxes,
// then shows the window, or with an output switch compares, writes the export and ends
// without any display.
int main(int argc, char **argv)
{
    // What work may hold open at once is bounded by the system, not by the low default.
    platform::RaiseOpenFileLimit();
    // Large buffers freed on worker threads are kept for the next ones.
    platform::KeepFreedMemoryForReuse();
    QStringList tokens;
    for (int i = 1; i < argc; ++i)
        tokens.append(QFile::decodeName(argv[i]));
    common::StartupRequest request = common::ParseCommandLine(tokens);
    // A window that Dirgleam opens on a folder row gets the passwords of ftp:// paths in a
    // file of the user's alone.
    if (!request.passwordFile.isEmpty())
        common::TakeBackFtpPasswords(request.passwordFile, request.paths);
    const std::optional<QString> refusal = common::StartupRefusal(
        {QStringLiteral("Dirgleam"), request.paths, request.batchMode, common::DisplayAvailable()});
    if (refusal) {
        platform::writeMessageToStandardError(*refusal);
        return common::StartupRefusedStatus;
    }
    common::ApplyStartupRequest(request);
    if (common::BatchMode)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    const QString runtimeRefusal = platform::provideRuntimeFolder();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dirgleam"));
    // An unattended run shows no box: without widget dialogs every message goes to
    // standard error.
    std::optional<platform::widgets::WidgetDialogs> widgetDialogs;
    if (!common::BatchMode) {
        widgetDialogs.emplace();
        platform::widgets::installQtJapanese();
    }
    if (!runtimeRefusal.isEmpty()) {
        platform::dialogs().messageBox(runtimeRefusal, platform::MessageStyle::OkOnly | platform::MessageStyle::IconCritical,
                                       QString());
        return 1;
    }

    try {
        auto window = std::make_unique<foldercompare::Frm_Main>();
        for (int side = 0; side < 2; ++side)
            if (request.paths[side])
                window->Txt_FolderPath[side]->setText(*request.paths[side]);
        if (common::BatchMode) {
            // The activation gathers, compares, exports and unloads the window; after a
            // failure it returns without the unload, and the run ends without saving.
            window->Form_Activate();
            return common::BatchFailed ? 1 : 0;
        }
        window->show();
        const int status = application.exec();
        window->Form_Unload();
        return status;
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Main"));
        return 1;
    }
}
