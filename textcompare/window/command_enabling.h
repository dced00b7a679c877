#pragma once

#include <QString>

#include <array>

namespace textcompare {

// What the viewer's row commands are enabled by: a snapshot of the grid and the inputs.
struct RowCommandInputs
{
    // The selection as first row, first column, last row, last column, each pair ordered.
    std::array<int, 4> selection{};
    // The grid's current column: 2 and 3 belong to file 1, 4 and 5 to file 2.
    int col = 0;
    // The first data row's "No." cell is not empty.
    bool dataPresent = false;
    std::array<QString, 2> paths;
    // Text and index of each code list (index 0 is the automatic entry).
    std::array<QString, 2> codeTexts;
    std::array<int, 2> codeIndexes{};
    // "差分のみ" is ticked.
    bool nomi = false;
    // The file that the last line edit changed.
    QString lastEditPath;
    // The last comparison cut long lines into display lines: its line numbers are no
    // file line numbers.
    bool wrapped = false;
    // Per side, the text came through a document reader, not from the file's bytes.
    std::array<bool, 2> documents{};
};

// Which of the twelve row commands (each with its popup twin) may be chosen.
struct RowCommandStates
{
    bool LineText = false;
    bool OpenText = false;
    bool OpenExt = false;
    bool Properties = false;
    bool DateChg = false;
    bool CodeChg = false;
    bool LineTextE = false;
    bool LineDelete = false;
    bool LineInsert1 = false;
    bool LineInsert2 = false;
    bool LineCopy = false;
    bool EditRedo = false;

    friend bool operator==(const RowCommandStates &, const RowCommandStates &) = default;
};

// The side that grid column `col` belongs to: 0 for columns 2 and 3 (file 1's line number
// and text), 1 for 4 and 5, -1 for the number and state columns.
int sideOfColumn(int col);

// A path that names no ftp:// or http:// address (in any letter case); an empty path is
// local too.
bool IsLocalPath(const QString &path);

// The enabling rule. With data shown the one-line comparison is always offered. The
// file commands need the current column and a one-column selection on a side with a
// local path; the line edits also need that side's code chosen (neither automatic nor
// "BIN"), all rows shown, lines that are the file's lines (no wrap width in the last
// comparison) and a text read from the file itself (no document); the undo comes with
// the file commands when either path is the last edited file. The copy to the other side
// needs a path on the current side and a local, editable file on the other.
RowCommandStates EnabledRowCommands(const RowCommandInputs &inputs);

} // namespace textcompare
