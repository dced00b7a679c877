#include "textcompare/editing/file_editor.h"

#include "platform/testing/planted_entries.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/unprivileged_scope.h"
#include "platform/testing/write_faults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <unistd.h>

namespace textcompare {
namespace {

using platform::testing::TemporaryFolder;

// An editor whose work folder and trash lie in a temporary folder.
class FileEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_folder.filePath("data").toUtf8());
        m_editor.setWorkFolder(m_folder.filePath("work"), "Linquell5.tmp");
    }
    void TearDown() override
    {
        if (m_savedDataHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_savedDataHome);
    }
    QStringList entries(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QStringList trashed() const { return entries(m_folder.filePath("data/Trash/files")); }

    TemporaryFolder m_folder;
    QByteArray m_savedDataHome;
    FileEditor m_editor;
};

TEST_F(FileEditorTest, ChangesBackUpOnceAndUndoSwapsWithTheCopy)
{
    const QString path = m_folder.writeFile("texts/a.txt", "old\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    }
    const QFileInfo before(path);

    FileEditor::Outcome outcome = m_editor.changeFile(path, {"new\n"}, FileStamp::of(path));
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(outcome.failure, "");
    EXPECT_EQ(TemporaryFolder::readFile(path), "new\n");
    const QFileInfo after(path);
    EXPECT_EQ(after.permissions(), before.permissions());
    EXPECT_EQ(after.ownerId(), before.ownerId());
    EXPECT_EQ(after.groupId(), before.groupId());
    EXPECT_EQ(trashed(), QStringList{"a.txt"});
    EXPECT_EQ(TemporaryFolder::readFile(m_folder.filePath("data/Trash/files/a.txt")), "old\n");
    EXPECT_EQ(TemporaryFolder::readFile(m_editor.undoFilePath()), "old\n");
    EXPECT_EQ(m_editor.LastEditPath, path);

    EXPECT_TRUE(m_editor.changeFile(path, {"newer\n"}, FileStamp::of(path)).changed);
    EXPECT_EQ(trashed(), QStringList{"a.txt"}) << "backed up before the first change only";
    EXPECT_TRUE(m_editor.undoLastEdit().changed);
    EXPECT_EQ(TemporaryFolder::readFile(path), "new\n");
    EXPECT_TRUE(m_editor.undoLastEdit().changed);
    EXPECT_EQ(TemporaryFolder::readFile(path), "newer\n") << "a second undo redoes";
    EXPECT_EQ(entries(m_folder.filePath("texts")), QStringList{"a.txt"}) << "no temporary file is left";
    EXPECT_EQ(entries(m_folder.filePath("work")), QStringList{"Linquell5.tmp"});

    EXPECT_FALSE(m_editor.lastEditChangedSinceWritten());
    m_folder.writeFile("texts/a.txt", "changed by another program\n");
    EXPECT_TRUE(m_editor.lastEditChangedSinceWritten());

    // Two slots: after two other files, the first is backed up again.
    for (const char *name : {"texts/b.txt", "texts/c.txt", "texts/a.txt"}) {
        const QString other = m_folder.writeFile(name, "x\n");
        EXPECT_TRUE(m_editor.changeFile(other, {"y\n"}, FileStamp::of(other)).changed);
    }
    EXPECT_EQ(trashed().size(), 4);
}

TEST_F(FileEditorTest, UndoRefusesAnUndoFileThatIsNotTheCopyOfItsEdit)
{
    const QString own = m_folder.writeFile("texts/own1.txt", "own 1\nown 2\n");
    const QString other = m_folder.writeFile("texts/x1.txt", "x 1\nx 2\n");
    ASSERT_TRUE(m_editor.changeFile(own, {"own 2\n"}, FileStamp::of(own)).changed);
    // Another window that works in the same folder edits its own file.
    FileEditor otherWindow;
    otherWindow.setWorkFolder(m_folder.filePath("work"), "Linquell5.tmp");
    ASSERT_TRUE(otherWindow.changeFile(other, {"x 2\n"}, FileStamp::of(other)).changed);

    const FileEditor::Outcome outcome = m_editor.undoLastEdit();
    EXPECT_FALSE(outcome.changed);
    EXPECT_EQ(outcome.failure, "元に戻すためのファイルがこのファイルの編集で保存したものではありません");
    EXPECT_EQ(TemporaryFolder::readFile(own), "own 2\n") << "never the other file's lines";
    EXPECT_EQ(TemporaryFolder::readFile(otherWindow.undoFilePath()), "x 1\nx 2\n");
    EXPECT_TRUE(otherWindow.undoLastEdit().changed);
    EXPECT_EQ(TemporaryFolder::readFile(other), "x 1\nx 2\n");

    // A FIFO put at the undo file's name is no copy either, and holds nothing up.
    ASSERT_TRUE(QFile::remove(otherWindow.undoFilePath()));
    ASSERT_TRUE(platform::testing::plant(platform::testing::Planted::Fifo, otherWindow.undoFilePath(), {}));
    platform::testing::FifoWatch watch(otherWindow.undoFilePath());
    EXPECT_EQ(otherWindow.undoLastEdit().failure, "元に戻すためのファイルがこのファイルの編集で保存したものではありません");
    EXPECT_FALSE(watch.heldUp());
}

TEST_F(FileEditorTest, AFailedChangeLeavesTheFileTheUndoAndTheTrashAsTheyWere)
{
    const QByteArray original(300 * 1024, 'o');
    const QByteArray larger(900 * 1024, 'n');
    const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                          | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
    const struct
    {
        const char *name;
        // Makes the fault, kept alive by `keep`; returns the file to change, or an empty
        // text when the fault cannot be made by this user.
        std::function<QString(std::shared_ptr<void> &keep)> fault;
    } cases[] = {
        {"a full file system",
         [&](std::shared_ptr<void> &keep) {
             auto small = std::make_shared<platform::testing::SmallFileSystem>();
             keep = small;
             if (!small->isMounted())
                 return QString();
             QFile file(small->filePath("a.txt"));
             EXPECT_TRUE(file.open(QIODevice::WriteOnly));
             file.write(original);
             return file.fileName();
         }},
        {"a short write",
         [&](std::shared_ptr<void> &keep) {
             const QString path = m_folder.writeFile("short/a.txt", original);
             keep = std::make_shared<platform::testing::FileSizeLimit>(original.size());
             return path;
         }},
        {"a trash that cannot take the file",
         [&](std::shared_ptr<void> &) {
             m_folder.writeFile("data/Trash/files", "a file where the trash's folder of files belongs");
             return m_folder.writeFile("trash/a.txt", original);
         }},
        {"a read-only file",
         [&](std::shared_ptr<void> &) {
             const QString path = m_folder.writeFile("readonly/a.txt", original);
             QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
             return path;
         }},
        {"a read-only folder",
         [&](std::shared_ptr<void> &keep) {
             const QString path = m_folder.writeFile("locked/a.txt", original);
             QFile::setPermissions(path, everyone);
             platform::testing::allowOthers(m_folder.path());
             QFile::setPermissions(m_folder.filePath("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                                                    | QFileDevice::ReadOther | QFileDevice::ExeOther);
             keep = std::make_shared<platform::testing::UnprivilegedScope>();
             return path;
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::shared_ptr<void> keep;
        const QString path = c.fault(keep);
        if (path.isEmpty())
            continue; // only the superuser can mount the small file system
        const FileEditor::Outcome outcome = m_editor.changeFile(path, {larger}, FileStamp::of(path));
        const QByteArray left = TemporaryFolder::readFile(path);
        const QStringList files = entries(QFileInfo(path).path());
        keep.reset();
        EXPECT_FALSE(outcome.changed);
        EXPECT_NE(outcome.failure, "");
        EXPECT_EQ(left, original);
        EXPECT_EQ(files, QStringList{"a.txt"}) << "the temporary file is removed";
        EXPECT_EQ(m_editor.LastEditPath, "");
        EXPECT_FALSE(QFileInfo::exists(m_editor.undoFilePath()));
        EXPECT_EQ(m_editor.RecycledPaths, (std::array<QString, 2>{}));
        QFile::remove(m_folder.filePath("data/Trash/files"));
        QFile::setPermissions(m_folder.filePath("locked"), everyone | QFileDevice::ExeOwner);
    }
    EXPECT_EQ(trashed(), QStringList{});
    m_folder.makeFolder("folder");
    for (const char *missing : {"nowhere/a.txt", "folder"}) {
        SCOPED_TRACE(missing);
        const FileEditor::Outcome outcome = m_editor.changeFile(m_folder.filePath(missing), {larger}, {});
        EXPECT_FALSE(outcome.changed);
        EXPECT_NE(outcome.failure, "");
    }
}

TEST_F(FileEditorTest, ChangedLinesKeepTheOtherBytesAcrossReadBlocks)
{
    // Lines across more than two blocks of reading, a CR LF cut by the first block's end,
    // mixed breaks and a last line without one.
    QByteArray text;
    while (text.size() < (1 << 20) - 1)
        text += "a line of text\n";
    text.truncate((1 << 20) - 1);
    text += "\r\n";
    while (text.size() < (2 << 20) + 100)
        text += "x\ry\r\n";
    text += "last";
    const int lines = int(text.count('\n') + text.count('\r') - text.count("\r\n")) + 1;
    const struct
    {
        const char *name;
        EditRange range;
        EditLines lines;
    } cases[] = {
        {"the line whose CR LF the first block cuts", {69905, 69907}, EditLines::change("changed")},
        {"above line 1", {0, 1}, EditLines::insertion("", 2)},
        {"the last line", {lines - 1, lines + 1}, EditLines::deletion()},
        {"after the last line", {lines, 0}, EditLines::copy({"one", "two"})},
    };
    for (const QByteArray &start : {QByteArray(), QByteArray("\xEF\xBB\xBF")}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (start.isEmpty() ? "" : " behind a mark"));
            const QString path = m_folder.writeFile("texts/long.txt", start + text);
            EXPECT_TRUE(m_editor.changeLines(path, FileStamp::of(path), "UTF8", c.range, c.lines).changed);
            EXPECT_EQ(TemporaryFolder::readFile(path), start + SpliceFileBytes(text, "UTF8", c.range, c.lines).joined())
                << "a byte-order mark stays";
        }
    }
    const QString path = m_folder.writeFile("texts/long.txt", text);
    const FileStamp stamp = FileStamp::of(path);
    m_folder.writeFile("texts/long.txt", text + "more");
    EXPECT_FALSE(m_editor.changeLines(path, stamp, "UTF8", {0, 2}, EditLines::deletion()).changed)
        << "changed since the edit was made";
}

} // namespace
} // namespace textcompare
