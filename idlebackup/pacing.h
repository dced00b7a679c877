#pragma once

#include "idlebackup/backup_settings.h"

#include <QtGlobal>

#include <array>
#include <functional>

namespace idlebackup {

// A steady millisecond clock that can also sleep; tests give one whose time moves only
// when told to.
class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since some fixed point; never goes back.
    virtual qint64 nowMs() = 0;
    virtual void sleepMs(qint64 milliseconds) = 0;
};

// The system's monotonic clock.
class SteadyClock final : public Clock
{
public:
    qint64 nowMs() override;
    void sleepMs(qint64 milliseconds) override;
};

// Where the samples of processor use come from; tests give their own.
class ProcessorMeter
{
public:
    virtual ~ProcessorMeter() = default;
    // Number of processors, at least 1.
    virtual int processorCount() = 0;
    // Idle time of all processors since the last call, in percent of one processor,
    // summed (up to 100 times the processor count).
    virtual double idleCounterValue() = 0;
    // Processor time of this process since the last call, in percent of one processor.
    virtual double ownUsePercent() = 0;
};

// The samples from /proc/stat (the "cpu" line of all processors) and the process's own
// processor clock.
class ProcStatMeter final : public ProcessorMeter
{
public:
    ProcStatMeter();
    int processorCount() override;
    double idleCounterValue() override;
    double ownUsePercent() override;

private:
    int m_processorCount = 1;
    quint64 m_lastIdle = 0;
    quint64 m_lastTotal = 0;
    qint64 m_lastOwnNs = 0;
    qint64 m_lastWallNs = 0;
};

// The run's signals to every loop and wait: a run is active, the window is closing.
struct RunFlags
{
    qint32 RunFlag = 0;
    bool CloseFlag = false;

    // A run is active and the window stays.
    bool going() const { return RunFlag != 0 && !CloseFlag; }
};

// The idle share of one sample: the counter value divided among the processors, limited
// to 0 to 100 (a value that is not a number counts 0).
double IdleSample(double counterValue, int processorCount);

// The pause after `busyMs` of work that makes the work `useCpu` percent of the two.
double BasePause(double busyMs, int useCpu);

// The pace factor after one more stretch of work: down by one (from at most 0) while
// the use stays below four fifths of `useCpu`, 0 between four fifths and `useCpu`, up by
// one (from at least 0) at or above it; never below -10.
double AdaptPaceFactor(double factor, int useCpu, double use);

// The base pause scaled by the pace factor: -10 removes it, each step of +1 adds a tenth.
double ScaledPause(double pause, double factor);

// Measures how idle the processors are and paces the work of a run: waits for enough
// idleness (MinIdle), pauses after stretches of work so that the program's own share of
// a processor stays near UseCpu, and keeps the window responsive while it waits.
//
// Idle samples come from the meter ten times a second through takeSample(); their mean
// over the last ten is CpuIdleAverage(). The pauses adapt by the program's own processor
// use over the same second, so that waits for the disk do not count as work and other
// programs' load (which MinIdle answers) does not slow it down twice.
class Pacer
{
public:
    Pacer(Clock &clock, ProcessorMeter &meter, const BackupSettings &settings, const RunFlags &flags,
          std::function<void()> pumpEvents);

    // One sample (the processor timer's tick). True when the meter is due (twice a second).
    bool takeSample();
    // Mean idle percentage of the last ten samples; 100 before the first.
    double CpuIdleAverage() const { return m_cpuIdleAverage; }
    // The whole machine's use as the meter shows it, rounded half to even.
    int meterPercent() const;
    double PaceFactor() const { return m_paceFactor; }

    // Returns when the mean idle share reaches MinIdle, or the run stops, or the window
    // closes.
    void CpuIdleCheckAndWait();
    // Pauses after a stretch of at least 10 ms of work so that the work keeps to UseCpu,
    // then starts a new stretch. `code` tells the caller (999 the copy loop, else 0).
    void BreakeTime(qint16 code);
    // Sleeps `mSec` milliseconds in slices of at most 100 ms, pumping events after each;
    // 0 or less only pumps events when 500 ms have passed since the last pump.
    void SleepDoEvents(qint64 mSec);
    // Starts a new stretch of work (the start of a pass).
    void startBusyStretch();

private:
    Clock &m_clock;
    ProcessorMeter &m_meter;
    const BackupSettings &m_settings;
    const RunFlags &m_flags;
    std::function<void()> m_pumpEvents;

    int m_processorCount = 1;
    double m_cpuIdleAverage = 100;
    int m_sampleIndex = 0;
    std::array<double, 10> m_idleSamples{};
    std::array<double, 10> m_ownUseSamples{};
    double m_ownUseAverage = 0;
    double m_paceFactor = 0;
    qint64 m_lastDoEventsTick = 0;
    qint64 m_runStartTick = 0;
    qint64 m_sleptMs = 0;
};

} // namespace idlebackup
