#include "textcompare/window/command_enabling.h"

#include <gtest/gtest.h>

namespace textcompare {
namespace {

// A single cell of file 1's text column with two local files, file 1 read as SJIS.
RowCommandInputs singleCell()
{
    RowCommandInputs inputs;
    inputs.selection = {3, 3, 3, 3};
    inputs.col = 3;
    inputs.dataPresent = true;
    inputs.paths = {QStringLiteral("/old/a.txt"), QStringLiteral("/new/a.txt")};
    inputs.codeTexts = {QStringLiteral("SJIS"), QStringLiteral("UTF8")};
    inputs.codeIndexes = {1, 6};
    return inputs;
}

RowCommandStates fileCommands(bool lineEdits, bool copy, bool undo)
{
    RowCommandStates states;
    states.LineText = states.OpenText = states.OpenExt = states.Properties = states.DateChg = states.CodeChg = true;
    states.LineTextE = states.LineDelete = states.LineInsert1 = states.LineInsert2 = lineEdits;
    states.LineCopy = copy;
    states.EditRedo = undo;
    return states;
}

TEST(EnabledRowCommands, FollowTheSelectionThePathsAndTheCodes)
{
    RowCommandStates lineTextOnly;
    lineTextOnly.LineText = true;
    RowCommandStates copyOnly = lineTextOnly;
    copyOnly.LineCopy = true;

    const struct
    {
        const char *name;
        void (*change)(RowCommandInputs &);
        RowCommandStates expected;
    } cases[] = {
        {"empty grid", [](RowCommandInputs &in) { in.dataPresent = false; }, {}},
        {"all of them", [](RowCommandInputs &) {}, fileCommands(true, true, false)},
        {"state column", [](RowCommandInputs &in) { in.col = 1; in.selection = {3, 1, 3, 1}; }, lineTextOnly},
        {"line number and text together", [](RowCommandInputs &in) { in.selection = {3, 2, 3, 3}; }, lineTextOnly},
        {"automatic code: no line edits", [](RowCommandInputs &in) { in.codeIndexes[0] = 0; in.codeTexts[0] = "-------"; },
         fileCommands(false, true, false)},
        {"differences only", [](RowCommandInputs &in) { in.nomi = true; }, fileCommands(false, false, false)},
        {"file 1 on an FTP server", [](RowCommandInputs &in) { in.paths[0] = "FTP://host/a.txt"; }, copyOnly},
        {"file 2 on a web server: no copy", [](RowCommandInputs &in) { in.paths[1] = "http://host/a.txt"; },
         fileCommands(true, false, false)},
        {"https counts as local", [](RowCommandInputs &in) { in.paths[0] = "https://host/a.txt"; },
         fileCommands(true, true, false)},
        {"file 2 read as BIN: no copy", [](RowCommandInputs &in) { in.codeTexts[1] = "BIN"; in.codeIndexes[1] = 7; },
         fileCommands(true, false, false)},
        {"file 2 edited last", [](RowCommandInputs &in) { in.lastEditPath = "/new/a.txt"; }, fileCommands(true, true, true)},
        {"nothing edited, file 2 empty", [](RowCommandInputs &in) { in.paths[1].clear(); }, fileCommands(true, true, false)},
        {"empty path of the current side", [](RowCommandInputs &in) { in.paths[0].clear(); }, lineTextOnly},
        {"wrapped display lines", [](RowCommandInputs &in) { in.wrapped = true; }, fileCommands(false, false, false)},
        {"file 1 read from a document", [](RowCommandInputs &in) { in.documents[0] = true; },
         fileCommands(false, true, false)},
        {"file 2 read from a document: no copy", [](RowCommandInputs &in) { in.documents[1] = true; },
         fileCommands(true, false, false)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RowCommandInputs inputs = singleCell();
        c.change(inputs);
        EXPECT_EQ(EnabledRowCommands(inputs), c.expected);
    }
}

} // namespace
} // namespace textcompare
