#include "platform/process_starter.h"

#include "platform/own_file.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace platform {

namespace {

class DetachedProcesses final : public ProcessStarter
{
public:
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        return QProcess::startDetached(program, arguments);
    }
};

DetachedProcesses &realStarter()
{
    static DetachedProcesses starter;
    return starter;
}

ProcessStarter *&installed()
{
    static ProcessStarter *starter = nullptr;
    return starter;
}

// Why someone else could put another file in the place of one in `folder`: that folder
// or one above it belongs to someone else, or others may write to it without the sticky
// bit, which keeps them from taking away or renaming what is not theirs; as "<folder> :
// <why>", empty when nobody else can.
QString replaceableFolderProblem(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    QString current = canonical.isEmpty() ? folder : canonical;
    for (;;) {
        struct stat info;
        if (::lstat(QFile::encodeName(current).constData(), &info) != 0)
            return current + QStringLiteral(" : ") + QString::fromLocal8Bit(std::strerror(errno));
        if ((info.st_mode & S_ISVTX) != 0)
            info.st_mode &= ~(S_IWGRP | S_IWOTH);
        if (const QString problem = foreignControlProblem(info, TrustedOwners::UserOrRoot); !problem.isEmpty())
            return current + QStringLiteral(" : ") + problem;
        if (current == QStringLiteral("/"))
            return QString();
        current = QFileInfo(current).absolutePath();
    }
}

} // namespace

ProcessStarter &processStarter()
{
    ProcessStarter *starter = installed();
    return starter ? *starter : realStarter();
}

void installProcessStarter(ProcessStarter *starter)
{
    installed() = starter;
}

QString siblingStartRefusal(const QString &program)
{
    QString problem = regularFileProblem(program, TrustedOwners::UserOrRoot);
    if (problem.isEmpty())
        problem = replaceableFolderProblem(QFileInfo(program).absolutePath());
    if (problem.isEmpty())
        return QString();
    return refusalMessage(QStringLiteral("プログラムを起動しません。"), program, problem);
}

} // namespace platform
