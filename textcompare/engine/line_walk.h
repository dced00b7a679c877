#pragma once

#include "textcompare/engine/diff_result_table.h"
#include "textcompare/engine/diff_run.h"
#include "textcompare/engine/line_prepare.h"

#include <vector>

namespace textcompare {

// What decides a match point: a pair of equal lines is confirmed when it starts
// `judgementLineCount` equal lines in a row whose keys hold `minimumCharacters` characters
// together, looking at most 99 lines ahead, or when the equal run reaches the end of the
// searched side first. Each of the two searches collects `candidatesPerSearch` points: it
// ends after the line that brings its count to that number, so below 1 after its first line.
struct WalkOptions
{
    int judgementLineCount = 1;
    int minimumCharacters = 1;
    int candidatesPerSearch = 1;
};

// The match point that the walk takes next from `position`, the last placed line of each
// side: the pair right after the position when its keys are equal; otherwise the nearest
// (by lines skipped on both sides) of the points confirmed by the search in the order of
// file 1 and the search in the order of file 2, the earlier one in that order on a tie; the
// end marker (line count + 1 on each side) when there is none or when a side has no line
// after the position.
//
// Only equal pairs are visited, through each id's list of lines, in the order of the two
// searches; a search stops once no later point can be nearer than one already found.
LinePair FindNextMatch(const LineKeys &keys, LinePair position, const WalkOptions &options, EventPump &pump);

// Walks both sides from the start and appends one row per line of each side, in order:
// match points as pairs, each first slid back over the equal lines just before it, and the
// changed blocks between them (PlaceBlock), each row with its state. Stops early, leaving
// the rows built so far, when the cancel request is set at the start of a step.
void WalkLines(const LineKeys &keys, const WalkOptions &options, EventPump &pump, DiffRowList &rows);

} // namespace textcompare
