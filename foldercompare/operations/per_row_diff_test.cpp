#include "foldercompare/operations/per_row_diff.h"

#include "common/common_module.h"
#include "platform/code_page.h"
#include "platform/flex_grid.h"
#include "platform/profile.h"
#include "platform/testing/planted_entries.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <stdexcept>

#include <gtest/gtest.h>

namespace foldercompare {
namespace {

using platform::testing::ScriptedDialogs;
using platform::testing::TemporaryFolder;

QByteArray cp932(const QString &text)
{
    return platform::encodeText(platform::CodePage::Cp932, text).bytes;
}

// A result grid of the folder comparison: rows of (status, date 1, date 2, relative path).
void fill(platform::FlexGrid &grid, const QList<QStringList> &rows)
{
    grid.setCols(5);
    grid.setRows(int(rows.size()) + 1);
    for (int row = 1; row <= rows.size(); ++row)
        grid.setRowTexts(row, QStringList{QString::number(row)} + rows[row - 1]);
}

const QString Date = QStringLiteral("2024/01/02 03:04:05");

TEST(PerRowDiffNames, FolderFileAndLink)
{
    const struct
    {
        QString report;
        int row;
        QString folder;
        QString file;
        QString link;
    } cases[] = {
        {"/out/list.html", 12, "/out/list.dir", "/out/list.dir/00000012.html", "list.dir/00000012.html"},
        {"/out/a.b.csv", 3, "/out/a.b.dir", "/out/a.b.dir/00000003.csv", "a.b.dir/00000003.csv"},
        {"/out/list", 1, "/out/list.dir", "/out/list.dir/00000001.", "list.dir/00000001."},
        {"/out/big.xlsx", 12345678, "/out/big.dir", "/out/big.dir/12345678.xlsx", "big.dir/12345678.xlsx"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.report.toStdString());
        EXPECT_EQ(DiffPageFolder(c.report), c.folder);
        EXPECT_EQ(PerRowFilePath(c.report, c.row), c.file);
        EXPECT_EQ(PerRowLinkName(c.report, c.row), c.link);
    }
}

TEST(PerRowDiffOptions, SwitchesForEachReport)
{
    const struct
    {
        const char *name;
        ReportKind kind;
        bool differencesOnly;
        bool automaticFactor;
        QString separator;
        QStringList options;
    } cases[] = {
        {"HTML with both options", ReportKind::Html, true, true, ",", {"-H/o/l.dir/00000012.html", "-N", "-K"}},
        {"HTML, all lines", ReportKind::Html, false, false, ";", {"-H/o/l.dir/00000012.html"}},
        {"CSV with a comma", ReportKind::Csv, false, false, ",", {"-C/o/l.dir/00000012.html"}},
        {"CSV with a semicolon", ReportKind::Csv, false, false, ";", {"-C/o/l.dir/00000012.html", "-S;"}},
        {"CSV with a TAB", ReportKind::Csv, true, false, "\t", {"-C/o/l.dir/00000012.html", "-N", "-STAB"}},
        {"CSV with quotes in the separator", ReportKind::Csv, false, true, "\"|\"",
         {"-C/o/l.dir/00000012.html", "-K", "-S\"|\""}},
        {"Excel", ReportKind::Excel, false, true, "\t", {"-E/o/l.dir/00000012.html", "-K"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PerRowOptions(c.kind, "/o/l.dir/00000012.html", c.differencesOnly, c.automaticFactor, c.separator),
                  c.options);
    }
}

TEST(PerRowDiffRows, EligibleRowsAndTheirFiles)
{
    TemporaryFolder folder;
    const QString root1 = folder.makeFolder("old");
    const QString root2 = folder.makeFolder("new");
    platform::FlexGrid grid;
    fill(grid, {
                   {"", Date, Date, "same.txt"},
                   {"日時", Date, Date, "touched.txt"},
                   {"変更", Date, Date, "sub/changed.txt"},
                   {"追加", "", Date, "added.txt"},
                   {"削除", Date, "", "deleted.txt"},
                   {"変更", Date, Date, "sub/"},
               });
    const bool eligible[] = {false, false, true, true, true, false};
    for (int row = 1; row <= 6; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(IsPerRowEligible(grid, row), eligible[row - 1]);
    }

    PerRowDiffSource source{grid, {root1 + "/", root2}, {root1, root2}, "Linquell"};
    EXPECT_EQ(PerRowSideFile(source, 3, 0), root1 + "/sub/changed.txt");
    EXPECT_EQ(PerRowSideFile(source, 3, 1), root2 + "/sub/changed.txt");
    EXPECT_EQ(PerRowSideFile(source, 4, 0), "") << "an entry missing in folder 1";
    EXPECT_EQ(PerRowSideFile(source, 5, 1), "");

    const QString file = folder.writeFile("old/single.txt", "x");
    source.sideRoot[0] = file;
    EXPECT_EQ(PerRowSideFile(source, 3, 0), root1 + "/sub/changed.txt") << "a file root stands for its folder";

    platform::FlexGrid files;
    fill(files, {{"変更", Date, Date, ""}});
    PerRowDiffSource single{files, {file, root2 + "/other.txt"}, {file, root2 + "/other.txt"}, "Linquell"};
    EXPECT_EQ(PerRowSideFile(single, 1, 0), file) << "compared single files pass their roots";
    EXPECT_EQ(PerRowSideFile(single, 1, 1), root2 + "/other.txt");
}

TEST(PerRowDiffRows, FtpSidesPassTheAddress)
{
    platform::FlexGrid grid;
    fill(grid, {{"変更", Date, Date, "sub/a.txt"}, {"変更", Date, Date, "b:/c.txt"}});
    PerRowDiffSource source{grid, {"/work/0.ftp/dir", "/work/1.ftp"}, {"ftp://u:p@host/dir/", "ftp://host//x//"}, ""};
    EXPECT_EQ(PerRowSideFile(source, 1, 0), "ftp://u:p@host/dir/sub/a.txt");
    EXPECT_EQ(PerRowSideFile(source, 1, 1), "ftp://host/x/sub/a.txt");
    EXPECT_EQ(PerRowSideFile(source, 2, 0), "ftp://u:p@host/dir/b:/c.txt") << "a colon in a name stays as it is";
}

// Runs of the built viewer for the rows of a grid over two real folders.
// The events that run while the viewer is waited for may notice its end themselves, as
// the event loop does; the wait then ends instead of asking the ended process again and
// again. This process ends only once the events close its input.
TEST(PerRowDiffWait, AnEndNoticedWhileEventsRunEndsTheWait)
{
    QProcess process;
    process.start("/bin/cat", {});
    ASSERT_TRUE(process.waitForStarted());
    int rounds = 0;
    const auto letEventsRun = [&process, &rounds] {
        if (++rounds > 1)
            throw std::runtime_error("the wait went on after the process had ended");
        process.closeWriteChannel();
        process.waitForFinished(-1);
    };
    EXPECT_NO_THROW(WaitUntilEnded(process, 10, letEventsRun));
}

class PerRowDiffRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("DIRGLEAM_SUITE_FOLDER", m_folder.makeFolder("programs").toUtf8());
        platform::writeProfileString("MUTEX", "ExeMutex",
                                     QStringLiteral("r%1x%2").arg(QCoreApplication::applicationPid())
                                         .arg(QDateTime::currentMSecsSinceEpoch()),
                                     m_folder.filePath("programs/Linquell.ini"));
        m_folder.writeFile("old/same.txt", "s\r\n");
        m_folder.writeFile("new/same.txt", "s\r\n");
        m_folder.writeFile("old/sub/changed.txt", cp932("一\r\n二\r\n三\r\n"));
        m_folder.writeFile("new/sub/changed.txt", cp932("一\r\n弐\r\n三\r\n"));
        m_folder.writeFile("new/added.txt", "a1\r\na2\r\n");
        m_folder.writeFile("old/deleted.txt", "d1\r\n");
        fill(m_grid, {
                         {"", Date, Date, "same.txt"},
                         {"変更", Date, Date, "sub/changed.txt"},
                         {"日時", Date, Date, "same.txt"},
                         {"追加", "", Date, "added.txt"},
                         {"削除", Date, "", "deleted.txt"},
                         {"追加", "", Date, "sub/"},
                     });
    }
    void TearDown() override { qunsetenv("DIRGLEAM_SUITE_FOLDER"); }

