#include "platform/ftp_listing.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

struct ExpectedEntry
{
    QByteArray name;
    bool folder;
    QString time; // "yyyy/MM/dd HH:mm"
    qint64 size;
};

QString text(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

TEST(FtpListing, ReadsOneLineOfEachStyle)
{
    const QDate today(2024, 6, 20);
    const struct
    {
        const char *name;
        QByteArray line;
        ExpectedEntry expected;
    } cases[] = {
        {"unix file this year", "-rw-r--r--   1 owner    group         123 Jun 18 09:05 notes.txt",
         {"notes.txt", false, "2024/06/18 09:05:00", 123}},
        {"unix folder", "drwxr-xr-x   2 owner    group        4096 Jan 02 23:59 pub",
         {"pub", true, "2024/01/02 23:59:00", 4096}},
        {"unix date with year", "-rw-r--r--   1 owner    group         7 Mar 05  2019 old.log",
         {"old.log", false, "2019/03/05 00:00:00", 7}},
        {"unix date of last year", "-rw-r--r--   1 owner    group         1 Dec 24 18:00 gift",
         {"gift", false, "2023/12/24 18:00:00", 1}},
        {"unix tomorrow stays this year", "-rw-r--r--   1 o g 1 Jun 21 01:00 early",
         {"early", false, "2024/06/21 01:00:00", 1}},
        {"unix without group", "-rw-r--r--   1 ftp          55 Jun 01 12:00 a b",
         {"a b", false, "2024/06/01 12:00:00", 55}},
        {"numeric owner and group", "-rw-r--r--   1 1000 1000 6 Jun 08 20:09 x",
         {"x", false, "2024/06/08 20:09:00", 6}},
        {"name with blanks kept", "-rw-r--r--   1 o g 9 Jun 01 12:00  lead and  inner",
         {" lead and  inner", false, "2024/06/01 12:00:00", 9}},
        {"link under its own name", "lrwxrwxrwx   1 o g 11 Jun 01 12:00 current -> releases/7",
         {"current", false, "2024/06/01 12:00:00", 11}},
        {"size beyond 32 bits", "-rw-r--r--   1 o g 6442450944 Jun 01 12:00 disk.img",
         {"disk.img", false, "2024/06/01 12:00:00", 6442450944LL}},
        {"raw name bytes", "-rw-r--r--   1 o g 3 Jun 01 12:00 \x93\xfa\x96{.txt",
         {"\x93\xfa\x96{.txt", false, "2024/06/01 12:00:00", 3}},
        {"dos folder", "01-15-20  12:34PM       <DIR>          Data Files",
         {"Data Files", true, "2020/01/15 12:34:00", 0}},
        {"dos file at midnight", "11-30-99  12:05AM                 1024 report.doc",
         {"report.doc", false, "1999/11/30 00:05:00", 1024}},
        {"dos four-digit year, 24 hours", "02-29-2024  23:05             5000000000 big.bin",
         {"big.bin", false, "2024/02/29 23:05:00", 5000000000LL}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QList<FtpListEntry> entries = parseFtpListing(c.line + "\r\n", today).entries;
        ASSERT_EQ(entries.size(), 1);
        EXPECT_EQ(entries[0].name, c.expected.name);
        EXPECT_EQ(entries[0].folder, c.expected.folder);
        EXPECT_EQ(text(entries[0].time), c.expected.time);
        EXPECT_EQ(entries[0].size, c.expected.size);
        EXPECT_EQ(entries[0].link, QByteArray(c.line).startsWith('l'));
    }
}

TEST(FtpListing, ReadsMachineListings)
{
    const auto utc = [](const char *text) {
        const QDateTime time = QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyyMMddHHmmss"));
        return QDateTime(time.date(), time.time(), Qt::UTC).toLocalTime();
    };
    const struct
    {
        const char *name;
        QByteArray line;
        QByteArray entryName; // empty: no entry
        bool folder;
        bool link;
        QDateTime time;
        qint64 size;
    } cases[] = {
        {"file", "type=file;size=12;modify=20200115123456;perm=r; notes.txt", "notes.txt", false, false,
         utc("20200115123456"), 12},
        {"folder, facts in any case, fractions", "Type=dir;Modify=20191231235959.250;perm=el; pub", "pub", true, false,
         utc("20191231235959"), 0},
        {"link with its target", "type=OS.unix=slink:/srv/x;modify=20200115123456; current", "current", false, true,
         utc("20200115123456"), 0},
        {"link", "type=OS.unix=symlink;size=7;modify=20200115123456; latest", "latest", false, true,
         utc("20200115123456"), 7},
        {"name with blanks and semicolons", "type=file;size=6442450944; a; b  c ", "a; b  c ", false, false, {},
         6442450944LL},
        {"raw name bytes", "type=file;size=3;modify=20200115123456; \x93\xfa\x96{.txt", "\x93\xfa\x96{.txt", false,
         false, utc("20200115123456"), 3},
        {"dot entry", "type=file;size=1;modify=20200115123456; .profile", ".profile", false, false,
         utc("20200115123456"), 1},
        {"a negative size: unknown", "type=file;size=-5; negative", "negative", false, false, {}, -1},
        {"the folder itself", "type=cdir;modify=20200115123456; .", "", false, false, {}, 0},
        {"its parent", "type=pdir;modify=20200115123456; ..", "", false, false, {}, 0},
        {"a device", "type=OS.unix=chr-13/29; null", "", false, false, {}, 0},
        {"no facts", "notes.txt", "", false, false, {}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QList<FtpListEntry> entries = parseMlsdListing(c.line + "\r\n").entries;
        ASSERT_EQ(entries.size(), c.entryName.isEmpty() ? 0 : 1);
        if (entries.isEmpty())
            continue;
        EXPECT_EQ(entries[0].name, c.entryName);
        EXPECT_EQ(entries[0].folder, c.folder);
        EXPECT_EQ(entries[0].link, c.link);
        EXPECT_EQ(entries[0].time, c.time);
        EXPECT_EQ(entries[0].size, c.size);
    }
}

TEST(FtpListing, TakesOnlyNamesThatAreOneEntryOfAFolderAndTellsWhichATransferCanName)
{
    const struct
    {
        QByteArray name;
        bool single;
        bool transferable = true;
    } cases[] = {
        {"notes.txt", true},  {"...", true},       {".profile", true},      {"back\\slash", true},
        {" ", true},          {"\x93\xfa\x96{", true}, {"", false},              {".", false},
        {"..", false},        {"a/b", false},      {"/", false},            {"../x", false},
        {"x/", false},        {"/../../home/x", false}, {QByteArray("a\0b", 3), false, false},
        {"ctl\x01.txt", true, false}, {"esc\x1b[1m.txt", true, false}, {"tab\there", true, false},
        {"del\x7f.txt", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(isSinglePathElement(c.name), c.single);
        EXPECT_EQ(isSinglePathElement(QString::fromLatin1(c.name)), c.single);
        EXPECT_EQ(isTransferableName(c.name), c.transferable);
        const FtpListing listing
            = parseFtpListing("-rw-r--r--   1 o g 1 Jun 01 12:00 " + c.name + "\r\n", QDate(2024, 6, 20));
        EXPECT_EQ(listing.entries.size(), c.single ? 1 : 0);
        EXPECT_EQ(listing.refusedNames, c.single ? QList<QByteArray>() : QList<QByteArray>{c.name});
    }
    // The folder's own entry and its parent's are neither entries nor refused names.
    const FtpListing own = parseFtpListing("drwxr-xr-x   2 o g 4096 Jun 01 12:00 .\r\n"
                                           "drwxr-xr-x   2 o g 4096 Jun 01 12:00 ..\r\n",
                                           QDate(2024, 6, 20));
    EXPECT_TRUE(own.entries.isEmpty());
    EXPECT_TRUE(own.refusedNames.isEmpty());
}

TEST(FtpListing, SkipsLinesOfNeitherStyleAndKeepsTheServerOrder)
{
    const QByteArray listing = "total 24\n"
                               "-rw-r--r--   1 o g 1 Jun 01 12:00 zeta\r\n"
                               "ls: cannot open directory .: Permission denied\n"
                               "\n"
                               "drwxr-xr-x   2 o g 4096 Jun 01 12:00 alpha\n"
                               "-rw-r--r--   1 o g 2 Jun 01 12:00 a:b";
    const QList<FtpListEntry> entries = parseFtpListing(listing, QDate(2024, 6, 20)).entries;
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].name, "zeta");
    EXPECT_EQ(entries[1].name, "alpha");
    EXPECT_TRUE(entries[1].folder);
    EXPECT_EQ(entries[2].name, "a:b");
}

TEST(FtpListing, RefusesImpossibleDates)
{
    const QByteArray listing = "-rw-r--r--   1 o g 1 Feb 30  2020 nope\n"
                               "13-01-20  10:00AM   1 nope\n"
                               "01-01-20  13:00PM   1 nope\n";
    EXPECT_TRUE(parseFtpListing(listing, QDate(2024, 6, 20)).entries.isEmpty());
}

TEST(FtpListing, PlacesLeapDayWithoutYearInTheLastLeapYear)
{
    const QList<FtpListEntry> entries
        = parseFtpListing("-rw-r--r--   1 o g 1 Feb 29 10:00 leap\n", QDate(2025, 1, 10)).entries;
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(text(entries[0].time), "2024/02/29 10:00:00");
}

} // namespace
} // namespace platform
