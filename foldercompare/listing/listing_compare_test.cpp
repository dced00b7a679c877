#include "foldercompare/listing/listing_compare.h"

#include "common/saved_error.h"
#include "foldercompare/listing/side_gathering.h"
#include "foldercompare/listing/testing_host.h"
#include "platform/flex_grid.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace foldercompare::listing {
namespace {

using platform::testing::TemporaryFolder;
using testing::RecordingHost;
using testing::setModified;

constexpr qint64 T1 = 1577934245; // 2020/01/02 03:04:05 UTC
constexpr qint64 T2 = 1609556645; // 2021/01/02 03:04:05 UTC
const QString D1 = QStringLiteral("2020/01/02 03:04:05");
const QString D2 = QStringLiteral("2021/01/02 03:04:05");

// A content comparison that answers from a table and records what it was asked.
class FakeContent : public ContentCheck
{
public:
    FileResult CheckFileUpd(const QString &path1, const QString &path2) override
    {
        fileCalls.append(QFileInfo(path1).fileName());
        FileResult result;
        result.differ = differingFiles.contains(QFileInfo(path1).fileName());
        result.code1 = codes.value(path1);
        result.code2 = codes.value(path2);
        return result;
    }
    bool CheckFolderUpd(const QString &path1, const QString &) override
    {
        folderCalls.append(path1);
        return differingFolders.contains(QFileInfo(QDir::cleanPath(path1)).fileName());
    }
    QString GetFileCode(const QString &path) override { return QStringLiteral("judged:") + QFileInfo(path).fileName(); }

    QStringList differingFiles;
    QStringList differingFolders;
    QHash<QString, QString> codes;
    QStringList fileCalls;
    QStringList folderCalls;
};

// Two trees, their listings, and the grid the comparison fills.
class CompareListingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        m_folder.makeFolder("work");
        m_folder.makeFolder("one");
        m_folder.makeFolder("two");
        m_request.colors = {0x000011, 0x000022, 0x000033, 0x000044};
    }
    void TearDown() override
    {
        unsetenv("TZ");
        tzset();
    }

    QString file(int side, const QString &relative, const QByteArray &content, qint64 modified)
    {
        const QString path = m_folder.writeFile(sideFolder(side) + u'/' + relative, content);
        setModified(path, modified);
        return path;
    }
    QString sideFolder(int side) const { return side == 0 ? QStringLiteral("one") : QStringLiteral("two"); }
    QString sidePath(int side) const { return m_folder.filePath(sideFolder(side)); }
    QString listing(int side) const { return m_folder.filePath(QStringLiteral("work/%1.log").arg(side)); }

    // Gathers the given sides of the trees (as the window would) and compares them.
    CompareOutcome compare(std::array<bool, 2> gathered = {true, true})
    {
        RecordingHost gatherHost;
        for (int side = 0; side < 2; ++side) {
            m_request.hasInformation[side] = gathered[side];
            m_request.listingFile[side] = listing(side);
            if (gathered[side] && m_request.sideRoot[side].isEmpty()) {
                m_request.sideRoot[side] = sidePath(side);
                m_request.pathText[side] = sidePath(side);
            }
            if (gathered[side])
                GatherLocalSide(m_request.sideRoot[side], listing(side), 999, gatherHost);
        }
        return CompareListings(m_request, m_grid, m_tips, m_host, m_content);
    }

    // Each data row as "status|side 1|side 2|path".
    QStringList rows() const
    {
        QStringList result;
        for (int row = 1; row < m_grid.rows(); ++row)
            result.append(QStringList{m_grid.textMatrix(row, 1), m_grid.textMatrix(row, 2), m_grid.textMatrix(row, 3),
                                      m_grid.textMatrix(row, 4)}
                              .join(u'|'));
        return result;
    }
    quint32 colorOf(int row) const { return m_grid.backColorAt(row, 1); }

    TemporaryFolder m_folder;
    platform::FlexGrid m_grid;
    RowTipTable m_tips;
    RecordingHost m_host{&m_grid};
    FakeContent m_content;
    CompareRequest m_request;
};

