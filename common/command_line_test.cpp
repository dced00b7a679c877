#include "common/command_line.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(TokenizeCommandLine, QuotesBlanksAndEmptyTokens)
{
    const struct
    {
        const char *name;
        QString line;
        QStringList tokens;
    } cases[] = {
        {"empty", "", {}},
        {"only blanks", "    ", {}},
        {"two quoted paths with blanks", R"("C:/my docs/a" "/tmp/b c")", {"C:/my docs/a", "/tmp/b c"}},
        {"two blanks give an empty token", "/a  /b", {"/a", "", "/b"}},
        {"empty quotes first", R"("" /b)", {"", "/b"}},
        {"trailing empty quotes add nothing", R"(/a "")", {"/a"}},
        {"quoted pieces join", R"("a"b c)", {"ab", "c"}},
        {"outer blanks cut, tabs kept", "  \t/a /b\t  ", {"\t/a", "/b\t"}},
        {"quote open to the end", R"(/a "b c)", {"/a", "b c"}},
        {"switch with quoted value", R"(/a /b "-H/tmp/out put.html")", {"/a", "/b", "-H/tmp/out put.html"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TokenizeCommandLine(c.line), c.tokens);
    }
}

TEST(ParseCommandLine, PathsAreNeverSwitches)
{
    const StartupRequest request = ParseCommandLine({"-NT", "-H/tmp/x"});
    ASSERT_TRUE(request.paths[0] && request.paths[1]);
    EXPECT_EQ(*request.paths[0], "-NT");
    EXPECT_EQ(*request.paths[1], "-H/tmp/x");
    EXPECT_FALSE(request.batchMode);
    for (const QVariant &slot : request.options)
        EXPECT_TRUE(slot.isNull());
}

TEST(ParseCommandLine, EmptyLineLeavesEverythingNull)
{
    const StartupRequest request = ParseCommandLine({});
    EXPECT_FALSE(request.paths[0]);
    EXPECT_FALSE(request.paths[1]);
    EXPECT_FALSE(request.batchMode);
    EXPECT_EQ(request.batchCsvSeparator, ",");
}

TEST(ParseCommandLine, OnePathOnlyLeavesSecondUntouched)
{
    const StartupRequest request = ParseCommandLine({"/a"});
    EXPECT_EQ(request.paths[0], QString("/a"));
    EXPECT_FALSE(request.paths[1]);
}

TEST(ParseCommandLine, SwitchTableAndOrder)
{
    const QVariant null;
    const struct
    {
        const char *name;
        QStringList switches;
        std::array<QVariant, 7> expected;
    } cases[] = {
        {"-NT lower case", {"-nt"}, {null, null, true, null, null, null, null}},
        {"-ND sets three expected", {"-Nd"}, {true, null, true, false, null, null, null}},
        {"-ND then -DT", {"-ND", "-DT"}, {true, null, true, true, null, null, null}},
        {"-DT then -ND", {"-DT", "-ND"}, {true, null, true, false, null, null, null}},
        {"last one wins", {"-AF", "-AT", "-NF"}, {null, null, false, null, true, null, null}},
        {"exact rules need exact tokens", {"-NDX", "-XY", "-NTT"}, {null, null, null, null, null, null, null}},
        {"patterns keep their case", {"-pt*.TXT,Sub/", "-PF*.Bak"},
         {null, null, null, null, null, QString("*.TXT,Sub/"), QString("*.Bak")}},
        {"unknown switches ignored", {"--help", "-Q", ""}, {null, null, null, null, null, null, null}},
        {"-X outside a batch run has no effect", {"-X"}, {null, null, null, null, null, null, null}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const StartupRequest request = ParseCommandLine(QStringList{"/a", "/b"} + c.switches);
        for (int slot = 0; slot < 7; ++slot) {
            SCOPED_TRACE(slot);
            EXPECT_EQ(request.options[slot].isNull(), c.expected[slot].isNull());
            if (!c.expected[slot].isNull()) {
                EXPECT_EQ(request.options[slot], c.expected[slot]);
            }
        }
    }
}

TEST(ParseCommandLine, BatchSwitches)
{
    const struct
    {
        const char *name;
        QStringList switches;
        qint16 kind;
        QString output;
        QString separator;
    } cases[] = {
        {"-E alone", {"-E"}, 1, "", ","},
        {"HTML then CSV: CSV wins", {"-H/tmp/a.html", "-c/tmp/b.csv"}, 2, "/tmp/b.csv", ","},
        {"-STAB with more letters", {"-H/x", "-stabular"}, 3, "/x", "\t"},
        {"-S with one letter", {"-H/x", "-Sx"}, 3, "/x", "x"},
        {"-S alone is empty", {"-H/x", "-S"}, 3, "/x", ""},
        {"-S semicolon", {"-C/x", "-S;"}, 2, "/x", ";"},
        {"output keeps its case", {"-hOut/Report.HTML"}, 3, "Out/Report.HTML", ","},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const StartupRequest request = ParseCommandLine(QStringList{"/a", "/b"} + c.switches);
        EXPECT_TRUE(request.batchMode);
        EXPECT_EQ(request.batchKind, c.kind);
        EXPECT_EQ(request.batchOutputPath, c.output);
        EXPECT_EQ(request.batchCsvSeparator, c.separator);
    }
}

TEST(ParseCommandLine, BatchDefaultsFillOnlyNullSlots)
{
    const StartupRequest plain = ParseCommandLine({"/a", "/b", "-H/o"});
    EXPECT_TRUE(plain.options[0].isNull());
    EXPECT_EQ(plain.options[1], QVariant(false));
    EXPECT_EQ(plain.options[2], QVariant(false));
    EXPECT_EQ(plain.options[3], QVariant(false));
    EXPECT_EQ(plain.options[4], QVariant(true));
    EXPECT_EQ(plain.options[5], QVariant(QString()));
    EXPECT_EQ(plain.options[6], QVariant(QString()));

    const StartupRequest given = ParseCommandLine({"/a", "/b", "-NT", "-AF", "-PT*.c", "-X", "-C/o"});
    EXPECT_EQ(given.options[1], QVariant(true));
    EXPECT_EQ(given.options[2], QVariant(true));
    EXPECT_EQ(given.options[4], QVariant(false));
    EXPECT_EQ(given.options[5], QVariant(QString("*.c")));
}

} // namespace
} // namespace common
