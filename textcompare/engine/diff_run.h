#pragma once

#include <chrono>
#include <functional>

namespace textcompare {

// The window's side of one engine run: the cancel request that the engine reads at the
// start of every step of its walk, the busy flag that it sets at every step, and the hook
// that lets queued window events run, through which the Esc key sets the cancel request.
// A member left empty is not used.
struct DiffRunFlags
{
    const bool *cancelFlag = nullptr;
    bool *progressFlag = nullptr;
    std::function<void()> letEventsRun;

    bool cancelRequested() const { return cancelFlag && *cancelFlag; }
    void markProgress() const
    {
        if (progressFlag)
            *progressFlag = true;
    }
    // Lets queued window events run now, whatever the time since they last ran.
    void runEvents() const
    {
        if (letEventsRun)
            letEventsRun();
    }
};

// Paces the event hook of a run. Every unit of engine work calls tick(); queued events run
// at the first unit and then whenever about 20 ms have passed, the clock being read only
// every 1024 units, so that a step of a few nanoseconds costs no system call.
class EventPump
{
public:
    explicit EventPump(DiffRunFlags flags);

    bool cancelRequested() const { return m_flags.cancelRequested(); }
    void markProgress() const { m_flags.markProgress(); }
    void tick()
    {
        if (--m_unitsUntilClock <= 0)
            checkClock();
    }

private:
    void checkClock();

    DiffRunFlags m_flags;
    int m_unitsUntilClock = 1;
    bool m_ranEvents = false;
    std::chrono::steady_clock::time_point m_lastRun;
};

} // namespace textcompare
