#include "platform/isolated_run.h"

#include "platform/descriptor.h"
#include "platform/file_handles.h"

#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

// The child's exit status when the work could not have its memory.
constexpr int OutOfMemoryStatus = 3;
// The child's exit status when the work failed otherwise (an exception).
constexpr int WorkFailedStatus = 4;

// The address space this process holds now, in bytes; 0 when it cannot be read.
qint64 addressSpaceBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray pages = statm.readLine().split(' ').value(0);
    return pages.toLongLong() * ::sysconf(_SC_PAGESIZE);
}

[[noreturn]] void runChild(const std::function<QByteArray()> &work, const IsolationLimits &limits, int output,
                           qint64 heldBytes)
{
    const rlimit memory{rlim_t(heldBytes + limits.memoryBytes), rlim_t(heldBytes + limits.memoryBytes)};
    const rlimit processor{rlim_t(limits.seconds), rlim_t(limits.seconds) + 1};
    ::setrlimit(RLIMIT_AS, &memory);
    ::setrlimit(RLIMIT_CPU, &processor);
    int status = 0;
    try {
        const QByteArray result = work();
        status = WriteFileBytes(output, result, result.size()) == result.size() ? 0 : WorkFailedStatus;
    } catch (const std::bad_alloc &) {
        status = OutOfMemoryStatus;
    } catch (...) {
        status = WorkFailedStatus;
    }
    ::_exit(status);
}

IsolatedOutcome failure(IsolatedOutcome::Kind kind, const QString &text)
{
    IsolatedOutcome outcome;
    outcome.kind = kind;
    outcome.text = text;
    return outcome;
}

IsolatedOutcome outOfTime(const IsolationLimits &limits)
{
    return failure(IsolatedOutcome::Kind::OutOfTime, QStringLiteral("%1 秒で終わりませんでした").arg(limits.seconds));
}

// Reads the child's bytes until it closes its end, its time is up, it hands back too much
// or keepGoing says no; Done, OutOfTime, TooMuch or Stopped.
IsolatedOutcome collect(int input, const IsolationLimits &limits)
{
    IsolatedOutcome outcome;
    const QDeadlineTimer deadline(qint64(limits.seconds) * 1000);
    const qint64 wait = limits.keepGoing ? 100 : 1000;
    char buffer[65536];
    for (;;) {
        if (limits.keepGoing && !limits.keepGoing())
            return failure(IsolatedOutcome::Kind::Stopped, QStringLiteral("中止しました"));
        pollfd ready{input, POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(std::min<qint64>(deadline.remainingTime(), wait)));
        if (polled < 0 && errno != EINTR)
            return failure(IsolatedOutcome::Kind::Crashed, QString::fromLocal8Bit(std::strerror(errno)));
        if (polled <= 0) {
            if (deadline.hasExpired())
                return outOfTime(limits);
            continue;
        }
        const ssize_t count = ::read(input, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return outcome;
        if (outcome.output.size() + count > limits.outputBytes)
            return failure(IsolatedOutcome::Kind::TooMuch,
                           QStringLiteral("結果が %1 バイトを超えました").arg(limits.outputBytes));
        outcome.output.append(buffer, count);
    }
}

} // namespace

IsolatedOutcome runIsolated(const std::function<QByteArray()> &work, const IsolationLimits &limits)
{
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return failure(IsolatedOutcome::Kind::NotStarted, QString::fromLocal8Bit(std::strerror(errno)));
    Descriptor readEnd(ends[0]);
    Descriptor writeEnd(ends[1]);
    const qint64 heldBytes = addressSpaceBytes();
    const pid_t child = ::fork();
    if (child < 0)
        return failure(IsolatedOutcome::Kind::NotStarted, QString::fromLocal8Bit(std::strerror(errno)));
    if (child == 0) {
        readEnd.reset();
        runChild(work, limits, writeEnd.get(), heldBytes);
    }
    writeEnd.reset();
    IsolatedOutcome outcome = collect(readEnd.get(), limits);
    // Closed before the wait: a child still writing then ends rather than blocks.
    readEnd.reset();
    if (!outcome.ok())
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!outcome.ok())
        return outcome;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return outcome;
    if (WIFEXITED(status) && WEXITSTATUS(status) == OutOfMemoryStatus)
        return failure(IsolatedOutcome::Kind::OutOfMemory,
                       QStringLiteral("メモリの上限 %1 バイトを超えました").arg(limits.memoryBytes));
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)
        return outOfTime(limits);
    return failure(IsolatedOutcome::Kind::Crashed,
                   WIFSIGNALED(status) ? QStringLiteral("シグナル %1 で異常終了しました").arg(WTERMSIG(status))
                                       : QStringLiteral("終了コード %1 で終わりました").arg(WEXITSTATUS(status)));
}

} // namespace platform
