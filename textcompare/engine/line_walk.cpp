#include "textcompare/engine/line_walk.h"

#include "textcompare/engine/block_layout.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace textcompare {
namespace {

constexpr int LookAheadLines = 99;

// How many lines, from `line` on, an equal run must cover before a pair at `line` of side
// `side` is confirmed, with the end test on this side: the first k from 1 to 99 at which the
// run holds the judgement line count and the minimum characters, or at which this side has
// no line `line + k`. 0 when no such k exists, so that a pair there is never confirmed.
// Only lines of this side are read: inside a confirmed run they equal the other side's.
int confirmLength(const LineKeys &keys, int side, int line, const WalkOptions &options)
{
    const SideKeys &own = keys.sides[size_t(side)];
    const int lastLine = own.lineCount();
    qint64 characters = keys.keyLength[size_t(own.ids[size_t(line)])];
    for (int length = 1; length <= LookAheadLines; ++length) {
        if ((length >= options.judgementLineCount && characters >= options.minimumCharacters)
            || line + length > lastLine)
            return length;
        characters += keys.keyLength[size_t(own.ids[size_t(line + length)])];
    }
    return 0;
}

// The first line of the other side after `after` that confirms a pair with `line` of side
// `side`, or 0. Such a partner starts a copy of the run of confirmLength() lines from `line`,
// so the candidates are drawn from the line list of the run's rarest key.
int firstConfirmedPartner(const LineKeys &keys, int side, int line, int after, const WalkOptions &options)
{
    const int length = confirmLength(keys, side, line, options);
    if (length == 0)
        return 0;
    const SideKeys &own = keys.sides[size_t(side)];
    const SideKeys &other = keys.sides[size_t(1 - side)];
    const int *run = &own.ids[size_t(line)];

    int rarest = 0;
    int fewest = std::numeric_limits<int>::max();
    for (int offset = 0; offset < length; ++offset) {
        const int count = other.countOf(run[offset]);
        if (count == 0)
            return 0;
        if (count < fewest) {
            fewest = count;
            rarest = offset;
        }
    }
    const int lastStart = other.lineCount() - length + 1;
    const std::span<const int> candidates = other.linesOf(run[rarest]);
    for (auto at = std::upper_bound(candidates.begin(), candidates.end(), after + rarest);
         at != candidates.end(); ++at) {
        const int start = *at - rarest;
        if (start > lastStart)
            break;
        if (std::equal(run, run + length, &other.ids[size_t(start)]))
            return start;
    }
    return 0;
}

// Whether `line` of `side` has an equal line on the other side after `after`.
bool hasEqualLineAfter(const LineKeys &keys, int side, int line, int after)
{
    const std::span<const int> lines = keys.sides[size_t(1 - side)].linesOf(keys.sides[size_t(side)].ids[size_t(line)]);
    return !lines.empty() && lines.back() > after;
}

} // namespace

LinePair FindNextMatch(const LineKeys &keys, LinePair position, const WalkOptions &options, EventPump &pump)
{
    const LinePair lineCount{keys.sides[0].lineCount(), keys.sides[1].lineCount()};
    const LinePair endMarker{lineCount[0] + 1, lineCount[1] + 1};
    if (position[0] >= lineCount[0] || position[1] >= lineCount[1])
        return endMarker;
    const LinePair next{position[0] + 1, position[1] + 1};
    if (keys.sides[0].ids[size_t(next[0])] == keys.sides[1].ids[size_t(next[1])])
        return next;

    std::optional<LinePair> nearest;
    qint64 nearestDistance = 0;
    for (int side = 0; side < 2; ++side) {
        const int other = 1 - side;
        int found = 0;
        for (int line = next[size_t(side)]; line <= lineCount[size_t(side)]; ++line) {
            pump.tick();
            // A point from this line on skips at least this many lines; a tie goes to the earlier.
            if (nearest && qint64(line - position[size_t(side)]) + 1 >= nearestDistance)
                break;
            const int partner = firstConfirmedPartner(keys, side, line, position[size_t(other)], options);
            if (partner) {
                ++found;
                LinePair point;
                point[size_t(side)] = line;
                point[size_t(other)] = partner;
                const qint64 distance = qint64(point[0] - position[0]) + (point[1] - position[1]);
                if (!nearest || distance < nearestDistance) {
                    nearest = point;
                    nearestDistance = distance;
                }
            }
            if (found >= options.candidatesPerSearch)
                break;
        }
        // The search in the order of file 2 runs only when the one in the order of file 1 met
        // an equal pair. With one candidate per search or more, a first search that found no
        // point looked at every pair, and without an equal pair the second finds nothing
        // either, so it simply runs. With fewer, the first search looked at one line only.
        if (side == 0 && found == 0 && options.candidatesPerSearch < 1
            && !hasEqualLineAfter(keys, 0, next[0], position[1]))
            break;
    }
    return nearest.value_or(endMarker);
}

void WalkLines(const LineKeys &keys, const WalkOptions &options, EventPump &pump, DiffRowList &rows)
{
    const LinePair lineCount{keys.sides[0].lineCount(), keys.sides[1].lineCount()};
    const std::vector<int> &ids1 = keys.sides[0].ids;
    const std::vector<int> &ids2 = keys.sides[1].ids;
    const bool pairing = options.judgementLineCount > 1 || options.minimumCharacters > 0;
    LinePair position{0, 0};
    while (!pump.cancelRequested()) {
        pump.markProgress();
        pump.tick();
        if (position[0] >= lineCount[0] && position[1] >= lineCount[1])
            return;
        LinePair match = FindNextMatch(keys, position, options, pump);
        // Slide back over equal lines just before the point, so they pair in order.
        while (match[0] - 1 > position[0] && match[1] - 1 > position[1]
               && ids1[size_t(match[0] - 1)] == ids2[size_t(match[1] - 1)]) {
            --match[0];
            --match[1];
        }
        PlaceBlock(keys, position, match, pairing, pump, rows);
        if (match[0] <= lineCount[0] && match[1] <= lineCount[1])
            AppendRow(keys, match, rows);
        position = match;
    }
}

} // namespace textcompare
