#include "foldercompare/listing/worker_threads.h"

#include <QThread>

#include <algorithm>
#include <chrono>

namespace foldercompare::listing {

WorkerThreads::WorkerThreads(int threadCount)
{
    const int count = std::max(threadCount, 1);
    m_threads.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back([this] { run(); });
}

WorkerThreads::~WorkerThreads()
{
    std::vector<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        dropped.swap(m_queue);
    }
    m_posted.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

int WorkerThreads::DefaultThreadCount()
{
    return std::clamp(QThread::idealThreadCount(), 1, 16);
}

void WorkerThreads::post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(task));
    }
    m_posted.notify_one();
}

bool WorkerThreads::waitUntilIdle(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    const auto idle = [this] { return m_queue.empty() && m_running == 0; };
    if (milliseconds < 0) {
        m_idle.wait(lock, idle);
        return true;
    }
    return m_idle.wait_for(lock, std::chrono::milliseconds(milliseconds), idle);
}

void WorkerThreads::dropQueued()
{
    std::vector<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_mutex);
        dropped.swap(m_queue);
        if (m_running == 0)
            m_idle.notify_all();
    }
}

void WorkerThreads::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_posted.wait(lock, [this] { return m_closing || !m_queue.empty(); });
        if (m_closing)
            return;
        std::function<void()> task = std::move(m_queue.back());
        m_queue.pop_back();
        ++m_running;
        lock.unlock();
        task();
        // What the task holds is let go before the walk can be told that all is done.
        task = nullptr;
        lock.lock();
        --m_running;
        if (m_running == 0 && m_queue.empty())
            m_idle.notify_all();
    }
}

} // namespace foldercompare::listing
