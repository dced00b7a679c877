#include "textcompare/engine/block_layout.h"

#include <algorithm>

namespace textcompare {
namespace {

// The first line of `side` in (after, before) whose key has the id `id`, or 0.
int firstLineBetween(const SideKeys &side, int id, int after, int before)
{
    const std::span<const int> lines = side.linesOf(id);
    const auto found = std::upper_bound(lines.begin(), lines.end(), after);
    return found != lines.end() && *found < before ? *found : 0;
}

} // namespace

void AppendRow(const LineKeys &keys, LinePair lines, DiffRowList &rows)
{
    DiffState state = DiffState::Same;
    if (lines[0] == 0)
        state = DiffState::Added;
    else if (lines[1] == 0)
        state = DiffState::Deleted;
    else if (keys.sides[0].ids[size_t(lines[0])] != keys.sides[1].ids[size_t(lines[1])])
        state = DiffState::Changed;
    rows.append(DiffRow{lines, state});
}

int AlignBlock(std::vector<LinePair> &layout, const LineKeys &keys, int sideS, LinePair from, LinePair to,
               bool pairing, EventPump &pump)
{
    const int sideO = 1 - sideS;
    const SideKeys &linesS = keys.sides[size_t(sideS)];
    const SideKeys &linesO = keys.sides[size_t(sideO)];
    const int endO = to[size_t(sideO)];
    layout.assign(size_t(to[0] - from[0] - 1) + size_t(to[1] - from[1] - 1), LinePair{});

    int rowCount = 0;
    int lastPairRow = 0;
    int lastUsedO = from[size_t(sideO)];
    int pairs = 0;
    // The O lines after the last pair and before `before` go to the rows after the last pair row.
    const auto placeSkippedO = [&](int before) {
        for (int line = lastUsedO + 1; line < before; ++line) {
            const int row = lastPairRow + (line - lastUsedO);
            layout[size_t(row - 1)][size_t(sideO)] = line;
            rowCount = std::max(rowCount, row);
        }
    };
    for (int line = from[size_t(sideS)] + 1; line < to[size_t(sideS)]; ++line) {
        pump.tick();
        const int id = linesS.ids[size_t(line)];
        const int partner = pairing && keys.keyLength[size_t(id)] > 0
                                ? firstLineBetween(linesO, id, lastUsedO, endO)
                                : 0;
        if (partner) {
            placeSkippedO(partner);
            ++pairs;
            ++rowCount;
            LinePair &row = layout[size_t(rowCount - 1)];
            row[size_t(sideS)] = line;
            row[size_t(sideO)] = partner;
            lastPairRow = rowCount;
            lastUsedO = partner;
        } else {
            ++rowCount;
            layout[size_t(rowCount - 1)][size_t(sideS)] = line;
        }
    }
    placeSkippedO(endO);
    layout.resize(size_t(rowCount));
    return pairs;
}

void PlaceBlock(const LineKeys &keys, LinePair from, LinePair to, bool pairing, EventPump &pump, DiffRowList &rows)
{
    const LinePair size{to[0] - from[0] - 1, to[1] - from[1] - 1};
    if (size[0] == 0 || size[1] == 0) {
        for (int side = 0; side < 2; ++side) {
            for (int line = from[size_t(side)] + 1; line < to[size_t(side)]; ++line) {
                LinePair lines{};
                lines[size_t(side)] = line;
                AppendRow(keys, lines, rows);
            }
        }
        return;
    }

    std::array<std::vector<LinePair>, 2> layouts;
    std::array<int, 2> pairs{};
    for (int side = 0; side < 2; ++side)
        pairs[size_t(side)] = AlignBlock(layouts[size_t(side)], keys, side, from, to, pairing, pump);
    const size_t rowsA = layouts[0].size();
    const size_t rowsB = layouts[1].size();
    const std::vector<LinePair> &preferred =
        rowsA > rowsB || (rowsA == rowsB && pairs[0] < pairs[1]) ? layouts[1] : layouts[0];

    // 1.5 x longest side >= rows, in integers.
    const qint64 longest = std::max(size[0], size[1]);
    if (3 * longest >= 2 * qint64(preferred.size())) {
        for (const LinePair &lines : preferred)
            AppendRow(keys, lines, rows);
        return;
    }
    for (int offset = 1; offset <= longest; ++offset) {
        LinePair lines;
        for (size_t side = 0; side < 2; ++side)
            lines[side] = offset <= size[side] ? from[side] + offset : 0;
        AppendRow(keys, lines, rows);
    }
}

} // namespace textcompare
