#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Starts other programs: always with an argument list, never through a shell. The
// programs install nothing; tests install a recording starter.
class ProcessStarter
{
public:
    virtual ~ProcessStarter() = default;

    // Starts `program` with `arguments` as an independent process that is not waited
    // for; false when it could not be started.
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;
};

// The starter in use; never null (QProcess::startDetached when none is installed).
ProcessStarter &processStarter();

// Installs `starter` (not owned) until it is replaced; nullptr restores the real one.
void installProcessStarter(ProcessStarter *starter);

} // namespace platform
