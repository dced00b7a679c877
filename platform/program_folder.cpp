#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace platform {

namespace {

QString folderOfRunningExecutable()
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString target = self.canonicalFilePath();
    if (!target.isEmpty())
        return QFileInfo(target).absolutePath();
    return QCoreApplication::applicationDirPath();
}

bool isWritableFolder(const QString &folder)
{
    return !folder.isEmpty() && ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

} // namespace

QString executableFolder()
{
    return folderOfRunningExecutable();
}

QString executableName()
{
    const QString target = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!target.isEmpty())
        return QFileInfo(target).fileName();
    return QCoreApplication::applicationName();
}

QString programFolder()
{
    const QString overridden = qEnvironmentVariable("DIRGLEAM_SUITE_FOLDER");
    if (!overridden.isEmpty()) {
        QDir().mkpath(overridden);
        return QDir(overridden).absolutePath();
    }
    const QString beside = executableFolder();
    if (isWritableFolder(beside))
        return beside;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = dataHome + QStringLiteral("/dirgleam-suite");
    QDir().mkpath(folder);
    return folder;
}

QString runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && isWritableFolder(runtime))
        return runtime;
    const QString folder = QDir::tempPath() + QStringLiteral("/dirgleam-suite-") + QString::number(::getuid());
    if (!QFileInfo(folder).isDir()) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return folder;
}

void provideRuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QFileInfo(runtime).isDir())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder()));
}

} // namespace platform
