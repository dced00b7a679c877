#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace bench {

// How a child process ended: its exit code, its wall time (process start included) and
// the peak resident size the system kept for it.
struct ChildRun
{
    int exitCode = -1; // -1 when it did not end normally
    double seconds = 0;
    double peakMegabytes = 0;
};

// Runs `program` with `arguments` in `environment`, its standard output thrown away, and
// waits for it; nullopt when it could not be started or waited for. The child is started
// directly (posix_spawn), so the peak size is its own and not that of a shell.
std::optional<ChildRun> runChild(const QString &program, const QStringList &arguments,
                                 const QProcessEnvironment &environment);

} // namespace bench
