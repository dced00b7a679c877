#include "foldercompare/listing/tree_walk.h"

#include "common/saved_error.h"
#include "foldercompare/listing/side_gathering.h"
#include "foldercompare/listing/testing_host.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/unprivileged_scope.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare::listing {
namespace {

using platform::testing::removeRawContents;
using platform::testing::TemporaryFolder;
using testing::RecordingHost;
using testing::setModified;

constexpr qint64 T1 = 1577934245; // 2020/01/02 03:04:05 UTC
constexpr qint64 T2 = 1609556645; // 2021/01/02 03:04:05 UTC
constexpr qint64 T3 = 1641092645; // 2022/01/02 03:04:05 UTC

// Builds trees in a temporary folder and reads the listing lines that a walk gives.
class TreeWalkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        unsetenv("TZ");
        tzset();
    }

    QString file(const QString &relative, const QByteArray &content, qint64 modified)
    {
        const QString path = m_folder.writeFile("root/" + relative, content);
        setModified(path, modified);
        return path;
    }
    QString folder(const QString &relative, qint64 modified)
    {
        const QString path = m_folder.makeFolder("root/" + relative);
        setModified(path, modified);
        return path;
    }
    QString root() const { return m_folder.filePath("root"); }

    // The walk's entries as sorted listing lines without line ends.
    QStringList lines(WalkResult result)
    {
        SortEntries(result.entries);
        QString text = QString::fromUtf8(FormatFileInfoLog(result.entries));
        text.chop(2);
        return text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
    }
    QStringList walk(const QString &path, int folderNum = 999)
    {
        TreeWalk walk(m_host, folderNum);
        return lines(walk.walk(path));
    }

    TemporaryFolder m_folder;
    RecordingHost m_host;
};

TEST_F(TreeWalkTest, FolderRecordsCarryNewestDateTotalSizeAndEntryCount)
{
    file("a.txt", "abc", T1);
    file("sub/b.txt", "12345", T2);
    file("sub/deep/c.txt", "1", T1);
    folder("sub/deep", T1);
    folder("sub/empty", T3);
    folder("sub", T1);
    folder("empty", T2);
    EXPECT_EQ(walk(root()), (QStringList{
                                "a.txt\t2020/01/02 03:04:05\t3\t0",
                                "empty/\t2021/01/02 03:04:05\t0\t0",
                                "sub/\t2021/01/02 03:04:05\t6\t4",
                                "sub/b.txt\t2021/01/02 03:04:05\t5\t0",
                                "sub/deep/\t2020/01/02 03:04:05\t1\t1",
                                "sub/deep/c.txt\t2020/01/02 03:04:05\t1\t0",
                                "sub/empty/\t2022/01/02 03:04:05\t0\t0",
                            }))
        << "an empty folder keeps its own date but gives its parent none";
    EXPECT_TRUE(m_host.failures.isEmpty());
    EXPECT_GT(m_host.pumps, 0);
}

TEST_F(TreeWalkTest, EntriesComeInTheListingsOrder)
{
    for (const char *name : {"b.txt", "a.txt", "a/x", "a/B", "a.b/y", "ab", "Z/q", "z.txt", "sub/deep/m", "sub.txt"})
        file(QString::fromUtf8(name), "x", T1);
    TreeWalk walk(m_host, 999);
    const WalkResult result = walk.walk(root());
    EXPECT_FALSE(result.needsSort);
    std::vector<GatheredEntry> sorted = result.entries;
    SortEntries(sorted);
    ASSERT_EQ(sorted.size(), result.entries.size());
    for (size_t i = 0; i < sorted.size(); ++i)
        EXPECT_EQ(result.entries[i].path, sorted[i].path);
}

TEST_F(TreeWalkTest, FoldersDifferingInLetterCaseAreSortedAsAWhole)
{
    file("A/x.txt", "1", T1);
    file("A/z.txt", "1", T1);
    file("a/y.txt", "1", T1);
    TreeWalk walk(m_host, 999);
    EXPECT_TRUE(walk.walk(root()).needsSort);
    m_folder.makeFolder("work");
    GatherLocalSide(root(), m_folder.filePath("work/0.log"), 999, m_host);
    QStringList paths;
    FileInfoLogReader reader(m_folder.filePath("work/0.log"));
    while (const std::optional<FileInfoRecord> record = reader.next())
        paths.append(record->pathText());
    EXPECT_EQ(paths, (QStringList{"A/", "a/", "A/x.txt", "a/y.txt", "A/z.txt"}));
}

