#include "common/instance_slot.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

namespace common {
namespace {

QString uniqueBase()
{
    return QStringLiteral("test%1x%2").arg(QCoreApplication::applicationPid()).arg(QDateTime::currentMSecsSinceEpoch());
}

// Starts a child process that takes an instance number, prints it and holds it until
// its standard input closes.
class InstanceHolder
{
public:
    explicit InstanceHolder(const QString &base)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("INSTANCE_CHILD_BASE", base);
        m_process.setProcessEnvironment(environment);
        m_process.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=InstanceSlotChild.*"});
        EXPECT_TRUE(m_process.waitForStarted());
        while (m_number == 0) {
            if (!m_process.canReadLine() && !m_process.waitForReadyRead(10000))
                break;
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("INSTANCE="))
                m_number = line.mid(9).toInt();
        }
    }
    ~InstanceHolder() { end(); }

    int number() const { return m_number; }
    void end()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
    int m_number = 0;
};

TEST(InstanceSlot, NumbersComeBackWhenAProcessEnds)
{
    const QString base = uniqueBase();
    auto first = std::make_unique<InstanceHolder>(base);
    EXPECT_EQ(first->number(), 1);
    InstanceHolder second(base);
    EXPECT_EQ(second.number(), 2);
    first->end();
    InstanceHolder third(base);
    EXPECT_EQ(third.number(), 1) << "the number of an ended window is free again";
}

TEST(InstanceSlot, ProgramsAndBasesCountApart)
{
    const QString base = uniqueBase();
    InstanceSlot dirgleam = TakeInstanceNumber("Dirgleam", base);
    InstanceSlot linquell = TakeInstanceNumber("Linquell", base);
    InstanceSlot other = TakeInstanceNumber("Dirgleam", base + "b");
    EXPECT_EQ(dirgleam.number, 1);
    EXPECT_EQ(linquell.number, 1);
    EXPECT_EQ(other.number, 1);
}

TEST(InstanceSlot, PastTheLimitEveryWindowStillGetsItsOwnNumber)
{
    const QString base = uniqueBase();
    std::vector<InstanceSlot> held;
    for (int i = 1; i <= 100; ++i)
        held.push_back(TakeInstanceNumber("Dirgleam", base));
    EXPECT_EQ(held.back().number, 100);
    InstanceSlot extra1 = TakeInstanceNumber("Dirgleam", base);
    InstanceSlot extra2 = TakeInstanceNumber("Dirgleam", base);
    EXPECT_EQ(extra1.number, 101);
    EXPECT_TRUE(extra1.lock.has_value());
    EXPECT_EQ(extra2.number, 102);
    EXPECT_EQ(InstanceDigits(7), "007");
    EXPECT_EQ(InstanceDigits(101), "101");
}

TEST(InstanceSlot, HandOverNumberIsNeverTaken)
{
    const QString base = uniqueBase();
    std::vector<InstanceSlot> held;
    for (int i = 1; i < HandOverNumber; ++i)
        held.push_back(TakeInstanceNumber("Dirgleam", base));
    EXPECT_EQ(held.back().number, HandOverNumber - 1);
    EXPECT_EQ(TakeInstanceNumber("Dirgleam", base).number, HandOverNumber + 1);
}

// Runs only as a child of NumbersComeBackWhenAProcessEnds.
TEST(InstanceSlotChild, HoldNumber)
{
    const QString base = qEnvironmentVariable("INSTANCE_CHILD_BASE");
    if (base.isEmpty())
        GTEST_SKIP();
    InstanceSlot slot = TakeInstanceNumber("Dirgleam", base);
    std::printf("INSTANCE=%d\n", slot.number);
    std::fflush(stdout);
    char buffer[16];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
}

} // namespace
} // namespace common
