#include "idlebackup/backup_settings.h"

#include "platform/profile.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/write_faults.h"

#include <QFile>

#include <gtest/gtest.h>

namespace idlebackup {
namespace {

using platform::testing::TemporaryFolder;

TEST(BackupSettings, LoadAppliesDefaultsAndLimits)
{
    struct Case
    {
        const char *name;
        QByteArray file;
        std::function<void(BackupSettings &)> expect; // changes from the defaults
    };
    const Case cases[] = {
        {"no file", "", [](BackupSettings &) {}},
        {"limits", "[SETTING]\nMinIdle=150\nUseCpu=0\nSyncMode=2\nNextTime=-5\nAutoTime=99999\n",
         [](BackupSettings &s) {
             s.MinIdle = 99;
             s.UseCpu = 1;
             s.NextTime = 0;
             s.AutoTime = 9999;
         }},
        {"junk and empty", "[SETTING]\nMinIdle=abc\nUseCpu=\nBakDel=yes\nNoneStr=\nNoneExt=bak,,tmp\nHiSpeed=1.4\n",
         [](BackupSettings &s) {
             s.MinIdle = 0;
             s.UseCpu = 1;
             s.NoneStr = "";
             s.NoneExt = "bak,,tmp";
             s.HiSpeed = 1;
         }},
        {"halves to even, leading numbers", "[setting]\nuseCPU= 6.5 %\nMinIdle=7.5\nNextStart=1\nAutoStart=1\n",
         [](BackupSettings &s) {
             s.UseCpu = 6;
             s.MinIdle = 8;
             s.NextStart = 1;
             s.AutoStart = 1;
         }},
        {"first of duplicated keys", "[SETTING]\nUseCpu=20\nUseCpu=30\n", [](BackupSettings &s) { s.UseCpu = 20; }},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        TemporaryFolder folder;
        const QString ini = test.file.isEmpty() ? folder.filePath("missing.ini") : folder.writeFile("z.ini", test.file);
        BackupSettings expected;
        test.expect(expected);
        EXPECT_TRUE(LoadBackupSettings(ini) == expected);
        BackupSettings reloaded;
        reloaded.MinIdle = -1;
        reloaded.UseCpu = 0;
        ReloadPacingSettings(reloaded, ini);
        EXPECT_EQ(reloaded.MinIdle, expected.MinIdle);
        EXPECT_EQ(reloaded.UseCpu, expected.UseCpu);
    }
}

TEST(BackupSettings, SaveWritesTwelveKeysInOrderAndReadsBack)
{
    TemporaryFolder folder;
    const QString ini = folder.writeFile("z.ini", "; kept\n[SETTING]\nOrgFolder1=/a\n");
    BackupSettings settings;
    settings.NoneStr = "~,#";
    settings.SyncMode = 1;
    settings.NextTime = 5;
    settings.UseCpu = 20;
    ASSERT_TRUE(SaveBackupSettings(settings, ini));
    EXPECT_EQ(TemporaryFolder::readFile(ini),
              "; kept\n[SETTING]\nOrgFolder1=/a\nNoneStr=~,#\nNoneExt=tmp\nSyncMode=1\nNewOverWr=0\nNextStart=0\n"
              "NextTime=5\nAutoStart=0\nAutoTime=60\nBakDel=0\nMinIdle=80\nUseCpu=20\nHiSpeed=0\n");
    EXPECT_TRUE(LoadBackupSettings(ini) == settings);

    // A disk that fills up leaves every stored value as it was.
    const QByteArray before = TemporaryFolder::readFile(ini);
    settings.NoneStr = QString(4000, u'x');
    {
        platform::testing::FileSizeLimit limit(before.size() + 100);
        EXPECT_FALSE(SaveBackupSettings(settings, ini));
    }
    EXPECT_EQ(TemporaryFolder::readFile(ini), before);
}

TEST(BackupSettings, SetteiErrNamesTheFirstInvalidBox)
{
    struct Case
    {
        const char *name;
        std::function<void(SettingsBoxes &)> change;
        std::optional<SettingsBox> box;
        QString message;
    };
    const Case cases[] = {
        {"valid", [](SettingsBoxes &) {}, std::nullopt, ""},
        {"idle empty", [](SettingsBoxes &b) { b.CpuIdleText = ""; }, SettingsBox::CpuIdle,
         "CPUアイドル率が指定されていません。"},
        {"idle fraction in range", [](SettingsBoxes &b) { b.CpuIdleText = "98.5"; }, std::nullopt, ""},
        {"idle fraction over", [](SettingsBoxes &b) { b.CpuIdleText = "99.5"; }, SettingsBox::CpuIdle,
         "CPUアイドル率は0～99で指定してください。"},
        {"idle not a number", [](SettingsBoxes &b) { b.CpuIdleText = "8x"; }, SettingsBox::CpuIdle,
         "CPUアイドル率は0～99で指定してください。"},
        {"use empty", [](SettingsBoxes &b) { b.CpuUseText = ""; }, SettingsBox::CpuUse, "CPU使用率が指定されていません。"},
        {"use zero", [](SettingsBoxes &b) { b.CpuUseText = "0"; }, SettingsBox::CpuUse,
         "CPU使用率は1～99で指定してください。"},
        {"next unchecked is not checked", [](SettingsBoxes &b) { b.NextText = "-5"; }, std::nullopt, ""},
        {"next empty", [](SettingsBoxes &b) { b.NextCheck = true; b.NextText = ""; }, SettingsBox::Next,
         "連続実行時の実行待ち秒数が指定されていません。"},
        {"next over", [](SettingsBoxes &b) { b.NextCheck = true; b.NextText = "10000"; }, SettingsBox::Next,
         "連続実行時の実行待ち秒数は0～9999で指定してください。"},
        {"auto empty", [](SettingsBoxes &b) { b.AutoCheck = true; b.AutoText = " "; }, SettingsBox::Auto,
         "起動時直後の実行待ち秒数は0～9999で指定してください。"},
        {"auto below", [](SettingsBoxes &b) { b.AutoCheck = true; b.AutoText = "-1"; }, SettingsBox::Auto,
         "起動時直後の実行待ち秒数は0～9999で指定してください。"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        SettingsBoxes boxes = BoxesFromSettings(BackupSettings{});
        test.change(boxes);
        const std::optional<SettingsProblem> problem = SetteiErr(boxes);
        ASSERT_EQ(problem.has_value(), test.box.has_value());
        if (problem) {
            EXPECT_EQ(problem->box, *test.box);
            EXPECT_EQ(problem->message, test.message);
        }
    }
}

TEST(BackupSettings, TakenBoxesShowTheirNumbersAndRoundHalfToEven)
{
    SettingsBoxes boxes = BoxesFromSettings(BackupSettings{});
    boxes.CpuUseText = "5.5";
    boxes.CpuIdleText = "  12abc";
    boxes.NextText = "";
    boxes.AutoText = "-5";
    boxes.SyncModeOption = true;
    boxes.DeleteCheck = true;
    const BackupSettings settings = TakeSettingsFromBoxes(boxes);
    EXPECT_EQ((QStringList{boxes.CpuUseText, boxes.CpuIdleText, boxes.NextText, boxes.AutoText}),
              (QStringList{"5.5", "12", "0", "-5"}));
    EXPECT_EQ(settings.UseCpu, 6);
    EXPECT_EQ(settings.MinIdle, 12);
    EXPECT_EQ(settings.NextTime, 0);
    EXPECT_EQ(settings.AutoTime, -5);
    EXPECT_EQ(settings.SyncMode, 1);
    EXPECT_EQ(settings.BakDel, 1);
    boxes.CpuUseText = "6.5";
    EXPECT_EQ(TakeSettingsFromBoxes(boxes).UseCpu, 6);
}

} // namespace
} // namespace idlebackup