    PerRowDiffSource source(const QString &viewer = platform::testing::builtProgramsFolder() + "/Linquell")
    {
        return {m_grid, {m_folder.filePath("old"), m_folder.filePath("new")},
                {m_folder.filePath("old"), m_folder.filePath("new")}, viewer};
    }

    TemporaryFolder m_folder;
    ScriptedDialogs m_dialogs;
    platform::FlexGrid m_grid;
};

TEST_F(PerRowDiffRunTest, OneFilePerChangedFileRow)
{
    const QString report = m_folder.filePath("report/list.csv");
    RunPerRowDiffs(source(), ReportKind::Csv, report, true, false, "\t");
    EXPECT_TRUE(m_dialogs.shown().isEmpty()) << m_dialogs.prompts().join("\n").toStdString();

    const QString folder = m_folder.filePath("report/list.dir");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files),
              (QStringList{"00000002.csv", "00000004.csv", "00000005.csv"}));
    const QString old = m_folder.filePath("old");
    const QString fresh = m_folder.filePath("new");
    const QString header = "\t状態\t行No.\tファイル１\tファイル２\t行No.\r\n";
    EXPECT_EQ(TemporaryFolder::readFile(folder + "/00000002.csv"),
              cp932(old + "/sub/changed.txt\r\n" + fresh + "/sub/changed.txt\r\n" + header
                    + "1\t変更\t2\t\"二\"\t\"弐\"\t2\r\n"));
    EXPECT_EQ(TemporaryFolder::readFile(folder + "/00000004.csv"),
              cp932("\r\n" + fresh + "/added.txt\r\n" + header + "1\t追加\t\t\"\"\t\"a1\"\t1\r\n"
                    + "2\t追加\t\t\"\"\t\"a2\"\t2\r\n"))
        << "the lines of an added file are listed as added";
}

