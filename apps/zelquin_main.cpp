#include "platform/program_folder.h"
#include "platform/widgets/qt_translation.h"

#include <QApplication>
#include <QMainWindow>

// The idle-time backup program. Its window opens empty until the backup program is built.
int main(int argc, char **argv)
{
    // The backup program takes no locks yet: without a private runtime folder of ours it
    // runs on, and Qt checks and uses a runtime folder of its own.
    [[maybe_unused]] const QString runtimeRefusal = platform::provideRuntimeFolder();
    QApplication application(argc, argv);
    platform::widgets::installQtJapanese();
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Pellastra"));
    window.resize(640, 480);
    window.show();
    return application.exec();
}
