#include "idlebackup/pacing.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>
#include <unistd.h>

namespace idlebackup {

namespace {

constexpr int SampleSlots = 10;
constexpr qint64 BusyThresholdMs = 10;
constexpr qint64 SliceMs = 100;
constexpr qint64 PumpIntervalMs = 500;
constexpr qint64 SleptMsLimit = 1000000;
constexpr double PaceFactorFloor = -10;

qint64 clockNs(clockid_t clock)
{
    timespec now{};
    ::clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Idle and total jiffies of all processors from the "cpu" line of /proc/stat.
bool readProcessorTimes(quint64 &idle, quint64 &total)
{
    QFile file(QStringLiteral("/proc/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = file.readLine();
    if (!line.startsWith("cpu "))
        return false;
    const QList<QByteArray> fields = line.simplified().split(' ');
    // user nice system idle iowait irq softirq steal (guest time is inside user)
    constexpr int IdleField = 4;
    constexpr int IoWaitField = 5;
    constexpr int LastCounted = 8;
    if (fields.size() <= LastCounted)
        return false;
    idle = 0;
    total = 0;
    for (int field = 1; field <= LastCounted; ++field) {
        const quint64 value = fields[field].toULongLong();
        total += value;
        if (field == IdleField || field == IoWaitField)
            idle += value;
    }
    return true;
}

} // namespace

qint64 SteadyClock::nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyClock::sleepMs(qint64 milliseconds)
{
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

ProcStatMeter::ProcStatMeter()
{
    m_processorCount = std::max(1, int(::sysconf(_SC_NPROCESSORS_ONLN)));
    readProcessorTimes(m_lastIdle, m_lastTotal);
    m_lastOwnNs = clockNs(CLOCK_PROCESS_CPUTIME_ID);
    m_lastWallNs = clockNs(CLOCK_MONOTONIC);
}

int ProcStatMeter::processorCount()
{
    return m_processorCount;
}

double ProcStatMeter::idleCounterValue()
{
    quint64 idle = 0;
    quint64 total = 0;
    if (!readProcessorTimes(idle, total) || total <= m_lastTotal)
        return 100.0 * m_processorCount;
    const double share = double(idle - std::min(idle, m_lastIdle)) / double(total - m_lastTotal);
    m_lastIdle = idle;
    m_lastTotal = total;
    return share * 100.0 * m_processorCount;
}

double ProcStatMeter::ownUsePercent()
{
    const qint64 ownNs = clockNs(CLOCK_PROCESS_CPUTIME_ID);
    const qint64 wallNs = clockNs(CLOCK_MONOTONIC);
    const qint64 wallDelta = wallNs - m_lastWallNs;
    if (wallDelta <= 0)
        return 0;
    const double use = double(ownNs - m_lastOwnNs) * 100.0 / double(wallDelta);
    m_lastOwnNs = ownNs;
    m_lastWallNs = wallNs;
    return use;
}

double IdleSample(double counterValue, int processorCount)
{
    const double sample = counterValue / double(std::max(1, processorCount));
    if (sample > 100)
        return 100;
    if (!(sample >= 0))
        return 0;
    return sample;
}

double BasePause(double busyMs, int useCpu)
{
    const int share = std::clamp(useCpu, 1, 99);
    return busyMs / share * (100 - share);
}

double AdaptPaceFactor(double factor, int useCpu, double use)
{
    if (useCpu > use) {
        if (0.8 * useCpu > use) {
            if (factor > 0)
                factor = 0;
            factor -= 1;
        } else {
            factor = 0;
        }
    } else {
        if (factor < 0)
            factor = 0;
        factor += 1;
    }
    return std::max(factor, PaceFactorFloor);
}

double ScaledPause(double pause, double factor)
{
    return pause * (factor / 10 + 1);
}

Pacer::Pacer(Clock &clock, ProcessorMeter &meter, const BackupSettings &settings, const RunFlags &flags,
             std::function<void()> pumpEvents)
    : m_clock(clock)
    , m_meter(meter)
    , m_settings(settings)
    , m_flags(flags)
    , m_pumpEvents(std::move(pumpEvents))
    , m_processorCount(std::max(1, meter.processorCount()))
{
    m_lastDoEventsTick = m_clock.nowMs();
    m_runStartTick = m_lastDoEventsTick;
}

bool Pacer::takeSample()
{
    m_idleSamples[m_sampleIndex] = IdleSample(m_meter.idleCounterValue(), m_processorCount);
    m_ownUseSamples[m_sampleIndex] = std::clamp(m_meter.ownUsePercent(), 0.0, 100.0 * m_processorCount);
    m_sampleIndex = (m_sampleIndex + 1) % SampleSlots;
    double idleSum = 0;
    double ownSum = 0;
    for (int slot = 0; slot < SampleSlots; ++slot) {
        idleSum += m_idleSamples[slot];
        ownSum += m_ownUseSamples[slot];
    }
    m_cpuIdleAverage = idleSum / SampleSlots;
    m_ownUseAverage = ownSum / SampleSlots;
    return m_sampleIndex == 1 || m_sampleIndex == 6;
}

int Pacer::meterPercent() const
{
    return int(std::nearbyint(100 - m_cpuIdleAverage));
}

void Pacer::CpuIdleCheckAndWait()
{
    while (m_cpuIdleAverage < m_settings.MinIdle && m_flags.going())
        SleepDoEvents(SliceMs);
}

void Pacer::BreakeTime(qint16 code)
{
    Q_UNUSED(code);
    const qint64 busy = m_clock.nowMs() - m_runStartTick - m_sleptMs;
    if (busy < BusyThresholdMs)
        return;
    const int useCpu = std::clamp(m_settings.UseCpu, 1, 99);
    m_paceFactor = AdaptPaceFactor(m_paceFactor, useCpu, m_ownUseAverage);
    double wait = ScaledPause(BasePause(double(busy), useCpu), m_paceFactor);
    if (wait >= 1000) {
        while (wait > 0 && m_flags.going()) {
            if (wait < SliceMs) {
                SleepDoEvents(std::llround(wait));
                wait = 0;
            } else {
                SleepDoEvents(SliceMs);
                wait -= SliceMs;
                if (m_cpuIdleAverage >= 100 - useCpu) {
                    SleepDoEvents(SliceMs);
                    break;
                }
            }
        }
    } else if (wait > 0) {
        SleepDoEvents(std::llround(wait));
    } else {
        SleepDoEvents(-1);
    }
    startBusyStretch();
}

void Pacer::SleepDoEvents(qint64 mSec)
{
    for (;;) {
        if (mSec <= 0) {
            const qint64 now = m_clock.nowMs();
            if (now - m_lastDoEventsTick >= PumpIntervalMs) {
                m_pumpEvents();
                m_lastDoEventsTick = m_clock.nowMs();
            }
            m_sleptMs = std::min(m_sleptMs, SleptMsLimit);
            return;
        }
        if (!m_flags.going())
            return;
        const qint64 slice = std::min(mSec, SliceMs);
        m_clock.sleepMs(slice);
        m_sleptMs += slice;
        mSec -= slice;
        m_pumpEvents();
        m_lastDoEventsTick = m_clock.nowMs();
    }
}

void Pacer::startBusyStretch()
{
    m_runStartTick = m_clock.nowMs();
    m_sleptMs = 0;
}

} // namespace idlebackup
