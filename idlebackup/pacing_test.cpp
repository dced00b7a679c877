#include "idlebackup/work_test_fixture.h"

#include <cmath>
#include <limits>

namespace idlebackup {
namespace {

using testing::FixedMeter;
using testing::SteppingClock;

TEST(Pacing, Arithmetic)
{
    EXPECT_DOUBLE_EQ(IdleSample(390, 4), 97.5);
    EXPECT_DOUBLE_EQ(IdleSample(401, 4), 100);
    EXPECT_DOUBLE_EQ(IdleSample(-3, 1), 0);
    EXPECT_DOUBLE_EQ(IdleSample(std::numeric_limits<double>::quiet_NaN(), 2), 0);
    EXPECT_DOUBLE_EQ(BasePause(20, 5), 380);
    EXPECT_DOUBLE_EQ(BasePause(100, 50), 100);

    double factor = 0;
    for (int call = 0; call < 11; ++call)
        factor = AdaptPaceFactor(factor, 20, 10);
    EXPECT_EQ(factor, -10);
    EXPECT_EQ(ScaledPause(400, factor), 0);
    EXPECT_EQ(AdaptPaceFactor(factor, 20, 20), 1);
    EXPECT_EQ(AdaptPaceFactor(3, 20, 17), 0);
    EXPECT_EQ(AdaptPaceFactor(3, 20, 25), 4);
    EXPECT_DOUBLE_EQ(ScaledPause(400, 1), 440);
}

// A pacer on a clock that moves only when told, whose meter the test sets; every pump
// takes a sample, as the processor timer does while a run lets events run.
class PacerTest : public ::testing::Test
{
public:
    void start(qint64 now, int useCpu, double ownUse, double idle)
    {
        m_clock.m_now = now;
        m_settings.UseCpu = useCpu;
        m_meter.ownUse = ownUse;
        m_meter.idle = idle;
        m_pacer = std::make_unique<Pacer>(m_clock, m_meter, m_settings, m_flags, [this] {
            ++m_pumps;
            if (m_onPump)
                m_onPump();
        });
        for (int sample = 0; sample < 10; ++sample)
            m_pacer->takeSample();
        m_pacer->startBusyStretch();
    }

    SteppingClock m_clock;
    FixedMeter m_meter;
    BackupSettings m_settings;
    RunFlags m_flags{1, false};
    std::unique_ptr<Pacer> m_pacer;
    int m_pumps = 0;
    std::function<void()> m_onPump;
};

TEST_F(PacerTest, BreakeTimeHoldsTheShareOfOwnWork)
{
    struct Case
    {
        const char *name;
        qint64 start;
        int useCpu;
        double ownUse;
        double idle;
        qint64 work;
        qint64 slept;
        double factor;
    };
    const Case cases[] = {
        {"20 ms at 5 %", 0, 5, 4.5, 100, 20, 380, 0},
        {"100 ms at 50 %", 0, 50, 45, 100, 100, 100, 0},
        {"below the threshold", 0, 5, 4.5, 100, 9, 0, 0},
        {"busy machine, little own use", 0, 20, 2, 0, 100, 360, -1},
        {"own use over the share", 0, 20, 30, 100, 100, 440, 1},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        start(test.start, test.useCpu, test.ownUse, test.idle);
        const qint64 sleptBefore = m_clock.slept();
        m_clock.advance(test.work);
        m_pacer->BreakeTime(0);
        EXPECT_EQ(m_clock.slept() - sleptBefore, test.slept);
        EXPECT_EQ(m_pacer->PaceFactor(), test.factor);
    }
}

TEST_F(PacerTest, LongPausesEndEarlyAndAtStop)
{
    // 100 ms at 5 % asks for 1900 ms; the machine turns idle, and 100 ms after the
    // average reaches 95 % the pause ends.
    start(0, 5, 4.5, 0);
    m_meter.idle = 100;
    m_onPump = [this] { m_pacer->takeSample(); };
    m_clock.advance(100);
    m_pacer->BreakeTime(0);
    EXPECT_EQ(m_clock.slept(), 1100);

    start(0, 5, 4.5, 0);
    m_onPump = [this] { m_flags.RunFlag = 0; };
    m_clock.advance(100);
    m_pacer->BreakeTime(0);
    EXPECT_EQ(m_clock.slept(), 1200);
}

TEST_F(PacerTest, WaitsAndPumps)
{
    start(0, 5, 0, 0);
    m_settings.MinIdle = 0;
    m_pacer->CpuIdleCheckAndWait();
    EXPECT_EQ(m_clock.slept(), 0);

    m_settings.MinIdle = 80;
    m_meter.idle = 100;
    m_onPump = [this] { m_pacer->takeSample(); };
    m_pacer->CpuIdleCheckAndWait();
    EXPECT_EQ(m_clock.slept(), 800);

    m_onPump = nullptr;
    const int pumps = m_pumps;
    m_clock.advance(499);
    m_pacer->SleepDoEvents(-1);
    EXPECT_EQ(m_pumps, pumps);
    m_clock.advance(1);
    m_pacer->SleepDoEvents(0);
    EXPECT_EQ(m_pumps, pumps + 1);
}

} // namespace
} // namespace idlebackup
