#pragma once

#include "platform/flex_grid.h"
#include "platform/profile.h"
#include "platform/testing/print_to.h"
#include "platform/testing/recording_process_starter.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"
#include "textcompare/window/frm_linquell.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>

namespace textcompare::testing {

// A window in a program folder of its own, with scripted message boxes, recorded process
// starts and two text files to compare.
class LinquellWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("DIRGLEAM_SUITE_FOLDER", m_folder.path().toUtf8());
        m_ini = m_folder.filePath(QCoreApplication::applicationName() + ".ini");
        static int counter = 0;
        platform::writeProfileString("MUTEX", "ExeMutex",
                                     QStringLiteral("c%1x%2x%3")
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(QDateTime::currentMSecsSinceEpoch())
                                         .arg(++counter),
                                     m_ini);
        platform::writeProfileString("ETC", "Editor", "vi %F%", m_ini);
        m_window = std::make_unique<Frm_Linquell>();
    }
    void TearDown() override
    {
        m_window->Form_Unload();
        m_window.reset();
        qunsetenv("DIRGLEAM_SUITE_FOLDER");
    }
    void setPaths(const QString &path0, const QString &path1)
    {
        m_window->Txt_FilePath[0]->setText(path0);
        m_window->Txt_FilePath[1]->setText(path1);
    }
    // Grid row `row`, columns 0 to 5.
    QStringList gridRow(int row) const
    {
        QStringList cells;
        for (int col = 0; col < 6; ++col)
            cells.append(m_window->Grd_Compare->textMatrix(row, col));
        return cells;
    }
    QString stored(const char *section, const char *key) const
    {
        return platform::readProfileString(section, key, QStringLiteral("<missing>"), m_ini);
    }

    platform::testing::TemporaryFolder m_folder;
    platform::testing::ScriptedDialogs m_dialogs;
    platform::testing::RecordingProcessStarter m_starts;
    QString m_ini;
    std::unique_ptr<Frm_Linquell> m_window;
    QString m_file1 = m_folder.writeFile("a.txt", "one\ntwo\nthree\n");
    QString m_file2 = m_folder.writeFile("b.txt", "one\n2\nthree\nfour\n");
};

} // namespace textcompare::testing
