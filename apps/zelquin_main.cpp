#include "common/saved_error.h"
#include "common/startup_check.h"
#include "idlebackup/window/frm_main.h"
#include "platform/file_handles.h"
#include "platform/process_memory.h"
#include "platform/program_folder.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/qt_translation.h"
#include "platform/widgets/widget_dialogs.h"

#include <QApplication>

#include <memory>

// Entry of the idle-time backup program: loads the main window, which shows itself or
// stays in the notification area, and runs until the window unloads.
int main(int argc, char **argv)
{
    // What work may hold open at once is bounded by the system, not by the low default.
    platform::RaiseOpenFileLimit();
    // Large buffers freed on worker threads are kept for the next ones.
    platform::KeepFreedMemoryForReuse();
    if (!common::DisplayAvailable()) {
        platform::writeMessageToStandardError(
            QStringLiteral("画面(ディスプレイ)がないためウィンドウを開けません。\n"
                           "DISPLAY か WAYLAND_DISPLAY のある環境で起動してください。"));
        return common::StartupRefusedStatus;
    }
    // Every write of the settings file takes its lock in the runtime folder.
    const QString runtimeRefusal = platform::provideRuntimeFolder();
    QApplication application(argc, argv);
    platform::widgets::installQtJapanese();
    QApplication::setApplicationName(QStringLiteral("Zelquin"));
    QApplication::setQuitOnLastWindowClosed(false);
    platform::widgets::WidgetDialogs widgetDialogs;
    if (!runtimeRefusal.isEmpty()) {
        platform::dialogs().messageBox(runtimeRefusal, platform::MessageStyle::OkOnly | platform::MessageStyle::IconCritical,
                                       QString());
        return 1;
    }
    std::unique_ptr<idlebackup::frmMain> window;
    try {
        window = std::make_unique<idlebackup::frmMain>();
    } catch (...) {
        common::SaveErr();
        platform::dialogs().messageBox(common::SystemErrorText(QStringLiteral("Main")), platform::MessageStyle::OkOnly,
                                       QString());
        return 1;
    }
    QObject::connect(window.get(), &idlebackup::frmMain::unloaded, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    return application.exec();
}
