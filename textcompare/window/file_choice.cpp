#include "textcompare/window/file_choice.h"

namespace textcompare {

bool AddToHistory(QStringList &items, const QString &entry)
{
    if (!items.isEmpty() && items.first() == entry)
        return false;
    items.removeOne(entry);
    items.prepend(entry);
    while (items.size() > HistoryLength)
        items.removeLast();
    return true;
}

std::array<QString, 2> HistoryPaths(const QString &entry)
{
    const QStringList parts = (entry + u'\t').split(u'\t');
    return {parts.value(0), parts.value(1)};
}

DropPlan PlanDrop(DropPlace place, int index, const QStringList &items, const std::array<QString, 2> &boxes,
                  const std::function<bool(const QString &)> &isFolder)
{
    DropPlan plan;
    if (items.isEmpty()) {
        plan.compare = place != DropPlace::Window;
        return plan;
    }
    if (items.size() == 1) {
        int target = 0;
        switch (place) {
        case DropPlace::Window:
            if (!boxes[0].isEmpty()) {
                if (boxes[1].isEmpty()) {
                    target = 1;
                } else {
                    plan.emptyBoxes = true;
                }
            }
            break;
        case DropPlace::PathBox:
            target = index;
            break;
        case DropPlace::Grid:
            target = index == 4 || index == 5 ? 1 : 0;
            break;
        }
        if (isFolder(items[0])) {
            std::array<QString, 2> paths;
            paths[size_t(target)] = items[0];
            plan.folderComparison = paths;
            return plan;
        }
        plan.automaticCodes = true;
        plan.boxes[size_t(target)] = items[0];
        plan.compare = true;
        return plan;
    }
    const bool inOrder = place == DropPlace::Window;
    const std::array<QString, 2> pair = inOrder ? std::array<QString, 2>{items[0], items[1]}
                                                : std::array<QString, 2>{items[1], items[0]};
    if (isFolder(items[0]) || isFolder(items[1])) {
        plan.folderComparison = pair;
        return plan;
    }
    plan.boxes = {pair[0], pair[1]};
    plan.compare = true;
    return plan;
}

} // namespace textcompare
