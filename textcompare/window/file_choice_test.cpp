#include "textcompare/window/file_choice.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace textcompare {
namespace {

TEST(AddToHistory, MovesOrPushesToTheTop)
{
    QStringList items;
    EXPECT_TRUE(AddToHistory(items, "a\tb"));
    EXPECT_FALSE(AddToHistory(items, "a\tb")) << "the pair shown again is not written again";
    for (int k = 1; k < HistoryLength; ++k)
        AddToHistory(items, QString::number(k));
    EXPECT_EQ(items.size(), HistoryLength);
    EXPECT_TRUE(AddToHistory(items, "5"));
    EXPECT_EQ(items.mid(0, 6), (QStringList{"5", "9", "8", "7", "6", "4"})) << "found at position 4, moved up";
    AddToHistory(items, "new");
    EXPECT_EQ(items.size(), HistoryLength);
    EXPECT_EQ(items.first(), "new");
    EXPECT_FALSE(items.contains("a\tb")) << "the tenth is pushed out";

    EXPECT_EQ(HistoryPaths("/a.txt\t/b.txt"), (std::array<QString, 2>{"/a.txt", "/b.txt"}));
    EXPECT_EQ(HistoryPaths("/a.txt"), (std::array<QString, 2>{"/a.txt", ""}));
}

TEST(PlanDrop, OneItemTwoItemsAndFolders)
{
    const std::array<QString, 2> bothFilled{"/x", "/y"};
    const std::array<QString, 2> firstFilled{"/x", ""};
    const std::array<QString, 2> none{"", ""};
    auto isFolder = [](const QString &path) { return path.endsWith(u'/'); };
    using Boxes = std::array<std::optional<QString>, 2>;
    using Paths = std::array<QString, 2>;

    const struct
    {
        const char *name;
        DropPlace place;
        int index;
        QStringList items;
        std::array<QString, 2> boxes;
        bool emptied;
        std::optional<Paths> folders;
        Boxes put;
        bool compare;
    } cases[] = {
        {"drop box, first box empty", DropPlace::Window, 0, {"/f"}, none, false, {}, Boxes{"/f", std::nullopt}, true},
        {"drop box, second box empty", DropPlace::Window, 0, {"/f"}, firstFilled, false, {}, Boxes{std::nullopt, "/f"}, true},
        {"drop box, both filled", DropPlace::Window, 0, {"/f"}, bothFilled, true, {}, Boxes{"/f", std::nullopt}, true},
        {"drop box, a folder", DropPlace::Window, 0, {"/d/"}, firstFilled, false, Paths{"", "/d/"}, Boxes{}, false},
        {"second path box", DropPlace::PathBox, 1, {"/f"}, bothFilled, false, {}, Boxes{std::nullopt, "/f"}, true},
        {"grid over file 2's text", DropPlace::Grid, 4, {"/f"}, none, false, {}, Boxes{std::nullopt, "/f"}, true},
        {"grid over the state", DropPlace::Grid, 1, {"/d/"}, none, false, Paths{"/d/", ""}, Boxes{}, false},
        {"two on the drop box", DropPlace::Window, 0, {"/1", "/2", "/3"}, none, false, {}, Boxes{"/1", "/2"}, true},
        {"two on a path box", DropPlace::PathBox, 0, {"/1", "/2"}, none, false, {}, Boxes{"/2", "/1"}, true},
        {"two with a folder on the grid", DropPlace::Grid, 3, {"/1", "/d/"}, none, false, Paths{"/d/", "/1"}, Boxes{}, false},
        {"two with a folder on the drop box", DropPlace::Window, 0, {"/d/", "/2"}, none, false, Paths{"/d/", "/2"}, Boxes{},
         false},
        {"no file on the grid", DropPlace::Grid, 3, {}, bothFilled, false, {}, Boxes{}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const DropPlan plan = PlanDrop(c.place, c.index, c.items, c.boxes, isFolder);
        EXPECT_EQ(plan.emptyBoxes, c.emptied);
        EXPECT_EQ(plan.folderComparison, c.folders);
        EXPECT_EQ(plan.boxes, c.put);
        EXPECT_EQ(plan.compare, c.compare);
        EXPECT_EQ(plan.automaticCodes, c.items.size() == 1 && !c.folders);
    }
}

} // namespace
} // namespace textcompare
