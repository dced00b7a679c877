#pragma once

#include "common/common_module.h"
#include "textcompare/engine/display_table.h"

#include <QString>

#include <array>
#include <functional>

namespace textcompare {

// What the three exports of the difference write: the display table behind the grid
// (rows 0 to its last row), the texts of the two path boxes, the number of difference
// rows of the comparison, and a hook that lets window events run once per data row.
struct DifferenceExport
{
    const DisplayTable &table;
    std::array<QString, 2> paths;
    qint32 diffRowCount = 0;
    std::function<void()> letEventsRun;

    // The paths as the exports write them, with the password of an address hidden.
    std::array<QString, 2> shownPaths() const { return {common::PasswordHidden(paths[0]), common::PasswordHidden(paths[1])}; }
};

} // namespace textcompare
