#include "platform/process_starter.h"

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

} // namespace platform
