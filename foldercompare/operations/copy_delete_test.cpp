#include "foldercompare/operations/copy_delete.h"
#include "foldercompare/operations/code_change.h"
#include "foldercompare/operations/date_change.h"
#include "foldercompare/listing/side_gathering.h"
#include "foldercompare/listing/testing_host.h"
#include "foldercompare/operations/local_files.h"
#include "foldercompare/operations/operations_test_fixture.h"
#include "platform/atomic_file.h"
#include "platform/copy_writer_hooks.h"
#include "platform/file_handles.h"
#include "platform/testing/ftp_test_server.h"
#include "platform/testing/killed_child.h"
#include "platform/testing/planted_entries.h"
#include "platform/testing/print_to.h"
#include "platform/testing/unprivileged_scope.h"
#include "platform/testing/write_faults.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>

#include <optional>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare::operations {
namespace {

using platform::MessageAnswer::No;
using platform::MessageAnswer::Yes;
using platform::testing::allowOthers;

const QDateTime Old(QDate(2020, 1, 2), QTime(3, 4, 5));
const QString Refresh = QStringLiteral("\r\n\r\n最新の状況を取得し一覧に反映しますか？");

using testing::QuestionHook;

mode_t modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

using testing::temporaries;
using testing::waitFor;

// Copies that the stopped and the killed runs have in hand.
constexpr int CopiesInHand = 8;

// The names "f0.dat", "f1.dat", ...
QStringList numberedFiles(int count)
{
    QStringList names;
    for (int index = 0; index < count; ++index)
        names.append(QStringLiteral("f%1.dat").arg(index));
    return names;
}

class CopyTest : public testing::OperationsTest
{
protected:
    // Side 1 holds a.txt "new" and b.txt "b"; side 2 holds a.txt `old` (null: nothing),
    // and b.txt "b" where `withB`.
    void twoFilesToCopy(const char *old, bool withB = false)
    {
        file("one/a.txt", "new");
        file("one/b.txt", "b");
        QFile::remove(tree("two/a.txt"));
        QFile::remove(tree("two/b.txt"));
        if (old)
            file("two/a.txt", old);
        if (withB)
            file("two/b.txt", "b");
    }
};

TEST_F(CopyTest, CopiesFilesWithTheirTimesAndModeAndCreatesFolders)
{
    const QString source = file("one/a.txt", "new contents");
    ::chmod(QFile::encodeName(source).constData(), 0640);
    ASSERT_TRUE(platform::SetFileDate(source, Old));
    file("one/sub/b.txt", "b");
    file("two/a.txt", "old contents");
    m_trees.makeFolder("one/empty");
    m_dialogs.answerNext(No);
    CopyOperation copy(0);
    run(copy, rows({"a.txt", "empty/", "sub/b.txt", "gone.txt"}), localSides(true));

    EXPECT_EQ(read(tree("two/a.txt")), "new contents");
    EXPECT_EQ(QFileInfo(tree("two/a.txt")).lastModified(), Old);
    EXPECT_EQ(modeOf(tree("two/a.txt")), 0640u);
    EXPECT_EQ(read(tree("two/sub/b.txt")), "b");
    EXPECT_TRUE(QFileInfo(tree("two/empty")).isDir());
    EXPECT_FALSE(QFileInfo::exists(tree("two/gone.txt")));
    EXPECT_EQ(trashed(), QStringList{"a.txt"}) << "the replaced file went to the trash";
    EXPECT_EQ(copy.filesCopied(), 2);
    EXPECT_EQ(copy.foldersCreated(), 1);
    EXPECT_TRUE(m_errorList.isEmpty()) << m_errorList.toStdString();
    EXPECT_EQ(lastPrompt(), QStringLiteral("コピーが完了しました。　\r\n\r\n最新の状況を取得し一覧に反映しますか？"));
    EXPECT_EQ(QDir(tree("two")).entryList(QDir::Hidden | QDir::Files).size(), 1) << "no temporary file stays";

    m_dialogs.clear();
    CopyOperation folders(1);
    run(folders, rows({"more/"}), localSides());
    EXPECT_EQ(m_dialogs.prompts().value(0).left(13), QStringLiteral("フォルダを作成しました。　"));
}

TEST_F(CopyTest, AReadOnlyDestinationFollowsTheAnswer)
{
    for (const int answer : {No, Yes}) {
        SCOPED_TRACE(answer == Yes ? "Yes" : "No");
        m_dialogs.clear();
        file("one/a.txt", "new");
        const QString destination = file("two/a.txt", "old");
        QFile::setPermissions(destination, QFile::ReadOwner);
        m_dialogs.answerNext(answer);
        CopyOperation copy(0);
        run(copy, rows({"a.txt"}), localSides(true));
        EXPECT_EQ(read(destination), answer == Yes ? "new" : "old");
        if (answer == Yes) {
            EXPECT_EQ(modeOf(m_home.filePath("data/Trash/files/a.txt")) & S_IWUSR, 0u)
                << "the trash keeps the replaced file read-only";
        }
        EXPECT_EQ(m_readOnlyList.isEmpty(), answer == Yes);
        EXPECT_EQ(lastPrompt().left(11), answer == Yes ? QStringLiteral("コピーが完了しました。　").left(11)
                                                       : QStringLiteral("コピーしたファイルはありません。　").left(11));
        QFile::setPermissions(destination, QFile::ReadOwner | QFile::WriteOwner);
    }
}

// Each fault spoils the copy of the first row; the old destination stays as it was, the
// row is listed with its reason, no temporary file is left, and the run goes on. The new
// contents that vanish before their rename (another program's sweep took them) fail it
// after the trash backup: the old file stays in its place also then, linked into the
// trash, or, on a FAT side whose trash takes no link, not moved there at all.
TEST_F(CopyTest, AFailedCopyLeavesTheOldFileAndTheRunGoesOn)
{
    enum class Fault { SizeLimit, FullFileSystem, UnwritableFolder, VanishedCopy, VanishedCopyOnFat, VanishedSource };
    const std::pair<Fault, const char *> faults[] = {
        {Fault::SizeLimit, "a write cut short by the file size limit"},
        {Fault::FullFileSystem, "a full file system"},
        {Fault::UnwritableFolder, "a destination folder without write permission"},
        {Fault::VanishedCopy, "a copy that vanishes before its rename, with the trash backup"},
        {Fault::VanishedCopyOnFat, "the same on a FAT side"},
        {Fault::VanishedSource, "a source that vanishes before it is read"},
    };
    for (const auto &[fault, name] : faults) {
        SCOPED_TRACE(name);
        std::optional<platform::testing::SmallFileSystem> small;
        std::optional<platform::testing::FatFileSystem> fat;
        OperationSides sides = localSides(fault == Fault::VanishedCopy || fault == Fault::VanishedCopyOnFat);
        if (fault == Fault::FullFileSystem) {
            small.emplace();
            if (!small->isMounted())
                continue; // only the superuser can mount it
            sides.sideRoot[1] = sides.pathBox[1] = small->path();
        } else if (fault == Fault::VanishedCopyOnFat) {
            fat.emplace();
            if (!fat->isMounted())
                continue; // only the superuser with mkfs.vfat and fusefat mounts it
            sides.sideRoot[1] = sides.pathBox[1] = fat->path();
        }
        file("one/a.bin", QByteArray(2 << 20, 'b'));
        file("one/b.txt", "second");
        const QString folder = sides.sideRoot[1];
        const QString destination = folder + "/a.bin";
        QFile good(destination);
        ASSERT_TRUE(good.open(QIODevice::WriteOnly | QIODevice::Truncate) && good.write("good") == 4);
        good.close();
        QFile::remove(folder + "/b.txt");
        sides = compared(sides);

        std::optional<platform::testing::FileSizeLimit> limit;
        std::optional<platform::testing::UnprivilegedScope> unprivileged;
        std::optional<QuestionHook> hook;
        if (fault == Fault::SizeLimit) {
            limit.emplace(64 * 1024);
        } else if (fault == Fault::UnwritableFolder) {
            for (const QString &path : {m_trees.path(), tree("one"), tree("one/a.bin"), tree("one/b.txt")})
                allowOthers(path);
            ::chmod(QFile::encodeName(folder).constData(), 0555);
            unprivileged.emplace();
        } else if (fault == Fault::VanishedSource) {
            QFile::setPermissions(destination, QFile::ReadOwner);
            hook.emplace([this] { QFile::remove(tree("one/a.bin")); });
        } else if (fault == Fault::VanishedCopy || fault == Fault::VanishedCopyOnFat) {
            m_host.percents.clear();
            m_host.onRow = [&folder](int row) {
                if (row == 1 && waitFor([&folder] { return temporaries(folder).size() == 1; }))
                    QFile::remove(folder + u'/' + temporaries(folder).constFirst());
            };
        }
        CopyOperation copy(0);
        run(copy, rows({"a.bin", "b.txt"}), sides);
        m_host.onRow = nullptr;
        const QString closing = hook ? hook->prompts.constLast() : lastPrompt();
        hook.reset();
        unprivileged.reset();
        limit.reset();
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QFile::setPermissions(destination, QFile::ReadOwner | QFile::WriteOwner);

        EXPECT_EQ(read(destination), "good");
        EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n") + destination + QStringLiteral(" : ")))
            << m_errorList.toStdString();
        EXPECT_EQ(read(folder + "/b.txt"), fault == Fault::UnwritableFolder ? "" : "second");
        EXPECT_EQ(QDir(folder).entryList(QDir::Hidden | QDir::Files).filter(".tmp"), QStringList());
        EXPECT_EQ(closing, fault == Fault::UnwritableFolder
                               ? QStringLiteral("コピーしたファイルはありません。　\r\n"
                                                "コピーしたファイル（行）：0件　コピー出来なかったファイル（行）：2件　")
                               : QStringLiteral("一部のファイルがコピーされました。　\r\n"
                                                "コピーしたファイル（行）：1件　コピー出来なかったファイル（行）：1件　")
                                     + Refresh);
        if (fault == Fault::VanishedCopy) {
            EXPECT_EQ(trashed(), QStringList{"a.bin"}) << "the backup is a link to the old file";
        } else if (fault == Fault::VanishedCopyOnFat) {
            EXPECT_TRUE(m_errorList.contains(QStringLiteral("新しい内容の一時ファイルがありません"))) << "not moved";
            EXPECT_FALSE(EntryExists(folder + "/.Trash-" + QString::number(::geteuid()) + "/files/a.bin"));
        }
    }
}

// A destination folder that cannot be made fails every row below it, each named with
// the folder's reason.
TEST_F(CopyTest, AFileInAFolderThatCannotBeMadeIsNamed)
{
    file("one/sub/deeper/a.txt", "a");
    file("one/sub/deeper/b.txt", "b");
    file("two/sub", "a file where the folder would be");
    CopyOperation copy(0);
    run(copy, rows({"sub/deeper/a.txt", "sub/deeper/b.txt"}), localSides());
    const QString reason = QStringLiteral(" : ") + QString::fromLocal8Bit(std::strerror(ENOTDIR)) + QStringLiteral(" : ")
                           + tree("two/sub/deeper");
    EXPECT_EQ(m_errorList, QStringLiteral("\r\n") + tree("two/sub/deeper/a.txt") + reason + QStringLiteral("\r\n")
                               + tree("two/sub/deeper/b.txt") + reason);
    EXPECT_EQ(m_dialogs.prompts().filter(QStringLiteral("システムエラー")), QStringList());
    EXPECT_EQ(lastPrompt(), QStringLiteral("コピーしたファイルはありません。　\r\n"
                                           "コピーしたファイル（行）：0件　コピー出来なかったファイル（行）：2件　"));
}

// A copy writes through no link it did not choose: a link at the target, in place of a
// folder on the way (a folder row's too) or put in place of a folder while the copy is
// in hand fails its row, and what it leads to stays as it was. So does a link put in
// place of the target's folder after that folder was checked (here while the read-only
// question is open): the target is made writable and the copy written in the folder
// that was checked, never through the link. No folder is made through a link either.
// A link that side 2 alone has (its rows show nothing on side 1) has nothing to copy:
// its rows are passed over as other rows of that side alone, not listed.
TEST_F(CopyTest, NothingIsWrittenThroughALink)
{
    file("one/a.txt", "a");
    file("one/linked/b.txt", "b");
    m_trees.makeFolder("one/linked/deeper");
    file("one/moved/c.txt", "c");
    file("one/swapped/d.txt", "d");
    file("one/z.txt", "z");
    file("outside/a.txt", "kept");
    const QString other = file("outside/other/d.txt", "other");
    const QString checked = file("two/swapped/d.txt", "old");
    for (const QString &path : {other, checked})
        QFile::setPermissions(path, QFile::ReadOwner);
    m_trees.makeFolder("two/moved");
    for (const auto &[link, to] :
         {std::pair{"two/a.txt", "outside/a.txt"}, {"two/linked", "outside"}, {"two/alone", "outside"}})
        ASSERT_EQ(::symlink(QFile::encodeName(tree(to)).constData(), QFile::encodeName(tree(link)).constData()), 0);
    // Puts a link to `to` in place of the folder `folder`, which goes to `away`.
    const auto swap = [this](const QString &folder, const QString &away, const QString &to) {
        ASSERT_EQ(::rename(QFile::encodeName(tree(folder)).constData(), QFile::encodeName(tree(away)).constData()), 0);
        ASSERT_EQ(::symlink(QFile::encodeName(tree(to)).constData(), QFile::encodeName(tree(folder)).constData()), 0);
    };
    QuestionHook hook([&] { swap("two/swapped", "two/swapped.away", "outside/other"); });
    QStringList temporariesThroughTheLink;
    mode_t modeThroughTheLink = 0;
    m_host.onRow = [&](int row) {
        // "moved/c.txt" is in hand: its folder goes elsewhere and a link to it takes its place.
        if (row == 4)
            swap("two/moved", "outside/moved", "outside/moved");
        // "swapped/d.txt" is in hand, its folder swapped for a link during the question.
        if (row == 5) {
            waitFor([&] { return temporaries(tree("two/swapped.away")).size() + temporaries(tree("outside/other")).size() == 1; });
            temporariesThroughTheLink = temporaries(tree("outside/other"));
            modeThroughTheLink = modeOf(other);
        }
    };
    QList<OperationRow> walked = rows({"a.txt", "linked/b.txt", "linked/deeper/", "moved/c.txt", "swapped/d.txt", "z.txt"});
    for (const char *alone : {"alone/", "alone/a.txt"})
        walked.append({QString(), QStringLiteral(" 2020/01/01 00:00:00"), QString::fromUtf8(alone)});
    CopyOperation copy(0);
    run(copy, walked, localSides());
    // The folders a copy makes are made each in the one above it, never through a link.
    platform::Descriptor made;
    bool created = false;
    EXPECT_EQ(MakeFoldersBelow(tree("two"), tree("two/linked/made/deeper"), made, created),
              QStringLiteral("リンクは辿りません : ") + tree("two/linked"));
    EXPECT_FALSE(created);

    EXPECT_EQ(temporariesThroughTheLink, QStringList()) << "the copy in hand was written through the link";
    EXPECT_EQ(modeThroughTheLink & S_IWUSR, 0u) << "the file behind the link was made writable";
    EXPECT_EQ(read(tree("outside/a.txt")), "kept");
    EXPECT_EQ(QDir(tree("outside")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"a.txt", "moved", "other"}));
    EXPECT_EQ(QDir(tree("outside/moved")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    EXPECT_EQ(QDir(tree("outside/other")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"d.txt"}));
    EXPECT_EQ(read(other), "other");
    EXPECT_EQ(modeOf(other) & S_IWUSR, 0u);
    EXPECT_EQ(QDir(tree("two/swapped.away")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"d.txt"}));
    EXPECT_EQ(read(tree("two/swapped.away/d.txt")), "old");
    EXPECT_EQ(modeOf(tree("two/swapped.away/d.txt")) & S_IWUSR, 0u) << "the checked target gets its read-only back";
    EXPECT_EQ(read(tree("two/z.txt")), "z");
    const QString link = QStringLiteral(" : リンクは辿りません");
    EXPECT_EQ(m_errorList, "\r\n" + tree("two/a.txt") + link + "\r\n" + tree("two/linked/b.txt") + link + " : "
                               + tree("two/linked") + "\r\n" + tree("two/linked/deeper/") + link + " : " + tree("two/linked")
                               + "\r\n" + tree("two/moved/c.txt") + link + " : " + tree("two/moved") + "\r\n"
                               + tree("two/swapped/d.txt") + link + " : " + tree("two/swapped"));
    EXPECT_EQ(copy.filesCopied(), 1);
}

