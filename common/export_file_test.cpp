#include "common/export_file.h"

#include "common/saved_error.h"
#include "platform/code_page.h"
#include "platform/profile.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/write_faults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace common {
namespace {

using platform::testing::FileSizeLimit;
using platform::testing::TemporaryFolder;

QByteArray cp932(const QString &text)
{
    return platform::encodeText(platform::CodePage::Cp932, text).bytes;
}

TEST(ExportFile, ManyLinesInCodePage932)
{
    TemporaryFolder folder;
    const QString path = folder.filePath("many.csv");
    QString expected;
    {
        ExportFile file(path, false);
        // Enough lines to be converted in several blocks.
        for (int i = 0; i < 30000; ++i) {
            const QString line = QString::number(i) + QStringLiteral(",変更,ﾊﾝｶｸ,") + QString(i % 7, u'x');
            file.writeLine(line);
            expected += line + QStringLiteral("\r\n");
        }
        EXPECT_FALSE(QFile::exists(path)) << "nothing is in place before the commit";
        file.commit();
    }
    EXPECT_EQ(TemporaryFolder::readFile(path), cp932(expected));
}

TEST(ExportFile, CharactersWithoutACodePage932Form)
{
    const struct
    {
        ExportFile::Unrepresentable unrepresentable;
        QByteArray written;
    } cases[] = {
        {ExportFile::Unrepresentable::QuestionMark, "???~?" + cp932("日本") + "???????" + cp932("～￢") + "\r\n"},
        {ExportFile::Unrepresentable::CharacterReference,
         "&#xE9;&#x1F600;&#xD55C;~?" + cp932("日本") + "&#xA2;&#xA3;&#xAC;&#x2014;&#x2016;&#x2212;&#x301C;"
             + cp932("～￢") + "\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.written.toStdString());
        TemporaryFolder folder;
        const QString path = folder.filePath("odd.html");
        ExportFile file(path, false, c.unrepresentable);
        // ¢ £ ¬ — ‖ − 〜 have CP932 forms that read back as ￠ ￡ ￢ ― ∥ － ～.
        file.writeLine(QStringLiteral("é😀한~?日本¢£¬—‖−〜～￢"));
        file.commit();
        EXPECT_EQ(TemporaryFolder::readFile(path), c.written);
    }
}

TEST(ExportFile, AFailedOrAbandonedExportLeavesTheOldFileAndNoTemporaryFile)
{
    const struct
    {
        const char *name;
        qint64 sizeLimit; // 0: none
        bool commit;
    } cases[] = {
        {"abandoned", 0, false},
        {"short write at the size limit", 4096, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder folder;
        const QString path = folder.writeFile("keep.csv", "old");
        std::optional<FileSizeLimit> limit;
        if (c.sizeLimit > 0)
            limit.emplace(c.sizeLimit);
        const auto exportLines = [&] {
            ExportFile file(path, false);
            // Less than a write buffer: a writer that buffers sees the failure only when
            // it flushes at the end.
            file.writeLine(QString(10000, u'x'));
            if (c.commit)
                file.commit();
        };
        if (c.commit) {
            try {
                exportLines();
                ADD_FAILURE() << "the export reported success";
            } catch (const Failure &failure) {
                EXPECT_TRUE(failure.record().Description.contains(path));
            }
        } else {
            exportLines();
        }
        limit.reset();
        EXPECT_EQ(TemporaryFolder::readFile(path), "old");
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.csv"});
    }
}

// Unattended runs of both built programs, each in a program folder of its own and without
// a display, writing their exports where a write fails part way or where the target is
// not a regular file.
class UnattendedExportTest : public ::testing::Test
{
protected:
    struct RunResult
    {
        int exitCode = -1;
        QByteArray standardOutput;
        QString standardError;
    };

    void SetUp() override
    {
        const QString stamp = QStringLiteral("%1x%2").arg(QCoreApplication::applicationPid()).arg(
            QDateTime::currentMSecsSinceEpoch());
        for (const char *program : {"Dirgleam", "Linquell"})
            ASSERT_TRUE(platform::writeProfileString("MUTEX", "ExeMutex", program + stamp,
                                                     m_programs.filePath(QString(program) + ".ini")));
        for (int i = 0; i < 20; ++i) {
            m_inputs.writeFile(QStringLiteral("one/file%1.txt").arg(i), "old");
            m_inputs.writeFile(QStringLiteral("two/file%1.txt").arg(i), "newer");
        }
        m_inputs.writeFile("a.txt", "same\r\nold\r\n");
        m_inputs.writeFile("b.txt", "same\r\nnew\r\n");
    }

    // Compares the two folders (Dirgleam) or the two files (Linquell) into `output`.
    RunResult run(const QString &program, const QString &output)
    {
        const bool folders = program == "Dirgleam";
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DIRGLEAM_SUITE_FOLDER", m_programs.path());
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        process.setProcessEnvironment(environment);
        process.start(platform::testing::builtProgramsFolder() + u'/' + program,
                      {m_inputs.filePath(folders ? "one" : "a.txt"), m_inputs.filePath(folders ? "two" : "b.txt"),
                       output});
        EXPECT_TRUE(process.waitForFinished(60000));
        RunResult result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.standardOutput = process.readAllStandardOutput();
        result.standardError = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
    }

    TemporaryFolder m_programs;
    TemporaryFolder m_inputs;
};

TEST_F(UnattendedExportTest, AFullDiskFailsTheRunAndKeepsTheOldFile)
{
    const platform::testing::SmallFileSystem small;
    if (!small.isMounted())
        GTEST_SKIP() << "mounting a small file system needs the superuser";
    const QByteArray old("an earlier export");
    const QStringList programs{"Dirgleam", "Linquell"};
    const QStringList switches{"-C", "-H", "-E"};
    QStringList names{"filler"};
    for (const QString &program : programs)
        for (const QString &outputSwitch : switches) {
            names.append(program + outputSwitch);
            QFile file(small.filePath(names.last()));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
        }
    small.fill();
    for (const QString &program : programs)
        for (const QString &outputSwitch : switches) {
            SCOPED_TRACE((program + outputSwitch).toStdString());
            const QString target = small.filePath(program + outputSwitch);
            const RunResult result = run(program, outputSwitch + target);
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_TRUE(result.standardError.contains(outputSwitch == "-E" ? "エクセルの書込みに失敗しました" : target))
                << result.standardError.toStdString();
            EXPECT_EQ(TemporaryFolder::readFile(target), old);
        }
    names.sort(Qt::CaseInsensitive);
    EXPECT_EQ(QDir(small.path()).entryList(QDir::Files | QDir::Hidden), names);
}

TEST_F(UnattendedExportTest, TargetsThatAreNotRegularFilesAreWrittenIntoDirectly)
{
    TemporaryFolder targets;
    const QString fifo = targets.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = targets.filePath("device");
    const bool deviceMade = ::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    for (const QString program : {"Dirgleam", "Linquell"}) {
        SCOPED_TRACE(program.toStdString());
        const QByteArray firstLine = cp932(m_inputs.filePath(program == "Dirgleam" ? "one" : "a.txt") + "\r\n");

        RunResult result = run(program, "-C/dev/stdout");
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        EXPECT_TRUE(result.standardOutput.startsWith(firstLine));

        platform::testing::FifoReader reader(fifo);
        result = run(program, "-H" + fifo);
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        EXPECT_TRUE(reader.finish().startsWith("<html>\r\n"));

        if (deviceMade) {
            result = run(program, "-E" + device);
            EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        }
    }
    struct stat info;
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    if (deviceMade) {
        ASSERT_EQ(::lstat(QFile::encodeName(device).constData(), &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
        EXPECT_EQ(info.st_rdev, makedev(1, 3));
    }
    const QStringList expected = deviceMade ? QStringList{"device", "fifo"} : QStringList{"fifo"};
    EXPECT_EQ(QDir(targets.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
              expected);
}

} // namespace
} // namespace common