TEST_F(TreeWalkTest, DepthLimitOneListsOnlyTheRootsEntries)
{
    file("a.txt", "abc", T1);
    file("sub/b.txt", "12345", T3);
    folder("sub", T2);
    EXPECT_EQ(walk(root(), 1), (QStringList{"a.txt\t2020/01/02 03:04:05\t3\t0", "sub/\t2021/01/02 03:04:05\t0\t0"}));
    EXPECT_EQ(walk(root(), 2).size(), 3);
}

TEST_F(TreeWalkTest, AFileRootListsTheFileUnderItsName)
{
    const QString path = file("one file.txt", "12", T1);
    EXPECT_EQ(walk(path), QStringList{"one file.txt\t2020/01/02 03:04:05\t2\t0"});
    const LocalRoot root = ResolveLocalRoot(path);
    EXPECT_TRUE(root.isFile);
    EXPECT_EQ(root.rootPrefix, this->root() + "/");
}

TEST_F(TreeWalkTest, TrailingSlashAndRelativePathsGiveTheSameRoot)
{
    file("a.txt", "abc", T1);
    const QStringList expected = walk(root());
    EXPECT_EQ(walk(ResolveLocalRoot(root() + "/").absolutePath), expected);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_folder.path());
    const LocalRoot relative = ResolveLocalRoot("./root/../root/");
    QDir::setCurrent(previous);
    EXPECT_EQ(relative.absolutePath, root());
    EXPECT_EQ(relative.rootPrefix, root() + "/");
    EXPECT_FALSE(relative.isFile);
}

TEST_F(TreeWalkTest, SystemFoldersDirectlyUnderTheRootAreLeftOut)
{
    for (const char *name : {"RECYCLER", "Recycler.old", "System Volume Information", ".Trash", ".Trash-1000",
                             "lost+found"})
        file(QString::fromUtf8(name) + "/x.txt", "x", T1);
    file("recycler.txt", "x", T1);
    file("sub/RECYCLER/y.txt", "y", T1);
    file("sub/.Trash-1000/z.txt", "z", T1);
    file(".Trashcan/w.txt", "w", T1);
    QStringList paths;
    for (const QString &line : walk(root()))
        paths.append(line.section(u'\t', 0, 0));
    EXPECT_EQ(paths, (QStringList{".Trashcan/", ".Trashcan/w.txt", "sub/", "sub/.Trash-1000/", "sub/.Trash-1000/z.txt",
                                  "sub/RECYCLER/", "sub/RECYCLER/y.txt"}));
}

TEST_F(TreeWalkTest, SymbolicLinksAreListedAsWhatTheyPointToWithoutLoops)
{
    file("target.txt", "12345", T2);
    folder("sub", T1);
    ASSERT_EQ(symlink("../target.txt", m_folder.filePath("root/sub/link.txt").toUtf8().constData()), 0);
    ASSERT_EQ(symlink("..", m_folder.filePath("root/sub/up").toUtf8().constData()), 0);
    ASSERT_EQ(symlink("missing", m_folder.filePath("root/broken").toUtf8().constData()), 0);
    setModified(m_folder.filePath("root/sub"), T1);
    const QStringList listed = walk(root());
    EXPECT_EQ(listed, (QStringList{
                          "sub/\t2021/01/02 03:04:05\t5\t2",
                          "sub/link.txt\t2021/01/02 03:04:05\t5\t0",
                          "sub/up/\t" + listed.value(2).section(u'\t', 1, 1) + "\t0\t0",
                          "target.txt\t2021/01/02 03:04:05\t5\t0",
                      }));
}

TEST_F(TreeWalkTest, NamesALineCannotHoldAreLeftOutAndNamed)
{
    file("with space 'quote' \"double\" back\\slash.txt", "1", T1);
    file(QStringLiteral("日本語.txt"), "2", T1);
    file("line\nbreak.txt", "3", T1);
    file("tab\there/inner.txt", "4", T1);
    const QByteArray invalid = QFile::encodeName(root()) + "/bad\xff\xfe.txt";
    int fd = ::open(invalid.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);

    TreeWalk walk(m_host, 999);
    WalkResult result = walk.walk(root());
    const QStringList excluded = result.excludedPaths;
    QStringList paths;
    for (const QString &line : lines(std::move(result)))
        paths.append(line.section(u'\t', 0, 0));
    EXPECT_EQ(paths, (QStringList{"with space 'quote' \"double\" back\\slash.txt", QStringLiteral("日本語.txt")}));
    EXPECT_EQ(excluded.size(), 3);
    EXPECT_TRUE(excluded.contains("line\nbreak.txt"));
    EXPECT_TRUE(excluded.contains("tab\there/")) << "a folder is left out with everything below it";
}

