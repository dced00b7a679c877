#pragma once

#include "common/common_module.h"
#include "foldercompare/window/frm_main.h"
#include "platform/flex_grid.h"
#include "platform/profile.h"
#include "platform/testing/recording_process_starter.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>

namespace foldercompare::testing {

// Runs each window in a program folder of its own, with a name base for the instance
// locks that no other test shares, scripted message boxes and recorded process starts.
// Trees to compare are built in a second temporary folder.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("DIRGLEAM_SUITE_FOLDER", m_programs.path().toUtf8());
        m_ini = m_programs.filePath(QCoreApplication::applicationName() + ".ini");
        static int counter = 0;
        platform::writeProfileString("MUTEX", "ExeMutex",
                                     QStringLiteral("w%1x%2x%3")
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(QDateTime::currentMSecsSinceEpoch())
                                         .arg(++counter),
                                     m_ini);
        common::CommandLineOptions = {};
    }
    void TearDown() override { qunsetenv("DIRGLEAM_SUITE_FOLDER"); }

    std::unique_ptr<Frm_Main> openWindow() { return std::make_unique<Frm_Main>(); }

    // A window after its first activation, comparing dates and sizes only, with every
    // row listed and date differences shown.
    std::unique_ptr<Frm_Main> readyWindow()
    {
        platform::writeProfileString("DSP", "Data", "0", m_ini);
        platform::writeProfileString("DSP", "UpDtNone", "False", m_ini);
        platform::writeProfileString("DSP", "NewDtAst", "False", m_ini);
        auto window = openWindow();
        window->Form_Activate();
        return window;
    }

    // Shows `window` as the program does at its start, lets the event loop run the first
    // activation that the showing queues, then activates the window once more.
    static void showAtStart(Frm_Main &window)
    {
        window.show();
        for (int round = 0; round < 600 && !window.InputEventsOn; ++round)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QEvent activation(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&window, &activation);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    // Types `path` into side `side` and presses its gather button.
    void gather(Frm_Main &window, int side, const QString &path)
    {
        window.Txt_FolderPath[side]->setText(path);
        window.Btn_GetFileInfo_Click(side);
    }

    QString tree(const QString &relative) const { return m_trees.filePath(relative); }
    QString file(const QString &relative, const QByteArray &content = "x") const
    {
        return m_trees.writeFile(relative, content);
    }

    // Each data row of the grid as "status|side 1|side 2|path".
    static QStringList rows(const Frm_Main &window)
    {
        const platform::FlexGrid &grid = *window.Grd_Compare;
        QStringList result;
        for (int row = grid.fixedRows(); row < grid.rows(); ++row)
            result.append(QStringList{grid.textMatrix(row, 1), grid.textMatrix(row, 2), grid.textMatrix(row, 3),
                                      grid.textMatrix(row, 4)}
                              .join(u'|'));
        return result;
    }
    // Each data row as "status|path".
    static QStringList statusRows(const Frm_Main &window)
    {
        const platform::FlexGrid &grid = *window.Grd_Compare;
        QStringList result;
        for (int row = grid.fixedRows(); row < grid.rows(); ++row)
            result.append(grid.textMatrix(row, 1) + u'|' + grid.textMatrix(row, 4));
        return result;
    }

    platform::testing::TemporaryFolder m_programs;
    platform::testing::TemporaryFolder m_trees;
    platform::testing::ScriptedDialogs m_dialogs;
    platform::testing::RecordingProcessStarter m_starts;
    QString m_ini;
};

} // namespace foldercompare::testing
