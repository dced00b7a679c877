#include "textcompare/engine/diff_run.h"

#include <utility>

namespace textcompare {
namespace {

constexpr int UnitsPerClockCheck = 1024;
constexpr std::chrono::milliseconds EventInterval(20);

} // namespace

EventPump::EventPump(DiffRunFlags flags)
    : m_flags(std::move(flags))
{
}

void EventPump::checkClock()
{
    m_unitsUntilClock = UnitsPerClockCheck;
    if (!m_flags.letEventsRun)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (m_ranEvents && now - m_lastRun < EventInterval)
        return;
    m_flags.letEventsRun();
    m_ranEvents = true;
    m_lastRun = std::chrono::steady_clock::now();
}

} // namespace textcompare