TEST_F(CompareListingsTest, StatusTextAndColourOfEachKindOfFileRow)
{
    file(0, "same.txt", "abc", T1);
    file(1, "same.txt", "abc", T1);
    file(0, "dated.txt", "abc", T1);
    file(1, "dated.txt", "xyz", T2);
    file(0, "changed.txt", "abc", T1);
    file(1, "changed.txt", "abcd", T1);
    file(1, "added.txt", "1", T1);
    file(0, "deleted.txt", "1", T2);
    file(0, "sub/inner.txt", "1", T1);
    file(1, "sub/inner.txt", "1", T1);
    setModified(m_folder.filePath("one/sub"), T1);
    setModified(m_folder.filePath("two/sub"), T1);

    const CompareOutcome outcome = compare();
    EXPECT_EQ(rows(), (QStringList{
                          "追加||" + D1 + "|added.txt",
                          "変更|" + D1 + "|" + D1 + "|changed.txt",
                          "日時|" + D1 + "|" + D2 + "|dated.txt",
                          "削除|" + D2 + "||deleted.txt",
                          "|" + D1 + "|" + D1 + "|same.txt",
                          "|" + D1 + "|" + D1 + "|sub/",
                          "|" + D1 + "|" + D1 + "|sub/inner.txt",
                      }));
    const quint32 colors[] = {0x22, 0x11, 0x44, 0x33, 0, 0, 0};
    for (int row = 1; row <= 7; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(colorOf(row), colors[row - 1]);
        EXPECT_EQ(m_grid.backColorAt(row, 4), colors[row - 1]);
        EXPECT_EQ(m_grid.backColorAt(row, 0), 0u) << "the number column keeps its look";
        EXPECT_EQ(m_grid.textMatrix(row, 0), QString::number(row));
        EXPECT_EQ(m_grid.rowData(row), row);
    }
    EXPECT_EQ(outcome.compareCount, 7);
    EXPECT_EQ(outcome.diffRowCount, 3) << "日時 is not counted";
    EXPECT_FALSE(outcome.rowLimitReached);
    EXPECT_TRUE(m_content.fileCalls.isEmpty()) << "contents are compared only on request";

    ASSERT_EQ(m_tips.size(), 8);
    EXPECT_EQ(m_tips[1][0], "");
    EXPECT_EQ(m_tips[1][1], "2. " + D1 + " (1byte) added.txt");
    EXPECT_EQ(m_tips[2][0], "1. " + D1 + " (3byte) changed.txt");
}

TEST_F(CompareListingsTest, FolderRowsWithoutSubfolderContents)
{
    m_request.listSubfolders = false;
    file(0, "grown/a.txt", "1", T1);
    file(1, "grown/a.txt", "1", T1);
    file(1, "grown/b.txt", "1", T1);
    file(0, "bigger/a.txt", "1", T1);
    file(1, "bigger/a.txt", "12", T1);
    file(0, "newer/a.txt", "1", T1);
    file(1, "newer/a.txt", "1", T2);
    file(0, "same/a.txt", "1", T1);
    file(1, "same/a.txt", "1", T1);
    m_folder.makeFolder("one/empty");
    m_folder.makeFolder("two/empty");
    setModified(m_folder.filePath("one/empty"), T1);
    setModified(m_folder.filePath("two/empty"), T2);

    compare();
    EXPECT_EQ(rows(), (QStringList{
                          "変更|" + D1 + "|" + D1 + "|bigger/",
                          "|" + D1 + "|" + D2 + "|empty/",
                          "変更|" + D1 + "|" + D1 + "|grown/",
                          "日時|" + D1 + "|" + D2 + "|newer/",
                          "|" + D1 + "|" + D1 + "|same/",
                      }))
        << "two empty folders are the same whatever their dates; subfolder contents are not listed";
}

