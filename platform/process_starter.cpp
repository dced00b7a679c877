#include "platform/process_starter.h"

#include "platform/own_file.h"

#include <QProcess>

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
    const QString problem = regularFileProblem(program, TrustedOwners::UserOrRoot);
    if (problem.isEmpty())
        return QString();
    return QStringLiteral("プログラムを起動しません。　\r\n\r\n") + program + QStringLiteral("\r\n(") + problem + u')';
}

} // namespace platform
