#include "idlebackup/copy_rules.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace idlebackup {
namespace {

TEST(CopyRules, CopyDecisionByWholeSecondsAndFat)
{
    struct Case
    {
        qint64 seconds;
        bool newOverWrite;
        bool onFat;
        bool due;
        bool sizesDiffer = false;
    };
    // A copy on FAT holds its source's time rounded down to an even second: one second
    // either way is the same time there. At the same time, another size is a change.
    const Case cases[] = {
        {-5, false, true, true},  {-2, false, true, true},  {-1, false, false, true}, {-1, true, true, false},
        {-1, false, true, false}, {0, true, false, false},  {1, false, false, false}, {1, true, false, true},
        {1, true, true, false},   {2, false, false, false}, {2, true, true, true},    {0, false, false, true, true},
        {1, false, true, true, true}, {-1, false, true, true, true}, {1, false, false, false, true},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(::testing::Message() << test.seconds << " newOverWrite " << test.newOverWrite << " onFat "
                                          << test.onFat << " sizesDiffer " << test.sizesDiffer);
        EXPECT_EQ(CopyIsDue(test.seconds, test.sizesDiffer, test.newOverWrite, test.onFat), test.due);
    }
}

TEST(CopyRules, SyncTellsTheNewerFileOnlyAsFarAsBothTimesGo)
{
    struct Case
    {
        timespec source;
        timespec copy;
        bool onFat;
        NewerFile newer;
        bool sizesDiffer = true;
    };
    // Nanoseconds decide where both times have them; a time in whole seconds, or on FAT,
    // is compared to its step only.
    const Case cases[] = {
        {{100, 100000000}, {100, 900000000}, false, NewerFile::Copy},
        {{100, 900000000}, {100, 100000000}, false, NewerFile::Source},
        {{100, 123456789}, {100, 123456789}, false, NewerFile::BothChanged},
        {{100, 123456789}, {100, 123456789}, false, NewerFile::Neither, false},
        {{100, 123456789}, {100, 123456791}, false, NewerFile::Copy},
        {{100, 500000000}, {100, 0}, false, NewerFile::BothChanged},
        {{100, 500000000}, {101, 0}, false, NewerFile::BothChanged},
        {{100, 500000000}, {101, 500000000}, false, NewerFile::Copy},
        {{100, 120000000}, {100, 123456789}, false, NewerFile::BothChanged},
        {{101, 0}, {100, 0}, true, NewerFile::BothChanged},
        {{100, 0}, {101, 999999999}, true, NewerFile::BothChanged},
        {{100, 0}, {102, 0}, true, NewerFile::Copy},
        {{104, 0}, {102, 0}, true, NewerFile::Source},
        {{-5000000000, 0}, {5000000000, 0}, false, NewerFile::Copy},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(::testing::Message() << test.source.tv_sec << "." << test.source.tv_nsec << " / "
                                          << test.copy.tv_sec << "." << test.copy.tv_nsec << " onFat " << test.onFat);
        EXPECT_EQ(NewerOf(test.source, test.copy, test.sizesDiffer, test.onFat), test.newer);
    }
}

// A backup whose name a disk that folds letter case takes for an original's is its copy
// only where the two agree in size and to two seconds (a rename in letter case only).
TEST(CopyRules, ABackupUnderAFoldedNameIsTheOriginalsCopyOnlyWhereTheyAgree)
{
    EXPECT_TRUE(IsCopyUnderFoldedName({1600000001, 500000000}, 10, {1600000000, 0}, 10));
    EXPECT_FALSE(IsCopyUnderFoldedName({1600000000, 0}, 10, {1600000000, 0}, 11));
    EXPECT_FALSE(IsCopyUnderFoldedName({1600003600, 0}, 10, {1600007200, 0}, 10));
    EXPECT_FALSE(IsCopyUnderFoldedName({1600000002, 0}, 10, {1600000000, 0}, 10));
}

TEST(CopyRules, CheckTargetLooksOnlyBelowTheRoot)
{
    struct Case
    {
        QString relative;
        QString noneStr;
        QString noneExt;
        bool copied;
    };
    const Case cases[] = {
        {"a.txt", "~", "tmp", true},
        {"~tmp.doc", "~", "tmp", false},
        {"~old/c.txt", "~", "tmp", false},
        {"sub/~old/", "~", "tmp", false},
        {"a~b.txt", "~", "tmp", true},
        {"x.tmp", "~", "tmp", false},
        {"x.TMP", "~", "tmp", true},
        {"folder.tmp/", "", "tmp", false},
        {"noext", "~,,", "tmp,", true},
        {"a.txt", ",", ",", true},
        {"a.txt", "", "", true},
        {"b.bak", "~", "tmp,bak", false},
        {"#x/y", "~,#", "", false},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.relative.toStdString() + " | " + test.noneStr.toStdString() + " | "
                     + test.noneExt.toStdString());
        EXPECT_EQ(CheckTarget(test.relative, test.noneStr, test.noneExt), test.copied);
    }
}

TEST(CopyRules, NamesAndPlaces)
{
    for (const char *skipped : {"RECYCLER", "Recycler2", "System Volume Information", ".Trash-1000", ".Trash",
                                "lost+found"})
        EXPECT_TRUE(IsSkippedRootItem(skipped)) << skipped;
    for (const char *kept : {"data", "my RECYCLER", "Trash", ".Trashy", ".Trash-old", "lost+found2", "LOST+FOUND"})
        EXPECT_FALSE(IsSkippedRootItem(kept)) << kept;

    struct Place
    {
        QString original;
        QString destination;
        QString folderRoot;
    };
    const Place places[] = {
        {"/data", "/bak", "/bak/data/"},
        {"/data/", "/bak/data", "/bak/data/"},
        {"/Data", "/bak/data", "/bak/data/Data/"},
        {"/data.v1", "/bak/data.v2", "/bak/data.v2/data.v1/"},
        {"/", "/bak", "/bak/"},
    };
    for (const Place &place : places)
        EXPECT_EQ(FolderCopyRoot(place.original, place.destination), place.folderRoot) << place.original.toStdString();
    EXPECT_EQ(FileCopyPath("/a/README", "/bak"), "/bak/README");
    EXPECT_EQ(FileCopyPath("/a/b.txt", "/bak/"), "/bak/b.txt");

    EXPECT_EQ(CommaEdit(1234567.5), "1,234,567.5");
    EXPECT_EQ(CommaEdit(1000), "1,000");
    EXPECT_EQ(CommaEdit(1000001), "1,000,001");
    EXPECT_EQ(CommaEdit(0), "0");
    EXPECT_EQ(CommaEdit(-12), "-12");

    EXPECT_TRUE(FileEntryOverlaps("/data/a.txt", "/data"));
    EXPECT_TRUE(FileEntryOverlaps("/ab/x.txt", "/a"));
    EXPECT_FALSE(FolderEntryOverlaps("/ab", "/a"));
    EXPECT_TRUE(FolderEntryOverlaps("/a", "/a/bak"));
    EXPECT_TRUE(FolderEntryOverlaps("/a/", "/a"));
}

} // namespace
} // namespace idlebackup
