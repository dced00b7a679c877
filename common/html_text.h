#pragma once

#include <QString>

#include <array>
#include <optional>

namespace common {

class ExportFile;

// "&", "<" and ">" turned into entities, in this order; nothing else changes.
QString HtmlEscapeMarkup(const QString &text);

// The text of a table cell of the HTML exports: an empty text gives "&nbsp;"; otherwise
// the markup escaped and every space (U+0020) turned into "&nbsp;". Double quotes, the
// ideographic space and all other characters stay as they are.
QString HtmlEscape(const QString &text);

// As HtmlEscape, but spaces stay (the line texts of the viewer's export).
QString HtmlEscapeText(const QString &text);

// The HTML colour of a row whose colour is the blue-green-red value `blueGreenRed` (only
// its low 24 bits count): "#" and the six upper-case digits of the red-green-blue value,
// "#000000" for black (0); "#FFFFFF" for a row without a colour of its own (nullopt).
QString HtmlRowColor(std::optional<quint32> blueGreenRed);

// The lines of an HTML export before its rows: the head (Japanese, `charset` as the
// page's character set, `title` as it is), the body with base font size 2, the two paths
// markup-escaped, each followed by "<br>", and the opening tag of the table. The paths are
// escaped so that a name holding "&" or "<" cannot break the page.
void WriteHtmlPageStart(ExportFile &file, const QString &charset, const QString &title,
                        const std::array<QString, 2> &paths);

// The lines after the rows: the table, the body and the page closed.
void WriteHtmlPageEnd(ExportFile &file);

} // namespace common
