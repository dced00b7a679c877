#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace textcompare {

// A program to start and its arguments, one by one.
struct ProgramStart
{
    QString program;
    QStringList arguments;

    friend bool operator==(const ProgramStart &, const ProgramStart &) = default;
};

// The editor start that opens `path` at `line` by the editor command `editorCommand`, in
// which "%F%" stands for the file and "%L%" for the line number (exactly so, in capital
// letters; a placeholder that is absent is not used). The command is split into words at
// blanks, double quotes keeping blanks inside a word; then in every word each "%L%"
// becomes the line and each "%F%" the path as it stands, so a path with blanks or with
// "%L%" in it is one argument. nullopt when the command names no program, or when its
// program word holds "%F%": the compared file itself is never started as a program.
std::optional<ProgramStart> EditorStart(const QString &editorCommand, const QString &path, const QString &line);

// The editor command as one line for messages: every "%F%" replaced by the path in double
// quotes, then every "%L%" by the line.
QString EditorCommandText(const QString &editorCommand, const QString &path, const QString &line);

// The line at which the editor opens the file of one side, from the grid row `current`
// and the side's line numbers (`lineAt` gives 0 for a row without a line of that side):
// the current row's own line; else the nearest line above plus one; else the nearest
// line below minus one; else 1. Rows firstRow..lastRow are looked at.
int EditorLine(int current, int firstRow, int lastRow, const std::function<int(int row)> &lineAt);

} // namespace textcompare
