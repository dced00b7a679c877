#include "foldercompare/listing/target_filter.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace foldercompare::listing {
namespace {

TEST(MatchTargetPattern, Patterns)
{
    const struct
    {
        const char *pattern;
        const char *path;
        bool expected;
    } cases[] = {
        {"*.txt", "a.txt", true},
        {"*.txt", "sub/deep/b.TXT", true},
        {"*.txt", "sub/", false},
        {"*.txt", "a.txt.bak", false},
        {"*.", "readme", true},
        {"*.", "sub/makefile", true},
        {"*.", "a.txt", false},
        {"*.", "sub/", false},
        {"*.", "sub.d/makefile", true},
        {"a.txt", "a.txt", true},
        {"a.txt", "A.TXT", true},
        {"a.txt", "sub/a.txt", false},
        {"a.txt", "a.txt2", false},
        {"sub/*", "sub/", true},
        {"sub/*", "sub/x/y.c", true},
        {"sub/*", "other/sub/x", false},
        {"sub/*.c", "sub/x/y.c", true},
        {"s*b*.c", "src/lib/a.c", true},
        {"s*b*.c", "src/a.c", false},
        {"*", "anything/at/all", true},
        {"**", "x", true},
        {"", "a.txt", false},
        {"?.txt", "a.txt", false},
        {"?.txt", "?.txt", true},
        {"ab*b", "ab", false},
        {"*名前*", "フォルダ/名前.txt", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " on " + c.path);
        EXPECT_EQ(MatchTargetPattern(QString::fromUtf8(c.pattern), QString::fromUtf8(c.path)), c.expected);
    }
}

TEST(TargetFilter, IncludeAndExcludePatterns)
{
    const struct
    {
        const char *name;
        QString include;
        QString exclude;
        bool subfolders;
        QStringList listed;
        QStringList left;
    } cases[] = {
        {"no patterns", "", "", true, {"a.txt", "sub/", "sub/b.c"}, {}},
        {"include applies to folder rows", "*.txt", "", true, {"a.txt", "sub/b.txt"}, {"sub/", "b.c"}},
        {"two exclude patterns", "", "*.bak,*.tmp", true, {"a.txt"}, {"a.bak", "sub/b.tmp"}},
        {"a blank after the comma belongs to the pattern", "", "*.bak, *.tmp", true, {"a.txt", "b.tmp"}, {"a.bak"}},
        {"exclude wins over include", "*.c", "sub/*", true, {"a.c"}, {"sub/b.c", "sub/"}},
        {"without subfolders only the top folder", "", "", false, {"a.txt", "sub/"}, {"sub/a.txt", "sub/x/"}},
        {"without subfolders patterns still reject folder rows", "", "sub/*", false, {"a.txt"}, {"sub/"}},
        {"a trailing comma adds a pattern that matches nothing", "*.txt,", "", true, {"a.txt"}, {"b.c"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const TargetFilter filter(c.include, c.exclude, c.subfolders);
        for (const QString &path : c.listed)
            EXPECT_TRUE(filter.CheckTarget(path)) << path.toStdString();
        for (const QString &path : c.left)
            EXPECT_FALSE(filter.CheckTarget(path)) << path.toStdString();
    }
}

TEST(TargetFilter, SplitsAtCommasWithoutTrimming)
{
    EXPECT_EQ(TargetFilter::SplitPatterns(""), QStringList());
    EXPECT_EQ(TargetFilter::SplitPatterns("*.a, *.b,"), (QStringList{"*.a", " *.b", ""}));
}

} // namespace
} // namespace foldercompare::listing
