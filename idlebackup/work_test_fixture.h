#pragma once

#include "idlebackup/backup_list.h"
#include "idlebackup/backup_work.h"
#include "idlebackup/pacing.h"
#include "platform/flex_grid.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace idlebackup::testing {

// A clock whose time moves by `step` milliseconds at every reading and by the slept
// time at every sleep, so that stretches of work are long enough to be paced.
class SteppingClock final : public Clock
{
public:
    explicit SteppingClock(qint64 step = 0)
        : m_step(step)
    {
    }
    qint64 nowMs() override { return m_now += m_step; }
    void sleepMs(qint64 milliseconds) override
    {
        m_now += milliseconds;
        m_slept += milliseconds;
    }
    void advance(qint64 milliseconds) { m_now += milliseconds; }
    qint64 slept() const { return m_slept; }

    qint64 m_now = 0;
    qint64 m_step;
    qint64 m_slept = 0;
};

// A meter that reports what the test sets.
class FixedMeter final : public ProcessorMeter
{
public:
    int processorCount() override { return processors; }
    double idleCounterValue() override { return idle * processors; }
    double ownUsePercent() override { return ownUse; }

    int processors = 1;
    double idle = 100;
    double ownUse = 0;
};

// Records the status line and runs `onPump` at every pump (a fault to inject while work
// is under way).
class RecordingHost : public WorkHost
{
public:
    void setMessageText(const QString &text) override { messages.append(text); }
    void pumpEvents() override
    {
        ++pumps;
        if (onPump)
            onPump();
    }

    QStringList messages;
    int pumps = 0;
    std::function<void()> onPump;
};

// Points the XDG folders (the home trash among them) at `folder` while alive.
class XdgFolders
{
public:
    explicit XdgFolders(const QString &folder)
    {
        for (const char *name : Names)
            m_saved.append(qgetenv(name));
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder + "/data"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder + "/config"));
    }
    ~XdgFolders()
    {
        for (int i = 0; i < 2; ++i) {
            if (m_saved[i].isNull())
                qunsetenv(Names[i]);
            else
                qputenv(Names[i], m_saved[i]);
        }
    }
    QString trashFiles(const QString &folder) const { return folder + "/data/Trash/files"; }

private:
    static constexpr const char *Names[2] = {"XDG_DATA_HOME", "XDG_CONFIG_HOME"};
    QList<QByteArray> m_saved;
};

// A BackupWork on a fresh backup list, with a run going, full speed, no idle wait, and
// the trash in the test's folder.
class WorkFixture : public ::testing::Test
{
public:
    WorkFixture()
        : m_xdg(m_folder.path())
    {
        InitBackupListGrid(m_grid);
        m_settings.MinIdle = 0;
        m_settings.UseCpu = 50;
        m_settings.NoneStr.clear();
        m_settings.NoneExt.clear();
        m_flags.RunFlag = 1;
    }

    QString cell(int entry, int column) const { return m_grid.textMatrix(entry + 1, column); }
    QString status(int entry = 0) const { return cell(entry, BakListColumn::Info); }
    QString errors(int entry = 0) const { return cell(entry, BakListColumn::Errors); }
    static QByteArray read(const QString &path) { return platform::testing::TemporaryFolder::readFile(path); }
    // Names in `folder` that a copy uses for its temporary files.
    static QStringList temporaries(const QString &folder)
    {
        return QDir(folder).entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden);
    }

    platform::testing::TemporaryFolder m_folder;
    XdgFolders m_xdg;
    platform::FlexGrid m_grid;
    qint32 m_currentEntry = 0;
    BackupSettings m_settings;
    RunFlags m_flags;
    SteppingClock m_clock{20};
    FixedMeter m_meter;
    RecordingHost m_host;
    Pacer m_pacer{m_clock, m_meter, m_settings, m_flags, [this] { m_host.pumpEvents(); }};
    BackupWork m_work{m_grid, m_currentEntry, m_settings, m_flags, m_pacer, m_clock, m_host};
};

} // namespace idlebackup::testing