// Esc confirmed while copies are in hand (written beside their targets, none in place
// yet): they are dropped, every target stays as it was, no temporary file stays, and the
// dropped rows count as not done.
TEST_F(CopyTest, AStopDropsTheCopiesInHand)
{
    const QStringList names = numberedFiles(2 * CopiesInHand);
    for (const QString &name : names)
        file("one/" + name, QByteArray(64 * 1024, 'n'));
    for (int index = 0; index < names.size(); index += 2)
        file("two/" + names[index], "old");
    QFile::setPermissions(tree("two/f0.dat"), QFile::ReadOwner);
    m_dialogs.answerNext(Yes);
    m_host.onRow = [this](int row) {
        if (row == CopiesInHand && waitFor([this] { return temporaries(tree("two")).size() == CopiesInHand; }))
            m_host.abort = true;
    };
    CopyOperation copy(0);
    run(copy, rows(names), localSides(true));
    ASSERT_TRUE(m_host.abort) << "the copies in hand were written";
    for (int index = 0; index < names.size(); ++index) {
        SCOPED_TRACE(names[index].toStdString());
        EXPECT_EQ(QFileInfo::exists(tree("two/" + names[index])), index % 2 == 0);
        if (index % 2 == 0) {
            EXPECT_EQ(read(tree("two/" + names[index])), "old");
        }
    }
    EXPECT_EQ(modeOf(tree("two/f0.dat")) & S_IWUSR, 0u) << "a read-only target stays read-only";
    EXPECT_EQ(temporaries(tree("two")), QStringList());
    EXPECT_EQ(trashed(), QStringList());
    EXPECT_EQ(lastPrompt(), QStringLiteral("コピーしたファイルはありません。　\r\n"
                                           "コピーしたファイル（行）：0件　コピー出来なかったファイル（行）：16件　"));
}

