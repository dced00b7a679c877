#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

namespace textcompare {

// The comparison history of the File menu: entries "path 1", TAB, "path 2", newest first.
inline constexpr int HistoryLength = 10;

// Puts `entry` at the top of `items`: an entry found lower moves up, a new one pushes the
// tenth out. Returns false, changing nothing, when it is at the top already.
bool AddToHistory(QStringList &items, const QString &entry);

// The two paths of a history entry: the text before its first TAB and the text between
// that TAB and the next one (empty when the entry holds no TAB).
std::array<QString, 2> HistoryPaths(const QString &entry);

// Where files were dropped: the window's drop box (its paths in the desktop's order), a
// path box, or the grid.
enum class DropPlace { Window, PathBox, Grid };

// What a drop does.
struct DropPlan
{
    // Both path boxes are emptied first.
    bool emptyBoxes = false;
    // The folder comparison program is started with these two paths (one may be empty),
    // and nothing is compared.
    std::optional<std::array<QString, 2>> folderComparison;
    // Texts put into the path boxes.
    std::array<std::optional<QString>, 2> boxes;
    // Both code lists go back to the automatic entry.
    bool automaticCodes = false;
    // The comparison runs.
    bool compare = false;
};

// The drop rules. One item goes to one box: on the drop box to box 1 when it is empty,
// else to box 2 when that is empty, else both are emptied and it goes to box 1; on a
// path box to that box; on the grid to box 2 over columns 4 and 5 (`place` index), else
// box 1. A folder starts the folder comparison with it on that side. Two or more items
// (the first two count) go to both boxes, the drop box's in their order, the others' the
// other way round; when either is a folder they start the folder comparison in that order
// instead. A drop on a box or the grid without files still runs the comparison.
DropPlan PlanDrop(DropPlace place, int index, const QStringList &items, const std::array<QString, 2> &boxes,
                  const std::function<bool(const QString &path)> &isFolder);

} // namespace textcompare
