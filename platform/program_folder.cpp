#include "platform/program_folder.h"

#include "platform/descriptor.h"
#include "platform/own_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

// Whether the executables' folder `folder` may hold the settings and work folders: a
// folder of the user's own that he may write to and nobody else may (foreignControlProblem;
// a folder shared by all, sticky or not, is not his alone).
bool servesAsProgramFolder(const QString &folder)
{
    struct stat info;
    return isWritableFolder(folder) && ::stat(QFile::encodeName(folder).constData(), &info) == 0
           && S_ISDIR(info.st_mode) && foreignControlProblem(info).isEmpty();
}

// What mkdtemp() puts in place of "XXXXXX" after a folder's usual name and "-".
constexpr char DrawnNameEnd[] = "-XXXXXX";

// The first by name of the folders "<folder>-XXXXXX" that mkdtemp() made for this user:
// a real folder of his with mode 0700; empty when there is none.
QString madeFolderBeside(const QString &folder)
{
    const QFileInfo usual(folder);
    const QStringList names = QDir(usual.absolutePath())
                                  .entryList({usual.fileName() + QStringLiteral("-??????")},
                                             QDir::Dirs | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names) {
        const QString candidate = usual.absolutePath() + u'/' + name;
        struct stat info;
        if (::lstat(QFile::encodeName(candidate).constData(), &info) == 0 && S_ISDIR(info.st_mode)
            && info.st_uid == ::geteuid() && (info.st_mode & 07777) == S_IRWXU)
            return candidate;
    }
    return QString();
}

// A folder of this user's own beside `folder`, whose name someone else holds: the one
// that an earlier run drew, else one drawn now by mkdtemp; empty when none can be made.
QString drawnFolderBeside(const QString &folder)
{
    QString found = madeFolderBeside(folder);
    if (!found.isEmpty())
        return found;
    QByteArray drawn = QFile::encodeName(folder) + DrawnNameEnd;
    if (!::mkdtemp(drawn.data()))
        return QString();
    // Of folders that runs drew at the same moment, all take the first by name.
    found = madeFolderBeside(folder);
    return found.isEmpty() ? QFile::decodeName(drawn) : found;
}

// $XDG_DATA_HOME/dirgleam-suite, made when missing. Where that name is another user's
// folder (a shared XDG_DATA_HOME, or one left by a run as root), or no folder, the user's
// own folder drawn beside it serves instead.
QString dataProgramFolder()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = dataHome + QStringLiteral("/dirgleam-suite");
    QDir().mkpath(dataHome);
    // Settings files, downloads and work folders are the user's alone: the folder is
    // made with exactly 0700 whatever the umask, and one found with more rights (made by
    // an earlier version) is closed to others.
    const QByteArray encoded = QFile::encodeName(folder);
    ::mkdir(encoded.constData(), 0700);
    const Descriptor opened(::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info;
    if (opened.isOpen() && ::fstat(opened.get(), &info) == 0 && info.st_uid == ::geteuid()) {
        if ((info.st_mode & 07777) != S_IRWXU)
            ::fchmod(opened.get(), S_IRWXU);
        return folder;
    }
    const QString drawn = drawnFolderBeside(folder);
    return drawn.isEmpty() ? folder : drawn;
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

QString programFolderFor(const QString &executablesFolder)
{
    if (servesAsProgramFolder(executablesFolder))
        return executablesFolder;
    return dataProgramFolder();
}

QString programFolder()
{
    const QString overridden = qEnvironmentVariable("DIRGLEAM_SUITE_FOLDER");
    if (!overridden.isEmpty()) {
        QDir().mkpath(overridden);
        return QDir(overridden).absolutePath();
    }
    return programFolderFor(executableFolder());
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
    QString problem;
    if (::mkdir(encoded.constData(), 0700) == 0)
        ::chmod(encoded.constData(), 0700);
    else if (errno != EEXIST)
        problem = QStringLiteral("作成できません (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    if (problem.isEmpty())
        problem = privateFolderProblem(folder, LinkUse::Refuse);
    if (problem.isEmpty())
        return {folder, QString()};

    // Someone else holds the name: a folder of ours under a name drawn by mkdtemp, which
    // every later run finds again by its owner and mode.
    const QString drawn = drawnFolderBeside(folder);
    if (drawn.isEmpty())
        return {QString(), refusalOf(folder, problem)};
    return {drawn, QString()};
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
