#include "platform/testing/killed_child.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

namespace platform::testing {

namespace {

const char FolderVariable[] = "KILLED_CHILD_FOLDER";

QString markerIn(const QString &folder)
{
    return folder + QStringLiteral("/started");
}

} // namespace

QString KilledChildFolder()
{
    return qEnvironmentVariable(FolderVariable);
}

void HoldUntilKilled(const QString &folder)
{
    QFile marker(markerIn(folder));
    marker.open(QIODevice::WriteOnly);
    marker.close();
    for (;;)
        QThread::sleep(1);
}

qint64 KillChildOnceMarked(const QString &filter, const QString &folder)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(FolderVariable, folder);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filter});
    if (!child.waitForStarted())
        return 0;
    const qint64 process = child.processId();
    for (int wait = 0; wait < 600 && !QFileInfo::exists(markerIn(folder)); ++wait)
        QThread::msleep(50);
    const bool marked = QFileInfo::exists(markerIn(folder));
    child.kill();
    child.waitForFinished();
    return marked ? process : 0;
}

} // namespace platform::testing
