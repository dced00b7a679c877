#include "textcompare/window/editor_command.h"

#include "textcompare/window/linquell_settings.h"

#include "platform/testing/print_to.h"

#include <QList>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

TEST(EditorStart, SplitsTheCommandAndFillsThePlaceholders)
{
    const QString path = QStringLiteral("/home/u/my notes/%L% a.txt");
    const struct
    {
        const char *command;
        std::optional<ProgramStart> expected;
    } cases[] = {
        {"gedit +%L% %F%", ProgramStart{"gedit", {"+12", path}}},
        {"\"/opt/My Editor/ed\" --line=%L% %F%", ProgramStart{"/opt/My Editor/ed", {"--line=12", path}}},
        {"vi %F%", ProgramStart{"vi", {path}}},
        {"vi %f%", ProgramStart{"vi", {"%f%"}}},
        {"", std::nullopt},
        {" %F%", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(EditorStart(c.command, path, "12"), c.expected);
    }
    EXPECT_EQ(EditorCommandText("gedit +%L% %F%", "/a b.txt", "12"), "gedit +12 \"/a b.txt\"");
    EXPECT_EQ(EditorStart(DefaultEditorCommand("/opt/my tools/kate"), "/f", "3"),
              (ProgramStart{"/opt/my tools/kate", {"--line", "3", "/f"}}))
        << "an associated program with blanks in its path stays one word";
}

TEST(EditorLine, OwnLineOrTheNearestAboveOrBelow)
{
    // Line numbers of one side in rows 1 to 6; 0 where the row has none.
    const QList<int> lines{0, 0, 1, 7, 0, 0};
    auto lineAt = [&lines](int row) { return lines.value(row - 1); };
    const struct
    {
        int current, expected;
    } cases[] = {{4, 7}, {5, 8}, {6, 8}, {1, 0}, {2, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.current);
        EXPECT_EQ(EditorLine(c.current, 1, 6, lineAt), c.expected);
    }
    EXPECT_EQ(EditorLine(2, 1, 3, [](int) { return 0; }), 1) << "no line anywhere";
}

} // namespace
} // namespace textcompare
