#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace foldercompare::listing {

// How long the window's thread waits for the workers between two event pumps.
constexpr int PumpSliceMs = 10;

// A set of threads that run posted tasks while the window's thread goes on pumping its
// events. The task posted last runs first: a folder walk posts the subfolders of the
// folder it just read, so the deepest folders are read first and only the folders on
// the way down stay open. Tasks may post further tasks. The destructor waits for the
// running tasks and drops the queued ones.
class WorkerThreads
{
public:
    // Starts `threadCount` threads (at least one).
    explicit WorkerThreads(int threadCount = DefaultThreadCount());
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads &) = delete;
    WorkerThreads &operator=(const WorkerThreads &) = delete;

    // As many threads as the machine runs at once (QThread::idealThreadCount), at least
    // one and at most 16: more only add descriptors and contention, not speed.
    static int DefaultThreadCount();

    // Queues `task`, which must not throw; any thread, a task among them, may post.
    void post(std::function<void()> task);

    // Waits until no task is queued or running, at most `milliseconds` (negative: as
    // long as it takes). True when none is.
    bool waitUntilIdle(int milliseconds);

    // Drops the queued tasks that no thread has started.
    void dropQueued();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::condition_variable m_idle;
    std::vector<std::function<void()>> m_queue;
    int m_running = 0;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

} // namespace foldercompare::listing
