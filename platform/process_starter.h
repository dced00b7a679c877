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

// Why the program `program`, one of the three beside the running one, is not started, as
// a message that names it; empty when it may start: a regular file (no link) of the
// user's or root's that nobody else may write to, in folders of the user's or root's
// where nobody else may put another file in its place (no write for others, or the
// sticky bit) all the way up. Whoever could change the file, or swap it between this
// look and the start, could run his own code as the user.
QString siblingStartRefusal(const QString &program);

} // namespace platform
