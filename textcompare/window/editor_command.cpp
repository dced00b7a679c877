#include "textcompare/window/editor_command.h"

#include <QProcess>

namespace textcompare {

namespace {

const QString FilePlaceholder = QStringLiteral("%F%");
const QString LinePlaceholder = QStringLiteral("%L%");

// `word` with each "%L%" replaced by the line and each "%F%" by the path; the path is
// put in after the line so that nothing in it is taken for a placeholder.
QString filledWord(const QString &word, const QString &path, const QString &line)
{
    QStringList pieces = word.split(FilePlaceholder);
    for (QString &piece : pieces)
        piece.replace(LinePlaceholder, line);
    return pieces.join(path);
}

} // namespace

std::optional<ProgramStart> EditorStart(const QString &editorCommand, const QString &path, const QString &line)
{
    const QStringList words = QProcess::splitCommand(editorCommand);
    if (words.isEmpty() || words.first().isEmpty() || words.first().contains(FilePlaceholder))
        return std::nullopt;
    ProgramStart start;
    start.program = filledWord(words.first(), path, line);
    for (qsizetype index = 1; index < words.size(); ++index)
        start.arguments.append(filledWord(words[index], path, line));
    return start;
}

QString EditorCommandText(const QString &editorCommand, const QString &path, const QString &line)
{
    QString text = editorCommand;
    text.replace(FilePlaceholder, u'"' + path + u'"');
    text.replace(LinePlaceholder, line);
    return text;
}

int EditorLine(int current, int firstRow, int lastRow, const std::function<int(int)> &lineAt)
{
    for (int row = current; row >= firstRow; --row) {
        if (const int line = lineAt(row))
            return row == current ? line : line + 1;
    }
    for (int row = current + 1; row <= lastRow; ++row) {
        if (const int line = lineAt(row))
            return line - 1;
    }
    return 1;
}

} // namespace textcompare