TEST_F(CompareListingsTest, DifferencesOnlyDecidesByStatusNotByColour)
{
    m_request.differencesOnly = true;
    m_request.colors = {0, 0x000022, 0x000033, 0};
    file(0, "changed.txt", "abc", T1);
    file(1, "changed.txt", "abcd", T1);
    file(0, "dated.txt", "abc", T1);
    file(1, "dated.txt", "abc", T2);
    file(0, "same.txt", "abc", T1);
    file(1, "same.txt", "abc", T1);

    const CompareOutcome outcome = compare();
    EXPECT_EQ(rows(), (QStringList{"変更|" + D1 + "|" + D1 + "|changed.txt", "日時|" + D1 + "|" + D2 + "|dated.txt"}))
        << "a colour of 000000 must not hide a change";
    EXPECT_EQ(outcome.diffRowCount, 1);
    EXPECT_EQ(outcome.compareCount, 3) << "dropped rows are counted as steps";
    EXPECT_EQ(m_tips[2][1], "2. " + D2 + " (3byte) dated.txt");
}

TEST_F(CompareListingsTest, EqualColoursStillCountOnlyChanges)
{
    m_request.differencesOnly = true;
    m_request.colors = {0x77, 0x77, 0x77, 0x77};
    file(0, "changed.txt", "abc", T1);
    file(1, "changed.txt", "abcd", T1);
    file(0, "dated.txt", "abc", T1);
    file(1, "dated.txt", "abc", T2);
    const CompareOutcome outcome = compare();
    EXPECT_EQ(outcome.diffRowCount, 1);
    EXPECT_EQ(colorOf(1), 0x77u);
    EXPECT_EQ(colorOf(2), 0x77u);
}

TEST_F(CompareListingsTest, DateOnlyDifferenceIgnoredWhenAsked)
{
    m_request.updDateNone = true;
    file(0, "dated.txt", "abc", T1);
    file(1, "dated.txt", "abc", T2);
    compare();
    EXPECT_EQ(rows(), QStringList{"|" + D1 + "|" + D2 + "|dated.txt"});
    m_request.differencesOnly = true;
    const CompareOutcome outcome = compare();
    EXPECT_EQ(rows(), QStringList{"|||"});
    EXPECT_EQ(outcome.compareCount, 1);
    EXPECT_TRUE(outcome.showFirstDiff == m_request.showFirstDiff);
}

