#pragma once

#include "textcompare/engine/diff_result_table.h"
#include "textcompare/engine/diff_run.h"
#include "textcompare/engine/line_prepare.h"

#include <vector>

namespace textcompare {

// Appends the row holding the lines `lines` (0 where it holds none of a side) with its
// state: "追加" without a line of file 1, "削除" without one of file 2, "変更" for lines of
// different keys, else the same.
void AppendRow(const LineKeys &keys, LinePair lines, DiffRowList &rows);

// Appends the rows of the changed block between `from` and `to`: the lines from[s] + 1 to
// to[s] - 1 of each side s. A block on one side only gives one row per line. A block on
// both sides is laid out by AlignBlock twice, once from each side; the layout with fewer
// rows, then the one with more pairs, then the one taken from file 1 is preferred, and it is
// used when it has at most 1.5 times as many rows as the longer side of the block has lines.
// Otherwise the two sides are set side by side, line r of each in row r. `pairing` allows
// equal lines to be paired inside the block.
void PlaceBlock(const LineKeys &keys, LinePair from, LinePair to, bool pairing, EventPump &pump, DiffRowList &rows);

// Lays the block out in `layout` (one entry per row, 0 for an empty cell) taking the lines of
// side `sideS` in turn: with `pairing`, each line with a non-empty key pairs with the first
// equal line of the other side after the last pair; the other side's lines jumped over stand
// beside the unpaired lines that follow the last pair. Returns the number of pairs.
int AlignBlock(std::vector<LinePair> &layout, const LineKeys &keys, int sideS, LinePair from, LinePair to,
               bool pairing, EventPump &pump);

} // namespace textcompare
