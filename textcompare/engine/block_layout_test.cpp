#include "textcompare/engine/block_layout.h"

#include "textcompare/engine/engine_test_support.h"

#include <gtest/gtest.h>

namespace textcompare {
namespace {

using testing::keysOf;

struct Layout
{
    std::vector<LinePair> rows;
    int pairs;
};

// The whole of both texts as one block.
Layout alignWhole(const LineKeys &keys, int sideS, bool pairing = true)
{
    EventPump pump({});
    Layout layout;
    const LinePair end{keys.sides[0].lineCount() + 1, keys.sides[1].lineCount() + 1};
    layout.pairs = AlignBlock(layout.rows, keys, sideS, {0, 0}, end, pairing, pump);
    return layout;
}

std::vector<LinePair> placeWhole(const LineKeys &keys, bool pairing = true)
{
    EventPump pump({});
    DiffRowList rows;
    PlaceBlock(keys, {0, 0}, {keys.sides[0].lineCount() + 1, keys.sides[1].lineCount() + 1}, pairing, pump, rows);
    std::vector<LinePair> lines;
    for (const DiffRow &row : rows)
        lines.push_back(row.line);
    return lines;
}

TEST(AlignBlock, GreedyPairsWithSkippedLinesBesideTheUnpairedOnes)
{
    const LineKeys keys = keysOf({"a", "p", "b"}, {"x", "y", "b", "a"});

    // From file 1: a pairs with the last line, so b finds nothing after it.
    const Layout fromFile1 = alignWhole(keys, 0);
    EXPECT_EQ(fromFile1.rows, (std::vector<LinePair>{{0, 1}, {0, 2}, {0, 3}, {1, 4}, {2, 0}, {3, 0}}));
    EXPECT_EQ(fromFile1.pairs, 1);

    // From file 2: x and y stand beside a and p, which the pair b-b jumped over.
    const Layout fromFile2 = alignWhole(keys, 1);
    EXPECT_EQ(fromFile2.rows, (std::vector<LinePair>{{1, 1}, {2, 2}, {3, 3}, {0, 4}}));
    EXPECT_EQ(fromFile2.pairs, 1);
}

TEST(AlignBlock, LinesWithAnEmptyKeyNeverPair)
{
    const Layout plain = alignWhole(keysOf({"", "q"}, {"z", ""}), 0);
    EXPECT_EQ(plain.rows, (std::vector<LinePair>{{1, 1}, {2, 2}}));
    EXPECT_EQ(plain.pairs, 0);

    const Layout blanks = alignWhole(keysOf({" \t", "q"}, {"z", "\t"}, true), 0);
    EXPECT_EQ(blanks.pairs, 0);
}

TEST(PlaceBlock, ChoiceOfLayout)
{
    const struct
    {
        const char *name;
        QStringList lines1;
        QStringList lines2;
        std::vector<LinePair> rows;
    } cases[] = {
        {"fewer rows wins", {"a", "p", "b"}, {"x", "y", "b", "a"}, {{1, 1}, {2, 2}, {3, 3}, {0, 4}}},
        {"same rows, more pairs wins", {"b", "c", "b"}, {"c", "b", "a"}, {{1, 0}, {2, 1}, {3, 2}, {0, 3}}},
        {"same rows and pairs, file 1 wins",
         {"p", "x", "y", "q"},
         {"r", "y", "x", "s"},
         {{1, 1}, {0, 2}, {2, 3}, {3, 4}, {4, 0}}},
        {"too many rows: side by side",
         {"A", "B", "C", "D", "Y"},
         {"D", "E", "F", "G", "Z"},
         {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}},
        {"exactly 1.5 times the longer side is kept", {"a", "b"}, {"b", "c"}, {{1, 0}, {2, 1}, {0, 2}}},
        {"file 1 only", {"a", "b"}, {}, {{1, 0}, {2, 0}}},
        {"file 2 only", {}, {"a"}, {{0, 1}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(placeWhole(keysOf(c.lines1, c.lines2)), c.rows);
    }
}

} // namespace
} // namespace textcompare