TEST_F(TreeWalkTest, EntriesThatCannotBeExaminedAreLeftOutAndNamed)
{
    // Each entry is alone in its folder, so that it is the last one the folder gives.
    const struct
    {
        const char *name;
        const char *excluded;
        bool leadsNowhere; // a link, named apart from the other entries
        std::function<void()> make;
    } cases[] = {
        {"dangling link", "dangling/link", true,
         [this] {
             folder("dangling", T1);
             ASSERT_EQ(symlink("/nonexistent", m_folder.filePath("root/dangling/link").toUtf8().constData()), 0);
         }},
        {"link to itself", "looping/self", true,
         [this] {
             folder("looping", T1);
             ASSERT_EQ(symlink("self", m_folder.filePath("root/looping/self").toUtf8().constData()), 0);
         }},
        {"folder that lets its names be read but not examined", "closed/inside.txt", false,
         [this] {
             file("closed/inside.txt", "1", T1);
             chmod(m_folder.filePath("root/closed").toUtf8().constData(), 0644);
         }},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        removeRawContents(m_folder.path());
        file("a.txt", "1", T1);
        testCase.make();
        platform::testing::allowOthers(m_folder.path());
        WalkResult result;
        {
            platform::testing::UnprivilegedScope unprivileged;
            TreeWalk walk(m_host, 999);
            result = walk.walk(root());
        }
        chmod(m_folder.filePath("root/closed").toUtf8().constData(), 0755);
        const QStringList named{testCase.excluded};
        EXPECT_EQ(result.excludedPaths, testCase.leadsNowhere ? QStringList() : named);
        EXPECT_EQ(result.linksLeadingNowhere, testCase.leadsNowhere ? named : QStringList());
        EXPECT_EQ(result.entries.size(), 2u) << "the file and the folder that held the entry";
        EXPECT_TRUE(m_host.failures.isEmpty()) << m_host.failures.join(u'\n').toStdString();
        m_host.failures.clear();
    }
}

TEST_F(TreeWalkTest, AnUnreadableSubfolderIsReportedAndLeftOut)
{
    file("a.txt", "1", T1);
    file("locked/secret.txt", "2", T1);
    file("open/b.txt", "3", T1);
    platform::testing::allowOthers(m_folder.path());
    chmod(m_folder.filePath("root/locked").toUtf8().constData(), 0);
    QStringList paths;
    {
        platform::testing::UnprivilegedScope unprivileged;
        for (const QString &line : walk(root()))
            paths.append(line.section(u'\t', 0, 0));
    }
    chmod(m_folder.filePath("root/locked").toUtf8().constData(), 0755);
    EXPECT_EQ(paths, (QStringList{"a.txt", "open/", "open/b.txt"}));
    ASSERT_EQ(m_host.failures.size(), 1);
    EXPECT_TRUE(m_host.failures[0].startsWith("GetFileDate: "));
    EXPECT_TRUE(m_host.failures[0].contains("locked/"));
}

TEST_F(TreeWalkTest, AbortStopsTheWalk)
{
    for (int i = 0; i < 20; ++i)
        file(QStringLiteral("f%1.txt").arg(i), "x", T1);
    m_host.abortAfterPumps = 5;
    TreeWalk walk(m_host, 999);
    const WalkResult result = walk.walk(root());
    EXPECT_TRUE(result.aborted);
    EXPECT_LT(result.entries.size(), 20u);
}

TEST_F(TreeWalkTest, CaptionShowsTheFolderBeingWalked)
{
    EXPECT_EQ(TreeWalk::ProgressCaption("/tmp/a/", ""), "取得中 /tmp/a/...");
    EXPECT_EQ(TreeWalk::ProgressCaption("/home/user/projects/x/", "sub/deep/"), "取得中 /home...rojects/x/sub/deep/...");
    file("a.txt", "1", T1);
    walk(root());
    ASSERT_FALSE(m_host.captions.isEmpty());
    EXPECT_EQ(m_host.captions[0].left(4), "取得中 ");
}

