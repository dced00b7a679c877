#include "foldercompare/listing/file_info_log.h"

#include "common/saved_error.h"
#include "platform/testing/planted_entries.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace foldercompare::listing {
namespace {

using platform::testing::TemporaryFolder;

// 2020/01/02 03:04:05 and 2021/12/31 23:59:59 in UTC, the zone of these tests.
constexpr qint64 Jan2020 = 1577934245;
constexpr qint64 Dec2021 = 1640995199;

class FileInfoLogTest : public ::testing::Test
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

    QStringList readAll(const QString &path)
    {
        QStringList lines;
        FileInfoLogReader reader(path);
        while (const std::optional<FileInfoRecord> record = reader.next())
            lines.append(QString::fromUtf8(record->path.toByteArray() + '|' + record->date.toByteArray() + '|'
                                           + record->size.toByteArray() + '|' + record->count.toByteArray()));
        return lines;
    }

    // The failure a damaged listing raises, or an empty record when it reads through.
    common::ErrorRecord failureOf(const QByteArray &bytes)
    {
        const QString path = m_folder.writeFile("damaged.log", bytes);
        try {
            readAll(path);
        } catch (const common::Failure &failure) {
            return failure.record();
        }
        return {};
    }

    TemporaryFolder m_folder;
};

TEST_F(FileInfoLogTest, WritesUtf8LinesWithTabsAndCrLf)
{
    const std::vector<GatheredEntry> entries{
        {"a b.txt", Jan2020, 3, 0},
        {"sub/", Dec2021, 1234567890123, 42},
        {QStringLiteral("日本語/\"引用\"\\.txt"), 0, 0, 0},
    };
    EXPECT_EQ(FormatFileInfoLog(entries), QByteArray("a b.txt\t2020/01/02 03:04:05\t3\t0\r\n"
                                                     "sub/\t2021/12/31 23:59:59\t1234567890123\t42\r\n")
                                              + QStringLiteral("日本語/\"引用\"\\.txt").toUtf8()
                                              + "\t1970/01/01 00:00:00\t0\t0\r\n");
    EXPECT_EQ(FormatFileInfoLog({}), QByteArray());
    EXPECT_EQ(FormatLocalDate(Jan2020), "2020/01/02 03:04:05");
}

TEST_F(FileInfoLogTest, ListingDatesAreTheLocalTimesOfEachSecond)
{
    // Every quarter hour for a week around each change of offset of 2021 (each date
    // twice, as files written together share their day), and a leap second.
    std::vector<GatheredEntry> entries;
    for (const qint64 around : {qint64(1615705200), qint64(1616893200), qint64(1617498000), qint64(1633147200),
                                qint64(1635642000), qint64(1636264800), qint64(1483228800)})
        for (qint64 time = around - 3 * 86400; time < around + 4 * 86400; time += 900)
            for (const qint64 second : {time, time + 1, time - 1})
                entries.push_back({"f", second, 0, 0});
    for (const char *zone : {"Europe/Dublin", "America/St_Johns", "Australia/Lord_Howe", "right/Europe/Berlin",
                             "EST5EDT,M3.2.0,M11.1.0"}) {
        SCOPED_TRACE(zone);
        setenv("TZ", zone, 1);
        tzset();
        const QList<QByteArray> lines = FormatFileInfoLog(entries).split('\n');
        for (size_t i = 0; i < entries.size(); ++i)
            if (lines[qsizetype(i)].split('\t')[1] != FormatLocalDate(entries[i].modified).toLatin1())
                ADD_FAILURE() << entries[i].modified << ": " << lines[qsizetype(i)].constData();
    }
}

TEST_F(FileInfoLogTest, SortsEntriesAsCompareItemOrdersPaths)
{
    std::vector<GatheredEntry> entries{{"b", 0, 0, 0}, {"a/", 0, 0, 0}, {"A/", 0, 0, 0}, {"a.txt", 0, 0, 0}, {"a/x", 0, 0, 0}};
    SortEntries(entries);
    QStringList paths;
    for (const GatheredEntry &entry : entries)
        paths.append(entry.path);
    EXPECT_EQ(paths, (QStringList{"a.txt", "A/", "a/", "a/x", "b"}));
}

