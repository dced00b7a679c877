#include "common/ftp_password_handover.h"
#include "common/startup_check.h"
#include "platform/file_handles.h"
#include "platform/process_memory.h"
#include "platform/program_folder.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/qt_translation.h"
#include "platform/widgets/widget_dialogs.h"
#include "textcompare/engine/viewer_command_line.h"
#include "textcompare/window/linquell_entry.h"

#include <QApplication>
#include <QFile>

#include <optional>

// Entry of the text difference viewer: reads the command line, then shows the window,
// or with an output switch compares, writes the export and ends without any display.
int main(int argc, char **argv)
{
    // What work may hold open at once is bounded by the system, not by the low default.
    platform::RaiseOpenFileLimit();
    // Large buffers freed on worker threads are kept for the next ones.
    platform::KeepFreedMemoryForReuse();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));
    textcompare::ViewerCommandLine commandLine = textcompare::ParseViewerCommandLine(arguments);
    // Dirgleam hands the passwords of ftp:// paths over in a file of the user's alone.
    if (!commandLine.passwordFile.isEmpty())
        common::TakeBackFtpPasswords(commandLine.passwordFile, commandLine.paths);
    const std::optional<QString> refusal = common::StartupRefusal(
        {QStringLiteral("Linquell"), commandLine.paths, commandLine.batchMode, common::DisplayAvailable()});
    if (refusal) {
        platform::writeMessageToStandardError(*refusal);
        return common::StartupRefusedStatus;
    }
    if (commandLine.batchMode)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    const QString runtimeRefusal = platform::provideRuntimeFolder();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Linquell"));
    // An unattended run shows no box: without widget dialogs every message goes to
    // standard error.
    std::optional<platform::widgets::WidgetDialogs> widgetDialogs;
    if (!commandLine.batchMode) {
        widgetDialogs.emplace();
        platform::widgets::installQtJapanese();
    }
    if (!runtimeRefusal.isEmpty()) {
        platform::dialogs().messageBox(runtimeRefusal, platform::MessageStyle::OkOnly | platform::MessageStyle::IconCritical,
                                       QString());
        return 1;
    }
    return textcompare::Main(commandLine);
}
