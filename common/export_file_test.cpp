#include "common/export_file.h"

#include "platform/code_page.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace common {
namespace {

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

TEST(ExportFile, CharactersWithoutACodePage932FormBecomeQuestionMarks)
{
    TemporaryFolder folder;
    const QString path = folder.filePath("odd.html");
    ExportFile file(path, false);
    file.writeLine(QStringLiteral("é😀한~"));
    file.commit();
    EXPECT_EQ(TemporaryFolder::readFile(path), QByteArray("???~\r\n"));
}

TEST(ExportFile, AnAbandonedFileLeavesTheOldOneAndNoTemporaryFile)
{
    TemporaryFolder folder;
    const QString path = folder.writeFile("keep.csv", "old");
    {
        ExportFile file(path, false);
        file.writeLine(QString(100000, u'x'));
    }
    EXPECT_EQ(TemporaryFolder::readFile(path), "old");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"keep.csv"});
}

} // namespace
} // namespace common
