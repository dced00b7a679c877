#include <QApplication>
#include <QMainWindow>

// The text difference viewer. Its window opens empty until the viewer is built.
int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("テキスト差分表示ツール"));
    window.resize(1024, 738);
    window.show();
    return application.exec();
}
