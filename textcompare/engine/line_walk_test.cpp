#include "textcompare/engine/line_walk.h"

#include "textcompare/engine/engine_test_support.h"

#include <gtest/gtest.h>

namespace textcompare {
namespace {

using testing::keysOf;

QStringList repeated(const QString &line, int count)
{
    QStringList lines;
    for (int k = 0; k < count; ++k)
        lines.append(line);
    return lines;
}

LinePair nextMatch(const QStringList &lines1, const QStringList &lines2, int judgementLineCount,
                   LinePair position = {0, 0})
{
    EventPump pump({});
    return FindNextMatch(keysOf(lines1, lines2), position, WalkOptions{judgementLineCount, 1, 1}, pump);
}

TEST(FindNextMatch, MatchPoints)
{
    const struct
    {
        const char *name;
        QStringList lines1;
        QStringList lines2;
        int judgementLineCount;
        LinePair position;
        LinePair match;
    } cases[] = {
        {"equal next pair needs no look-ahead", {"a", "x"}, {"a", "y"}, 30, {0, 0}, {1, 1}},
        {"file 1 used up: end marker", {"a"}, {"a", "b"}, 1, {1, 1}, {2, 3}},
        {"no confirmed pair: end marker", {"a", "x", "b"}, {"c", "x", "d"}, 2, {0, 0}, {4, 4}},
        {"confirmed when the run reaches the end", {"a", "x", "y"}, {"c", "x", "y"}, 7, {0, 0}, {2, 2}},
        {"the nearer point of the search along file 2", {"x", "a", "b"}, {"b", "y", "y", "y", "a"}, 1, {0, 0},
         {3, 1}},
        {"tie goes to the search along file 1", {"x", "y"}, {"y", "x"}, 2, {0, 0}, {2, 1}},
        {"search starts after the positions", {"a", "b", "a", "c"}, {"z", "a", "c"}, 1, {1, 1}, {3, 2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(nextMatch(c.lines1, c.lines2, c.judgementLineCount, c.position), c.match);
    }
}

// With one character needed, a run that starts with empty lines must reach a non-empty
// equal line within the 99 lines of the look-ahead.
TEST(FindNextMatch, EmptyLinesAndTheLookAheadLimit)
{
    const QStringList within = QStringList{"a"} + repeated("", 98) + QStringList{"x"};
    EXPECT_EQ(nextMatch(within, QStringList{"b"} + within.mid(1), 1), (LinePair{2, 2}));

    const QStringList beyond = QStringList{"a"} + repeated("", 99) + QStringList{"x"};
    EXPECT_EQ(nextMatch(beyond, QStringList{"b"} + beyond.mid(1), 1), (LinePair{3, 3}));
}

// A judgement line count above 99 can only be met by reaching the end of the file.
TEST(FindNextMatch, JudgementLineCountBeyondTheLookAhead)
{
    QStringList tail;
    for (int k = 0; k < 150; ++k)
        tail.append(QString::number(k));
    const QStringList lines1 = QStringList{"a"} + tail;
    const QStringList lines2 = QStringList{"b"} + tail;
    EXPECT_EQ(nextMatch(lines1, lines2, 99), (LinePair{2, 2}));
    EXPECT_EQ(nextMatch(lines1, lines2, 100), (LinePair{53, 53}));
}

// The first confirmed point is (3, 4): from line 2 the run of empty lines is one too long.
// The equal empty pair (2, 3) before it is taken back, so that it pairs too, and only "c"
// is left over.
TEST(WalkLines, SlidesBackOverEqualLinesBeforeThePoint)
{
    const QStringList blanks = repeated("", 99);
    const LineKeys keys = keysOf(QStringList{"a"} + blanks + QStringList{"x"}, QStringList{"b", "c"} + blanks + QStringList{"x"});
    EventPump pump({});
    EXPECT_EQ(FindNextMatch(keys, {0, 0}, WalkOptions{1, 1, 1}, pump), (LinePair{3, 4}));

    DiffRowList rows;
    WalkLines(keys, WalkOptions{1, 1, 1}, pump, rows);
    ASSERT_EQ(rows.size(), 102u);
    const std::vector<LinePair> expected{{1, 1}, {0, 2}, {2, 3}, {3, 4}};
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(rows[int(k)].line, expected[k]) << k;
    EXPECT_EQ(rows.back().line, (LinePair{101, 102}));
}

} // namespace
} // namespace textcompare