TEST_F(CompareListingsTest, DatesOfAServersListingCountAsFarAsTheListingStatesThem)
{
    m_request.newDateAsta = true;
    const qint64 minute = T1 - 5;        // 2020/01/02 03:04:00
    const qint64 midnight = T1 - 11045;  // 2020/01/02 00:00:00
    const struct
    {
        const char *name;
        std::array<bool, 2> listed;
        qint64 one;
        qint64 two;
        QString status;
    } cases[] = {
        {"a listed minute holds the disk's seconds", {true, false}, minute, T1, ""},
        {"on either side", {false, true}, T1, minute, ""},
        {"another minute differs", {true, false}, minute, minute + 60 + 5, "日時"},
        {"a listed day holds its whole day", {true, false}, midnight, T1, ""},
        {"another day differs", {true, false}, midnight, midnight + 86400 + 7, "日時"},
        {"listed seconds are compared", {true, false}, T1, T1 + 1, "日時"},
        {"dates of disks are compared to the second", {false, false}, minute, T1, "日時"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_request.fromServerListing = c.listed;
        file(0, "a.txt", "same", c.one);
        file(1, "a.txt", "same", c.two);
        compare();
        ASSERT_EQ(rows().size(), 1);
        EXPECT_EQ(rows()[0].section(u'|', 0, 0), c.status);
        EXPECT_EQ(rows()[0].contains(u'*'), !c.status.isEmpty()) << rows()[0].toStdString();
    }
}

TEST_F(CompareListingsTest, OneSideWithoutInformationListsTheOtherWithoutStatus)
{
    m_request.differencesOnly = true;
    file(0, "a.txt", "abc", T1);
    file(0, "b.txt", "abc", T1);
    const CompareOutcome outcome = compare({true, false});
    EXPECT_EQ(rows(), (QStringList{"|" + D1 + "||a.txt", "|" + D1 + "||b.txt"}));
    EXPECT_EQ(colorOf(1), 0u);
    EXPECT_EQ(outcome.diffRowCount, 0);
}

TEST_F(CompareListingsTest, NamesPairOnlyWhenTheyAreEqualExactly)
{
    file(0, "a.txt", "abc", T1);
    file(1, "A.txt", "abc", T1);
    compare();
    EXPECT_EQ(rows(), (QStringList{"追加||" + D1 + "|A.txt", "削除|" + D1 + "||a.txt"}));
}

TEST_F(CompareListingsTest, FilesRemovedSinceGatheringCountAsMissing)
{
    const QString gone1 = file(0, "gone1.txt", "abc", T1);
    file(1, "gone1.txt", "abc", T1);
    file(0, "gone2.txt", "abc", T1);
    const QString gone2 = file(1, "gone2.txt", "abc", T1);
    RecordingHost gatherHost;
    for (int side = 0; side < 2; ++side)
        GatherLocalSide(sidePath(side), listing(side), 999, gatherHost);
    QFile::remove(gone1);
    QFile::remove(gone2);
    for (int side = 0; side < 2; ++side) {
        m_request.hasInformation[side] = true;
        m_request.listingFile[side] = listing(side);
        m_request.sideRoot[side] = m_request.pathText[side] = sidePath(side);
    }
    CompareListings(m_request, m_grid, m_tips, m_host, m_content);
    EXPECT_EQ(rows(), (QStringList{"追加|" + D1 + "|" + D1 + "|gone1.txt", "削除|" + D1 + "|" + D1 + "|gone2.txt"}));
}

// Gathers both sides as the window does, keeping what each gathering saw.
class GatheredFactsTest : public CompareListingsTest
{
protected:
    void gatherBoth()
    {
        RecordingHost gatherHost;
        for (int side = 0; side < 2; ++side) {
            const GatherOutcome outcome = GatherLocalSide(sidePath(side), listing(side), 999, gatherHost);
            ASSERT_TRUE(outcome.facts.has_value());
            m_request.gathered[side] = outcome.facts;
            m_request.hasInformation[side] = true;
            m_request.listingFile[side] = listing(side);
            m_request.sideRoot[side] = m_request.pathText[side] = sidePath(side);
        }
    }
    // Facts as if the walk had begun well after every folder was last changed.
    void trustEveryFolder()
    {
        for (auto &facts : m_request.gathered)
            facts->startedNs += qint64(3600) * 1000000000;
    }
    // The rules below hold only where folders' change times can be trusted.
    bool changeTimesTrusted() const { return TrustsChangeTimes(m_folder.path()); }
    QStringList compareGathered()
    {
        CompareListings(m_request, m_grid, m_tips, m_host, m_content);
        return rows();
    }
};

TEST_F(GatheredFactsTest, FilesRemovedAfterTheGatheringAreStillFound)
{
    file(0, "sub/a.txt", "1", T1);
    file(1, "sub/a.txt", "1", T1);
    file(0, "sub/b.txt", "1", T1);
    file(1, "sub/b.txt", "1", T1);
    gatherBoth();
    QFile::remove(sidePath(0) + "/sub/a.txt");
    EXPECT_EQ(compareGathered().at(1), "追加|" + D1 + "|" + D1 + "|sub/a.txt") << "the changed folder is read again";
    EXPECT_EQ(compareGathered().at(2), "|" + D1 + "|" + D1 + "|sub/b.txt");
}

TEST_F(GatheredFactsTest, AFolderUnchangedSinceTheWalkIsTrustedOnlyAsTheSameFolder)
{
    if (!changeTimesTrusted())
        GTEST_SKIP() << "the temporary folder's file system does not keep reliable change times";
    file(0, "sub/a.txt", "1", T1);
    gatherBoth();
    const GatheringFacts facts = *m_request.gathered[0];
    QHash<dev_t, bool> devices;
    EXPECT_FALSE(FolderUnchangedSince(facts, "sub/", devices)) << "changed less than a second before the walk";
    GatheringFacts later = facts;
    later.startedNs += qint64(3600) * 1000000000;
    EXPECT_TRUE(FolderUnchangedSince(later, "sub/", devices));
    EXPECT_TRUE(FolderUnchangedSince(later, "", devices));
    EXPECT_FALSE(FolderUnchangedSince(later, "other/", devices)) << "a folder the walk did not read";

    QDir(sidePath(0)).rename("sub", "old");
    m_folder.makeFolder("one/sub");
    EXPECT_FALSE(FolderUnchangedSince(later, "sub/", devices)) << "another folder under the same name";
}

TEST_F(GatheredFactsTest, FactsApplyOnlyToTheListingAndRootTheyDescribe)
{
    if (!changeTimesTrusted())
        GTEST_SKIP() << "the temporary folder's file system does not keep reliable change times";
    file(0, "a.txt", "1", T1);
    file(1, "a.txt", "1", T1);
    gatherBoth();
    trustEveryFolder();
    const QString removed = sidePath(0) + "/a.txt";
    QFile::remove(removed);
    EXPECT_EQ(compareGathered(), QStringList{"|" + D1 + "|" + D1 + "|a.txt"}) << "facts that hold are trusted";

    const QByteArray bytes = platform::testing::TemporaryFolder::readFile(listing(0));
    QFile::remove(listing(0));
    m_folder.writeFile("work/0.log", bytes);
    EXPECT_EQ(compareGathered(), QStringList{"追加|" + D1 + "|" + D1 + "|a.txt"}) << "a rewritten listing";

    file(0, "a.txt", "1", T1);
    gatherBoth();
    trustEveryFolder();
    m_folder.makeFolder("copy");
    m_request.sideRoot[0] = m_request.pathText[0] = m_folder.filePath("copy");
    EXPECT_EQ(compareGathered(), QStringList{"追加|" + D1 + "|" + D1 + "|a.txt"}) << "another root";
}

TEST_F(GatheredFactsTest, LinkedFilesAreCheckedOneByOne)
{
    if (!changeTimesTrusted())
        GTEST_SKIP() << "the temporary folder's file system does not keep reliable change times";
    const QString target = file(0, "elsewhere/target.txt", "1", T1);
    m_folder.makeFolder("one/links");
    ASSERT_EQ(symlink(target.toUtf8().constData(), (sidePath(0) + "/links/a.txt").toUtf8().constData()), 0);
    file(1, "links/a.txt", "1", T1);
    file(1, "elsewhere/target.txt", "1", T1);
    gatherBoth();
    EXPECT_TRUE(m_request.gathered[0]->linkedFiles.contains("links/a.txt"));
    trustEveryFolder();
    QFile::remove(target);
    EXPECT_EQ(compareGathered(), (QStringList{"|" + D1 + "|" + D1 + "|elsewhere/", "|" + D1 + "|" + D1 + "|elsewhere/target.txt",
                                              "|" + D1 + "|" + D1 + "|links/", "追加|" + D1 + "|" + D1 + "|links/a.txt"}))
        << "the trusted folder of the target still lists it, but the link's own check finds it gone";
}

TEST_F(CompareListingsTest, ContentsAreComparedOnRequestButNeverInSameFolderMode)
{
    m_request.compareContents = true;
    file(0, "a.txt", "abc", T1);
    file(1, "a.txt", "abd", T2);
    file(0, "b.txt", "abc", T1);
    file(1, "b.txt", "abc", T2);
    file(0, "c.txt", "abc", T1);
    file(1, "c.txt", "abcdef", T1);
    m_content.differingFiles = {"a.txt"};
    compare();
    EXPECT_EQ(m_content.fileCalls, (QStringList{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(rows(), (QStringList{"変更|" + D1 + "|" + D2 + "|a.txt", "日時|" + D1 + "|" + D2 + "|b.txt",
                                   "|" + D1 + "|" + D1 + "|c.txt"}))
        << "with contents compared, the content decides, not the size";

    m_content.fileCalls.clear();
    m_request.sideRoot = {sidePath(0), sidePath(0)};
    m_request.pathText = {sidePath(0), sidePath(0)};
    compare();
    EXPECT_TRUE(m_content.fileCalls.isEmpty());
}

TEST_F(CompareListingsTest, FolderContentsComparedWhenCountsAndSizesAgree)
{
    m_request.compareContents = true;
    m_request.listSubfolders = false;
    file(0, "x/a.txt", "abc", T1);
    file(1, "x/a.txt", "abd", T1);
    file(0, "y/a.txt", "abc", T1);
    file(1, "y/a.txt", "abc", T2);
    m_content.differingFolders = {"x"};
    compare();
    EXPECT_EQ(m_content.folderCalls.size(), 2);
    EXPECT_EQ(rows(), (QStringList{"変更|" + D1 + "|" + D1 + "|x/", "日時|" + D1 + "|" + D2 + "|y/"}));
}

TEST_F(CompareListingsTest, CharacterCodesShownInsteadOfDates)
{
    m_request.compareContents = true;
    m_request.textCodeDsp = true;
    m_request.listSubfolders = true;
    const QString a1 = file(0, "a.txt", "abc", T1);
    file(1, "a.txt", "abc", T1);
    file(1, "only.txt", "x", T1);
    file(0, "sub/x", "1", T1);
    file(1, "sub/x", "1", T1);
    m_content.codes.insert(a1, "UTF8");
    compare();
    EXPECT_EQ(rows().at(0), "|UTF8|judged:a.txt|a.txt") << "a code not judged by the comparison is judged alone";
    EXPECT_EQ(rows().at(1), "追加||judged:only.txt|only.txt");
    EXPECT_EQ(rows().at(2), "|----|----|sub/");
    EXPECT_EQ(m_tips[1][0], "1. " + D1 + " (3byte) a.txt") << "tooltips always show dates";
}

TEST_F(CompareListingsTest, NewerDateMarked)
{
    m_request.newDateAsta = true;
    file(0, "a.txt", "abc", T1);
    file(1, "a.txt", "xyz", T2);
    file(0, "b.txt", "abc", T2);
    file(1, "b.txt", "xyz", T1);
    file(0, "c.txt", "abc", T1);
    file(1, "c.txt", "abc", T1);
    file(1, "d.txt", "abc", T1);
    compare();
    EXPECT_EQ(rows(), (QStringList{"日時| " + D1 + " | " + D2 + "*|a.txt", "日時| " + D2 + "*| " + D1 + " |b.txt",
                                   "| " + D1 + " | " + D1 + " |c.txt", "追加|| " + D1 + " |d.txt"}));
}

// The row that reaches the limit is counted; the notice comes only when entries were left
// out.
TEST_F(CompareListingsTest, RowLimitStopsWithTheRightNotice)
{
    for (int i = 0; i < 5; ++i) {
        file(0, QStringLiteral("f%1.txt").arg(i), "1", T1);
        file(1, QStringLiteral("f%1.txt").arg(i), "12", T1);
    }
    const QString stopped = QStringLiteral("3行だけ表示し比較を中止しました。ごめんなさい。　");
    const struct
    {
        const char *name;
        int lineMax;
        bool differencesOnly;
        std::array<bool, 2> informed;
        QString message;
    } cases[] = {
        {"every row", 3, false, {true, true}, stopped + "\r\n差分のみにすると全ての比較が出来るかもしれません。　"},
        {"differences only", 3, true, {true, true}, stopped},
        {"one side", 3, false, {true, false}, QStringLiteral("3行だけ表示し中止しました。ごめんなさい。　")},
        {"exactly the limit", 5, false, {true, true}, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_request.lineMax = c.lineMax;
        m_request.differencesOnly = c.differencesOnly;
        const CompareOutcome outcome = compare(c.informed);
        EXPECT_EQ(m_grid.rows(), c.lineMax + 1);
        EXPECT_EQ(outcome.compareCount, c.lineMax) << "the step that reaches the limit is counted";
        EXPECT_EQ(outcome.rowLimitReached, !c.message.isEmpty());
        EXPECT_EQ(outcome.limitMessage, c.message);
    }
}

TEST_F(CompareListingsTest, TwoSingleFilesMakeOneRowWithoutPath)
{
    m_request.sideRoot = {file(0, "left.txt", "abc", T1), file(1, "right.txt", "abcd", T1)};
    m_request.pathText = m_request.sideRoot;
    compare();
    EXPECT_EQ(rows(), QStringList{"変更|" + D1 + "|" + D1 + "|"});
}

TEST_F(CompareListingsTest, PatternsChooseTheRows)
{
    m_request.includePatterns = "*.txt";
    m_request.excludePatterns = "skip*";
    file(0, "a.txt", "1", T1);
    file(0, "a.c", "1", T1);
    file(0, "skip.txt", "1", T1);
    file(0, "sub/b.txt", "1", T1);
    compare({true, false});
    EXPECT_EQ(rows(), (QStringList{"|" + D1 + "||a.txt", "|" + D1 + "||sub/b.txt"}));
}

TEST_F(CompareListingsTest, AbortKeepsTheRowsBuiltSoFar)
{
    for (int i = 0; i < 30; ++i)
        file(0, QStringLiteral("f%1.txt").arg(i, 2, 10, QChar(u'0')), "1", T1);
    RecordingHost gatherHost;
    GatherLocalSide(sidePath(0), listing(0), 999, gatherHost);
    m_request.hasInformation = {true, false};
    m_request.listingFile = {listing(0), listing(1)};
    m_request.sideRoot = m_request.pathText = {sidePath(0), QString()};
    m_host.abortAfterPumps = 10;
    const CompareOutcome outcome = CompareListings(m_request, m_grid, m_tips, m_host, m_content);
    EXPECT_GT(outcome.compareCount, 0);
    EXPECT_LT(outcome.compareCount, 30);
    EXPECT_EQ(m_grid.rows() - 1, outcome.compareCount);
    EXPECT_TRUE(m_grid.redraw());
}

TEST_F(CompareListingsTest, ADamagedListingStopsWithAFailure)
{
    file(0, "a.txt", "1", T1);
    compare({true, false});
    m_folder.writeFile("work/0.log", "a.txt\t2020/01/02 03:04:05\t1\t0\r\nb.txt\t2020/01/02\r\n");
    EXPECT_THROW(CompareListings(m_request, m_grid, m_tips, m_host, m_content), common::Failure);
}

TEST_F(CompareListingsTest, PositionsOnTheFirstDifferenceOrKeepsTheTopRow)
{
    for (int i = 0; i < 9; ++i) {
        file(0, QStringLiteral("f%1.txt").arg(i), "1", T1);
        file(1, QStringLiteral("f%1.txt").arg(i), i == 6 ? "12" : "1", T1);
    }
    m_request.showFirstDiff = true;
    CompareOutcome outcome = compare();
    EXPECT_EQ(m_grid.row(), 7);
    EXPECT_EQ(m_grid.col(), 1);
    EXPECT_EQ(m_grid.topRow(), 7);
    EXPECT_FALSE(outcome.showFirstDiff);

    m_request.showFirstDiff = false;
    m_request.topRowPath = "f4.txt";
    m_grid.setCurrentCell(2, 3);
    outcome = compare();
    EXPECT_EQ(m_grid.topRow(), 5);
    EXPECT_EQ(m_grid.row(), 2) << "the current cell is put back";
    EXPECT_EQ(m_grid.col(), 3);
}

TEST_F(CompareListingsTest, AnEmptyListKeepsShowFirstDiff)
{
    m_request.showFirstDiff = true;
    const CompareOutcome outcome = compare();
    EXPECT_EQ(m_grid.rows(), 2);
    EXPECT_EQ(rows(), QStringList{"|||"});
    EXPECT_TRUE(outcome.showFirstDiff);
    EXPECT_EQ(m_grid.row(), 1);
    EXPECT_EQ(m_grid.col(), 1);
}

} // namespace
} // namespace foldercompare::listing