TEST_F(FileInfoLogTest, ReadsWhatWasWrittenAndHandEditedLineEnds)
{
    const QString path = m_folder.writeFile("0.log", "a.txt\t2020/01/02 03:04:05\t3\t0\r\n"
                                                     "\r\n"
                                                     "b.txt\t2020/01/02 03:04:05\t4\t0\textra\n"
                                                     "single.txt\t2020/01/02 03:04:05\n"
                                                     "sub/\t2020/01/02 03:04:05\t7\t2");
    EXPECT_EQ(readAll(path), (QStringList{"a.txt|2020/01/02 03:04:05|3|0", "b.txt|2020/01/02 03:04:05|4|0",
                                          "single.txt|2020/01/02 03:04:05||", "sub/|2020/01/02 03:04:05|7|2"}));
    EXPECT_EQ(readAll(m_folder.filePath("missing.log")), QStringList()) << "a missing listing is empty";
}

TEST_F(FileInfoLogTest, ADamagedListingIsAClearFailureNeverAWrongRecord)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *what;
    } cases[] = {
        {"cut inside the date", "a.txt\t2020/01/\n", "日時"},
        {"size not a number", "a.txt\t2020/01/02 03:04:05\t1e3\t0\n", "サイズまたは件数"},
        {"count missing", "sub/\t2020/01/02 03:04:05\t12\n", "サイズまたは件数"},
        {"negative count", "sub/\t2020/01/02 03:04:05\t12\t-1\n", "サイズまたは件数"},
        {"out of order", "b.txt\t2020/01/02 03:04:05\t1\t0\na.txt\t2020/01/02 03:04:05\t1\t0\n", "並び順"},
        {"twice the same path", "a\t2020/01/02 03:04:05\t1\t0\na\t2020/01/02 03:04:05\t1\t0\n", "並び順"},
        {"no path", "\t2020/01/02 03:04:05\t1\t0\n", "パス"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const common::ErrorRecord failure = failureOf(c.bytes);
        EXPECT_EQ(failure.Number, 13);
        EXPECT_TRUE(failure.Description.contains(QString::fromUtf8(c.what))) << failure.Description.toStdString();
    }
}

// A listing that is not the user's own file (a link, a FIFO, another user's file) is a
// failure that names it, and a FIFO holds nothing up.
TEST_F(FileInfoLogTest, APlantedListingIsNamedNeverRead)
{
    using platform::testing::Planted;
    for (const Planted kind : {Planted::Link, Planted::Fifo, Planted::OthersFile}) {
        SCOPED_TRACE(int(kind));
        const QString path = m_folder.filePath(QStringLiteral("%1.log").arg(int(kind)));
        if (!platform::testing::plant(kind, path, "a.txt\t2020/01/02 03:04:05\t3\t0\n"))
            continue;
        platform::testing::FifoWatch watch(path);
        try {
            FileInfoLogReader reader(path);
            ADD_FAILURE() << "read";
        } catch (const common::Failure &failure) {
            EXPECT_TRUE(failure.record().Description.startsWith("一覧ファイルを読み込めません。 " + path + " : "))
                << failure.record().Description.toStdString();
        }
        EXPECT_FALSE(watch.heldUp());
    }
    platform::testing::skipWithoutOtherUser();
}

TEST_F(FileInfoLogTest, AtomicWriteReplacesOnlyOnSuccess)
{
    const QString target = m_folder.writeFile("0.log", "old");
    EXPECT_EQ(WriteFileAtomically(target, "new"), std::nullopt);
    EXPECT_EQ(TemporaryFolder::readFile(target), "new");
    const QString nowhere = m_folder.filePath("missing/0.log");
    EXPECT_NE(WriteFileAtomically(nowhere, "x"), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(nowhere));
}

} // namespace
} // namespace foldercompare::listing
