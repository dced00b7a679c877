#include "platform/program_folder.h"
#include "platform/widgets/qt_translation.h"

#include <QApplication>
#include <QMainWindow>

// The idle-time backup program. Its window opens empty until the backup program is built.
int main(int argc, char **argv)
{
    platform::provideRuntimeFolder();
    QApplication application(argc, argv);
    platform::widgets::installQtJapanese();
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Pellastra"));
    window.resize(640, 480);
    window.show();
    return application.exec();
}