TEST_F(PerRowDiffRunTest, HtmlPerRowFilesOverwriteEarlierOnes)
{
    const QString report = m_folder.filePath("list.html");
    m_folder.writeFile("list.dir/00000002.html", "old page");
    m_folder.writeFile("list.dir/keep.txt", "other file");
    RunPerRowDiffs(source(), ReportKind::Html, report, false, true, ",");
    const QByteArray page = TemporaryFolder::readFile(m_folder.filePath("list.dir/00000002.html"));
    EXPECT_TRUE(page.startsWith("<html>\r\n"));
    EXPECT_TRUE(page.contains(cp932("<td align=\"center\">変更</td>")));
    EXPECT_EQ(TemporaryFolder::readFile(m_folder.filePath("list.dir/keep.txt")), "other file");
    const QByteArray added = TemporaryFolder::readFile(m_folder.filePath("list.dir/00000004.html"));
    EXPECT_TRUE(added.contains("<br>\r\n" + m_folder.filePath("new/added.txt").toUtf8() + "<br>\r\n"))
        << "an empty first path line";
    EXPECT_TRUE(added.contains("<td align=\"left\">&nbsp;</td><td align=\"left\">a2</td><td align=\"right\">2</td>"));
    EXPECT_TRUE(QFile::exists(m_folder.filePath("list.dir/00000005.html")));
}

TEST_F(PerRowDiffRunTest, FailuresAreReportedPerRowAndTheRunGoesOn)
{
    RunPerRowDiffs(source(m_folder.filePath("no-such-viewer")), ReportKind::Html, m_folder.filePath("a.html"), false,
                   false, ",");
    ASSERT_EQ(m_dialogs.shown().size(), 3) << "one report per eligible row";
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("システムエラー : TxtDifAuto_File\r\n"));
    EXPECT_EQ(m_dialogs.shown()[0].title, "");

    // A viewer that others may change is not run.
    m_dialogs.clear();
    const QString planted = m_folder.filePath("planted/Linquell");
    m_folder.makeFolder("planted");
    ASSERT_TRUE(platform::testing::plant(platform::testing::Planted::WritableByOthers, planted,
                                         "#!/bin/sh\ntouch " + QFile::encodeName(m_folder.filePath("ran")) + "\n"));
    RunPerRowDiffs(source(planted), ReportKind::Html, m_folder.filePath("p.html"), false, false, ",");
    ASSERT_EQ(m_dialogs.shown().size(), 3);
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.contains("プログラムを起動しません。　\r\n\r\n" + planted))
        << m_dialogs.shown()[0].prompt.toStdString();
    EXPECT_FALSE(QFile::exists(m_folder.filePath("ran")));

    m_dialogs.clear();
    QFile::remove(m_folder.filePath("new/added.txt"));
    RunPerRowDiffs(source(), ReportKind::Html, m_folder.filePath("b.html"), false, false, ",");
    ASSERT_EQ(m_dialogs.shown().size(), 1) << "the viewer's failure is not taken for success";
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.contains("ファイルが存在しません。")) << m_dialogs.prompts().join("\n").toStdString();
    EXPECT_FALSE(QFile::exists(m_folder.filePath("b.dir/00000004.html")));
    EXPECT_TRUE(QFile::exists(m_folder.filePath("b.dir/00000005.html")));
}

TEST_F(PerRowDiffRunTest, BatchRunIsMarkedFailedAndStaysSilent)
{
    common::BatchMode = true;
    common::BatchFailed = false;
    RunPerRowDiffs(source(m_folder.filePath("no-such-viewer")), ReportKind::Csv, m_folder.filePath("c.csv"), false,
                   false, ",");
    EXPECT_TRUE(common::BatchFailed);
    EXPECT_TRUE(m_dialogs.shown().isEmpty()) << "no box in a batch run";
    common::BatchMode = false;
    common::BatchFailed = false;
}

} // namespace
} // namespace foldercompare
