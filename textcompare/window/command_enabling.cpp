#include "textcompare/window/command_enabling.h"

#include "textcompare/engine/display_table.h"

namespace textcompare {

namespace {

constexpr int AutomaticCode = 0;

bool editable(const RowCommandInputs &inputs, int side)
{
    return inputs.codeTexts[size_t(side)] != QLatin1String("BIN") && inputs.codeIndexes[size_t(side)] != AutomaticCode
           && !inputs.nomi && !inputs.wrapped && !inputs.documents[size_t(side)];
}

} // namespace

int sideOfColumn(int col)
{
    if (col == DisplayTable::Line1 || col == DisplayTable::Text1)
        return 0;
    if (col == DisplayTable::Text2 || col == DisplayTable::Line2)
        return 1;
    return -1;
}

bool IsLocalPath(const QString &path)
{
    return !path.left(7).toLower().startsWith(QLatin1String("http://"))
           && !path.left(6).toLower().startsWith(QLatin1String("ftp://"));
}

RowCommandStates EnabledRowCommands(const RowCommandInputs &inputs)
{
    RowCommandStates states;
    if (!inputs.dataPresent)
        return states;
    states.LineText = true;
    const int side = sideOfColumn(inputs.col);
    const bool singleColumn = inputs.selection[1] == inputs.selection[3];
    if (side < 0 || !singleColumn)
        return states;
    const QString &path = inputs.paths[size_t(side)];
    if (!path.isEmpty() && IsLocalPath(path)) {
        states.OpenText = states.OpenExt = states.Properties = states.CodeChg = states.DateChg = true;
        if (editable(inputs, side))
            states.LineTextE = states.LineDelete = states.LineInsert1 = states.LineInsert2 = true;
        // An empty path box never matches: nothing has been edited yet.
        if (!inputs.lastEditPath.isEmpty()
            && (inputs.paths[0] == inputs.lastEditPath || inputs.paths[1] == inputs.lastEditPath))
            states.EditRedo = true;
    }
    const int other = 1 - side;
    if (!path.isEmpty() && IsLocalPath(inputs.paths[size_t(other)]) && editable(inputs, other))
        states.LineCopy = true;
    return states;
}

} // namespace textcompare
