#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
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

enum class LinkUse { Follow, Refuse };

// Why `folder` is no folder for our lock files, or empty when it is one: a real folder
// (a symbolic link to one only with LinkUse::Follow), owned by us, that we may write to
// and enter, and group and others may not write to.
QString privateFolderProblem(const QString &folder, LinkUse links)
{
    const QByteArray encoded = QFile::encodeName(folder);
    struct stat info;
    const int result = links == LinkUse::Follow ? ::stat(encoded.constData(), &info) : ::lstat(encoded.constData(), &info);
    if (result != 0)
        return QStringLiteral("見つかりません (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("シンボリックリンクです");
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("フォルダではありません");
    if (info.st_uid != ::geteuid())
        return QStringLiteral("他のユーザーが所有しています");
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("他のユーザーも書き込めます");
    if ((info.st_mode & (S_IWUSR | S_IXUSR)) != (S_IWUSR | S_IXUSR))
        return QStringLiteral("書き込めません");
    return QString();
}

QString refusalOf(const QString &folder, const QString &problem)
{
    return QStringLiteral("ロックファイルのフォルダを使用できません。 ") + folder + QStringLiteral(" : ") + problem;
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

RuntimeFolder findRuntimeFolder(const QString &temporaryBase)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && privateFolderProblem(runtime, LinkUse::Follow).isEmpty())
        return {runtime, QString()};

    const QString folder = temporaryBase + QStringLiteral("/dirgleam-suite-") + QString::number(::geteuid());
    const QByteArray encoded = QFile::encodeName(folder);
    // Made with exactly 0700 whatever the umask; a folder that is already there (made by
    // anyone, maybe a moment ago) is checked like any other.
    if (::mkdir(encoded.constData(), 0700) == 0) {
        ::chmod(encoded.constData(), 0700);
    } else if (errno != EEXIST) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        return {QString(), refusalOf(folder, QStringLiteral("作成できません (%1)").arg(reason))};
    }
    const QString problem = privateFolderProblem(folder, LinkUse::Refuse);
    if (!problem.isEmpty())
        return {QString(), refusalOf(folder, problem)};
    return {folder, QString()};
}

QString runtimeFolder()
{
    return findRuntimeFolder(QDir::tempPath()).path;
}

QString provideRuntimeFolder()
{
    const RuntimeFolder folder = findRuntimeFolder(QDir::tempPath());
    if (folder.path.isEmpty())
        return folder.refusal;
    if (folder.path != qEnvironmentVariable("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path));
    return QString();
}

} // namespace platform