// What a walk gave, for comparing walks: its records in the order it gave them, what it
// left out, the failures it reported and the facts it kept.
struct WalkRecord
{
    QByteArray records;
    bool needsSort = false;
    bool rootUnreadable = false;
    QStringList excluded;
    QStringList linksLeadingNowhere;
    QStringList failures;
    QHash<QByteArray, std::pair<dev_t, ino_t>> folders;
    QSet<QByteArray> linkedFiles;

    bool operator==(const WalkRecord &other) const = default;
};

TEST_F(TreeWalkTest, AnyNumberOfThreadsGivesTheSameWalk)
{
    // Many folders of files at several depths, with links (to a file, to a folder
    // elsewhere, back to the root, dangling), names a listing cannot hold, folders
    // differing in letter case, a skipped system folder, a folder whose entries cannot
    // be examined, an unreadable folder and a chain beyond the path limit.
    for (int top = 0; top < 12; ++top)
        for (int sub = 0; sub < 6; ++sub)
            for (int i = 0; i < 4; ++i)
                file(QStringLiteral("d%1/s%2/%3/f%4.txt").arg(top).arg(sub).arg(i % 2 ? "deep/er" : "x").arg(i),
                     QByteArray(top + sub + i, 'x'), T1 + top * 1000 + sub * 10 + i);
    const QByteArray base = QFile::encodeName(root());
    ASSERT_EQ(symlink("../../d2/s1/x/f0.txt", (base + "/d1/s0/to-file").constData()), 0);
    ASSERT_EQ(symlink("../../d3", (base + "/d1/s0/to-folder").constData()), 0);
    ASSERT_EQ(symlink("../..", (base + "/d0/s0/up").constData()), 0);
    ASSERT_EQ(symlink("/nonexistent", (base + "/d2/dangling").constData()), 0);
    file("d4/bad\nname.txt", "1", T2);
    file("d4/tab\tfolder/inner.txt", "1", T2);
    const int invalid = ::open((base + "/d5/bad\xff.txt").constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(invalid, 0);
    ::close(invalid);
    file("d6/Case/a.txt", "1", T2);
    file("d6/case/b.txt", "1", T2);
    file("RECYCLER/r.txt", "1", T2);
    file("d7/closed/inside.txt", "1", T2);
    file("d8/locked/secret.txt", "1", T2);
    testing::DeepChain chain(root() + "/d9", 40, 200);
    chain.writeFile("deep.txt", "12345", T3);

    const auto walkWith = [this](const QStringList &roots, int folderNum, int threads) {
        TreeWalk walk(m_host, folderNum, threads);
        m_host.failures.clear();
        std::vector<WalkRecord> records;
        for (WalkResult &result : walk.walk(roots))
            records.push_back({FormatFileInfoLog(result.entries), result.needsSort, result.rootUnreadable,
                               result.excludedPaths, result.linksLeadingNowhere, {}, result.facts.folders,
                               result.facts.linkedFiles});
        records.front().failures = m_host.failures;
        return records;
    };
    platform::testing::allowOthers(m_folder.path());
    chmod(m_folder.filePath("root/d7/closed").toUtf8().constData(), 0644);
    chmod(m_folder.filePath("root/d8/locked").toUtf8().constData(), 0);
    {
        platform::testing::UnprivilegedScope unprivileged;
        const QString missing = m_folder.filePath("missing");
        for (int folderNum : {2, 999}) {
            SCOPED_TRACE(folderNum);
            const WalkRecord alone = walkWith({root()}, folderNum, 1).front();
            EXPECT_EQ(alone.failures.size(), folderNum == 999 ? 1 : 0);
            EXPECT_TRUE(alone.needsSort);
            for (int threads : {2, 16}) {
                SCOPED_TRACE(threads);
                EXPECT_TRUE(walkWith({root()}, folderNum, threads).front() == alone);
                // Several roots at once: each as alone, failures root by root.
                std::vector<WalkRecord> together = walkWith({root(), missing, root()}, folderNum, threads);
                ASSERT_EQ(together.size(), 3u);
                EXPECT_EQ(together[0].failures, alone.failures + walkWith({missing}, folderNum, 1).front().failures
                                                    + alone.failures);
                together[0].failures = alone.failures;
                together[2].failures = alone.failures;
                EXPECT_TRUE(together[0] == alone);
                EXPECT_TRUE(together[1].rootUnreadable);
                EXPECT_TRUE(together[2] == alone);
            }
        }
        const WalkRecord full = walkWith({root()}, 999, 16).front();
        EXPECT_TRUE(full.records.contains((chain.relative() + "deep.txt\t2022/01/02 03:04:05\t5\t0\r\n").toUtf8()));
        EXPECT_TRUE(full.records.contains("d1/s0/to-folder/s5/x/f0.txt\t"));
        EXPECT_TRUE(full.records.contains("d0/s0/up/\t"));
        EXPECT_FALSE(full.records.contains("d0/s0/up/d"));
        QStringList excluded = full.excluded;
        excluded.sort();
        EXPECT_EQ(excluded,
                  (QStringList{"d4/bad\nname.txt", "d4/tab\tfolder/", "d5/bad\uFFFD.txt", "d7/closed/inside.txt"}));
        EXPECT_EQ(full.linksLeadingNowhere, QStringList{"d2/dangling"});
    }
    chmod(m_folder.filePath("root/d7/closed").toUtf8().constData(), 0755);
    chmod(m_folder.filePath("root/d8/locked").toUtf8().constData(), 0755);
}

// Gathering a side writes the listing and its copy, or leaves both as they were.
class GatherLocalSideTest : public TreeWalkTest
{
protected:
    QString listing() const { return m_folder.filePath("work/0.log"); }
    void SetUp() override
    {
        TreeWalkTest::SetUp();
        m_folder.makeFolder("work");
    }
};

TEST_F(GatherLocalSideTest, WritesTheListingAndItsCopy)
{
    file("b.txt", "12", T1);
    file("A.txt", "1", T2);
    file("a.txt", "1", T3);
    m_folder.writeFile("work/0.log", "old listing");
    const GatherOutcome outcome = GatherLocalSide(root(), listing(), 999, m_host);
    EXPECT_EQ(outcome.kind, GatherOutcome::Kind::Written);
    EXPECT_EQ(outcome.writtenCount, 3);
    const QByteArray expected = "A.txt\t2021/01/02 03:04:05\t1\t0\r\n"
                                "a.txt\t2022/01/02 03:04:05\t1\t0\r\n"
                                "b.txt\t2020/01/02 03:04:05\t2\t0\r\n";
    EXPECT_EQ(TemporaryFolder::readFile(listing()), expected);
    EXPECT_EQ(TemporaryFolder::readFile(listing() + ".bak"), expected);
    EXPECT_EQ(QDir(m_folder.filePath("work")).entryList(QDir::Files), (QStringList{"0.log", "0.log.bak"}));
}

TEST_F(GatherLocalSideTest, AnEmptyRootGivesAnEmptyListing)
{
    folder("", T1);
    const GatherOutcome outcome = GatherLocalSide(root(), listing(), 999, m_host);
    EXPECT_EQ(outcome.kind, GatherOutcome::Kind::Written);
    EXPECT_EQ(outcome.writtenCount, 0);
    EXPECT_TRUE(QFileInfo::exists(listing()));
    EXPECT_EQ(TemporaryFolder::readFile(listing()), QByteArray());
}

TEST_F(GatherLocalSideTest, AnAbortedGatheringLeavesThePreviousListing)
{
    for (int i = 0; i < 20; ++i)
        file(QStringLiteral("f%1.txt").arg(i), "x", T1);
    m_folder.writeFile("work/0.log", "previous");
    m_folder.writeFile("work/0.log.bak", "previous copy");
    m_host.abortAfterPumps = 3;
    const GatherOutcome outcome = GatherLocalSide(root(), listing(), 999, m_host);
    EXPECT_EQ(outcome.kind, GatherOutcome::Kind::Aborted);
    EXPECT_EQ(TemporaryFolder::readFile(listing()), "previous");
    EXPECT_EQ(TemporaryFolder::readFile(listing() + ".bak"), "previous copy");
}

TEST_F(GatherLocalSideTest, AnUnreadableRootWritesNothing)
{
    folder("", T1);
    m_folder.writeFile("work/0.log", "previous");
    platform::testing::allowOthers(m_folder.path());
    chmod(root().toUtf8().constData(), 0);
    GatherOutcome outcome;
    {
        platform::testing::UnprivilegedScope unprivileged;
        outcome = GatherLocalSide(root(), listing(), 999, m_host);
    }
    chmod(root().toUtf8().constData(), 0755);
    EXPECT_EQ(outcome.kind, GatherOutcome::Kind::RootUnreadable);
    EXPECT_EQ(TemporaryFolder::readFile(listing()), "previous");
    EXPECT_EQ(m_host.failures.size(), 1);
}

TEST_F(GatherLocalSideTest, FoldersBeyondThePathLimitAreListedAndTheirFactsChecked)
{
    folder("", T1);
    testing::DeepChain chain(root(), 40, 200);
    chain.writeFile("deep.txt", "12345", T2);
    const GatherOutcome outcome = GatherLocalSide(root(), listing(), 999, m_host);
    EXPECT_EQ(outcome.writtenCount, 41);
    EXPECT_TRUE(TemporaryFolder::readFile(listing()).contains((chain.relative() + "deep.txt\t2021/01/02 03:04:05\t5\t0").toUtf8()));
    ASSERT_TRUE(outcome.facts.has_value());
    if (!TrustsChangeTimes(root()))
        GTEST_SKIP() << "the temporary folder's file system does not keep reliable change times";
    GatheringFacts later = *outcome.facts;
    later.startedNs += qint64(3600) * 1000000000;
    QHash<dev_t, bool> devices;
    EXPECT_TRUE(FolderUnchangedSince(later, chain.relative().toUtf8(), devices));
}

TEST_F(GatherLocalSideTest, SidesGatheredAtOnceEndAsEachWouldAlone)
{
    for (int i = 0; i < 30; ++i) {
        file(QStringLiteral("sub%1/f%2.txt").arg(i % 3).arg(i), "1", T1 + i);
        setModified(m_folder.writeFile(QStringLiteral("two/f%1.txt").arg(i), "22"), T2 + i);
    }
    const QString two = m_folder.filePath("two");
    const QString second = m_folder.filePath("work/1.log");
    GatherLocalSide(root(), listing(), 999, m_host);
    const QByteArray first = TemporaryFolder::readFile(listing());
    GatherLocalSide(two, second, 999, m_host);
    const QByteArray alone = TemporaryFolder::readFile(second);
    const auto outcomes = [](const std::vector<LocalSideResult> &results) {
        QList<GatherOutcome::Kind> kinds;
        for (const LocalSideResult &result : results)
            kinds.append(result.failure ? GatherOutcome::Kind::RootUnreadable : result.outcome.kind);
        return kinds;
    };
    using enum GatherOutcome::Kind;

    QFile::remove(listing());
    QFile::remove(second);
    std::vector<LocalSideResult> results = GatherLocalSides({{root(), listing()}, {two, second}}, 999, m_host);
    EXPECT_EQ(outcomes(results), (QList{Written, Written}));
    EXPECT_EQ(results[0].outcome.writtenCount, 33);
    EXPECT_TRUE(results[0].outcome.facts.has_value());
    EXPECT_EQ(TemporaryFolder::readFile(listing()), first);
    EXPECT_EQ(TemporaryFolder::readFile(listing() + ".bak"), first);
    EXPECT_EQ(TemporaryFolder::readFile(second), alone);

    // A side that fails fails alone: the other is still written.
    QFile::remove(second);
    results = GatherLocalSides({{m_folder.filePath("missing"), listing()}, {two, second}}, 999, m_host);
    EXPECT_EQ(outcomes(results)[0], RootUnreadable);
    EXPECT_FALSE(results[0].failure);
    EXPECT_EQ(m_host.failures.size(), 1);
    EXPECT_EQ(TemporaryFolder::readFile(second), alone);
    QFile::remove(second);
    results = GatherLocalSides({{root(), m_folder.filePath("no/such/0.log")}, {two, second}}, 999, m_host);
    ASSERT_TRUE(results[0].failure);
    EXPECT_THROW(std::rethrow_exception(results[0].failure), common::Failure);
    EXPECT_EQ(results[1].outcome.kind, Written);
    EXPECT_EQ(TemporaryFolder::readFile(second), alone);

    // An abort stops both, and neither listing changes.
    m_folder.writeFile("work/0.log", "previous");
    m_folder.writeFile("work/1.log", "previous");
    m_host.abortAfterPumps = m_host.pumps + 3;
    results = GatherLocalSides({{root(), listing()}, {two, second}}, 999, m_host);
    EXPECT_EQ(outcomes(results), (QList{Aborted, Aborted}));
    EXPECT_EQ(TemporaryFolder::readFile(listing()), "previous");
    EXPECT_EQ(TemporaryFolder::readFile(second), "previous");
}

TEST_F(GatherLocalSideTest, AListingThatCannotBeWrittenIsAFailure)
{
    file("a.txt", "1", T1);
    EXPECT_THROW(GatherLocalSide(root(), m_folder.filePath("no/such/folder/0.log"), 999, m_host), common::Failure);
}

} // namespace
} // namespace foldercompare::listing