// A destination that another program changes while its copy waits to be put in place
// (the user saves it, in place or as a new file, or makes it where there was none)
// keeps what was saved, with the mode the saving program gave it (a read-only
// destination made writable for the copy is not made read-only again once it is
// another file): the row fails with the reason, nothing goes to the trash and no
// temporary file stays; the other rows are copied.
TEST_F(CopyTest, ADestinationChangedWhileItsCopyWaitsIsLeftAlone)
{
    const struct
    {
        const char *name;
        const char *old; // null: no destination at the start
        bool readOnly;
        bool asNewFile;
        const char *saved;
    } cases[] = {
        {"saved in place", "old", false, false, "old saved"},
        {"saved as a new file", "old", false, true, " saved"},
        {"read-only, saved as a new file", "old", true, true, " saved"},
        {"made meanwhile", nullptr, false, true, " saved"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        twoFilesToCopy(c.old);
        if (c.readOnly) {
            QFile::setPermissions(tree("two/a.txt"), QFile::ReadOwner);
            m_dialogs.answerNext(Yes);
        }
        m_host.percents.clear();
        mode_t savedMode = 0;
        m_host.onRow = [&](int row) {
            if (row == 1 && waitFor([this] { return temporaries(tree("two")).size() == 1; })) {
                platform::testing::TemporaryFolder::saveFile(tree("two/a.txt"), " saved", c.asNewFile);
                savedMode = modeOf(tree("two/a.txt"));
            }
        };
        CopyOperation copy(0);
        run(copy, rows({"a.txt", "b.txt"}), localSides(true));
        EXPECT_EQ(read(tree("two/a.txt")), c.saved);
        EXPECT_EQ(modeOf(tree("two/a.txt")), savedMode);
        EXPECT_EQ(read(tree("two/b.txt")), "b");
        EXPECT_EQ(m_errorList, QStringLiteral("\r\n") + tree("two/a.txt")
                                   + QStringLiteral(" : コピーの開始後に別のプログラムがコピー先を変更したため、上書きしませんでした"
                                                    "（その間に保存された可能性があります）"));
        EXPECT_EQ(trashed(), QStringList());
        EXPECT_EQ(temporaries(tree("two")), QStringList());
    }
}

// A save that another program makes at the very moment a copy or a conversion takes the
// file's name (after the last look at it, here through the copy writer's hook) is kept:
// the new contents are not put in its place, the row is listed as changed meanwhile and
// the refresh offered; the other row is done and no temporary file stays.
TEST_F(CopyTest, ASaveAtTheMomentOfThePlacementIsKept)
{
    const QString copyChanged = QStringLiteral(
        "コピーの開始後に別のプログラムがコピー先を変更したため、上書きしませんでした（その間に保存された可能性があります）");
    const QString codeChanged = QStringLiteral("文字コード変換の開始後に別のプログラムがファイルを変更したため、書き換えません"
                                               "でした（その間に保存された可能性があります）");
    for (const bool conversion : {false, true}) {
        for (const bool asNewFile : {false, true}) {
            SCOPED_TRACE(std::string(conversion ? "conversion" : "copy") + (asNewFile ? ", saved as a new file" : ", saved in place"));
            m_dialogs.clear();
            for (const char *name : {"a.txt", "b.txt"}) {
                file(QStringLiteral("one/") + name, "new\r\n");
                file(QStringLiteral("two/") + name, "old\r\n");
            }
            const OperationSides sides = compared(localSides(true));
            const QString target = tree("two/a.txt");
            platform::CopyWriterHooks hooks;
            hooks.beforeRename = [&](int, const QByteArray &name) {
                if (name == "a.txt")
                    platform::testing::TemporaryFolder::saveFile(target, " saved", asNewFile);
            };
            platform::setCopyWriterHooks(hooks);
            const auto noHooks = qScopeGuard([] { platform::setCopyWriterHooks({}); });
            CopyOperation copy(0);
            CodeChangeOperation convert(1, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"), tree("code.tmp"));
            run(conversion ? static_cast<FileOperation &>(convert) : copy, rows({"a.txt", "b.txt"}), sides);
            EXPECT_EQ(read(target), asNewFile ? " saved" : "old\r\n saved");
            EXPECT_EQ(read(tree("two/b.txt")), conversion ? "old\n" : "new\r\n");
            EXPECT_EQ(m_errorList, QStringLiteral("\r\n") + target + QStringLiteral(" : ") + (conversion ? codeChanged : copyChanged));
            EXPECT_TRUE(lastPrompt().endsWith(Refresh));
            EXPECT_EQ(temporaries(tree("two")), QStringList());
            QDir(m_home.filePath("data/Trash")).removeRecursively();
        }
    }
}

// A row acts only on the file the comparison showed: a target rewritten, or made where
// there was none, after the comparison is neither overwritten, deleted nor given another
// date, its row is listed and the refresh offered; the other rows go on. A file is told
// as finely as the gathering saw it: a save of the same size within the listed second,
// or a new file of the same size and time to the nanosecond, is another file.
TEST_F(CopyTest, ATargetChangedAfterTheComparisonIsLeftAlone)
{
    enum Operation { Copy, Delete, Date };
    enum class Save { Longer, SameSizeInTheListedSecond, SameSizeAndTimeAsANewFile };
    const struct
    {
        const char *name;
        Operation operation; // a copy 1 -> 2, else a delete or a date change of side 2
        const char *old; // null: no file at the comparison
        const char *verb;
        Save save;
    } cases[] = {
        {"copy over a file rewritten", Copy, "old", "コピー", Save::Longer},
        {"copy where a file was made", Copy, nullptr, "コピー", Save::Longer},
        {"delete of a file rewritten", Delete, "old", "削除", Save::Longer},
        {"date change of a file rewritten", Date, "old", "日時変更", Save::Longer},
        {"copy over a file saved in the listed second", Copy, "old", "コピー", Save::SameSizeInTheListedSecond},
        {"delete of a file replaced to the nanosecond", Delete, "old", "削除", Save::SameSizeAndTimeAsANewFile},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        twoFilesToCopy(c.old, c.operation != Copy);
        const OperationSides sides = compared(localSides(true));
        const QString target = tree("two/a.txt");
        QByteArray saved = "saved after the comparison";
        if (c.save == Save::Longer) {
            file("two/a.txt", saved);
        } else {
            struct stat listed;
            ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &listed), 0);
            // As many bytes as "old", rewritten in place or as a new file.
            saved = "new";
            if (c.save == Save::SameSizeAndTimeAsANewFile) {
                platform::testing::TemporaryFolder::saveFile(target, saved, true);
            } else {
                QFile rewritten(target);
                ASSERT_TRUE(rewritten.open(QIODevice::WriteOnly) && rewritten.write(saved) == saved.size());
            }
            struct timespec times[2] = {listed.st_atim, listed.st_mtim};
            if (c.save == Save::SameSizeInTheListedSecond)
                times[1].tv_nsec = (times[1].tv_nsec + 1) % 1000000000;
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(target).constData(), times, 0), 0);
        }
        const QDateTime savedTime = QFileInfo(target).lastModified();
        CopyOperation copy(0);
        DeleteOperation remove(1);
        DateChangeOperation date(1, Old.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        FileOperation &operation = c.operation == Copy     ? static_cast<FileOperation &>(copy)
                                   : c.operation == Delete ? static_cast<FileOperation &>(remove)
                                                           : date;
        run(operation, rows({"a.txt", "b.txt"}), sides);
        EXPECT_EQ(read(target), saved);
        EXPECT_EQ(QFileInfo(target).lastModified(), savedTime);
        EXPECT_EQ(QFileInfo::exists(tree("two/b.txt")), c.operation != Delete) << "the other row is done";
        if (c.operation == Date) {
            EXPECT_EQ(QFileInfo(tree("two/b.txt")).lastModified(), Old) << "the other row is done";
        }
        EXPECT_EQ(m_errorList, QStringLiteral("\r\n") + target + QStringLiteral(" : 比較の後に変更されたため、")
                                   + QString::fromUtf8(c.verb) + QStringLiteral("しませんでした"));
        EXPECT_EQ(trashed(), c.operation == Delete ? QStringList{"b.txt"} : QStringList());
        QDir(m_home.filePath("data/Trash")).removeRecursively();
    }
}

