#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace platform {

// What a run in a child process may take.
struct IsolationLimits
{
    // Address space the child may take beyond what this process already holds.
    qint64 memoryBytes = qint64(1) << 30;
    // Seconds of the clock (and of the processor) before the child is ended.
    int seconds = 60;
    // Bytes the child may hand back.
    qint64 outputBytes = qint64(1) << 30;
    // When given, asked at least every tenth of a second while the child runs; false ends
    // the child (Stopped).
    std::function<bool()> keepGoing;
};

// How a run in a child process ended.
struct IsolatedOutcome
{
    enum class Kind {
        Done,        // `output` holds what the work returned
        Crashed,     // the child ended by a signal or without handing back its result
        OutOfMemory, // the work could not have the memory it asked for
        OutOfTime,   // the child was ended at its time limit
        TooMuch,     // the child handed back more than outputBytes and was ended
        NotStarted,  // no child process or pipe could be made
        Stopped,     // keepGoing said no and the child was ended
    };
    Kind kind = Kind::Done;
    QByteArray output;
    // For a failure, what happened, in words for a message.
    QString text;
    bool ok() const { return kind == Kind::Done; }
};

// Runs `work` in a short-lived child process made by fork(), with its address space and
// its time limited, and hands back the bytes it returns. For a library that may read out
// of bounds, crash or run away on a hostile file: its faults end the child, never this
// process. The child runs `work` alone (the other threads of this process do not exist
// there), hands the bytes back through a pipe and ends with _exit(), so nothing of this
// process is flushed or torn down twice. Blocks until the child has ended.
IsolatedOutcome runIsolated(const std::function<QByteArray()> &work, const IsolationLimits &limits = {});

} // namespace platform
