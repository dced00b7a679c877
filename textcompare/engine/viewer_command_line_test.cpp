#include "textcompare/engine/viewer_command_line.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

#include <functional>

namespace textcompare {
namespace {

TEST(ViewerCommandLine, PathsAreTheFirstTwoArgumentsWhateverTheyLookLike)
{
    const struct
    {
        const char *name;
        QStringList arguments;
        std::optional<QString> path0;
        std::optional<QString> path1;
    } cases[] = {
        {"none", {}, std::nullopt, std::nullopt},
        {"one", {"/a b/x.txt"}, "/a b/x.txt", std::nullopt},
        {"switch-like paths", {"-Hout.html", "-X"}, "-Hout.html", "-X"},
        {"empty first path", {"", "/b.txt"}, "", "/b.txt"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ViewerCommandLine line = ParseViewerCommandLine(c.arguments);
        EXPECT_EQ(line.paths[0], c.path0);
        EXPECT_EQ(line.paths[1], c.path1);
        EXPECT_FALSE(line.batchMode);
        EXPECT_FALSE(line.noSame);
    }
}

TEST(ViewerCommandLine, SwitchesMatchByPrefixInTheirOrder)
{
    const struct
    {
        const char *name;
        QStringList switches;
        std::function<bool(const ViewerCommandLine &)> holds;
    } cases[] = {
        {"-X and a longer word", {"-Xyz"}, [](auto &l) { return l.noSame && !l.batchMode; }},
        {"-n lower case", {"-n"}, [](auto &l) { return l.nomi == 1 && l.saiteki == 0; }},
        {"-K", {"-K"}, [](auto &l) { return l.saiteki == 1; }},
        {"code names upper-cased", {"-m1sjis", "-M2euc"},
         [](auto &l) { return l.codes[0] == "SJIS" && l.codes[1] == "EUC"; }},
        {"codes default to the automatic entry", {"-N"},
         [](auto &l) { return l.codes[0] == "-------" && l.codes[1] == "-------"; }},
        {"HTML keeps the path's case", {"-Hout/Diff.HTML"},
         [](auto &l) { return l.outputKind == OutputKind::Html && l.outputPath == "out/Diff.HTML" && l.batchMode; }},
        {"the last output switch decides", {"-E/a.xlsx", "-C/b.csv", "-h/c.html"},
         [](auto &l) { return l.outputKind == OutputKind::Html && l.outputPath == "/c.html"; }},
        {"CSV", {"-C/b.csv"}, [](auto &l) { return l.outputKind == OutputKind::Csv && l.csvSeparator == ","; }},
        {"Excel", {"-E/b.xlsx"}, [](auto &l) { return l.outputKind == OutputKind::Excel; }},
        {"-stab", {"-stab"}, [](auto &l) { return l.csvSeparator == "\t"; }},
        {"-STABLE acts as -STAB", {"-STABLE"}, [](auto &l) { return l.csvSeparator == "\t"; }},
        {"-s; keeps the text as typed", {"-s;x"}, [](auto &l) { return l.csvSeparator == ";x"; }},
        {"-S alone: empty separator", {"-S"}, [](auto &l) { return l.csvSeparator.isEmpty(); }},
        {"later separator wins", {"-STAB", "-S|"}, [](auto &l) { return l.csvSeparator == "|"; }},
        {"unknown switch ignored", {"-Q", "plain"},
         [](auto &l) { return !l.batchMode && !l.noSame && l.nomi == 0 && l.csvSeparator == ","; }},
        {"empty argument ignored", {"", "-N"}, [](auto &l) { return l.nomi == 1; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.holds(ParseViewerCommandLine(QStringList{"/a.txt", "/b.txt"} + c.switches)));
    }
}

} // namespace
} // namespace textcompare