// What a command of the program wrote, re-dated, converted, placed or deleted is no
// change after the comparison to the next command on the same rows: each row of the
// last command is done, folders included, while the list still shows the comparison.
// A folder deleted takes what the program wrote in it along, and a file deleted leaves
// nothing to re-date or convert.
TEST_F(CopyTest, TheProgramsOwnWritesAreNoChangeToTheNextCommand)
{
    enum Operation { CopyToTwo, DateOfTwo, CodeOfTwo, DeleteInTwo };
    const struct
    {
        const char *name;
        QList<Operation> commands;
        QList<OperationRow> rows;
        int lastDone;
    } cases[] = {
        {"date change, then copy", {DateOfTwo, CopyToTwo}, rows({"a.txt", "sub/c.txt"}), 2},
        // The folder goes with the file converted in it; the file's own row finds nothing.
        {"conversion, then delete", {CodeOfTwo, DeleteInTwo}, rows({"a.txt", "sub/", "sub/c.txt"}), 2},
        {"copy, then copy", {CopyToTwo, CopyToTwo}, rows({"a.txt", "new/d.txt"}), 2},
        {"copy, then date change", {CopyToTwo, DateOfTwo}, rows({"a.txt", "new/d.txt"}), 2},
        {"copy into a new folder, then delete", {CopyToTwo, DeleteInTwo}, rows({"new/d.txt", "new/"}), 2},
        {"conversion, delete of its folder, then copy", {CodeOfTwo, DeleteInTwo, CopyToTwo}, rows({"sub/", "sub/c.txt"}),
         2},
        {"delete, then date change and conversion", {DeleteInTwo, DateOfTwo, CodeOfTwo}, rowsOnBoth({"a.txt", "sub/c.txt"}),
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_dialogs.clear();
        QDir(tree("two")).removeRecursively();
        for (const char *name : {"a.txt", "sub/c.txt", "new/d.txt"})
            file(QStringLiteral("one/") + name, "one\r\n");
        for (const char *name : {"a.txt", "sub/c.txt"})
            file(QStringLiteral("two/") + name, "two\r\n");
        const OperationSides sides = compared(localSides(true));
        const auto operation = [&](Operation kind) -> std::unique_ptr<FileOperation> {
            switch (kind) {
            case CopyToTwo:
                return std::make_unique<CopyOperation>(0);
            case DateOfTwo:
                return std::make_unique<DateChangeOperation>(1, Old.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
            case CodeOfTwo:
                return std::make_unique<CodeChangeOperation>(1, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"),
                                                             tree("code.tmp"));
            case DeleteInTwo:
                return std::make_unique<DeleteOperation>(1);
            }
            return nullptr;
        };
        for (qsizetype index = 0; index < c.commands.size(); ++index) {
            const std::unique_ptr<FileOperation> command = operation(c.commands[index]);
            run(*command, c.rows, sides);
            EXPECT_EQ(m_errorList, QString()) << "command " << index + 1;
            if (index + 1 == c.commands.size()) {
                EXPECT_EQ(command->rowsDone(), c.lastDone);
            }
        }
    }
}

// Copies into many folders hold no more of them open than the limit of open files
// allows: with a low limit, 3,000 folders of one file each are all copied.
TEST_F(CopyTest, CopiesIntoManyFoldersStayWithinTheLimitOfOpenFiles)
{
    constexpr int Folders = 3000;
    QStringList paths;
    for (int index = 0; index < Folders; ++index) {
        paths.append(QStringLiteral("d%1/f.txt").arg(index, 4, 10, QLatin1Char('0')));
        file("one/" + paths.constLast(), "f");
    }
    const platform::testing::OpenFileLimit low(256);
    CopyOperation copy(0);
    run(copy, rows(paths), localSides());
    EXPECT_EQ(copy.filesCopied(), Folders);
    EXPECT_TRUE(m_errorList.isEmpty()) << m_errorList.toStdString();
    EXPECT_EQ(read(tree("two/d2999/f.txt")), "f");
}

// A trash that holds a thousand files of one name (every f.txt that a copy into as many
// folders replaced) still takes the next one under a name of its own.
TEST_F(CopyTest, AReplacedFileGoesToATrashFullOfItsName)
{
    for (int number = 1; number <= 1000; ++number)
        m_home.writeFile(QStringLiteral("data/Trash/info/f.txt%1.trashinfo")
                             .arg(number == 1 ? QString() : QStringLiteral(".%1").arg(number)),
                         "");
    file("one/f.txt", "new");
    file("two/f.txt", "old");
    CopyOperation copy(0);
    run(copy, rows({"f.txt"}), localSides(true));
    EXPECT_EQ(m_errorList, QString());
    EXPECT_EQ(read(tree("two/f.txt")), "new");
    ASSERT_EQ(trashed().size(), 1);
    EXPECT_EQ(read(m_home.filePath("data/Trash/files/" + trashed().first())), "old");
}

// Sides given as paths relative to the working folder: the home trash's record of a
// replaced file keeps its absolute path, which a desktop's restore reads as it is.
TEST_F(CopyTest, ASideGivenAsARelativePathRecordsTheAbsolutePathInTheTrash)
{
    twoFilesToCopy("old");
    OperationSides sides = localSides(true);
    sides.sideRoot = sides.pathBox = {QStringLiteral("one"), QStringLiteral("two")};
    const QString previous = QDir::currentPath();
    const auto restoreWorkingFolder = qScopeGuard([&] { QDir::setCurrent(previous); });
    ASSERT_TRUE(QDir::setCurrent(m_trees.path()));
    CopyOperation copy(0);
    run(copy, rows({"a.txt"}), sides);
    EXPECT_EQ(m_errorList, QString());
    EXPECT_EQ(read(tree("two/a.txt")), "new");
    const QByteArray record = read(m_home.filePath("data/Trash/info/a.txt.trashinfo"));
    const QByteArray absolute = QFile::encodeName(QFileInfo(tree("two/a.txt")).canonicalFilePath());
    EXPECT_TRUE(record.contains("\nPath=" + absolute.toPercentEncoding("/") + "\n")) << record.toStdString();
}

// Runs only as a child of AKilledCopyLeavesNothingToFind: copies into the folder it is
// given and waits, with its copies in hand, to be killed.
using CopyChild = testing::OperationsTest;

TEST_F(CopyChild, CopiesUntilKilled)
{
    const QString folder = platform::testing::KilledChildFolder();
    if (folder.isEmpty())
        GTEST_SKIP() << "child of AKilledCopyLeavesNothingToFind";
    m_host.onRow = [&](int row) {
        if (row >= CopiesInHand && waitFor([&] { return temporaries(folder + "/two").size() == CopiesInHand; }))
            platform::testing::HoldUntilKilled(folder);
    };
    OperationSides sides;
    sides.sideRoot = sides.pathBox = {folder + "/one", folder + "/two"};
    sides.recyclerBackup = false;
    CopyOperation copy(0);
    run(copy, rows(numberedFiles(CopiesInHand + 1)), sides);
}

// A copy killed with copies in hand leaves temporary files; the next gathering lists
// none of them and the next copy into their folder removes them, as it does with those
// of an earlier boot of this machine and those that the backup program's earlier
// versions left. Files of the user's that look like them, temporaries of another machine
// or of earlier versions, and those of a running process, stay and are listed.
TEST_F(CopyTest, AKilledCopyLeavesNothingToFind)
{
    for (const QString &name : numberedFiles(CopiesInHand + 1))
        file("one/" + name, QByteArray(64 * 1024, 'n'));
    m_trees.makeFolder("two");
    const qint64 gone = platform::testing::KillChildOnceMarked(QStringLiteral("CopyChild.*"), m_trees.path());
    ASSERT_NE(gone, 0) << "the child never had its copies in hand";
    const QStringList leftovers = temporaries(tree("two"));
    ASSERT_EQ(leftovers.size(), CopiesInHand);

    const auto nameOf = [&](const platform::RunMark &run) {
        return QFileInfo(QFile::decodeName(platform::temporaryFilePathFor(QFile::encodeName(tree("two/u.dat")), run)))
            .fileName();
    };
    platform::RunMark otherMachine = platform::RunMark::ofThisProcess();
    otherMachine.machine = "another machine";
    otherMachine.process = gone;
    // Every run of another boot of this machine has ended, whatever process holds its
    // number now.
    platform::RunMark earlierBoot = platform::RunMark::ofThisProcess();
    earlierBoot.boot = QByteArray(8, earlierBoot.boot.startsWith('a') ? 'b' : 'a');
    earlierBoot.process = ::getppid();
    const QString earlierBody = QStringLiteral(".u.dat.~%1-2").arg(gone);
    const QString earlierVersions
        = earlierBody + u'-'
          + QCryptographicHash::hash(earlierBody.toUtf8(), QCryptographicHash::Sha256).toHex().left(8) + ".tmp";
    // Kept and listed: files of the user's that look like temporaries, a temporary of
    // another machine or of an earlier version (which does not tell its machine) whose
    // process number is not in use here, and one of a running process.
    const QStringList kept{QStringLiteral(".u.dat.~%1-1.tmp").arg(gone), QStringLiteral(".u.dat.~%1-1-0123abcd.tmp").arg(gone),
                           QString(leftovers[0]).replace(QStringLiteral(".~"), QStringLiteral("x.~")),
                           nameOf(platform::RunMark::ofThisProcess()), nameOf(otherMachine), earlierVersions};
    for (const QString &name : kept)
        file("two/" + name, "user");
    file("two/" + nameOf(earlierBoot), "left");
    // Leftovers too: the temporaries that the backup program's earlier versions left,
    // with a check made with the machine, and before that with one of the name alone.
    const QByteArray backupBody = ".zelquin-" + earlierBoot.numbers(3);
    file("two/" + QString::fromLatin1(backupBody + '-' + earlierBoot.check(backupBody, 12) + ".tmp"), "left");
    const QByteArray earlierBackupBody = ".zelquin-" + QByteArray::number(gone) + "-4";
    file("two/"
             + QString::fromLatin1(earlierBackupBody + '-'
                                   + QCryptographicHash::hash(earlierBackupBody, QCryptographicHash::Sha256).toHex().left(12)
                                   + ".tmp"),
         "left");

    listing::testing::RecordingHost gatherHost;
    listing::GatherLocalSide(tree("two"), tree("two.lst"), 999, gatherHost);
    QStringList listed;
    for (const QByteArray &line : read(tree("two.lst")).split('\n'))
        if (!line.isEmpty())
            listed.append(QString::fromUtf8(line.left(line.indexOf('\t'))));
    QStringList expected = kept;
    expected.sort();
    listed.sort();
    EXPECT_EQ(listed, expected);

    CopyOperation copy(0);
    run(copy, rows({"f0.dat"}), localSides());
    EXPECT_EQ(read(tree("two/f0.dat")).size(), 64 * 1024);
    QStringList left = temporaries(tree("two"));
    left.sort();
    EXPECT_EQ(left, expected);
}

using DeleteTest = testing::OperationsTest;

TEST_F(DeleteTest, DeletesFilesAndFoldersThroughTheTrashOrForGood)
{
    for (const bool recyclerBackup : {false, true}) {
        SCOPED_TRACE(recyclerBackup ? "trash" : "for good");
        m_dialogs.clear();
        file("one/a.txt", "a");
        QFile::setPermissions(file("one/sub/deep/locked.txt", "l"), QFile::ReadOwner);
        // A name that is no UTF-8 goes as the bytes it is.
        platform::testing::writeRawFile(tree("one"), "sub/deep/\xff\xfe.txt", "raw");
        m_dialogs.answerNext(Yes);
        DeleteOperation remove(0);
        run(remove, rows({"a.txt", "sub/", "gone.txt"}), localSides(recyclerBackup));
        EXPECT_FALSE(QFileInfo::exists(tree("one/a.txt")));
        EXPECT_FALSE(QFileInfo::exists(tree("one/sub")));
        EXPECT_EQ(remove.rowsDeleted(), 2) << "a missing row is not counted";
        EXPECT_EQ(trashed(), recyclerBackup ? QStringList({"a.txt", "sub"}) : QStringList({"a.txt", "sub"}).mid(2));
        EXPECT_EQ(lastPrompt().left(10), QStringLiteral("削除が完了しました。　").left(10));
        QDir(m_home.filePath("data/Trash")).removeRecursively();
    }
}

// A side on a bind mount of a folder on the home's file system: the home trash lies on
// another mount, which no rename reaches, so the replaced and the deleted file go to
// the trash at the top of the side's own mount, and every row is done.
TEST_F(DeleteTest, ABindMountedSideUsesTheTrashOfItsMount)
{
    file("elsewhere/a.txt", "old");
    file("elsewhere/b.txt", "deleted");
    file("one/a.txt", "new");
    const platform::testing::BindMount bound(tree("elsewhere"), tree("two"));
    if (!bound.isMounted())
        GTEST_SKIP() << "only the superuser can mount";
    CopyOperation copy(0);
    run(copy, rows({"a.txt"}), localSides(true));
    EXPECT_EQ(m_errorList, QString());
    DeleteOperation remove(1);
    run(remove, rows({"b.txt"}), localSides(true));
    EXPECT_EQ(m_errorList, QString());

    EXPECT_EQ(copy.filesCopied(), 1);
    EXPECT_EQ(remove.rowsDeleted(), 1);
    EXPECT_EQ(read(tree("two/a.txt")), "new");
    EXPECT_FALSE(EntryExists(tree("two/b.txt")));
    const QString trash = tree("two/.Trash-" + QString::number(::geteuid()));
    EXPECT_EQ(read(trash + "/files/a.txt"), "old");
    EXPECT_EQ(read(trash + "/files/b.txt"), "deleted");
    EXPECT_TRUE(read(trash + "/info/b.txt.trashinfo").contains("\nPath=b.txt\n")) << "kept below the mount's top";
    EXPECT_EQ(trashed(), QStringList());
}

// Another user who made the trash folder at the top of a side's mount keeps a copy with
// the trash backup from going on: the failure names that folder and its owner.
TEST_F(DeleteTest, ATrashFolderOfAnotherUserIsNamedWithItsOwner)
{
    file("elsewhere/a.txt", "old");
    file("one/a.txt", "new");
    const std::optional<platform::testing::OtherUser> other = platform::testing::otherUser();
    const platform::testing::BindMount bound(tree("elsewhere"), tree("two"));
    if (!other || !bound.isMounted())
        GTEST_SKIP() << "only the superuser can mount and make another user";
    const QString trash = tree("two/.Trash-" + QString::number(::geteuid()));
    ASSERT_EQ(::mkdir(QFile::encodeName(trash).constData(), 0700), 0);
    ASSERT_EQ(::chown(QFile::encodeName(trash).constData(), other->uid, other->gid), 0);
    CopyOperation copy(0);
    run(copy, rows({"a.txt"}), localSides(true));
    EXPECT_EQ(copy.filesCopied(), 0);
    EXPECT_EQ(read(tree("two/a.txt")), "old");
    EXPECT_TRUE(m_errorList.contains("ごみ箱のフォルダ " + trash + " は他のユーザー (" + other->name + ") が所有しています"))
        << m_errorList.toStdString();
}

TEST_F(DeleteTest, AFailedDeleteIsListedAndNotCounted)
{
    for (const bool recyclerBackup : {true, false}) {
        SCOPED_TRACE(recyclerBackup ? "trash" : "for good");
        m_dialogs.clear();
        const QString target = file("one/kept/a.txt", "a");
        for (const QString &path : {m_trees.path(), tree("one"), tree("one/kept"), target, m_home.path()})
            allowOthers(path);
        ::chmod(QFile::encodeName(tree("one/kept")).constData(), 0555);
        DeleteOperation remove(0);
        const OperationSides sides = compared(localSides(recyclerBackup));
        {
            platform::testing::UnprivilegedScope unprivileged;
            run(remove, rows({"kept/a.txt"}), sides);
        }
        ::chmod(QFile::encodeName(tree("one/kept")).constData(), 0755);
        EXPECT_TRUE(QFileInfo::exists(target));
        EXPECT_EQ(remove.rowsDeleted(), 0);
        EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n") + target + QStringLiteral(" : "))) << m_errorList.toStdString();
        EXPECT_EQ(m_dialogs.prompts(),
                  QStringList({QStringLiteral("エラーが発生したため削除出来ないファイルがありました。　\r\n") + m_errorList,
                               QStringLiteral("削除したファイルはありません。　\r\n"
                                              "削除したファイル（行）：0件　削除出来なかったファイル（行）：1件　")}));
    }
}

// A folder that holds a folder the user may not read (another user's) is deleted as the
// comparison found it, through the trash; deleted for good, its row fails with the
// system's reason for that folder, never as changed after the comparison, unless that
// folder is empty: it goes as an empty folder does.
TEST_F(DeleteTest, AFolderHoldingAnotherUsersFolderIsDeletedAsFound)
{
    for (const bool recyclerBackup : {true, false}) {
        for (const bool empty : {false, true}) {
            SCOPED_TRACE(std::string(recyclerBackup ? "trash" : "for good") + (empty ? ", empty" : ""));
            m_dialogs.clear();
            file("one/a/x.txt", "x");
            const QString locked = m_trees.makeFolder("one/a/locked");
            if (!empty)
                file("one/a/locked/y.txt", "y");
            for (const QString &path : {m_trees.path(), m_home.path()})
                allowOthers(path);
            const QString data = m_home.filePath("data");
            QDir().mkpath(data);
            for (const QString &path : {tree("one"), tree("one/a"), data, m_listings.path()})
                ::chmod(QFile::encodeName(path).constData(), 0777);
            ::chmod(QFile::encodeName(locked).constData(), ::geteuid() == 0 ? 0700 : 0);
            DeleteOperation remove(0);
            {
                platform::testing::UnprivilegedScope unprivileged;
                run(remove, rows({"a/"}), compared(localSides(recyclerBackup)));
            }
            ::chmod(QFile::encodeName(locked).constData(), 0700);
            const bool fails = !recyclerBackup && !empty;
            EXPECT_EQ(remove.rowsDeleted(), fails ? 0 : 1);
            EXPECT_EQ(QFileInfo::exists(locked), fails);
            EXPECT_EQ(m_errorList, fails ? QStringLiteral("\r\n") + tree("one/a") + QStringLiteral(" : ")
                                               + QString::fromLocal8Bit(std::strerror(EACCES)) + QStringLiteral(" : ")
                                               + locked
                                         : QString());
            QDir(tree("one/a")).removeRecursively();
            QDir(data).removeRecursively();
        }
    }
}

// Where the trash folder belongs to another user (as on a disk that shows every file as
// the mounting user's), a replace or a delete through the trash fails saying so, and
// names the option that does without the trash; the file stays.
TEST_F(DeleteTest, ATrashOfAnotherUserIsToldWithTheOptionThatAvoidsIt)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs the superuser";
    const QString trash = m_home.filePath("data/Trash");
    QDir().mkpath(trash);
    ASSERT_EQ(::chown(QFile::encodeName(trash).constData(), 65534, 65534), 0);
    for (const bool copying : {false, true}) {
        SCOPED_TRACE(copying ? "a copy over a file" : "a delete");
        m_dialogs.clear();
        file("one/a.txt", "new");
        const QString target = file("two/a.txt", "old");
        CopyOperation copy(0);
        DeleteOperation remove(1);
        run(copying ? static_cast<FileOperation &>(copy) : remove, rows({"a.txt"}), localSides(true));
        EXPECT_EQ(read(target), "old");
        EXPECT_EQ(m_errorList, QStringLiteral("\r\n") + target + QStringLiteral(" : ごみ箱へ移動できません。 ") + target
                                   + QStringLiteral(" : ごみ箱のフォルダ ") + trash
                                   + QStringLiteral(" は他のユーザー (nobody) が所有しています"
                                                    "（「削除/上書時はごみ箱にバックアップする」を外すと、ごみ箱を使わずに処理します）"));
    }
}

// A link in a deleted folder, to a folder or to a read-only file outside it, and a row
// that is itself a link, go as links, through the trash or for good: what they lead to
// keeps its contents and its mode, and no read-only question is asked for it. A row
// below a link fails, also when the link takes the place of its folder after the check
// (here while the read-only question is open): nothing is made writable, moved or
// deleted through it.
TEST_F(DeleteTest, LinksGoAsLinksAndWhatTheyLeadToStays)
{
    const QString keep = file("outside/keep/k.txt", "k");
    const QString target = file("outside/file.txt", "f");
    const QString other = file("outside/other/d.txt", "other");
    for (const QString &path : {keep, target, other})
        QFile::setPermissions(path, QFile::ReadOwner);
    for (const bool recyclerBackup : {true, false}) {
        SCOPED_TRACE(recyclerBackup ? "trash" : "for good");
        m_dialogs.clear();
        file("one/old/a.txt", "a");
        QFile::setPermissions(file("one/swapped/d.txt", "d"), QFile::ReadOwner);
        for (const auto &[link, to] : {std::pair{"one/old/folder", "outside/keep"}, {"one/old/file", "outside/file.txt"},
                                       {"one/alias", "outside/keep"}, {"one/through", "outside/keep"}})
            ASSERT_EQ(::symlink(QFile::encodeName(tree(to)).constData(), QFile::encodeName(tree(link)).constData()), 0);
        bool askedAfterTheLinks = false;
        QuestionHook hook([&] {
            askedAfterTheLinks = !EntryExists(tree("one/old")) && !EntryExists(tree("one/alias"));
            ASSERT_EQ(::rename(QFile::encodeName(tree("one/swapped")).constData(),
                               QFile::encodeName(tree("one/swapped.away")).constData()), 0);
            ASSERT_EQ(::symlink(QFile::encodeName(tree("outside/other")).constData(),
                                QFile::encodeName(tree("one/swapped")).constData()), 0);
        });
        DeleteOperation remove(0);
        run(remove, rows({"old/", "alias/", "through/k.txt", "swapped/d.txt"}), localSides(recyclerBackup));

        EXPECT_EQ(read(keep), "k");
        EXPECT_EQ(read(target), "f");
        EXPECT_EQ(read(other), "other");
        for (const QString &path : {keep, target, other})
            EXPECT_EQ(modeOf(path) & 0222, 0u) << path.toStdString();
        EXPECT_FALSE(EntryExists(tree("one/old")));
        EXPECT_FALSE(EntryExists(tree("one/alias")));
        EXPECT_EQ(read(tree("one/swapped.away/d.txt")), "d");
        EXPECT_EQ(hook.prompts.filter(QStringLiteral("読み取り専用")).size(), 1);
        EXPECT_TRUE(askedAfterTheLinks) << "the question came for the links";
        const QString link = QStringLiteral(" : リンクは辿りません : ");
        EXPECT_EQ(m_errorList, "\r\n" + tree("one/through/k.txt") + link + tree("one/through") + "\r\n"
                                   + tree("one/swapped/d.txt") + link + tree("one/swapped"))
            << "a row below a link is not deleted through it";
        EXPECT_EQ(remove.rowsDeleted(), 2);
        EXPECT_EQ(trashed(), recyclerBackup ? QStringList({"alias", "old"}) : QStringList());
        if (recyclerBackup) {
            EXPECT_TRUE(QFileInfo(m_home.filePath("data/Trash/files/old/folder")).isSymLink());
        }
        QDir(m_home.filePath("data/Trash")).removeRecursively();
        for (const char *link : {"one/through", "one/swapped"})
            QFile::remove(tree(link));
        QDir(tree("one/swapped.away")).removeRecursively();
    }
}

} // namespace
} // namespace foldercompare::operations
