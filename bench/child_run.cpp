#include "bench/child_run.h"

#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace bench {

std::optional<ChildRun> runChild(const QString &program, const QStringList &arguments,
                                 const QProcessEnvironment &environment)
{
    std::vector<QByteArray> texts{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        texts.push_back(QFile::encodeName(argument));
    const qsizetype argumentCount = qsizetype(texts.size());
    for (const QString &variable : environment.toStringList())
        texts.push_back(variable.toLocal8Bit());
    std::vector<char *> argv;
    std::vector<char *> envp;
    for (qsizetype k = 0; k < qsizetype(texts.size()); ++k)
        (k < argumentCount ? argv : envp).push_back(texts[size_t(k)].data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return std::nullopt;
    ChildRun run;
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMegabytes = double(usage.ru_maxrss) / 1024; // kilobytes on Linux
    return run;
}

} // namespace bench
