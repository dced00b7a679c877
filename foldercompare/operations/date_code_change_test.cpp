#include "common/non_code_class.h"
#include "foldercompare/operations/code_change.h"
#include "foldercompare/operations/copy_delete.h"
#include "foldercompare/operations/date_change.h"
#include "foldercompare/operations/operations_test_fixture.h"
#include "platform/file_handles.h"
#include "platform/testing/print_to.h"
#include "platform/testing/unprivileged_scope.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare::operations {
namespace {

using platform::MessageAnswer::No;
using platform::MessageAnswer::Yes;

const QDateTime Typed(QDate(2019, 6, 30), QTime(12, 34, 56));
const QString Refresh = QStringLiteral("\r\n\r\n最新の状況を取得し一覧に反映しますか？");

// The modification time of `path` as seconds and nanoseconds.
std::pair<qint64, long> mtime(const QString &path)
{
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return {info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

using DateChangeTest = testing::OperationsTest;

TEST_F(DateChangeTest, TypedAndCopiedDatesReachTheFilesOnly)
{
    file("one/a.txt", "a");
    file("one/b.txt", "b");
    m_trees.makeFolder("one/sub");
    QFile::setPermissions(file("one/locked.txt", "l"), QFile::ReadOwner);
    m_dialogs.answerNext(Yes);
    DateChangeOperation typed(0, QStringLiteral("2019/06/30 12:34:56"));
    run(typed, rows({"a.txt", "sub/", "locked.txt", "gone.txt"}), localSides());
    EXPECT_EQ(QFileInfo(tree("one/a.txt")).lastModified(), Typed);
    EXPECT_EQ(QFileInfo(tree("one/locked.txt")).lastModified(), Typed);
    EXPECT_FALSE(QFileInfo(tree("one/locked.txt")).permission(QFile::WriteOwner)) << "it stays read-only";
    EXPECT_EQ(typed.filesChanged(), 2);
    EXPECT_EQ(lastPrompt(), QStringLiteral("日時変更が完了しました。　") + Refresh);

    // The other side's file gives its time stamp as it is, nanoseconds included, whatever
    // its cell shows.
    m_dialogs.clear();
    const struct timespec stamp = {1635643800, 123456789}; // within the autumn hour that Europe repeats
    ASSERT_TRUE(platform::SetFileTimestamp(file("two/b.txt", "b"), stamp));
    DateChangeOperation copied(0, QStringLiteral("COPY"));
    const QList<OperationRow> copyRows{{QString(), QStringLiteral(" 2021/10/31 02:30:00*"), QStringLiteral("b.txt")},
                                       {QString(), QString(), QStringLiteral("a.txt")}};
    run(copied, copyRows, localSides());
    EXPECT_EQ(mtime(tree("one/b.txt")), mtime(tree("two/b.txt")));
    EXPECT_EQ(QFileInfo(tree("one/a.txt")).lastModified(), Typed) << "no date on the other side: passed over";
    EXPECT_EQ(copied.filesChanged(), 1);
}

TEST_F(DateChangeTest, AFileWhoseTimesCannotBeSetMakesThePartialText)
{
    file("one/a.txt", "a");
    // Another owner's file: its times cannot be set by this user.
    const QString foreign = tree("one/foreign.txt");
    if (::geteuid() == 0)
        file("one/foreign.txt", "f");
    else
        ASSERT_TRUE(QFile::link(QStringLiteral("/etc/passwd"), foreign));
    const QDateTime before = QFileInfo(foreign).lastModified();
    for (const QString &path : {m_trees.path(), tree("one"), tree("one/a.txt")})
        platform::testing::allowOthers(path);
    ::chown(QFile::encodeName(tree("one/a.txt")).constData(), 65534, 65534);
    DateChangeOperation typed(0, QStringLiteral("2019/06/30 12:34:56"));
    const OperationSides sides = compared(localSides());
    {
        platform::testing::UnprivilegedScope unprivileged;
        run(typed, rows({"foreign.txt", "a.txt"}), sides);
    }
    EXPECT_EQ(QFileInfo(foreign).lastModified(), before);
    EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n") + foreign + QStringLiteral(" : ")))
        << m_errorList.toStdString();
    EXPECT_EQ(lastPrompt(), QStringLiteral("一部のファイルが日時変更されました。　\r\n"
                                           "日時変更したファイル（行）：1件　日時変更出来なかったファイル（行）：1件　")
                                + Refresh);
}

// A date that the file system clamps to its range did not land: the row fails with the
// date that was kept, and the file keeps its previous time stamp. A file that the list
// shows but that is gone changed after the comparison: its row says so and the refresh
// is offered.
TEST_F(DateChangeTest, ADateThatDidNotLandOrAVanishedFileFailsItsRow)
{
    const QString probe = file("probe.txt", "p");
    const struct timespec far = {QDateTime(QDate(2500, 1, 1), QTime(0, 0)).toSecsSinceEpoch(), 0};
    platform::SetFileTimestamp(probe, far);
    if (mtime(probe).first == far.tv_sec)
        GTEST_SKIP() << "the file system of the temporary folder holds every date";
    for (const char *typed : {"2500/01/01 00:00:00", "0024/01/01 00:00:00"}) {
        SCOPED_TRACE(typed);
        m_dialogs.clear();
        const std::pair<qint64, long> before = mtime(file("one/a.txt", "a"));
        DateChangeOperation change(0, QString::fromLatin1(typed));
        const QList<OperationRow> changeRows{{QStringLiteral(" 2020/01/01 00:00:00 "), QString(), QStringLiteral("a.txt")},
                                             {QStringLiteral(" 2020/01/01 00:00:00 "), QString(), QStringLiteral("gone.txt")}};
        run(change, changeRows, localSides());
        EXPECT_EQ(change.filesChanged(), 0);
        EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n") + tree("one/a.txt")
                                           + QStringLiteral(" : ファイルシステムがこの日時を保持できません (保持された日時 ")))
            << m_errorList.toStdString();
        EXPECT_TRUE(m_errorList.endsWith(QStringLiteral("\r\n") + tree("one/gone.txt")
                                         + QStringLiteral(" : 比較の後に変更されたため、日時変更しませんでした")))
            << m_errorList.toStdString();
        EXPECT_EQ(lastPrompt(), QStringLiteral("日時変更したファイルはありません。　\r\n"
                                               "日時変更したファイル（行）：0件　日時変更出来なかったファイル（行）：2件　")
                                    + Refresh);
        EXPECT_EQ(mtime(tree("one/a.txt")), before) << "the previous time stamp is back";
    }
}

// A typed local time that daylight saving skips names no moment: the row fails instead of
// being passed over or shifted.
TEST_F(DateChangeTest, ATypedTimeThatDaylightSavingSkipsFailsItsRow)
{
    if (!QFileInfo::exists(QStringLiteral("/usr/share/zoneinfo/Europe/Berlin")))
        GTEST_SKIP() << "no time zone data for Europe/Berlin";
    const QByteArray savedZone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    ::tzset();
    const std::pair<qint64, long> before = mtime(file("one/a.txt", "a"));
    DateChangeOperation change(0, QStringLiteral("2021/03/28 02:30:00"));
    run(change, rows({"a.txt"}), localSides());
    if (savedZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedZone);
    ::tzset();
    EXPECT_EQ(change.filesChanged(), 0);
    EXPECT_TRUE(m_errorList.startsWith(QStringLiteral("\r\n") + tree("one/a.txt") + QStringLiteral(" : この日時は")))
        << m_errorList.toStdString();
    EXPECT_EQ(mtime(tree("one/a.txt")), before);
}

using CodeChangeTest = testing::OperationsTest;

TEST_F(CodeChangeTest, PresetsTheFirstTextFilesCodeAndLineEnd)
{
    struct Case
    {
        const char *name;
        QByteArray content;
        QString code;
        QString lineEnd;
    };
    common::NonCodeClass codes;
    const Case cases[] = {
        {"CR LF", codes.VbUnicode_To_SJIS(u"日本語の行\r\n次の行\r\n"), "SJIS", "\r\n"},
        {"LF", "plain\nlines\n", "SJIS", "\n"},
        {"CR", codes.VbUnicode_To_UTF8(u"日本語の行\r次の行\r", false), "UTF8", "\r"},
        {"no line end", "one line", "SJIS", "\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = file("one/text.txt", c.content);
        const auto [code, lineEnd] = CodePreset({tree("one/sub/"), file("one/picture.png", "x"), tree("one/gone.txt"), text},
                                                localSides().binJdExt);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(lineEnd, c.lineEnd);
    }
    EXPECT_EQ(CodePreset({tree("one/sub/")}, {}), (std::pair<QString, QString>()));
}

TEST_F(CodeChangeTest, ConvertsInPlaceAndRefusesWhatItCannotConvertCleanly)
{
    common::NonCodeClass codes;
    const QString sjis = file("one/sjis.txt", codes.VbUnicode_To_SJIS(u"日本語\r\nmixed\rends\n"));
    const QString bom = file("one/bom.txt", "\xEF\xBB\xBFtext\r\n");
    // ASCII that the judge takes for UTF-7, which does not read it: read in the next code.
    const QByteArray pythonLine = "    total = left+base-right+size-1\r\n";
    const QString python = file("one/shift.py", pythonLine.repeated(20));
    // UTF-8 text only behind the judged block: the whole text makes it UTF-8.
    const QByteArray ascii(100010, 'a');
    const QString late = file("one/late.py", ascii + "\r\nmodule\xE2\x80\x99s\r\n");
    const QByteArray emoji = codes.VbUnicode_To_UTF8(u"smile \U0001F600\n", false);
    const QString unrepresentable = file("one/emoji.txt", emoji);
    const QString binary = file("one/tool.exe", "MZ\x90");
    const QString empty = file("one/empty.txt", "");
    QFile::setPermissions(file("one/locked.txt", "locked\r\n"), QFile::ReadOwner);
    m_dialogs.answerNext(Yes);
    CodeChangeOperation toUtf8(0, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"), tree("work.tmp"));
    run(toUtf8,
        rows({"sjis.txt", "bom.txt", "shift.py", "late.py", "tool.exe", "empty.txt", "locked.txt", "sub/", "gone.txt"}),
        localSides(true));
    EXPECT_EQ(read(sjis), codes.VbUnicode_To_UTF8(u"日本語\nmixed\nends\n", false));
    EXPECT_EQ(read(bom), "text\n");
    EXPECT_EQ(read(python), QByteArray("    total = left+base-right+size-1\n").repeated(20));
    EXPECT_EQ(read(late).mid(ascii.size()), "\nmodule\xE2\x80\x99s\n");
    EXPECT_EQ(read(tree("one/locked.txt")), "locked\n");
    EXPECT_FALSE(QFileInfo(tree("one/locked.txt")).permission(QFile::WriteOwner));
    EXPECT_EQ(read(binary), "MZ\x90");
    EXPECT_EQ(read(empty), "");
    EXPECT_EQ(toUtf8.filesConverted(), 5);
    EXPECT_EQ(trashed().size(), 5) << "each replaced file went to the trash";
    EXPECT_EQ(m_errorList, QStringLiteral("\r\n") + binary + QStringLiteral(" : バイナリファイルと判定されたため変換しません"));

    m_dialogs.clear();
    CodeChangeOperation explicitSource(0, QStringLiteral("UTF8"), QStringLiteral("SJIS"), QStringLiteral("\r\n"),
                                       tree("work.tmp"));
    run(explicitSource, rows({"emoji.txt", "tool.exe"}), localSides());
    EXPECT_EQ(read(unrepresentable), emoji) << "a character without a form in the target is never written as ?";
    EXPECT_EQ(read(binary), "MZ\x90") << "a binary file is not converted even with a source code given";
    EXPECT_EQ(explicitSource.filesConverted(), 0);
    EXPECT_TRUE(m_errorList.contains(unrepresentable + QStringLiteral(" : 変換後の文字コード(SJIS)で表せない文字があります")))
        << m_errorList.toStdString();
    EXPECT_EQ(lastPrompt(), QStringLiteral("文字コード変換したファイルはありません。　\r\n"
                                           "文字コード変換したファイル（行）：0件　文字コード変換出来なかったファイル（行）：2件　"));
}

// A FIFO in a file's place (of an FTP side's mirror copy, read by name) is refused
// without waiting for a writer that never comes.
TEST_F(CodeChangeTest, AFifoInTheFilesPlaceIsRefusedWithoutWaiting)
{
    const QString fifo = tree("one/a.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A writer that comes once a reader waits, so that a read that waited for one would
    // end (with nothing) rather than hang the test.
    std::atomic<bool> ended = false;
    std::thread writer([&] {
        while (!ended) {
            const int end = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (end >= 0) {
                ::close(end);
                return;
            }
            QThread::msleep(1);
        }
    });
    const FileConversion conversion
        = ConvertFileBytes(fifo, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"), QStringList());
    ended = true;
    writer.join();
    EXPECT_FALSE(conversion.ok);
    EXPECT_EQ(conversion.refusal, QStringLiteral("通常のファイルではないため変換しません"));
}

// With the code left to judging, files whose code stays in doubt (UTF-8 or EUC, Shift-JIS
// or EUC) and a file already in the target code and line end are listed and left as they
// are; a short EUC text that is valid UTF-8 too is read as EUC.
TEST_F(CodeChangeTest, AutomaticJudgingRewritesNoFileInDoubtAndCountsNoFileLeftAsItWas)
{
    common::NonCodeClass codes;
    const QByteArray doubtful = codes.VbUnicode_To_EUC(u"SQL文");
    const QString inDoubt = file("one/doubt.txt", doubtful);
    const QByteArray halfWidth = codes.VbUnicode_To_SJIS(u"ﾏｲﾅｽ");
    const QString katakana = file("one/katakana.txt", halfWidth);
    const QString euc = file("one/euc.txt", codes.VbUnicode_To_EUC(u"両立\n"));
    const QByteArray utf8 = codes.VbUnicode_To_UTF8(u"ファイル\n", false);
    const QString same = file("one/same.txt", utf8);
    // Converted in pieces, all but the last already as they would be written.
    const QByteArray lines = utf8.repeated(1 << 20);
    const QString crlfAtTheEnd = file("one/crlf.txt", lines + "end\r\n");
    CodeChangeOperation toUtf8(0, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"), tree("work.tmp"));
    run(toUtf8, rows({"doubt.txt", "katakana.txt", "euc.txt", "same.txt", "crlf.txt"}), localSides(true));
    EXPECT_TRUE(read(crlfAtTheEnd) == lines + "end\n");
    EXPECT_EQ(read(inDoubt), doubtful);
    EXPECT_EQ(read(katakana), halfWidth);
    EXPECT_EQ(read(euc), codes.VbUnicode_To_UTF8(u"両立\n", false));
    EXPECT_EQ(read(same), utf8);
    EXPECT_EQ(toUtf8.filesConverted(), 2);
    EXPECT_EQ(trashed().size(), 2);
    EXPECT_EQ(m_errorList, QStringLiteral("\r\n") + inDoubt + QStringLiteral(" : 文字コードを判別できないため変換しません（EUCとUTF8のどちらでも読めます）")
                               + QStringLiteral("\r\n") + katakana + QStringLiteral(" : 文字コードを判別できないため変換しません（EUCとSJISのどちらでも読めます）")
                               + QStringLiteral("\r\n") + same + QStringLiteral(" : 変換後と同じ文字コード(UTF8)と改行コードです"));
}

// Esc confirmed while conversions are in hand (written beside their files, none in place
// yet): they are dropped, every file stays as it was, no temporary file stays, and the
// dropped rows count as not done.
TEST_F(CodeChangeTest, AStopDropsTheConversionsInHand)
{
    const QStringList names{"a.txt", "b.txt", "c.txt"};
    for (const QString &name : names)
        file("one/" + name, "line\r\n");
    m_host.onRow = [this](int row) {
        if (row == 2 && testing::waitFor([this] { return testing::temporaries(tree("one")).size() == 2; }))
            m_host.abort = true;
    };
    CodeChangeOperation toLf(0, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"), tree("work.tmp"));
    run(toLf, rows(names), localSides(true));
    ASSERT_TRUE(m_host.abort) << "the conversions in hand were written";
    for (const QString &name : names)
        EXPECT_EQ(read(tree("one/" + name)), "line\r\n") << name.toStdString();
    EXPECT_EQ(testing::temporaries(tree("one")), QStringList());
    EXPECT_EQ(trashed(), QStringList());
    EXPECT_EQ(trashRecords(), QStringList());
    EXPECT_EQ(lastPrompt(), QStringLiteral("文字コード変換したファイルはありません。　\r\n"
                                           "文字コード変換したファイル（行）：0件　文字コード変換出来なかったファイル（行）：3件　"));
}

// A file that another program saves while its conversion is being written keeps what was
// saved: its row is listed as changed meanwhile, nothing goes to the trash, no temporary
// file stays, and the closing box does not claim the whole run.
TEST_F(CodeChangeTest, AFileSavedWhileItsConversionIsWrittenKeepsWhatWasSaved)
{
    file("one/a.txt", "a\r\n");
    file("one/b.txt", "b\r\n");
    m_host.onRow = [this](int row) {
        if (row == 1 && testing::waitFor([this] { return testing::temporaries(tree("one")).size() == 1; }))
            platform::testing::TemporaryFolder::saveFile(tree("one/a.txt"), "saved\r\n", true);
    };
    CodeChangeOperation toLf(0, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"), tree("work.tmp"));
    run(toLf, rows({"a.txt", "b.txt"}), localSides(true));
    EXPECT_EQ(read(tree("one/a.txt")), "saved\r\n");
    EXPECT_EQ(read(tree("one/b.txt")), "b\n");
    EXPECT_EQ(m_errorList, QStringLiteral("\r\n") + tree("one/a.txt")
                               + QStringLiteral(" : 文字コード変換の開始後に別のプログラムがファイルを変更したため、"
                                                "書き換えませんでした（その間に保存された可能性があります）"));
    EXPECT_EQ(trashed(), QStringList{"b.txt"});
    EXPECT_EQ(trashRecords(), QStringList{"b.txt.trashinfo"}) << "the record made for a.txt went with it";
    EXPECT_EQ(testing::temporaries(tree("one")), QStringList());
    EXPECT_EQ(lastPrompt(), QStringLiteral("一部のファイルが文字コード変換されました。　\r\n"
                                           "文字コード変換したファイル（行）：1件　文字コード変換出来なかったファイル（行）：1件　")
                                + Refresh);
}

// A date or code change writes through no link: a row that is one or lies below one
// fails, also when the link takes the place of its folder after the check (here while
// the read-only question is open), and what it leads to keeps its contents, its mode
// and its time stamp.
TEST_F(CodeChangeTest, NeitherChangeWritesThroughALink)
{
    const QString outside = file("outside/o.txt", "x\r\n");
    const QString other = file("outside/other/s.txt", "x\r\n");
    for (const QString &path : {outside, other})
        ASSERT_TRUE(platform::SetFileDate(path, Typed));
    QFile::setPermissions(other, QFile::ReadOwner);
    for (const auto &[link, to] : {std::pair{"one/l.txt", "outside/o.txt"}, {"one/via", "outside"}})
        ASSERT_EQ(::symlink(QFile::encodeName(tree(to)).constData(), QFile::encodeName(tree(link)).constData()), 0);
    DateChangeOperation date(0, QStringLiteral("2001/02/03 04:05:06"));
    CodeChangeOperation code(0, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"), tree("work.tmp"));
    for (FileOperation *operation : std::initializer_list<FileOperation *>{&date, &code}) {
        SCOPED_TRACE(operation->words().procedureName.toStdString());
        QFile::setPermissions(file("one/swapped/s.txt", "s\r\n"), QFile::ReadOwner);
        testing::QuestionHook hook([this] {
            ASSERT_EQ(::rename(QFile::encodeName(tree("one/swapped")).constData(),
                               QFile::encodeName(tree("one/swapped.away")).constData()), 0);
            ASSERT_EQ(::symlink(QFile::encodeName(tree("outside/other")).constData(),
                                QFile::encodeName(tree("one/swapped")).constData()), 0);
        });
        run(*operation, rows({"l.txt", "via/o.txt", "swapped/s.txt"}), localSides(true));
        for (const QString &path : {outside, other}) {
            SCOPED_TRACE(path.toStdString());
            EXPECT_EQ(read(path), "x\r\n");
            EXPECT_EQ(QFileInfo(path).lastModified(), Typed);
        }
        EXPECT_FALSE(QFileInfo(other).permissions() & QFile::WriteOwner);
        EXPECT_EQ(QDir(tree("outside/other")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList({"s.txt"}));
        EXPECT_EQ(trashed(), QStringList());
        EXPECT_EQ(read(tree("one/swapped.away/s.txt")), "s\r\n");
        const QString link = QStringLiteral(" : リンクは辿りません");
        EXPECT_EQ(m_errorList, "\r\n" + tree("one/l.txt") + link + "\r\n" + tree("one/via/o.txt") + link + " : "
                                   + tree("one/via") + "\r\n" + tree("one/swapped/s.txt") + link + " : "
                                   + tree("one/swapped"));
        EXPECT_EQ(operation->rowsDone(), 0);
        QFile::remove(tree("one/swapped"));
        QDir(tree("one/swapped.away")).removeRecursively();
    }
}

// A single-file side that the user named as a link to a file is that file, as a folder
// side reached through a link is that folder: a copy, a date change and a code change
// write the file that the link leads to, and the link stays a link. A link put in place
// of that file while the read-only question is open is not written through, and the row
// says so in the program's words.
TEST_F(CodeChangeTest, ASingleFileSideNamedAsALinkWritesTheFileItLeadsTo)
{
    const QString conf = tree("two/conf");
    const QString target = tree("dot/conf");
    ASSERT_EQ(::symlink("../dot/conf", QFile::encodeName(conf).constData()), 0);
    const QString elsewhere = file("elsewhere/conf", "elsewhere\r\n");
    ASSERT_TRUE(platform::SetFileDate(elsewhere, Typed));
    OperationSides sides = localSides(true);
    sides.sideRoot = sides.pathBox = {tree("one/conf"), conf};
    const QList<OperationRow> row{{QStringLiteral(" 2001/02/03 04:05:06"), QStringLiteral(" 2019/06/30 12:34:56"),
                                   QStringLiteral("conf")}};
    const struct
    {
        std::function<std::unique_ptr<FileOperation>()> operation;
        QByteArray written;
    } cases[] = {
        {[] { return std::make_unique<CopyOperation>(0); }, "copied\r\n"},
        {[] { return std::make_unique<DateChangeOperation>(1, QStringLiteral("2001/02/03 04:05:06")); }, "old\r\n"},
        {[this] {
             return std::make_unique<CodeChangeOperation>(1, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"),
                                                          tree("work.tmp"));
         },
         "old\n"},
    };
    for (const auto &[makeOperation, written] : cases) {
        const std::unique_ptr<FileOperation> operation = makeOperation();
        SCOPED_TRACE(operation->words().procedureName.toStdString());
        file("one/conf", "copied\r\n");
        file("dot/conf", "old\r\n");
        ASSERT_TRUE(platform::SetFileDate(target, Typed));
        run(*operation, row, sides);
        EXPECT_EQ(m_errorList, QString());
        EXPECT_EQ(operation->rowsDone(), 1);
        EXPECT_EQ(QFileInfo(conf).symLinkTarget(), target);
        EXPECT_EQ(read(target), written);
        if (written == "old\r\n") {
            EXPECT_EQ(QFileInfo(target).lastModified(), QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
        }

        QFile::setPermissions(target, QFile::ReadOwner);
        const std::unique_ptr<FileOperation> swapped = makeOperation();
        testing::QuestionHook hook([&] {
            ASSERT_EQ(::rename(QFile::encodeName(target).constData(), QFile::encodeName(target + ".away").constData()), 0);
            ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(target).constData()), 0);
        });
        run(*swapped, row, sides);
        EXPECT_EQ(m_errorList, "\r\n" + target + QStringLiteral(" : リンクは辿りません"));
        EXPECT_EQ(read(elsewhere), "elsewhere\r\n");
        EXPECT_EQ(QFileInfo(elsewhere).lastModified(), Typed);
        ASSERT_TRUE(QFile::remove(target));
        ASSERT_TRUE(QFile::rename(target + ".away", target));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
}

} // namespace
} // namespace foldercompare::operations
